#include "platform/foundation/KeyedArchive.hpp"

#include "platform/foundation/PropertyListSerialization.hpp"

namespace ns {
namespace {

using Uid = PropertyList::Uid;
using Code = KeyedArchiveErrorCode;

Error archiveError(Code code, std::string description) {
    return Error::make(keyedArchiveErrorDomain, static_cast<long>(code), std::move(description));
}
Error malformed(std::string description) {
    return archiveError(Code::malformed, std::move(description));
}

// Object graphs nest only a few levels in anything this app archives.
constexpr int maxObjectDepth = 64;
// Shared references can make a small archive decode into a huge tree; stop long before that hurts.
constexpr std::size_t maxDecodedValues = 1'000'000;

struct ClassInfo {
    std::string name;
    std::vector<std::string> chain;
};

class Decoder {
  public:
    explicit Decoder(const PropertyList::Array& objects)
        : objects_(objects), visiting_(objects.size(), false) {}

    Result<ClassInfo> classAt(const PropertyList& ref) {
        auto uid = ref.uidValue();
        if (!uid) return malformed("\"$class\" is not a reference");
        if (uid->value == 0 || uid->value >= objects_.size())
            return malformed("class reference out of range");
        const auto* dict = objects_[uid->value].dictionaryValue();
        if (!dict) return malformed("class description is not a dictionary");
        const auto* name = dict->find("$classname");
        const auto* chain = dict->find("$classes");
        if (!name || !name->stringValue() || name->stringValue()->empty())
            return malformed("class description without \"$classname\"");
        if (!chain || !chain->arrayValue()) return malformed("class description without \"$classes\"");
        ClassInfo info{*name->stringValue(), {}};
        for (const auto& c : *chain->arrayValue()) {
            if (!c.stringValue()) return malformed("\"$classes\" holds a non-string");
            info.chain.push_back(*c.stringValue());
        }
        return info;
    }

    // Decodes the object that `ref` points at.
    Result<PropertyList> decodeRef(const PropertyList& ref, int depth) {
        auto uid = ref.uidValue();
        if (!uid)
            return malformed("expected an object reference, found " +
                             std::string(propertyListTypeName(ref.type())));
        if (uid->value >= objects_.size())
            return malformed("object reference " + std::to_string(uid->value) + " out of range");
        if (uid->value == 0) return PropertyList(); // "$null"
        if (depth > maxObjectDepth) return malformed("objects nested too deeply");
        if (++decoded_ > maxDecodedValues) return malformed("archive expands to too many values");
        const std::size_t index = uid->value;
        if (visiting_[index]) return malformed("object " + std::to_string(index) + " refers to itself");
        visiting_[index] = true;
        auto result = decodeObject(objects_[index], depth);
        visiting_[index] = false;
        return result;
    }

    void enter(std::size_t index) { visiting_[index] = true; }

  private:
    Result<PropertyList> decodeObject(const PropertyList& object, int depth) {
        using T = PropertyList::Type;
        switch (object.type()) {
        case T::boolean:
        case T::integer:
        case T::real:
        case T::string:
        case T::data:
            return object;
        case T::dictionary:
            break;
        default:
            return malformed("unexpected " + std::string(propertyListTypeName(object.type())) +
                             " in \"$objects\"");
        }
        const auto& dict = *object.dictionaryValue();
        const auto* classRef = dict.find("$class");
        if (!classRef) return malformed("object without \"$class\"");
        auto cls = classAt(*classRef);
        if (!cls) return cls.error();
        const std::string& name = cls->name;
        if (name == "NSArray" || name == "NSMutableArray") return decodeArray(dict, depth);
        if (name == "NSDictionary" || name == "NSMutableDictionary") return decodeDictionary(dict, depth);
        if (name == "NSString" || name == "NSMutableString") {
            const auto* s = dict.find("NS.string");
            if (!s || !s->stringValue()) return malformed("string object without \"NS.string\"");
            return *s;
        }
        if (name == "NSData" || name == "NSMutableData") {
            const auto* d = dict.find("NS.data");
            if (!d || !d->dataValue()) return malformed("data object without \"NS.data\"");
            return *d;
        }
        if (name == "NSDate") {
            const auto* t = dict.find("NS.time");
            if (!t) return malformed("date object without \"NS.time\"");
            if (auto r = t->realValue()) return PropertyList(Date::fromTimeIntervalSinceReferenceDate(*r));
            if (auto i = t->integerValue())
                return PropertyList(Date::fromTimeIntervalSinceReferenceDate(static_cast<double>(*i)));
            return malformed("\"NS.time\" is not a number");
        }
        return malformed("unsupported class \"" + name + "\" inside the archive");
    }

    Result<PropertyList::Array> decodeRefs(const PropertyList* list, int depth, const char* what) {
        if (!list || !list->arrayValue())
            return malformed(std::string("missing or invalid \"") + what + "\"");
        PropertyList::Array out;
        out.reserve(list->arrayValue()->size());
        for (const auto& ref : *list->arrayValue()) {
            auto v = decodeRef(ref, depth + 1);
            if (!v) return v.error();
            if (v->isNull()) return malformed(std::string("null inside \"") + what + "\"");
            out.push_back(std::move(v).value());
        }
        return out;
    }

