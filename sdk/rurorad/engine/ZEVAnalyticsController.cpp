// The analytics engine: creation, settings, the road of one event, fragments, the previous crash.
#include "sdk/rurorad/engine/ZEVAnalyticsController.hpp"

#include "platform/dispatch/Group.hpp"
#include "platform/foundation/Sandbox.hpp"
#include "platform/uikit/Application.hpp"
#include "platform/uikit/ViewController.hpp"
#include "platform/uikit/ViewControllerRuntime.hpp"
#include "sdk/rurorad/ZEVEventLog/FileError.hpp"
#include "sdk/rurorad/ZEVRuroradLog.hpp"
#include "sdk/rurorad/engine/ZEVAnalyticsEventFilter.hpp"
#include "sdk/rurorad/engine/ZEVAnalyticsSessionCrash.hpp"
#include "sdk/rurorad/records/ZEVAnalyticsApplicationLifecycleEvent.hpp"
#include "sdk/rurorad/records/ZEVAnalyticsEvent.hpp"
#include "sdk/rurorad/records/ZEVAnalyticsViewControllerEvent.hpp"
#include "sdk/zovaze/settings/ZOVSettingsOnboardingManager.hpp"

#include <cerrno>
#include <filesystem>
#include <utility>

namespace fs = std::filesystem;
using Repository = ZEVEventLogSessionRepository;

namespace {

constexpr const char* kLifecycleNotifications[] = {
    "UIApplicationWillTerminateNotification",      "UIApplicationDidReceiveMemoryWarningNotification",
    "UIApplicationDidEnterBackgroundNotification", "UIApplicationWillEnterForegroundNotification",
    "UIApplicationWillResignActiveNotification",   "UIApplicationDidBecomeActiveNotification",
};

std::string describe(const std::optional<ns::Error>& error) {
    return error ? error->localizedDescription() : std::string("(null)");
}

} // namespace

// --- Support and creation --------------------------------------------------------------------------

bool ZEVAnalyticsController::isRunningInExtension(const ns::Bundle& bundle) {
    const ns::PropertyList* extension = bundle.objectForInfoDictionaryKey("NSExtension");
    if (!extension) return false;
    const auto* dictionary = extension->dictionaryValue();
    if (!dictionary) {
        ZEVRuroradDebugLog("Error: NSExtension Info.plist entry is mal-formed\n");
        return false;
    }
    const ns::PropertyList* point = dictionary->find("NSExtensionPointIdentifier");
    if (!point || !point->stringValue()) {
        ZEVRuroradDebugLog("Error: NSExtensionPointIdentifier Info.plist entry is mal-formed\n");
        return false;
    }
    return true;
}

bool ZEVAnalyticsIsRunningInExtension(const ns::Bundle& bundle) {
    return ZEVAnalyticsController::isRunningInExtension(bundle);
}

ui::Application* ZEVAnalyticsSharedApplication(const ns::Bundle& bundle) {
    return ZEVAnalyticsIsRunningInExtension(bundle) ? nullptr : &ui::Application::shared();
}

bool ZEVAnalyticsController::supported(const ns::Bundle& bundle) {
    return deviceMeetsMinimumRequirements() && !ZEVAnalyticsIsRunningInExtension(bundle);
}

ZEVAnalyticsController::ZEVAnalyticsController(const std::string& sessionIdentifier, const URL& root,
                                               const std::optional<std::string>& betaToken,
                                               ZEVAnalyticsHost host, Parts parts)
    : analyticsRootDirectoryURL_(root), betaToken_(betaToken), sessionIdentifier_(sessionIdentifier),
      host_(std::move(host)), identifierGenerator_(std::move(parts.identifierGenerator)),
      timestampGenerator_(std::move(parts.timestampGenerator)),
      metadataController_(std::move(parts.metadataController)),
      networkingClient_(std::move(parts.networkingClient)), tracking_(std::move(parts.tracking)),
      logSessionRepository_(root), priorityWriter_(metadataController_->metadataJSONData(),
                                                   [this](std::size_t priority, std::uint64_t fileSize) {
                                                       afterAppend(priority, fileSize);
                                                   }) {
    if (!identifierGenerator_) identifierGenerator_ = std::make_shared<ZEVAnalyticsIdentifierGenerator>();
    if (!timestampGenerator_) timestampGenerator_ = std::make_shared<ZEVAnalyticsTimestampGenerator>();
    if (!networkingClient_) networkingClient_ = std::make_shared<ZEVAnalyticsNetworkingClient>();
    if (!tracking_) tracking_ = ZEVAnalyticsViewControllerTrackingController::sharedInstance();
    sessionTimestamp_ = timestampGenerator_->generateAnalyticsTimestamp();
    sessionMaintenanceQueue_ =
        std::make_unique<dispatch::SerialQueue>("com.zevuzavidav.analytics.maintenance");
}

