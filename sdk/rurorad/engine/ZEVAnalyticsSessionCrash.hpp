#pragma once
// "app_crashed" of an earlier launch's session, written into that session as a fragment of its own:
//
//   ACTIVE/<session ms>_<session id>/<crash ms>_<crash fragment id>/1.log
//
// holding the session's "metadata" line and the crash line. The crash kit lets go of the crashed launch's
// report once analytics has been told, so the crash is on disk when the telling returns, whatever
// analytics knows of that launch.
//
// Which session: a launch's session identifier is its execution identifier, which names its crash report
// too. The session the defaults named as the last one when this launch started is the crashed launch's
// when the identifiers agree (or when the caller knows no identifier, and takes that session for it). A
// launch that crashed before its analytics recorded a session, or whose record is gone (a defaults file
// moved aside as unreadable), still had a session: it gets one under its own identifier, started at the
// crash's date, whose metadata the caller makes (this launch's facts under that identifier and start).
//
// Counted once. A session crashes once, so it gets one such fragment: its identifier is made from the
// session (a UUID of the same form as any fragment's), and a second write for the same session finds the
// first one's fragment in ACTIVE and adds nothing. Once the crash is on disk the crashed session's
// identifier is kept in the defaults (lastCrashedSessionKey): a launch told again of that crash (the one
// before ended before the report left "active") adds nothing either, even when the first write has been
// packaged or sent since, or when the defaults now name a session that is not the crashed one. Both lines
// go in with one append, so a launch that ends meanwhile leaves the file empty or whole, and an empty one
// is written again.
//
// Failure contract: nothing is thrown. A fragment that cannot be made logs "Unable to create a new
// session fragment to contain crash event {error: ...}", a failed append "Unable to log metadata event
// {error: ...}" and removes the file, a crash with no session to name (no identifier and no record) or
// whose metadata cannot be made logs a debug line; nothing is retried, and nothing is kept as counted.
#include "platform/foundation/Date.hpp"
#include "sdk/rurorad/ZEVEventLog/ZEVEventLogSessionRepository.hpp"
#include "sdk/rurorad/engine/ZEVAnalyticsSessionRecord.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// The defaults key of the last crashed session whose crash is on disk.
inline constexpr const char* ZEVAnalyticsLastCrashedSessionKey =
    "com.zevuzavidav.insights.lastcrashedsession";

// The identifier of the crash fragment of the session `identifier` that started at `timestamp`.
std::string ZEVAnalyticsCrashFragmentIdentifier(const std::string& identifier, std::uint64_t timestamp);

// Writes the crash of `session` at `date` (its whole seconds) unless the session has it already; true
// when the session holds its crash afterwards.
bool ZEVAnalyticsWriteSessionCrash(ZEVEventLogSessionRepository& repository,
                                   const ZEVAnalyticsSessionRecord& session, const ns::Date& date,
                                   const std::string& eventIdentifier);

// The metadata JSON of a session analytics never recorded, given its identifier and its start (ms);
// nothing when it cannot be made.
using ZEVAnalyticsUnrecordedSessionMetadata =
    std::function<std::optional<std::string>(const std::string& identifier, std::uint64_t timestamp)>;

// Writes the crash at `date` of the launch whose session is `crashedSession` (absent when the caller
// knows only the date) into the session it belongs to, once: `lastSession` is the session the defaults
// named when this launch started, if any, and `defaults` (may be null) keeps what was counted. True when
// the crash is on disk, written now or before.
bool ZEVAnalyticsRecordPreviousSessionCrash(ZEVEventLogSessionRepository& repository,
                                            ZEVUserDefaults* defaults,
                                            const std::optional<ZEVAnalyticsSessionRecord>& lastSession,
                                            const ns::Date& date,
                                            const std::optional<std::string>& crashedSession,
                                            const ZEVAnalyticsUnrecordedSessionMetadata& unrecordedMetadata,
                                            const std::string& eventIdentifier);
