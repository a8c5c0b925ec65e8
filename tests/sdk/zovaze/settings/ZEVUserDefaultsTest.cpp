// The SDK's own store: values, the file, migration from the app's preferences, and bad files.
#include "sdk/zovaze/settings/ZEVUserDefaults.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/foundation/PropertyListSerialization.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/Files.hpp"
#include "tests/support/OnExit.hpp"
#include "tests/support/TempHome.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <thread>

namespace {

class SDKDefaultsStore : public ::testing::Test {
  protected:
    void SetUp() override {
        app_ = std::make_unique<ns::UserDefaults>("com.example.app", root_.path() / "Preferences");
    }
    std::filesystem::path directory() const {
        return root_.path() / "Application Support" / "com.zevuzavidav";
    }
    std::unique_ptr<ZEVUserDefaults> open() {
        return std::make_unique<ZEVUserDefaults>(directory(), app_.get());
    }

    velotest::TempFolder root_;
    std::unique_ptr<ns::UserDefaults> app_;
};

TEST_F(SDKDefaultsStore, ValuesAreTypedAndANullValueRemovesTheKey) {
    auto store = open();
    EXPECT_EQ(store->fileURL(), directory() / "ZEVUserDefaults.plist");
    store->setString("ABC", "com.zevuzavidav.iuuid");
    store->setBool(true, "flag");
    store->setObject(std::string("yes"), "text");
    store->setObject(ns::Date::fromTimeIntervalSince1970(5), "date");
    EXPECT_EQ(store->stringForKey("com.zevuzavidav.iuuid"), "ABC");
    EXPECT_FALSE(store->stringForKey("flag"));
    EXPECT_TRUE(store->boolForKey("flag"));
    EXPECT_FALSE(store->boolForKey("text")); // a string is never true here, whatever it says
    EXPECT_FALSE(store->boolForKey("date"));
    EXPECT_FALSE(store->boolForKey("missing"));
    store->setObject(ns::PropertyList(), "flag");
    EXPECT_FALSE(store->objectForKey("flag"));
    store->removeObjectForKey("text");
    EXPECT_EQ(store->dictionaryRepresentation().keys(),
              (std::vector<std::string>{"com.zevuzavidav.iuuid", "date"}));
    store->removeAllObjects();
    EXPECT_TRUE(store->dictionaryRepresentation().empty());
}

TEST_F(SDKDefaultsStore, OnlySynchronizeReachesTheFileAndANewStoreSeesIt) {
    {
        auto store = open();
        store->setString("first", "k");
        ASSERT_TRUE(store->synchronize());
        store->setString("second", "k"); // never synchronized
    }
    auto reopened = open();
    EXPECT_EQ(reopened->stringForKey("k"), "first");
    auto read =
        ns::readPropertyListFile(directory() / "ZEVUserDefaults.plist", ZEVUserDefaults::maximumFileLength);
    ASSERT_TRUE(read.ok());
    std::ifstream file(directory() / "ZEVUserDefaults.plist");
    std::string head(5, '\0');
    file.read(head.data(), 5);
    EXPECT_EQ(head, "<?xml"); // an XML property list
}

TEST_F(SDKDefaultsStore, ADirectoryWhereTheFileBelongsIsRemovedAndTheStoreStartsEmpty) {
    std::filesystem::create_directories(directory() / "ZEVUserDefaults.plist" / "inner");
    ns::ConsoleCapture console;
    auto store = open();
    EXPECT_TRUE(console.contains(
        "[Zovaze:UserDefaults] found directory where file expected. Removing conflicting directory"));
    EXPECT_FALSE(std::filesystem::exists(directory() / "ZEVUserDefaults.plist"));
    EXPECT_TRUE(store->dictionaryRepresentation().empty());
    store->setString("v", "k");
    EXPECT_TRUE(store->synchronize());
}

TEST_F(SDKDefaultsStore, ACorruptFileIsReportedKeptAsideAndTheStoreStartsEmpty) {
    std::filesystem::create_directories(directory());
    for (const std::string& garbage :
         {std::string("not a plist at all"), std::string("<?xml version=\"1.0\"?><plist><array/></plist>"),
          std::string("bplist00\xff\xff", 10)}) {
        std::ofstream(directory() / "ZEVUserDefaults.plist", std::ios::binary) << garbage;
        ns::ConsoleCapture console;
        auto store = open();
        EXPECT_EQ(console.count("[Zovaze:UserDefaults] failed to read existing UserDefaults file"), 1u);
        EXPECT_TRUE(store->dictionaryRepresentation().empty());
        EXPECT_FALSE(std::filesystem::exists(directory() / "ZEVUserDefaults.plist"));
        int kept = 0;
        for (const auto& entry : std::filesystem::directory_iterator(directory())) {
            if (entry.path().filename().string().starts_with("ZEVUserDefaults.plist.corrupt-")) {
                std::ifstream in(entry.path(), std::ios::binary);
                std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
                if (content == garbage) ++kept;
                std::filesystem::remove(entry.path());
            }
        }
        EXPECT_EQ(kept, 1);
    }
}

// A link in the place of the store's folder, or of Application Support above it, leads elsewhere: the
// folders are looked at from the sandbox's Library down before the file is read, set aside or written,
// so what the link points to keeps its bytes and the store lives in the sandbox.
TEST(SDKDefaultsStoreLinks, ALinkInPlaceOfTheFolderLeavesWhatItPointsToUntouched) {
    velotest::TempHome home;
    const auto directory = ns::Sandbox::applicationSupport() / "com.zevuzavidav";
    for (const auto& place : {directory, directory.parent_path()}) {
        SCOPED_TRACE(place.string());
        velotest::TempFolder outside;
        const auto mirror = outside.path() / std::filesystem::relative(directory, place);
        std::filesystem::create_directories(mirror / "ZEVUserDefaults.plist.d");
        // Unreadable: read through the link, it would be set aside there.
        std::ofstream(mirror / "ZEVUserDefaults.plist") << "not a plist at all";
        const auto before = velotest::folderContents(outside.path());
        std::filesystem::remove_all(place);
        std::filesystem::create_symlink(outside.path(), place);

        ns::UserDefaults app("com.example.app", home.path() / "Preferences");
        ZEVUserDefaults store(directory, &app);
        EXPECT_TRUE(store.dictionaryRepresentation().empty());
        std::filesystem::remove_all(place);
        std::filesystem::create_symlink(outside.path(), place);
        store.setString("ours", "k");
        EXPECT_TRUE(store.synchronize());
        EXPECT_EQ(velotest::folderContents(outside.path()), before);
        EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::symlink_status(place)));
        EXPECT_EQ(ZEVUserDefaults(directory, &app).stringForKey("k"), "ours");
    }
}

