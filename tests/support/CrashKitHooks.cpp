// Test hooks for the crash end-to-end tests, linked only into a test-only build of the program. The app
// itself never calls the crash kit's API, so these do it, as an app would, once the program has started
// (the SDK, and with it the real kit, is up when the app becomes active). From the environment:
//
//   VELOMARINTH_TEST_DLOPEN=<library>  opened with plain dlopen;
//   VELOMARINTH_TEST_USER_ID=<text>    setUserIdentifier;
//   VELOMARINTH_TEST_KEYS=<entries>    custom keys, entries "<kind>:<key>=<value>" joined by ";", kind s
//                                      (setObjectValue), i (setIntValue), b (setBoolValue), f
//                                      (setFloatValue);
//   VELOMARINTH_TEST_NULL_WRITE=1      shortly after the first screen, the main thread writes through a
//                                      null pointer (inside that library's "velo_fixture_crash" when one
//                                      was opened);
//   VELOMARINTH_TEST_CRASH=crash|throwException
//                                      shortly after the first screen, the kit's test crash of that name;
//   VELOMARINTH_TEST_CRASH_AT_START=1  as the app becomes active, right after the SDK's start and before
//                                      the main loop runs anything that start queued, the main thread
//                                      writes through a null pointer.
#include "platform/dispatch/MainQueue.hpp"
#include "platform/foundation/NotificationCenter.hpp"
#include "platform/uikit/Application.hpp"
#include "sdk/zevuzavidav/kit/Zevuzavidav.hpp"

#include <cstdlib>
#include <dlfcn.h>
#include <sstream>
#include <string>

namespace velotest {

volatile int* volatile nullTarget = nullptr;
void (*libraryCrash)() = nullptr;

// Outside any unnamed namespace, so the program exports it and a report of its fault can name it.
__attribute__((noinline)) void writeThroughNull() {
    if (libraryCrash != nullptr) libraryCrash();
    *nullTarget = 1;
}

} // namespace velotest

namespace {

using velotest::libraryCrash;
using velotest::writeThroughNull;

void setKey(Zevuzavidav& kit, const std::string& entry) {
    auto colon = entry.find(':');
    auto equals = entry.find('=');
    if (colon != 1 || equals == std::string::npos) return;
    const std::string key = entry.substr(2, equals - 2);
    const std::string value = entry.substr(equals + 1);
    switch (entry[0]) {
    case 's':
        kit.setObjectValue(value, key);
        break;
    case 'i':
        kit.setIntValue(static_cast<std::int32_t>(std::strtol(value.c_str(), nullptr, 10)), key);
        break;
    case 'b':
        kit.setBoolValue(value == "1", key);
        break;
    case 'f':
        kit.setFloatValue(std::strtof(value.c_str(), nullptr), key);
        break;
    }
}

void runHooks() {
    auto kit = Zevuzavidav::sharedInstance();
    if (const char* library = std::getenv("VELOMARINTH_TEST_DLOPEN")) {
        if (void* handle = dlopen(library, RTLD_NOW))
            libraryCrash = reinterpret_cast<void (*)()>(dlsym(handle, "velo_fixture_crash"));
    }
    if (const char* user = std::getenv("VELOMARINTH_TEST_USER_ID")) kit->setUserIdentifier(std::string(user));
    if (const char* keys = std::getenv("VELOMARINTH_TEST_KEYS")) {
        std::istringstream entries(keys);
        for (std::string entry; std::getline(entries, entry, ';');)
            setKey(*kit, entry);
    }
    if (std::getenv("VELOMARINTH_TEST_CRASH_AT_START") != nullptr) writeThroughNull();
    if (std::getenv("VELOMARINTH_TEST_NULL_WRITE") != nullptr)
        dispatch::main().asyncAfter(0.5, writeThroughNull);
    if (const char* crash = std::getenv("VELOMARINTH_TEST_CRASH")) {
        const std::string kind = crash;
        dispatch::main().asyncAfter(0.5, [kit, kind] {
            if (kind == "crash") kit->crash();
            if (kind == "throwException") kit->throwException();
        });
    }
}

const bool observing = [] {
    ns::NotificationCenter::defaultCenter().addObserver(ui::applicationDidBecomeActiveNotification,
                                                        [](const ns::Notification&) {
                                                            static bool ran = false;
                                                            if (ran) return;
                                                            ran = true;
                                                            runHooks();
                                                        });
    return true;
}();

} // namespace
