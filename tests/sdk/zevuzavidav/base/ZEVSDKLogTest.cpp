#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/context/ZEVContext.hpp"
#include "sdk/zevuzavidav/images/ZEVBinaryImage.hpp"
#include "sdk/zevuzavidav/process/ZEVProcess.hpp"
#include "sdk/zevuzavidav/record/ZEVFile.hpp"
#include "tests/sdk/zevuzavidav/support/FakeContext.hpp"
#include "tests/sdk/zevuzavidav/support/RecordSupport.hpp"
#include "tests/support/Files.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <latch>
#include <memory>
#include <sstream>
#include <sys/mman.h>
#include <thread>
#include <vector>

namespace {

using velotest::readFile;

// Each line is rendered as printf would render it, from the arguments as the call passed them.
TEST(SDKLog, RendersThePrintfConversionsAndKeepsErrno) {
    FakeContext context;
    errno = 42;
    ZEVSDKLog("%s: %d %i %u %x %p %s|\n", "f", -5, 12, 7u, 255u, reinterpret_cast<void*>(0x1000),
              static_cast<const char*>(nullptr));
    ZEVSDKLog("%lu %zu %llx %lld %hhu %hd %c %% end\n", 99UL, std::size_t{3}, 0xdeadbeefcafeULL,
              -9000000000LL, 300u, 70000, 'q');
    ZEVSDKLog("[%5d][%-5d][%05d][%+d][% d][%02x][%#x][%#o][%.3d][%X]\n", 42, 42, -42, 3, 3, 7u, 255u, 8u, 5,
              0xabcu);
    ZEVSDKLog("[%8s][%-4s][%.2s][%*d][%-*d][%.*s][%p]\n", "abc", "ab", "abcdef", 4, 7, 3, 7, 1, "xyz",
              static_cast<void*>(nullptr));
    // Not among its conversions: written as it stands, taking no argument.
    ZEVSDKLog("%s %f|%5.2e|\n", "a", 1.5, 2.5);
    EXPECT_EQ(errno, 42);
    EXPECT_EQ(readFile(context.dir() + "/sdk.log"), "f: -5 12 7 ff 0x1000 (null)|\n"
                                                    "99 3 deadbeefcafe -9000000000 44 4464 q % end\n"
                                                    "[   42][42   ][-0042][+3][ 3][07][0xff][010][005][ABC]\n"
                                                    "[     abc][ab  ][ab][   7][7  ][x][0x0]\n"
                                                    "a %f|%5.2e|\n");
}

TEST(SDKLog, WritesNothingBeforeTheStartNamesItsFileAndRetriesAFailedOpen) {
    FakeContext context;
    std::string path = context.dir() + "/missing-folder/sdk.log";
    {
        NoCrashContext none;
        ZEVSDKLog("%s: nothing\n", "f");
        EXPECT_EQ(zevuzavidav::sdkLogDescriptor(), -1);
    }
    EXPECT_FALSE(std::filesystem::exists(context.dir() + "/sdk.log"));
    EXPECT_EQ(zevuzavidav::setSDKLogPath(path.c_str()), -1);
    ZEVSDKLog("%s: lost\n", "f");
    EXPECT_EQ(zevuzavidav::sdkLogDescriptor(), -1);
    std::filesystem::create_directory(context.dir() + "/missing-folder");
    ZEVSDKLog("%s: kept\n", "f");
    EXPECT_EQ(readFile(path), "f: kept\n");
}

// Descriptors of this process open on `path`.
int descriptorsOpenOn(const std::string& path) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path(), error) == path) ++count;
    }
    return count;
}

TEST(SDKLog, ThreadsLoggingFirstAtOnceShareOneDescriptor) {
    FakeContext context;
    std::string path = context.dir() + "/sdk.log";
    for (int round = 0; round < 20; ++round) {
        std::latch ready(8); // every thread's first line is the first of the log at once
        std::vector<std::thread> threads;
        for (int t = 0; t < 8; ++t) {
            threads.emplace_back([&ready] {
                ready.arrive_and_wait();
                ZEVSDKLog("%s: line\n", "f");
            });
        }
        for (auto& thread : threads)
            thread.join();
        ASSERT_EQ(descriptorsOpenOn(path), 1) << "round " << round;
        close(zevuzavidav::setSDKLogPath(path.c_str()));
    }
    EXPECT_EQ(readFile(path).size(), std::string("f: line\n").size() * 8 * 20);
}

// Lines are written whole: threads logging at once never mix their lines, long ones (up to 512 bytes)
// included.
TEST(SDKLog, LinesOfThreadsLoggingAtOnceNeverMix) {
    FakeContext context;
    const std::string longText(480, 'y');
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([t, &longText] {
            for (int i = 0; i < 200; ++i)
                ZEVSDKLog("%s: %d %u %s\n", "ZEVThread", t, static_cast<unsigned>(i),
                          t == 0 ? longText.c_str() : "x");
        });
    }
    for (auto& thread : threads)
        thread.join();
    std::istringstream lines(readFile(context.dir() + "/sdk.log"));
    std::string line;
    int count = 0;
    int longLines = 0;
    while (std::getline(lines, line)) {
        ++count;
        ASSERT_EQ(line.rfind("ZEVThread: ", 0), 0u) << line;
        if (line.size() > longText.size()) {
            ++longLines;
            EXPECT_EQ(line.substr(line.size() - longText.size()), longText);
        }
    }
    EXPECT_EQ(count, 6 * 200);
    EXPECT_EQ(longLines, 200);
}

