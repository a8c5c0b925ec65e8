// A crash in a process of well over a thousand threads, as a program whose libraries start a thread per
// task runs: the record holds every thread, each waiting one with its registers and stack, and the
// crashed thread, started last (so listed last), recorded first, marked crashed and walked to its crash
// (so that a record cut short still holds it). With thousands of idle threads and one deep in its work,
// every stack is written whole: only a record that would pass what the next launch reads back shortens
// its deepest stacks (framesPerOtherThread, checked on sizes given). A forked child crashes for real,
// by a fault, an abort and an uncaught exception; the suite is named Crash* so sanitizer runs can leave
// it out. Beyond the record's capacity, the threads that must be recorded are kept
// (keepThreadsThatMustBeRecorded, checked on a small list).
#include "platform/darwin/Threads.hpp"
#include "sdk/zevuzavidav/process/ZEVProcess.hpp"
#include "sdk/zevuzavidav/process/ZEVThreadState.hpp"
#include "sdk/zevuzavidav/record/ZEVFile.hpp"
#include "tests/sdk/zevuzavidav/support/CrashChild.hpp"
#include "tests/sdk/zevuzavidav/support/RecordSupport.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <pthread.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using crashtest::functionRange;
using crashtest::howItEnded;
using crashtest::kSetUpFailed;
using crashtest::setUpOrEnd;
using crashtest::stackHolds;
using json = nlohmann::json;

// Well over the 512 threads a record once held, and few enough to start in a fraction of a second.
constexpr int kWaiting = 1500;
std::atomic<int> waiting{0};

__attribute__((noinline)) void waitForever() {
    waiting.fetch_add(1);
    for (;;)
        pause();
}

void* waitingRoutine(void*) {
    waitForever();
    return nullptr;
}

__attribute__((noinline)) void callAbort() {
    std::abort();
}
__attribute__((noinline)) void throwUncaught() {
    throw std::runtime_error("thrown on the last of many threads");
}

struct ManyThreadsCase {
    const char* name;
    void (*crash)();
    const char* recordFile;
    int signal;
};

const ManyThreadsCase kCases[] = {
    {"fault", recordtest::writeThroughNull, "mach_exception.zevrecord", SIGSEGV},
    {"abort", callAbort, "signal.zevrecord", SIGABRT},
    {"exception", throwUncaught, "exception.zevrecord", SIGABRT},
};

void (*activeCrash)() = nullptr;
std::atomic<pid_t> crashingId{0};

void* crashRoutine(void*) {
    crashingId = darwin::currentThreadId();
    activeCrash();
    return nullptr;
}

// The threads of this process as the kernel lists them.
int threadsOfThisProcess() {
    int count = 0;
    if (DIR* task = opendir("/proc/self/task")) {
        while (const dirent* entry = readdir(task))
            count += entry->d_name[0] != '.' ? 1 : 0;
        closedir(task);
    }
    return count;
}

class CrashManyThreads : public ::testing::TestWithParam<ManyThreadsCase> {};

