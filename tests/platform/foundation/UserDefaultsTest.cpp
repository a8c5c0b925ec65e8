#include "platform/foundation/UserDefaults.hpp"

#include "platform/foundation/Console.hpp"
#include "platform/foundation/FileContents.hpp"
#include "platform/foundation/PropertyListSerialization.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sys/stat.h>
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
    EXPECT_EQ(filesIn(home.path() / "Library" / "Preferences"),
              (std::vector<std::string>{"atomic.plist", "atomic.plist.lock"}));
}

// A file that is no property list, or one whose root is not a dictionary, is moved aside whole, said
// once, and never written over.
TEST(UserDefaults, CorruptFileIsKeptAsideReportedAndNotOverwritten) {
    velotest::TempHome home;
    const fs::path prefs = home.path() / "Library" / "Preferences";
    auto array = ns::writePropertyList(PropertyList(PropertyList::Array{PropertyList(1)}),
                                       ns::PropertyListFormat::binary);
    ASSERT_TRUE(array);
    for (const std::string& garbage : {std::string("bplist00 this is not really a property list"),
                                       std::string(array->begin(), array->end())}) {
        fs::remove_all(prefs);
        fs::create_directories(prefs);
        std::ofstream(prefs / "broken.plist", std::ios::binary) << garbage;
        ns::ConsoleCapture console;
        ns::UserDefaults d("broken");
        EXPECT_TRUE(d.dictionaryRepresentation().empty());
        ASSERT_EQ(console.lines().size(), 1u);
        EXPECT_NE(console.lines()[0].find("broken.plist"), std::string::npos);
        EXPECT_NE(console.lines()[0].find("moved it to"), std::string::npos);

        ASSERT_TRUE(d.setObject("fresh", PropertyList(true)));
        auto names = filesIn(prefs);
        ASSERT_EQ(names.size(), 3u);
        EXPECT_EQ(names[0], "broken.plist");
        EXPECT_EQ(names[1].rfind("broken.plist.corrupt-", 0), 0u);
        EXPECT_EQ(d.corruptFileCopy(), prefs / names[1]);
        EXPECT_EQ(names[2], "broken.plist.lock");
        std::ifstream kept(prefs / names[1], std::ios::binary);
        std::string content((std::istreambuf_iterator<char>(kept)), std::istreambuf_iterator<char>());
        EXPECT_EQ(content, garbage);
    }
}

// What can never be read as it stands (a file past the bound, a link or a FIFO in the file's place) is
// set aside like a damaged file: moved as it is, never read, followed or waited for, and the store
// starts empty and saves again.
TEST(UserDefaults, AnOversizedFileOrALinkOrAFifoIsMovedAsideLikeADamagedOne) {
    velotest::TempHome home;
    const fs::path prefs = home.path() / "Library" / "Preferences";
    const fs::path outside = home.path() / "outside.plist";
    auto sound = ns::writePropertyList(PropertyList(PropertyList::Dictionary{{"theirs", PropertyList(1)}}),
                                       ns::PropertyListFormat::binary);
    ASSERT_TRUE(sound);
    std::ofstream(outside, std::ios::binary)
        .write(reinterpret_cast<const char*>(sound->data()), static_cast<std::streamsize>(sound->size()));
    const struct {
        const char* what;
        std::function<void(const fs::path&)> make;
        fs::file_type keptAs;
    } cases[] = {
        {"oversized",
         [](const fs::path& file) {
             std::ofstream(file).flush();
             fs::resize_file(file, ns::UserDefaults::maximumFileLength + 1); // sparse: nothing written
         },
         fs::file_type::regular},
        {"link", [&](const fs::path& file) { fs::create_symlink(outside, file); }, fs::file_type::symlink},
        {"fifo", [](const fs::path& file) { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); },
         fs::file_type::fifo},
    };
    for (const auto& c : cases) {
        fs::remove_all(prefs);
        fs::create_directories(prefs);
        c.make(prefs / "odd.plist");
        ns::ConsoleCapture console;
        ns::UserDefaults d("odd");
        EXPECT_TRUE(d.dictionaryRepresentation().empty()) << c.what;
        EXPECT_FALSE(d.readError()) << c.what;
        ASSERT_TRUE(d.corruptFileCopy()) << c.what;
        EXPECT_EQ(fs::symlink_status(*d.corruptFileCopy()).type(), c.keptAs) << c.what;
        EXPECT_FALSE(fs::exists(fs::symlink_status(prefs / "odd.plist"))) << c.what;
        ASSERT_TRUE(d.setObject("fresh", PropertyList(true))) << c.what;
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(prefs / "odd.plist"))) << c.what;
        EXPECT_EQ(ns::UserDefaults("odd").objectForKey("theirs"), std::nullopt) << c.what;
    }
    EXPECT_EQ(ns::readFileBytes(outside, 1024), *sound); // what the link pointed to is as it was
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
    // No temporary left behind.
    EXPECT_EQ(filesIn(prefs), (std::vector<std::string>{"blocked.plist", "blocked.plist.lock"}));
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

