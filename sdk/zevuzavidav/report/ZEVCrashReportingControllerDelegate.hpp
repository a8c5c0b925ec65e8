#pragma once
// What the crash reporting controller asks and tells the kit that owns it.
#include "sdk/zevuzavidav/settings/ZEVSettings.hpp"
#include "sdk/zevuzavidav/store/ZEVInternalReport.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>

class ZEVCrashReportingController;

class ZEVCrashReportingControllerDelegate {
  public:
    virtual ~ZEVCrashReportingControllerDelegate() = default;

    // True puts the controller into the start record as the crash callback target.
    virtual bool shouldInstallCrashCallback() = 0;
    // At crash time, on the crashed thread, from inside the crash handler: rely on nothing a crash may
    // have broken.
    virtual void detectedCrash() = 0;
    virtual bool reportingControllerCanUseBackgroundSessions(ZEVCrashReportingController& controller) = 0;
    // True: the application decides about each report itself.
    virtual bool reportingControllerMustInformDelegateOfReports(ZEVCrashReportingController& controller) = 0;
    // The completion must be called once, on any thread, with true (submit) or false (drop); a report
    // on which nobody decides stays in "active" for the next launch.
    virtual void reportingControllerDidDetectReportForLastExecution(
        ZEVCrashReportingController& controller, const std::shared_ptr<ZEVInternalReport>& report,
        std::function<void(bool submit)> completionHandler) = 0;
    // Every earlier report that needs submission, newest first, before any of them is handled: while
    // this runs, a launch that ends leaves the report for the next one. Told again, on the work queue,
    // of a report whose folder is not marked counted right before it is packaged (not on the urgent
    // road, told just before): one analytics could not keep at the start, or one an earlier launch left
    // in "processing".
    virtual void reportingControllerInternalDidDetectReportForLastExecution(
        ZEVCrashReportingController& controller, const std::shared_ptr<ZEVInternalReport>& report) = 0;
    // True leaves the exception-port fault of that signal to the signal itself.
    virtual bool reportingControllerEnsureDeliveryOfUnixSignal(ZEVCrashReportingController& controller,
                                                               int signal) = 0;
    virtual std::optional<std::string>
    APIKeyForCrashReportingController(ZEVCrashReportingController& controller) = 0;
    virtual std::optional<std::string>
    installIDForCrashReportingController(ZEVCrashReportingController& controller) = 0;
    virtual bool isFirstInstallForCrashReportingController(ZEVCrashReportingController& controller) = 0;
    virtual ZEVSettings settingsForCrashReportingController(ZEVCrashReportingController& controller) = 0;
};
