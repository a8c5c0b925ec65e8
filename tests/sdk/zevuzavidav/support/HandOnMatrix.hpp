#pragma once
// The parent's side of the hand-on matrix: what a child's handlers tell (one fixed-size note per write,
// so notes of threads writing at once never mix), several children run at once with a bound after which
// one counts as hung, and the crash records a child left, read without failing the test so that the
// matrix can set them in its table.
#include "tests/sdk/zevuzavidav/support/CrashChild.hpp"
#include "tests/sdk/zevuzavidav/support/RecordSupport.hpp"
#include "tests/support/ChildProcess.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace handon {

// What one handler, or the interrupted code once it went on, tells the test.
struct Note {
    char what = 0;     // see the matrix: 'h' a handler of the program, 'g' the code went on, ...
    char altState = 0; // sigaltstack's answer inside: 'a' on it, 'o' off it, 'd' disabled; '-' not asked
    char stack = 0;    // where the handler's frame is: 'o' the thread's own stack, 'a' its alternate
                       // stack, 'e' elsewhere; '-' not asked
    std::int8_t thread = 0;
    std::int16_t number = 0;
    std::int16_t code = 0;    // si_code, or kNoCode
    std::int32_t frame = 0;   // the frame's place: below the interrupted sp on the own stack, below the
                              // top of the alternate stack on that one
    std::int32_t context = 0; // the ucontext's place above the frame
    std::int32_t fpregs = 0;  // uc_mcontext.fpregs above the frame; 0 when null
    std::int32_t error = 0;   // errno as the handler or the interrupted code found it
    std::int32_t below = -1;  // on the main thread: how far below the crash's stack pointer its stack had
                              // been written by then (0: not into the stretch watched); -1 not watched
    std::uint32_t regs = 0;   // 'g': the registers (and red zone) the interrupted code found changed, a bit
                              // each; kNotChecked where it did not look
    std::uint64_t mask = 0;   // the thread's signal mask then, bit n - 1 for signal n
};
static_assert(sizeof(Note) == 40);

inline constexpr std::int16_t kNoCode = -32768;
inline constexpr std::uint32_t kNotChecked = 0xffffffff;

inline std::string signalName(int number) {
    switch (number) {
    case SIGSEGV:
        return "SEGV";
    case SIGBUS:
        return "BUS";
    case SIGILL:
        return "ILL";
    case SIGFPE:
        return "FPE";
    case SIGTRAP:
        return "TRAP";
    case SIGABRT:
        return "ABRT";
    case SIGSYS:
        return "SYS";
    case SIGUSR1:
        return "USR1";
    case SIGUSR2:
        return "USR2";
    default:
        return std::to_string(number);
    }
}

inline std::vector<Note> notesIn(const std::string& bytes) {
    std::vector<Note> notes(bytes.size() / sizeof(Note));
    std::memcpy(notes.data(), bytes.data(), notes.size() * sizeof(Note));
    return notes;
}

// How a child ended: "exit N", "killed by SIGX" or "hung".
inline std::string endingOf(int status, bool hung) {
    if (hung) return "hung";
    if (WIFEXITED(status))
        return WEXITSTATUS(status) == crashtest::kSetUpFailed ? "set-up failed"
                                                              : "exit " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return "killed by SIG" + signalName(WTERMSIG(status));
    return "status " + std::to_string(status);
}

// A record whole as expectWholeRecord has it, asked without failing: cause first, closed, every thread
// with its registers and stack (or gone meanwhile), one crashed thread.
inline bool isWhole(const std::vector<nlohmann::json>& record) {
    if (record.empty() || !recordtest::isCauseSection(record.front())) return false;
    if (!recordtest::sectionOfRecord(record, "storage").is_object()) return false;
    const nlohmann::json threads = recordtest::sectionOfRecord(record, "threads");
    const nlohmann::json names = recordtest::sectionOfRecord(record, "thread_names");
    const nlohmann::json queues = recordtest::sectionOfRecord(record, "dispatch_queue_names");
    if (!threads.is_array() || !names.is_array() || !queues.is_array() || threads.size() != names.size() ||
        threads.size() != queues.size()) {
        return false;
    }
    int crashed = 0;
    for (std::size_t i = 0; i < threads.size(); ++i) {
        if (!recordtest::hasRegistersAndStack(threads[i]) && !queues[i].is_null()) return false;
        crashed += threads[i].value("crashed", false) ? 1 : 0;
    }
    return crashed == 1;
}