std::shared_ptr<ZEVAnalyticsController> ZEVAnalyticsController::initWithSessionIdentifier(
    const std::string& sessionIdentifier, const URL& analyticsRootDirectoryURL,
    const std::optional<std::string>& betaToken, ZEVAnalyticsHost host, Parts parts) {
    if (!parts.timestampGenerator)
        parts.timestampGenerator = std::make_shared<ZEVAnalyticsTimestampGenerator>();
    if (!parts.metadataController) {
        parts.metadataController = ZEVAnalyticsMetadataController::initWithTimeStamp(
            parts.timestampGenerator->generateAnalyticsTimestamp(), betaToken, host);
        if (!parts.metadataController) return nullptr;
    }
    std::shared_ptr<ZEVAnalyticsController> controller(new ZEVAnalyticsController(
        sessionIdentifier, analyticsRootDirectoryURL, betaToken, std::move(host), std::move(parts)));
    if (!controller->start()) return nullptr;
    return controller;
}

bool ZEVAnalyticsController::start() {
    tracking_->setDelegate(weak_from_this());
    if (host_.userDefaults && host_.userDefaults->boolForKey(enableViewControllerTrackingKey))
        tracking_->startTracking();

    auto prepared = prepareNewSessionFragment(identifierGenerator_->generateSessionFragmentIdentifier(),
                                              sessionTimestamp_);
    if (!prepared)
        ZEVRuroradDebugLog("Unable to prepare new session fragment {error: " + describe(prepared.error()) +
                           "}");

    readLastSessionInformation();
    saveCurrentSessionInformation();

    if (host_.notificationCenter) {
        std::weak_ptr<ZEVAnalyticsController> weak = weak_from_this();
        observers_.push_back(host_.notificationCenter->addObserver(ZOVSettingsAvailableNotification,
                                                                   [weak](const ns::Notification&) {
                                                                       if (auto self = weak.lock())
                                                                           self->zovazeSettingsDownloaded();
                                                                   }));
        for (const char* name : kLifecycleNotifications) {
            observers_.push_back(
                host_.notificationCenter->addObserver(name, [weak](const ns::Notification& n) {
                    if (auto self = weak.lock()) self->applicationLifecycleEvent(n);
                }));
        }
    }
    setSettings(host_.settings ? host_.settings() : nullptr);
    return static_cast<bool>(prepared);
}

ZEVAnalyticsController::~ZEVAnalyticsController() {
    tearingDown_ = true;
    if (host_.notificationCenter)
        for (auto token : observers_)
            host_.notificationCenter->removeObserver(token);
    cancelSessionMaintenance();
    // Nothing that is already running on a priority queue may still ask for maintenance once the
    // maintenance queue starts to go.
    priorityWriter_.settle();
}

// --- Settings --------------------------------------------------------------------------------------

void ZEVAnalyticsController::zovazeSettingsDownloaded() {
    setSettings(host_.settings ? host_.settings() : nullptr);
}

void ZEVAnalyticsController::setSettings(ZOVSettingsDocument document) {
    sessionMaintenanceQueue_->async([this, document = std::move(document)] { applySettings(document); });
}

void ZEVAnalyticsController::applySettings(const ZOVSettingsDocument& document) {
    const ZEVAnalyticsSettings settings = ZEVAnalyticsSettings::fromDocument(document.get());
    if (settings.shouldCollectAnalytics && ZEVRuroradDebugEnabled()) {
        const auto analytics = document->find("analytics");
        ZEVRuroradDebugLog("Rurorad enabled with settings: " +
                           (analytics == document->end() ? std::string("(null)") : analytics->dump()));
    }
    if (host_.userDefaults) {
        host_.userDefaults->setBool(settings.shouldTrackViewControllers, enableViewControllerTrackingKey);
        host_.userDefaults->synchronize();
    }
    settings_.publish(settings);
    scheduleSessionMaintenance();
    handleDisabledFeatureSwitch();
    if (!settings.shouldCollectAnalytics) return;
    if (!loggedAnalyticsEnabled_) {
        loggedAnalyticsEnabled_ = true;
        auto session = logSessionRepository_.sessionDirectoryURLForStateName(
            Repository::activeStateName, sessionIdentifier_, sessionTimestamp_);
        ZEVRuroradDebugLog("Logging events to session directory " +
                           (session ? *session : std::string("(null)")));
    }
    if (performSessionMaintenanceAfterSettingsArrive_.exchange(false))
        maintainSessionFragmentsIgnoringError();
}

