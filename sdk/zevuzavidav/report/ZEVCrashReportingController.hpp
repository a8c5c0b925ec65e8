#pragma once
// The life of crash reports inside the process. Made once by the kit, with a file manager and the kit
// as delegate, and started once on the thread that starts the kit:
//
//   auto controller = ZEVCrashReportingController::initWithFileManager(std::make_shared<ZEVFileManager>(),
//                                                                      kit);
//   if (!controller->startWithProfilingMark(ZEVProfilingStart(), betaToken)) log "could not be initialized";
//
// The start prepares the tree for the new launch (an older tree is removed first), keeps the launch
// marker, makes "active"/<execution id>, installs the crash handlers through the environment, and
// then deals with what earlier launches left: the delegate hears of every earlier report that needs
// submission, newest first, before any of them leaves "active", and again of each report about to be
// packaged off the urgent road (from "active" or "processing") whose folder is not marked counted
// (ZEVInternalReport::crashCounted), so a crash analytics could not keep is told until it is kept; each
// earlier folder in "active" that holds a record to send but whose metadata a crash left missing,
// empty, cut or without one of its sections has it rebuilt first from this launch's own
// (ZEVReportMetadataRepair.hpp), and one that cannot be rebuilt nor read waits for a later launch; each
// earlier folder is then deleted (nothing to send, or no folder of a report at all), sent at once as
// urgent (the launch marker was found, urgent reports are allowed, no prompt and no delegate that
// decides), or handed to the delegate, whose answer submits it (after asking the user in the "Send
// Crash Report?" alert when the prompt is on) or drops it; folders left in "processing" are packaged and
// sent, packages left in "prepared" are sent again. A failed upload is tried again every 600 s while
// the process lives.
//
// The listings of "active", "processing" and "prepared" are taken before any earlier-report work is
// queued, so no report is handled twice or from a folder that is gone.
//
// Two copies of the app may start on one sandbox together; each report is still sent once. The
// launch's own folder in "active" is claimed (ZEVItemClaim) for the launch's life, so a copy that lists
// it neither sends nor removes it; a folder of an earlier launch is claimed by whichever copy packages
// it, a package by whichever copy uploads it, and the other copy leaves what it finds claimed.
//
// A backlog stays linear and keeps moving. Each earlier folder is read once, on the starting thread,
// and the reports go oldest first (by their launch's start; the undated ones first). With the launch
// marker found only the newest is sent at once as urgent (the launch that failed is the last one);
// the others go the usual way. Reports decided on wait in a line on the work queue, leftovers of
// "processing" ahead of them, and one operation takes one report at a time, so an upload's start and
// end, a retry or anything else queued meanwhile runs between two reports. A report is packaged only
// when the network client can take another upload: packaging keeps pace with the uploads instead of
// filling "prepared" ahead of them. A folder in "processing" that holds no report any more (no
// metadata: its removal was cut short) is removed. Without a current report folder
// no handlers are installed; earlier reports are still handled.
//
// Failure contract: the start answers false, with a console line, for an empty bundle identifier
// (nothing touched), crash reporting switched off by the server (all four report folders emptied), a
// tree that cannot be made, or a current report that cannot be set up ("[Zevuzavidav:Crash] Unable to
// setup a new report"; earlier reports are still handled). Nothing throws. The controller's queue ("com.
// rizudiz.zevuzavidav.ios.work-queue", one operation at a time) does the work on earlier reports, the
// uploads and the retries; the alert is shown and answered on the main queue. Drop the last reference
// only from outside the work queue.
#include "platform/dispatch/OperationQueue.hpp"
#include "platform/foundation/NotificationCenter.hpp"
#include "platform/uikit/AlertView.hpp"
#include "sdk/zevuzavidav/context/ZEVContext.hpp"
#include "sdk/zevuzavidav/report/ZEVCrashReportingControllerDelegate.hpp"
#include "sdk/zevuzavidav/report/ZEVReportsController.hpp"
#include "sdk/zevuzavidav/store/ZEVFileManager.hpp"
#include "sdk/zevuzavidav/store/ZEVItemClaim.hpp"
#include "sdk/zevuzavidav/upload/ZEVNetworkClient.hpp"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class ZEVCrashReportingController final : public ZEVReportsControllerDelegate,
                                          public ZEVNetworkClientDelegate,
                                          public ui::AlertViewDelegate,
                                          public zevuzavidav::CrashCallbackTarget,
                                          public std::enable_shared_from_this<ZEVCrashReportingController> {
  public:
    static constexpr const char* workQueueName = "com.rizudiz.zevuzavidav.ios.work-queue";
    static constexpr double retryDelaySeconds = 600;

    // Where the controller finds this launch; the kit passes nothing and gets the process's own.
    struct Environment {
        // This launch's execution identifier (default: the Zovaze singleton's).
        std::function<std::string()> executionIdentifier;
        // Installs the crash handlers: the kit hands ZEVContextInitialize, which knows every stage of
        // the road; without one no handler is installed.
        std::function<void(const ZEVContextInitData* data)> contextInitialize;
    };

    static std::shared_ptr<ZEVCrashReportingController>
    initWithFileManager(std::shared_ptr<ZEVFileManager> fileManager,
                        std::weak_ptr<ZEVCrashReportingControllerDelegate> delegate,
                        Environment environment = {});
    ~ZEVCrashReportingController() override;
    ZEVCrashReportingController(const ZEVCrashReportingController&) = delete;
    ZEVCrashReportingController& operator=(const ZEVCrashReportingController&) = delete;

    // True when the current launch's report was set up.
    bool startWithProfilingMark(std::uint64_t profilingMark, const std::optional<std::string>& betaToken);
    void deliverCrashDelegateCallback() override;

    const std::shared_ptr<dispatch::OperationQueue>& operationQueue() const { return operationQueue_; }
    const std::shared_ptr<ZEVNetworkClient>& networkClient() const { return networkClient_; }
    const std::shared_ptr<ZEVFileManager>& fileManager() const { return fileManager_; }
    std::shared_ptr<ZEVReportsController> reportsController();
    std::shared_ptr<ZEVCrashReportingControllerDelegate> delegate() const { return delegate_.lock(); }
    // The current launch's report (after the start).
    std::shared_ptr<ZEVInternalReport> currentReport() const;

    ZEVSettings settings();
    std::optional<std::string> APIKey();
    std::optional<std::string> installIdentifier();
    bool firstInstall();
    std::string bundleIdentifier() const;
    bool canProcessUrgentReports();
    bool needsToPrompt();
    bool delegateNeedsToBeInformedOfReports();

    // The steps of the start.
    bool checkPreconditions();
    bool prepareForNewLaunch();
    bool checkForAndCreateLaunchMarker();
    std::string launchFailureMarkerPath() const;
    bool createLaunchFailureMarker() const;
    bool launchFailureMarkerPresent() const;
    bool removeLaunchFailureMarker() const;
    std::shared_ptr<ZEVInternalReport> setupCurrentReport();
    void startCrashReporterWithAPIKey(const std::optional<std::string>& APIKey,
                                      const std::optional<std::string>& betaToken,
                                      std::uint64_t profilingMark,
                                      const std::shared_ptr<ZEVInternalReport>& report);
    void installCrashReportingHandlers(const ZEVContextInitData* data);
    void crashReportingSetupCompleted(std::uint64_t profilingMark, bool handlersInstalled);
    std::uint32_t machExceptionMask();
    void setupStateNotifications();
    void captureInitialNotificationStates();
    void checkForUserPromptSetting();

    // Earlier reports.
    // The reports of the folders of "active" that need submission, oldest first, their metadata
    // rebuilt where a crash left it incomplete; folders with nothing to send are removed on the work
    // queue.
    std::vector<std::shared_ptr<ZEVInternalReport>>
    readExistingReportPaths(const std::vector<std::string>& paths);
    // Tells the delegate of each (reportingControllerInternalDidDetectReportForLastExecution), newest
    // first: the newest before this returns, the others on the work queue, before any of them can leave
    // "active".
    void announceExistingActiveReports(const std::vector<std::shared_ptr<ZEVInternalReport>>& reports);
    void processExistingActiveReport(const std::shared_ptr<ZEVInternalReport>& report, bool asUrgent);
    // Oldest first: by the start of their launch (undated ones first), then by folder name.
    static void sortOldestFirst(std::vector<std::shared_ptr<ZEVInternalReport>>& reports);
    void handleDelegateCompletionForReport(const std::shared_ptr<ZEVInternalReport>& report, bool submit);
    void removeReport(const std::shared_ptr<ZEVInternalReport>& report);
    void handleExistingFilesInProcessing(const std::vector<std::string>& paths);
    void handleExistingFilesInPrepared(const std::vector<std::string>& paths);
    void uploadPreexistingFiles(const std::vector<std::string>& paths);
    void retryUploadForReportAtPath(const std::string& path);
    void displayPermissionAlertForReport(const std::shared_ptr<ZEVInternalReport>& report);
    void setupAndDisplayAlertWithTitle(const std::string& title, const std::string& message,
                                       const std::string& cancel, const std::string& send,
                                       const std::optional<std::string>& alwaysSend,
                                       const std::shared_ptr<ZEVInternalReport>& report);
    // The alert on screen now, if any.
    std::shared_ptr<ui::AlertView> crashReportSubmissionAlert() const;

    // As the alert's delegate (main queue).
    void alertViewClickedButtonAtIndex(ui::AlertView& alertView, std::int64_t buttonIndex) override;
    void alertViewCancel(ui::AlertView& alertView) override;

    // As the reports controller's delegate.
    void reportsControllerDidCompletePackageSubmission(ZEVReportsController& controller,
                                                       const std::string& path,
                                                       const std::optional<ns::Error>& error) override;
    ZEVSettings settingsForReportsController(ZEVReportsController& controller) override;
    std::optional<std::string> APIKeyForReportsController(ZEVReportsController& controller) override;
    std::string bundleIdentifierForReportsController(ZEVReportsController& controller) override;

    // As the network client's delegate.
    bool networkClientCanUseBackgroundSessions(ZEVNetworkClient& client) override;
    void networkClientDidFinishUploadWithPath(ZEVNetworkClient& client, const std::string& path,
                                              const std::optional<ns::Error>& error) override;
    void networkClientDidEndUploadTask(ZEVNetworkClient& client) override;

  private:
    ZEVCrashReportingController(std::shared_ptr<ZEVFileManager> fileManager,
                                std::weak_ptr<ZEVCrashReportingControllerDelegate> delegate,
                                Environment environment);
    // Adds `work` to the work queue, run only while the controller still exists.
    void onWorkQueue(std::function<void(ZEVCrashReportingController& self)> work);
    void onMainQueue(std::function<void(ZEVCrashReportingController& self)> work, double delaySeconds = 0);
    void writeElapsedTime(const char* key, std::uint64_t profilingMark);

    // What a report in the line waits for.
    enum class BacklogStep {
        submit,   // the delegate said yes: the prompt, or packaging and upload
        drop,     // the delegate said no
        leftover, // found in "processing": packaging and upload without processing
    };
    struct BacklogItem {
        std::shared_ptr<ZEVInternalReport> report;
        BacklogStep step;
    };
    void addToBacklog(std::vector<BacklogItem> items, bool ahead);
    // On the work queue: hands a report decided on to be packaged and sent, from "active"
    // (`withProcessing`) or from "processing", telling the delegate of it again first unless its folder
    // is marked counted.
    void packageAndSubmitReport(const std::shared_ptr<ZEVInternalReport>& report, bool withProcessing);
    void scheduleBacklogTurn();
    // On the work queue: the first report of the line, when its turn can come.
    void takeBacklogTurn();

    std::shared_ptr<ZEVFileManager> fileManager_;
    std::weak_ptr<ZEVCrashReportingControllerDelegate> delegate_;
    Environment environment_;
    std::shared_ptr<dispatch::OperationQueue> operationQueue_;
    std::shared_ptr<ZEVNetworkClient> networkClient_;

    mutable std::mutex mutex_;
    std::shared_ptr<ZEVReportsController> reportsController_;
    std::optional<ZEVSettings> settings_;
    std::shared_ptr<ZEVInternalReport> currentReport_;
    // Held for the launch's life: another copy of the app listing "active" leaves this folder alone.
    ZEVItemClaim currentReportClaim_;
    std::shared_ptr<ui::AlertView> crashReportSubmissionAlert_;
    std::shared_ptr<ZEVInternalReport> promptedReport_;
    std::vector<ns::NotificationCenter::ObserverToken> observers_;
    std::deque<BacklogItem> backlog_;
    bool backlogTurnQueued_ = false;
};