TEST_F(SDKDefaultsStore, AValueNoPropertyListCanHoldLeavesTheOldFile) {
    auto store = open();
    store->setString("kept", "k");
    ASSERT_TRUE(store->synchronize());
    store->setObject(ns::PropertyList::Array{ns::PropertyList()}, "bad"); // a null inside an array
    ns::ConsoleCapture console;
    EXPECT_FALSE(store->synchronize());
    EXPECT_TRUE(console.contains("[Zovaze:UserDefaults] Unable to open file for writing at path " +
                                 (directory() / "ZEVUserDefaults.plist").string()));
    EXPECT_EQ(open()->stringForKey("k"), "kept");
    EXPECT_TRUE(store->objectForKey("bad")); // memory is untouched
}

TEST_F(SDKDefaultsStore, AnIdentifierOnlyInTheAppPreferencesMovesOnFirstRead) {
    ASSERT_TRUE(app_->setObject("com.zevuzavidav.iuuid", std::string("1234-ABCD")).ok());
    auto store = open();
    EXPECT_FALSE(store->objectForKeyByMigratingFromNSUserDefaults(std::nullopt));
    auto value = store->objectForKeyByMigratingFromNSUserDefaults(std::string("com.zevuzavidav.iuuid"));
    ASSERT_TRUE(value && value->stringValue());
    EXPECT_EQ(*value->stringValue(), "1234-ABCD");
    EXPECT_FALSE(app_->objectForKey("com.zevuzavidav.iuuid"));
    EXPECT_EQ(open()->stringForKey("com.zevuzavidav.iuuid"), "1234-ABCD"); // on disk
    EXPECT_FALSE(store->objectForKeyByMigratingFromNSUserDefaults(std::string("absent")));
}

TEST_F(SDKDefaultsStore, MigrationKeepsTheAppValueWhenTheStoreCannotBeWritten) {
    ASSERT_TRUE(app_->setObject("com.zevuzavidav.iuuid", std::string("KEEP-ME")).ok());
    // A file where the store's folder should be: nothing can be written there.
    std::filesystem::create_directories(directory().parent_path());
    std::ofstream(directory()) << "blocker";
    ns::ConsoleCapture console;
    auto store = open();
    auto value = store->objectForKeyByMigratingFromNSUserDefaults(std::string("com.zevuzavidav.iuuid"));
    ASSERT_TRUE(value);
    EXPECT_EQ(*value->stringValue(), "KEEP-ME");
    EXPECT_TRUE(app_->objectForKey("com.zevuzavidav.iuuid")); // not lost
    EXPECT_TRUE(console.contains("[Zovaze:UserDefaults] Unable to open file for writing at path " +
                                 (directory() / "ZEVUserDefaults.plist").string()));

    store->migrateFromNSUserDefaults({"com.zevuzavidav.iuuid"});
    EXPECT_TRUE(app_->objectForKey("com.zevuzavidav.iuuid"));
}