// The crash records a child left in `dir`, each by its cause: "signal 11 SIGSEGV", "mach EXC_BAD_ACCESS",
// "exception"; "(not whole)" after one that is not, "none" for none.
inline std::string recordsIn(const std::string& dir) {
    std::string out;
    for (const char* file : {"signal.zevrecord", "mach_exception.zevrecord", "exception.zevrecord"}) {
        int unparsable = 0;
        for (const auto& record : crashtest::recordsIn(dir + "/" + file, &unparsable)) {
            std::string cause = "?";
            if (const auto signal = recordtest::sectionOfRecord(record, "signal"); signal.is_object())
                cause = "signal " + std::to_string(signal.value("number", 0)) + " " +
                        (signal["name"].is_string() ? signal["name"].get<std::string>() : "unnamed");
            else if (const auto mach = recordtest::sectionOfRecord(record, "mach_exception");
                     mach.is_object())
                cause = "mach " + (mach["name"].is_string() ? mach["name"].get<std::string>() : "unnamed");
            else if (recordtest::sectionOfRecord(record, "exception").is_object())
                cause = "exception";
            out += (out.empty() ? "" : ", ") + cause + (isWhole(record) ? "" : " (not whole)");
        }
        if (unparsable != 0) out += (out.empty() ? "" : ", ") + std::to_string(unparsable) + " lines cut";
    }
    return out.empty() ? "none" : out;
}

// A child's run: what it told and how it ended.
struct Ended {
    int status = 0;
    bool hung = false;
    std::string told;
    // When this process saw it end, by the wall clock (the one files' times are kept by).
    std::chrono::system_clock::time_point at{};
};

// One child to run: `prepare` runs in this process right before the fork, `body` in the child (which
// ends when it returns), `collect` here once the child has ended.
struct Job {
    std::function<void()> prepare;
    std::function<void(int toldFd)> body;
    std::function<void(const Ended&)> collect;
};

// Runs `jobs`, up to `atOnce` children at a time, each in a child tied to this process. A child still
// running `bound` seconds after it started counts as hung and is killed. Call from the test's own thread.
inline void runAll(std::vector<Job>& jobs, std::size_t atOnce, double bound) {
    struct Running {
        std::size_t job;
        pid_t pid;
        int pidfd;
        std::chrono::steady_clock::time_point deadline;
        std::unique_ptr<crashtest::ToldPipe> told;
    };
    std::vector<Running> running;
    std::size_t next = 0;
    const auto finish = [&](Running& child, bool hung, std::chrono::system_clock::time_point at) {
        if (hung) ::kill(child.pid, SIGKILL);
        Ended ended;
        ended.hung = hung;
        ended.at = at;
        while (::waitpid(child.pid, &ended.status, 0) < 0 && errno == EINTR) {
        }
        ::close(child.pidfd);
        ended.told = child.told->readAll();
        jobs[child.job].collect(ended);
    };
    while (next < jobs.size() || !running.empty()) {
        while (next < jobs.size() && running.size() < atOnce) {
            auto told = std::make_unique<crashtest::ToldPipe>();
            if (jobs[next].prepare) jobs[next].prepare();
            std::fflush(nullptr);
            const pid_t pid = velotest::forkTiedToThisProcess();
            if (pid == 0) {
                jobs[next].body(told->fds[1]);
                ::_exit(0);
            }
            ::close(told->fds[1]);
            told->fds[1] = -1;
            const int pidfd = pid > 0 ? static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)) : -1;
            if (pid < 0 || pidfd < 0) {
                ADD_FAILURE() << "no child could be made";
                if (pid > 0) {
                    ::kill(pid, SIGKILL);
                    ::waitpid(pid, nullptr, 0);
                }
                ++next;
                continue;
            }
            running.push_back({next++, pid, pidfd,
                               std::chrono::steady_clock::now() +
                                   std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                       std::chrono::duration<double>(bound)),
                               std::move(told)});
        }
        std::vector<pollfd> watch;
        auto soonest = running.front().deadline;
        for (const Running& child : running) {
            watch.push_back({child.pidfd, POLLIN, 0});
            soonest = std::min(soonest, child.deadline);
        }
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(soonest - std::chrono::steady_clock::now()).count();
        ::poll(watch.data(), watch.size(), static_cast<int>(std::max<long long>(left, 0)));
        const auto now = std::chrono::steady_clock::now();
        const auto wall = std::chrono::system_clock::now();
        for (std::size_t i = running.size(); i-- > 0;) {
            const bool ended = (watch[i].revents & POLLIN) != 0;
            if (!ended && now < running[i].deadline) continue;
            finish(running[i], !ended, wall);
            running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

} // namespace handon