TEST(UserDefaults, TwoProcessesWritingInTurnsKeepEachOthersKeys) {
    velotest::TempHome home;
    ns::UserDefaults here("shared");
    velotest::Turns turns;
    const pid_t child = velotest::startChild([&] {
        // Opened before the other process wrote anything: its memory knows none of the other's keys.
        ns::UserDefaults there("shared");
        turns.passToParent();
        for (int i = 0; i < 3; ++i) {
            turns.waitForParent();
            EXPECT_TRUE(there.setInteger("child" + std::to_string(i), i));
            EXPECT_TRUE(there.setInteger("same", 100 + i));
            turns.passToParent();
        }
    });
    ASSERT_GT(child, 0);
    turns.waitForChild();
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(here.setInteger("parent" + std::to_string(i), i));
        turns.passToChild();
        turns.waitForChild();
    }
    ASSERT_EQ(velotest::waitForChild(child), 0);
    ASSERT_TRUE(here.setBool("last", true));

    ns::UserDefaults after("shared");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(after.integerForKey("parent" + std::to_string(i)), i);
        EXPECT_EQ(after.integerForKey("child" + std::to_string(i)), i);
    }
    // One key written by both: the last write wins, and the writer that came later learnt of it.
    EXPECT_EQ(after.integerForKey("same"), 102);
    EXPECT_EQ(here.integerForKey("same"), 102);
    EXPECT_TRUE(after.boolForKey("last"));
}

TEST(UserDefaults, UpdatesOfOneKeyFromTwoProcessesAreMergedUnderTheLock) {
    velotest::TempHome home;
    auto append = [](ns::UserDefaults& d, const std::string& entry) {
        return d.updateObject("list", [&](const PropertyList* stored) {
            PropertyList::Array list;
            if (stored && stored->arrayValue()) list = *stored->arrayValue();
            list.emplace_back(entry);
            return PropertyList(std::move(list));
        });
    };
    constexpr int kEach = 40;
    const pid_t child = velotest::startChild([&] {
        ns::UserDefaults there("merged");
        for (int i = 0; i < kEach; ++i)
            EXPECT_TRUE(append(there, "child"));
    });
    ASSERT_GT(child, 0);
    ns::UserDefaults here("merged");
    for (int i = 0; i < kEach; ++i)
        ASSERT_TRUE(append(here, "parent"));
    ASSERT_EQ(velotest::waitForChild(child), 0);
    auto list = ns::UserDefaults("merged").arrayForKey("list");
    ASSERT_TRUE(list);
    EXPECT_EQ(list->size(), 2u * kEach);
}

TEST(UserDefaults, AFileThatCannotBeReadIsLeftAloneAndNothingIsWrittenOverIt) {
    struct Case {
        const char* name;
        std::function<void(const fs::path& prefs, const fs::path& file)> block;
        std::function<void(const fs::path& prefs, const fs::path& file)> unblock;
    };
    const Case cases[] = {
        {"file without permissions", [](const fs::path&, const fs::path& f) { ::chmod(f.c_str(), 0); },
         [](const fs::path&, const fs::path& f) { ::chmod(f.c_str(), 0600); }},
        {"folder without permissions", [](const fs::path& p, const fs::path&) { ::chmod(p.c_str(), 0); },
         [](const fs::path& p, const fs::path&) { ::chmod(p.c_str(), 0700); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        velotest::TempHome home;
        const fs::path prefs = home.path() / "Library" / "Preferences";
        const fs::path file = prefs / "locked.plist";
        ASSERT_TRUE(ns::UserDefaults("locked").setInteger("kept", 7));
        const auto before = filesIn(prefs);
        const int status = velotest::runInChild([&] {
            velotest::dropFilePermissionOverride();
            c.block(prefs, file);
            ns::ConsoleCapture console;
            ns::UserDefaults d("locked");
            EXPECT_FALSE(d.objectForKey("kept"));
            ASSERT_TRUE(d.readError());
            EXPECT_EQ(d.readError()->code(), EACCES);
            EXPECT_FALSE(d.corruptFileCopy());
            ASSERT_FALSE(console.lines().empty());
            EXPECT_NE(console.lines()[0].find("Permission denied"), std::string::npos) << console.lines()[0];
            EXPECT_FALSE(d.setInteger("fresh", 1)); // refused, not written over the record

            // Readable again: the next write keeps what the file held and adds what was set meanwhile.
            c.unblock(prefs, file);
            EXPECT_TRUE(d.setInteger("later", 2));
            EXPECT_FALSE(d.readError());
            EXPECT_EQ(d.integerForKey("kept"), 7);
        });
        EXPECT_EQ(status, 0);
        EXPECT_EQ(filesIn(prefs), before); // nothing moved aside
        ns::UserDefaults after("locked");
        EXPECT_EQ(after.integerForKey("kept"), 7);
        EXPECT_EQ(after.integerForKey("fresh"), 1);
        EXPECT_EQ(after.integerForKey("later"), 2);
    }
}

TEST(UserDefaults, TemporariesOfAnInterruptedSaveAreRemovedAtOpening) {
    velotest::TempHome home;
    const fs::path prefs = home.path() / "Library" / "Preferences";
    ASSERT_TRUE(ns::UserDefaults("tidy").setInteger("v", 1));
    std::ofstream(prefs / "tidy.plist.tmp-1F2E") << "half";
    std::ofstream(prefs / "tidy.plist.tmp-") << "";
    std::ofstream(prefs / "other.plist.tmp-1F2E") << "not ours";
    ns::UserDefaults d("tidy");
    EXPECT_EQ(d.integerForKey("v"), 1);
    EXPECT_EQ(filesIn(prefs),
              (std::vector<std::string>{"other.plist.tmp-1F2E", "tidy.plist", "tidy.plist.lock"}));
}

} // namespace
