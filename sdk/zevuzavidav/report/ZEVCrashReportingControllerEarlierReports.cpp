// What the crash reporting controller does with the report folders earlier launches left: drop them,
// send them at once, hand them to the delegate, ask the user, and retry failed uploads.
#include "platform/foundation/Console.hpp"
#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/context/ZEVApplication.hpp"
#include "sdk/zevuzavidav/report/ZEVAlert.hpp"
#include "sdk/zevuzavidav/report/ZEVCrashReportingController.hpp"
#include "sdk/zovaze/DebugFlag.hpp"

#include <atomic>
#include <sys/stat.h>

namespace {

void debugLog(const std::string& line) {
    if (zovaze::debugFlag()) ns::console(line);
}

bool exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

} // namespace

void ZEVCrashReportingController::processExistingReportPaths(const std::vector<std::string>& paths,
                                                             bool asUrgent) {
    for (const auto& path : paths)
        processExistingActiveReportPath(path, asUrgent);
}

void ZEVCrashReportingController::processExistingActiveReportPath(const std::string& path, bool asUrgent) {
    auto report = ZEVInternalReport::reportWithPath(path);
    if (!report || !report->needsToBeSubmitted()) {
        // Nothing to send, or nothing that can be read as a report (a stray file included): it goes by
        // its own path.
        onWorkQueue([path](ZEVCrashReportingController& self) { self.fileManager_->removeItemAtPath(path); });
        return;
    }
    auto delegate = delegate_.lock();
    if (delegate) delegate->reportingControllerInternalDidDetectReportForLastExecution(*this, report);
    if (asUrgent && canProcessUrgentReports()) {
        reportsController()->prepareAndSubmitReport(report, true, true);
        return;
    }
    if (!delegate) return; // nobody decides: the report stays in "active" for the next launch
    std::weak_ptr<ZEVCrashReportingController> weak = weak_from_this();
    auto answered = std::make_shared<std::atomic<bool>>(false);
    delegate->reportingControllerDidDetectReportForLastExecution(
        *this, report, [weak, report, answered](bool submit) {
            if (answered->exchange(true)) return; // only the first answer counts
            if (auto self = weak.lock()) self->handleDelegateCompletionForReport(report, submit);
        });
}

void ZEVCrashReportingController::handleDelegateCompletionForReport(
    const std::shared_ptr<ZEVInternalReport>& report, bool submit) {
    onWorkQueue([report, submit](ZEVCrashReportingController& self) {
        if (!submit) {
            debugLog("[Zevuzavidav:Crash] Removing report at request of delegate");
            self.removeReport(report);
        } else if (self.needsToPrompt()) {
            self.displayPermissionAlertForReport(report);
        } else {
            self.reportsController()->prepareAndSubmitReport(report, false, true);
        }
    });
}

void ZEVCrashReportingController::removeReport(const std::shared_ptr<ZEVInternalReport>& report) {
    if (report) fileManager_->removeItemAtPath(report->path());
}

void ZEVCrashReportingController::handleContentsInOtherReportingDirectories(
    const std::vector<std::string>& processing, const std::vector<std::string>& prepared) {
    handleExistingFilesInProcessing(processing);
    handleExistingFilesInPrepared(prepared);
}

void ZEVCrashReportingController::handleExistingFilesInProcessing(const std::vector<std::string>& paths) {
    onWorkQueue([paths](ZEVCrashReportingController& self) {
        for (const auto& path : paths) {
            // A folder without readable metadata is left alone (its line is logged by the report).
            if (auto report = ZEVInternalReport::reportWithPath(path))
                self.reportsController()->prepareAndSubmitReport(report, false, false);
        }
    });
}

void ZEVCrashReportingController::handleExistingFilesInPrepared(const std::vector<std::string>& paths) {
    std::weak_ptr<ZEVCrashReportingController> weak = weak_from_this();
    networkClient_->attemptToReconnectBackgroundSessionWithCompletionBlock([weak, paths] {
        if (auto self = weak.lock())
            self->onWorkQueue(
                [paths](ZEVCrashReportingController& self) { self.uploadPreexistingFiles(paths); });
    });
}