    Result<PropertyList> decodeArray(const PropertyList::Dictionary& dict, int depth) {
        auto items = decodeRefs(dict.find("NS.objects"), depth, "NS.objects");
        if (!items) return items.error();
        return PropertyList(std::move(items).value());
    }

    Result<PropertyList> decodeDictionary(const PropertyList::Dictionary& dict, int depth) {
        auto keys = decodeRefs(dict.find("NS.keys"), depth, "NS.keys");
        if (!keys) return keys.error();
        auto values = decodeRefs(dict.find("NS.objects"), depth, "NS.objects");
        if (!values) return values.error();
        if (keys->size() != values->size())
            return malformed("dictionary with different numbers of keys and values");
        PropertyList::Dictionary out;
        for (std::size_t i = 0; i < keys->size(); ++i) {
            const auto* key = (*keys)[i].stringValue();
            if (!key) return malformed("dictionary key is not a string");
            out.set(*key, std::move((*values)[i]));
        }
        return PropertyList(std::move(out));
    }

    const PropertyList::Array& objects_;
    std::vector<bool> visiting_;
    std::size_t decoded_ = 0;
};

} // namespace

Result<ArchivedObject> KeyedUnarchiver::unarchiveTree(const PropertyList& archive) {
    const auto* top = archive.dictionaryValue();
    if (!top) return archiveError(Code::notKeyedArchive, "archive root is not a dictionary");
    const auto* archiver = top->find("$archiver");
    if (!archiver || !archiver->stringValue() || *archiver->stringValue() != "NSKeyedArchiver")
        return archiveError(Code::notKeyedArchive, "\"$archiver\" is not \"NSKeyedArchiver\"");
    const auto* version = top->find("$version");
    if (!version || version->integerValue() != std::optional<std::int64_t>(100000))
        return archiveError(Code::notKeyedArchive, "\"$version\" is not 100000");
    const auto* objectsValue = top->find("$objects");
    const auto* objects = objectsValue ? objectsValue->arrayValue() : nullptr;
    if (!objects || objects->empty()) return archiveError(Code::notKeyedArchive, "missing \"$objects\"");
    if (!(*objects)[0].stringValue() || *(*objects)[0].stringValue() != "$null")
        return malformed("\"$objects\" does not start with \"$null\"");
    const auto* topValue = top->find("$top");
    const auto* topDict = topValue ? topValue->dictionaryValue() : nullptr;
    const auto* rootRef = topDict ? topDict->find("root") : nullptr;
    if (!rootRef) return archiveError(Code::notKeyedArchive, "missing \"$top\" root");
    auto rootUid = rootRef->uidValue();
    if (!rootUid) return malformed("\"$top\" root is not a reference");
    if (rootUid->value == 0 || rootUid->value >= objects->size())
        return malformed("\"$top\" root reference out of range");
    const auto* root = (*objects)[rootUid->value].dictionaryValue();
    if (!root) return malformed("root object is not a dictionary");
    const auto* classRef = root->find("$class");
    if (!classRef) return malformed("root object without \"$class\"");

    Decoder decoder(*objects);
    auto cls = decoder.classAt(*classRef);
    if (!cls) return cls.error();

    ArchivedObject result;
    result.className_ = cls->name;
    result.classes_ = cls->chain;
    // The root itself counts as being decoded, so a value that points back at it is a cycle.
    decoder.enter(rootUid->value);
    for (const auto& [key, value] : *root) {
        if (key == "$class") continue;
        if (key.empty() || key.front() == '$')
            return malformed("unexpected reserved key \"" + key + "\" in the root object");
        using T = PropertyList::Type;
        switch (value.type()) {
        case T::boolean:
        case T::integer:
        case T::real:
            result.values_.set(key, value); // encoded inline
            break;
        case T::uid: {
            if (value.uidValue()->value == rootUid->value)
                return malformed("value \"" + key + "\" refers to the root object itself");
            auto decoded = decoder.decodeRef(value, 1);
            if (!decoded) return decoded.error();
            result.values_.set(key, std::move(decoded).value());
            break;
        }
        default:
            return malformed("value \"" + key + "\" has unexpected type " +
                             propertyListTypeName(value.type()));
        }
    }
    return result;
}

Result<ArchivedObject> KeyedUnarchiver::unarchive(std::span<const std::uint8_t> data) {
    auto tree = readPropertyList(data);
    if (!tree)
        return archiveError(Code::notPropertyList,
                            "not a property list: " + tree.error().localizedDescription());
    return unarchiveTree(*tree);
}

Result<ArchivedObject> KeyedUnarchiver::unarchive(std::span<const std::uint8_t> data,
                                                  std::string_view expectedClassName) {
    auto object = unarchive(data);
    if (!object) return object;
    if (object->className() != expectedClassName)
        return archiveError(Code::wrongClass, "archived object is a \"" + object->className() +
                                                  "\", not a \"" + std::string(expectedClassName) + "\"");
    return object;
}

} // namespace ns
