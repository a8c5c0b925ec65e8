#include "sdk/rurorad/engine/ZEVAnalyticsSessionCrash.hpp"

#include "sdk/rurorad/ZEVEventLog/ZEVEventLogEventFile.hpp"
#include "sdk/rurorad/ZEVRuroradLog.hpp"
#include "sdk/rurorad/records/ZEVAnalyticsApplicationLifecycleEvent.hpp"
#include "sdk/rurorad/records/ZEVAnalyticsMetadataEvent.hpp"
#include "sdk/zovaze/base/HexAndDigests.hpp"

#include <cctype>
#include <cmath>
#include <filesystem>
#include <optional>

namespace fs = std::filesystem;
using Repository = ZEVEventLogSessionRepository;

std::string ZEVAnalyticsCrashFragmentIdentifier(const std::string& identifier, std::uint64_t timestamp) {
    // A name-based UUID (version 5: SHA-1) of the session's directory name.
    const std::string name =
        "app_crashed/" + Repository::sessionDirectoryNameWithIdentifier(identifier, timestamp);
    std::string hex = ZOVSHA1HexFromBytes(reinterpret_cast<const std::uint8_t*>(name.data()),
                                          static_cast<std::uint32_t>(name.size()))
                          .substr(0, 32);
    hex[12] = '5';
    hex[16] = "89ab"[std::stoi(hex.substr(16, 1), nullptr, 16) & 3];
    for (char& c : hex)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" + hex.substr(16, 4) +
           "-" + hex.substr(20);
}

namespace {

// The log file of the session's crash fragment when an earlier write made the fragment.
std::optional<std::string> existingCrashLog(Repository& repository,
                                            const ZEVAnalyticsSessionRecord& session) {
    auto directory = repository.sessionDirectoryURLForStateName(Repository::activeStateName,
                                                                session.identifier, session.timestamp);
    if (!directory) return std::nullopt;
    const std::string suffix =
        "_" + ZEVAnalyticsCrashFragmentIdentifier(session.identifier, session.timestamp);
    for (const auto& fragment : repository.sessionFragmentDirectoryURLsForSessionDirectory(*directory))
        if (fs::path(fragment).filename().string().ends_with(suffix))
            return (fs::path(fragment) /
                    *Repository::activeEventLogFileNameForPriority(ZEVEventLogEvent::mediumPriority))
                .string();
    return std::nullopt;
}

// The crash's time as the event and the fragment carry it: the whole seconds of its date.
std::uint64_t crashMilliseconds(const ns::Date& date) {
    const double seconds = std::floor(date.timeIntervalSince1970());
    return seconds > 0 ? static_cast<std::uint64_t>(seconds) * 1000 : 0;
}

} // namespace

bool ZEVAnalyticsWriteSessionCrash(Repository& repository, const ZEVAnalyticsSessionRecord& session,
                                   const ns::Date& date, const std::string& eventIdentifier) {
    auto crash = ZEVAnalyticsApplicationLifecycleEvent::initApplicationCrashedEvent(crashMilliseconds(date),
                                                                                    eventIdentifier);
    std::optional<std::string> url = existingCrashLog(repository, session);
    if (!url) {
        auto made = repository.eventLogFileURLForStateName(
            Repository::activeStateName, session.identifier, session.timestamp,
            ZEVAnalyticsCrashFragmentIdentifier(session.identifier, session.timestamp), crash->timestamp(),
            static_cast<std::int64_t>(crash->priority()));
        if (!made) {
            ZEVRuroradLog("Unable to create a new session fragment to contain crash event {error: " +
                          made.error().localizedDescription() + "}");
            return false;
        }
        url = *made;
    }
    auto file = ZEVEventLogEventFile::initWithURL(*url);
    if (file && file->fileSize() > 0) return true; // the session has its crash
    std::string lines;
    ZEVAnalyticsMetadataEvent(crash->priority(), crash->timestamp(), session.metadataJSONData)
        .appendEventData(lines);
    crash->appendEventData(lines);
    if (file) {
        auto appended = file->appendData(lines);
        if (appended) return true;
        ZEVRuroradLog("Unable to log metadata event {error: " + appended.error().localizedDescription() +
                      "}");
    }
    file.reset();
    std::error_code ec;
    fs::remove(*url, ec);
    return false;
}

bool ZEVAnalyticsRecordPreviousSessionCrash(Repository& repository, ZEVUserDefaults* defaults,
                                            const std::optional<ZEVAnalyticsSessionRecord>& lastSession,
                                            const ns::Date& date,
                                            const std::optional<std::string>& crashedSession,
                                            const ZEVAnalyticsUnrecordedSessionMetadata& unrecordedMetadata,
                                            const std::string& eventIdentifier) {
    const bool lastSessionKnown = lastSession && lastSession->timestamp != 0;
    std::optional<std::string> identifier = crashedSession;
    if (identifier && identifier->empty()) identifier.reset();
    if (!identifier && lastSessionKnown) identifier = lastSession->identifier;
    if (!identifier) {
        ZEVRuroradDebugLog("Unable to log crash event {error: no session of the crashed launch is known}");
        return false;
    }
    if (defaults && defaults->stringForKey(ZEVAnalyticsLastCrashedSessionKey) == *identifier) return true;

    ZEVAnalyticsSessionRecord session;
    if (lastSessionKnown && lastSession->identifier == *identifier) {
        session = *lastSession;
    } else {
        // The crashed launch recorded no session that is still known: its crash goes into a session of
        // its own, started when the launch did, as its report says.
        session.identifier = *identifier;
        session.timestamp = crashMilliseconds(date);
        auto metadata =
            unrecordedMetadata ? unrecordedMetadata(session.identifier, session.timestamp) : std::nullopt;
        if (!metadata) {
            ZEVRuroradDebugLog("Unable to log crash event {error: no metadata for session " + *identifier +
                               "}");
            return false;
        }
        session.metadataJSONData = std::move(*metadata);
    }
    if (!ZEVAnalyticsWriteSessionCrash(repository, session, date, eventIdentifier)) return false;
    if (defaults) {
        defaults->setString(*identifier, ZEVAnalyticsLastCrashedSessionKey);
        defaults->synchronize();
    }
    return true;
}
