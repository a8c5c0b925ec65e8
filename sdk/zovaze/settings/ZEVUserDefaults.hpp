#pragma once
// The SDK's own key-value store, apart from the app's preferences: a dictionary in memory, kept as an
// XML property-list file "ZEVUserDefaults.plist" in <Application Support>/com.zevuzavidav. Values the
// app's preferences held in earlier versions move over the first time they are read.
//
// Changes reach the file only through synchronize(), which writes a snapshot atomically: a temporary
// file in the same folder, flushed to disk, renamed over the old one (and the folder flushed), so a
// kill at any moment leaves either the old file or the new one.
//
// The folder, and every folder above it from the sandbox's Library, is checked as a folder before the
// file is read or written (ns::Sandbox::ownFolderExists, makeOwnFolder): a link in the place of one is
// removed as a link and a folder made there, so nothing is read from or written to elsewhere.
//
// Failure contract: file problems are logged with "[Zovaze:UserDefaults] ..." lines and otherwise do
// not stop the store: reads and writes of keys never fail, and the contents in memory stay usable.
//  - A directory where the file belongs is removed at start-up, and the store starts empty.
//  - A file that cannot be read as a dictionary is reported, moved aside as
//    "ZEVUserDefaults.plist.corrupt-<UTC time>" (never overwritten or lost), and the store starts empty;
//    so is a file longer than maximumFileLength (never read) and a symbolic link or a FIFO in the file's
//    place (the entry itself is moved, never followed or waited for).
//  - synchronize() answers whether the file holds the contents as they were at the call (overlapping
//    calls from several threads end with the newest snapshot on disk); a value no property list can hold
//    leaves the old file in place. Migration removes a key from the app's preferences only after the SDK's
//    file was written.
// Every read and change runs synchronously on the serial queue "com.zevuzavidav.ZEVUserDefaults.access",
// file work on "com.zevuzavidav.ZEVUserDefaults.io", taken in that order; no operation of the store may
// be called from inside another one's work.
#include "platform/dispatch/SerialQueue.hpp"
#include "platform/foundation/PropertyList.hpp"
#include "platform/foundation/UserDefaults.hpp"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

class ZEVUserDefaults {
  public:
    // The store holds a few identifiers and flags; a file past this is not read.
    static constexpr std::size_t maximumFileLength = 1024 * 1024;

    // The one shared store (Application Support of the sandbox in use at first call).
    static ZEVUserDefaults& standardUserDefaults();

    ZEVUserDefaults();
    // A store kept in `directory` (tests and tools); `appDefaults` stands for the app's preferences.
    explicit ZEVUserDefaults(std::filesystem::path directory, ns::UserDefaults* appDefaults = nullptr);
    ZEVUserDefaults(const ZEVUserDefaults&) = delete;
    ZEVUserDefaults& operator=(const ZEVUserDefaults&) = delete;

    const std::filesystem::path& directoryURL() const { return directoryURL_; }
    const std::filesystem::path& fileURL() const { return fileURL_; }

    std::optional<ns::PropertyList> objectForKey(const std::string& key);
    std::optional<std::string> stringForKey(const std::string& key);
    bool boolForKey(const std::string& key);
    // A null value removes the key.
    void setObject(const ns::PropertyList& value, const std::string& key);
    void setString(const std::string& value, const std::string& key);
    void setBool(bool value, const std::string& key);
    void removeObjectForKey(const std::string& key);
    void removeAllObjects();
    ns::PropertyList::Dictionary dictionaryRepresentation();

    bool synchronize();
    std::optional<ns::PropertyList::Dictionary> loadDefaults();

    std::optional<ns::PropertyList>
    objectForKeyByMigratingFromNSUserDefaults(const std::optional<std::string>& key);
    void migrateFromNSUserDefaults(const std::vector<std::string>& keys);

  private:
    ns::UserDefaults& appDefaults();

    std::filesystem::path directoryURL_;
    std::filesystem::path fileURL_;
    ns::PropertyList::Dictionary dataDictionary_;
    ns::UserDefaults* appDefaults_ = nullptr;
    // Snapshots are numbered under the access queue; the file holds the highest number written (io
    // queue), so a slower, older snapshot never overwrites a newer one.
    std::uint64_t snapshotGeneration_ = 0;
    std::uint64_t writtenGeneration_ = 0;
    dispatch::SerialQueue serialDictionaryQueue_{"com.zevuzavidav.ZEVUserDefaults.access"};
    dispatch::SerialQueue synchronizationQueue_{"com.zevuzavidav.ZEVUserDefaults.io"};
};
