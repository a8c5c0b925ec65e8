// The time from a fault to the last crash record closed, for a child with 1, 4, 16 and 64 threads
// parked 64 calls deep: each repetition forks a child that crashes for real. The child notes the time
// just before its fault; the parent watches the report folder and takes the time of the last record
// file closed after writing, before the child is gone. Held against the goal of 2 ms (median).
//
// The threads park in one recursive function (distinct:0) or, as a program's threads do, in chains of
// distinct functions (distinct:1): thread i in 64 functions of a chain of 256 from the (3i)-th on, so
// the threads' stacks differ and overlap, and the crash finds each function's rule cold once.
//
// The churn rows crash the same child (16 and 64 parked threads) while two pools start and end 32
// threads at a time, one through the program's thread start (darwin::createThread), one through the C
// library's pthread_create directly: at the fault some threads are being made or are ending, with
// every signal blocked in the C library's start and exit steps.
//
// The thousands rows crash a child of 4,096 threads, as a program whose libraries start a thread per
// task runs: every tenth parked 200 distinct calls deep, the others one call deep. Their time is read
// against the recording's bound (5 s); run them on a busy machine too (a spinner on every core).
#include "bench/AnchorReport.hpp"
#include "bench/DistinctFrames.hpp"
#include "platform/darwin/Threads.hpp"
#include "sdk/zevuzavidav/context/ZEVContext.hpp"
#include "tools/crashfixtures/CrashContext.hpp"
#include "tools/crashfixtures/ThreadChurn.hpp"
#include "tools/scratch/TempFolder.hpp"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/inotify.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

std::atomic<int> parked{0};
std::atomic<bool> released{false}; // never set: the helpers stay parked until the child dies

__attribute__((noinline)) void park() {
    parked.fetch_add(1);
    while (!released.load())
        pause();
}

__attribute__((noinline)) void parkAtDepth(int depth) {
    if (depth > 1) {
        parkAtDepth(depth - 1);
        benchmark::ClobberMemory();
        return;
    }
    park();
}

struct ParkLeaf {
    void operator()() { park(); }
};

// Thread `index` parks `depth` frames deep, in one recursive function or in distinct ones.
void parkThread(int index, int depth, bool distinct) {
    if (!distinct) return parkAtDepth(depth);
    ParkLeaf leaf;
    velobench::atDistinctDepth((3 * index) % (velobench::kDistinctFunctions - depth + 1), depth, leaf);
}

void* briefWork(void*) {
    benchmark::ClobberMemory();
    return nullptr;
}

bool withChurn = false;
// Only every tenth thread parks at the row's depth, the others one call deep.
bool everyTenthDeep = false;

// The threads of the folder's fault record walked with their registers and stack; a time is only
// taken of a whole record.
std::size_t threadsRecordedWhole(const std::string& dir) {
    std::ifstream in(dir + "/mach_exception.zevrecord");
    std::size_t whole = 0;
    for (std::string line; std::getline(in, line);) {
        const auto parsed = nlohmann::json::parse(line, nullptr, false);
        if (parsed.is_discarded() || !parsed.contains("threads")) continue;
        for (const auto& thread : parsed["threads"]) {
            whole += thread.contains("registers") && !thread["registers"].empty() &&
                             thread.contains("stacktrace") && !thread["stacktrace"].empty()
                         ? 1
                         : 0;
        }
    }
    return whole;
}

