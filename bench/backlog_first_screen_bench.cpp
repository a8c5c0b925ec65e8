// The first screen with a backlog of earlier crash reports: the shipped program (Swift edition) in a
// fresh 80x24 pseudo-terminal with `--max-keys 0` (it draws the chapter list and ends), measured as
// bench/first_screen_bench.cpp measures it (the CPU time of the whole process, all its threads, from
// start to exit), with 0, 10, 100 and 1,000 crashed launches waiting in its sandbox. Each launch finds
// its backlog anew: the report tree is written again before it (not counted). Beside each figure, the
// same launch with no report waiting, measured in the same run (the argument only pairs it).
//
// The report server is a loopback port that takes connections and never answers: the uploads started
// wait, and packaging waits with them, so the figures hold the start's own cost and not a whole
// backlog's packaging racing the first screen. Every other server is a closed port on this machine.
#include "bench/AnchorReport.hpp"
#include "bench/PtyLaunch.hpp"
#include "tools/crashfixtures/ReportFolders.hpp"
#include "tools/scratch/TempFolder.hpp"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const velotools::TempFolder& home() {
    static const velotools::TempFolder folder("velo-bench-backlog");
    return folder;
}

fs::path reportTree() {
    return home().path() /
           "com.velomarinth.swift/Library/Caches/com.zevuzavidav.data/com.velomarinth.swift/v3";
}

// A port on 127.0.0.1 that completes connections (the kernel's backlog) and never reads or answers.
class SilentPort {
  public:
    SilentPort() {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (listener_ >= 0 && ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(listener_, 64) == 0 &&
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~SilentPort() {
        if (listener_ >= 0) ::close(listener_);
    }
    SilentPort(const SilentPort&) = delete;
    SilentPort& operator=(const SilentPort&) = delete;

    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }
    bool ok() const { return port_ != 0; }
    // Lets go of the connections the last launch left, so the backlog never fills.
    void drain() const {
        for (int fd; (fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;)
            ::close(fd);
    }

  private:
    int listener_ = -1;
    int port_ = 0;
};

const SilentPort& reportServer() {
    static const SilentPort port;
    return port;
}

// The report tree as `count` crashed launches left it, one second apart, and nothing else.
void writeBacklog(int count) {
    std::error_code ignored;
    fs::remove_all(reportTree(), ignored);
    for (const char* folder : {"active", "processing", "prepared"})
        fs::create_directories(reportTree() / folder);
    for (int i = 0; i < count; ++i) {
        const std::string id = "backlog-" + std::to_string(100000 + i);
        reporttest::writeCrashedLaunch(reportTree() / "active" / id, id,
                                       1700000000 + static_cast<unsigned>(i));
    }
}

const std::string kProgram = std::string(VELO_BUNDLES_DIR) + "/Swift.app/velomarinth";

void launches(benchmark::State& state, int reports) {
    if (!reportServer().ok()) {
        state.SkipWithError("no loopback port for the report server");
        return;
    }
    writeBacklog(0);
    if (velobench::cpuSecondsInPty({kProgram, "--max-keys", "0"}, home().path(),
                                   {{"ZevuzavidavReportsEndpoint", reportServer().url()}}) <
        0) { // warm-up: makes the learner's home and the page cache
        state.SkipWithError(("could not run " + kProgram).c_str());
        return;
    }
    for (auto _ : state) {
        writeBacklog(reports);
        reportServer().drain();
        const double seconds =
            velobench::cpuSecondsInPty({kProgram, "--max-keys", "0"}, home().path(),
                                       {{"ZevuzavidavReportsEndpoint", reportServer().url()}});
        if (seconds < 0) {
            state.SkipWithError(("could not run " + kProgram).c_str());
            break;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["pending"] = reports;
}

void BM_PendingReports(benchmark::State& state) {
    launches(state, static_cast<int>(state.range(0)));
}

void BM_NoPendingReports(benchmark::State& state) { // the argument only pairs it with a backlog
    launches(state, 0);
}

void backlogs(benchmark::internal::Benchmark* b) {
    b->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(10)
        ->Repetitions(3)
        ->ReportAggregatesOnly(true)
        ->Arg(0)
        ->Arg(10)
        ->Arg(100)
        ->Arg(1000);
}
BENCHMARK(BM_NoPendingReports)->Apply(backlogs);
BENCHMARK(BM_PendingReports)->Apply(backlogs);

} // namespace

int main(int argc, char** argv) {
    return velobench::runBesideAnchors(argc, argv, {{"BM_PendingReports", {"BM_NoPendingReports"}, 0}});
}
