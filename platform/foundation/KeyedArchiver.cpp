#include "platform/foundation/KeyedArchive.hpp"

#include "platform/foundation/PropertyListSerialization.hpp"

#include <map>

namespace ns {
namespace {

Error unencodable(std::string description) {
    return Error::make(keyedArchiveErrorDomain, static_cast<long>(KeyedArchiveErrorCode::unencodable),
                       std::move(description));
}

using Uid = PropertyList::Uid;

// Builds the "$objects" table. Index 0 is "$null"; each class description is written once.
class ObjectTable {
  public:
    ObjectTable() { objects_.push_back(PropertyList("$null")); }

    std::uint64_t reserve() {
        objects_.emplace_back();
        return objects_.size() - 1;
    }
    std::uint64_t append(PropertyList value) {
        objects_.push_back(std::move(value));
        return objects_.size() - 1;
    }
    void fill(std::uint64_t index, PropertyList value) { objects_[index] = std::move(value); }

    std::uint64_t classRef(const std::string& name, const std::vector<std::string>& chain) {
        if (auto it = classes_.find(name); it != classes_.end()) return it->second;
        PropertyList::Array names;
        for (const auto& c : chain)
            names.emplace_back(c);
        std::uint64_t index = append(PropertyList::Dictionary{{"$classes", PropertyList(std::move(names))},
                                                              {"$classname", PropertyList(name)}});
        classes_.emplace(name, index);
        return index;
    }

    // Encodes an object value and answers its reference.
    Result<std::uint64_t> encode(const PropertyList& value, int depth) {
        using T = PropertyList::Type;
        if (depth > 64) return unencodable("value nested too deeply to archive");
        switch (value.type()) {
        case T::null:
            return std::uint64_t{0};
        case T::boolean:
        case T::integer:
        case T::real:
        case T::string:
        case T::data:
            // Numbers, strings and data are written as plain entries, as the platform does.
            return append(value);
        case T::date: {
            std::uint64_t self = reserve();
            std::uint64_t cls = classRef("NSDate", {"NSDate", "NSObject"});
            fill(self, PropertyList::Dictionary{
                           {"NS.time", PropertyList(value.dateValue()->timeIntervalSinceReferenceDate())},
                           {"$class", PropertyList(Uid{cls})}});
            return self;
        }
        case T::array: {
            std::uint64_t self = reserve();
            PropertyList::Array refs;
            for (const auto& item : *value.arrayValue()) {
                if (item.isNull()) return unencodable("an array cannot hold a null value");
                auto ref = encode(item, depth + 1);
                if (!ref) return ref.error();
                refs.emplace_back(Uid{*ref});
            }
            std::uint64_t cls = classRef("NSArray", {"NSArray", "NSObject"});
            fill(self, PropertyList::Dictionary{{"NS.objects", PropertyList(std::move(refs))},
                                                {"$class", PropertyList(Uid{cls})}});
            return self;
        }
        case T::dictionary: {
            std::uint64_t self = reserve();
            PropertyList::Array keys, objects;
            for (const auto& [key, item] : *value.dictionaryValue()) {
                if (item.isNull()) return unencodable("a dictionary cannot hold a null value");
                keys.emplace_back(Uid{append(PropertyList(key))});
                auto ref = encode(item, depth + 1);
                if (!ref) return ref.error();
                objects.emplace_back(Uid{*ref});
            }
            std::uint64_t cls = classRef("NSDictionary", {"NSDictionary", "NSObject"});
            fill(self, PropertyList::Dictionary{{"NS.keys", PropertyList(std::move(keys))},
                                                {"NS.objects", PropertyList(std::move(objects))},
                                                {"$class", PropertyList(Uid{cls})}});
            return self;
        }
        case T::uid:
            return unencodable("a UID cannot be archived as a value");
        }
        return unencodable("unknown value type");
    }

    PropertyList::Array take() { return std::move(objects_); }

  private:
    PropertyList::Array objects_;
    std::map<std::string, std::uint64_t> classes_;
};

} // namespace

KeyedArchiver::KeyedArchiver(std::string className, std::vector<std::string> classes)
    : className_(std::move(className)), classes_(std::move(classes)) {
    if (classes_.empty()) classes_ = {className_, "NSObject"};
}

void KeyedArchiver::put(std::string key, PropertyList value, bool inlineValue) {
    for (auto& e : entries_) {
        if (e.key == key) {
            e.value = std::move(value);
            e.inlineValue = inlineValue;
            return;
        }
    }
    entries_.push_back(Entry{std::move(key), std::move(value), inlineValue});
}

void KeyedArchiver::encodeObject(std::string key, PropertyList value) {
    put(std::move(key), std::move(value), false);
}
void KeyedArchiver::encodeBool(std::string key, bool value) {
    put(std::move(key), PropertyList(value), true);
}
void KeyedArchiver::encodeInteger(std::string key, std::int64_t value) {
    put(std::move(key), PropertyList(value), true);
}

Result<PropertyList> KeyedArchiver::archiveTree() const {
    ObjectTable table;
    const std::uint64_t rootIndex = table.reserve();
    PropertyList::Dictionary root;
    for (const auto& e : entries_) {
        if (e.key.empty() || e.key.front() == '$')
            return unencodable("archive key \"" + e.key + "\" is empty or reserved");
        if (e.inlineValue) {
            root.set(e.key, e.value);
            continue;
        }
        auto ref = table.encode(e.value, 0);
        if (!ref) return ref.error();
        root.set(e.key, PropertyList(Uid{*ref}));
    }
    root.set("$class", PropertyList(Uid{table.classRef(className_, classes_)}));
    table.fill(rootIndex, PropertyList(std::move(root)));

    PropertyList::Dictionary archive;
    archive.set("$version", PropertyList(100000));
    archive.set("$archiver", PropertyList("NSKeyedArchiver"));
    archive.set("$top", PropertyList(PropertyList::Dictionary{{"root", PropertyList(Uid{rootIndex})}}));
    archive.set("$objects", PropertyList(table.take()));
    return PropertyList(std::move(archive));
}

Result<std::vector<std::uint8_t>> KeyedArchiver::archivedData() const {
    auto tree = archiveTree();
    if (!tree) return tree.error();
    auto bytes = writePropertyList(*tree, PropertyListFormat::binary);
    if (!bytes) return unencodable("archive could not be written: " + bytes.error().localizedDescription());
    return bytes;
}

} // namespace ns
