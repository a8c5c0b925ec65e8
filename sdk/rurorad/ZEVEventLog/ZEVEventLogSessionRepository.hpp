#pragma once
// The on-disk tree of the analytics event logs under one root:
//
//   <root>/v1/<state>/<session ms>_<session id>/<fragment ms>_<fragment id>[.prep]/<priority>.log[.zip]
//
// States are "ACTIVE" (fragments being written, or closed and not yet packaged) and "PACKAGED" (gzip
// logs waiting for upload; a ".prep" fragment is one whose files are still being written). Priorities
// 0, 1 and 2 name the files "0.log", "1.log", "2.log"; a packaged file is the same name plus ".zip".
// Every level is made on demand, and a file standing where a directory belongs is removed first (and
// the other way round). Timestamps in names are plain decimal digits, so names sort by time within a
// level.
//
// Before anything is listed, removed, made or written in a folder, every folder of ours on the way to it
// (from the sandbox's Library down, or from the root for a tree outside the sandbox) is checked as a
// folder without following a link (ns::Sandbox): a link in the place of one is removed as a link and a
// folder made there, so nothing outside the sandbox is removed or written through a link at "analytics"
// or above it.
//
// Paths are plain file-system paths ("URLs" in the names of the operations). Listings skip hidden
// entries and come in the file system's order.
//
// Failure contract: every operation that can fail answers the file system's error (domain
// "NSPOSIXErrorDomain") and stops at its first failure, leaving the tree as far as it got; a later run
// starts from what is on disk. Nothing here logs. No locking: callers serialise access.
#include "platform/foundation/Result.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

class ZEVEventLogSessionRepository {
  public:
    using URL = std::string;
    using URLs = std::vector<URL>;

    static constexpr const char* versionDirectoryName = "v1";
    static constexpr const char* activeStateName = "ACTIVE";
    static constexpr const char* packagedStateName = "PACKAGED";
    static constexpr const char* prepExtension = "prep";

    explicit ZEVEventLogSessionRepository(URL rootDirectoryURL);
    const URL& rootDirectoryURL() const { return rootDirectoryURL_; }

    // Path arithmetic, nothing on disk.
    static std::string sessionDirectoryNameWithIdentifier(const std::string& identifier,
                                                          std::uint64_t timestamp);
    static std::string sessionFragmentDirectoryNameWithIdentifier(const std::string& identifier,
                                                                  std::uint64_t timestamp);
    static URL prepDirectoryForDirectoryURL(const URL& directory);
    static bool isPrepDirectoryURL(const URL& directory);
    static URL stateDirectoryURLForSessionDirectoryURL(const URL& session);
    static URL sessionDirectoryURLForSessionFragmentDirectoryURL(const URL& fragment);
    static URL sessionFragmentDirectoryURLForLogFileURL(const URL& logFile);
    static std::optional<std::string> activeEventLogFileNameForPriority(std::int64_t priority);
    // "0.log" and "0.log.zip" give 0 (likewise 1 and 2); anything else -1.
    static std::int64_t priorityForEventLogFileWithName(const std::string& name);

    ns::Result<URL> statesDirectoryURL();
    ns::Result<URL> stateDirectoryURLForStateName(const std::string& state);
    // The session directories of a state (made first). A state that cannot be listed gives an empty list.
    ns::Result<URLs> sessionDirectoryURLsForStateName(const std::string& state);
    // The fragment directories of a session, ".prep" ones included; empty when it cannot be listed.
    URLs sessionFragmentDirectoryURLsForSessionDirectory(const URL& session);
    ns::Result<URL> sessionDirectoryURLForStateName(const std::string& state,
                                                    const std::string& sessionIdentifier,
                                                    std::uint64_t sessionTimestamp);
    ns::Result<URL> sessionFragmentDirectoryURLForStateName(const std::string& state,
                                                            const std::string& sessionIdentifier,
                                                            std::uint64_t sessionTimestamp,
                                                            const std::string& fragmentIdentifier,
                                                            std::uint64_t fragmentTimestamp);
    // Makes the fragment directory; the log file itself is not made.
    ns::Result<URL> eventLogFileURLForStateName(const std::string& state,
                                                const std::string& sessionIdentifier,
                                                std::uint64_t sessionTimestamp,
                                                const std::string& fragmentIdentifier,
                                                std::uint64_t fragmentTimestamp, std::int64_t priority);

    // <root>/v1/<state>/<session name>/<fragment name>.prep for a fragment path of 3 or more components.
    ns::Result<URL> prepSessionFragmentDirectoryURLForStateName(const std::string& state,
                                                                const URL& fragment);
    // Renames X.prep to X (replacing what stands there); fails for a path without ".prep".
    ns::Result<URL> removePrepStatusFromSessionFragmentDirectoryURL(const URL& prepDirectory);
    ns::Result<void> purgePrepSessionFragmentDirectoriesForStateName(const std::string& state);

    // Removes the fragment, then its session and its state directory when they become empty.
    ns::Result<void> removeSessionFragmentDirectory(const URL& fragment);
    // ".log" and ".zip" entries of a fragment.
    ns::Result<URLs> logFileURLsForSessionFragmentDirectory(const URL& fragment);
    // The log files of every fragment, "ACTIVE" first, then "PACKAGED".
    ns::Result<URLs> logFileURLsForAllStates();
    // Removes the file, and its fragment (cascading) when that becomes empty.
    ns::Result<void> removeLogFile(const URL& logFile);

    ns::Result<void> createDirectoryWithURL(const URL& directory);
    ns::Result<void> createFileWithURL(const URL& file);
    ns::Result<void> deleteItemAtURL(const URL& item);
    static bool isDirectoryURL(const URL& item);
    static bool itemURLHasNameMatching(const URL& item, const std::string& name);
    static bool itemURLHasPathExtensionMatching(const URL& item, const std::string& extension);
    ns::Result<URLs> contentsOfDirectoryURL(const URL& directory) const;

    // Deletes everything that does not belong to the tree: entries of "v1" other than the two states,
    // non-directories at the session and fragment levels, entries of fragments that are not regular
    // ".log"/".zip" files, and every directory that is or becomes empty, except the open fragments (kept
    // with their sessions however empty). Log files are never deleted here.
    ns::Result<void> cleanUpEventLogRepositoryIgnoringSessionFragmentDirectoryURLs(const URLs& openFragments);

  private:
    // Whether `directory` is there as a real folder, every folder of ours on the way checked without
    // following a link (from the sandbox's Library down; for a tree outside the sandbox, from the root).
    bool ownFolderExists(const URL& directory, std::error_code& error) const;
    using CleanUpRule = std::function<ns::Result<void>(const URL& entry, bool& shouldDelete)>;
    ns::Result<void> cleanUpDirectoryURL(const URL& item, bool& shouldDelete, const CleanUpRule& rule);
    ns::Result<void> removeEmptyDirectory(const URL& directory, bool& removed);

    URL rootDirectoryURL_;
};
