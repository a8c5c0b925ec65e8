#include "platform/foundation/Console.hpp"

#include "platform/foundation/FileContents.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sys/stat.h>

namespace {

TEST(ConsoleLog, StartsOverPastItsLimitKeepingOneOlderFile) {
    velotest::TempFolder folder;
    const std::string path = (folder.path() / "console.log").string();
    std::ofstream(path) << "from the last run\n"; // appended to, counted toward the limit
    ns::ConsoleSink previous = ns::setConsoleSink(nullptr);
    ASSERT_TRUE(ns::redirectConsoleToFile(path, 100));
    // 30 lines of 10 bytes each, with the line break.
    for (int i = 0; i < 30; ++i) {
        char line[16];
        std::snprintf(line, sizeof line, "line %04d", i);
        ns::console(line);
    }
    ns::setConsoleSink(std::move(previous));

    auto lines = [](int from, int to) {
        std::string text;
        for (int i = from; i <= to; ++i) {
            char line[16];
            std::snprintf(line, sizeof line, "line %04d\n", i);
            text += line;
        }
        return text;
    };
    // 18 bytes of the last run and 8 lines fill the first file; then 10 lines each.
    EXPECT_EQ(ns::readFileText(path + ".1", 1 << 20), lines(18, 27));
    EXPECT_EQ(ns::readFileText(path, 1 << 20), lines(28, 29));
    EXPECT_FALSE(std::filesystem::exists(path + ".2"));
}

// A link (symbolic or hard) or a FIFO where the log belongs holds nothing of ours: it goes, as itself,
// and the lines land in a new file of the log's own. (Opening the FIFO must not wait for a reader; a
// hard link would carry the lines into the file of its other name.)
TEST(ConsoleLog, ALinkOrAFifoInTheLogsPlaceIsReplacedNeverWrittenThrough) {
    velotest::TempFolder folder;
    const auto outside = folder.path() / "outside";
    std::ofstream(outside) << "someone else's\n";
    const struct {
        const char* name;
        std::function<void(const std::string&)> plant;
    } cases[] = {
        {"fifo.log", [](const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); }},
        {"link.log", [&](const std::string& path) { std::filesystem::create_symlink(outside, path); }},
        {"hard.log", [&](const std::string& path) { std::filesystem::create_hard_link(outside, path); }},
    };
    for (const auto& c : cases) {
        const std::string path = (folder.path() / c.name).string();
        c.plant(path);
        ns::ConsoleSink previous = ns::setConsoleSink(nullptr);
        const bool redirected = ns::redirectConsoleToFile(path);
        ns::console("a line of ours");
        ns::setConsoleSink(std::move(previous));
        ASSERT_TRUE(redirected) << path;
        EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(path))) << path;
        EXPECT_EQ(ns::readFileText(path, 1 << 20), "a line of ours\n") << path;
    }
    EXPECT_EQ(ns::readFileText(outside, 1 << 20), "someone else's\n");
}

TEST(ConsoleLog, AFileThatCannotBeOpenedLeavesTheSinkAsItWas) {
    ns::ConsoleCapture capture;
    EXPECT_FALSE(ns::redirectConsoleToFile("/nonexistent-folder/console.log"));
    ns::console("still captured");
    EXPECT_TRUE(capture.contains("still captured"));
}

// console() calls a copy of the sink outside its lock, so a line may arrive after the capture ended.
TEST(ConsoleCapture, ASinkCopyOutlivingTheCaptureStillWritesSafely) {
    ns::ConsoleSink copy;
    {
        ns::ConsoleCapture capture;
        copy = ns::setConsoleSink(nullptr);
        ns::setConsoleSink(copy);
    }
    copy("a line that arrives late"); // the sanitizer build sees any write to freed lines
}

} // namespace