void ZEVCrashReportingController::uploadPreexistingFiles(const std::vector<std::string>& paths) {
    for (const auto& path : paths)
        if (exists(path)) reportsController()->uploadPackagedReportAtPath(path, false);
}

void ZEVCrashReportingController::reportsControllerDidCompletePackageSubmission(
    ZEVReportsController&, const std::string& path, const std::optional<ns::Error>& error) {
    if (!error) {
        debugLog("[Zevuzavidav:Crash] report submission successful");
        return;
    }
    debugLog("[Zevuzavidav:Crash] report submission failed with error " + error->description());
    ZEVSDKLog("%s: Error: failed to submit report '%s'\n",
              "reportsController:didCompletePackageSubmission:error:", error->description().c_str());
    retryUploadForReportAtPath(path);
}

void ZEVCrashReportingController::retryUploadForReportAtPath(const std::string& path) {
    std::weak_ptr<ZEVCrashReportingController> weak = weak_from_this();
    ZEVAddOperationAfterDelay(
        operationQueue_,
        [weak, path] {
            auto self = weak.lock();
            if (!self) return;
            debugLog("[Zevuzavidav:Crash] re-attempting report submission");
            self->reportsController()->uploadPackagedReportAtPath(path, false);
        },
        retryDelaySeconds);
}

void ZEVCrashReportingController::displayPermissionAlertForReport(
    const std::shared_ptr<ZEVInternalReport>& report) {
    if (ZEVApplicationIsExtension()) {
        onWorkQueue([report](ZEVCrashReportingController& self) {
            self.reportsController()->prepareAndSubmitReport(report, false, true);
        });
        return;
    }
    const ZEVSettings current = settings();
    std::string title = current.interactivePromptTitle();
    std::string message = current.interactivePromptMessage();
    std::string cancel = current.interactivePromptCancelTitle();
    std::string send = current.interactivePromptSendTitle();
    std::string alwaysSend = current.interactivePromptAlwaysSendTitle();
    debugLog("[Zevuzavidav:Crash] Displaying permission alert");
    onMainQueue([=](ZEVCrashReportingController& self) {
        self.setupAndDisplayAlertWithTitle(title, message, cancel, send, alwaysSend, report);
    });
}

void ZEVCrashReportingController::setupAndDisplayAlertWithTitle(
    const std::string& title, const std::string& message, const std::string& cancel, const std::string& send,
    const std::optional<std::string>& alwaysSend, const std::shared_ptr<ZEVInternalReport>& report) {
    auto alert = ZEVAlert::alertWithTitle(title, message, weak_from_this(), cancel, std::nullopt);
    alert->addButtonWithTitle(send);
    if (alwaysSend) alert->addButtonWithTitle(*alwaysSend);
    {
        std::lock_guard lock(mutex_);
        promptedReport_ = report;
        crashReportSubmissionAlert_ = alert;
    }
    alert->show();
}

std::shared_ptr<ui::AlertView> ZEVCrashReportingController::crashReportSubmissionAlert() const {
    std::lock_guard lock(mutex_);
    return crashReportSubmissionAlert_;
}

void ZEVCrashReportingController::alertViewClickedButtonAtIndex(ui::AlertView& alertView,
                                                                std::int64_t buttonIndex) {
    std::shared_ptr<ZEVInternalReport> report;
    {
        std::lock_guard lock(mutex_);
        // An answer counts only for the alert shown last; a replaced alert's report waits in "active".
        if (&alertView != crashReportSubmissionAlert_.get()) return;
        report = promptedReport_;
    }
    const bool cancel = buttonIndex == alertView.cancelButtonIndex();
    // The report is taken now, with the answer: an alert shown before the work runs cannot swap it.
    onWorkQueue([report, cancel](ZEVCrashReportingController& self) {
        if (cancel) {
            debugLog("[Zevuzavidav:Crash] Removing report at request of user");
            self.removeReport(report);
        } else {
            self.reportsController()->prepareAndSubmitReport(report, false, true);
        }
        std::lock_guard lock(self.mutex_);
        if (self.promptedReport_ == report) {
            self.promptedReport_.reset();
            if (!cancel) self.crashReportSubmissionAlert_.reset();
        }
    });
}

void ZEVCrashReportingController::alertViewCancel(ui::AlertView&) {}
