// What the C++ lessons print, checked against a real compiler: every shown program, with each accepted
// answer in its field, is compiled with g++ and run, and its output is compared with what the lesson
// screen shows after Run; a lesson without an output view must print nothing. No (lesson, answer) pair
// is left out. Skipped (with a message) only where g++ is not installed.
//
// The listings leave out their #include lines and, in the first chapter, the using-directive that
// lesson 11 introduces; every program gets them here, as the course assumes. All programs of a batch
// share one translation unit (each in its own namespace, its main renamed), so a few g++ runs compile
// everything; a failing batch is compiled program by program to name the culprits.
#include "tests/content/CourseFixture.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/LessonScreenFixture.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <optional>
#include <poll.h>
#include <set>
#include <signal.h>
#include <sstream>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const std::string kSampleLiteral = "\"Sam Lee\"";
const std::string kExitLine = "Program ended with exit code: ";
constexpr int kBatches = 4;

// Lessons that show their program only as far as the learner has written it (the start of a challenge,
// or a listing cut short by `lines`): the closing text that makes it a whole program.
const std::map<std::string, std::string> kUnfinished = {
    {"C++CH4L10", "\n}"},
    {"C++CH4L11", "\n   }\n}"},
    {"C++CH4L12", "\n       }\n   }\n}"},
    {"C++CH4L13", "\n       }\n   }\n}"},
    {"C++CH5L1", "\n}"},
    {"C++CH5L2", "\n}"},
    {"C++CH5L4", "\n}"},
    {"C++CH5L6", "\n}"},
    {"C++CH5C2", "\n}"},
    {"C++CH5C3", "\n   }\n}"},
    {"C++CH5C4", "\n   }\n}"},
    {"C++CH6C1", "\n}"},
    {"C++CH6C4", "\n}"},
    {"C++CH6C5", "\n}"},
};

// Loops that never end, by design of the lesson: the program must still be running when stopped, and
// what it printed so far must be the shown output over and over.
const std::set<std::string> kEndless = {"C++CH4L8", "C++CH4L9", "C++CH4L14"};

// Lessons without an output view whose program prints all the same, each with the reason its output
// cannot be made fixed. Every other lesson without an output view must print nothing.
const std::map<std::string, std::string> kPrintsWithoutOutputView = {
    {"C++CH4L6", "the number of loops depends on rand(), so no fixed text could show it"},
};

const char* kPrelude = R"(#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <string>
using namespace std;
)";

struct Program {
    std::string lessonID;
    std::string typed;
    std::string source;               // the whole program, its main still called main
    std::optional<std::string> shown; // the printed line of the output view; none without one
    bool endless = false;
    bool mayPrintUnseen = false; // listed in kPrintsWithoutOutputView
};

// The program as the lesson shows it with `typed` in the field. The field is a box of its own on the
// screen, so the code on either side of it never runs into the answer.
std::string shownProgram(const Lesson& lesson, const std::string& typed) {
    std::string source;
    for (int k = 1; k <= lesson.lines; ++k) {
        source += lesson.text1(k).value_or("");
        if (k == lesson.textFieldInLine) source += " " + typed + " " + lesson.text2(k).value_or("");
        source += "\n";
    }
    if (auto closing = kUnfinished.find(lesson.lessonID); closing != kUnfinished.end())
        source += closing->second;
    return source;
}

// `source` as a function `run` in namespace p<index>: #include lines move out (the prelude has them), and
// `run` returns 0 at its end, as main does.
std::string asFunction(const std::string& source, std::size_t index) {
    std::istringstream in(source);
    std::string line, body;
    while (std::getline(in, line))
        if (line.rfind("#include", 0) != 0) body += line + "\n";
    if (auto main = body.find("int main()"); main != std::string::npos) body.replace(main, 10, "int run()");
    if (auto last = body.rfind('}'); last != std::string::npos) body.insert(last, "\nreturn 0;\n");
    return "namespace p" + std::to_string(index) + " {\n" + body + "}\n";
}

