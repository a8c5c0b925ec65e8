// A stand-in for the crash-reporting kit, linked only into a test-only build of the program: it
// registers the class "Zevuzavidav" that the app names at start, so the SDK's start reaches crash
// reporting through the same call the kit makes: its initializeIfNeeded makes the crash reporting
// controller with a new file manager and starts it, which installs the handlers for this launch and
// sends what earlier launches left. As the controller's delegate it answers as the kit does for an app
// that implements none of the kit's delegate methods.
//
// Test hooks, from the environment:
//   VELOMARINTH_TEST_DLOPEN=<library>  opened with plain dlopen once capture has started;
//   VELOMARINTH_TEST_NULL_WRITE=1      shortly after the first screen, the main thread writes through a
//                                      null pointer (inside that library's "velo_fixture_crash" when one
//                                      was opened).
#include "platform/dispatch/MainQueue.hpp"
#include "platform/runtime/ClassRegistry.hpp"
#include "sdk/zevuzavidav/reports/ZEVCrashReportingController.hpp"
#include "sdk/zevuzavidav/support/ZEVUtilities.hpp"
#include "sdk/zovaze/ZOVKit.hpp"
#include "sdk/zovaze/Zovaze.hpp"

#include <cstdlib>
#include <dlfcn.h>
#include <memory>
#include <mutex>
#include <string>

namespace {

volatile int* volatile nullTarget = nullptr;
void (*libraryCrash)() = nullptr;

__attribute__((noinline)) void writeThroughNull() {
    if (libraryCrash != nullptr) libraryCrash();
    *nullTarget = 1;
}

class StandInKit final : public ZEVCrashReportingControllerDelegate {
  public:
    bool shouldInstallCrashCallback() override { return false; }
    void detectedCrash() override {}
    bool reportingControllerCanUseBackgroundSessions(ZEVCrashReportingController&) override { return true; }
    bool reportingControllerMustInformDelegateOfReports(ZEVCrashReportingController&) override {
        return false;
    }
    void
    reportingControllerDidDetectReportForLastExecution(ZEVCrashReportingController&,
                                                       const std::shared_ptr<ZEVInternalReport>&,
                                                       std::function<void(bool)> completionHandler) override {
        completionHandler(true);
    }
    void reportingControllerInternalDidDetectReportForLastExecution(
        ZEVCrashReportingController&, const std::shared_ptr<ZEVInternalReport>&) override {}
    bool reportingControllerEnsureDeliveryOfUnixSignal(ZEVCrashReportingController&, int) override {
        return false;
    }
    std::optional<std::string> APIKeyForCrashReportingController(ZEVCrashReportingController&) override {
        return Zovaze::sharedSDK().APIKey();
    }
    std::optional<std::string> installIDForCrashReportingController(ZEVCrashReportingController&) override {
        return Zovaze::sharedSDK().installID();
    }
    bool isFirstInstallForCrashReportingController(ZEVCrashReportingController&) override {
        return Zovaze::sharedSDK().isFirstInstall();
    }
    ZEVSettings settingsForCrashReportingController(ZEVCrashReportingController&) override {
        return ZEVSettings(Zovaze::sharedSDK().settings());
    }
};

void startCapture() {
    // Kept for the whole process, as the kit keeps them.
    static auto* kit = new std::shared_ptr<StandInKit>(std::make_shared<StandInKit>());
    static auto* controller = new std::shared_ptr<ZEVCrashReportingController>(
        ZEVCrashReportingController::initWithFileManager(std::make_shared<ZEVFileManager>(), *kit));
    (*controller)->startWithProfilingMark(ZEVProfilingStart(), std::nullopt);

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