TEST_F(SDKDefaultsStore, BulkMigrationRemovesEveryListedKeyOnlyWhenSomethingWasCopied) {
    ASSERT_TRUE(app_->setObject("a", 1).ok());
    ASSERT_TRUE(app_->setObject("c", 3).ok());
    auto store = open();
    store->migrateFromNSUserDefaults({"x", "y"});
    EXPECT_TRUE(app_->objectForKey("a"));
    ASSERT_TRUE(app_->setObject("b", 2).ok());
    store->migrateFromNSUserDefaults({"a", "b", "missing"});
    EXPECT_EQ(store->objectForKey("a"), ns::PropertyList(1));
    EXPECT_EQ(store->objectForKey("b"), ns::PropertyList(2));
    EXPECT_FALSE(app_->objectForKey("a"));
    EXPECT_FALSE(app_->objectForKey("b"));
    EXPECT_TRUE(app_->objectForKey("c"));
    EXPECT_EQ(open()->objectForKey("b"), ns::PropertyList(2));
}

TEST_F(SDKDefaultsStore, EverySynchronizedChangeIsOnDiskWhenConcurrentSynchronizesReturn) {
    for (int round = 0; round < 40; ++round) {
        std::filesystem::remove_all(directory());
        auto store = open();
        std::vector<std::thread> writers;
        for (int t = 0; t < 8; ++t)
            writers.emplace_back([&store, t] {
                for (int i = 0; i < 6; ++i) {
                    store->setObject(i, "key-" + std::to_string(t) + "-" + std::to_string(i));
                    EXPECT_TRUE(store->synchronize());
                }
            });
        for (auto& writer : writers)
            writer.join();
        // An older snapshot written last would lose changes whose synchronize() had already returned.
        EXPECT_EQ(open()->dictionaryRepresentation().size(), 48u) << round;
    }
}

// Reads one byte from `fd`; false at its end, on an error, or when nothing came within kPatience.
bool readOneByte(int fd) {
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, static_cast<int>(velotest::kPatience * 1000)) != 1) return false;
    char byte;
    return ::read(fd, &byte, 1) == 1;
}

TEST_F(SDKDefaultsStore, AKillAtAnyMomentOfAWriteLeavesAWholeFile) {
    for (int round = 0; round < 12; ++round) {
        int rewrites[2];
        ASSERT_EQ(::pipe(rewrites), 0);
        pid_t child = velotest::forkTiedToThisProcess();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(rewrites[0]);
            // Keeps rewriting the store with growing, self-consistent contents until killed, and tells
            // of each rewrite once it is on disk.
            ZEVUserDefaults store(directory(), nullptr);
            for (int i = 0;; ++i) {
                store.setObject(i, "counter");
                store.setString(std::string(static_cast<std::size_t>(i % 5000), 'x'), "padding");
                store.setObject(i % 5000, "paddingLength");
                store.synchronize();
                if (::write(rewrites[1], "w", 1) != 1) ::_exit(1);
            }
        }
        ::close(rewrites[1]);
        pid_t running = child;
        velotest::OnExit reap([&] {
            if (running > 0) {
                ::kill(running, SIGKILL);
                ::waitpid(running, nullptr, 0);
            }
            ::close(rewrites[0]);
        });
        // Killed after a number of whole rewrites that grows each round, so somewhere in one of the
        // rewrites that follow: the child goes on until its pipe is full.
        bool written = true;
        for (int told = 0; told <= round * 4 && written; ++told)
            written = readOneByte(rewrites[0]);
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        running = 0;
        ASSERT_TRUE(written) << round;
        ns::ConsoleCapture console;
        auto store = open();
        EXPECT_FALSE(console.contains("[Zovaze:UserDefaults] failed to read existing UserDefaults file"))
            << round;
        auto padding = store->stringForKey("padding");
        auto length = store->objectForKey("paddingLength");
        ASSERT_TRUE(padding && length && length->integerValue()) << round;
        EXPECT_EQ(static_cast<std::int64_t>(padding->size()), *length->integerValue());
    }
}

} // namespace
