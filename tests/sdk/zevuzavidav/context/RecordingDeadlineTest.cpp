// The bound of a crash recording: one that outlives it ends the process by the crash's own signal,
// having written out what the record's buffer held, a tick of the bound's signal that comes before the
// bound is out is let go, and the signal is the app's outside a recording. Each runs in a child of its
// own: the bound ends a process.
#include "sdk/zevuzavidav/context/RecordingDeadline.hpp"
#include "platform/darwin/Threads.hpp"
#include "platform/darwin/Waits.hpp"
#include "sdk/zevuzavidav/record/ZEVFile.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/Files.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <new>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <string>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <thread>
#include <time.h>
#include <unistd.h>

namespace {

void leaveNoCore() {
    rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
}

TEST(RecordingDeadline, ARecordingThatOutlivesItsBoundEndsTheProcessByTheCrashsSignal) {
    const int status = velotest::waitStatusOfChild([] {
        leaveNoCore();
        // SIGBUS has a handler of its own here: the bound must end the process all the same.
        std::signal(SIGBUS, [](int) {});
        if (!zevuzavidav::armRecordingDeadline(SIGBUS, 10L * 1000 * 1000)) _exit(2);
        for (;;)
            pause();
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGBUS) << "status " << status;
}

// Time the recorder waited for a core puts the bound off, to its cap on the clock; where the kernel does
// not tell that time, the clock alone counts.
TEST(RecordingDeadline, WaitsForACorePutTheBoundOffUpToItsCap) {
    constexpr long kSecond = 1000L * 1000 * 1000;
    constexpr long kArmed = 100 * kSecond;
    constexpr long kReached = kArmed + 5 * kSecond;
    constexpr long kCap = kArmed + zevuzavidav::kRecordingBoundCapNanos;
    struct Case {
        const char* what;
        long waited, now;
        bool out;
    };
    const Case cases[] = {
        {"before the bound, however little was waited", 0, kReached - 1, false},
        {"at the bound, nothing waited", 0, kReached, true},
        {"at the bound, the wait not known", -1, kReached, true},
        {"at the bound, two seconds waited", 2 * kSecond, kReached, false},
        {"two seconds past it, two seconds waited", 2 * kSecond, kReached + 2 * kSecond, true},
        {"just before the cap, all of it waited", kCap - kArmed, kCap - 1, false},
        {"at the cap, all of it waited", kCap - kArmed, kCap, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(zevuzavidav::recordingBoundIsOut(kArmed, kReached, c.waited, c.now), c.out) << c.what;
}

// What the recorder had run and waited for a core when the bound ended its process, by the bound's test.
struct RecorderTimes {
    std::atomic<long> ran{0};
    std::atomic<long> waited{0};
};

// A recorder that shares its one core with three threads no signal reaches, which compute for good: it
// waits for the core three times as long as it runs. Its bound (50 ms) ends the process only once it has
// run that long itself, not after 50 ms on the clock, when it has run a quarter of that.
TEST(RecordingDeadline, ARecorderKeptWaitingForACoreHasItsBoundOfItsOwnTime) {
    if (darwin::threadCoreWaitNanos(darwin::currentThreadId()) < 0)
        GTEST_SKIP()
            << "This kernel does not tell how long a thread waited for a core (/proc/<pid>/schedstat).";
    constexpr long kBound = 50L * 1000 * 1000;
    auto* times = static_cast<RecorderTimes*>(
        mmap(nullptr, sizeof(RecorderTimes), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(times, MAP_FAILED);
    new (times) RecorderTimes;
    const int status = velotest::waitStatusOfChild([&] {
        leaveNoCore();
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(sched_getcpu(), &one);
        if (sched_setaffinity(0, sizeof one, &one) != 0) _exit(2);
        sigset_t all;
        sigfillset(&all);
        sigset_t before;
        pthread_sigmask(SIG_BLOCK, &all, &before);
        for (int i = 0; i < 3; ++i)
            std::thread([] {
                volatile unsigned long spins = 0;
                for (;;)
                    spins = spins + 1;
            }).detach();
        pthread_sigmask(SIG_SETMASK, &before, nullptr);
        const pid_t me = darwin::currentThreadId();
        const long waitedBefore = darwin::threadCoreWaitNanos(me);
        timespec start{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
        if (!zevuzavidav::armRecordingDeadline(SIGBUS, kBound)) _exit(2);
        for (;;) {
            timespec now{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
            times->ran = (now.tv_sec - start.tv_sec) * 1000L * 1000 * 1000 + (now.tv_nsec - start.tv_nsec);
            times->waited = darwin::threadCoreWaitNanos(me) - waitedBefore;
        }
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGBUS) << "status " << status;
    EXPECT_GT(times->waited.load(), 0) << "the recorder never waited for its core";
    // Its last reading comes at most one reading before the end: well within a fifth of the bound.
    EXPECT_GE(times->ran.load(), kBound / 5 * 4) << "ended having waited " << times->waited.load() << " ns";
    munmap(times, sizeof(RecorderTimes));
}

// Whether the calling thread has the bound's signal waiting for it (held off); false after kPatience.
// A signalfd turns readable once the signal is pending and is never read, so the signal stays there
// for the handler.
bool boundSignalArrives() {
    sigset_t bound;
    sigemptyset(&bound);
    sigaddset(&bound, SIGRTMAX - 2);
    const int descriptor = signalfd(-1, &bound, SFD_CLOEXEC);
    if (descriptor < 0) return false;
    pollfd pending{descriptor, POLLIN, 0};
    const long until = darwin::monotonicNanos() + velotest::kPatienceNanos;
    int ready = 0;
    for (long left = velotest::kPatienceNanos; left > 0; left = until - darwin::monotonicNanos()) {
        ready = poll(&pending, 1, static_cast<int>((left + 999999) / 1000000));
        if (ready >= 0 || errno != EINTR) break;
    }
    close(descriptor);
    return ready == 1;
}

// The bound ends a recording whose record holds a finished line, written, and the start of the next
// one, still in its buffer: both reach the file before the process ends. The bound's tick comes to the
// recording thread itself, or to another thread, which hands it to the recorder rather than touch a
// buffer the recorder may be filling (here the recorder lets it through once it has been handed over).
TEST(RecordingDeadline, TheBoundWritesOutWhatTheRecordsBufferHolds) {
    struct Case {
        const char* what;
        bool tickElsewhere;
    };
    const Case cases[] = {{"on the recording thread", false}, {"on another thread", true}};
    const std::string whole = "{\"signal\":{\"number\":7}}\n";
    const std::string cut = "{\"threads\":[{\"registers\":{\"rip\":42}},{\"regis";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const velotest::TempFolder folder;
        const std::string path = folder.string() + "/signal.zevrecord";
        const int status = velotest::waitStatusOfChild([&] {
            leaveNoCore();
            // The recorder is started here, so that the first thread (which the kernel tries first with
            // a signal for the process) is the other one.
            std::thread recorder([&] {
                static char storage[4096];
                ZEVFile file;
                if (!ZEVFileInitWithPath(&file, path.c_str(), false)) _exit(2);
                zevuzavidav::useFileBuffer(&file, storage, sizeof storage);
                ZEVFileWriteBytes(&file, whole.data(), whole.size());
                ZEVFileFlushBuffer(&file);
                ZEVFileWriteBytes(&file, cut.data(), cut.size());
                if (!zevuzavidav::armRecordingDeadline(SIGBUS, 10L * 1000 * 1000, velotest::kPatienceNanos))
                    _exit(2);
                zevuzavidav::setRecordingFile(&file);
                if (c.tickElsewhere) {
                    sigset_t bound;
                    sigemptyset(&bound);
                    sigaddset(&bound, SIGRTMAX - 2);
                    sigprocmask(SIG_BLOCK, &bound, nullptr);
                    if (!boundSignalArrives()) _exit(3);
                    sigprocmask(SIG_UNBLOCK, &bound, nullptr);
                }
                for (;;)
                    pause();
            });
            if (!c.tickElsewhere) {
                sigset_t bound;
                sigemptyset(&bound);
                sigaddset(&bound, SIGRTMAX - 2);
                sigprocmask(SIG_BLOCK, &bound, nullptr);
            }
            recorder.join();
        });
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGBUS) << "status " << status;
        EXPECT_EQ(velotest::readFile(path), whole + cut);
    }
}

// The app's own handler of the bound's signal, and the ticks it was given.
std::atomic<int> appTicks{0};

void takeTheSignalForTheApp() {
    struct sigaction action {};
    action.sa_handler = [](int) { appTicks.fetch_add(1); };
    sigemptyset(&action.sa_mask);
    sigaction(SIGRTMAX - 2, &action, nullptr);
}

// While a recording is armed a tick before the bound is the SDK's and let go; before and after it (a
// crash the process survives), the app's handler has the signal, every time.
TEST(RecordingDeadline, TheBoundsSignalIsTheAppsOutsideARecording) {
    const int status = velotest::runInChild([] {
        leaveNoCore();
        takeTheSignalForTheApp();
        for (int recording = 0; recording < 2; ++recording) {
            ASSERT_TRUE(zevuzavidav::armRecordingDeadline(SIGBUS, velotest::kPatienceNanos));
            // Handled before kill returns: the arming thread does not block it.
            ASSERT_EQ(kill(getpid(), SIGRTMAX - 2), 0);
            EXPECT_EQ(appTicks.load(), recording) << "the app was given a tick of the recording";
            zevuzavidav::disarmRecordingDeadline();
            ASSERT_EQ(kill(getpid(), SIGRTMAX - 2), 0);
            EXPECT_EQ(appTicks.load(), recording + 1) << "the app's tick after recording " << recording;
        }
    });
    EXPECT_EQ(status, 0);
}

// An app that blocks the signal on the recording thread has it blocked there again once the recording
// ends: a tick then waits for the app, not for a handler.
TEST(RecordingDeadline, TheRecordersMaskIsGivenBackWithTheSignal) {
    const int status = velotest::runInChild([] {
        leaveNoCore();
        takeTheSignalForTheApp();
        sigset_t bound;
        sigemptyset(&bound);
        sigaddset(&bound, SIGRTMAX - 2);
        ASSERT_EQ(sigprocmask(SIG_BLOCK, &bound, nullptr), 0);
        ASSERT_TRUE(zevuzavidav::armRecordingDeadline(SIGBUS, velotest::kPatienceNanos));
        zevuzavidav::disarmRecordingDeadline();
        sigset_t now;
        ASSERT_EQ(sigprocmask(SIG_BLOCK, nullptr, &now), 0);
        EXPECT_EQ(sigismember(&now, SIGRTMAX - 2), 1);
    });
    EXPECT_EQ(status, 0);
}

// An app that takes the signal between two recordings (its handler set after the first) leaves the
// second bounded all the same.
TEST(RecordingDeadline, ARecordingAfterTheAppTookTheSignalIsStillBounded) {
    const int status = velotest::waitStatusOfChild([] {
        leaveNoCore();
        if (!zevuzavidav::armRecordingDeadline(SIGBUS, velotest::kPatienceNanos)) _exit(2);
        zevuzavidav::disarmRecordingDeadline();
        takeTheSignalForTheApp();
        if (!zevuzavidav::armRecordingDeadline(SIGBUS, 10L * 1000 * 1000)) _exit(2);
        for (;;)
            pause();
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGBUS) << "status " << status;
}

} // namespace
