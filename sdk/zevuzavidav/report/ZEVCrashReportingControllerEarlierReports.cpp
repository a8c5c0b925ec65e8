// What the crash reporting controller does with the report folders earlier launches left: drop them,
// send them at once, hand them to the delegate, ask the user, and retry failed uploads.
#include "platform/foundation/Console.hpp"
#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/context/ZEVApplication.hpp"
#include "sdk/zevuzavidav/report/ZEVAlert.hpp"
#include "sdk/zevuzavidav/report/ZEVCrashReportingController.hpp"
#include "sdk/zevuzavidav/store/ZEVReportMetadataRepair.hpp"
#include "sdk/zovaze/base/DebugFlag.hpp"

#include <algorithm>
#include <atomic>
#include <sys/stat.h>

namespace {

void debugLog(const std::string& line) {
    if (zovaze::debugFlag()) ns::console(line);
}

} // namespace

std::vector<std::shared_ptr<ZEVInternalReport>>
ZEVCrashReportingController::readExistingReportPaths(const std::vector<std::string>& paths) {
    std::vector<std::shared_ptr<ZEVInternalReport>> reports;
    std::vector<std::string> nothingToSend;
    // This launch's own metadata, written by the start before the earlier folders are read: the model
    // for what a launch that crashed in its first moments never wrote.
    const std::shared_ptr<ZEVInternalReport> current = currentReport();
    const std::optional<std::string> metadataTemplate =
        current ? std::optional<std::string>(current->metadataPath()) : std::nullopt;
    for (const auto& path : paths) {
        // The folder of a copy of the app running now, or one another copy is sending: not ours to touch.
        // Held while the folder is read and, if need be, its metadata rebuilt.
        const ZEVItemClaim claim = ZEVItemClaim::take(path);
        if (claim.state() == ZEVItemClaim::State::heldElsewhere) continue;
        auto report = ZEVInternalReport::reportWithPath(path);
        bool removable = true;
        if (!report || (report->needsToBeSubmitted() && !report->hasWholeMetadata())) {
            // A record to send is never removed for want of the metadata that names it: a folder whose
            // metadata cannot be made whole waits for a later launch, unless it can be read as it is.
            const ZEVReportMetadataRepair repair = ZEVRepairReportMetadata(path, metadataTemplate);
            if (repair == ZEVReportMetadataRepair::rebuilt) report = ZEVInternalReport::reportWithPath(path);
            removable = repair == ZEVReportMetadataRepair::nothingToSubmit;
        }
        if (report && report->needsToBeSubmitted())
            reports.push_back(std::move(report));
        else if (report || removable)
            nothingToSend.push_back(path); // a stray file included: it goes by its own path
    }
    if (!nothingToSend.empty()) {
        onWorkQueue([nothingToSend](ZEVCrashReportingController& self) {
            for (const auto& path : nothingToSend) {
                const ZEVItemClaim claim = ZEVItemClaim::take(path);
                if (claim.state() != ZEVItemClaim::State::heldElsewhere)
                    self.fileManager_->removeItemAtPath(path);
            }
        });
    }
    sortOldestFirst(reports);
    return reports;
}

void ZEVCrashReportingController::announceExistingActiveReports(
    const std::vector<std::shared_ptr<ZEVInternalReport>>& reports) {
    // Each before it can leave "active", so that what the delegate keeps of a crash is kept while a
    // launch that ends here would still find the report next time. The newest (the last launch's) at
    // once: the urgent road may send it right after this. The others on the work queue, ahead of
    // everything that can take them out of "active" there, so that a backlog (each told is a crash
    // written to disk) never holds up the start and its first screen.
    auto delegate = delegate_.lock();
    if (!delegate || reports.empty()) return;
    delegate->reportingControllerInternalDidDetectReportForLastExecution(*this, reports.back());
    if (reports.size() == 1) return;
    onWorkQueue(
        [older = std::vector(reports.rbegin() + 1, reports.rend())](ZEVCrashReportingController& self) {
            auto delegate = self.delegate_.lock();
            if (!delegate) return;
            for (const auto& report : older)
                delegate->reportingControllerInternalDidDetectReportForLastExecution(self, report);
        });
}

