// Event log lines and the append-only files that hold them.
#include "sdk/rurorad/ZEVEventLog/ZEVEventLogEventFile.hpp"
#include "tests/support/Files.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

using velotest::readFile;

std::string line(const ZEVEventLogEvent& event) {
    auto data = event.eventData();
    return std::string(data.begin(), data.end());
}

TEST(EventLogLine, RendersByteForByte) {
    struct Case {
        ZEVEventLogEvent event;
        std::string expected;
    };
    const Case cases[] = {
        {ZEVEventLogEvent(2, 0, "k"), std::string("0\tk\n")},
        {ZEVEventLogEvent(0, 1700000000123, "app_launched", std::string("{}")),
         std::string("1700000000123\tapp_launched\t2\t{}\n")},
        {ZEVEventLogEvent(1, 5, "metadata", std::string()), std::string("5\tmetadata\t0\t\n")},
        // A payload holding TAB and LF goes in as it is: the length tells a reader where it ends.
        {ZEVEventLogEvent(1, 42, "custom", std::string("a\tb\nc")), std::string("42\tcustom\t5\ta\tb\nc\n")},
        // Keys and payloads are bytes: UTF-8 is counted in bytes, not characters.
        {ZEVEventLogEvent(1, 7, "k\xc3\xa9", std::string("\xc3\xa9")),
         std::string("7\tk\xc3\xa9\t2\t\xc3\xa9\n")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(line(c.event), c.expected);
    }
}

TEST(EventLogLine, EqualityTellsAnAbsentPayloadFromAnEmptyOne) {
    ZEVEventLogEvent none(1, 10, "a");
    ZEVEventLogEvent empty(1, 10, "a", std::string());
    EXPECT_FALSE(none.isEqual(empty));
    EXPECT_TRUE(empty.isEqual(ZEVEventLogEvent(1, 10, "a", std::string())));
    EXPECT_FALSE(none.isEqual(ZEVEventLogEvent(2, 10, "a")));
    EXPECT_FALSE(none.isEqual(ZEVEventLogEvent(1, 11, "a")));
    EXPECT_EQ(none.hash(), ZEVEventLogEvent(1, 10, "a").hash());
}

class EventLogFile : public ::testing::Test {
  protected:
    velotest::TempFolder folder;
    fs::path path = folder.path() / "1.log";
};

TEST_F(EventLogFile, OpeningCreatesTheFileAndReplacesADirectoryInItsPlace) {
    fs::create_directories(path / "inner");
    auto file = ZEVEventLogEventFile::initWithURL(path.string());
    ASSERT_TRUE(file);
    EXPECT_TRUE(fs::is_regular_file(path));
    EXPECT_EQ(file->fileSize(), 0u);
}

TEST_F(EventLogFile, AppendsContinueAfterWhatTheFileAlreadyHeld) {
    std::ofstream(path, std::ios::binary) << std::string(500, 'x');
    auto file = ZEVEventLogEventFile::initWithURL(path.string());
    ASSERT_TRUE(file);
    EXPECT_EQ(file->fileSize(), 500u);
    ASSERT_TRUE(file->appendEvent(ZEVEventLogEvent(0, 0, "k")));
    EXPECT_EQ(file->fileSize(), 504u);
    EXPECT_EQ(readFile(path), std::string(500, 'x') + "0\tk\n");
}

TEST_F(EventLogFile, ReadingGivesTheContentAndLeavesTheFileOpenForAppends) {
    auto file = ZEVEventLogEventFile::initWithURL(path.string());
    ASSERT_TRUE(file->appendEvent(ZEVEventLogEvent(0, 1, "a")));
    auto content = file->readFromFile();
    ASSERT_TRUE(content);
    EXPECT_EQ(std::string(content->begin(), content->end()), "1\ta\n");
    ASSERT_TRUE(file->appendEvent(ZEVEventLogEvent(0, 2, "b")));
    EXPECT_EQ(readFile(path), "1\ta\n2\tb\n");
    ASSERT_TRUE(file->resetFile());
    EXPECT_EQ(file->fileSize(), 0u);
    EXPECT_EQ(readFile(path), "");
}

TEST_F(EventLogFile, AFileThatCannotBeOpenedGivesNoObject) {
    EXPECT_FALSE(ZEVEventLogEventFile::initWithURL((folder.path() / "missing" / "0.log").string()));
}

} // namespace
