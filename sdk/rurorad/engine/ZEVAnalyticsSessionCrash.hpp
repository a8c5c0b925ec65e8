#pragma once
// "app_crashed" of an earlier launch's session, written into that session as a fragment of its own:
//
//   ACTIVE/<session ms>_<session id>/<crash ms>_<crash fragment id>/1.log
//
// holding the session's "metadata" line and the crash line. A session crashes once, so it gets one such
// fragment: its identifier is made from the session (a UUID of the same form as any fragment's), and a
// second write for the same session finds the first one's fragment and adds nothing. That second write
// comes from a launch that starts after one which wrote the crash but ended before it recorded its own
// session, so the defaults still name the crashed one; as nothing has been packaged since, the fragment
// is still in ACTIVE. Both lines go in with one append, so a launch that ends meanwhile leaves the file
// empty or whole, and an empty one is written again.
//
// Failure contract: nothing is thrown. A fragment that cannot be made logs "Unable to create a new
// session fragment to contain crash event {error: ...}", a failed append "Unable to log crash event
// {error: ...}" (debug) and removes the file; nothing is retried.
#include "platform/foundation/Date.hpp"
#include "sdk/rurorad/ZEVEventLog/ZEVEventLogSessionRepository.hpp"
#include "sdk/rurorad/engine/ZEVAnalyticsSessionRecord.hpp"

#include <string>

// The identifier of the crash fragment of the session `identifier` that started at `timestamp`.
std::string ZEVAnalyticsCrashFragmentIdentifier(const std::string& identifier, std::uint64_t timestamp);

// Writes the crash of `session` at `date` (its whole seconds) unless the session has it already.
void ZEVAnalyticsWriteSessionCrash(ZEVEventLogSessionRepository& repository,
                                   const ZEVAnalyticsSessionRecord& session, const ns::Date& date,
                                   const std::string& eventIdentifier);
