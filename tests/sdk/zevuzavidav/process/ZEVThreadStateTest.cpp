// The "threads" element writer for both architectures: exact register keys in record order, the
// unwound stack and the crashed flag, checked with an independent JSON parser.
#include "sdk/zevuzavidav/process/ZEVThreadState.hpp"
#include "sdk/zevuzavidav/record/ZEVFile.hpp"
#include "sdk/zevuzavidav/unwind/ZEVUnwind.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

using ordered = nlohmann::ordered_json;

// Writes one "threads" section through `write` and returns its array.
ordered writeThreads(const std::function<void(ZEVFile*)>& write) {
    const velotest::TempFolder dir;
    const std::string path = dir.string() + "/threads.zevrecord";
    ZEVFile file;
    EXPECT_TRUE(ZEVFileInitWithPath(&file, path.c_str(), false));
    ZEVFileWriteSectionStart(&file, "threads");
    ZEVFileWriteArrayStart(&file);
    write(&file);
    ZEVFileWriteArrayEnd(&file);
    ZEVFileWriteSectionEnd(&file);
    ZEVFileClose(&file);
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    ordered parsed = ordered::parse(line, nullptr, false);
    EXPECT_FALSE(parsed.is_discarded()) << line;
    return parsed.is_discarded() ? ordered() : parsed["threads"];
}

std::vector<std::pair<std::string, std::uint64_t>> registersOf(const ordered& thread) {
    std::vector<std::pair<std::string, std::uint64_t>> out;
    for (auto it = thread["registers"].begin(); it != thread["registers"].end(); ++it)
        out.emplace_back(it.key(), it.value().get<std::uint64_t>());
    return out;
}

std::vector<std::uint64_t> stackOf(const ordered& thread) {
    return thread["stacktrace"].get<std::vector<std::uint64_t>>();
}

// A synthetic arm64 thread: every register distinct, stopped in a leaf whose caller is in lr, above it a
// chain of two frame records on a fake stack.
struct SyntheticArm64 {
    std::uint64_t stack[8] = {};
    arm64::ZEVMachineContextArm64 context{};
    static constexpr std::uint64_t kPc = 0x100004010, kLr = 0x100004200, kCaller = 0x100005000,
                                   kOuter = 0x100006000;

    SyntheticArm64() {
        auto at = [&](int i) { return reinterpret_cast<std::uint64_t>(&stack[i]); };
        stack[2] = at(4);
        stack[3] = kCaller;
        stack[4] = 0; // the outermost record ends the chain
        stack[5] = kOuter;
        for (int r = 0; r < 29; ++r)
            context.ss.x[r] = 0x1000 + static_cast<std::uint64_t>(r);
        context.ss.fp = at(2);
        context.ss.sp = at(0);
        context.ss.lr = kLr;
        context.ss.pc = kPc;
        context.ss.cpsr = 0x60001000;
        context.ss.padding = 0xdeadbeef; // not a register: never written
        context.faultAddress = 0xbad;    // exception state: not part of the thread's registers
    }
};

TEST(ThreadStateWriter, Arm64ContextsAreWrittenWithExactlyTheArm64Keys) {
    SyntheticArm64 thread;
    ordered threads = writeThreads([&](ZEVFile* file) {
        zevuzavidav::writeThreadRegisters(file, &thread.context, nullptr, true);
        zevuzavidav::writeThreadRegisters(file, static_cast<const arm64::ZEVMachineContextArm64*>(nullptr),
                                          nullptr, false);
    });
    ASSERT_EQ(threads.size(), 2u);

    std::vector<std::pair<std::string, std::uint64_t>> expected;
    for (int r = 0; r < 29; ++r)
        expected.emplace_back("x" + std::to_string(r), 0x1000 + static_cast<std::uint64_t>(r));
    expected.emplace_back("fp", thread.context.ss.fp);
    expected.emplace_back("sp", thread.context.ss.sp);
    expected.emplace_back("lr", SyntheticArm64::kLr);
    expected.emplace_back("pc", SyntheticArm64::kPc);
    expected.emplace_back("cpsr", 0x60001000);
    EXPECT_EQ(registersOf(threads[0]), expected);
    // Frame 0 is the pc, frame 1 the link register, then the frame records.
    std::vector<std::uint64_t> stack = {SyntheticArm64::kPc, SyntheticArm64::kLr, SyntheticArm64::kCaller,
                                        SyntheticArm64::kOuter};
    EXPECT_EQ(stackOf(threads[0]), stack);
    EXPECT_EQ(threads[0]["crashed"], true);

    // A thread without a state keeps its place with nothing in it.
    EXPECT_TRUE(threads[1]["registers"].empty());
    EXPECT_TRUE(threads[1]["stacktrace"].empty());
    EXPECT_FALSE(threads[1].contains("crashed"));
}

TEST(ThreadStateWriter, Arm64ThreadsWithANullPcOrSpHaveRegistersButNoStack) {
    SyntheticArm64 nullPc;
    nullPc.context.ss.pc = 0x10;
    SyntheticArm64 nullSp;
    nullSp.context.ss.sp = 0;
    ordered threads = writeThreads([&](ZEVFile* file) {
        zevuzavidav::writeThreadRegisters(file, &nullPc.context, nullptr, false);
        zevuzavidav::writeThreadRegisters(file, &nullSp.context, nullptr, false);
    });
    ASSERT_EQ(threads.size(), 2u);
    for (const auto& thread : threads) {
        EXPECT_EQ(thread["registers"].size(), 34u);
        EXPECT_TRUE(thread["stacktrace"].empty());
    }
}

