#pragma once
// The analytics engine, one per process. It decides whether analytics runs (server switches), turns every
// event into a line of one of three per-priority log files ("0.log" high, "1.log" medium, "2.log" low) of
// the open session fragment, writes the crash of the previous launch into that launch's session, and runs
// the maintenance that closes, packages, uploads, prunes and cleans fragments (see
// ZEVAnalyticsControllerMaintenance.cpp for that road).
//
// Its parts: the priority writer holds the three log files and their queues (ZEVAnalyticsPriorityWriter),
// the settings in force are immutable snapshots (ZEVAnalyticsSettingsSnapshots), and the previous launch's
// session comes from ZEVAnalyticsSessionRecord.
//
// Threads: callers may be on any thread. Priority 0 and 1 events block the caller until their line is
// written on their priority's serial queue; priority 2 events are written later on the low-priority
// queue. Settings, maintenance and the crash event run on the maintenance queue; the caller of the crash
// event waits for its write, at most 10 s (longer than any one maintenance step takes short of a stalled
// disk). Opening a fragment swaps the writer's files and waits at most 5 s; the open fragment moves to the
// new one only once every priority has swapped, so packaging never takes a fragment a queue may still
// write to. Nothing on a priority queue waits for the maintenance queue.
//
// Failure contract: creation answers nullptr when the first fragment cannot be prepared (the kit then logs
// nothing that launch). Every other failure is a debug line ("[Zevuzavidav:Rurorad] ...") except the two
// "disabled" notices of event intake, which are always printed. A failing write drops that event only
// (a full disk never ends the process), and nothing is retried. Errors of maintenance are in the domain
// "ZEVAnalyticsControllerErrorDomain": -1 an upload run is already going on, -2 no analytics URL, -3
// pruning could not reach its limit.
#include "platform/dispatch/SerialQueue.hpp"
#include "platform/dispatch/Timer.hpp"
#include "platform/foundation/Date.hpp"
#include "sdk/rurorad/ZEVEventLog/ZEVEventLogSessionRepository.hpp"
#include "sdk/rurorad/engine/ZEVAnalyticsHost.hpp"
#include "sdk/rurorad/engine/ZEVAnalyticsMetadataController.hpp"
#include "sdk/rurorad/engine/ZEVAnalyticsPriorityWriter.hpp"
#include "sdk/rurorad/engine/ZEVAnalyticsSessionRecord.hpp"
#include "sdk/rurorad/engine/ZEVAnalyticsSettingsSnapshots.hpp"
#include "sdk/rurorad/events/ZEVRuroradEvent.hpp"
#include "sdk/rurorad/records/ZEVAnalyticsGenerators.hpp"
#include "sdk/rurorad/tracking/ZEVAnalyticsViewControllerTrackingController.hpp"
#include "sdk/rurorad/upload/ZEVAnalyticsNetworkingClient.hpp"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