void ZEVAnalyticsController::handleDisabledFeatureSwitch() {
    if (settings().analyticsFeatureSwitchEnabled()) return;
    ZEVRuroradDebugLog("Rurorad is disabled. Cleaning up session directory");
    std::error_code ec;
    // Looked at as a folder from the sandbox's Library down first: through a link in its place or above
    // it, the removal would take a folder elsewhere.
    if (!ns::Sandbox::ownFolderExists(analyticsRootDirectoryURL_, ec, analyticsRootDirectoryURL_)) return;
    priorityWriter_.close();
    fs::remove_all(analyticsRootDirectoryURL_, ec);
    if (ec) {
        ZEVRuroradDebugLog("Unable to purge analytics directory {error = " +
                           rurorad::posixError(ec, analyticsRootDirectoryURL_).localizedDescription() + "}");
    }
    performSessionMaintenanceAfterSettingsArrive_ = false;
}

// --- Event intake ----------------------------------------------------------------------------------

void ZEVAnalyticsController::logCustomEvent(const ZEVRuroradEvent& event) {
    logRuroradEventIfTracked(event, customEventsFeatureSwitchEnabled());
}

void ZEVAnalyticsController::logCustomEvent(const std::string& name,
                                            const std::optional<ZEVRuroradAttributeEntries>& attributes) {
    // Refusals and the debug line describe the whole event: the usual road makes it.
    if (!customEventsFeatureSwitchEnabled() || !analyticsFeatureSwitchEnabled() || ZEVRuroradDebugEnabled()) {
        logCustomEvent(*ZEVRuroradCustomEvent::initWithName(name, attributes));
        return;
    }
    // Cut and filtered in the event's order, so its log lines come out alike.
    std::string cutCopy;
    std::string_view cutName = name;
    if (!ZEVRuroradEvent::keptWhole(name)) cutName = cutCopy = ZEVRuroradEvent::truncateAttribute(name);
    // Usually the app's attributes pass the filter as they are and are written from where they stand;
    // otherwise they are filtered into a dictionary first. Both keep their room from event to event.
    thread_local std::vector<ZEVRuroradAttributeRef> customAttributes;
    if (!ZEVRuroradEvent::borrowPlainAttributes(attributes, customAttributes)) {
        thread_local ZEVRuroradAttributes filtered;
        ZEVRuroradEvent::filterCustomAttributes(attributes, filtered);
        customAttributes.clear();
        for (const auto& [key, value] : filtered)
            customAttributes.emplace_back(key, &value);
    }
    const std::uint64_t timestamp = newTimestamp();
    thread_local std::string payload;
    payload.clear();
    if (!ZEVAnalyticsEvent::appendCustomPayload(payload, cutName, customAttributes, newEventIdentifier()))
        return;
    logEventParts(ZEVEventLogEvent::lowPriority, timestamp, ZEVRuroradCustomEvent::eventKey, payload);
}

void ZEVAnalyticsController::logPredefinedEvent(const ZEVRuroradEvent& event) {
    logRuroradEventIfTracked(event, predefinedEventsFeatureSwitchEnabled());
}

void ZEVAnalyticsController::logRuroradEventIfTracked(const ZEVRuroradEvent& event, bool tracked) {
    if (!tracked) {
        ZEVRuroradLog("Rurorad Event tracking is disabled for this application. Ignoring " +
                      event.description());
        return;
    }
    logRuroradEvent(event);
}

void ZEVAnalyticsController::logRuroradEvent(const ZEVRuroradEvent& event) {
    if (!analyticsFeatureSwitchEnabled()) {
        ZEVRuroradLog("Rurorad is disabled for this application. Please enable Rurorad on your dashboard.");
        return;
    }
    if (ZEVRuroradDebugEnabled()) ZEVRuroradDebugLog("Logging event: " + event.description());
    // The kit's events are low-priority records (ZEVAnalyticsEvent::initWithRuroradEvent); their parts
    // are taken straight from the event, the record itself is never needed.
    const std::uint64_t timestamp = newTimestamp();
    thread_local std::string payload;
    payload.clear();
    if (!ZEVAnalyticsEvent::appendRuroradPayload(payload, event, newEventIdentifier())) return;
    logEventParts(ZEVEventLogEvent::lowPriority, timestamp, event.key(), payload);
}

