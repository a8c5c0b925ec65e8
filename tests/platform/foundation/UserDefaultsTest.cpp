#include "platform/foundation/UserDefaults.hpp"

#include "platform/foundation/Console.hpp"
#include "platform/foundation/PropertyListSerialization.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

namespace {

namespace fs = std::filesystem;
using ns::PropertyList;

std::vector<std::string> filesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(UserDefaults, ValuesPersistAcrossInstancesAsOneBinaryPlist) {
    velotest::TempHome home;
    {
        ns::UserDefaults defaults("com.example.app");
        ASSERT_TRUE(defaults.setObject("progressReport", PropertyList(PropertyList::Data{1, 2, 3})));
        ASSERT_TRUE(defaults.setBool("sound", true));
        ASSERT_TRUE(defaults.setInteger("count", 20));
        ASSERT_TRUE(defaults.setObject("name", PropertyList("Ada")));
        ASSERT_TRUE(defaults.setObject("list", PropertyList(PropertyList::Array{PropertyList("x")})));
    }
    const fs::path file = home.path() / "Library" / "Preferences" / "com.example.app.plist";
    ASSERT_TRUE(fs::exists(file));
    std::ifstream in(file, std::ios::binary);
    std::string magic(8, '\0');
    in.read(magic.data(), 8);
    EXPECT_EQ(magic, "bplist00");

    ns::UserDefaults again("com.example.app");
    EXPECT_EQ(again.dataForKey("progressReport"), (PropertyList::Data{1, 2, 3}));
    EXPECT_TRUE(again.boolForKey("sound"));
    EXPECT_EQ(again.integerForKey("count"), 20);
    EXPECT_EQ(again.stringForKey("name"), "Ada");
    ASSERT_TRUE(again.arrayForKey("list"));
    EXPECT_EQ(again.arrayForKey("list")->size(), 1u);
    EXPECT_EQ(again.dictionaryRepresentation().keys(),
              (std::vector<std::string>{"progressReport", "sound", "count", "name", "list"}));
}

TEST(UserDefaults, RemovingAndNullValuesDeleteTheKeyOnDisk) {
    velotest::TempHome home;
    {
        ns::UserDefaults d("dom");
        ASSERT_TRUE(d.setObject("a", PropertyList(1)));
        ASSERT_TRUE(d.setObject("b", PropertyList(2)));
        ASSERT_TRUE(d.removeObjectForKey("a"));
        ASSERT_TRUE(d.setObject("b", PropertyList()));
        EXPECT_FALSE(d.objectForKey("a"));
        EXPECT_FALSE(d.objectForKey("b"));
    }
    ns::UserDefaults again("dom");
    EXPECT_TRUE(again.dictionaryRepresentation().empty());
}

TEST(UserDefaults, TypedGettersFollowThePlatformConversions) {
    velotest::TempHome home;
    ns::UserDefaults d("typed");
    ASSERT_TRUE(d.setObject("str", PropertyList("YES")));
    ASSERT_TRUE(d.setObject("num", PropertyList("42")));
    ASSERT_TRUE(d.setObject("junk", PropertyList("4x")));
    ASSERT_TRUE(d.setObject("real", PropertyList(2.9)));
    ASSERT_TRUE(d.setObject("zero", PropertyList(0)));
    ASSERT_TRUE(d.setObject("data", PropertyList(PropertyList::Data{})));
    EXPECT_TRUE(d.boolForKey("str"));
    EXPECT_FALSE(d.boolForKey("zero"));
    EXPECT_FALSE(d.boolForKey("missing"));
    EXPECT_FALSE(d.boolForKey("data"));
    EXPECT_EQ(d.integerForKey("num"), 42);
    EXPECT_EQ(d.integerForKey("junk"), 0);
    EXPECT_EQ(d.integerForKey("real"), 2);
    EXPECT_FALSE(d.stringForKey("real"));
    EXPECT_FALSE(d.dataForKey("str"));
    EXPECT_TRUE(d.dataForKey("data"));
    EXPECT_FALSE(d.arrayForKey("str"));
}

TEST(UserDefaults, AtomicWriteLeavesNoTemporaryFiles) {
    velotest::TempHome home;
    ns::UserDefaults d("atomic");
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(d.setInteger("i", i));
    EXPECT_EQ(filesIn(home.path() / "Library" / "Preferences"), (std::vector<std::string>{"atomic.plist"}));
}

TEST(UserDefaults, CorruptFileIsKeptAsideReportedAndNotOverwritten) {
    velotest::TempHome home;
    const fs::path prefs = home.path() / "Library" / "Preferences";
    const std::string garbage = "bplist00 this is not really a property list";
    {
        std::ofstream out(prefs / "broken.plist", std::ios::binary);
        out << garbage;
    }
    ns::ConsoleCapture console;
    ns::UserDefaults d("broken");
    EXPECT_TRUE(d.dictionaryRepresentation().empty());
    ASSERT_EQ(console.lines().size(), 1u);
    EXPECT_NE(console.lines()[0].find("broken.plist"), std::string::npos);
    EXPECT_NE(console.lines()[0].find("moved it to"), std::string::npos);

    ASSERT_TRUE(d.setObject("fresh", PropertyList(true)));
    auto names = filesIn(prefs);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], "broken.plist");
    EXPECT_EQ(names[1].rfind("broken.plist.corrupt-", 0), 0u);
    std::ifstream kept(prefs / names[1], std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(kept)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, garbage);
}

