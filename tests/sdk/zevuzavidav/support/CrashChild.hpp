#pragma once
// The parent's side of the crash tests whose forked children crash for real: how a child ended, the
// records it left, and where a recorded stack stands, against the exact extent of known functions.
#include "sdk/zevuzavidav/unwind/DwarfFDEIndex.hpp"
#include "sdk/zevuzavidav/unwind/ZEVUnwind.hpp"
#include "tests/sdk/zevuzavidav/support/RecordSupport.hpp"
#include "tests/support/Waiter.hpp"

#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace crashtest {

// The exit status of a child whose set-up never came to hold: it must not go on to crash without it.
inline constexpr int kSetUpFailed = 4;

// How long a child's set-up may take, all its waits together: far past what any machine takes, and
// clearly less than the alarm that ends a child that hangs (velotest::kPatience), so that a set-up that
// never holds and a recording that hangs end the child differently.
inline constexpr double kSetUpPatience = velotest::kPatience * 3 / 4;

// In a child: waits for its set-up to hold (a state every interleaving reaches), or ends the child
// with kSetUpFailed once kSetUpPatience has passed since its first wait.
inline void setUpOrEnd(const std::function<bool()>& holds) {
    // Counted from the first wait of this process: a child forked from a process that waited counts
    // from its own.
    static pid_t process = 0;
    static std::chrono::steady_clock::time_point deadline;
    if (process != getpid()) {
        process = getpid();
        deadline = std::chrono::steady_clock::now() +
                   std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                       std::chrono::duration<double>(kSetUpPatience));
    }
    while (!holds()) {
        if (std::chrono::steady_clock::now() >= deadline) _exit(kSetUpFailed);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// A road, as a test's name gives it.
inline std::string roadName(recordtest::Road road) {
    return road == recordtest::Road::exceptionPort ? "OnThePortsRoad" : "OnTheSignalRoad";
}

// What a forked child tells the test, byte by byte, as its handlers run.
struct ToldPipe {
    int fds[2] = {-1, -1};
    ToldPipe() { EXPECT_EQ(pipe(fds), 0); }
    ~ToldPipe() {
        close(fds[0]);
        if (fds[1] >= 0) close(fds[1]);
    }
    ToldPipe(const ToldPipe&) = delete;
    ToldPipe& operator=(const ToldPipe&) = delete;
    // The bytes written until every writer closed (the child ended).
    std::string readAll() {
        close(fds[1]);
        fds[1] = -1;
        std::string bytes;
        char buffer[64];
        for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
            bytes.append(buffer, static_cast<std::size_t>(n));
        return bytes;
    }
};

// How a child ended, for a failure's message.
inline std::string howItEnded(int status) {
    if (WIFSIGNALED(status)) return std::string("killed by ") + strsignal(WTERMSIG(status));
    if (!WIFEXITED(status)) return "status " + std::to_string(status);
    if (WEXITSTATUS(status) == kSetUpFailed) return "its set-up never came to hold";
    return "exit " + std::to_string(WEXITSTATUS(status));
}

// How a child ended, with the SDK log it left in `dir` (its context's folder), for a failure's message.
// A child its alarm ended reads the same whether its recording hung or a busy machine starved it, until
// its log shows how far it came; and the log goes with the test's folder.
inline std::string howItEnded(int status, const std::string& dir) {
    std::ifstream file(dir + "/sdk.log");
    if (!file.is_open()) return howItEnded(status) + "; it left no SDK log";
    const std::string log((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return howItEnded(status) + "; its SDK log:\n" + log;
}

struct Range {
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
    bool holds(std::uint64_t pc) const { return pc >= begin && pc < end; }
};

// The exact extent of a function, from its own call-frame description.
template <typename Function> Range functionRange(Function* function) {
    auto address = reinterpret_cast<std::uint64_t>(function);
    zevuzavidav::BinaryImageNodeCopy image;
    ZEVDwarfCFIRecord cfi;
    if (!zevuzavidav::findImageWithDynamicLinker(address, &image) ||
        !zevuzavidav::findDwarfFDE(image.eh_frame, address, &cfi)) {
        return {};
    }
    return {cfi.fde.pcBegin, cfi.fde.pcBegin + cfi.fde.pcRange};
}

// Frame 0 is an interrupted pc; the others are return addresses, which may sit just past the end of a
// function whose last instruction is a call that does not return.
inline bool stackHolds(const nlohmann::json& stack, const Range& range) {
    for (std::size_t i = 0; i < stack.size(); ++i) {
        if (!stack[i].is_number_unsigned()) continue;
        std::uint64_t pc = stack[i].get<std::uint64_t>();
        if (range.holds(i == 0 ? pc : pc - 1)) return true;
    }
    return false;
}

// The records of a crash record file; lines that do not parse are counted.
inline std::vector<std::vector<nlohmann::json>> recordsIn(const std::string& path, int* unparsable) {
    return recordtest::splitIntoRecords(recordtest::readLines(path, unparsable));
}

// The records of the crash record file `file` in the folder `dir`, each expected whole (no line cut
// short); their crashed threads, in order.
inline std::vector<nlohmann::json> wholeRecordsIn(const std::string& dir, const std::string& file) {
    int unparsable = 0;
    const auto records = recordsIn(dir + "/" + file, &unparsable);
    EXPECT_EQ(unparsable, 0) << file << " holds a line cut short";
    std::vector<nlohmann::json> crashed;
    for (const auto& record : records)
        crashed.push_back(recordtest::expectWholeRecord(record, file));
    return crashed;
}

} // namespace crashtest