void ZEVAnalyticsController::logEvent(std::shared_ptr<const ZEVEventLogEvent> event) {
    if (!event) return;
    const auto& payload = event->payload();
    logEventParts(event->priority(), event->timestamp(), event->key(),
                  payload ? std::optional<std::string_view>(*payload) : std::nullopt);
}

void ZEVAnalyticsController::logEventParts(std::uint64_t priority, std::uint64_t timestamp,
                                           std::string_view key, std::optional<std::string_view> payload) {
    const ZEVAnalyticsSettings& settings = this->settings();
    if (ZEVAnalyticsEventFilter::shouldDiscardEventWithKey(key, betaToken_, host_.installID,
                                                           settings.samplingRate)) {
        ZEVRuroradDebugLog("Application is enabled for sampling, skipping " + std::string(key));
        return;
    }
    if (!settings.analyticsFeatureSwitchEnabled()) return;
    priorityWriter_.append(priority, timestamp, key, payload);
}

void ZEVAnalyticsController::afterAppend(std::size_t priority, std::uint64_t fileSize) {
    const ZEVAnalyticsSettings& settings = this->settings();
    if (settings.maxByteSizePerFile != 0 && fileSize > settings.maxByteSizePerFile) {
        maintainSessionFragmentsIgnoringError();
    } else if (priority == ZEVEventLogEvent::highPriority) {
        if (settings.haveSettings)
            maintainSessionFragmentsIgnoringError();
        else
            performSessionMaintenanceAfterSettingsArrive_ = true;
    }
}

void ZEVAnalyticsController::logAppInstalled() {
    if (host_.isFirstInstall && host_.isFirstInstall())
        logEvent(ZEVAnalyticsApplicationLifecycleEvent::initApplicationInstalledEvent(newTimestamp(),
                                                                                      newEventIdentifier()));
}

void ZEVAnalyticsController::logAppLaunched() {
    logEvent(ZEVAnalyticsApplicationLifecycleEvent::initApplicationLaunchedEvent(newTimestamp(),
                                                                                 newEventIdentifier()));
}

void ZEVAnalyticsController::applicationLifecycleEvent(const ns::Notification& notification) {
    logEvent(ZEVAnalyticsApplicationLifecycleEvent::initWithApplicationNotificationName(
        notification.name, newTimestamp(), newEventIdentifier(), settings().shouldFlushOnBackground));
    // The process is about to end: the low-priority lines still waiting for their grouped write go to
    // their file now, before this returns.
    if (notification.name == "UIApplicationWillTerminateNotification") flushEventLogs();
}

void ZEVAnalyticsController::viewControllerTrackingControllerDidDetectAppearanceOfViewController(
    ZEVAnalyticsViewControllerTrackingController&, rt::Object& viewController) {
    if (!settings().shouldTrackViewControllers) return;
    auto* screen = dynamic_cast<ui::ViewControllerObject*>(&viewController);
    logEvent(ZEVAnalyticsViewControllerEvent::initWithAppearedEventForViewController(
        viewController.objectClass().name(), screen ? screen->controller().title() : std::nullopt,
        newTimestamp(), newEventIdentifier()));
}

void ZEVAnalyticsController::viewControllerTrackingControllerDidDetectDisappearanceOfViewController(
    ZEVAnalyticsViewControllerTrackingController&, rt::Object& viewController) {
    if (!settings().shouldTrackViewControllers) return;
    auto* screen = dynamic_cast<ui::ViewControllerObject*>(&viewController);
    logEvent(ZEVAnalyticsViewControllerEvent::initWithDisappearedEventForViewController(
        viewController.objectClass().name(), screen ? screen->controller().title() : std::nullopt,
        newTimestamp(), newEventIdentifier()));
}

// --- Fragments -------------------------------------------------------------------------------------

ns::Result<void> ZEVAnalyticsController::prepareNewSessionFragment(const std::string& identifier,
                                                                   std::uint64_t timestamp) {
    auto directory = logSessionRepository_.sessionFragmentDirectoryURLForStateName(
        Repository::activeStateName, sessionIdentifier_, sessionTimestamp_, identifier, timestamp);
    if (!directory) return directory.error();
    ZEVAnalyticsPriorityWriter::FileURLs fileURLs;
    for (std::size_t p = 0; p < fileURLs.size(); ++p) {
        auto url = logSessionRepository_.eventLogFileURLForStateName(
            Repository::activeStateName, sessionIdentifier_, sessionTimestamp_, identifier, timestamp,
            static_cast<std::int64_t>(p));
        if (!url) return url.error();
        fileURLs[p] = *url;
    }
    auto fragment = std::make_shared<const Fragment>(Fragment{identifier, timestamp, *directory});
    {
        std::lock_guard lock(fragmentMutex_);
        pendingFragment_ = fragment;
    }
    // The last priority to swap makes the new fragment the open one, also when that comes after the wait
    // has given up.
    if (!priorityWriter_.swap(fileURLs, timestamp, fragmentSwapTimeout,
                              [this, fragment] { promoteFragment(fragment); }))
        return rurorad::posixError(ETIMEDOUT, fragment->directory);
    return {};
}