TEST_P(CrashManyThreads, EveryThreadIsRecordedAndTheCrashedOneIsMarked) {
    const ManyThreadsCase& c = GetParam();
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    // The child tells the parent how many threads it had just before the crash.
    int counted[2];
    ASSERT_EQ(pipe(counted), 0);
    const int status = velotest::waitStatusOfChild([&] {
        close(counted[0]);
        recordtest::initializeContext(dir);
        pthread_attr_t small;
        pthread_attr_init(&small);
        pthread_attr_setstacksize(&small, 64 * 1024);
        for (int i = 0; i < kWaiting; ++i) {
            pthread_t thread;
            if (pthread_create(&thread, &small, waitingRoutine, nullptr) != 0) _exit(kSetUpFailed);
        }
        setUpOrEnd([] { return waiting.load() == kWaiting; });
        const int before = threadsOfThisProcess() + 1; // and the one about to crash
        if (write(counted[1], &before, sizeof before) != sizeof before) _exit(kSetUpFailed);
        activeCrash = c.crash;
        pthread_t thread;
        if (pthread_create(&thread, nullptr, crashRoutine, nullptr) != 0) _exit(kSetUpFailed);
        pthread_join(thread, nullptr);
    });
    close(counted[1]);
    int threadsAtTheCrash = 0;
    const bool told =
        read(counted[0], &threadsAtTheCrash, sizeof threadsAtTheCrash) == sizeof threadsAtTheCrash;
    close(counted[0]);
    ASSERT_TRUE(WIFSIGNALED(status)) << howItEnded(status);
    EXPECT_EQ(WTERMSIG(status), c.signal);
    ASSERT_TRUE(told);

    int unparsable = 0;
    const auto records = crashtest::recordsIn(dir + "/" + c.recordFile, &unparsable);
    EXPECT_EQ(unparsable, 0);
    ASSERT_EQ(records.size(), 1u) << c.recordFile;
    const json crashed = recordtest::expectWholeRecord(records[0], c.name);
    if (crashed.is_object()) {
        EXPECT_TRUE(stackHolds(crashed["stacktrace"], functionRange(c.crash))) << crashed;
    }
    const json threads = recordtest::sectionOfRecord(records[0], "threads");
    ASSERT_TRUE(threads.is_array() && !threads.empty());
    EXPECT_TRUE(threads[0].value("crashed", false)) << "the crashed thread is not the first recorded";
    // The threads the SDK started stand among them; none ended meanwhile.
    EXPECT_GE(threads.size(), static_cast<std::size_t>(threadsAtTheCrash));
    int walkedToTheirWait = 0;
    for (const json& thread : threads)
        walkedToTheirWait += stackHolds(thread["stacktrace"], functionRange(waitForever)) ? 1 : 0;
    EXPECT_EQ(walkedToTheirWait, kWaiting);
}

