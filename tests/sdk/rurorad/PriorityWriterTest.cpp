// The priority writer alone: the size it reports after each write, swaps that lose no line, and the
// bound on the low-priority lines waiting for the disk.
#include "platform/dispatch/Clock.hpp"
#include "sdk/rurorad/engine/ZEVAnalyticsPriorityWriter.hpp"
#include "tests/sdk/rurorad/support/Held.hpp"
#include "tests/support/Files.hpp"
#include "tests/support/LogLines.hpp"
#include "tests/support/TempHome.hpp"
#include "tests/support/ThreadState.hpp"
#include "tests/support/Waiter.hpp"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <numeric>
#include <set>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace ruroradtest;

namespace {

using Writer = ZEVAnalyticsPriorityWriter;

class PriorityWriter : public ::testing::Test {
  protected:
    Writer::FileURLs logsOf(const std::string& fragment) {
        fs::create_directories(folder.path() / fragment);
        Writer::FileURLs urls;
        for (std::size_t p = 0; p < urls.size(); ++p)
            urls[p] = (folder.path() / fragment / (std::to_string(p) + ".log")).string();
        return urls;
    }
    fs::path lowLog(const std::string& fragment) const { return folder.path() / fragment / "2.log"; }
    // A swap that has finished when this returns, however long its queues took.
    static void swapTo(Writer& writer, const Writer::FileURLs& urls, std::uint64_t timestamp) {
        writer.swap(urls, timestamp, 0);
        writer.settle();
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
    swapTo(writer, urls, 7);
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
    EXPECT_EQ(velotest::readFile(urls[2]), "7\tmetadata\t2\t{}\n13\td\n14\te\n");
}

// The clock never reaches the gathered lines' delay: only the swap itself can write them.
TEST_F(PriorityWriter, LinesHandedInBeforeASwapStayInTheOldFragment) {
    dispatch::VirtualClockScope clock;
    Writer writer("{}", nullptr);
    const auto first = logsOf("F1"), second = logsOf("F2");
    swapTo(writer, first, 1);
    writer.append(2, 10, "before", std::nullopt);
    swapTo(writer, second, 2);
    writer.append(2, 20, "after", std::nullopt);
    writer.flush();
    EXPECT_EQ(velotest::readFile(first[2]), "1\tmetadata\t2\t{}\n10\tbefore\n");
    EXPECT_EQ(velotest::readFile(second[2]), "2\tmetadata\t2\t{}\n20\tafter\n");
}

// Each round holds the low-priority queue, has four threads hand in lines, swaps (the swap's block waits
// behind the held one), and has the threads hand in more while the queue is let go, past the bound on
// waiting lines, so that callers wait their turn and timed writes run among them. The lines handed in
// before each swap, and only those, are in the fragment it closes, in each thread's order.
TEST_F(PriorityWriter, SwapsAmongGroupedWritesCutTheLinesWhereTheyAreCalled) {
    Writer writer("{}", nullptr);
    constexpr int kThreads = 4, kRounds = 6;
    // Under the bound before the swap (nothing may wait while the queue is held), past it after.
    constexpr int kBefore = 50, kAfter = 100;
    const std::string payload(1000, 'p');
    static_assert(kThreads * kBefore * 1024 < Writer::gatheredLimit);
    static_assert(kThreads * kAfter * 1000 > Writer::gatheredLimit);
    // A line's timestamp tells its round, phase, thread and place.
    const auto stamp = [](int round, int phase, int thread, int i) {
        return std::uint64_t(((round * 2 + phase) * kThreads + thread) * 1000 + i);
    };
    std::map<int, std::multiset<std::uint64_t>> expected; // fragment -> its lines
    const auto handIn = [&](std::vector<std::jthread>& threads, int round, int phase, int fragment,
                            int count) {
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&writer, &payload, stamp, round, phase, t, count] {
                for (int i = 0; i < count; ++i)
                    writer.append(2, stamp(round, phase, t, i), "k", std::string_view(payload));
            });
            for (int i = 0; i < count; ++i)
                expected[fragment].insert(stamp(round, phase, t, i));
        }
    };
    std::atomic<int> swapped{0};
    swapTo(writer, logsOf("F0"), 0);
    for (int round = 1; round <= kRounds; ++round) {
        std::vector<std::jthread> threads;
        Gate gate;
        writer.queue(2).async(gate.holder());
        handIn(threads, round, 0, round - 1, kBefore);
        threads.clear(); // joined
        EXPECT_FALSE(writer.swap(logsOf("F" + std::to_string(round)), round, 0, [&] { ++swapped; }))
            << "the swap's block waits behind the held queue";
        handIn(threads, round, 1, round, kAfter);
        gate.open();
        threads.clear();
        // Nothing left waiting when the next round holds the queue, and the swap has run on every
        // queue: its handler runs on whichever swaps last, which flush() alone does not wait for.
        writer.settle();
    }
    EXPECT_EQ(swapped, kRounds);
    for (int fragment = 0; fragment <= kRounds; ++fragment) {
        SCOPED_TRACE("F" + std::to_string(fragment));
        const auto lines = parseLog(velotest::readFile(lowLog("F" + std::to_string(fragment))));
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.front().timestamp, std::to_string(fragment)) << "metadata line";
        std::multiset<std::uint64_t> seen;
        std::map<std::uint64_t, std::uint64_t> lastOfWriter; // (round, phase, thread) -> last stamp
        bool inOrder = true;
        for (std::size_t i = 1; i < lines.size(); ++i) {
            const std::uint64_t at = std::stoull(lines[i].timestamp);
            seen.insert(at);
            auto [last, first] = lastOfWriter.try_emplace(at / 1000, at);
            if (!first && std::exchange(last->second, at) > at) inOrder = false;
        }
        EXPECT_EQ(seen, expected[fragment]);
        EXPECT_TRUE(inOrder) << "a thread's lines out of its order";
    }
}

