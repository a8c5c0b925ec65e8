// The priority writer alone: the size it reports after each write, and swaps that lose no line.
#include "platform/dispatch/Clock.hpp"
#include "sdk/rurorad/engine/ZEVAnalyticsPriorityWriter.hpp"
#include "tests/sdk/rurorad/support/LogLines.hpp"
#include "tests/sdk/rurorad/support/Waiting.hpp"
#include "tests/support/TempHome.hpp"

#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

namespace fs = std::filesystem;
using namespace ruroradtest;

namespace {

using Writer = ZEVAnalyticsPriorityWriter;

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class PriorityWriter : public ::testing::Test {
  protected:
    Writer::FileURLs logsOf(const std::string& fragment) {
        fs::create_directories(folder.path() / fragment);
        Writer::FileURLs urls;
        for (std::size_t p = 0; p < urls.size(); ++p)
            urls[p] = (folder.path() / fragment / (std::to_string(p) + ".log")).string();
        return urls;
    }
    velotest::TempFolder folder;
};

// A still clock, so that the two gathered lines go in together, at the flush.
TEST_F(PriorityWriter, ReportsTheFilesSizeAfterEachWriteOnThatPrioritysQueue) {
    dispatch::VirtualClockScope clock;
    const auto report = [](std::size_t priority, std::uint64_t size, const std::string& queue) {
        return std::to_string(priority) + ": " + std::to_string(size) + " on " + queue;
    };
    const std::string on = "com.zevuzavidav.analytics.";
    std::vector<std::string> reports;
    const auto urls = logsOf("F1");
    Writer writer("{}", [&](std::size_t priority, std::uint64_t size) {
        EXPECT_EQ(size, fs::file_size(urls[priority]));
        reports.push_back(report(priority, size, dispatch::currentQueueLabel()));
    });
    ASSERT_TRUE(writer.swap(urls, 7, 5));
    std::ofstream(urls[1], std::ios::binary) << std::string(500, 'x'); // a log left from before
    writer.append(1, 10, "a", std::nullopt);
    writer.append(1, 11, "b", std::string_view("{}"));
    writer.append(0, 12, "c", std::nullopt);
    writer.append(2, 13, "d", std::nullopt);
    writer.append(2, 14, "e", std::nullopt);
    writer.flush();
    const std::uint64_t metadata = std::string("7\tmetadata\t2\t{}\n").size();
    EXPECT_EQ(reports, (std::vector<std::string>{report(1, 500 + metadata + 5, on + "medium-priority"),
                                                 report(1, 500 + metadata + 5 + 10, on + "medium-priority"),
                                                 report(0, metadata + 5, on + "high-priority"),
                                                 // both gathered lines at once
                                                 report(2, metadata + 10, on + "low-priority")}));
    EXPECT_EQ(readAll(urls[2]), "7\tmetadata\t2\t{}\n13\td\n14\te\n");
}

// The clock never reaches the gathered lines' delay: only the swap itself can write them.
TEST_F(PriorityWriter, LinesHandedInBeforeASwapStayInTheOldFragment) {
    dispatch::VirtualClockScope clock;
    Writer writer("{}", nullptr);
    const auto first = logsOf("F1"), second = logsOf("F2");
    ASSERT_TRUE(writer.swap(first, 1, 5));
    writer.append(2, 10, "before", std::nullopt);
    ASSERT_TRUE(writer.swap(second, 2, 5));
    writer.append(2, 20, "after", std::nullopt);
    writer.flush();
    EXPECT_EQ(readAll(first[2]), "1\tmetadata\t2\t{}\n10\tbefore\n");
    EXPECT_EQ(readAll(second[2]), "2\tmetadata\t2\t{}\n20\tafter\n");
}

TEST_F(PriorityWriter, SwapsDuringGroupedWritesLoseAndRepeatNoLine) {
    Writer writer("{}", nullptr);
    constexpr int kThreads = 4, kSwaps = 40;
    constexpr std::uint64_t kPerThread = 1'000'000'000;
    ASSERT_TRUE(writer.swap(logsOf("F0"), 0, 5));
    std::atomic<bool> swapping{true};
    std::atomic<std::size_t> handedIn{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            std::uint64_t i = 0;
            for (; swapping || i < 100; ++i)
                writer.append(2, t * kPerThread + i, "k", std::string_view("payload"));
            handedIn += i;
        });
    for (int s = 1; s <= kSwaps; ++s) {
        ASSERT_TRUE(writer.swap(logsOf("F" + std::to_string(s)), s, 5));
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    swapping = false;
    for (auto& thread : threads)
        thread.join();
    writer.flush();
    std::multiset<std::string> seen;
    int fragmentsWithLines = 0;
    for (int s = 0; s <= kSwaps; ++s) {
        const fs::path log = folder.path() / ("F" + std::to_string(s)) / "2.log";
        if (!fs::exists(log)) continue;
        const auto lines = parseLog(readAll(log));
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.front().timestamp, std::to_string(s)) << "metadata line of " << log;
        fragmentsWithLines += lines.size() > 1;
        for (std::size_t i = 1; i < lines.size(); ++i)
            seen.insert(lines[i].timestamp);
    }
    EXPECT_GT(fragmentsWithLines, 1) << "no swap came while the threads were writing";
    EXPECT_EQ(seen.size(), handedIn.load());
    EXPECT_EQ(std::set<std::string>(seen.begin(), seen.end()).size(), seen.size());
}

TEST_F(PriorityWriter, ASwapThatTimesOutStillCompletesAndReportsOnce) {
    Writer writer("{}", nullptr);
    std::atomic<bool> release{false};
    writer.queue(1).async([&] {
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    std::atomic<int> swapped{0};
    EXPECT_FALSE(writer.swap(logsOf("F1"), 1, 0.05, [&] { ++swapped; }));
    EXPECT_EQ(swapped, 0);
    release = true;
    EXPECT_TRUE(eventually([&] { return swapped == 1; }));
    writer.append(1, 2, "late", std::nullopt);
    EXPECT_EQ(parseLog(readAll(folder.path() / "F1" / "1.log")).back().key, "late");
    EXPECT_EQ(swapped, 1);
}

} // namespace