INSTANTIATE_TEST_SUITE_P(CrashManyThreads, CrashManyThreads, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// One thread of a pool of thousands of idle ones that is deep in its work: it descends this many frames of
// its own before it waits. Deeper than an even share of the record would give each of so many threads.
constexpr int kDeepFrames = 480;
constexpr int kShallowThreads = 5500;
std::atomic<bool> deepOneWaits{false};

std::atomic<bool> deepOneMayReturn{false}; // never set: the process ends by its crash

__attribute__((noinline)) void descendThenWait(int left) {
    volatile int keep = left; // a frame of its own, and no call in tail position
    (void)keep;
    if (left > 0) {
        descendThenWait(left - 1);
    } else {
        deepOneWaits = true;
        while (!deepOneMayReturn.load())
            pause();
    }
    keep = 0;
}

void* deepRoutine(void*) {
    descendThenWait(kDeepFrames);
    return nullptr;
}

// A record of so many threads that their stacks, were each as deep as the walk goes, would pass what the
// next launch reads back, but most of them shallow: the stacks are walked first, the record fits, and
// every stack is written whole, the deep one too.
TEST(CrashManyShallowThreads, ARecordThatFitsKeepsItsDeepStackWhole) {
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    const int status = velotest::waitStatusOfChild([&] {
        recordtest::initializeContext(dir);
        pthread_attr_t small;
        pthread_attr_init(&small);
        pthread_attr_setstacksize(&small, 64 * 1024);
        for (int i = 0; i < kShallowThreads; ++i) {
            pthread_t thread;
            if (pthread_create(&thread, &small, waitingRoutine, nullptr) != 0) _exit(kSetUpFailed);
        }
        pthread_t deep;
        if (pthread_create(&deep, nullptr, deepRoutine, nullptr) != 0) _exit(kSetUpFailed);
        setUpOrEnd([] { return waiting.load() == kShallowThreads && deepOneWaits.load(); });
        activeCrash = callAbort;
        pthread_t thread;
        if (pthread_create(&thread, nullptr, crashRoutine, nullptr) != 0) _exit(kSetUpFailed);
        pthread_join(thread, nullptr);
    });
    ASSERT_TRUE(WIFSIGNALED(status)) << howItEnded(status);

    int unparsable = 0;
    const auto records = crashtest::recordsIn(dir + "/signal.zevrecord", &unparsable);
    ASSERT_EQ(records.size(), 1u);
    recordtest::expectWholeRecord(records[0], "signal");
    const json threads = recordtest::sectionOfRecord(records[0], "threads");
    ASSERT_TRUE(threads.is_array());
    EXPECT_GT(threads.size(), static_cast<std::size_t>(kShallowThreads));
    std::size_t deepest = 0;
    for (const json& thread : threads)
        if (stackHolds(thread["stacktrace"], functionRange(descendThenWait)))
            deepest = std::max(deepest, thread["stacktrace"].size());
    EXPECT_GT(deepest, static_cast<std::size_t>(kDeepFrames)) << "the deep stack was shortened";
}

// A list cut at its capacity keeps the crashed thread and the recording one, in place of the last
// threads listed; one not cut gains them at its end. Threads 1 to 6 were listed, capacity 6 or 8.
TEST(KeepThreadsThatMustBeRecorded, TheCrashedAndTheRecordingThreadAreNeverLeftOut) {
    struct Case {
        const char* what;
        std::vector<pid_t> listed;
        std::uint32_t capacity;
        pid_t crashed, current;
        std::vector<pid_t> kept;
    };
    const std::vector<pid_t> six = {1, 2, 3, 4, 5, 6};
    const Case cases[] = {
        {"both listed", six, 6, 2, 5, six},
        {"one thread crashed and records", six, 6, 9, 9, {1, 2, 3, 4, 5, 9}},
        {"crashed cut off", six, 6, 9, 1, {1, 2, 3, 4, 5, 9}},
        {"recorder cut off", six, 6, 3, 8, {1, 2, 3, 4, 5, 8}},
        {"both cut off", six, 6, 9, 8, {1, 2, 3, 4, 8, 9}},
        {"both cut off, the last listed kept", six, 6, 6, 8, {1, 2, 3, 4, 8, 6}},
        {"crashed cut off, the recorder listed last", six, 6, 9, 6, {1, 2, 3, 4, 9, 6}},
        {"room left", six, 8, 9, 8, {1, 2, 3, 4, 5, 6, 9, 8}},
        {"no crashed thread", six, 6, 0, 8, {1, 2, 3, 4, 5, 8}},
    };
    for (const Case& c : cases) {
        std::vector<pid_t> threads = c.listed;
        threads.resize(c.capacity);
        const std::uint32_t count = zevuzavidav::keepThreadsThatMustBeRecorded(
            threads.data(), static_cast<std::uint32_t>(c.listed.size()), c.capacity, c.crashed, c.current);
        threads.resize(count);
        EXPECT_EQ(threads, c.kept) << c.what;
    }
}

// How long a thread's element is as the writer writes it, `frames` deep, with registers of the most
// digits, its name and queue label at their longest: what the record's budget must cover.
std::uint64_t longestThreadBytes(std::uint32_t frames) {
    static const std::uint64_t element = [] {
        const velotest::TempFolder folder;
        const std::string path = folder.string() + "/thread.zevrecord";
        ZEVFile file;
        if (!ZEVFileInitWithPath(&file, path.c_str(), false)) return std::uint64_t{0};
        zevuzavidav::RegistersX86_64 registers;
        std::memset(&registers, 0xff, sizeof registers);
        zevuzavidav::writeThreadRegisters(&file, &registers, false, 0, 0, 0);
        ZEVFileClose(&file);
        return static_cast<std::uint64_t>(std::filesystem::file_size(path)) + 1; // and its comma
    }();
    // Each byte escaped as \u00XX at worst, quoted, and a comma.
    const std::uint64_t nameAndLabel = 2 * (6 * (darwin::kThreadNameSize - 1) + 3);
    return element + nameAndLabel + frames * 21; // 20 digits and a comma a frame
}

// A thread `depth` frames deep as the writer measures one: its element, name and label as a pool
// worker's take, and frames of 15 digits (a library's addresses) and their commas.
zevuzavidav::OtherThreadSize threadOfDepth(std::uint32_t depth) {
    constexpr std::uint64_t kElementNameAndLabel = 700;
    constexpr std::uint32_t kFrame = 16;
    zevuzavidav::OtherThreadSize size;
    size.fixedBytes = kElementNameAndLabel;
    size.stack = {depth, depth == 0 ? 0 : std::uint64_t{depth} * kFrame - 1, depth == 0 ? 0 : kFrame};
    return size;
}

// The frames written of each thread but the crashed one: all of them while the record stays within what
// the next launch reads back, counted as the writer writes them, however many threads (thousands of
// shallow ones and one deep, as a pool of idle workers has, or 5,000 as deep as a walk goes); else the
// most that keep it within, which only the deepest stacks lose, the others written whole. The crashed
// thread's stack, always whole, and the longest other sections fit beside it.
TEST(FramesPerOtherThread, OnlyARecordThatWouldBeTooLongShortensItsDeepestStacks) {
    const auto most = static_cast<std::uint32_t>(darwin::kMaxThreads);
    const std::uint32_t deepest = zevuzavidav::kUnwindMaxFrames;
    struct Case {
        const char* what;
        std::vector<std::uint32_t> depths;
        std::uint32_t shallow; // every depth at most this is written whole
        bool shortened;
    };
    std::vector<std::uint32_t> poolOfIdleWorkers(6000, 12);
    poolOfIdleWorkers[4321] = 456;
    std::vector<std::uint32_t> mostlyDeep(most, 20);
    std::fill(mostlyDeep.begin(), mostlyDeep.begin() + 7000, deepest);
    const Case cases[] = {
        {"none", {}, deepest, false},
        {"4,096 threads as deep as the walk goes", std::vector<std::uint32_t>(4096, deepest), deepest, false},
        {"5,000 threads as deep as the walk goes", std::vector<std::uint32_t>(5000, deepest), deepest, false},
        {"6,000 shallow threads and one deep", poolOfIdleWorkers, deepest, false},
        {"the most threads, 7,000 of them as deep as the walk goes", mostlyDeep, 20, true},
        {"the most threads, all as deep as the walk goes", std::vector<std::uint32_t>(most, deepest), 0,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<zevuzavidav::OtherThreadSize> sizes;
        for (std::uint32_t depth : c.depths)
            sizes.push_back(threadOfDepth(depth));
        const auto count = static_cast<std::uint32_t>(sizes.size());
        const std::uint32_t frames = zevuzavidav::framesPerOtherThread(sizes.data(), count);
        EXPECT_EQ(frames < deepest, c.shortened) << frames;
        EXPECT_GE(frames, c.shallow);
        std::uint64_t others = 0;
        for (const auto& size : sizes)
            others += size.bytes(frames);
        EXPECT_LE(others, zevuzavidav::kOtherThreadsBudget);
        // The crashed thread's whole stack, at its longest, beside them.
        EXPECT_LE(others + longestThreadBytes(deepest), zevuzavidav::kMaximumRecordFileLength);
        if (!c.shortened) continue;
        // One frame more each would not have fitted what the other threads may take.
        std::uint64_t more = 0;
        for (const auto& size : sizes)
            more += size.bytes(frames + 1);
        EXPECT_GT(more, zevuzavidav::kOtherThreadsBudget);
    }
}

// Whatever its registers, name and label, a thread takes no more than what a thread not measured is
// counted for.
TEST(FramesPerOtherThread, AThreadNotMeasuredIsCountedForTheLongestItCouldBe) {
    for (std::uint32_t frames : {0u, 1u, 100u, zevuzavidav::kUnwindMaxFrames})
        EXPECT_GE(zevuzavidav::otherThreadBytes(frames), longestThreadBytes(frames)) << frames;
}

} // namespace
