#pragma once
// The application's delegate of crash reporting. Every method is optional: the kit asks
// implementsMethod() before it calls one, and a method the delegate does not claim is never called
// (its question keeps the kit's default answer). So a delegate overrides the methods it wants and says
// so in implementsMethod().
//
//   didDetectReportForLastExecution        a report of an earlier launch needs submission; the
//                                          completion (any thread, once) says whether to send it
//   canUseBackgroundSessions               may report uploads use a background session
//   didDetectCrash                         at crash time, from inside the crash handler: rely on nothing
//                                          a crash may have broken
//   ensureDeliveryOfUnixSignal             true leaves the exception-port fault of that signal
//                                          uncaught, so that the signal itself is delivered
//   didDetectCrashDuringPreviousExecution  the two legacy notices of an earlier crash (with and without
//   (WithReport / without)                 the report), on the main queue
#include "sdk/zevuzavidav/store/ZEVCrashReport.hpp"

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

class Zevuzavidav;

enum class ZevuzavidavDelegateMethod {
    didDetectReportForLastExecution,
    canUseBackgroundSessions,
    didDetectCrash,
    ensureDeliveryOfUnixSignal,
    didDetectCrashDuringPreviousExecutionWithReport,
    didDetectCrashDuringPreviousExecution,
};

class ZevuzavidavDelegate {
  public:
    virtual ~ZevuzavidavDelegate() = default;

    virtual bool implementsMethod(ZevuzavidavDelegateMethod method) const = 0;
    // How the kit's log lines name the delegate.
    virtual std::string description() const {
        char text[48];
        std::snprintf(text, sizeof text, "<ZevuzavidavDelegate: %p>", static_cast<const void*>(this));
        return text;
    }

    virtual void
    zevuzavidavDidDetectReportForLastExecution(const std::shared_ptr<ZEVCrashReport>& /*report*/,
                                               std::function<void(bool submit)> completionHandler) {
        completionHandler(true);
    }
    virtual bool zevuzavidavCanUseBackgroundSessions(Zevuzavidav& /*kit*/) { return true; }
    virtual void zevuzavidavDidDetectCrash(Zevuzavidav& /*kit*/) {}
    virtual bool zevuzavidavEnsureDeliveryOfUnixSignal(Zevuzavidav& /*kit*/, int /*signal*/) { return false; }
    virtual void
    zevuzavidavDidDetectCrashDuringPreviousExecution(Zevuzavidav& /*kit*/,
                                                     const std::shared_ptr<ZEVCrashReport>& /*report*/) {}
    virtual void zevuzavidavDidDetectCrashDuringPreviousExecution(Zevuzavidav& /*kit*/) {}
};
