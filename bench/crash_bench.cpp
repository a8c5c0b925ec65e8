// The time from a fault to the last crash record written, for a child with 16 threads parked 64 calls
// deep: each iteration forks a child that crashes for real.
#include "platform/darwin/Threads.hpp"
#include "sdk/zevuzavidav/capture/ZEVMachException.hpp"
#include "sdk/zevuzavidav/context/ZEVContext.hpp"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

std::atomic<int> parked{0};
std::atomic<bool> released{false}; // never set: the helpers stay parked until the child dies

__attribute__((noinline)) void parkAtDepth(int depth) {
    if (depth > 1) {
        parkAtDepth(depth - 1);
        benchmark::ClobberMemory();
        return;
    }
    parked.fetch_add(1);
    while (!released.load())
        pause();
}

// Installs the crash context as the app starts it (through the exception port), recording into `dir`,
// and waits at most 2 s for it to report itself initialised.
void initializeContext(const std::string& dir) {
    ZEVMachExceptionSetEmulationEnabled(true);
    ZEVContextInitData data;
    data.apiKey = "key";
    data.reportDirectory = dir.c_str();
    data.reportIdentifier = "report";
    data.installationIdentifier = "install";
    ZEVContextInitialize(&data);
    for (int i = 0; i < 2000 && !ZEVContextIsInitialized(); ++i)
        usleep(1000);
}

void BM_FaultToLastRecord(benchmark::State& state) {
    auto* faultTime = static_cast<timespec*>(
        mmap(nullptr, sizeof(timespec), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    int threads = static_cast<int>(state.range(0));
    int depth = static_cast<int>(state.range(1));
    for (auto _ : state) {
        char pattern[] = "/tmp/zevbenchXXXXXX";
        std::string dir = mkdtemp(pattern);
        pid_t child = fork();
        if (child == 0) {
            initializeContext(dir);
            if (!ZEVContextIsInitialized()) _exit(2);
            for (int i = 0; i < threads; ++i) {
                std::thread([depth] { parkAtDepth(depth); }).detach();
            }
            while (parked.load() < threads)
                std::this_thread::yield();
            clock_gettime(CLOCK_REALTIME, faultTime);
            *static_cast<volatile int*>(nullptr) = 1;
            _exit(3);
        }
        int status = 0;
        waitpid(child, &status, 0);
        struct stat info {};
        // Through the exception port the fault is recorded in the exception message's record.
        if (!WIFSIGNALED(status) || stat((dir + "/mach_exception.zevrecord").c_str(), &info) != 0) {
            state.SkipWithError("the child did not record its crash");
            break;
        }
        double seconds = static_cast<double>(info.st_mtim.tv_sec - faultTime->tv_sec) +
                         static_cast<double>(info.st_mtim.tv_nsec - faultTime->tv_nsec) / 1e9;
        state.SetIterationTime(seconds);
        std::filesystem::remove_all(dir);
    }
    munmap(faultTime, sizeof(timespec));
}

BENCHMARK(BM_FaultToLastRecord)
    ->Args({16, 64})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

} // namespace

BENCHMARK_MAIN();