double seconds(const timespec& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

bool endsWith(const char* name, const char* suffix) {
    std::size_t n = std::strlen(name), m = std::strlen(suffix);
    return n >= m && std::strcmp(name + n - m, suffix) == 0;
}

// Reads the folder's events until the child has ended; the time of the last record closed after
// writing since the fault, 0 when there was none.
double lastRecordClosed(int watch, pid_t child, const timespec* faultTime, int* status) {
    double last = 0;
    alignas(inotify_event) char buffer[8192];
    for (;;) {
        pollfd events{watch, POLLIN, 0};
        int ready = poll(&events, 1, 5);
        if (ready > 0) {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            long n = read(watch, buffer, sizeof buffer);
            for (long at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                bool afterFault = faultTime->tv_sec != 0 && seconds(now) > seconds(*faultTime);
                if (afterFault && event->len > 0 && endsWith(event->name, ".zevrecord")) last = seconds(now);
                at += static_cast<long>(sizeof(inotify_event) + event->len);
            }
            continue;
        }
        if (waitpid(child, status, WNOHANG) == child) return last;
    }
}

void BM_FaultToLastRecord(benchmark::State& state) {
    auto* faultTime = static_cast<timespec*>(
        mmap(nullptr, sizeof(timespec), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    int threads = static_cast<int>(state.range(0));
    int depth = static_cast<int>(state.range(1));
    bool distinct = state.range(2) != 0;
    for (auto _ : state) {
        const velotools::TempFolder folder("zevbench");
        const std::string dir = folder.string();
        int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        inotify_add_watch(watch, dir.c_str(), IN_CLOSE_WRITE);
        *faultTime = timespec{};
        pid_t child = fork();
        if (child == 0) {
            recordtest::initializeContext(dir);
            if (!ZEVContextIsInitialized()) _exit(2);
            for (int i = 0; i < threads; ++i) {
                const int own = everyTenthDeep && i % 10 != 0 ? 1 : depth;
                std::thread([i, own, distinct] { parkThread(i, own, distinct); }).detach();
            }
            while (parked.load() < threads)
                std::this_thread::yield();
            if (withChurn) {
                // This program does not define its own pthread_create: the second pool's threads start
                // through the C library's alone.
                recordtest::startThreadChurn(true, briefWork);
                recordtest::startThreadChurn(false, briefWork);
            }
            usleep(20000); // the start's own records are closed before the fault
            clock_gettime(CLOCK_MONOTONIC, faultTime);
            *static_cast<volatile int*>(nullptr) = 1;
            _exit(3);
        }
        int status = 0;
        double closed = lastRecordClosed(watch, child, faultTime, &status);
        close(watch);
        if (!WIFSIGNALED(status) || closed == 0) {
            state.SkipWithError("the child did not record its crash");
            break;
        }
        if (threadsRecordedWhole(dir) < static_cast<std::size_t>(threads)) {
            state.SkipWithError("the record lacks threads, or their registers or stacks");
            break;
        }
        state.SetIterationTime(closed - seconds(*faultTime));
    }
    munmap(faultTime, sizeof(timespec));
}

BENCHMARK(BM_FaultToLastRecord)
    ->ArgsProduct({{1, 4, 16, 64}, {64}, {0, 1}})
    ->ArgNames({"", "", "distinct"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(30)
    ->ReportAggregatesOnly(true);

void BM_FaultToLastRecordWhileThreadsChurn(benchmark::State& state) {
    withChurn = true;
    BM_FaultToLastRecord(state);
    withChurn = false;
}

BENCHMARK(BM_FaultToLastRecordWhileThreadsChurn)
    ->ArgsProduct({{16, 64}, {64}, {0, 1}})
    ->ArgNames({"", "", "distinct"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(30)
    ->ReportAggregatesOnly(true);

void BM_FaultToLastRecordOfThousandsOfThreads(benchmark::State& state) {
    everyTenthDeep = true;
    BM_FaultToLastRecord(state);
    everyTenthDeep = false;
}

BENCHMARK(BM_FaultToLastRecordOfThousandsOfThreads)
    ->Args({4096, 200, 1})
    ->ArgNames({"", "", "distinct"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv) {
    return velobench::runBesideAnchors(
        argc, argv, {{"BM_FaultToLastRecord", {}, 2e6}, {"BM_FaultToLastRecordWhileThreadsChurn", {}, 2e6}});
}