void ZEVAnalyticsController::promoteFragment(const std::shared_ptr<const Fragment>& fragment) {
    std::lock_guard lock(fragmentMutex_);
    if (pendingFragment_ != fragment) return; // a newer fragment is on its way
    currentFragment_ = fragment;
    pendingFragment_ = nullptr;
}

ZEVAnalyticsController::URLs ZEVAnalyticsController::openSessionFragmentDirectoryURLs() const {
    std::lock_guard lock(fragmentMutex_);
    URLs open;
    if (currentFragment_) open.push_back(currentFragment_->directory);
    if (pendingFragment_) open.push_back(pendingFragment_->directory);
    return open;
}

bool ZEVAnalyticsController::isOpenSessionFragmentDirectoryURL(const URL& directory) const {
    const auto normal = [](const URL& url) {
        std::string text = fs::path(url).lexically_normal().string();
        while (text.size() > 1 && text.back() == '/')
            text.pop_back();
        return text;
    };
    for (const auto& open : openSessionFragmentDirectoryURLs())
        if (normal(open) == normal(directory)) return true;
    return false;
}

// --- Sessions and the previous crash ---------------------------------------------------------------

void ZEVAnalyticsController::readLastSessionInformation() {
    lastSession_.reset();
    if (host_.userDefaults) lastSession_ = ZEVAnalyticsSessionRecord::read(*host_.userDefaults);
}

void ZEVAnalyticsController::saveCurrentSessionInformation() {
    if (host_.userDefaults)
        ZEVAnalyticsSessionRecord{sessionIdentifier_, sessionTimestamp_, metadataJSONData()}.save(
            *host_.userDefaults);
}

bool ZEVAnalyticsController::logPreviousSessionCrashedOnDate(
    const std::optional<ns::Date>& date, const std::optional<std::string>& sessionIdentifier) {
    ZEVRuroradDebugLog("Logging previous session crashed event {date: " +
                       (date ? date->iso8601String() : std::string("(null)")) + "}");
    if (!date) return false;
    // Written on the maintenance queue, which packages, prunes and cleans the fragments it goes into, and
    // waited for: the crash kit lets go of the crashed launch's report when this returns. A queue held up
    // longer than the bound (a fragment swap alone may take fragmentSwapTimeout) writes it later.
    if (sessionMaintenanceQueue_->isCurrent()) return writePreviousSessionCrash(*date, sessionIdentifier);
    dispatch::Group written;
    auto onDisk = std::make_shared<std::atomic<bool>>(false);
    written.async(*sessionMaintenanceQueue_, [this, date = *date, sessionIdentifier, onDisk] {
        *onDisk = writePreviousSessionCrash(date, sessionIdentifier);
    });
    if (!written.wait(previousSessionCrashTimeout)) {
        ZEVRuroradDebugLog("Crash event not yet logged; it is logged once the maintenance queue gets to it");
        return false;
    }
    return *onDisk;
}

bool ZEVAnalyticsController::writePreviousSessionCrash(const ns::Date& date,
                                                       const std::optional<std::string>& sessionIdentifier) {
    // A write that outlasted its caller's wait answered false, so the crash kit tells of the crash again
    // later in this launch. By then the defaults may name a later crash and maintenance may have packaged
    // the first write's fragment, so neither says that the session has its crash: this does.
    const bool named = sessionIdentifier && !sessionIdentifier->empty();
    if (named && crashedSessionsWritten_.count(*sessionIdentifier) != 0) return true;
    const bool onDisk = ZEVAnalyticsRecordPreviousSessionCrash(
        logSessionRepository_, host_.userDefaults, lastSession_, date, sessionIdentifier,
        [this](const std::string& identifier, std::uint64_t timestamp) {
            return ZEVAnalyticsMetadataController::metadataJSONDataForSession(identifier, timestamp,
                                                                              betaToken_, host_);
        },
        newEventIdentifier());
    if (onDisk && named) crashedSessionsWritten_.insert(*sessionIdentifier);
    return onDisk;
}
