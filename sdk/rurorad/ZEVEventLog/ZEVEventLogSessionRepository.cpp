#include "sdk/rurorad/ZEVEventLog/ZEVEventLogSessionRepository.hpp"

#include "platform/foundation/FileContents.hpp"
#include "platform/foundation/Sandbox.hpp"

#include "sdk/rurorad/ZEVEventLog/FileError.hpp"
#include "sdk/rurorad/ZEVEventLog/ZEVEventLogEvent.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;
using URL = ZEVEventLogSessionRepository::URL;
using URLs = ZEVEventLogSessionRepository::URLs;

namespace {

std::string lastComponent(const URL& url) {
    fs::path path(url);
    if (!path.has_filename()) path = path.parent_path();
    return path.filename().string();
}

URL parentOf(const URL& url) {
    fs::path path(url);
    if (!path.has_filename()) path = path.parent_path();
    return path.parent_path().string();
}

std::string extensionOf(const std::string& name) {
    auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return {};
    return name.substr(dot + 1);
}

std::string withoutExtension(const std::string& name) {
    auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return name;
    return name.substr(0, dot);
}

URL join(const URL& directory, const std::string& name) {
    return (fs::path(directory) / name).string();
}

std::string standardized(const URL& url) {
    std::string text = fs::path(url).lexically_normal().string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

bool isHidden(const std::string& name) {
    return !name.empty() && name.front() == '.';
}

} // namespace

ZEVEventLogSessionRepository::ZEVEventLogSessionRepository(URL rootDirectoryURL)
    : rootDirectoryURL_(std::move(rootDirectoryURL)) {}

// --- Names -----------------------------------------------------------------------------------------

std::string ZEVEventLogSessionRepository::sessionDirectoryNameWithIdentifier(const std::string& identifier,
                                                                             std::uint64_t timestamp) {
    return std::to_string(timestamp) + "_" + identifier;
}

std::string
ZEVEventLogSessionRepository::sessionFragmentDirectoryNameWithIdentifier(const std::string& identifier,
                                                                         std::uint64_t timestamp) {
    return std::to_string(timestamp) + "_" + identifier;
}

URL ZEVEventLogSessionRepository::prepDirectoryForDirectoryURL(const URL& directory) {
    return join(parentOf(directory), lastComponent(directory) + "." + prepExtension);
}

bool ZEVEventLogSessionRepository::isPrepDirectoryURL(const URL& directory) {
    return extensionOf(lastComponent(directory)) == prepExtension;
}

URL ZEVEventLogSessionRepository::stateDirectoryURLForSessionDirectoryURL(const URL& session) {
    return parentOf(session);
}

URL ZEVEventLogSessionRepository::sessionDirectoryURLForSessionFragmentDirectoryURL(const URL& fragment) {
    return parentOf(fragment);
}

URL ZEVEventLogSessionRepository::sessionFragmentDirectoryURLForLogFileURL(const URL& logFile) {
    return parentOf(logFile);
}

std::optional<std::string>
ZEVEventLogSessionRepository::activeEventLogFileNameForPriority(std::int64_t priority) {
    if (priority < 0 || priority >= static_cast<std::int64_t>(ZEVEventLogEvent::priorityCount))
        return std::nullopt;
    return std::to_string(priority) + ".log";
}

std::int64_t ZEVEventLogSessionRepository::priorityForEventLogFileWithName(const std::string& name) {
    for (std::int64_t priority = 0; priority < static_cast<std::int64_t>(ZEVEventLogEvent::priorityCount);
         ++priority) {
        const std::string active = *activeEventLogFileNameForPriority(priority);
        if (name == active || withoutExtension(name) == active) return priority;
    }
    return -1;
}

// --- Items -----------------------------------------------------------------------------------------

bool ZEVEventLogSessionRepository::isDirectoryURL(const URL& item) {
    std::error_code ec;
    return fs::is_directory(fs::symlink_status(item, ec));
}

bool ZEVEventLogSessionRepository::itemURLHasNameMatching(const URL& item, const std::string& name) {
    return lastComponent(item) == name;
}

bool ZEVEventLogSessionRepository::itemURLHasPathExtensionMatching(const URL& item,
                                                                   const std::string& extension) {
    return extensionOf(lastComponent(item)) == extension;
}

bool ZEVEventLogSessionRepository::ownFolderExists(const URL& directory, std::error_code& error) const {
    return ns::Sandbox::ownFolderExists(directory, error, rootDirectoryURL_);
}

ns::Result<URLs> ZEVEventLogSessionRepository::contentsOfDirectoryURL(const URL& directory) const {
    // Never through a link in the folder's place or above it: what it points to is not ours to send or
    // remove.
    std::error_code ec;
    if (!ownFolderExists(directory, ec)) return rurorad::posixError(ec, directory);
    auto names = ns::listDirectory(directory);
    if (!names) return names.error();
    URLs entries;
    for (const auto& name : *names)
        if (!isHidden(name)) entries.push_back(join(directory, name));
    return entries;
}

ns::Result<void> ZEVEventLogSessionRepository::deleteItemAtURL(const URL& item) {
    std::error_code ec;
    // Where a folder on the way is not there as a folder (a link in its place is replaced), nothing of
    // ours is there to remove.
    if (!ownFolderExists(parentOf(item), ec)) return {};
    // An item its folder does not let us remove is left alone, and that is not a failure.
    if (::access(parentOf(item).c_str(), W_OK) != 0 && errno == EACCES) return {};
    fs::remove_all(item, ec);
    if (ec) return rurorad::posixError(ec, item);
    return {};
}

ns::Result<void> ZEVEventLogSessionRepository::createDirectoryWithURL(const URL& directory) {
    std::error_code ec;
    // The folders above it first, from the sandbox's Library (or the root) down: a file in its place is
    // removed only from a folder of ours.
    if (!ns::Sandbox::makeOwnFolder(parentOf(directory), ec, rootDirectoryURL_))
        return rurorad::posixError(ec, directory);
    auto status = fs::symlink_status(directory, ec);
    if (fs::exists(status) && !fs::is_directory(status) && !fs::is_symlink(status)) {
        fs::remove(directory, ec);
        if (ec) return rurorad::posixError(ec, directory);
    }
    // A link in its place is replaced by a real folder.
    if (!ns::Sandbox::makeOwnFolder(directory, ec, rootDirectoryURL_))
        return rurorad::posixError(ec, directory);
    return {};
}

ns::Result<void> ZEVEventLogSessionRepository::createFileWithURL(const URL& file) {
    std::error_code ec;
    if (!ownFolderExists(parentOf(file), ec)) return rurorad::posixError(ec, file);
    if (isDirectoryURL(file)) {
        fs::remove_all(file, ec);
        if (ec) return rurorad::posixError(ec, file);
    }
    if (!fs::exists(fs::symlink_status(file, ec))) {
        const int made = ns::openRegularFile(file, O_WRONLY | O_CREAT | O_TRUNC);
        if (made < 0) return rurorad::posixError(errno, file);
        ::close(made);
    }
    return {};
}

// --- Directories of the tree -----------------------------------------------------------------------

ns::Result<URL> ZEVEventLogSessionRepository::statesDirectoryURL() {
    URL states = join(rootDirectoryURL_, versionDirectoryName);
    if (auto made = createDirectoryWithURL(states); !made) return made.error();
    return states;
}

ns::Result<URL> ZEVEventLogSessionRepository::stateDirectoryURLForStateName(const std::string& state) {
    // Level by level, so that a file standing in the place of any of them gives way.
    auto states = statesDirectoryURL();
    if (!states) return states.error();
    URL directory = join(*states, state);
    if (auto made = createDirectoryWithURL(directory); !made) return made.error();
    return directory;
}

static URLs directoriesOnly(const URLs& entries) {
    URLs directories;
    for (const auto& entry : entries)
        if (ZEVEventLogSessionRepository::isDirectoryURL(entry)) directories.push_back(entry);
    return directories;
}

ns::Result<URLs> ZEVEventLogSessionRepository::sessionDirectoryURLsForStateName(const std::string& state) {
    auto directory = stateDirectoryURLForStateName(state);
    if (!directory) return directory.error();
    auto entries = contentsOfDirectoryURL(*directory);
    return entries ? directoriesOnly(*entries) : URLs{};
}

URLs ZEVEventLogSessionRepository::sessionFragmentDirectoryURLsForSessionDirectory(const URL& session) {
    auto entries = contentsOfDirectoryURL(session);
    return entries ? directoriesOnly(*entries) : URLs{};
}

ns::Result<URL> ZEVEventLogSessionRepository::sessionDirectoryURLForStateName(
    const std::string& state, const std::string& sessionIdentifier, std::uint64_t sessionTimestamp) {
    auto stateDirectory = stateDirectoryURLForStateName(state);
    if (!stateDirectory) return stateDirectory.error();
    URL directory =
        join(*stateDirectory, sessionDirectoryNameWithIdentifier(sessionIdentifier, sessionTimestamp));
    if (auto made = createDirectoryWithURL(directory); !made) return made.error();
    return directory;
}

ns::Result<URL> ZEVEventLogSessionRepository::sessionFragmentDirectoryURLForStateName(
    const std::string& state, const std::string& sessionIdentifier, std::uint64_t sessionTimestamp,
    const std::string& fragmentIdentifier, std::uint64_t fragmentTimestamp) {
    auto session = sessionDirectoryURLForStateName(state, sessionIdentifier, sessionTimestamp);
    if (!session) return session.error();
    URL fragment =
        join(*session, sessionFragmentDirectoryNameWithIdentifier(fragmentIdentifier, fragmentTimestamp));
    if (auto made = createDirectoryWithURL(fragment); !made) return made.error();
    return fragment;
}

ns::Result<URL> ZEVEventLogSessionRepository::eventLogFileURLForStateName(
    const std::string& state, const std::string& sessionIdentifier, std::uint64_t sessionTimestamp,
    const std::string& fragmentIdentifier, std::uint64_t fragmentTimestamp, std::int64_t priority) {
    auto name = activeEventLogFileNameForPriority(priority);
    if (!name) return rurorad::posixError(EINVAL, "priority " + std::to_string(priority));
    auto fragment = sessionFragmentDirectoryURLForStateName(state, sessionIdentifier, sessionTimestamp,
                                                            fragmentIdentifier, fragmentTimestamp);
    if (!fragment) return fragment.error();
    return join(*fragment, *name);
}

// --- Packaging -------------------------------------------------------------------------------------

ns::Result<URL>
ZEVEventLogSessionRepository::prepSessionFragmentDirectoryURLForStateName(const std::string& state,
                                                                          const URL& fragment) {
    fs::path path = fs::path(fragment).lexically_normal();
    if (!path.has_filename()) path = path.parent_path();
    if (std::distance(path.begin(), path.end()) < 3) return rurorad::posixError(EINVAL, fragment);
    auto stateDirectory = stateDirectoryURLForStateName(state);
    if (!stateDirectory) return stateDirectory.error();
    const URL session = join(*stateDirectory, path.parent_path().filename().string());
    if (auto made = createDirectoryWithURL(session); !made) return made.error();
    URL prep = join(session, path.filename().string() + "." + prepExtension);
    if (auto made = createDirectoryWithURL(prep); !made) return made.error();
    return prep;
}

ns::Result<URL>
ZEVEventLogSessionRepository::removePrepStatusFromSessionFragmentDirectoryURL(const URL& prepDirectory) {
    if (!isPrepDirectoryURL(prepDirectory)) return rurorad::posixError(EINVAL, prepDirectory);
    URL target = join(parentOf(prepDirectory), withoutExtension(lastComponent(prepDirectory)));
    std::error_code ec;
    if (!ownFolderExists(parentOf(prepDirectory), ec)) return rurorad::posixError(ec, prepDirectory);
    if (fs::exists(fs::symlink_status(target, ec))) {
        if (auto removed = deleteItemAtURL(target); !removed) return removed.error();
    }
    fs::rename(prepDirectory, target, ec);
    if (ec) return rurorad::posixError(ec, prepDirectory);
    return target;
}

ns::Result<void>
ZEVEventLogSessionRepository::purgePrepSessionFragmentDirectoriesForStateName(const std::string& state) {
    auto sessions = sessionDirectoryURLsForStateName(state);
    if (!sessions) return sessions.error();
    for (const auto& session : *sessions) {
        for (const auto& fragment : sessionFragmentDirectoryURLsForSessionDirectory(session)) {
            if (!isPrepDirectoryURL(fragment)) continue;
            if (auto removed = deleteItemAtURL(fragment); !removed) return removed;
        }
    }
    return {};
}

// --- Removal ---------------------------------------------------------------------------------------

ns::Result<void> ZEVEventLogSessionRepository::removeEmptyDirectory(const URL& directory, bool& removed) {
    removed = false;
    auto entries = contentsOfDirectoryURL(directory);
    if (!entries || !entries->empty()) return {};
    if (auto deleted = deleteItemAtURL(directory); !deleted) return deleted;
    removed = true;
    return {};
}

ns::Result<void> ZEVEventLogSessionRepository::removeSessionFragmentDirectory(const URL& fragment) {
    if (auto removed = deleteItemAtURL(fragment); !removed) return removed;
    bool sessionRemoved = false;
    const URL session = sessionDirectoryURLForSessionFragmentDirectoryURL(fragment);
    if (auto done = removeEmptyDirectory(session, sessionRemoved); !done) return done;
    if (!sessionRemoved) return {};
    bool stateRemoved = false;
    return removeEmptyDirectory(stateDirectoryURLForSessionDirectoryURL(session), stateRemoved);
}

ns::Result<URLs> ZEVEventLogSessionRepository::logFileURLsForSessionFragmentDirectory(const URL& fragment) {
    auto entries = contentsOfDirectoryURL(fragment);
    if (!entries) return entries.error();
    URLs files;
    for (const auto& entry : *entries)
        if (itemURLHasPathExtensionMatching(entry, "log") || itemURLHasPathExtensionMatching(entry, "zip"))
            files.push_back(entry);
    return files;
}

ns::Result<URLs> ZEVEventLogSessionRepository::logFileURLsForAllStates() {
    URLs files;
    for (const char* state : {activeStateName, packagedStateName}) {
        auto sessions = sessionDirectoryURLsForStateName(state);
        if (!sessions) return sessions.error();
        for (const auto& session : *sessions) {
            for (const auto& fragment : sessionFragmentDirectoryURLsForSessionDirectory(session)) {
                auto logs = logFileURLsForSessionFragmentDirectory(fragment);
                if (!logs) return logs.error();
                files.insert(files.end(), logs->begin(), logs->end());
            }
        }
    }
    return files;
}

ns::Result<void> ZEVEventLogSessionRepository::removeLogFile(const URL& logFile) {
    if (auto removed = deleteItemAtURL(logFile); !removed) return removed;
    const URL fragment = sessionFragmentDirectoryURLForLogFileURL(logFile);
    auto entries = contentsOfDirectoryURL(fragment);
    if (entries && entries->empty()) return removeSessionFragmentDirectory(fragment);
    return {};
}

// --- Clean-up --------------------------------------------------------------------------------------

ns::Result<void> ZEVEventLogSessionRepository::cleanUpDirectoryURL(const URL& item, bool& shouldDelete,
                                                                   const CleanUpRule& rule) {
    shouldDelete = true;
    if (!isDirectoryURL(item)) return {};
    auto entries = contentsOfDirectoryURL(item);
    if (!entries) return entries.error();
    for (const auto& entry : *entries) {
        bool entryShouldDelete = false;
        if (auto checked = rule(entry, entryShouldDelete); !checked) return checked;
        if (!entryShouldDelete) {
            shouldDelete = false;
        } else if (auto deleted = deleteItemAtURL(entry); !deleted) {
            return deleted;
        }
    }
    return {};
}

ns::Result<void> ZEVEventLogSessionRepository::cleanUpEventLogRepositoryIgnoringSessionFragmentDirectoryURLs(
    const URLs& openFragments) {
    auto states = statesDirectoryURL();
    if (!states) return states.error();
    std::vector<std::string> ignored;
    for (const auto& fragment : openFragments)
        ignored.push_back(standardized(fragment));

    const CleanUpRule fileRule = [](const URL& entry, bool& shouldDelete) -> ns::Result<void> {
        std::error_code ec;
        const bool regular = fs::is_regular_file(fs::symlink_status(entry, ec));
        shouldDelete = !(regular && (itemURLHasPathExtensionMatching(entry, "log") ||
                                     itemURLHasPathExtensionMatching(entry, "zip")));
        return {};
    };
    const CleanUpRule fragmentRule = [&](const URL& entry, bool& shouldDelete) -> ns::Result<void> {
        if (std::find(ignored.begin(), ignored.end(), standardized(entry)) != ignored.end()) {
            shouldDelete = false;
            return {};
        }
        return cleanUpDirectoryURL(entry, shouldDelete, fileRule);
    };
    const CleanUpRule sessionRule = [&](const URL& entry, bool& shouldDelete) -> ns::Result<void> {
        return cleanUpDirectoryURL(entry, shouldDelete, fragmentRule);
    };
    const CleanUpRule stateRule = [&](const URL& entry, bool& shouldDelete) -> ns::Result<void> {
        if (!itemURLHasNameMatching(entry, activeStateName) &&
            !itemURLHasNameMatching(entry, packagedStateName)) {
            shouldDelete = true;
            return {};
        }
        return cleanUpDirectoryURL(entry, shouldDelete, sessionRule);
    };
    bool versionShouldDelete = false; // "v1" itself always stays
    return cleanUpDirectoryURL(*states, versionShouldDelete, stateRule);
}