void ZEVCrashReportingController::processExistingActiveReport(
    const std::shared_ptr<ZEVInternalReport>& report, bool asUrgent) {
    auto delegate = delegate_.lock();
    if (asUrgent) {
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

void ZEVCrashReportingController::sortOldestFirst(std::vector<std::shared_ptr<ZEVInternalReport>>& reports) {
    struct Keyed {
        double started;
        std::string name;
        std::shared_ptr<ZEVInternalReport> report;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(reports.size());
    for (auto& report : reports) {
        const auto date = report->dateCreated();
        keyed.push_back(
            {date ? date->timeIntervalSince1970() : 0.0, report->directoryName(), std::move(report)});
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        return a.started != b.started ? a.started < b.started : a.name < b.name;
    });
    for (std::size_t i = 0; i < keyed.size(); ++i)
        reports[i] = std::move(keyed[i].report);
}

void ZEVCrashReportingController::handleDelegateCompletionForReport(
    const std::shared_ptr<ZEVInternalReport>& report, bool submit) {
    addToBacklog({{report, submit ? BacklogStep::submit : BacklogStep::drop}}, false);
}

void ZEVCrashReportingController::addToBacklog(std::vector<BacklogItem> items, bool ahead) {
    {
        std::lock_guard lock(mutex_);
        if (ahead)
            backlog_.insert(backlog_.begin(), std::make_move_iterator(items.begin()),
                            std::make_move_iterator(items.end()));
        else
            backlog_.insert(backlog_.end(), std::make_move_iterator(items.begin()),
                            std::make_move_iterator(items.end()));
    }
    scheduleBacklogTurn();
}

void ZEVCrashReportingController::scheduleBacklogTurn() {
    {
        std::lock_guard lock(mutex_);
        if (backlogTurnQueued_ || backlog_.empty()) return;
        backlogTurnQueued_ = true;
    }
    onWorkQueue([](ZEVCrashReportingController& self) { self.takeBacklogTurn(); });
}

void ZEVCrashReportingController::takeBacklogTurn() {
    BacklogItem item;
    {
        std::lock_guard lock(mutex_);
        backlogTurnQueued_ = false;
        if (backlog_.empty()) return;
        item = backlog_.front();
    }
    // Only this queue takes from the line or adds ahead of it, so the first report is still first below.
    const bool packages =
        item.step == BacklogStep::leftover || (item.step == BacklogStep::submit && !needsToPrompt());
    // The next turn comes when the uploader ends a task (networkClientDidEndUploadTask).
    if (packages && !networkClient_->canTakeMoreUploads()) return;
    {
        std::lock_guard lock(mutex_);
        backlog_.pop_front();
    }
    switch (item.step) {
    case BacklogStep::drop:
        debugLog("[Zevuzavidav:Crash] Removing report at request of delegate");
        removeReport(item.report);
        break;
    case BacklogStep::submit:
        if (packages)
            packageAndSubmitReport(item.report, true);
        else
            displayPermissionAlertForReport(item.report);
        break;
    case BacklogStep::leftover:
        packageAndSubmitReport(item.report, false);
        break;
    }
    scheduleBacklogTurn();
}

void ZEVCrashReportingController::packageAndSubmitReport(const std::shared_ptr<ZEVInternalReport>& report,
                                                         bool withProcessing) {
    // A crash analytics could not keep when this launch began (a full disk, say) gets another chance
    // before its report leaves as a package, and so does one left in "processing", which no start tells
    // of. The mark inside the folder moves with it to "processing", so a crash analytics keeps is not
    // told again.
    if (report && !report->crashCounted())
        if (auto delegate = delegate_.lock())
            delegate->reportingControllerInternalDidDetectReportForLastExecution(*this, report);
    reportsController()->prepareAndSubmitReport(report, false, withProcessing);
}

void ZEVCrashReportingController::networkClientDidEndUploadTask(ZEVNetworkClient&) {
    scheduleBacklogTurn();
}

void ZEVCrashReportingController::removeReport(const std::shared_ptr<ZEVInternalReport>& report) {
    if (report) fileManager_->removeItemAtPath(report->path());
}

void ZEVCrashReportingController::handleExistingFilesInProcessing(const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    onWorkQueue([paths](ZEVCrashReportingController& self) {
        // Which report each package in "prepared" carries, read once for all the leftovers.
        const auto packaged = self.reportsController()->packagesByReportIdentifier();
        std::vector<std::shared_ptr<ZEVInternalReport>> reports;
        for (const auto& path : paths) {
            if (!ZEVInternalReport::folderHoldsMetadata(path)) {
                // A removal cut short, or no folder of ours at all: nothing here can ever be sent.
                ns::console("[Zevuzavidav:Crash] Removing a processing item that holds no report: " + path);
                self.fileManager_->removeItemAtPath(path);
                continue;
            }
            // Unreadable metadata is left alone (its line is logged by the report).
            auto report = ZEVInternalReport::reportWithPath(path);
            if (!report) continue;
            if (auto package = packaged.find(report->identifier()); package != packaged.end()) {
                self.reportsController()->removePackagedReportFolder(*report, package->second);
                continue;
            }
            reports.push_back(std::move(report));
        }
        sortOldestFirst(reports);
        std::vector<BacklogItem> items;
        for (auto& report : reports)
            items.push_back({std::move(report), BacklogStep::leftover});
        // Decided on by an earlier launch: ahead of this launch's reports.
        self.addToBacklog(std::move(items), true);
    });
}

void ZEVCrashReportingController::handleExistingFilesInPrepared(const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    std::weak_ptr<ZEVCrashReportingController> weak = weak_from_this();
    networkClient_->attemptToReconnectBackgroundSessionWithCompletionBlock([weak, paths] {
        if (auto self = weak.lock())
            self->onWorkQueue(
                [paths](ZEVCrashReportingController& self) { self.uploadPreexistingFiles(paths); });
    });
}

void ZEVCrashReportingController::uploadPreexistingFiles(const std::vector<std::string>& paths) {
    // Oldest package first; one that is gone meanwhile is passed over.
    std::vector<std::pair<struct timespec, std::string>> packages;
    for (const auto& path : paths) {
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0) packages.emplace_back(info.st_mtim, path);
    }
    std::stable_sort(packages.begin(), packages.end(), [](const auto& a, const auto& b) {
        if (a.first.tv_sec != b.first.tv_sec) return a.first.tv_sec < b.first.tv_sec;
        if (a.first.tv_nsec != b.first.tv_nsec) return a.first.tv_nsec < b.first.tv_nsec;
        return a.second < b.second;
    });
    for (const auto& package : packages)
        reportsController()->uploadPackagedReportAtPath(package.second, false);
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
        onWorkQueue(
            [report](ZEVCrashReportingController& self) { self.packageAndSubmitReport(report, true); });
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
            self.packageAndSubmitReport(report, true);
        }
        std::lock_guard lock(self.mutex_);
        if (self.promptedReport_ == report) {
            self.promptedReport_.reset();
            if (!cancel) self.crashReportSubmissionAlert_.reset();
        }
    });
}

void ZEVCrashReportingController::alertViewCancel(ui::AlertView&) {}