TEST(UserDefaults, FileWhoseRootIsNotADictionaryCountsAsCorrupt) {
    velotest::TempHome home;
    const fs::path prefs = home.path() / "Library" / "Preferences";
    auto bytes = ns::writePropertyList(PropertyList(PropertyList::Array{PropertyList(1)}),
                                       ns::PropertyListFormat::binary);
    ASSERT_TRUE(bytes);
    {
        std::ofstream out(prefs / "array.plist", std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes->data()), static_cast<std::streamsize>(bytes->size()));
    }
    ns::ConsoleCapture console;
    ns::UserDefaults d("array");
    EXPECT_TRUE(d.dictionaryRepresentation().empty());
    EXPECT_EQ(console.lines().size(), 1u);
    EXPECT_EQ(filesIn(prefs).size(), 1u); // only the corrupt-* file: nothing written yet
}

TEST(UserDefaults, FailedWriteKeepsValueInMemoryAndWhatIsOnDisk) {
    velotest::TempHome home;
    const fs::path prefs = home.path() / "Library" / "Preferences";
    ns::UserDefaults d("blocked");
    ASSERT_TRUE(d.setInteger("v", 1));
    // Something else now stands where the file goes: the rename must fail, even for root.
    fs::remove(prefs / "blocked.plist");
    fs::create_directories(prefs / "blocked.plist" / "inside");
    ns::ConsoleCapture console;
    auto r = d.setInteger("v", 2);
    EXPECT_FALSE(r);
    EXPECT_TRUE(d.lastWriteError());
    EXPECT_EQ(d.integerForKey("v"), 2);
    EXPECT_TRUE(fs::is_directory(prefs / "blocked.plist" / "inside"));
    EXPECT_EQ(console.lines().size(), 1u);
    EXPECT_EQ(filesIn(prefs), (std::vector<std::string>{"blocked.plist"})); // no temporary left behind
}

TEST(UserDefaults, UnwritableValueIsReportedAndOldFileStays) {
    velotest::TempHome home;
    ns::UserDefaults d("bad");
    ASSERT_TRUE(d.setInteger("v", 1));
    ns::ConsoleCapture console;
    auto r = d.setObject("text", PropertyList(std::string("nul\0byte", 8)));
    EXPECT_FALSE(r);
    EXPECT_EQ(console.lines().size(), 1u);
    EXPECT_EQ(ns::UserDefaults("bad").integerForKey("v"), 1);
    // Dropping the bad value makes the store writable again.
    EXPECT_TRUE(d.removeObjectForKey("text"));
    EXPECT_FALSE(d.lastWriteError());
}

TEST(UserDefaults, StandardFollowsTheSandbox) {
    velotest::TempHome first;
    ns::UserDefaults& a = ns::UserDefaults::standard();
    ASSERT_TRUE(a.setObject("k", PropertyList("first")));
    EXPECT_EQ(&a, &ns::UserDefaults::standard());
    EXPECT_EQ(a.filePath().parent_path(), first.path() / "Library" / "Preferences");
    {
        velotest::TempHome second;
        ns::UserDefaults& b = ns::UserDefaults::standard();
        EXPECT_NE(a.filePath(), b.filePath());
        EXPECT_FALSE(b.objectForKey("k"));
    }
}

TEST(UserDefaults, ConcurrentWritersLoseNothing) {
    velotest::TempHome home;
    ns::UserDefaults d("threads");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&d, t] {
            for (int i = 0; i < 25; ++i)
                (void)d.setInteger(std::to_string(t * 100 + i), i);
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(ns::UserDefaults("threads").dictionaryRepresentation().size(), 100u);
}

} // namespace
