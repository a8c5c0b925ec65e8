#include "sdk/zevuzavidav/logging/ZEVUserLogging.hpp"
#include "sdk/zevuzavidav/record/ZEVFileReader.hpp"
#include "tests/sdk/zevuzavidav/support/FakeContext.hpp"
#include "tests/sdk/zevuzavidav/support/RecordSupport.hpp"
#include "tests/support/Files.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {

using velotest::readFile;

using recordtest::hex;

// The pairs a report would see: compacted first, then the incremental lines, later ones winning.
std::map<std::string, std::string> visiblePairs(const ZEVUserLoggingKVStorage& store) {
    std::map<std::string, std::string> pairs;
    for (const char* path : {store.compactedPath, store.incrementalPath}) {
        auto lines = ZEVFileReadSections(path, false);
        if (!lines) continue;
        for (const auto& line : *lines) {
            const auto& kv = line["kv"];
            if (kv["value"].is_string()) {
                pairs[kv["key"].get<std::string>()] = kv["value"].get<std::string>();
            } else {
                pairs.erase(kv["key"].get<std::string>());
            }
        }
    }
    return pairs;
}

TEST(UserLogging, ANullValueRemovesTheKeyAtCompaction) {
    ZEVContextInitData data;
    data.maxCustomKeys = 16;
    FakeContext context(data);
    for (const char* value : {"1", "2", "3"})
        ZEVUserLoggingRecordUserKeyValue("k", std::string(value));
    ZEVUserLoggingRecordUserKeyValue("other", std::string("kept"));
    ZEVUserLoggingRecordUserKeyValue("k", std::nullopt);
    auto& store = context.readOnly().logging.userStore;
    ZEVUserLoggingCompactKVEntries(&store);
    EXPECT_FALSE(std::filesystem::exists(store.incrementalPath));
    auto pairs = visiblePairs(store);
    EXPECT_EQ(pairs.size(), 1u);
    EXPECT_EQ(pairs[hex("other")], hex("kept"));
}

TEST(UserLogging, CompactionKeepsTheNewestPairsUpToTheMaximum) {
    struct Case {
        std::uint32_t maximum;
        std::size_t kept;
        bool badCount;
    } cases[] = {{16, 16, false}, {0, 20, true}};
    for (const auto& c : cases) {
        ZEVContextInitData data;
        data.maxCustomKeys = c.maximum;
        FakeContext context(data);
        for (int i = 0; i < 20; ++i) {
            ZEVUserLoggingRecordUserKeyValue(("key" + std::to_string(i)).c_str(), std::to_string(i));
        }
        ZEVUserLoggingCompactKVEntries(&context.readOnly().logging.userStore);
        auto pairs = visiblePairs(context.readOnly().logging.userStore);
        EXPECT_EQ(pairs.size(), c.kept) << c.maximum;
        EXPECT_EQ(pairs.count(hex("key19")), 1u);
        if (c.maximum == 16) {
            EXPECT_EQ(pairs.count(hex("key0")), 0u);
        }
        std::string log = readFile(context.dir() + "/sdk.log");
        EXPECT_EQ(log.find("Computed a bad count of keys to remove") != std::string::npos, c.badCount) << log;
    }
}

// A rewrite that cannot be finished leaves the earlier compacted set and the incremental lines as
// they were: no pair is lost.
TEST(UserLogging, ACompactionThatCannotWriteLosesNoPair) {
    ZEVContextInitData data;
    data.maxCustomKeys = 16;
    FakeContext context(data);
    auto& store = context.readOnly().logging.userStore;
    ZEVUserLoggingRecordUserKeyValue("old", std::string("1"));
    ZEVUserLoggingCompactKVEntries(&store);
    ZEVUserLoggingRecordUserKeyValue("new", std::string("2"));
    // A folder where the rewrite's file would go makes the rewrite fail.
    std::filesystem::path blocker = std::string(store.compactedPath) + ".tmp";
    std::filesystem::create_directory(blocker);
    ZEVUserLoggingCompactKVEntries(&store);
    auto pairs = visiblePairs(store);
    EXPECT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[hex("old")], hex("1"));
    EXPECT_EQ(pairs[hex("new")], hex("2"));
    std::filesystem::remove(blocker);
    ZEVUserLoggingCompactKVEntries(&store);
    EXPECT_FALSE(std::filesystem::exists(store.incrementalPath));
    EXPECT_EQ(visiblePairs(store).size(), 2u);
}

TEST(UserLogging, The64thAppendCompactsOnceAndThe65thStartsANewIncrementalFile) {
    ZEVContextInitData data;
    data.maxCustomKeys = 100;
    FakeContext context(data);
    auto& store = context.readOnly().logging.userStore;
    for (int i = 0; i < 63; ++i)
        ZEVUserLoggingRecordUserKeyValue(("k" + std::to_string(i)).c_str(), "v");
    context.drain();
    EXPECT_FALSE(std::filesystem::exists(store.compactedPath));
    EXPECT_EQ(context.writable().logging.userKVCount, 63u);
    ZEVUserLoggingRecordUserKeyValue("k63", "v");
    context.drain();
    EXPECT_EQ(context.writable().logging.userKVCount, 0u);
    EXPECT_TRUE(std::filesystem::exists(store.compactedPath));
    EXPECT_FALSE(std::filesystem::exists(store.incrementalPath));
    ZEVUserLoggingRecordUserKeyValue("k64", "v");
    auto incremental = ZEVFileReadSections(store.incrementalPath, false);
    ASSERT_TRUE(incremental.has_value());
    EXPECT_EQ(incremental->size(), 1u);
    EXPECT_EQ(visiblePairs(store).size(), 65u);
}

TEST(UserLogging, ErrorsAlternateBetweenTwoFilesAndStopWhenDisabled) {
    ZEVContextInitData data;
    data.errorReportingEnabled = 1;
    data.maxCustomExceptions = 16;
    FakeContext context(data);
    auto& store = context.readOnly().logging.errorStore;
    zevuzavidav::LoggedError error{"NSCocoaErrorDomain", -7, {{"reason", "disk full"}}};
    std::vector<std::pair<std::string, std::string>> extra = {{"screen", "lesson"}};
    for (int i = 0; i < 16; ++i)
        ZEVUserLoggingRecordError(error, &extra);
    context.drain();
    EXPECT_EQ(context.writable().logging.currentErrorFile, store.pathB);
    ZEVUserLoggingRecordError(error, nullptr);
    context.drain();
    auto first = ZEVFileReadSections(store.pathA, false);
    auto second = ZEVFileReadSections(store.pathB, false);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->size(), 16u);
    ASSERT_EQ(second->size(), 1u);
    const auto& line = (*first)[0]["error"];
    EXPECT_EQ(line["domain"], hex("NSCocoaErrorDomain"));
    EXPECT_EQ(line["code"], -7);
    EXPECT_FALSE(line["stacktrace"].empty());
    EXPECT_EQ(line["info"][0][1], hex("disk full"));
    EXPECT_EQ(line["extra_info"][0][0], hex("screen"));
    EXPECT_FALSE((*second)[0]["error"].contains("extra_info"));

    ZEVContextInitData disabled;
    disabled.maxCustomExceptions = 16;
    FakeContext off(disabled);
    ZEVUserLoggingRecordError(error, nullptr);
    off.drain();
    EXPECT_FALSE(std::filesystem::exists(off.readOnly().logging.errorStore.pathA));
}

} // namespace
