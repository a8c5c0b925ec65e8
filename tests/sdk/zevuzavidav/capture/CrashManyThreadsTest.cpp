// A crash in a process of well over a thousand threads, as a program whose libraries start a thread per
// task runs: the record holds every thread, each waiting one with its registers and stack, and the
// crashed thread, started last (so listed last), recorded first, marked crashed and walked to its crash
// (so that a record cut short still holds it). A forked child
// crashes for real, by a fault, an abort and an uncaught exception; the suite is named Crash* so
// sanitizer runs can leave it out. Beyond the record's capacity, the threads that must be recorded are
// kept (keepThreadsThatMustBeRecorded, checked on a small list).
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

// The crashed thread goes to the front of the list, the others keeping their order; a list without it
// (or no crashed thread) stays as it is.
TEST(PutCrashedThreadFirst, TheCrashedThreadLeadsAndTheOthersKeepTheirOrder) {
    struct Case {
        const char* what;
        std::vector<pid_t> listed;
        pid_t crashed;
        std::vector<pid_t> ordered;
    };
    const Case cases[] = {
        {"listed last", {1, 2, 3, 4}, 4, {4, 1, 2, 3}},
        {"listed in the middle", {1, 2, 3, 4}, 3, {3, 1, 2, 4}},
        {"listed first", {1, 2, 3, 4}, 1, {1, 2, 3, 4}},
        {"not listed", {1, 2, 3, 4}, 9, {1, 2, 3, 4}},
        {"no crashed thread", {1, 2, 3, 4}, 0, {1, 2, 3, 4}},
        {"alone", {7}, 7, {7}},
    };
    for (const Case& c : cases) {
        std::vector<pid_t> threads = c.listed;
        zevuzavidav::putCrashedThreadFirst(threads.data(), static_cast<std::uint32_t>(threads.size()),
                                           c.crashed);
        EXPECT_EQ(threads, c.ordered) << c.what;
    }
}

// The longest record of the most threads, each as deep as the walk goes, is still read back by the
// next launch: every other thread's frames are shortened to fit, while a record of 4,096 is written
// whole. A thread's element is measured as the writer writes it, with registers of the most digits; its
// name and queue label at their longest.
TEST(FramesPerOtherThread, TheLongestRecordOfTheMostThreadsIsReadBack) {
    const velotest::TempFolder folder;
    const std::string path = folder.string() + "/thread.zevrecord";
    ZEVFile file;
    ASSERT_TRUE(ZEVFileInitWithPath(&file, path.c_str(), false));
    zevuzavidav::RegistersX86_64 registers;
    std::memset(&registers, 0xff, sizeof registers);
    zevuzavidav::writeThreadRegisters(&file, &registers, false, 0, 0, 0);
    ZEVFileClose(&file);
    const std::uint64_t element = std::filesystem::file_size(path) + 1; // and its comma
    // Each byte escaped as \u00XX at worst, quoted, and a comma.
    const std::uint64_t nameAndLabel = 2 * (6 * (darwin::kThreadNameSize - 1) + 3);
    const std::uint64_t frame = 21; // 20 digits and a comma

    const auto most = static_cast<std::uint32_t>(darwin::kMaxThreads);
    const std::uint64_t frames = zevuzavidav::framesPerOtherThread(most);
    EXPECT_GT(frames, 0u);
    const std::uint64_t longest = most * (element + nameAndLabel + frames * frame) +
                                  zevuzavidav::kUnwindMaxFrames * frame; // the crashed thread's whole stack
    EXPECT_LE(longest, zevuzavidav::kMaximumRecordFileLength);
    EXPECT_EQ(zevuzavidav::framesPerOtherThread(4096), zevuzavidav::kUnwindMaxFrames);
}

} // namespace
