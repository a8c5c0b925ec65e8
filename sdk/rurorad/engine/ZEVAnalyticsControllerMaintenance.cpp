// The maintenance road of the analytics engine, every step on the maintenance queue:
//   1. open a new fragment, so every earlier one is closed;
//   2. package each closed ACTIVE fragment: gzip its logs into PACKAGED/<session>/<fragment>.prep, make
//      them durable, rename the directory to drop ".prep", remove the ACTIVE fragment;
//   3. upload every PACKAGED fragment, one request each, deleting the ones the server took;
//   4. prune log files beyond the server's limit, lowest priority and oldest first;
//   5. clean the tree of anything that does not belong; 6. record the time.
// No step stops the road: a failure is logged and the next step runs. A fragment that failed to package
// stays ACTIVE, one that failed to upload stays PACKAGED; later runs take them again.
#include "sdk/rurorad/engine/ZEVAnalyticsController.hpp"

#include "platform/foundation/FileContents.hpp"

#include "sdk/rurorad/ZEVEventLog/FileError.hpp"
#include "sdk/rurorad/ZEVRuroradLog.hpp"
#include "sdk/rurorad/upload/ZEVAnalyticsCompressFile.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

namespace fs = std::filesystem;
using Repository = ZEVEventLogSessionRepository;

