#pragma once
// The app's sandbox home and its container layout, as on the phone:
//   <home>/Documents/  Library/Preferences/  Library/Caches/  Library/Application Support/
//   Library/Logs/  tmp/
// The home is $VELOMARINTH_HOME/<bundle id>/ when that variable is set, else
// $XDG_DATA_HOME/velomarinth/<bundle id>/, else ~/.local/share/velomarinth/<bundle id>/. The bundle id
// is the main bundle's "CFBundleIdentifier" (the executable's name when the bundle has none). Tests call
// setHome() with a temporary folder.
//
// tmp/ holds only files in use, each locked (flock, exclusive) by the process using it for as long as
// it does: lockTemporaryFile() and createTemporaryFile() take that lock. When the layout is made for a
// home, every file of its tmp/ that no process holds a lock on is left over from a process that ended
// (a download cut off by quitting, say) and is removed, so nothing piles up there from launch to launch.
// Another copy of the app running on the same home keeps its files: it holds their locks.
//
// The home itself may be reached through symbolic links (the user's choice); the folders of the layout
// inside it are the app's own: a link found in the place of one is removed (as a link, what it points
// to untouched) and a real folder made, so the sweep of tmp/ and every file put in the layout stay
// inside the home.
//
// Below the layout every folder is the app's and the SDK's own as well: makeOwnFolder and
// ownFolderExists check each folder from the home's first level (Library, Documents, tmp) down to the
// one asked for as a folder, never following a link (createPrivateDirectories), before anything is
// listed, removed or written in it; a link found in the place of one is removed as a link and a real
// folder made there.
//
// The layout is created on first use of home() (and again after setHome()). Failure contract: a folder
// that cannot be created is reported with one console line and the path is still returned; the caller's
// own file operation then fails with its own error. Thread-safe.
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace ns {

class Sandbox {
  public:
    // The home folder, its layout created if missing.
    static std::filesystem::path home();

    // Uses `path` as the home (exactly, no bundle id appended) until reset(); creates the layout.
    static void setHome(const std::filesystem::path& path);
    // Forgets any setHome() and any home computed from the environment; the next home() recomputes it.
    static void reset();

    static std::filesystem::path documents();          // <home>/Documents
    static std::filesystem::path library();            // <home>/Library
    static std::filesystem::path preferences();        // <home>/Library/Preferences
    static std::filesystem::path caches();             // <home>/Library/Caches
    static std::filesystem::path applicationSupport(); // <home>/Library/Application Support
    static std::filesystem::path logs();               // <home>/Library/Logs
    static std::filesystem::path tmp();                // <home>/tmp

    // Makes `folder` (0700, with the folders above it) as a real folder of the sandbox's, every folder
    // of ours on the way checked as above. For a folder outside the home in use (a store a test keeps
    // in a tree of its own) the folders of ours begin at `outside`, a folder above `folder` or `folder`
    // itself. False with `error` set when it cannot be made.
    static bool makeOwnFolder(const std::filesystem::path& folder, std::error_code& error,
                              const std::filesystem::path& outside);
    // The same check, making nothing that is missing: whether `folder` is there as a real folder
    // (privateDirectoryExists). A caller about to list or empty it has nothing to do when it is not.
    static bool ownFolderExists(const std::filesystem::path& folder, std::error_code& error,
                                const std::filesystem::path& outside);

    // A new file in tmp/ named <prefix><random><suffix>, made 0600 and locked, or nullopt (errno set).
    // The descriptor belongs to the caller; closing it releases the lock.
    struct TemporaryFile {
        int descriptor;
        std::filesystem::path path;
    };
    static std::optional<TemporaryFile> createTemporaryFile(const std::string& prefix,
                                                            const std::string& suffix);
    // Takes the lock of tmp/ on a file just opened (waiting up to 0.1 s for a sweep that holds it, then
    // going on unlocked); false when a sweep removed the file meanwhile, which the caller then makes
    // again.
    static bool lockTemporaryFile(int descriptor);
};

} // namespace ns
