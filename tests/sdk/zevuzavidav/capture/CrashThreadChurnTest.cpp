// A crash recorded while threads start and end all around it: every thread able to answer is recorded
// with its registers and stack, however the churn shuffles the list of threads meanwhile. A forked
// child crashes for real; the suite is named Crash* so sanitizer runs can leave it out.
#include "platform/darwin/ThreadStart.hpp"
#include "platform/darwin/Threads.hpp"
#include "sdk/zevuzavidav/process/OtherThreadsSuspended.hpp"
#include "sdk/zevuzavidav/process/ZEVProcess.hpp"
#include "sdk/zevuzavidav/record/ZEVFile.hpp"
#include "tests/sdk/zevuzavidav/support/CrashChild.hpp"
#include "tests/sdk/zevuzavidav/support/RecordSupport.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/TempHome.hpp"
#include "tests/support/Waiter.hpp"
#include "tools/crashfixtures/ThreadChurn.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cxxabi.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <link.h>
#include <pthread.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using crashtest::functionRange;
using crashtest::howItEnded;
using crashtest::kSetUpFailed;
using crashtest::setUpOrEnd;
using crashtest::stackHolds;
using json = nlohmann::json;
using recordtest::initializeContext;
using recordtest::readLines;

} // namespace

// ---- a crash while threads start and end --------------------------------------------------------