namespace {

std::string describe(const ns::Error& error) {
    return error.localizedDescription();
}

// Flushes a file or directory to the disk, so a rename that follows never exposes data still in memory.
bool syncPath(const std::string& path, int flags) {
    int fd = ::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

} // namespace

ns::Error ZEVAnalyticsController::controllerError(long code) {
    return ns::Error(errorDomain, code);
}

// --- The run ---------------------------------------------------------------------------------------

void ZEVAnalyticsController::maintainSessionFragments(Completion completion) {
    sessionMaintenanceQueue_->async(
        [this, completion = std::move(completion)] { runMaintenance(completion); });
}

void ZEVAnalyticsController::maintainSessionFragmentsIgnoringError() {
    if (tearingDown_) return;
    // A run that has not started yet will see whatever this request was about.
    if (maintenanceRunPending_.exchange(true)) return;
    sessionMaintenanceQueue_->async([this] {
        maintenanceRunPending_ = false;
        runMaintenance([](const std::optional<ns::Error>& error) {
            if (error) ZEVRuroradDebugLog("Unable to maintain session fragments {" + describe(*error) + "}");
        });
    });
}

void ZEVAnalyticsController::runMaintenance(Completion completion) {
    if (auto opened = openNewSessionFragment(); !opened)
        ZEVRuroradDebugLog("Unable to open new session fragment {" + describe(opened.error()) + "}");
    if (auto packaged = packageClosedSessionFragments(); !packaged)
        ZEVRuroradDebugLog("Unable to package closed session fragments {" + describe(packaged.error()) + "}");
    transmitPackagedSessionFragments([this, completion](const std::optional<ns::Error>& error) {
        if (error)
            ZEVRuroradDebugLog("Unable to transmit packaged session fragments {" + describe(*error) + "}");
        else
            ZEVRuroradDebugLog("Successfully transmitted packaged session fragments");
        if (auto pruned = pruneSessionFragmentLogFiles(); !pruned)
            ZEVRuroradDebugLog("Unable to prune session fragment log files {" + describe(pruned.error()) +
                               "}");
        if (auto cleaned = cleanUpRepository(); !cleaned)
            ZEVRuroradDebugLog("Unable to clean up session repository {" + describe(cleaned.error()) + "}");
        saveLastMaintenanceDate(ns::Date::now());
        if (completion) completion(std::nullopt);
    });
}

ns::Result<void> ZEVAnalyticsController::openNewSessionFragment() {
    return prepareNewSessionFragment(identifierGenerator_->generateSessionFragmentIdentifier(),
                                     newTimestamp());
}

// --- Packaging -------------------------------------------------------------------------------------

ZEVAnalyticsController::URLs
ZEVAnalyticsController::sessionFragmentDirectoryURLsForStateName(const std::string& state,
                                                                 std::optional<ns::Error>& error) {
    URLs fragments;
    auto sessions = logSessionRepository_.sessionDirectoryURLsForStateName(state);
    if (!sessions) {
        error = sessions.error();
        return fragments;
    }
    for (const auto& session : *sessions) {
        auto inSession = logSessionRepository_.sessionFragmentDirectoryURLsForSessionDirectory(session);
        fragments.insert(fragments.end(), inSession.begin(), inSession.end());
    }
    // Oldest first (sessions and fragments are named by their time of creation), as pruning takes them: a
    // backlog goes out from its oldest end, the one pruning would take next, rather than in the order the
    // file system lists it, where an old fragment (the one holding a crash) can wait until it is pruned.
    std::sort(fragments.begin(), fragments.end());
    return fragments;
}

ns::Result<void> ZEVAnalyticsController::packageClosedSessionFragments() {
    if (auto purged = logSessionRepository_.purgePrepSessionFragmentDirectoriesForStateName(
            Repository::packagedStateName);
        !purged)
        ZEVRuroradDebugLog(
            "Unable to purge packaged prep session fragments {error = " + describe(purged.error()) + "}");
    std::optional<ns::Error> listingError;
    const URLs fragments =
        sessionFragmentDirectoryURLsForStateName(Repository::activeStateName, listingError);
    if (listingError) return *listingError;
    for (const auto& fragment : fragments) {
        if (isOpenSessionFragmentDirectoryURL(fragment)) continue;
        auto prep = logSessionRepository_.prepSessionFragmentDirectoryURLForStateName(
            Repository::packagedStateName, fragment);
        if (!prep) return prep.error();
        if (auto packaged = packageLogsFromActiveSessionFragmentDirectoryURL(fragment, *prep); !packaged)
            return packaged;
        auto finished = logSessionRepository_.removePrepStatusFromSessionFragmentDirectoryURL(*prep);
        if (!finished) return finished.error();
        syncPath(fs::path(*finished).parent_path().string(), O_RDONLY | O_DIRECTORY);
        if (auto removed = logSessionRepository_.removeSessionFragmentDirectory(fragment); !removed)
            return removed;
    }
    return {};
}

ns::Result<void> ZEVAnalyticsController::packageLogsFromActiveSessionFragmentDirectoryURL(const URL& active,
                                                                                          const URL& prep) {
    auto entries = logSessionRepository_.contentsOfDirectoryURL(active);
    if (!entries) return entries.error();
    for (const auto& entry : *entries) {
        if (!Repository::itemURLHasPathExtensionMatching(entry, "log")) continue;
        const std::string output = (fs::path(prep) / (fs::path(entry).filename().string() + ".zip")).string();
        Descriptor in{ns::openRegularFile(entry, O_RDONLY)};
        if (in.fd < 0) return rurorad::posixError(errno, entry);
        Descriptor out{ns::openPrivateFileForWriting(output, O_WRONLY | O_TRUNC)};
        if (out.fd < 0) return rurorad::posixError(errno, output);
        errno = 0;
        if (ZEVAnalyticsCompressFile(in.fd, out.fd) != 0)
            return rurorad::posixError(errno ? errno : EIO, output);
        if (::fsync(out.fd) != 0) return rurorad::posixError(errno, output);
    }
    if (!syncPath(prep, O_RDONLY | O_DIRECTORY)) return rurorad::posixError(errno, prep);
    return {};
}

// --- Transmission ----------------------------------------------------------------------------------

void ZEVAnalyticsController::transmitPackagedSessionFragments(Completion completion) {
    if (!settings().analyticsURL) return completion(controllerError(errorNoAnalyticsURL));
    if (sessionFragmentsToTransmit_) return completion(controllerError(errorTransmissionInProgress));
    std::optional<ns::Error> ignored;
    sessionFragmentsToTransmit_ =
        sessionFragmentDirectoryURLsForStateName(Repository::packagedStateName, ignored);
    transmitNextPackagedSessionFragment(std::move(completion));
}

void ZEVAnalyticsController::transmitNextPackagedSessionFragment(Completion completion) {
    if (!sessionFragmentsToTransmit_ || sessionFragmentsToTransmit_->empty()) {
        sessionFragmentsToTransmit_.reset();
        return completion(std::nullopt);
    }
    const URL fragment = sessionFragmentsToTransmit_->front();
    auto files = logSessionRepository_.logFileURLsForSessionFragmentDirectory(fragment);
    if (!files) {
        // Gone since the listing (a purged prep directory): nothing to send.
        sessionFragmentsToTransmit_->erase(sessionFragmentsToTransmit_->begin());
        return transmitNextPackagedSessionFragment(std::move(completion));
    }
    ZEVRuroradDebugLog("Transmitting packaged session fragments in " + fragment);
    std::weak_ptr<ZEVAnalyticsController> weak = weak_from_this();
    const auto url = settings().analyticsURL.value_or(std::string());
    networkingClient_->transmitLogFilesAtURLs(
        *files, url, host_.APIKey ? host_.APIKey() : std::nullopt,
        [weak, fragment, completion = std::move(completion)](const std::optional<ns::Error>& error) {
            auto self = weak.lock();
            if (!self || self->tearingDown_) return;
            self->sessionMaintenanceQueue_->async([controller = self.get(), fragment, error, completion] {
                controller->finishTransmission(fragment, error, completion);
            });
        });
}

void ZEVAnalyticsController::finishTransmission(const URL& fragment, const std::optional<ns::Error>& error,
                                                Completion completion) {
    if (!error) {
        if (auto removed = logSessionRepository_.removeSessionFragmentDirectory(fragment); !removed)
            ZEVRuroradDebugLog("Unable to delete session fragment directory \"" + fragment + "\" {" +
                               describe(removed.error()) + "}");
    }
    if (sessionFragmentsToTransmit_ && !sessionFragmentsToTransmit_->empty())
        sessionFragmentsToTransmit_->erase(sessionFragmentsToTransmit_->begin());
    transmitNextPackagedSessionFragment(std::move(completion));
}

// --- Pruning and clean-up --------------------------------------------------------------------------

std::vector<std::vector<ZEVAnalyticsController::URL>>
ZEVAnalyticsController::mutableSortedFileURLsGroupedByPrioritiesFromLogFileURLs(const URLs& files) {
    std::vector<std::vector<URL>> groups;
    for (const auto& file : files) {
        const auto priority = Repository::priorityForEventLogFileWithName(fs::path(file).filename().string());
        if (priority < 0) continue;
        if (groups.size() <= static_cast<std::size_t>(priority))
            groups.resize(static_cast<std::size_t>(priority) + 1);
        groups[static_cast<std::size_t>(priority)].push_back(file);
    }
    for (auto& group : groups)
        std::sort(group.begin(), group.end());
    return groups;
}

ns::Result<void> ZEVAnalyticsController::pruneSessionFragmentLogFiles() {
    const ZEVAnalyticsSettings& settings = this->settings();
    if (!settings.haveSettings) return {};
    auto all = logSessionRepository_.logFileURLsForAllStates();
    if (!all) return all.error();
    URLs files;
    for (const auto& file : *all)
        if (!isOpenSessionFragmentDirectoryURL(Repository::sessionFragmentDirectoryURLForLogFileURL(file)))
            files.push_back(file);
    std::uint64_t count = files.size();
    const std::uint64_t limit = settings.maxPendingSendFileCount;
    if (count <= limit) return {};
    auto groups = mutableSortedFileURLsGroupedByPrioritiesFromLogFileURLs(files);
    while (count > limit) {
        if (groups.empty() || groups.back().empty()) return controllerError(errorPruningLimitNotReached);
        auto& lowest = groups.back();
        if (auto removed = logSessionRepository_.removeLogFile(lowest.front()); !removed) return removed;
        lowest.erase(lowest.begin());
        while (!groups.empty() && groups.back().empty())
            groups.pop_back();
        --count;
    }
    return {};
}

ns::Result<void> ZEVAnalyticsController::cleanUpRepository() {
    return logSessionRepository_.cleanUpEventLogRepositoryIgnoringSessionFragmentDirectoryURLs(
        openSessionFragmentDirectoryURLs());
}

// --- The timer -------------------------------------------------------------------------------------

double ZEVAnalyticsController::initialMaintenanceTimeWithFlushInterval(double interval,
                                                                       const ns::Date& lastMaintenance,
                                                                       const ns::Date& now) {
    const double since = std::max(0.0, now.timeIntervalSince(lastMaintenance));
    return std::max(0.0, interval - since);
}

std::optional<ns::Date> ZEVAnalyticsController::lastMaintenanceDate() {
    if (!host_.userDefaults) return std::nullopt;
    auto stored = host_.userDefaults->objectForKey(lastMaintenanceDateKey);
    return stored ? stored->dateValue() : std::nullopt;
}

void ZEVAnalyticsController::saveLastMaintenanceDate(const ns::Date& date) {
    if (!host_.userDefaults) return;
    host_.userDefaults->setObject(ns::PropertyList(date), lastMaintenanceDateKey);
    host_.userDefaults->synchronize();
}

void ZEVAnalyticsController::scheduleSessionMaintenance() {
    cancelSessionMaintenance();
    const ZEVAnalyticsSettings& settings = this->settings();
    if (!settings.analyticsFeatureSwitchEnabled() || settings.flushIntervalSecs == 0) return;
    const ns::Date now = ns::Date::now();
    auto last = lastMaintenanceDate();
    if (!last) {
        // A first launch waits a whole interval.
        saveLastMaintenanceDate(now);
        last = now;
    }
    const double interval = settings.flushIntervalSecs;
    const double firstFire = initialMaintenanceTimeWithFlushInterval(interval, *last, now);
    // The timer does not keep the engine alive: the engine cancels it before it goes.
    auto timer =
        dispatch::Timer::scheduled(*sessionMaintenanceQueue_, firstFire, interval, maintenanceTimerLeeway,
                                   [this](dispatch::Timer&) { maintainSessionFragmentsIgnoringError(); });
    std::lock_guard lock(timerMutex_);
    sessionFragmentMaintenanceTimerSource_ = std::move(timer);
}

void ZEVAnalyticsController::cancelSessionMaintenance() {
    std::shared_ptr<dispatch::Timer> timer;
    {
        std::lock_guard lock(timerMutex_);
        timer = std::move(sessionFragmentMaintenanceTimerSource_);
    }
    if (timer) timer->invalidate();
}

bool ZEVAnalyticsController::hasSessionMaintenanceTimer() const {
    std::lock_guard lock(timerMutex_);
    return sessionFragmentMaintenanceTimerSource_ && sessionFragmentMaintenanceTimerSource_->isValid();
}
