#pragma once
// User defaults: a persistent dictionary of property-list values per domain.
//
// Each domain is one binary property list, <sandbox>/Library/Preferences/<domain>.plist. Every change
// is written at once, synchronously and atomically (writeFileAtomically), so a crash leaves either the
// old or the new file, never a torn one, and a value that was set is on disk when the setter returns.
//
// Several processes may share a domain (two copies of the app in two terminals). Every write takes the
// domain's lock ("<domain>.plist.lock", an flock), reads what is on disk now, and writes that back with
// only the keys this store has changed replaced: a copy never undoes what another wrote under other
// keys. updateObject merges one key's value with the one on disk under the same lock, for values both
// copies add to. Reads answer from memory: the file as it was at opening or at the last write.
//
// Failure contract:
//  - A file whose bytes are not a property-list dictionary is corrupt and never overwritten: it is
//    renamed to "<domain>.plist.corrupt-<UTC timestamp>" (corruptFileCopy()), a console line says so,
//    and the store starts empty. So is a file longer than maximumFileLength (never read whole), and a
//    symbolic link, a FIFO or a device in the file's place (never followed or waited for; the entry
//    itself is moved, what a link points to stays untouched).
//  - A file that is there but cannot be read (permission, I/O error, a folder in its place) is not
//    corrupt: it is left as it is, readError() says why, and every write is refused with that error for
//    as long as the file cannot be read.
//  - A failed write keeps the in-memory value (reads see it), prints one console line and is reported
//    by the setter's result and by lastWriteError(); the file stays as it was, and the changed keys go
//    to disk with the next write that succeeds. A lock held elsewhere for longer than lockTimeout fails
//    the write the same way.
//  - Temporary files that a killed writer left behind are removed when the store is opened.
//  - Getters of the wrong type answer nothing. Thread-safe.
#include "platform/foundation/Error.hpp"
#include "platform/foundation/PropertyList.hpp"
#include "platform/foundation/Result.hpp"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace ns {

class UserDefaults {
  public:
    // How long a write waits for another process to release the domain's lock.
    static constexpr std::chrono::milliseconds lockTimeout{5000};
    // The longest file read. The app's domain holds the learner record, a few hundred lesson ids of
    // some twenty bytes each in a keyed archive, and the damaged records kept aside beside it; this
    // leaves room for that many times over while a start never reads hundreds of megabytes.
    static constexpr std::size_t maximumFileLength = 8 * 1024 * 1024;

    // The store of the main bundle's identifier in the current sandbox. When a test points the sandbox
    // or the main bundle elsewhere, the next call returns the store for the new place (earlier
    // references stay valid and keep their old file).
    static UserDefaults& standard();

    // The store for `domain` in the current sandbox.
    explicit UserDefaults(std::string domain);
    // The store for `domain` kept in `preferencesFolder` (tests and tools).
    UserDefaults(std::string domain, std::filesystem::path preferencesFolder);

    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    const std::string& domain() const { return domain_; }
    const std::filesystem::path& filePath() const { return filePath_; }

    std::optional<PropertyList> objectForKey(std::string_view key) const;
    // Stores the value and writes the file. A null value removes the key.
    Result<void> setObject(std::string_view key, PropertyList value);
    Result<void> removeObjectForKey(std::string_view key);

    // Stores under `key` what `merge` makes of the value on disk right now (null when there is none) and
    // writes the file, all under the domain's lock, so no other process writes in between. `merge` is
    // not called when the file cannot be read or locked; a null result removes the key. When the write
    // fails the key is not kept for later writes: the caller merges again on its next update.
    Result<void> updateObject(std::string_view key,
                              const std::function<PropertyList(const PropertyList* stored)>& merge);

    // Typed getters, following the platform: data, string and array answer only for their own type;
    // boolForKey is true for true, a non-zero number, or the strings "YES"/"yes"/"true"/"1";
    // integerForKey reads integers, truncates reals, converts booleans to 0/1 and parses decimal strings,
    // else 0.
    std::optional<PropertyList::Data> dataForKey(std::string_view key) const;
    std::optional<std::string> stringForKey(std::string_view key) const;
    std::optional<PropertyList::Array> arrayForKey(std::string_view key) const;
    bool boolForKey(std::string_view key) const;
    std::int64_t integerForKey(std::string_view key) const;

    Result<void> setBool(std::string_view key, bool value) { return setObject(key, PropertyList(value)); }
    Result<void> setInteger(std::string_view key, std::int64_t value) {
        return setObject(key, PropertyList(value));
    }

    PropertyList::Dictionary dictionaryRepresentation() const;

    // Writes the keys that a failed write left unsaved (every setter already writes).
    Result<void> synchronize();
    std::optional<Error> lastWriteError() const;
    // Why the file could not be read, as long as it cannot be.
    std::optional<Error> readError() const;
    // Where the corrupt file found at opening was moved.
    std::optional<std::filesystem::path> corruptFileCopy() const;

  private:
    class DomainLock;
    void load();
    Result<DomainLock> lockDomain() const;
    void removeStaleTemporaries() const;
    // The dictionary on disk now; moves a corrupt file aside (only while holding the lock).
    Result<PropertyList::Dictionary> readDisk(bool locked);
    // Writes what is on disk with the changed keys replaced; `beforeMerge` sees the disk's dictionary
    // first. Called with mutex_ held.
    Result<void> writeLocked(const std::function<void(const PropertyList::Dictionary& disk)>& beforeMerge);

    std::string domain_;
    std::filesystem::path filePath_;
    mutable std::mutex mutex_;
    PropertyList::Dictionary values_;
    // Keys changed here and not yet written.
    std::set<std::string, std::less<>> changed_;
    std::optional<Error> lastWriteError_;
    std::optional<Error> readError_;
    std::optional<std::filesystem::path> corruptFileCopy_;
};

} // namespace ns
