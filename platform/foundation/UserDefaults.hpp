#pragma once
// User defaults: a persistent dictionary of property-list values per domain.
//
// Each domain is one binary property list, <sandbox>/Library/Preferences/<domain>.plist. Every change
// is written at once, synchronously and atomically (a temporary file in the same folder, fsync, rename,
// fsync of the folder), so a crash leaves either the old or the new file, never a torn one, and a value
// that was set is on disk when the setter returns.
//
// Failure contract:
//  - A file that cannot be read as a property-list dictionary never crashes and is never overwritten:
//    it is renamed to "<domain>.plist.corrupt-<UTC timestamp>", a console line says so, and the store
//    starts empty.
//  - A failed write keeps the in-memory value (reads see it), prints one console line and is reported
//    by the setter's result and by lastWriteError(); the old file stays as it was.
//  - Getters of the wrong type answer nothing. Thread-safe.
#include "platform/foundation/Error.hpp"
#include "platform/foundation/PropertyList.hpp"
#include "platform/foundation/Result.hpp"

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace ns {

class UserDefaults {
  public:
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

    // Writes the current contents again (every setter already does); useful after a failed write.
    Result<void> synchronize();
    std::optional<Error> lastWriteError() const;

  private:
    void load();
    Result<void> writeLocked();

    std::string domain_;
    std::filesystem::path filePath_;
    mutable std::mutex mutex_;
    PropertyList::Dictionary values_;
    std::optional<Error> lastWriteError_;
    // Set when an unreadable file could not be moved aside: it is never written over.
    bool writeBlocked_ = false;
};

} // namespace ns
