#include "platform/foundation/KeyedArchive.hpp"

#include "PropertyListPrinting.hpp"
#include "platform/foundation/PropertyListSerialization.hpp"

#include <gtest/gtest.h>

namespace {

using ns::KeyedArchiveErrorCode;
using ns::KeyedArchiver;
using ns::KeyedUnarchiver;
using ns::PropertyList;
using Uid = PropertyList::Uid;

constexpr const char* recordClass = "Velomarinth.ProgressReport";

PropertyList strings(std::initializer_list<const char*> items) {
    PropertyList::Array a;
    for (const char* s : items)
        a.emplace_back(s);
    return PropertyList(std::move(a));
}

std::vector<std::uint8_t> recordArchive() {
    KeyedArchiver archiver(recordClass);
    archiver.encodeObject("lessons", strings({"lessonZero", "CH1L1"}));
    archiver.encodeObject("appRated", PropertyList());
    archiver.encodeObject("state", PropertyList(false));
    archiver.encodeObject("state", PropertyList(true));
    auto data = archiver.archivedData();
    EXPECT_TRUE(data);
    return data ? *data : std::vector<std::uint8_t>{};
}

TEST(KeyedArchive, LayoutIsThePlatformsKeyedArchiverLayout) {
    auto tree = ns::readPropertyList(std::span<const std::uint8_t>(recordArchive()));
    ASSERT_TRUE(tree);
    const auto& top = *tree->dictionaryValue();
    EXPECT_EQ(*top.find("$archiver")->stringValue(), "NSKeyedArchiver");
    EXPECT_EQ(top.find("$version")->integerValue(), 100000);
    EXPECT_EQ(top.find("$top")->dictionaryValue()->find("root")->uidValue(), Uid{1});
    const auto& objects = *top.find("$objects")->arrayValue();
    EXPECT_EQ(*objects[0].stringValue(), "$null");
    const auto& root = *objects[1].dictionaryValue();
    EXPECT_EQ(root.find("appRated")->uidValue(), Uid{0});
    const auto& rootClass = *objects[root.find("$class")->uidValue()->value].dictionaryValue();
    EXPECT_EQ(*rootClass.find("$classname")->stringValue(), recordClass);
    EXPECT_EQ(*rootClass.find("$classes")->arrayValue(), *strings({recordClass, "NSObject"}).arrayValue());
    const auto& lessons = *objects[root.find("lessons")->uidValue()->value].dictionaryValue();
    const auto& arrayClass = *objects[lessons.find("$class")->uidValue()->value].dictionaryValue();
    EXPECT_EQ(*arrayClass.find("$classname")->stringValue(), "NSArray");
    EXPECT_EQ(lessons.find("NS.objects")->arrayValue()->size(), 2u);
    EXPECT_EQ(objects[root.find("state")->uidValue()->value], PropertyList(true));
}

TEST(KeyedArchive, RoundTripKeepsValuesOrderAndNulls) {
    auto object = KeyedUnarchiver::unarchive(recordArchive(), recordClass);
    ASSERT_TRUE(object) << object.error().description();
    EXPECT_EQ(object->className(), recordClass);
    EXPECT_EQ(*object->decodeObject("lessons"), strings({"lessonZero", "CH1L1"}));
    ASSERT_NE(object->decodeObject("appRated"), nullptr);
    EXPECT_TRUE(object->decodeObject("appRated")->isNull());
    EXPECT_EQ(object->decodeObject("missing"), nullptr);
}

TEST(KeyedArchive, EncodingAKeyTwiceKeepsOneEntryWithTheLastValue) {
    auto tree = ns::readPropertyList(std::span<const std::uint8_t>(recordArchive()));
    ASSERT_TRUE(tree);
    const auto& objects = *tree->dictionaryValue()->find("$objects")->arrayValue();
    const auto& root = *objects[1].dictionaryValue();
    int stateEntries = 0;
    for (const auto& [key, value] : root)
        stateEntries += key == "state";
    EXPECT_EQ(stateEntries, 1);
    // The replaced value is not left behind in the object table either.
    int booleans = 0;
    for (const auto& o : objects)
        booleans += o.boolValue().has_value();
    EXPECT_EQ(booleans, 1);
    auto object = KeyedUnarchiver::unarchive(recordArchive());
    ASSERT_TRUE(object);
    EXPECT_EQ(*object->decodeObject("state"), PropertyList(true));
}

TEST(KeyedArchive, RicherValuesRoundTrip) {
    KeyedArchiver archiver("Thing", {"Thing", "Base", "NSObject"});
    PropertyList::Dictionary dict{{"b", PropertyList(2)}, {"a", strings({"x"})}};
    archiver.encodeObject("dict", PropertyList(dict));
    archiver.encodeObject("data", PropertyList(PropertyList::Data{9, 8}));
    archiver.encodeObject("date", PropertyList(ns::Date::fromTimeIntervalSinceReferenceDate(10.5)));
    archiver.encodeObject("real", PropertyList(1.5));
    archiver.encodeObject("empty", PropertyList(PropertyList::Array{}));
    archiver.encodeBool("flag", true);
    archiver.encodeInteger("count", -3);
    auto data = archiver.archivedData();
    ASSERT_TRUE(data);
    auto object = KeyedUnarchiver::unarchive(*data);
    ASSERT_TRUE(object) << object.error().description();
    EXPECT_EQ(object->classes(), (std::vector<std::string>{"Thing", "Base", "NSObject"}));
    EXPECT_EQ(*object->decodeObject("dict"), PropertyList(dict));
    EXPECT_EQ(*object->decodeObject("data"), PropertyList(PropertyList::Data{9, 8}));
    EXPECT_EQ(object->decodeObject("date")->dateValue()->timeIntervalSinceReferenceDate(), 10.5);
    EXPECT_EQ(*object->decodeObject("real"), PropertyList(1.5));
    EXPECT_EQ(*object->decodeObject("empty"), PropertyList(PropertyList::Array{}));
    EXPECT_EQ(*object->decodeObject("flag"), PropertyList(true));
    EXPECT_EQ(*object->decodeObject("count"), PropertyList(-3));
}

TEST(KeyedArchive, ArchiverRefusesWhatItCannotWrite) {
    auto refused = [](auto setup) {
        KeyedArchiver a("C");
        setup(a);
        auto data = a.archivedData();
        return !data && data.error().code() == static_cast<long>(KeyedArchiveErrorCode::unencodable);
    };
    EXPECT_TRUE(refused([](KeyedArchiver& a) { a.encodeObject("$class", PropertyList(1)); }));
    EXPECT_TRUE(refused([](KeyedArchiver& a) { a.encodeObject("", PropertyList(1)); }));
    EXPECT_TRUE(refused(
        [](KeyedArchiver& a) { a.encodeObject("k", PropertyList(PropertyList::Array{PropertyList()})); }));
    EXPECT_TRUE(refused([](KeyedArchiver& a) { a.encodeObject("k", PropertyList(Uid{1})); }));
}

TEST(KeyedArchive, WrongClassIsReported) {
    auto object = KeyedUnarchiver::unarchive(recordArchive(), "SomethingElse");
    ASSERT_FALSE(object);
    EXPECT_EQ(object.error().code(), static_cast<long>(KeyedArchiveErrorCode::wrongClass));
}

// Hostile archives: each is the good archive's tree with one thing broken.
struct Hostile {
    const char* name;
    void (*breakIt)(PropertyList::Dictionary& top, PropertyList::Array& objects);
    KeyedArchiveErrorCode expected;
};

PropertyList::Dictionary& rootOf(PropertyList::Array& objects) {
    return *objects[1].dictionaryValue();
}

const Hostile hostileCases[] = {
    {"wrong archiver", [](auto& top, auto&) { top.set("$archiver", PropertyList("NSArchiver")); },
     KeyedArchiveErrorCode::notKeyedArchive},
    {"wrong version", [](auto& top, auto&) { top.set("$version", PropertyList(7)); },
     KeyedArchiveErrorCode::notKeyedArchive},
    {"no top", [](auto& top, auto&) { top.remove("$top"); }, KeyedArchiveErrorCode::notKeyedArchive},
    {"root uid out of range",
     [](auto& top, auto&) {
         top.set("$top", PropertyList(PropertyList::Dictionary{{"root", PropertyList(Uid{999})}}));
     },
     KeyedArchiveErrorCode::malformed},
    {"root is $null",
     [](auto& top, auto&) {
         top.set("$top", PropertyList(PropertyList::Dictionary{{"root", PropertyList(Uid{0})}}));
     },
     KeyedArchiveErrorCode::malformed},
    {"first object not $null", [](auto&, auto& objects) { objects[0] = PropertyList("nil"); },
     KeyedArchiveErrorCode::malformed},
    {"value uid out of range",
     [](auto&, auto& objects) { rootOf(objects).set("lessons", PropertyList(Uid{5000})); },
     KeyedArchiveErrorCode::malformed},
    {"self reference", [](auto&, auto& objects) { rootOf(objects).set("lessons", PropertyList(Uid{1})); },
     KeyedArchiveErrorCode::malformed},
    {"array holding itself",
     [](auto&, auto& objects) {
         auto ref = rootOf(objects).find("lessons")->uidValue()->value;
         objects[ref].dictionaryValue()->set("NS.objects",
                                             PropertyList(PropertyList::Array{PropertyList(Uid{ref})}));
     },
     KeyedArchiveErrorCode::malformed},
    {"array pointing back at the root",
     [](auto&, auto& objects) {
         auto ref = rootOf(objects).find("lessons")->uidValue()->value;
         objects[ref].dictionaryValue()->set("NS.objects",
                                             PropertyList(PropertyList::Array{PropertyList(Uid{1})}));
     },
     KeyedArchiveErrorCode::malformed},
    {"NS.objects not an array",
     [](auto&, auto& objects) {
         auto ref = rootOf(objects).find("lessons")->uidValue()->value;
         objects[ref].dictionaryValue()->set("NS.objects", PropertyList("nope"));
     },
     KeyedArchiveErrorCode::malformed},
    {"inline string value",
     [](auto&, auto& objects) { rootOf(objects).set("lessons", PropertyList("inline")); },
     KeyedArchiveErrorCode::malformed},
    {"class ref to a string",
     [](auto&, auto& objects) { rootOf(objects).set("$class", PropertyList(Uid{0})); },
     KeyedArchiveErrorCode::malformed},
    {"class without name",
     [](auto&, auto& objects) {
         auto cls = rootOf(objects).find("$class")->uidValue()->value;
         objects[cls].dictionaryValue()->remove("$classname");
     },
     KeyedArchiveErrorCode::malformed},
    {"unknown nested class",
     [](auto&, auto& objects) {
         auto ref = rootOf(objects).find("lessons")->uidValue()->value;
         auto cls = objects[ref].dictionaryValue()->find("$class")->uidValue()->value;
         objects[cls].dictionaryValue()->set("$classname", PropertyList("NSEvilThing"));
     },
     KeyedArchiveErrorCode::malformed},
    {"uid inside $objects",
     [](auto&, auto& objects) {
         objects.push_back(PropertyList(Uid{1}));
         rootOf(objects).set("x", PropertyList(Uid{objects.size() - 1}));
     },
     KeyedArchiveErrorCode::malformed},
    {"reserved key in root", [](auto&, auto& objects) { rootOf(objects).set("$evil", PropertyList(true)); },
     KeyedArchiveErrorCode::malformed},
};

TEST(KeyedArchiveHostile, EveryBrokenArchiveIsRejectedCleanly) {
    auto good = ns::readPropertyList(std::span<const std::uint8_t>(recordArchive()));
    ASSERT_TRUE(good);
    for (const auto& c : hostileCases) {
        PropertyList tree = *good;
        auto& top = *tree.dictionaryValue();
        auto& objects = *top.find("$objects")->arrayValue();
        c.breakIt(top, objects);
        auto bytes = ns::writePropertyList(tree, ns::PropertyListFormat::binary);
        ASSERT_TRUE(bytes) << c.name;
        auto object = KeyedUnarchiver::unarchive(*bytes);
        ASSERT_FALSE(object) << c.name;
        EXPECT_EQ(object.error().code(), static_cast<long>(c.expected))
            << c.name << ": " << object.error().description();
        EXPECT_EQ(object.error().domain(), ns::keyedArchiveErrorDomain);
    }
}

TEST(KeyedArchiveHostile, SharedReferencesCannotExplode) {
    // Each array holds the previous one twice: 40 levels would decode into 2^40 values.
    PropertyList::Array objects{PropertyList("$null")};
    objects.push_back(PropertyList()); // root, filled below
    objects.push_back(PropertyList(PropertyList::Dictionary{{"$classname", PropertyList("NSArray")},
                                                            {"$classes", strings({"NSArray", "NSObject"})}}));
    objects.push_back(PropertyList(PropertyList::Dictionary{{"$classname", PropertyList("R")},
                                                            {"$classes", strings({"R", "NSObject"})}}));
    objects.push_back(PropertyList("leaf"));
    std::uint64_t previous = 4;
    for (int i = 0; i < 40; ++i) {
        objects.push_back(PropertyList(PropertyList::Dictionary{
            {"NS.objects",
             PropertyList(PropertyList::Array{PropertyList(Uid{previous}), PropertyList(Uid{previous})})},
            {"$class", PropertyList(Uid{2})}}));
        previous = objects.size() - 1;
    }
    objects[1] = PropertyList(
        PropertyList::Dictionary{{"v", PropertyList(Uid{previous})}, {"$class", PropertyList(Uid{3})}});
    PropertyList tree(PropertyList::Dictionary{
        {"$archiver", PropertyList("NSKeyedArchiver")},
        {"$version", PropertyList(100000)},
        {"$top", PropertyList(PropertyList::Dictionary{{"root", PropertyList(Uid{1})}})},
        {"$objects", PropertyList(std::move(objects))}});
    auto object = KeyedUnarchiver::unarchiveTree(tree);
    ASSERT_FALSE(object);
    EXPECT_EQ(object.error().code(), static_cast<long>(KeyedArchiveErrorCode::malformed));
}

TEST(KeyedArchiveHostile, GarbageBytesAreNotAPropertyList) {
    const std::string garbage = "\x00\x01garbage";
    auto object = KeyedUnarchiver::unarchive(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(garbage.data()), garbage.size()));
    ASSERT_FALSE(object);
    EXPECT_EQ(object.error().code(), static_cast<long>(KeyedArchiveErrorCode::notPropertyList));
}

} // namespace