// While the disk is held, one thread hands in lines until gatheredLimit bytes of them wait; its next line
// waits its turn instead of adding to them. A swap called then closes the fragment with exactly those
// lines, and no write, the swap's included, carries more than the bound and the lines of two callers.
TEST_F(PriorityWriter, WaitingLinesStopAtTheBoundAndBoundTheSwapsWrite) {
    dispatch::VirtualClockScope clock; // only the bound, the swap and the flush write
    const std::string payload(1000, 'p');
    const auto line = [&](std::uint64_t timestamp) {
        return std::to_string(timestamp) + "\tk\t1000\t" + payload + "\n";
    };
    constexpr std::uint64_t kFirst = 1'000'000; // seven digits: every line the same length
    const std::size_t lineSize = line(kFirst).size();
    const std::size_t bound = (Writer::gatheredLimit + lineSize - 1) / lineSize; // lines that fit
    const std::size_t total = 3 * bound;
    std::mutex mutex;
    std::vector<std::uint64_t> written; // bytes in both logs after each low-priority write
    Writer writer("{}", [&](std::size_t priority, std::uint64_t) {
        if (priority != 2) return;
        std::error_code ec;
        std::uint64_t bytes = 0;
        for (const char* fragment : {"F1", "F2"}) {
            const auto size = fs::file_size(lowLog(fragment), ec);
            bytes += ec ? 0 : size;
        }
        std::lock_guard lock(mutex);
        written.push_back(bytes);
    });
    swapTo(writer, logsOf("F1"), 1);
    std::atomic<std::size_t> handedIn{0};
    std::atomic<pid_t> appender{0};
    std::vector<std::jthread> threads;
    Gate gate;
    writer.queue(2).async(gate.holder());
    threads.emplace_back([&] {
        appender = ::gettid();
        for (std::uint64_t i = 0; i < total; ++i) {
            writer.append(2, kFirst + i, "k", std::string_view(payload));
            ++handedIn;
        }
    });
    ASSERT_TRUE(velotest::eventually([&] { return handedIn >= bound; }));
    // The thread only computes until its line has to wait: once it waits (or has ended, handing in
    // every line), it has handed in all it could.
    EXPECT_NE(velotest::waitUntilThreadStops(appender), velotest::ThreadState::running);
    EXPECT_EQ(handedIn, bound) << "lines went on gathering past the bound while the disk was held";
    EXPECT_FALSE(writer.swap(logsOf("F2"), 2, 0));
    gate.open();
    threads.clear();
    writer.flush();

    const auto stamps = [&](const char* fragment) {
        std::vector<std::uint64_t> found;
        for (const auto& parsed : parseLog(velotest::readFile(lowLog(fragment))))
            if (parsed.key != "metadata") found.push_back(std::stoull(parsed.timestamp));
        return found;
    };
    std::vector<std::uint64_t> before(bound), after(total - bound);
    std::iota(before.begin(), before.end(), kFirst);
    std::iota(after.begin(), after.end(), kFirst + bound);
    EXPECT_EQ(stamps("F1"), before);
    EXPECT_EQ(stamps("F2"), after);
    const std::uint64_t metadata = std::string("2\tmetadata\t2\t{}\n").size();
    std::uint64_t previous = 0, largest = 0;
    for (const std::uint64_t bytes : written)
        largest = std::max(largest, bytes - std::exchange(previous, bytes));
    EXPECT_LE(largest, Writer::gatheredLimit + 2 * lineSize + metadata);
    EXPECT_GE(largest, Writer::gatheredLimit) << "the held lines went in one write";
}

// The clock is real here: the swap's wait gives up while the medium-priority queue is held.
TEST_F(PriorityWriter, ASwapThatTimesOutStillCompletesAndReportsOnce) {
    Writer writer("{}", nullptr);
    Gate gate;
    writer.queue(1).async(gate.holder());
    std::atomic<int> swapped{0};
    EXPECT_FALSE(writer.swap(logsOf("F1"), 1, 0.001, [&] { ++swapped; }));
    EXPECT_EQ(swapped, 0);
    gate.open();
    writer.settle(); // the swap's last block ran before this returns
    EXPECT_EQ(swapped, 1);
    writer.append(1, 2, "late", std::nullopt);
    EXPECT_EQ(parseLog(velotest::readFile(folder.path() / "F1" / "1.log")).back().key, "late");
    writer.settle();
    EXPECT_EQ(swapped, 1);
}

} // namespace
