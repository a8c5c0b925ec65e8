#pragma once
// Keyed archives: one object of a named class, with values under string keys, stored as a binary
// property list in the platform's keyed-archive layout:
//   { "$archiver": "NSKeyedArchiver", "$version": 100000, "$top": { "root": UID(1) },
//     "$objects": [ "$null", <root>, ... ] }
// where the root is { "$class": UID, <key>: UID or inline number, ... } and each class is
// { "$classname": name, "$classes": [name, base, ...] }. Object values are written the way the
// platform writes them: strings and numbers (booleans included) as plain entries of "$objects", arrays
// as NSArray { "NS.objects": [UID...] }, dictionaries as NSDictionary { "NS.keys", "NS.objects" }, data
// inline, dates as NSDate { "NS.time" }, and a null value as UID 0, the "$null" entry.
//
// Failure contract: the archiver refuses (with an error from archivedData) keys that start with "$",
// null inside an array or dictionary, and UID values. The unarchiver checks every type, every UID
// against the object table, class descriptions, and cycles and nesting depth, and answers an error in
// keyedArchiveErrorDomain for anything it does not expect; hostile bytes never crash it.
#include "platform/foundation/PropertyList.hpp"
#include "platform/foundation/Result.hpp"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ns {

inline constexpr const char* keyedArchiveErrorDomain = "VelomarinthKeyedArchiveErrorDomain";

enum class KeyedArchiveErrorCode : long {
    notPropertyList = 1, // the bytes are no property list at all
    notKeyedArchive = 2, // missing or wrong "$archiver", "$version", "$top" or "$objects"
    malformed = 3,       // a wrong type, a UID out of range, a bad class description, a cycle, ...
    wrongClass = 4,      // the root object is not of the expected class
    unencodable = 5,     // the archiver was given a value it cannot write
};

class KeyedArchiver {
  public:
    // `classes` is the root's class chain from its own name to its base, e.g.
    // {"Velomarinth.ProgressReport", "NSObject"}; an empty chain means {className, "NSObject"}.
    explicit KeyedArchiver(std::string className, std::vector<std::string> classes = {});

    // Encodes an object value under `key`; a null value is written as the "$null" reference.
    // Encoding a key again replaces the earlier entry: the archive holds one entry per key.
    void encodeObject(std::string key, PropertyList value);
    // Encodes plain values inline in the root object (not as objects).
    void encodeBool(std::string key, bool value);
    void encodeInteger(std::string key, std::int64_t value);

    // The archive as a property-list tree, and as binary property-list bytes.
    Result<PropertyList> archiveTree() const;
    Result<std::vector<std::uint8_t>> archivedData() const;

  private:
    struct Entry {
        std::string key;
        PropertyList value;
        bool inlineValue = false;
    };
    void put(std::string key, PropertyList value, bool inlineValue);

    std::string className_;
    std::vector<std::string> classes_;
    std::vector<Entry> entries_;
};

// The decoded root object of an archive.
class ArchivedObject {
  public:
    const std::string& className() const { return className_; }
    const std::vector<std::string>& classes() const { return classes_; }

    // The value under `key`: null for "$null", strings, numbers, data, dates, arrays and dictionaries
    // as property-list values; nullptr when the key is not in the archive.
    const PropertyList* decodeObject(std::string_view key) const { return values_.find(key); }
    bool containsValue(std::string_view key) const { return values_.contains(key); }
    const PropertyList::Dictionary& values() const { return values_; }

  private:
    friend class KeyedUnarchiver;
    std::string className_;
    std::vector<std::string> classes_;
    PropertyList::Dictionary values_;
};

class KeyedUnarchiver {
  public:
    static Result<ArchivedObject> unarchive(std::span<const std::uint8_t> data);
    // As above, and the root's "$classname" must equal `expectedClassName` (else wrongClass).
    static Result<ArchivedObject> unarchive(std::span<const std::uint8_t> data,
                                            std::string_view expectedClassName);
    static Result<ArchivedObject> unarchiveTree(const PropertyList& archive);
};

} // namespace ns