class ZEVAnalyticsController final : public ZEVAnalyticsViewControllerTrackingDelegate,
                                     public std::enable_shared_from_this<ZEVAnalyticsController> {
  public:
    using Completion = std::function<void(const std::optional<ns::Error>& error)>;
    using URL = ZEVEventLogSessionRepository::URL;
    using URLs = ZEVEventLogSessionRepository::URLs;

    static constexpr const char* errorDomain = "ZEVAnalyticsControllerErrorDomain";
    static constexpr long errorTransmissionInProgress = -1;
    static constexpr long errorNoAnalyticsURL = -2;
    static constexpr long errorPruningLimitNotReached = -3;

    static constexpr const char* enableViewControllerTrackingKey =
        "com.zevuzavidav.insights.enableviewcontrollertracking";
    static constexpr const char* lastMaintenanceDateKey = "com.zevuzavidav.insights.lastmaintenancedate";

    static constexpr double fragmentSwapTimeout = 5.0;
    static constexpr double previousSessionCrashTimeout = 10.0;
    static constexpr double maintenanceTimerLeeway = 10.0;

    // What the engine is made of; absent parts get the real ones.
    struct Parts {
        std::shared_ptr<ZEVAnalyticsIdentifierGenerator> identifierGenerator;
        std::shared_ptr<ZEVAnalyticsTimestampGenerator> timestampGenerator;
        std::shared_ptr<const ZEVAnalyticsMetadataController> metadataController;
        std::shared_ptr<ZEVAnalyticsNetworkingClient> networkingClient;
        std::shared_ptr<ZEVAnalyticsViewControllerTrackingController> tracking;
    };

    // Analytics can run: JSON can be written, and the process is not an app extension.
    static bool supported(const ns::Bundle& bundle);
    static bool deviceMeetsMinimumRequirements() { return true; }
    // The Info.plist "NSExtension" is a dictionary whose "NSExtensionPointIdentifier" is a string
    // (malformed entries are logged while debugging and count as not an extension).
    static bool isRunningInExtension(const ns::Bundle& bundle);

    static std::shared_ptr<ZEVAnalyticsController>
    initWithSessionIdentifier(const std::string& sessionIdentifier, const URL& analyticsRootDirectoryURL,
                              const std::optional<std::string>& betaToken, ZEVAnalyticsHost host,
                              Parts parts = {});
    ~ZEVAnalyticsController() override;
    ZEVAnalyticsController(const ZEVAnalyticsController&) = delete;
    ZEVAnalyticsController& operator=(const ZEVAnalyticsController&) = delete;

    // --- Event intake (any thread) ---
    void logCustomEvent(const ZEVRuroradEvent& event);
    // A custom event by its name and the app's attributes: the same line as logCustomEvent of the event
    // they make (and the same log lines), without making the event when nothing needs it whole.
    void logCustomEvent(const std::string& name, const std::optional<ZEVRuroradAttributeEntries>& attributes);
    void logPredefinedEvent(const ZEVRuroradEvent& event);
    void logRuroradEvent(const ZEVRuroradEvent& event);
    void logEvent(std::shared_ptr<const ZEVEventLogEvent> event);
    void logAppInstalled();
    void logAppLaunched();
    // The crash of the launch whose session is `sessionIdentifier` (absent: the session read at the
    // start), on disk when this returns unless the maintenance queue is held up past
    // previousSessionCrashTimeout (ZEVAnalyticsSessionCrash.hpp). True when it is on disk by then. A
    // session this engine has written the crash of is never written again, however late it is told again.
    bool logPreviousSessionCrashedOnDate(const std::optional<ns::Date>& date,
                                         const std::optional<std::string>& sessionIdentifier = std::nullopt);
    void applicationLifecycleEvent(const ns::Notification& notification);
    void viewControllerTrackingControllerDidDetectAppearanceOfViewController(
        ZEVAnalyticsViewControllerTrackingController& controller, rt::Object& viewController) override;
    void viewControllerTrackingControllerDidDetectDisappearanceOfViewController(
        ZEVAnalyticsViewControllerTrackingController& controller, rt::Object& viewController) override;

    // --- Settings ---
    void zovazeSettingsDownloaded();
    // Applied later, on the maintenance queue.
    void setSettings(ZOVSettingsDocument settings);
    // The settings in force: a snapshot that stays valid for the engine's life.
    const ZEVAnalyticsSettings& settings() const { return settings_.current(); }
    bool analyticsFeatureSwitchEnabled() const { return settings().analyticsFeatureSwitchEnabled(); }
    bool customEventsFeatureSwitchEnabled() const { return settings().customEventsFeatureSwitchEnabled(); }
    bool predefinedEventsFeatureSwitchEnabled() const {
        return settings().predefinedEventsFeatureSwitchEnabled();
    }
    const ZEVAnalyticsMetadataController& metadataController() const { return *metadataController_; }
    const std::string& metadataJSONData() const { return metadataController_->metadataJSONData(); }
    const std::string& sessionIdentifier() const { return sessionIdentifier_; }
    std::uint64_t sessionTimestamp() const { return sessionTimestamp_; }
    dispatch::SerialQueue& sessionMaintenanceQueue() { return *sessionMaintenanceQueue_; }
    // Returns once every event handed in before the call is in its file (or dropped).
    void flushEventLogs() { priorityWriter_.flush(); }

    // --- Maintenance (ZEVAnalyticsControllerMaintenance.cpp) ---
    // One run: open a new fragment, package the closed ones, upload them, prune, clean up, record the
    // time. The completion runs on the maintenance queue.
    void maintainSessionFragments(Completion completion);
    // The same, its failure only logged; a run already waiting to start takes this request in.
    void maintainSessionFragmentsIgnoringError();
    void scheduleSessionMaintenance();
    void cancelSessionMaintenance();
    bool hasSessionMaintenanceTimer() const;
    // Seconds until the first timer fire: interval minus the time since the last maintenance (never
    // negative, and a last maintenance in the future counts as now).
    static double initialMaintenanceTimeWithFlushInterval(double interval, const ns::Date& lastMaintenance,
                                                          const ns::Date& now);
    std::optional<ns::Date> lastMaintenanceDate();
    void saveLastMaintenanceDate(const ns::Date& date);
    // The log files grouped by priority (index 0..2, as many groups as the highest priority present),
    // each group sorted by full path; files without a priority are left out.
    static std::vector<std::vector<URL>>
    mutableSortedFileURLsGroupedByPrioritiesFromLogFileURLs(const URLs& files);
    // The open fragment's directory (and the one being opened, while its swap is still going on).
    URLs openSessionFragmentDirectoryURLs() const;
    bool isOpenSessionFragmentDirectoryURL(const URL& directory) const;

  private:
    struct Fragment {
        std::string identifier;
        std::uint64_t timestamp = 0;
        URL directory;
    };

    ZEVAnalyticsController(const std::string& sessionIdentifier, const URL& root,
                           const std::optional<std::string>& betaToken, ZEVAnalyticsHost host, Parts parts);
    bool start();

    // Intake.
    void logRuroradEventIfTracked(const ZEVRuroradEvent& event, bool tracked);
    // The rest of the road of an event, given by the parts of its line: sampling, the switch, its
    // priority's file.
    void logEventParts(std::uint64_t priority, std::uint64_t timestamp, std::string_view key,
                       std::optional<std::string_view> payload);
    // On the priority's queue, once lines are in its file: a file past its size limit, or a high-priority
    // event, asks for maintenance.
    void afterAppend(std::size_t priority, std::uint64_t fileSize);
    std::uint64_t newTimestamp() { return timestampGenerator_->generateAnalyticsTimestamp(); }
    std::string newEventIdentifier() { return identifierGenerator_->generateEventIdentifier(); }

    // Fragments and sessions.
    ns::Result<void> prepareNewSessionFragment(const std::string& identifier, std::uint64_t timestamp);
    void promoteFragment(const std::shared_ptr<const Fragment>& fragment);
    void readLastSessionInformation();
    void saveCurrentSessionInformation();
    bool writePreviousSessionCrash(const ns::Date& date, const std::optional<std::string>& sessionIdentifier);

    // Settings (maintenance queue).
    void applySettings(const ZOVSettingsDocument& document);
    void handleDisabledFeatureSwitch();

    // Maintenance steps (maintenance queue).
    void runMaintenance(Completion completion);
    ns::Result<void> openNewSessionFragment();
    ns::Result<void> packageClosedSessionFragments();
    ns::Result<void> packageLogsFromActiveSessionFragmentDirectoryURL(const URL& active, const URL& prep);
    URLs sessionFragmentDirectoryURLsForStateName(const std::string& state, std::optional<ns::Error>& error);
    void transmitPackagedSessionFragments(Completion completion);
    void transmitNextPackagedSessionFragment(Completion completion);
    void finishTransmission(const URL& fragment, const std::optional<ns::Error>& error,
                            Completion completion);
    ns::Result<void> pruneSessionFragmentLogFiles();
    ns::Result<void> cleanUpRepository();
    static ns::Error controllerError(long code);

    const URL analyticsRootDirectoryURL_;
    const std::optional<std::string> betaToken_;
    const std::string sessionIdentifier_;
    ZEVAnalyticsHost host_;
    std::shared_ptr<ZEVAnalyticsIdentifierGenerator> identifierGenerator_;
    std::shared_ptr<ZEVAnalyticsTimestampGenerator> timestampGenerator_;
    std::shared_ptr<const ZEVAnalyticsMetadataController> metadataController_;
    std::shared_ptr<ZEVAnalyticsNetworkingClient> networkingClient_;
    std::shared_ptr<ZEVAnalyticsViewControllerTrackingController> tracking_;
    std::uint64_t sessionTimestamp_ = 0;
    ZEVEventLogSessionRepository logSessionRepository_;

    ZEVAnalyticsSettingsSnapshots settings_;

    mutable std::mutex fragmentMutex_;
    std::shared_ptr<const Fragment> currentFragment_;
    std::shared_ptr<const Fragment> pendingFragment_;

    std::atomic<bool> performSessionMaintenanceAfterSettingsArrive_{false};
    std::atomic<bool> maintenanceRunPending_{false};
    std::atomic<bool> tearingDown_{false};

    // Maintenance-queue state.
    bool loggedAnalyticsEnabled_ = false;
    std::optional<URLs> sessionFragmentsToTransmit_;
    // The sessions whose crash this engine has put on disk.
    std::set<std::string> crashedSessionsWritten_;

    // Known after creation, read-only afterwards.
    std::optional<ZEVAnalyticsSessionRecord> lastSession_;

    mutable std::mutex timerMutex_;
    std::shared_ptr<dispatch::Timer> sessionFragmentMaintenanceTimerSource_;
    std::vector<ns::NotificationCenter::ObserverToken> observers_;

    // Declared last, so they go first: the maintenance queue (whose blocks swap the writer's files) before
    // the writer, each finishing the work already given to it while everything else still exists.
    ZEVAnalyticsPriorityWriter priorityWriter_;
    std::unique_ptr<dispatch::SerialQueue> sessionMaintenanceQueue_;
};

namespace ui {
class Application;
}

// The same test as ZEVAnalyticsController::isRunningInExtension, on the main bundle unless told.
bool ZEVAnalyticsIsRunningInExtension(const ns::Bundle& bundle = ns::Bundle::main());
// The shared application; null inside an app extension, which has none of its own.
ui::Application* ZEVAnalyticsSharedApplication(const ns::Bundle& bundle = ns::Bundle::main());
