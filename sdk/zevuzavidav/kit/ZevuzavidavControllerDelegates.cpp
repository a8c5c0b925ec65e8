// The kit as the delegate of its two controllers: their questions become questions to the app's
// delegate (only about the methods it says it implements) and reads of the SDK singleton.
#include "platform/dispatch/MainQueue.hpp"
#include "platform/foundation/Console.hpp"
#include "sdk/zevuzavidav/kit/Zevuzavidav.hpp"
#include "sdk/zevuzavidav/store/ZEVReport.hpp"
#include "sdk/zovaze/Zovaze.hpp"

bool Zevuzavidav::delegateImplements(ZevuzavidavDelegateMethod method) const {
    auto current = delegate();
    return current && current->implementsMethod(method);
}

ZEVSettings Zevuzavidav::currentSettings() {
    // Made anew for every question, so each answer sees the settings downloaded last.
    return ZEVSettings::initWithDictionary(environment_.sdk().settings());
}

// --- The crash reporting controller ----------------------------------------------------------------

bool Zevuzavidav::shouldInstallCrashCallback() {
    return delegateImplements(ZevuzavidavDelegateMethod::didDetectCrash);
}

void Zevuzavidav::detectedCrash() {
    // Inside the crash handler: no lock, no allocation on the kit's side.
    if (ZevuzavidavDelegate* current = crashDelegate_.load()) current->zevuzavidavDidDetectCrash(*this);
}

bool Zevuzavidav::reportingControllerCanUseBackgroundSessions(ZEVCrashReportingController&) {
    if (auto current = delegate();
        current && current->implementsMethod(ZevuzavidavDelegateMethod::canUseBackgroundSessions))
        return current->zevuzavidavCanUseBackgroundSessions(*this);
    return !environment_.isExtension();
}

bool Zevuzavidav::reportingControllerMustInformDelegateOfReports(ZEVCrashReportingController&) {
    return delegateImplements(ZevuzavidavDelegateMethod::didDetectReportForLastExecution) ||
           delegateImplements(ZevuzavidavDelegateMethod::didDetectCrashDuringPreviousExecutionWithReport) ||
           delegateImplements(ZevuzavidavDelegateMethod::didDetectCrashDuringPreviousExecution);
}

void Zevuzavidav::reportingControllerDidDetectReportForLastExecution(
    ZEVCrashReportingController& controller, const std::shared_ptr<ZEVInternalReport>& report,
    std::function<void(bool submit)> completionHandler) {
    if (!reportingControllerMustInformDelegateOfReports(controller)) {
        completionHandler(true);
        return;
    }
    auto current = delegate();
    auto publicReport = std::make_shared<ZEVReport>(report);
    if (current && current->implementsMethod(ZevuzavidavDelegateMethod::didDetectReportForLastExecution))
        current->zevuzavidavDidDetectReportForLastExecution(publicReport, std::move(completionHandler));
    else
        completionHandler(true);

    std::weak_ptr<Zevuzavidav> weak = weak_from_this();
    dispatch::main().async([weak, current, publicReport] {
        auto self = weak.lock();
        if (!self || !current) return;
        if (current->implementsMethod(
                ZevuzavidavDelegateMethod::didDetectCrashDuringPreviousExecutionWithReport))
            current->zevuzavidavDidDetectCrashDuringPreviousExecution(*self, publicReport);
        if (current->implementsMethod(ZevuzavidavDelegateMethod::didDetectCrashDuringPreviousExecution))
            current->zevuzavidavDidDetectCrashDuringPreviousExecution(*self);
    });
}

void Zevuzavidav::reportingControllerInternalDidDetectReportForLastExecution(
    ZEVCrashReportingController&, const std::shared_ptr<ZEVInternalReport>& report) {
    // Each earlier report is the crash of its own launch (the report's identifier is that launch's
    // execution identifier, as its session's is): launches that crash as they start leave a run of
    // them, and each counts once, in its own session. The controller tells of them all before any
    // leaves "active", and analytics has the crash in its file when it answers, so a launch that ends
    // here leaves the report to be told of again; so does an answer that analytics could not keep it
    // (the controller tells again before the report is packaged, at this launch or a later one). The
    // folder's mark keeps a crash analytics already keeps from being told twice.
    if (!report || report->crashCounted()) return;
    const ZEVReport told(report);
    const std::optional<ns::Date> date = told.dateCreated();
    const std::any when = date ? std::any(*date) : std::any();
    // Without a date the analytics kit has no time to give the crash; it is still told. One that takes
    // the date alone files it under the session it knows as the previous one, and says nothing back.
    const auto kept = askAnalytics("logPreviousSessionCrashedOnDate:sessionIdentifier:",
                                   {when, std::any(told.identifier())});
    if (!kept) {
        // Nothing comes back to mark the folder by, so such a kit hears of a crash once a launch,
        // however often the controller tells of the report.
        {
            std::lock_guard lock(mutex_);
            if (!toldByDateAlone_.insert(report->identifier()).second) return;
        }
        sendToAnalytics("logPreviousSessionCrashedOnDate:", {when});
        return;
    }
    if (const bool* onDisk = std::any_cast<bool>(&*kept); onDisk && *onDisk && !report->markCrashCounted())
        ns::console("[Zevuzavidav:Crash] Unable to mark the crash of the report at " + report->path() +
                    " as counted");
}

bool Zevuzavidav::reportingControllerEnsureDeliveryOfUnixSignal(ZEVCrashReportingController&, int signal) {
    if (auto current = delegate();
        current && current->implementsMethod(ZevuzavidavDelegateMethod::ensureDeliveryOfUnixSignal))
        return current->zevuzavidavEnsureDeliveryOfUnixSignal(*this, signal);
    return false;
}

std::optional<std::string> Zevuzavidav::APIKeyForCrashReportingController(ZEVCrashReportingController&) {
    return APIKey();
}

std::optional<std::string> Zevuzavidav::installIDForCrashReportingController(ZEVCrashReportingController&) {
    return installID();
}

bool Zevuzavidav::isFirstInstallForCrashReportingController(ZEVCrashReportingController&) {
    return isFirstInstall();
}

ZEVSettings Zevuzavidav::settingsForCrashReportingController(ZEVCrashReportingController&) {
    return currentSettings();
}

// --- The beta controller ---------------------------------------------------------------------------

std::optional<std::string> Zevuzavidav::APIKeyForBetaController(ZEVBetaController&) {
    return APIKey();
}

ZEVSettings Zevuzavidav::settingsForBetaController(ZEVBetaController&) {
    return currentSettings();
}