TEST(SDKLog, ImageTableFindsLiveRangesAndClearsTheLiveSlotOnUnload) {
    FakeContext context;
    darwin::ImageInfo first;
    first.base = 0x100000;
    first.size = 0x1000;
    first.ehFrameHdr = 0x100800;
    ZEVBinaryImageStoreNode(true, first);
    zevuzavidav::BinaryImageNodeCopy found;
    EXPECT_TRUE(ZEVBinaryImageSafeFindImageForAddress(0x100000, &found));
    EXPECT_EQ(found.eh_frame, 0x100800u);
    EXPECT_TRUE(ZEVBinaryImageSafeFindImageForAddress(0x100fff, &found));
    EXPECT_FALSE(ZEVBinaryImageSafeFindImageForAddress(0x101000, &found));

    // Unloaded, reloaded at the same base, unloaded again: the second unload must clear the live
    // slot, not the dead one left by the first.
    ZEVBinaryImageStoreNode(false, first);
    EXPECT_FALSE(ZEVBinaryImageSafeFindImageForAddress(0x100010, &found));
    ZEVBinaryImageStoreNode(true, first);
    EXPECT_TRUE(ZEVBinaryImageSafeFindImageForAddress(0x100010, &found));
    ZEVBinaryImageStoreNode(false, first);
    EXPECT_FALSE(ZEVBinaryImageSafeFindImageForAddress(0x100010, &found));

    // The table holds 512 load events; the 513th is not tracked and says so.
    for (int i = 0; i < zevuzavidav::kBinaryImageTableSize; ++i) {
        darwin::ImageInfo image;
        image.base = 0x200000 + static_cast<std::uintptr_t>(i) * 0x1000;
        image.size = 0x1000;
        ZEVBinaryImageStoreNode(true, image);
    }
    EXPECT_NE(readFile(context.dir() + "/sdk.log")
                  .find("ZEVBinaryImageStoreNode: Error: Unable to track a loaded node 0x"),
              std::string::npos);
}

// Images come and go on one thread while another looks addresses up, as a crash handler would: every
// slot found is whole (its own size and unwind index, or an index already cleared by the unload).
// Under the thread sanitizer this also proves the table is read and written without a data race.
TEST(SDKLog, ImageTableLookupsDuringLoadsAndUnloadsSeeWholeSlots) {
    FakeContext context;
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::latch reading(1);
    std::thread reader([&] {
        zevuzavidav::BinaryImageNodeCopy found;
        reading.count_down(); // the loads and unloads start only once the reader runs
        while (!done.load()) {
            for (std::uintptr_t i = 0; i < 200; ++i) {
                std::uintptr_t base = 0x4000000 + i * 0x10000;
                if (!ZEVBinaryImageSafeFindImageForAddress(base + 0x10, &found)) continue;
                if (found.base != base || found.size != 0x1000 ||
                    (found.eh_frame != 0 && found.eh_frame != base + 0x800)) {
                    torn.fetch_add(1);
                }
            }
        }
    });
    reading.wait();
    for (std::uintptr_t i = 0; i < 200; ++i) {
        darwin::ImageInfo image;
        image.base = 0x4000000 + i * 0x10000;
        image.size = 0x1000;
        image.ehFrameHdr = image.base + 0x800;
        ZEVBinaryImageStoreNode(true, image);
        ZEVBinaryImageStoreNode(false, image);
    }
    done.store(true);
    reader.join();
    EXPECT_EQ(torn.load(), 0);
}

// Crash-info records of loaded images: a message with its zero is recorded; one with no zero within
// 256 bytes, ending where the memory does, is refused without being read past.
TEST(SDKLog, CrashInfoMessagesAreReadOnlyUpToTheirBound) {
    FakeContext context;
    long page = sysconf(_SC_PAGESIZE);
    auto* pages = static_cast<char*>(
        mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(pages, MAP_FAILED);
    munmap(pages + page, page);
    char* unterminated = pages + page - 256;
    std::memset(unterminated, 'x', 256);
    const char* message = "assertion failed: queue empty";
    std::uint64_t good[7] = {5, reinterpret_cast<std::uint64_t>(message)};
    std::uint64_t bad[7] = {5, reinterpret_cast<std::uint64_t>(unterminated)};
    std::uint64_t newer[7] = {6, reinterpret_cast<std::uint64_t>(message)};
    std::uint64_t* records[] = {good, bad, newer};
    for (int i = 0; i < 3; ++i) {
        auto& slot = context.writable().images[i];
        slot.base.store(0x100000 + static_cast<std::uint64_t>(i) * 0x1000);
        slot.size.store(0x1000);
        slot.crash_info.store(reinterpret_cast<std::uint64_t>(records[i]));
    }

    std::string path = context.dir() + "/runtime.zevrecord";
    ZEVFile file;
    ASSERT_TRUE(ZEVFileInitWithPath(&file, path.c_str(), false));
    ZEVProcessRecordRuntimeInfo(nullptr, &file);
    ZEVFileClose(&file);
    int unparsable = 0;
    auto lines = recordtest::readLines(path, &unparsable);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]["runtime"]["objc_selector"], "");
    EXPECT_EQ(lines[0]["runtime"]["crash_info_entries"], nlohmann::json::array({recordtest::hex(message)}));
    EXPECT_NE(readFile(context.dir() + "/sdk.log")
                  .find("ZEVProcessRecordCrashInfo: attempting to read crash info string\n"),
              std::string::npos);
    EXPECT_NE(readFile(context.dir() + "/sdk.log").find("Error: failed to copy crash info string"),
              std::string::npos);
    munmap(pages, page);
}

} // namespace