namespace {

constexpr int kHeld = 8;
std::atomic<int> held{0};
std::atomic<int> batches{0};

// Where a thread the test holds stays: waiting, able to answer.
__attribute__((noinline)) void holdForever() {
    held.fetch_add(1);
    for (;;)
        pause();
}

// The kernel's name of every held thread, so that the record tells a held thread missing from the list
// from one listed whose stack came out short. Only the kernel keeps it: the crash reporter reads it as
// it reads any library thread's.
constexpr const char* kHeldName = "velo.test.held";

void* holdRoutine(void*) {
    pthread_setname_np(pthread_self(), kHeldName);
    holdForever();
    return nullptr;
}

void* churnRoutine(void*) {
    return nullptr;
}

std::string hexNumber(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

// What a pc lies in, for a failure's message: the test's own routines by their extent, else the
// exported symbol that covers it, else its image and the offset in it. A return address (not frame 0)
// is looked up one byte back, at its call.
std::string whereIs(std::uint64_t pc, bool returnAddress) {
    const std::uint64_t at = returnAddress ? pc - 1 : pc;
    const std::pair<const char*, crashtest::Range> own[] = {
        {"holdForever", functionRange(holdForever)},
        {"holdRoutine", functionRange(holdRoutine)},
        {"churnRoutine", functionRange(churnRoutine)},
    };
    for (const auto& [name, range] : own) {
        if (range.holds(at)) return std::string(name) + "+" + hexNumber(pc - range.begin);
    }
    Dl_info info{};
    ElfW(Sym)* symbol = nullptr;
    if (dladdr1(reinterpret_cast<void*>(at), &info, reinterpret_cast<void**>(&symbol), RTLD_DL_SYMENT) == 0 ||
        info.dli_fname == nullptr)
        return "no image";
    const auto start = reinterpret_cast<std::uint64_t>(info.dli_saddr);
    if (info.dli_sname != nullptr && symbol != nullptr && at >= start && at < start + symbol->st_size) {
        int status = -1;
        char* demangled = abi::__cxa_demangle(info.dli_sname, nullptr, nullptr, &status);
        std::string name = status == 0 ? demangled : info.dli_sname;
        std::free(demangled);
        return name + "+" + hexNumber(pc - start);
    }
    const std::string image = info.dli_fname;
    return image.substr(image.rfind('/') + 1) + "+" +
           hexNumber(pc - reinterpret_cast<std::uint64_t>(info.dli_fbase));
}

// The SDK log's lines written while the record's thread `index` was walked: from the line that begins
// its walk to the one that begins the next walk or ends them all (some lines end without a break).
std::string logOfThread(const std::string& log, std::size_t index) {
    const std::string walk = "ZEVProcessRecordAllThreads: recording thread ";
    const std::size_t from = log.find(walk + std::to_string(index) + " data");
    if (from == std::string::npos) return "";
    std::size_t to = log.find(walk, from + walk.size());
    if (const std::size_t end = log.find("ZEVProcessRecordAllThreads: completed", from); end < to) to = end;
    return log.substr(from, to == std::string::npos ? std::string::npos : to - from);
}

// Everything the record says of one thread, with each pc of its stack placed.
std::string describeThread(const json& thread, const json& name, const json& queue, const std::string& log) {
    std::string text = "name " + name.dump() + ", queue " + queue.dump() + "\nregisters";
    for (const auto& [key, value] : thread["registers"].items())
        text += " " + key + "=" +
                (value.is_number_unsigned() ? hexNumber(value.get<std::uint64_t>()) : value.dump());
    text += "\nstack (" + std::to_string(thread["stacktrace"].size()) + " frames):";
    const json& stack = thread["stacktrace"];
    for (std::size_t i = 0; i < stack.size(); ++i) {
        const std::uint64_t pc = stack[i].is_number_unsigned() ? stack[i].get<std::uint64_t>() : 0;
        text += "\n  #" + std::to_string(i) + " " + hexNumber(pc) + " " + whereIs(pc, i > 0);
    }
    return text + "\nits SDK log:\n" + log;
}

// A thread that holds every signal blocked from now on, as the C library's thread start and end steps
// do (where an ending thread may wait for a lock a suspended thread holds): it never answers.
constexpr const char* kDeafName = "velo.test.blocks-every-signal";
void startDeafThread() {
    std::atomic<bool> deaf{false};
    std::thread([&deaf] {
        darwin::setCurrentThreadName(kDeafName);
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, nullptr);
        deaf = true;
        for (;;)
            pause();
    }).detach();
    setUpOrEnd([&deaf] { return deaf.load(); });
}

TEST(CrashThreadChurn, EveryThreadAbleToAnswerIsRecordedWhileOthersStartAndEnd) {
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    const int status = velotest::waitStatusOfChild([&] {
        initializeContext(dir);
        startDeafThread();
        startDeafThread();
        // The pools go on starting their batches' threads, and the threads before go on ending, while
        // the held ones stand among them and the fault is recorded.
        recordtest::startThreadChurn(true, churnRoutine, &batches);
        recordtest::startThreadChurn(false, churnRoutine, &batches);
        setUpOrEnd([] { return batches.load() >= 4; });
        // Started the two ways the pools start theirs: through the program's thread start and through
        // the C library's alone.
        for (int i = 0; i < kHeld; ++i) {
            pthread_t thread;
            const int made = i % 2 == 0 ? darwin::createThread(&thread, nullptr, holdRoutine, nullptr)
                                        : pthread_create(&thread, nullptr, holdRoutine, nullptr);
            if (made != 0) _exit(kSetUpFailed);
        }
        setUpOrEnd([] { return held.load() == kHeld; });
        recordtest::writeThroughNull();
    });
    ASSERT_TRUE(WIFSIGNALED(status)) << howItEnded(status, dir);
    EXPECT_EQ(WTERMSIG(status), SIGSEGV) << howItEnded(status, dir);

    int unparsable = 0;
    auto lines = readLines(dir + "/mach_exception.zevrecord", &unparsable);
    EXPECT_EQ(unparsable, 0);
    json threads = recordtest::sectionOfRecord(lines, "threads");
    json names = recordtest::sectionOfRecord(lines, "thread_names");
    json queues = recordtest::sectionOfRecord(lines, "dispatch_queue_names");
    ASSERT_TRUE(threads.is_array());
    ASSERT_EQ(threads.size(), names.size());
    ASSERT_EQ(threads.size(), queues.size());
    EXPECT_TRUE(recordtest::sectionOfRecord(lines, "storage").is_object()) << "the record was not finished";
    std::ifstream logFile(dir + "/sdk.log");
    const std::string log((std::istreambuf_iterator<char>(logFile)), std::istreambuf_iterator<char>());

    int crashed = 0, heldListed = 0, heldRecorded = 0, deaf = 0, own = 0;
    for (std::size_t i = 0; i < threads.size(); ++i) {
        const json& stack = threads[i]["stacktrace"];
        const std::string name = names[i];
        if (threads[i].value("crashed", false)) {
            ++crashed;
            EXPECT_TRUE(recordtest::hasRegistersAndStack(threads[i]) &&
                        stackHolds(stack, functionRange(recordtest::writeThroughNull)))
                << stack;
        }
        // Those held stood still in their routine, able to answer: each has its registers and stack.
        const bool inRoutine = stackHolds(stack, functionRange(holdForever));
        if (inRoutine) ++heldRecorded;
        if (name == kHeldName) ++heldListed;
        // A held thread's stack must reach its routine, and no other thread's may: either would be a
        // record of one thread with what belongs to another, or a walk cut short.
        EXPECT_EQ(inRoutine, name == kHeldName)
            << "thread " << i << " of " << threads.size()
            << (inRoutine ? " is not held but" : " is held but not") << " recorded in the held routine: "
            << describeThread(threads[i], names[i], queues[i], logOfThread(log, i));
        if (name == kDeafName) {
            ++deaf;
            EXPECT_FALSE(recordtest::hasRegistersAndStack(threads[i])) << threads[i];
        }
        if (name.rfind("com.rizudiz.zevuzavidav.", 0) == 0) {
            ++own;
            EXPECT_TRUE(recordtest::hasRegistersAndStack(threads[i])) << name << ' ' << threads[i];
        }
    }
    EXPECT_EQ(crashed, 1);
    EXPECT_EQ(heldListed, kHeld) << "threads listed in the record under the held threads' name: " << names;
    EXPECT_EQ(heldRecorded, kHeld) << "threads recorded in the held routine, of " << heldListed
                                   << " held threads listed";
    EXPECT_EQ(deaf, 2);
    EXPECT_GT(own, 0) << names;
}

std::atomic<pid_t> hiddenId{0};

void* holdHidden(void*) {
    hiddenId = darwin::currentThreadId();
    return holdRoutine(nullptr);
}

// The kernel reads the list of threads in steps, each going on from a place in the list, so a thread
// that ends while the list is read can hide one after it that lives on. Here the list is given as such
// a reading leaves it: not whole, the held thread's place taken by one that has ended. The record still
// holds the held thread, walked to its routine.
TEST(CrashThreadChurn, AThreadHiddenFromTheListByOneThatEndedIsRecorded) {
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    const int status = velotest::waitStatusOfChild([&] {
        initializeContext(dir);
        pthread_t thread;
        if (pthread_create(&thread, nullptr, holdHidden, nullptr) != 0) _exit(kSetUpFailed);
        setUpOrEnd([] { return held.load() == 1; });
        std::atomic<pid_t> endedId{0};
        std::thread([&endedId] { endedId = darwin::currentThreadId(); }).join();
        setUpOrEnd([&endedId] { return !darwin::threadAlive(endedId); });
        ZEVProcess process{};
        if (!ZEVProcessInit(&process, darwin::currentThreadId(), nullptr)) _exit(kSetUpFailed);
        pid_t* const hidden =
            std::find(process.threads, process.threads + process.threadCount, hiddenId.load());
        if (hidden == process.threads + process.threadCount) _exit(kSetUpFailed);
        *hidden = endedId;
        process.threadListWhole = false;
        ZEVFile file;
        if (!ZEVFileInitWithPathMode(&file, (dir + "/threads.zevrecord").c_str(), false, false))
            _exit(kSetUpFailed);
        {
            zevuzavidav::OtherThreadsSuspended suspended(&process);
            ZEVProcessRecordAllThreads(&process, &file);
            ZEVProcessRecordThreadNames(&process, &file);
            ZEVFileClose(&file);
        }
        _exit(0);
    });
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << howItEnded(status, dir);

    int unparsable = 0;
    const auto lines = readLines(dir + "/threads.zevrecord", &unparsable);
    EXPECT_EQ(unparsable, 0);
    const json threads = recordtest::sectionOfRecord(lines, "threads");
    const json names = recordtest::sectionOfRecord(lines, "thread_names");
    ASSERT_TRUE(threads.is_array());
    ASSERT_EQ(threads.size(), names.size());
    int heldListed = 0;
    for (std::size_t i = 0; i < threads.size(); ++i) {
        if (names[i] != kHeldName) continue;
        ++heldListed;
        EXPECT_TRUE(stackHolds(threads[i]["stacktrace"], functionRange(holdForever))) << threads[i];
    }
    EXPECT_EQ(heldListed, 1) << names;
}

// ---- threads that cannot answer, listed before many that can ----------------------------------

constexpr int kBlockers = 16, kWaiters = 200;
constexpr const char* kBlockerName = "velo-blocker";
constexpr const char* kWaiterName = "velo-waiter";
std::atomic<int> blockersIn{0}, waitersIn{0};

void* blockerRoutine(void*) {
    pthread_setname_np(pthread_self(), kBlockerName);
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
    blockersIn.fetch_add(1);
    volatile std::uint64_t sum = 0;
    for (;;)
        sum = sum + 1;
    return nullptr;
}

void* waiterRoutine(void*) {
    pthread_setname_np(pthread_self(), kWaiterName);
    waitersIn.fetch_add(1);
    for (;;)
        pause();
    return nullptr;
}

// A pool of workers that compute with every signal blocked (signals left to one thread), started before
// hundreds of threads that wait, then a fault: each worker costs the recording its own patience, all of
// them at once, and every waiting thread is recorded with its registers and stack.
TEST(CrashThreadChurn, WaitingThreadsListedAfterComputingOnesThatHoldSignalsOffAreRecorded) {
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    const int status = velotest::waitStatusOfChild([&] {
        initializeContext(dir);
        for (int i = 0; i < kBlockers + kWaiters; ++i) {
            pthread_t thread;
            if (pthread_create(&thread, nullptr, i < kBlockers ? blockerRoutine : waiterRoutine, nullptr) !=
                0)
                _exit(kSetUpFailed);
            if (i == kBlockers - 1) setUpOrEnd([] { return blockersIn.load() == kBlockers; });
        }
        setUpOrEnd([] { return waitersIn.load() == kWaiters; });
        recordtest::writeThroughNull();
    });
    ASSERT_TRUE(WIFSIGNALED(status)) << howItEnded(status, dir);
    EXPECT_EQ(WTERMSIG(status), SIGSEGV) << howItEnded(status, dir);

    int unparsable = 0;
    const auto lines = readLines(dir + "/mach_exception.zevrecord", &unparsable);
    EXPECT_EQ(unparsable, 0);
    const json threads = recordtest::sectionOfRecord(lines, "threads");
    const json names = recordtest::sectionOfRecord(lines, "thread_names");
    ASSERT_TRUE(threads.is_array() && names.is_array() && threads.size() == names.size())
        << howItEnded(status, dir);
    int blockers = 0, waiters = 0, waitersRecorded = 0;
    for (std::size_t i = 0; i < threads.size(); ++i) {
        if (names[i] == kBlockerName) {
            ++blockers;
            EXPECT_FALSE(recordtest::hasRegistersAndStack(threads[i])) << threads[i];
        }
        if (names[i] != kWaiterName) continue;
        ++waiters;
        waitersRecorded += recordtest::hasRegistersAndStack(threads[i]) &&
                                   stackHolds(threads[i]["stacktrace"], functionRange(waiterRoutine))
                               ? 1
                               : 0;
    }
    EXPECT_EQ(blockers, kBlockers);
    EXPECT_EQ(waiters, kWaiters);
    EXPECT_EQ(waitersRecorded, kWaiters) << "waiting threads recorded without their registers or stack";
}

// ---- the crashed thread, on disk first -----------------------------------------------------------

constexpr const char* kRecorderName = "velo.test.recorder";
std::atomic<pid_t> slowId{0};
std::atomic<bool> crashedSeenOnDisk{false};
char recordPath[4096];
char readBack[64 * 1024];

// Read right after the crashed thread, and slow to answer: it runs with the signal blocked, reading the
// record file, until the crashed thread's element is there whole (its last key closes it); only then
// does it let the signal through and stop. Should that never happen, the round gives it up once it has
// run its patience, and the recording goes on without it. Raw reads into static storage: a thread
// stopped by the recording may hold the allocator's lock.
void* slowToAnswer(void*) {
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, darwin::suspensionSignal());
    pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
    slowId = darwin::currentThreadId();
    char wanted[128];
    std::snprintf(wanted, sizeof wanted, "\"crashed\":true,\"name\":\"%s\"}", kRecorderName);
    for (;;) {
        const int fd = ::open(recordPath, O_RDONLY | O_CLOEXEC);
        const ssize_t length = fd >= 0 ? ::read(fd, readBack, sizeof readBack) : -1;
        if (fd >= 0) ::close(fd);
        if (length > 0 && memmem(readBack, static_cast<std::size_t>(length), wanted, std::strlen(wanted)))
            break;
    }
    crashedSeenOnDisk = true;
    pthread_sigmask(SIG_UNBLOCK, &blocked, nullptr);
    for (;;)
        pause();
    return nullptr;
}

