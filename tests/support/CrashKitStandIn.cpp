// A stand-in for the crash-reporting kit, linked only into a test-only build of the program: it
// registers the class "Zevuzavidav" that the app names at start, so the SDK's start reaches crash
// capture through the same call the kit makes (ZEVContextInitialize from the kit's initializeIfNeeded).
// The report folder is the launch's own under the sandbox's caches.
//
// Test hooks, from the environment:
//   VELOMARINTH_TEST_DLOPEN=<library>  opened with plain dlopen once capture has started;
//   VELOMARINTH_TEST_NULL_WRITE=1      shortly after the first screen, the main thread writes through a
//                                      null pointer (inside that library's "velo_fixture_crash" when one
//                                      was opened).
#include "platform/dispatch/MainQueue.hpp"
#include "platform/foundation/Sandbox.hpp"
#include "platform/runtime/ClassRegistry.hpp"
#include "sdk/zevuzavidav/context/ZEVContext.hpp"
#include "sdk/zovaze/ZOVKit.hpp"
#include "sdk/zovaze/Zovaze.hpp"

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <mutex>
#include <string>

namespace {

volatile int* volatile nullTarget = nullptr;
void (*libraryCrash)() = nullptr;

__attribute__((noinline)) void writeThroughNull() {
    if (libraryCrash != nullptr) libraryCrash();
    *nullTarget = 1;
}

void startCapture() {
    Zovaze& sdk = Zovaze::sharedSDK();
    static const std::string directory =
        (ns::Sandbox::caches() / "com.zevuzavidav" / "active" / sdk.executionIdentifier()).string();
    std::filesystem::create_directories(directory);
    static const std::string apiKey = sdk.APIKey().value_or("");
    static const std::string installID = sdk.installID();
    static const std::string reportID = sdk.executionIdentifier();
    ZEVContextInitData data;
    data.apiKey = apiKey.c_str();
    data.reportDirectory = directory.c_str();
    data.reportIdentifier = reportID.c_str();
    data.installationIdentifier = installID.c_str();
    ZEVContextInitialize(&data);

    if (const char* library = std::getenv("VELOMARINTH_TEST_DLOPEN")) {
        if (void* handle = dlopen(library, RTLD_NOW))
            libraryCrash = reinterpret_cast<void (*)()>(dlsym(handle, "velo_fixture_crash"));
    }
    if (std::getenv("VELOMARINTH_TEST_NULL_WRITE") != nullptr)
        dispatch::main().asyncAfter(0.5, writeThroughNull);
}

const bool registered = [] {
    rt::ClassDefinition kit;
    kit.name = "Zevuzavidav";
    kit.protocols = {ZOVKitProtocol};
    kit.classMethods["bundleIdentifier"] = [](const rt::Class&, rt::Arguments) {
        return std::any(std::string("com.zevuzavidav.crash.ios"));
    };
    kit.classMethods["kitDisplayVersion"] = [](const rt::Class&, rt::Arguments) {
        return std::any(std::string("3.4.0"));
    };
    // Once per process, as the kit's own start is: the analytics kit, added beside it by the SDK, sends
    // it initializeIfNeeded again.
    kit.classMethods["initializeIfNeeded"] = [](const rt::Class&, rt::Arguments) {
        static std::once_flag started;
        std::call_once(started, startCapture);
        return std::any();
    };
    return rt::ClassRegistry::shared().registerClass(std::move(kit)) != nullptr;
}();

} // namespace
