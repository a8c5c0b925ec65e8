#include "sdk/zevuzavidav/unwind/ZEVUnwind.hpp"
#include "platform/darwin/Images.hpp"
#include "sdk/zevuzavidav/unwind/DwarfFDEIndex.hpp"
#include "sdk/zevuzavidav/unwind/DwarfWalkCache.hpp"
#include "sdk/zevuzavidav/unwind/UnwindRuleCache.hpp"
#include "sdk/zevuzavidav/unwind/ZEVDwarfRegisters.hpp"
#include "tests/sdk/zevuzavidav/unwind/UnwindFuzz.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <csetjmp>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <elf.h>
#include <random>
#include <sys/mman.h>
#include <tuple>
#include <unwind.h>
#include <vector>

using namespace zevuzavidav;

namespace {

bool framePointerOnly = false;
bool noImages(std::uint64_t, zevuzavidav::BinaryImageNodeCopy*) {
    return false;
}

// How our walk goes: every step through the call-frame information, over rules kept from earlier
// steps (a frame at a time), or in batches of frames.
enum class Walker { fullSteps, keptRules, batches };
Walker walker = Walker::keptRules;

// Appends our walk's frames to `frames`; within the vector's capacity nothing is allocated, so a
// signal handler may walk into a vector reserved beforehand.
void appendOurFrames(const MachineContext& start, std::vector<std::uint64_t>& frames) {
    ZEVUnwindContext context;
    initUnwindWithImageFinder(&context, &start, framePointerOnly ? noImages : findImageWithDynamicLinker);
    context.useRuleCache = walker != Walker::fullSteps;
    if (walker == Walker::batches) {
        std::uint64_t pcs[5];
        std::uint32_t count = 0;
        do {
            count = unwindNextFrames(&context, pcs, 5);
            frames.insert(frames.end(), pcs, pcs + count);
        } while (count == 5);
        return;
    }
    while (ZEVUnwindNextFrame(&context))
        frames.push_back(ZEVUnwindGetPC(&context));
}

std::vector<std::uint64_t> ourFrames(const MachineContext& start) {
    std::vector<std::uint64_t> frames;
    appendOurFrames(start, frames);
    return frames;
}

_Unwind_Reason_Code collect(_Unwind_Context* context, void* raw) {
    static_cast<std::vector<std::uint64_t>*>(raw)->push_back(_Unwind_GetIP(context));
    return _URC_NO_REASON;
}

// Both walks, taken from the same function: our frame 0 is the return address of the capture call,
// the reference's frames start inside this function too; compare from the caller onwards.
// Ours is taken twice: the second walk finds the rules the first one kept.
struct Walks {
    std::vector<std::uint64_t> ours;
    std::vector<std::uint64_t> again;
    std::vector<std::uint64_t> reference;
    // Room for the longest walk (ours stops at 512 frames), for walks that must not allocate.
    void reserve() {
        for (auto* frames : {&ours, &again, &reference})
            frames->reserve(1024);
    }
};

__attribute__((noinline)) void takeWalks(Walks* walks) {
    MachineContext registers;
    captureCurrentRegisters(&registers);
    appendOurFrames(registers, walks->ours);
    appendOurFrames(registers, walks->again);
    _Unwind_Backtrace(collect, &walks->reference);
    asm volatile("" ::: "memory");
}

__attribute__((noinline)) void recurse(int depth, Walks* walks) {
    if (depth <= 1) {
        takeWalks(walks);
    } else {
        recurse(depth - 1, walks);
    }
    asm volatile("" ::: "memory");
}

void expectSameCallers(const Walks& walks) {
    // ours[0] is in takeWalks (a return address), the reference's [0] is _Unwind_Backtrace's caller site
    // in takeWalks too; from index 1 on both list the same return addresses.
    ASSERT_GE(walks.ours.size(), 3u);
    ASSERT_GE(walks.reference.size(), 3u);
    std::size_t n = std::min(walks.ours.size(), walks.reference.size()) - 1;
    for (std::size_t i = 1; i < n; ++i)
        EXPECT_EQ(walks.ours[i], walks.reference[i]) << "frame " << i;
    EXPECT_EQ(walks.again, walks.ours);
}

class UnwindDepth : public ::testing::TestWithParam<int> {};

TEST_P(UnwindDepth, MatchesTheSystemUnwinder) {
    Walks walks;
    recurse(GetParam(), &walks);
    expectSameCallers(walks);
    EXPECT_GE(walks.ours.size(), static_cast<std::size_t>(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Depths, UnwindDepth, ::testing::Values(1, 2, 17, 64, 200));

// The same recursion built four ways, so the call-frame rules the unwinder reads differ: unoptimised or
// optimised code, with or without a frame-pointer chain.
#define VELO_RECURSION(name, attributes)                                                                     \
    __attribute__((noinline, attributes)) void name(int depth, Walks* walks) {                               \
        volatile int keep = depth;                                                                           \
        if (depth <= 1) {                                                                                    \
            takeWalks(walks);                                                                                \
        } else {                                                                                             \
            name(depth - 1, walks);                                                                          \
        }                                                                                                    \
        asm volatile("" ::"r"(keep) : "memory");                                                             \
    }
#if defined(__clang__)
// clang chooses neither the optimisation level nor the frame pointer per function: only whether it is
// optimised at all, so its four are two pairs.
#define VELO_UNOPTIMISED(...) optnone
#define VELO_OPTIMISED(...) used
#else
#define VELO_UNOPTIMISED(...) optimize("O0" __VA_OPT__(, ) __VA_ARGS__)
#define VELO_OPTIMISED(...) optimize("O2" __VA_OPT__(, ) __VA_ARGS__)
#endif
VELO_RECURSION(recurseO0WithFramePointer, VELO_UNOPTIMISED("no-omit-frame-pointer"))
VELO_RECURSION(recurseO0WithoutFramePointer, VELO_UNOPTIMISED("omit-frame-pointer"))
VELO_RECURSION(recurseO2WithFramePointer, VELO_OPTIMISED("no-omit-frame-pointer"))
VELO_RECURSION(recurseO2WithoutFramePointer, VELO_OPTIMISED("omit-frame-pointer"))
#undef VELO_RECURSION

using Recursion = void (*)(int, Walks*);

class UnwindBuild : public ::testing::TestWithParam<std::tuple<Recursion, int, Walker>> {
  protected:
    void TearDown() override { walker = Walker::keptRules; }
};

TEST_P(UnwindBuild, MatchesTheSystemUnwinderForEveryBuildOfTheCode) {
    auto [recursion, depth, how] = GetParam();
    walker = how;
    clearUnwindRuleCache(); // the first walk of each finds nothing kept
    Walks walks;
    recursion(depth, &walks);
    expectSameCallers(walks);
    EXPECT_GE(walks.ours.size(), static_cast<std::size_t>(depth));
}

INSTANTIATE_TEST_SUITE_P(
    Builds, UnwindBuild,
    ::testing::Combine(::testing::Values(recurseO0WithFramePointer, recurseO0WithoutFramePointer,
                                         recurseO2WithFramePointer, recurseO2WithoutFramePointer),
                       ::testing::Values(1, 2, 50, 200),
                       ::testing::Values(Walker::fullSteps, Walker::keptRules, Walker::batches)));

// Every register a kept rule restores, at once or when a batch stops, is what the full step through
// the call-frame information restores, frame by frame. Each level keeps values of its own in
// callee-saved registers across its call.
std::vector<MachineContext> perFrame;
std::vector<std::pair<std::uint32_t, MachineContext>> perBatch;

__attribute__((noinline)) void recordRegisters() {
    MachineContext start;
    captureCurrentRegisters(&start);
    ZEVUnwindContext context;
    initUnwindWithImageFinder(&context, &start, findImageWithDynamicLinker);
    context.useRuleCache = false;
    while (ZEVUnwindNextFrame(&context))
        perFrame.push_back(context.registers);
    for (int pass = 0; pass < 2; ++pass) { // the second over rules kept by the first
        initUnwindWithImageFinder(&context, &start, findImageWithDynamicLinker);
        std::uint64_t pcs[3];
        while (unwindNextFrames(&context, pcs, 3) == 3)
            perBatch.emplace_back(context.frameCount, context.registers);
    }
    asm volatile("" ::: "memory");
}

__attribute__((noinline, VELO_OPTIMISED())) void keepInRegisters(int depth) {
    long a = depth * 3 + 1, b = depth * 5 + 2, c = depth * 7 + 3;
    asm volatile("" : "+r"(a), "+r"(b), "+r"(c));
    if (depth <= 1) {
        recordRegisters();
    } else {
        keepInRegisters(depth - 1);
    }
    asm volatile("" ::"r"(a), "r"(b), "r"(c) : "memory");
}

TEST(Unwind, KeptRulesRestoreWhatTheFullStepRestores) {
    clearUnwindRuleCache();
    perFrame.clear();
    perBatch.clear();
    keepInRegisters(40);
    ASSERT_GT(perFrame.size(), 40u);
    ASSERT_GT(perBatch.size(), 20u);
    for (const auto& [frames, registers] : perBatch) {
        ASSERT_LE(frames, perFrame.size());
        const MachineContext& expected = perFrame[frames - 1];
        EXPECT_EQ(registers.rip, expected.rip) << frames;
        EXPECT_EQ(registers.rsp, expected.rsp) << frames;
        EXPECT_EQ(registers.rbp, expected.rbp) << frames;
        EXPECT_EQ(registers.rbx, expected.rbx) << frames;
        EXPECT_EQ(registers.r12, expected.r12) << frames;
        EXPECT_EQ(registers.r13, expected.r13) << frames;
        EXPECT_EQ(registers.r14, expected.r14) << frames;
        EXPECT_EQ(registers.r15, expected.r15) << frames;
    }
}

TEST(Unwind, FollowsTheFramePointerChainWhenNoCallFrameInformationIsFound) {
    Walks walks;
    framePointerOnly = true;
    recurseO0WithFramePointer(20, &walks);
    framePointerOnly = false;
    // The chain runs through the frame-pointer code and ends where callers stop keeping one; every
    // frame it gives is the one the system unwinder gives at the same depth.
    ASSERT_GE(walks.ours.size(), 21u);
    for (std::size_t i = 1; i + 1 < walks.ours.size() && i < walks.reference.size(); ++i) {
        EXPECT_EQ(walks.ours[i], walks.reference[i]) << "frame " << i;
    }
}

Walks* qsortWalks = nullptr;
int compareAndWalk(const void* a, const void* b) {
    if (qsortWalks != nullptr && qsortWalks->ours.empty()) takeWalks(qsortWalks);
    return *static_cast<const int*>(a) - *static_cast<const int*>(b);
}

TEST(Unwind, WalksThroughAQsortCallbackInTheCLibrary) {
    Walks walks;
    qsortWalks = &walks;
    int values[] = {3, 1, 2};
    std::qsort(values, 3, sizeof(int), compareAndWalk);
    qsortWalks = nullptr;
    expectSameCallers(walks);
}

// Reserved before the signal: a handler allocates nothing.
Walks signalWalks;
void walkingHandler(int) {
    takeWalks(&signalWalks);
}

TEST(Unwind, WalksOutOfASignalHandlerThroughTheSignalFrame) {
    signalWalks = Walks{};
    signalWalks.reserve();
    struct sigaction action {
    }, previous{};
    action.sa_handler = walkingHandler;
    sigaction(SIGUSR1, &action, &previous);
    raise(SIGUSR1);
    sigaction(SIGUSR1, &previous, nullptr);
    expectSameCallers(signalWalks);
    EXPECT_GE(signalWalks.ours.size(), 6u); // through the signal frame, raise and this test
}

// Calls the address it is handed from a frame of its own, with call-frame information: the call's return
// address is velo_unwind_test_after_call.
extern "C" void velo_unwind_test_call_through(std::uintptr_t target);
extern "C" const char velo_unwind_test_after_call[];
asm(R"(
    .text
    .globl velo_unwind_test_call_through
    .hidden velo_unwind_test_call_through
    .type velo_unwind_test_call_through, @function
velo_unwind_test_call_through:
    .cfi_startproc
    pushq %rbp
    .cfi_adjust_cfa_offset 8
    .cfi_rel_offset %rbp, 0
    movq %rsp, %rbp
    callq *%rdi
    .globl velo_unwind_test_after_call
    .hidden velo_unwind_test_after_call
velo_unwind_test_after_call:
    popq %rbp
    .cfi_adjust_cfa_offset -8
    .cfi_restore %rbp
    ret
    .cfi_endproc
    .size velo_unwind_test_call_through, .-velo_unwind_test_call_through
)");

// Where a call into no image goes: the null page, or a page of no image, unmapped or not code.
enum class Target { null, nullPage, unmapped, notCode };

// A call into no image faults at its target. Our walk from the fault is taken in the handler, while
// the stack is as the fault left it, into frames reserved beforehand; the handler then jumps back.
std::vector<std::uint64_t> fromTheFault;
sigjmp_buf backFromTheFault;

void walkFromTheFault(int, siginfo_t*, void* raw) {
    MachineContext at;
    machineContextFromMcontext(static_cast<ucontext_t*>(raw)->uc_mcontext, &at);
    appendOurFrames(at, fromTheFault);
    siglongjmp(backFromTheFault, 1);
}

// Calls into `target` and, first, walks from here into `here`: its frames from 1 on are this
// function's callers.
__attribute__((noinline)) void callIntoNoImage(std::uintptr_t target, std::vector<std::uint64_t>& here) {
    MachineContext registers;
    captureCurrentRegisters(&registers);
    appendOurFrames(registers, here);
    if (sigsetjmp(backFromTheFault, 1) == 0) velo_unwind_test_call_through(target);
    asm volatile("" ::: "memory");
}

class UnwindCallIntoNoImage : public ::testing::TestWithParam<std::tuple<Target, Walker>> {
  protected:
    void TearDown() override { walker = Walker::keptRules; }
};

TEST_P(UnwindCallIntoNoImage, StartsAtTheTargetThenTheReturnAddressAndGoesOnToTheCallers) {
    const auto [target, how] = GetParam();
    walker = how;
    fromTheFault.clear();
    fromTheFault.reserve(1024);
    std::vector<std::uint64_t> here;
    here.reserve(1024); // nothing is mapped between the unmapping and the call
    const auto page = static_cast<std::uint8_t*>(
        mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(page, MAP_FAILED);
    if (target == Target::unmapped) munmap(page, 4096);
    const std::uintptr_t pc = target == Target::null       ? 0
                              : target == Target::nullPage ? 0x28
                                                           : reinterpret_cast<std::uintptr_t>(page) + 0x40;
    struct sigaction action {
    }, previous{};
    action.sa_sigaction = walkFromTheFault;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    sigaction(SIGSEGV, &action, &previous);
    callIntoNoImage(pc, here);
    sigaction(SIGSEGV, &previous, nullptr);
    if (target != Target::unmapped) munmap(page, 4096);

    // The target, the call's return address, the return address into callIntoNoImage, then its callers.
    ASSERT_GE(fromTheFault.size(), 4u) << ::testing::PrintToString(fromTheFault);
    ASSERT_GE(here.size(), 2u);
    EXPECT_EQ(fromTheFault[0], pc);
    EXPECT_EQ(fromTheFault[1], reinterpret_cast<std::uint64_t>(velo_unwind_test_after_call));
    EXPECT_EQ(std::vector<std::uint64_t>(fromTheFault.begin() + 3, fromTheFault.end()),
              std::vector<std::uint64_t>(here.begin() + 1, here.end()));
}

std::string nameOfCallIntoNoImage(const ::testing::TestParamInfo<std::tuple<Target, Walker>>& info) {
    static const char* const targets[] = {"Null", "NullPage", "Unmapped", "NotCode"};
    static const char* const walkers[] = {"FullSteps", "KeptRules", "Batches"};
    return std::string(targets[static_cast<int>(std::get<0>(info.param))]) +
           walkers[static_cast<int>(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(
    Targets, UnwindCallIntoNoImage,
    ::testing::Combine(::testing::Values(Target::null, Target::nullPage, Target::unmapped, Target::notCode),
                       ::testing::Values(Walker::fullSteps, Walker::keptRules, Walker::batches)),
    nameOfCallIntoNoImage);

// A page standing for an image's code (no call-frame information), and the finder that finds it.
std::uintptr_t fakeImage = 0;
bool findFakeImage(std::uint64_t address, zevuzavidav::BinaryImageNodeCopy* out) {
    if (address < fakeImage || address - fakeImage >= 4096) return false;
    *out = zevuzavidav::BinaryImageNodeCopy{fakeImage, 4096, 0, 0, 0};
    return true;
}

// A walk over the fake image, frame by frame and in batches: the two must agree.
std::vector<std::uint64_t> walkOverFakeImage(const MachineContext& start) {
    std::vector<std::uint64_t> byFrame, inBatches(kUnwindMaxFrames);
    ZEVUnwindContext context;
    initUnwindWithImageFinder(&context, &start, findFakeImage);
    while (ZEVUnwindNextFrame(&context))
        byFrame.push_back(ZEVUnwindGetPC(&context));
    EXPECT_FALSE(ZEVUnwindNextFrame(&context)) << "the walk went on after it had ended";
    initUnwindWithImageFinder(&context, &start, findFakeImage);
    inBatches.resize(unwindNextFrames(&context, inBatches.data(), kUnwindMaxFrames));
    EXPECT_EQ(unwindNextFrames(&context, inBatches.data(), kUnwindMaxFrames), 0u);
    EXPECT_EQ(inBatches, byFrame);
    return byFrame;
}

class UnwindWithAFakeImage : public ::testing::Test {
  protected:
    void SetUp() override {
        void* page = mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        ASSERT_NE(page, MAP_FAILED);
        fakeImage = reinterpret_cast<std::uintptr_t>(page);
    }
    void TearDown() override {
        munmap(reinterpret_cast<void*>(fakeImage), 4096);
        fakeImage = 0;
    }
    // A return address into the fake image whose 8 bytes before it are `before`.
    static std::uint64_t returnAfter(const std::array<std::uint8_t, 8>& before) {
        std::memcpy(reinterpret_cast<void*>(fakeImage + 0x100), before.data(), before.size());
        return fakeImage + 0x108;
    }
};

// The word at sp is taken as the return address of a call into no image only right after a call
// instruction, direct or indirect in any of its encodings; no frame pointer is left to go on with.
TEST_F(UnwindWithAFakeImage, ACallIntoNoImageIsSteppedOverOnlyByAReturnAddressRightAfterACall) {
    struct Case {
        const char* code;
        std::array<std::uint8_t, 8> before;
        bool taken;
    };
    const Case cases[] = {
        {"call rel32", {0x90, 0x90, 0x90, 0xe8, 0x10, 0x20, 0x30, 0x40}, true},
        {"call *%rax", {0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0xff, 0xd0}, true},
        {"call *%r12", {0x90, 0x90, 0x90, 0x90, 0x90, 0x41, 0xff, 0xd4}, true},
        {"notrack call *%rdx", {0x90, 0x90, 0x90, 0x90, 0x90, 0x3e, 0xff, 0xd2}, true},
        {"call *(%rax)", {0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0xff, 0x10}, true},
        {"call *0x18(%rax)", {0x90, 0x90, 0x90, 0x90, 0x90, 0xff, 0x50, 0x18}, true},
        {"call *0x128(%rbx)", {0x90, 0x90, 0xff, 0x93, 0x28, 0x01, 0x00, 0x00}, true},
        {"call *0x10(%rip)", {0x90, 0x90, 0xff, 0x15, 0x10, 0x00, 0x00, 0x00}, true},
        {"call *(%rax,%rbx,8)", {0x90, 0x90, 0x90, 0x90, 0x90, 0xff, 0x14, 0xd8}, true},
        {"call *0x8(%rax,%rbx,8)", {0x90, 0x90, 0x90, 0x90, 0xff, 0x54, 0xd8, 0x08}, true},
        {"call *0x100(,%rbx,8)", {0x90, 0xff, 0x14, 0xdd, 0x00, 0x01, 0x00, 0x00}, true},
        {"jmp *%rax", {0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0xff, 0xe0}, false},
        {"a call one byte further back", {0x90, 0x90, 0x90, 0x90, 0xff, 0x50, 0x18, 0x90}, false},
        {"call *(%rax,%rbx,8) without its SIB byte", {0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0xff, 0x14}, false},
        {"a function's end", {0x5d, 0xc3, 0xcc, 0xcc, 0xcc, 0xcc, 0xcc, 0xcc}, false},
        {"zeros", {0, 0, 0, 0, 0, 0, 0, 0}, false},
    };
    const std::uintptr_t unmapped = [] {
        void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        munmap(page, 4096);
        return reinterpret_cast<std::uintptr_t>(page);
    }();
    for (const Case& c : cases) {
        for (const std::uint64_t pc : {std::uint64_t{0}, std::uint64_t{unmapped + 0x10}}) {
            std::uint64_t stack[4] = {returnAfter(c.before), 0, 0, 0};
            MachineContext registers{};
            registers.rip = pc;
            registers.rsp = reinterpret_cast<std::uint64_t>(&stack[0]);
            const auto expected =
                c.taken ? std::vector<std::uint64_t>{pc, stack[0]} : std::vector<std::uint64_t>{pc};
            EXPECT_EQ(walkOverFakeImage(registers), expected) << c.code << ", pc " << pc;
        }
    }
}

// A word at sp that is no return address ends the walk at the target: one outside every image, one
// below 4096, or none at all where sp lies on a page that cannot be read. A return address in no image
// is not stepped over at all: its frame's sp lies above it, where no call has just pushed anything.
TEST_F(UnwindWithAFakeImage, AWalkFromACallIntoNoImageTakesNoOtherWordForItsReturnAddress) {
    const std::uint64_t afterCall = returnAfter({0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0xff, 0xd0});
    void* unreadable = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(unreadable, MAP_FAILED);
    const auto elsewhere = reinterpret_cast<std::uint64_t>(unreadable);
    std::uint64_t outside[2] = {elsewhere + 0x100, 0};
    std::uint64_t low[2] = {0x18, 0};
    for (const std::uint64_t sp : {reinterpret_cast<std::uint64_t>(outside),
                                   reinterpret_cast<std::uint64_t>(low), elsewhere + 0x200}) {
        MachineContext registers{};
        registers.rsp = sp;
        EXPECT_EQ(walkOverFakeImage(registers), std::vector<std::uint64_t>{0}) << std::hex << sp;
    }
    // Frame 0 in no image with no return address at sp; its frame pointer leads to a return address in
    // no image, above which lies one right after a call.
    std::uint64_t stack[5] = {0, 0, 0, elsewhere + 0x300, afterCall};
    MachineContext registers{};
    registers.rip = elsewhere + 0x10;
    registers.rsp = reinterpret_cast<std::uint64_t>(&stack[0]);
    registers.rbp = reinterpret_cast<std::uint64_t>(&stack[2]);
    EXPECT_EQ(walkOverFakeImage(registers),
              (std::vector<std::uint64_t>{elsewhere + 0x10, elsewhere + 0x300}));
    munmap(unreadable, 4096);
}

TEST(Unwind, InvalidRegistersGiveNoFramesAndTheLimitIs512) {
    MachineContext registers{};
    registers.rip = 0x401000;
    registers.rsp = 0x10;
    EXPECT_TRUE(ourFrames(registers).empty());
    EXPECT_FALSE(ZEVUnwindNextFrame(nullptr));
    // A self-referencing frame-pointer record must not loop: the chain does not move up. (The word at sp
    // is no return address, so the pc in no image is not stepped over by it.)
    std::uint64_t stack[10] = {};
    std::uint64_t* record = &stack[8];
    record[0] = reinterpret_cast<std::uint64_t>(&record[0]);
    record[1] = 0x401000;
    registers.rip = 0x500000;
    registers.rsp = reinterpret_cast<std::uint64_t>(&stack[0]);
    registers.rbp = reinterpret_cast<std::uint64_t>(&record[0]);
    auto frames = ourFrames(registers);
    EXPECT_LE(frames.size(), 2u);
}

// The first `size` bytes of this program's own .eh_frame: real CIEs and FDEs to mutate.
unwindfuzz::Bytes ownCallFrameTables(std::size_t size) {
    darwin::ImageInfo image;
    if (!darwin::findImage(reinterpret_cast<std::uintptr_t>(&ownCallFrameTables), image) ||
        image.ehFrame == 0)
        return {};
    const auto* start = reinterpret_cast<const std::uint8_t*>(image.ehFrame);
    return unwindfuzz::Bytes(start, start + size);
}

// Where each FDE of a run of records starts.
std::vector<std::size_t> fdeOffsets(const unwindfuzz::Bytes& tables) {
    std::vector<std::size_t> offsets;
    for (std::size_t at = 0; at + 8 <= tables.size();) {
        std::uint32_t length = 0, id = 0;
        std::memcpy(&length, &tables[at], 4);
        std::memcpy(&id, &tables[at + 4], 4);
        if (length == 0 || length == 0xFFFFFFFF) break;
        if (id != 0) offsets.push_back(at);
        at += 4 + static_cast<std::size_t>(length);
    }
    return offsets;
}

TEST(Unwind, DwarfReadersKeepToTheTablesTheyAreGiven) {
    const unwindfuzz::Bytes tables = ownCallFrameTables(4096);
    const std::vector<std::size_t> fdes = fdeOffsets(tables);
    ASSERT_GT(fdes.size(), 10u);
    std::mt19937 random(99);
    for (int round = 0; round < 3000; ++round) {
        // Control: .eh_frame right after it, an FDE (mostly a real one), an index and a pc anywhere.
        unwindfuzz::Bytes input(8);
        const std::uint16_t fde =
            static_cast<std::uint16_t>(round % 4 == 0 ? random() : fdes[random() % fdes.size()]);
        const std::uint16_t control[4] = {8, fde, static_cast<std::uint16_t>(random()),
                                          static_cast<std::uint16_t>(random())};
        std::memcpy(input.data(), control, sizeof control);
        if (round % 3 == 2) { // garbage, behind a plausible index
            input.resize(8 + 1024 + random() % 2048);
            for (std::size_t i = 8; i < input.size(); ++i)
                input[i] = static_cast<std::uint8_t>(random());
            const std::size_t header = control[2] % input.size();
            const std::uint8_t plausible[] = {1, 0x1B, 0x03, 0x3B};
            for (std::size_t i = 0; i < 4 && header + i < input.size(); ++i)
                input[header + i] = plausible[i];
        } else { // real tables with a few bytes changed, or cut short
            input.insert(input.end(), tables.begin(), tables.end());
            for (int edit = 1 + static_cast<int>(random() % 6); edit > 0; --edit) {
                const bool nearTheFde = random() % 2 == 0; // its header, and the CIE pointer
                const std::size_t at = nearTheFde ? 8 + fde + random() % 64 : 8 + random() % tables.size();
                if (at >= input.size()) continue;
                if (random() % 8 == 0) {
                    input.resize(at);
                    break;
                }
                input[at] = random() % 2 ? static_cast<std::uint8_t>(random())
                                         : input[at] ^ static_cast<std::uint8_t>(1u << (random() % 8));
            }
        }
        const char* broken = unwindfuzz::dwarfTablesHold(input.data(), input.size());
        ASSERT_EQ(broken, nullptr) << broken << " (round " << round << ")";
    }
}

// Found by the tables' fuzzer: an index whose .eh_frame pointer leads outside the tables names an FDE
// inside them that claims more bytes than they hold. Its end is where the memory it lies in ends, so
// it is refused rather than handed back with instructions running past the tables.
TEST(Unwind, AnFDEFoundThroughAnIndexEndsWithTheMemoryItLiesIn) {
    const unwindfuzz::Bytes input = {
        0x01, 0x39, 0x13, 0x00, 0x0d, 0x00, 0x0b, 0x3b, 0x00, 0xaa, 0x00, 0x4b, 0x01, 0x01, 0x00, 0x00,
        0x3b, 0x00, 0x00, 0x00, 0xff, 0xff, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x0d, 0x00, 0x0b, 0x3b, 0x00, 0xa8, 0x00, 0x4b, 0x01, 0x01, 0x00, 0x00, 0x3b, 0x00, 0x00,
        0x00, 0xff, 0xff, 0x2f, 0x2e, 0x0b, 0x3b, 0x00, 0xaa, 0x00, 0x4b, 0x01, 0x01, 0x00, 0x00, 0x3b,
        0x00, 0x00, 0x00, 0xff, 0xff, 0x82, 0xc0, 0x01, 0x48, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,
        0x4b, 0x01, 0x01, 0x00, 0x00, 0x3b, 0x00, 0x00, 0x00, 0xff, 0xff, 0x00, 0x00, 0x00, 0x02, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0d, 0x00, 0x00, 0x01, 0x00, 0x09, 0x6a, 0x09};
    const char* broken = unwindfuzz::dwarfTablesHold(input.data(), input.size());
    EXPECT_EQ(broken, nullptr) << broken;
}

// A one-function image whose tables end where its mapping ends, a page no one may read right after:
// an ELF header, one loadable segment, an index of one entry, a CIE (CFA = rsp + 8, the return address
// at CFA - 8) and an FDE for the image's 256 bytes, its instructions nops up to the end.
class ImageAtAGuardPage {
  public:
    static constexpr std::size_t kSize = 256;
    static constexpr std::size_t kHeader = 120, kEhFrame = 144, kFde = 168;

    // `claimed`: bytes the FDE's length claims past the image's end; `augmentation`: the FDE's
    // augmentation length.
    ImageAtAGuardPage(std::uint32_t claimed, std::uint8_t augmentation) {
        page_ = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        void* mapping =
            ::mmap(nullptr, 2 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapping == MAP_FAILED) return;
        mapping_ = static_cast<std::uint8_t*>(mapping);
        ::mprotect(mapping_ + page_, page_, PROT_NONE);
        std::uint8_t* image = mapping_ + page_ - kSize;
        std::memset(image, 0, kSize); // DW_CFA_nop
        Elf64_Ehdr elf{};
        std::memcpy(elf.e_ident, ELFMAG, SELFMAG);
        elf.e_ident[EI_CLASS] = ELFCLASS64;
        elf.e_phoff = sizeof elf;
        elf.e_phentsize = sizeof(Elf64_Phdr);
        elf.e_phnum = 1;
        Elf64_Phdr segment{};
        segment.p_type = PT_LOAD;
        segment.p_flags = PF_R;
        segment.p_memsz = kSize;
        std::memcpy(image, &elf, sizeof elf);
        std::memcpy(image + sizeof elf, &segment, sizeof segment);
        auto put32 = [&](std::size_t at, std::int64_t value) {
            const auto word = static_cast<std::uint32_t>(value);
            std::memcpy(image + at, &word, 4);
        };
        const std::uint8_t header[] = {1, 0x1B, 0x03, 0x3B};
        std::memcpy(image + kHeader, header, sizeof header);
        put32(kHeader + 4, static_cast<std::int64_t>(kEhFrame) - (kHeader + 4)); // .eh_frame, pc-relative
        put32(kHeader + 8, 1);
        put32(kHeader + 12, -static_cast<std::int64_t>(kHeader)); // the function starts at the image's start
        put32(kHeader + 16, static_cast<std::int64_t>(kFde) - kHeader);
        const std::uint8_t cie[] = {20, 0,    0,  0, 0,    0,    0, 0, 1,    'z', 'R', 0,
                                    1,  0x78, 16, 1, 0x1B, 0x0C, 7, 8, 0x90, 1,   0,   0};
        std::memcpy(image + kEhFrame, cie, sizeof cie);
        put32(kFde, static_cast<std::int64_t>(kSize - kFde - 4 + claimed));
        put32(kFde + 4, kFde + 4 - kEhFrame);
        put32(kFde + 8, -static_cast<std::int64_t>(kFde + 8)); // pc begin, pc-relative
        put32(kFde + 12, kSize);
        image[kFde + 16] = augmentation;
        image_ = image;
    }
    ~ImageAtAGuardPage() {
        if (mapping_ != nullptr) ::munmap(mapping_, 2 * page_);
    }
    ImageAtAGuardPage(const ImageAtAGuardPage&) = delete;
    ImageAtAGuardPage& operator=(const ImageAtAGuardPage&) = delete;

    std::uintptr_t base() const { return reinterpret_cast<std::uintptr_t>(image_); }

  private:
    std::size_t page_ = 0;
    std::uint8_t* mapping_ = nullptr;
    std::uint8_t* image_ = nullptr;
};

// A walk reads the FDEs of an image it proved mapped where they lie. One that claims more bytes than
// its image holds, or an augmentation running past its record, is refused, never read past its end.
TEST(Unwind, AWalkReadsAnFDEInPlaceOnlyWithinItsImage) {
    struct Case {
        const char* what;
        std::uint32_t claimed;
        std::uint8_t augmentation;
        bool read;
    };
    const Case cases[] = {
        {"an FDE that ends with its image", 0, 0, true},
        {"an augmentation that ends with its record", 0,
         ImageAtAGuardPage::kSize - ImageAtAGuardPage::kFde - 17, true},
        {"an FDE that claims a word more", 4, 0, false},
        {"an FDE that claims a page more", 4096, 0, false},
        {"an augmentation a byte past its record", 0, ImageAtAGuardPage::kSize - ImageAtAGuardPage::kFde - 16,
         false},
    };
    for (const Case& c : cases) {
        const ImageAtAGuardPage image(c.claimed, c.augmentation);
        ASSERT_NE(image.base(), 0u) << c.what;
        clearProvenDwarfImages();
        UnwindMemory memory;
        initUnwindMemory(&memory);
        DwarfWalkCache walk;
        initDwarfWalkCache(&walk);
        ZEVDwarfRegisterRules rules;
        bool signalFrame = false;
        std::uint64_t ruled = 0;
        const bool read =
            computeDwarfRulesForWalk(&walk, image.base() + ImageAtAGuardPage::kHeader, image.base(),
                                     image.base(), &rules, &signalFrame, &ruled, &memory);
        EXPECT_EQ(read, c.read) << c.what;
        if (read && c.read) {
            EXPECT_EQ(rules.cfaRegister, 7u) << c.what;
            EXPECT_EQ(rules.cfaOffset, 8) << c.what;
            EXPECT_EQ(rules.registers[16].kind, kDwarfRuleOffset) << c.what;
        }
    }
    clearProvenDwarfImages();
}

// An index's segment is found by where it lies from the image's lowest loadable segment, whatever
// order the program headers list them in.
TEST(Unwind, AnIndexIsProvenInTheSegmentThatHoldsItByTheLowestSegment) {
    constexpr std::size_t kSize = 512, kHeader = 192, kEhFrame = 256;
    struct Case {
        const char* what;
        std::vector<Elf64_Phdr> segments;
        bool proven;
    };
    const Case cases[] = {
        {"one readable segment", {{PT_LOAD, PF_R, 0, 0, 0, 0, kSize, 0}}, true},
        {"one loaded above address 0", {{PT_LOAD, PF_R, 0, 0x1000, 0, 0, kSize, 0}}, true},
        {"a higher one listed first",
         {{PT_LOAD, PF_X, 0, 0x10000, 0, 0, 16, 0}, {PT_LOAD, PF_R, 0, 0, 0, 0, kSize, 0}},
         true},
        {"a lower one listed after",
         {{PT_LOAD, PF_R, 0, 0x1000, 0, 0, kSize, 0}, {PT_LOAD, PF_X, 0, 0, 0, 0, 16, 0}},
         false},
        {"a first one at the end of memory",
         {{PT_LOAD, 0, 0, ~0ULL, 0, 0, 0, 0},
          {PT_DYNAMIC, PF_R, 0, 0, 0, 0, 8, 0},
          {PT_LOAD, PF_R, 0, 0, 0, 0, kSize, 0}},
         true},
        {"a segment no one may read", {{PT_LOAD, PF_X, 0, 0, 0, 0, kSize, 0}}, false},
    };
    for (const Case& c : cases) {
        alignas(64) std::uint8_t image[kSize] = {};
        Elf64_Ehdr elf{};
        std::memcpy(elf.e_ident, ELFMAG, SELFMAG);
        elf.e_ident[EI_CLASS] = ELFCLASS64;
        elf.e_phoff = sizeof elf;
        elf.e_phentsize = sizeof(Elf64_Phdr);
        elf.e_phnum = static_cast<Elf64_Half>(c.segments.size());
        std::memcpy(image, &elf, sizeof elf);
        std::memcpy(image + sizeof elf, c.segments.data(), c.segments.size() * sizeof(Elf64_Phdr));
        const std::uint8_t header[] = {1, 0x1B, 0x03, 0x3B};
        std::memcpy(image + kHeader, header, sizeof header);
        const std::int32_t words[] = {static_cast<std::int32_t>(kEhFrame - (kHeader + 4)), 1};
        std::memcpy(image + kHeader + 4, words, sizeof words);
        clearProvenDwarfImages();
        UnwindMemory memory;
        initUnwindMemory(&memory);
        DwarfFDEIndex index;
        const auto base = reinterpret_cast<std::uintptr_t>(image);
        ASSERT_TRUE(initDwarfFDEIndex(&index, base, base + kHeader, &memory)) << c.what;
        EXPECT_EQ(index.ehFrame, base + kEhFrame) << c.what;
        EXPECT_EQ(index.ehFrameEnd, c.proven ? base + kSize : 0) << c.what;
    }
    clearProvenDwarfImages();
}

// A walk's input: rip, rsp and rbp, the control word, then a frame-pointer chain of `links` records
// in the input itself, each returning to an address outside it.
unwindfuzz::Bytes framePointerChain(std::size_t links, std::mt19937& random) {
    unwindfuzz::Bytes input;
    unwindfuzz::putWord(input, 0, 0x401000 + random() % 4096);
    unwindfuzz::putWord(input, 8, unwindfuzz::relocated(32));
    unwindfuzz::putWord(input, 16, unwindfuzz::relocated(32));
    unwindfuzz::putWord(input, 24, 2 | (random() % 4096) << 16); // an image over the input
    for (std::size_t link = 0; link < links; ++link) {
        const std::size_t at = 32 + 16 * link;
        unwindfuzz::putWord(input, at, link + 1 < links ? unwindfuzz::relocated(at + 16) : 0);
        unwindfuzz::putWord(input, at + 8, 0x500000 + random() % 0x10000);
    }
    return input;
}

TEST(Unwind, WalksOverGarbageEndCleanlyWithinTheFrameLimit) {
    std::mt19937 random(7);
    std::uint32_t deepest = 0;
    for (int round = 0; round < 400; ++round) {
        unwindfuzz::Bytes input;
        if (round % 2 == 0) { // chains short and long, some with words turned to garbage
            input = framePointerChain(random() % 1200, random);
            for (int noise = round % 8 == 0 ? 1 + static_cast<int>(random() % 4) : 0; noise > 0; --noise)
                unwindfuzz::putWord(input, 8 * (random() % (input.size() / 8)),
                                    random() % 3 == 0 ? unwindfuzz::relocated(random()) : random());
        } else { // garbage throughout, a quarter of its words pointing into itself
            input.resize(32 + 8 * (random() % 1024));
            for (std::size_t at = 0; at + 8 <= input.size(); at += 8)
                unwindfuzz::putWord(input, at,
                                    random() % 4 == 0 ? unwindfuzz::relocated(random())
                                                      : std::uint64_t(random()) << 32 | random());
        }
        std::uint32_t frames = 0;
        const char* broken = unwindfuzz::dwarfWalkHolds(input.data(), input.size(), &frames);
        ASSERT_EQ(broken, nullptr) << broken << " (round " << round << ")";
        deepest = std::max(deepest, frames);
    }
    EXPECT_EQ(deepest, kUnwindMaxFrames); // the long chains reached the limit
}

} // namespace