// The crashed thread leads the record and is on disk, whole and named, before any other thread is read:
// the thread read next keeps the recorder waiting until it finds it there, through a buffer as large as
// the one a crash handler lends its record (which would hold it until the line or the buffer were
// full). A recording cut short while it waits for a thread keeps the crashed one.
TEST(CrashThreadChurn, TheCrashedThreadIsOnDiskBeforeAnyOtherIsRead) {
    const velotest::TempFolder folder;
    const std::string dir = folder.string();
    const std::string path = dir + "/threads.zevrecord";
    ASSERT_LT(path.size(), sizeof recordPath);
    const int status = velotest::waitStatusOfChild([&] {
        initializeContext(dir);
        darwin::setCurrentThreadName(kRecorderName);
        std::snprintf(recordPath, sizeof recordPath, "%s", path.c_str());
        pthread_t thread;
        if (pthread_create(&thread, nullptr, slowToAnswer, nullptr) != 0) _exit(kSetUpFailed);
        setUpOrEnd([] { return slowId.load() != 0; });
        ZEVProcess process{};
        if (!ZEVProcessInit(&process, darwin::currentThreadId(), nullptr)) _exit(kSetUpFailed);
        // Read right after the crashed thread, which leads the list.
        pid_t* const slow = std::find(process.threads, process.threads + process.threadCount, slowId.load());
        if (slow == process.threads + process.threadCount || process.threads[0] != darwin::currentThreadId())
            _exit(kSetUpFailed);
        std::rotate(process.threads + 1, slow, slow + 1);
        ZEVFile file;
        if (!ZEVFileInitWithPathMode(&file, path.c_str(), false, false)) _exit(kSetUpFailed);
        char storage[zevuzavidav::kCrashRecordStorageSize];
        zevuzavidav::useFileBuffer(&file, storage, sizeof storage);
        // As long as the test would wait for the slow thread.
        darwin::askThreadsToSuspend(process.threads, process.threadCount, velotest::kPatienceNanos,
                                    velotest::kPatienceNanos);
        ZEVProcessRecordAllThreads(&process, &file);
        ZEVFileClose(&file);
        darwin::resumeThreads();
        _exit(crashedSeenOnDisk.load() ? 0 : 3);
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the crashed thread was not on disk while the next thread was waited for: "
        << howItEnded(status, dir);

    int unparsable = 0;
    const auto lines = readLines(path, &unparsable);
    EXPECT_EQ(unparsable, 0);
    const json threads = recordtest::sectionOfRecord(lines, "threads");
    ASSERT_TRUE(threads.is_array() && threads.size() >= 2);
    EXPECT_TRUE(threads[0].value("crashed", false));
    EXPECT_EQ(threads[0].value("name", ""), kRecorderName);
    EXPECT_TRUE(recordtest::hasRegistersAndStack(threads[1])) << "the slow thread was given up";
}

} // namespace