__attribute__((noinline)) ordered writeTheLiveThread(zevuzavidav::RegistersX86_64& state) {
    zevuzavidav::captureCurrentRegisters(&state);
    return writeThreads([&](ZEVFile* file) { zevuzavidav::writeThreadRegisters(file, &state, false); });
}

TEST(ThreadStateWriter, TheLiveHostKeepsTheMachinesOwnKeysAndUnwindsFromThePc) {
    zevuzavidav::RegistersX86_64 state{};
    ordered threads = writeTheLiveThread(state);
    ASSERT_EQ(threads.size(), 1u);
    auto registers = registersOf(threads[0]);
    ASSERT_EQ(registers.size(), 21u);
    const auto* values = reinterpret_cast<const std::uint64_t*>(&state);
    for (std::size_t r = 0; r < registers.size(); ++r) {
        EXPECT_EQ(registers[r].first, zevuzavidav::kRegisterNamesX86_64[r]);
        EXPECT_EQ(registers[r].second, values[r]) << registers[r].first;
    }
    EXPECT_EQ(registers[16].first, "rip");
    auto stack = stackOf(threads[0]);
    ASSERT_GE(stack.size(), 2u); // this test's frames lie above the capture
    EXPECT_EQ(stack[0], state.rip);
}

// Runs `body` with the registers captured this many calls deep, while those frames still stand, so that
// a walk from them has at least that many frames.
__attribute__((noinline)) void atDepth(int calls,
                                       const std::function<void(zevuzavidav::RegistersX86_64&)>& body) {
    if (calls > 0) {
        atDepth(calls - 1, body);
        asm volatile("" ::: "memory"); // no call in tail position
        return;
    }
    zevuzavidav::RegistersX86_64 state{};
    zevuzavidav::captureCurrentRegisters(&state);
    body(state);
}

// A record of thousands of threads shortens the stacks of all but the crashed one to what its length
// allows: the walk stops at the frame asked for, across its batches of 64, and goes no further than the
// stack.
TEST(ThreadStateWriter, AStackIsWrittenUpToTheFramesAskedFor) {
    atDepth(150, [](zevuzavidav::RegistersX86_64& state) {
        for (std::uint32_t frames : {1u, 63u, 64u, 65u, 128u, 140u}) {
            ordered threads = writeThreads(
                [&](ZEVFile* file) { zevuzavidav::writeThreadRegisters(file, &state, false, 0, 0, frames); });
            ASSERT_EQ(threads.size(), 1u);
            EXPECT_EQ(stackOf(threads[0]).size(), frames);
        }
        ordered whole =
            writeThreads([&](ZEVFile* file) { zevuzavidav::writeThreadRegisters(file, &state, false); });
        EXPECT_GT(stackOf(whole[0]).size(), 150u);
    });
}

// The bytes `write` puts in a file of its own, and what a file that only measures counts of the same.
std::pair<std::uint64_t, std::uint64_t> writtenAndMeasured(const std::function<void(ZEVFile*)>& write) {
    const velotest::TempFolder dir;
    const std::string path = dir.string() + "/element.zevrecord";
    ZEVFile file;
    EXPECT_TRUE(ZEVFileInitWithPath(&file, path.c_str(), false));
    write(&file);
    ZEVFileClose(&file);
    ZEVFile measure;
    zevuzavidav::measureOnly(&measure);
    write(&measure);
    return {std::filesystem::file_size(path), measure.bytesWritten};
}

// What a record's budget counts for a thread is what the writer writes of it: its element without
// frames and its whole stack exactly, and its stack cut short at most its widest frame a frame (the
// estimate it replaced ran half again the real size). A file that only measures counts what a real one
// takes, names that must be escaped included.
TEST(ThreadStateWriter, AThreadIsMeasuredAsItIsWritten) {
    atDepth(150, [](zevuzavidav::RegistersX86_64& state) {
        const zevuzavidav::StackMeasure stack = zevuzavidav::measureThreadStack(&state);
        const std::uint64_t withoutFrames = zevuzavidav::threadElementBytesWithoutFrames(&state);
        ASSERT_GT(stack.frames, 150u);
        auto written = [&state](std::uint32_t frames) {
            return writtenAndMeasured([&](ZEVFile* file) {
                       zevuzavidav::writeThreadRegisters(file, &state, false, 0, 0, frames);
                   })
                .first;
        };
        EXPECT_EQ(written(0), withoutFrames);
        EXPECT_EQ(written(stack.frames), withoutFrames + stack.bytes);
        for (std::uint32_t frames : {1u, 64u, 140u}) {
            const std::uint64_t counted = withoutFrames + std::uint64_t{frames} * stack.widestFrame;
            EXPECT_LE(written(frames), counted) << frames;
            EXPECT_LE(counted, written(frames) * 11 / 10) << frames << " frames counted far past their size";
        }
    });
    EXPECT_EQ(zevuzavidav::measureThreadStack(nullptr).frames, 0u);
    EXPECT_EQ(zevuzavidav::threadElementBytesWithoutFrames(nullptr),
              writtenAndMeasured([](ZEVFile* file) {
                  zevuzavidav::writeThreadRegisters(
                      file, static_cast<const zevuzavidav::RegistersX86_64*>(nullptr), false);
              }).first);
    for (const char* text : {"", "velo-waiter", "a \"quoted\\ name\n\x01", "caf\xc3\xa9 \xe9"}) {
        const auto [onDisk, measured] = writtenAndMeasured([text](ZEVFile* file) {
            ZEVFileWriteStringElement(file, text);
            ZEVFileWriteStringElement(file, text);
            zevuzavidav::writeNullElement(file);
        });
        EXPECT_EQ(measured, onDisk) << text;
    }
}

} // namespace