std::size_t lineCount(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// One batch: its programs, and the line of the translation unit where each of them starts.
struct Batch {
    std::vector<std::size_t> members;
    std::vector<std::size_t> firstLines;
};

std::string translationUnit(const std::vector<Program>& programs, Batch& batch) {
    std::string unit = kPrelude;
    batch.firstLines.clear();
    for (auto i : batch.members) {
        batch.firstLines.push_back(lineCount(unit) + 1);
        unit += asFunction(programs[i].source, i);
    }
    const auto& members = batch.members;
    unit += "int main(int argc, char** argv) {\n    switch (argc > 1 ? std::atoi(argv[1]) : -1) {\n";
    for (auto i : members)
        unit += "    case " + std::to_string(i) + ": return p" + std::to_string(i) + "::run();\n";
    return unit + "    }\n    return 99;\n}\n";
}

std::string shellQuote(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

bool hasCompiler() {
    return std::system("command -v g++ >/dev/null 2>&1") == 0;
}

// Compiles `source` into `binary`; the diagnostics on failure.
std::optional<std::string> compile(const fs::path& source, const fs::path& binary) {
    const fs::path errors = source.string() + ".err";
    const std::string command = "g++ -std=c++20 -O0 -w -o " + shellQuote(binary.string()) + " " +
                                shellQuote(source.string()) + " 2>" + shellQuote(errors.string());
    if (std::system(command.c_str()) == 0) return std::nullopt;
    std::ifstream in(errors);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct Outcome {
    std::string output;
    int exitCode = -1;
    bool stopped = false; // still running when its CPU time or patience was up or its output too long
};

// The CPU time the process `pid` has used so far (0 when it cannot be read).
double cpuSecondsOf(pid_t pid) {
    clockid_t clock;
    timespec used{};
    if (::clock_getcpuclockid(pid, &clock) != 0 || ::clock_gettime(clock, &used) != 0) return 0;
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
}

// Runs `binary index`, reading its standard output, until it has ended, or has printed `cap` bytes,
// or has used `cpuSeconds` of CPU time (when given) without ending: what the lessons' finite programs
// do takes a tiny part of that on any machine, however busy, so a program still running then loops for
// ever. One that neither ends nor prints nor uses the CPU is stopped after kPatience.
Outcome runProgram(const fs::path& binary, std::size_t index, std::optional<double> cpuSeconds,
                   std::size_t cap = 65536) {
    const std::string path = binary.string(), argument = std::to_string(index);
    Outcome outcome;
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) return outcome;
    const pid_t pid = velotest::forkTiedToThisProcess();
    if (pid == 0) {
        ::dup2(pipeEnds[1], STDOUT_FILENO);
        const int quiet = ::open("/dev/null", O_WRONLY);
        if (quiet >= 0) ::dup2(quiet, STDERR_FILENO);
        ::execl(path.c_str(), path.c_str(), argument.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipeEnds[1]);
    // Readable once the child has ended. Without it (an older kernel) the end of the output stands for
    // the child's end, which waitpid then waits for.
    const int ended = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(velotest::kPatience);
    bool open = true, exited = false;
    char buffer[4096];
    while (open || (!exited && ended >= 0)) {
        if (outcome.output.size() >= cap || (cpuSeconds && cpuSecondsOf(pid) >= *cpuSeconds) ||
            std::chrono::steady_clock::now() >= deadline) {
            outcome.stopped = !exited;
            break;
        }
        pollfd ready[2] = {{open ? pipeEnds[0] : -1, POLLIN, 0}, {exited ? -1 : ended, POLLIN, 0}};
        // The CPU time has no event of its own: while it counts, it is looked at now and then.
        if (::poll(ready, 2, cpuSeconds ? 10 : 1000) < 0 && errno != EINTR) break;
        if (ready[0].revents != 0) {
            const ssize_t n = ::read(pipeEnds[0], buffer, sizeof buffer);
            if (n > 0)
                outcome.output.append(buffer, static_cast<std::size_t>(n));
            else
                open = false;
        }
        if (ready[1].revents != 0) exited = true;
    }
    if (outcome.stopped) ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!outcome.stopped && WIFEXITED(status)) outcome.exitCode = WEXITSTATUS(status);
    if (ended >= 0) ::close(ended);
    ::close(pipeEnds[0]);
    return outcome;
}

// The text as the output view shows it: no blanks at the ends of lines, no empty lines at the end.
std::string asShown(const std::string& text) {
    std::string out, line;
    std::istringstream in(text);
    while (std::getline(in, line)) {
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        out += line + "\n";
    }
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

bool isHex(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// Whether `actual` is `shown`, where each memory address of `shown` ("0x" and hex digits, made up for
// the lesson) stands for any address: one shown address always for one and the same actual address.
bool sameWithAddresses(const std::string& shown, const std::string& actual) {
    std::map<std::string, std::string> addresses, shownFor;
    std::size_t s = 0, a = 0;
    auto addressAt = [](const std::string& text, std::size_t at) {
        if (text.compare(at, 2, "0x") != 0) return std::string();
        auto end = at + 2;
        while (end < text.size() && isHex(text[end]))
            ++end;
        return end > at + 2 ? text.substr(at, end - at) : std::string();
    };
    while (s < shown.size() && a < actual.size()) {
        const auto shownAddress = addressAt(shown, s), actualAddress = addressAt(actual, a);
        if (!shownAddress.empty() && !actualAddress.empty()) {
            if (addresses.emplace(shownAddress, actualAddress).first->second != actualAddress ||
                shownFor.emplace(actualAddress, shownAddress).first->second != shownAddress)
                return false;
            s += shownAddress.size();
            a += actualAddress.size();
        } else if (shown[s++] != actual[a++]) {
            return false;
        }
    }
    return s == shown.size() && a == actual.size();
}

// The mismatch between what the program did and what the lesson shows, or "" when they agree. A
// lesson without an output view shows nothing, so its program must print nothing.
std::string mismatch(const Program& program, const Outcome& outcome) {
    const bool printsUnseen = !program.shown && !program.mayPrintUnseen && !asShown(outcome.output).empty();
    if (program.endless) {
        if (!outcome.stopped) return "ended by itself, with exit code " + std::to_string(outcome.exitCode);
        if (printsUnseen) return "printed [" + outcome.output.substr(0, 200) + "...] without an output view";
        if (!program.shown) return "";
        const auto& once = *program.shown;
        for (std::size_t at = 0; at < outcome.output.size(); at += once.size())
            if (outcome.output.compare(at, once.size(), once, 0,
                                       std::min(once.size(), outcome.output.size() - at)) != 0)
                return "printed [" + outcome.output.substr(0, 200) + "...], not [" + once + "] over and over";
        return "";
    }
    if (outcome.stopped) return "did not end (printed [" + outcome.output.substr(0, 200) + "])";
    if (printsUnseen) return "printed [" + outcome.output + "] without an output view";
    if (!program.shown)
        return outcome.exitCode == 0 ? "" : "ended with exit code " + std::to_string(outcome.exitCode);
    std::string shown = *program.shown;
    int exitCode = 0;
    if (auto at = shown.rfind(kExitLine); at != std::string::npos) {
        exitCode = std::atoi(shown.c_str() + at + kExitLine.size());
        shown.resize(at);
    }
    if (outcome.exitCode != exitCode)
        return "ended with exit code " + std::to_string(outcome.exitCode) + ", not " +
               std::to_string(exitCode);
    if (!sameWithAddresses(asShown(shown), asShown(outcome.output)))
        return "printed [" + outcome.output + "], the lesson shows [" + *program.shown + "]";
    return "";
}

class CppPrograms : public lessontest::LessonScreen {
  protected:
    // Every lesson with every accepted answer, and what the lesson screen shows for it after Run.
    std::vector<Program> programs() {
        std::vector<Program> all;
        for (const auto& chapter : content::buildChapters(content::cppCourse())) {
            for (std::size_t index = 0; index < chapter->lessons.size(); ++index) {
                const auto lessonPtr = chapter->lessons[index];
                const auto answers = lessonPtr->acceptedAnswers;
                for (const auto& accepted : answers) {
                    const std::string typed = lessonPtr->dynamicAnswer ? kSampleLiteral : accepted.str();
                    lessonPtr->userAnswer.clear();
                    lessonPtr->dynamicAnswerString.reset();
                    lessonPtr->answerKey.reset();
                    open(chapter, index);
                    type(typed);
                    EXPECT_TRUE(screen->answerIsCorrect) << lessonPtr->lessonID << " [" << typed << "]";
                    screen->runButtonPressed();
                    Program program{lessonPtr->lessonID,
                                    typed,
                                    shownProgram(*lessonPtr, typed),
                                    std::nullopt,
                                    kEndless.contains(lessonPtr->lessonID),
                                    kPrintsWithoutOutputView.contains(lessonPtr->lessonID)};
                    if (lessonPtr->debuggerView) program.shown = screen->debugMessageLabel->text();
                    all.push_back(std::move(program));
                }
            }
        }
        return all;
    }
};

TEST_F(CppPrograms, EveryShownProgramPrintsWhatItsLessonShows) {
    if (!hasCompiler()) GTEST_SKIP() << "g++ is not installed, so the lessons' programs cannot be compiled";
    const auto all = programs();
    ASSERT_FALSE(all.empty());
    RecordProperty("pairs", static_cast<int>(all.size()));

    const fs::path folder = fs::temp_directory_path() / ("velo-cpp-programs-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::vector<Batch> batches(kBatches);
    for (std::size_t i = 0; i < all.size(); ++i)
        batches[i % kBatches].members.push_back(i);

    std::vector<std::future<std::optional<std::string>>> compiled;
    for (int b = 0; b < kBatches; ++b) {
        const fs::path source = folder / ("batch" + std::to_string(b) + ".cpp");
        writeFile(source, translationUnit(all, batches[static_cast<std::size_t>(b)]));
        compiled.push_back(
            std::async(std::launch::async, compile, source, folder / ("batch" + std::to_string(b))));
    }

    for (int b = 0; b < kBatches; ++b) {
        const auto& batch = batches[static_cast<std::size_t>(b)];
        const auto& members = batch.members;
        if (auto errors = compiled[static_cast<std::size_t>(b)].get()) {
            // Each error names a line of the batch, and so the program it belongs to.
            std::map<std::size_t, std::string> faults;
            std::istringstream in(*errors);
            const std::string marker = "batch" + std::to_string(b) + ".cpp:";
            for (std::string line; std::getline(in, line);) {
                const auto at = line.find(marker);
                if (at == std::string::npos || line.find("error") == std::string::npos) continue;
                const auto number = static_cast<std::size_t>(std::atol(line.c_str() + at + marker.size()));
                const auto next = std::upper_bound(batch.firstLines.begin(), batch.firstLines.end(), number);
                if (next != batch.firstLines.begin())
                    faults[members[static_cast<std::size_t>(next - batch.firstLines.begin() - 1)]] +=
                        line + "\n";
            }
            for (const auto& [i, lines] : faults)
                ADD_FAILURE() << all[i].lessonID << " with [" << all[i].typed << "] does not compile:\n"
                              << all[i].source << lines;
            if (faults.empty())
                ADD_FAILURE() << "batch " << b << " does not compile:\n" << errors->substr(0, 2000);
            continue;
        }
        const fs::path binary = folder / ("batch" + std::to_string(b));
        for (auto i : members) {
            // An endless program is still running after half a second of CPU time, or once it has
            // printed more than any lesson shows; any other has until the shared patience to end.
            const auto outcome =
                runProgram(binary, i, all[i].endless ? std::optional<double>(0.5) : std::nullopt);
            const auto fault = mismatch(all[i], outcome);
            EXPECT_TRUE(fault.empty())
                << all[i].lessonID << " with [" << all[i].typed << "] " << fault << "\n"
                << all[i].source;
        }
    }
    fs::remove_all(folder);
}

TEST_F(CppPrograms, TheListedExceptionsStillNameRealLessons) {
    std::set<std::string> ids, withoutOutputView;
    for (const auto& [chapter, lesson] : content_test::allLessons(1)) {
        ids.insert(lesson->lessonID);
        if (!lesson->debuggerView) withoutOutputView.insert(lesson->lessonID);
    }
    for (const auto& [id, closing] : kUnfinished)
        EXPECT_TRUE(ids.contains(id)) << id;
    for (const auto& id : kEndless)
        EXPECT_TRUE(ids.contains(id)) << id;
    for (const auto& [id, reason] : kPrintsWithoutOutputView)
        EXPECT_TRUE(withoutOutputView.contains(id)) << id << " has no output view to be excused from";
}

} // namespace
