#include "tests/sdk/zevuzavidav/unwind/UnwindFuzz.hpp"

#include "platform/darwin/Threads.hpp"
#include "sdk/zevuzavidav/unwind/DwarfFDEIndex.hpp"
#include "sdk/zevuzavidav/unwind/DwarfPackedRule.hpp"
#include "sdk/zevuzavidav/unwind/UnwindRuleCache.hpp"
#include "sdk/zevuzavidav/unwind/ZEVDwarfInstructions.hpp"
#include "sdk/zevuzavidav/unwind/ZEVDwarfRegisters.hpp"
#include "sdk/zevuzavidav/unwind/ZEVUnwind.hpp"
#include "sdk/zevuzavidav/unwind/arm64/ZEVUnwindArm64.hpp"

#include <cstring>
#include <link.h>
#include <sys/mman.h>
#include <unistd.h>

namespace unwindfuzz {

using namespace zevuzavidav;

namespace {

constexpr std::uint64_t kNullLimit = 4096;

// The input's copy, ending right before an unreadable page and starting within a page after another.
class GuardedCopy {
  public:
    GuardedCopy(const std::uint8_t* data, std::size_t size) : size_(size) {
        page_ = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        dataPages_ = size / page_ + 1;
        void* mapping = ::mmap(nullptr, (dataPages_ + 2) * page_, PROT_READ | PROT_WRITE,
                               MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapping == MAP_FAILED) return;
        mapping_ = static_cast<std::uint8_t*>(mapping);
        ::mprotect(mapping_, page_, PROT_NONE);
        ::mprotect(mapping_ + (dataPages_ + 1) * page_, page_, PROT_NONE);
        start_ = mapping_ + (dataPages_ + 1) * page_ - size;
        if (size > 0) std::memcpy(start_, data, size);
        for (std::size_t at = 0; at + 8 <= size; at += 8) {
            std::uint64_t word = this->word(at);
            if (word >> 32 == kRelocationMark) setWord(at, address() + (word & 0xFFFFFFFFULL) % size);
        }
    }
    ~GuardedCopy() {
        if (mapping_ != nullptr) ::munmap(mapping_, (dataPages_ + 2) * page_);
    }
    GuardedCopy(const GuardedCopy&) = delete;
    GuardedCopy& operator=(const GuardedCopy&) = delete;

    bool made() const { return mapping_ != nullptr; }
    std::uintptr_t address() const { return reinterpret_cast<std::uintptr_t>(start_); }
    std::uintptr_t end() const { return address() + size_; }
    std::size_t size() const { return size_; }
    std::uint8_t* bytes() { return start_; }
    const std::uint8_t* bytes() const { return start_; }

    // The word at `at` as the unwinder sees it (relocated); 0 past the end.
    std::uint64_t word(std::size_t at) const {
        std::uint64_t word = 0;
        if (at + 8 <= size_) std::memcpy(&word, start_ + at, 8);
        return word;
    }

  private:
    void setWord(std::size_t at, std::uint64_t word) { std::memcpy(start_ + at, &word, 8); }

    std::size_t size_;
    std::size_t page_ = 0;
    std::size_t dataPages_ = 0;
    std::uint8_t* mapping_ = nullptr;
    std::uint8_t* start_ = nullptr;
};

std::uint64_t rawWord(const std::uint8_t* data, std::size_t size, std::size_t at) {
    std::uint64_t word = 0;
    if (at + 8 <= size) std::memcpy(&word, data + at, 8);
    return word;
}

std::uint16_t rawHalf(const std::uint8_t* data, std::size_t at) {
    std::uint16_t half = 0;
    std::memcpy(&half, data + at, 2);
    return half;
}

// Whether [address, address + length) lies within [low, high).
bool within(std::uintptr_t address, std::uint64_t length, std::uintptr_t low, std::uintptr_t high) {
    return address >= low && address <= high && length <= high - address;
}

// A row of rules keeps every block it names inside the section, and names only registers of its set.
const char* rowHolds(const ZEVDwarfRegisterRules& rules, const DwarfDialect& dialect, std::uintptr_t low,
                     std::uintptr_t high) {
    if (rules.cfaExpression != 0 && !within(rules.cfaExpression, 1, low, high))
        return "a CFA expression lies outside its section";
    for (const DwarfRule& rule : rules.registers) {
        const bool block = rule.kind == kDwarfRuleExpression || rule.kind == kDwarfRuleValExpression;
        if (block && !within(static_cast<std::uintptr_t>(rule.value), 1, low, high))
            return "a register's expression lies outside its section";
        if (rule.kind == kDwarfRuleRegister &&
            (rule.value < 0 || rule.value >= static_cast<std::int64_t>(dialect.registerCount)))
            return "a register rule names a register outside the set";
    }
    return nullptr;
}

// Applying a row moves the frame (its stack pointer or its pc) or changes nothing at all.
template <typename Registers>
const char* stepHolds(const ZEVDwarfRegisterRules& rules, typename Registers::State registers,
                      UnwindMemory* memory, const DwarfDialect& dialect) {
    const typename Registers::State before = registers;
    const bool moved = restoreDwarfRegisters<Registers>(rules, &registers, memory, dialect);
    std::uint64_t spBefore = 0, sp = 0, pcBefore = 0, pc = 0;
    Registers::get(before, Registers::kStackPointer, &spBefore);
    Registers::get(registers, Registers::kStackPointer, &sp);
    Registers::get(before, Registers::kReturnAddress, &pcBefore);
    Registers::get(registers, Registers::kReturnAddress, &pc);
    if (!moved && std::memcmp(&before, &registers, sizeof before) != 0)
        return "a step that failed changed the registers";
    if (moved && sp == spBefore && pc == pcBefore) return "a step succeeded without moving the frame";
    return nullptr;
}

// The rule the one-pass reader reads at `pc` from `cfi`'s instructions (read in place), where it takes
// one, is the one the interpreter's rules pack into.
const char* onePassReadHolds(const ZEVDwarfCFIRecord& cfi, std::uint64_t pc, UnwindMemory* memory) {
    ZEVDwarfRegisterRules initial;
    bool dependsOnFDE = false;
    std::uint64_t ruled = 0;
    UnwindRuleSlots slots;
    std::uint64_t quick = 0;
    if (!computeDwarfInitialRules(cfi.cie, cfi.fde.pcBegin, &initial, memory, kDwarfDialectELF, &dependsOnFDE,
                                  &ruled) ||
        !unwindRuleSlotsFromRules(initial, ruled, &slots) ||
        !packedRuleFromInstructions(cfi.fde, cfi.cie, slots, pc, &quick)) {
        return nullptr;
    }
    ZEVDwarfRegisterRules rules;
    std::uint64_t packed = 0;
    if (!computeDwarfRulesFromInitial(cfi.fde, cfi.cie, initial, pc, &rules, memory, kDwarfDialectELF,
                                      &ruled) ||
        !packedUnwindRuleFromRules(rules, cfi.cie.signalFrame, ruled, &packed) || packed != quick) {
        return "the one-pass reader read a rule the interpreter's rules do not pack into";
    }
    return nullptr;
}

// The CIE and FDE of `cfi` and every row they give, bounded by [low, high).
const char* recordHolds(const ZEVDwarfCFIRecord& cfi, std::uintptr_t low, std::uintptr_t high,
                        const GuardedCopy& copy, UnwindMemory* memory) {
    if (!within(cfi.fde.instructions, cfi.fde.instructionsLength, low, high))
        return "an FDE's instructions lie outside its section";
    if (!within(cfi.cie.instructions, cfi.cie.instructionsLength, low, high))
        return "a CIE's instructions lie outside its section";
    if (!within(cfi.cie.augmentation, 1, low, high)) return "a CIE's augmentation lies outside its section";

    // Registers that point into the copy, so the rules' reads find something.
    RegistersX86_64 x86{};
    RegistersArm64 arm{};
    for (int i = 0; i < 16; ++i)
        reinterpret_cast<std::uint64_t*>(&x86)[i] = copy.address() + (copy.word(8 * i) % (copy.size() + 1));
    for (int i = 0; i < 32; ++i)
        reinterpret_cast<std::uint64_t*>(&arm)[i] = copy.address() + (copy.word(8 * i) % (copy.size() + 1));
    const std::uint64_t pcs[] = {cfi.fde.pcBegin, cfi.fde.pcBegin + cfi.fde.pcRange / 2,
                                 cfi.fde.pcBegin + cfi.fde.pcRange};
    for (std::uint64_t pc : pcs) {
        ZEVDwarfRegisterRules rules;
        if (computeDwarfRules(&cfi, pc, &rules, memory, kDwarfDialectELF)) {
            if (const char* broken = rowHolds(rules, kDwarfDialectELF, low, high)) return broken;
            x86.rip = pc;
            if (const char* broken = stepHolds<DwarfRegistersX86_64>(rules, x86, memory, kDwarfDialectELF))
                return broken;
        }
        if (computeDwarfRules(&cfi, pc, &rules, memory, kDwarfDialectMachO)) {
            if (const char* broken = rowHolds(rules, kDwarfDialectMachO, low, high)) return broken;
            arm.pc = pc;
            if (const char* broken = stepHolds<DwarfRegistersArm64>(rules, arm, memory, kDwarfDialectMachO))
                return broken;
        }
        if (const char* broken = onePassReadHolds(cfi, pc, memory)) return broken;
    }
    return nullptr;
}

// The image the x86_64 walk finds for addresses inside the input's copy.
struct WalkImage {
    std::uintptr_t low = 0;
    std::uintptr_t high = 0;
    std::uintptr_t header = 0;
};
WalkImage walkImage;

bool findWalkImage(std::uint64_t address, BinaryImageNodeCopy* out) {
    if (address < walkImage.low || address >= walkImage.high) return false;
    // No ELF header: program headers made of fuzz bytes would vouch for ranges that are not readable.
    *out = BinaryImageNodeCopy{0, walkImage.high - walkImage.low, walkImage.header, 0, 0};
    return true;
}

constexpr std::uint32_t kWalkCapacity = kUnwindMaxFrames + 16;

// How one walk frame by frame went.
struct Walk {
    std::uint32_t count = 0;
    bool badFrame = false; // an sp below 4096 delivered, or a pc there past frame 0 (a call's null target)
    bool cameBack = false; // a frame after the walk had ended
};

// One walk frame by frame, its pcs into `pcs`.
Walk walkFrameByFrame(const MachineContext& start, bool ruleCache, std::uint64_t* pcs) {
    ZEVUnwindContext context;
    initUnwindWithImageFinder(&context, &start, findWalkImage);
    context.memory.stack = {0, 0}; // the input is not this thread's stack
    context.useRuleCache = ruleCache;
    Walk walk;
    while (walk.count < kWalkCapacity && ZEVUnwindNextFrame(&context)) {
        if ((walk.count > 0 && ZEVUnwindGetPC(&context) < kNullLimit) || context.registers.rsp < kNullLimit)
            walk.badFrame = true;
        pcs[walk.count++] = ZEVUnwindGetPC(&context);
    }
    walk.cameBack = walk.count < kWalkCapacity && ZEVUnwindNextFrame(&context);
    return walk;
}

// The program's own writable data: the unwinder's process-wide tables (kept frame rules, CIEs, proven
// images), which the walks themselves write, and a fuzzer's coverage counters, which the walks' code
// moves as it runs. Found once.
struct WritableData {
    std::uintptr_t low = 0;
    std::uintptr_t high = 0;
};
WritableData programWritableData() {
    static const WritableData data = [] {
        WritableData found;
        dl_iterate_phdr(
            [](dl_phdr_info* info, std::size_t, void* raw) {
                auto* found = static_cast<WritableData*>(raw);
                for (int i = 0; i < info->dlpi_phnum; ++i) {
                    const ElfW(Phdr)& segment = info->dlpi_phdr[i];
                    if (segment.p_type != PT_LOAD || (segment.p_flags & PF_W) == 0) continue;
                    const std::uintptr_t low = info->dlpi_addr + segment.p_vaddr;
                    const std::uintptr_t high = low + segment.p_memsz;
                    if (found->high == 0 || low < found->low) found->low = low;
                    if (high > found->high) found->high = high;
                }
                return 1; // the program is listed first
            },
            &found);
        return found;
    }();
    return data;
}

// Whether the walk may read memory that changes while the checks run: this thread's stack (where the
// walks' own frames come and go), the walks' results, or the program's writable data. Any value in the
// copy or the registers, at any alignment, that points there makes the walks incomparable; a fuzzer
// learns such addresses from the comparisons it watches.
bool mayReadChangingMemory(const GuardedCopy& copy, const MachineContext& start, const void* results,
                           std::size_t resultsSize) {
    std::uintptr_t low = 0, high = 0;
    auto here = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    if (!darwin::currentThreadStack(here, &low, &high)) return true;
    low = low > (1U << 20) ? low - (1U << 20) : 0; // the walks' own frames lie below this one
    const auto resultsLow = reinterpret_cast<std::uintptr_t>(results);
    const WritableData data = programWritableData();
    constexpr std::uintptr_t kSlack = 4096; // a rule reads words below the address it starts from
    auto changing = [&](std::uint64_t value) {
        return (value >= low && value < high) || (value >= resultsLow && value < resultsLow + resultsSize) ||
               (value + kSlack >= data.low && value < data.high + kSlack);
    };
    if (changing(start.rip) || changing(start.rsp) || changing(start.rbp)) return true;
    for (std::size_t at = 0; at + 8 <= copy.size(); ++at) {
        std::uint64_t value = 0;
        std::memcpy(&value, copy.bytes() + at, 8);
        if (changing(value)) return true;
    }
    return false;
}

} // namespace

void putWord(Bytes& bytes, std::size_t at, std::uint64_t word) {
    if (bytes.size() < at + 8) bytes.resize(at + 8);
    std::memcpy(bytes.data() + at, &word, 8);
}

const char* dwarfTablesHold(const std::uint8_t* data, std::size_t size) {
    if (size < 8) return nullptr;
    GuardedCopy copy(data, size);
    if (!copy.made()) return nullptr;
    const std::uintptr_t section = copy.address() + rawHalf(data, 0) % size;
    const std::uint64_t fdeOffset = rawHalf(data, 2);
    const std::uintptr_t header = copy.address() + rawHalf(data, 4) % size;
    const std::uint64_t pc = copy.address() + rawHalf(data, 6);

    // The whole copy is read in place, so a read past either end faults.
    UnwindMemory memory;
    initUnwindMemory(&memory);
    proveUnwindMemoryRange(&memory, copy.address(), copy.end());

    ZEVDwarfCFIRecord cfi;
    if (ZEVDwarfInitFromFDE(&cfi, section, fdeOffset, copy.end(), &memory)) {
        if (const char* broken = recordHolds(cfi, section, copy.end(), copy, &memory)) return broken;
    }
    if (findDwarfFDE(header, pc, &cfi, &memory)) {
        if (pc < cfi.fde.pcBegin || pc - cfi.fde.pcBegin >= cfi.fde.pcRange)
            return "the FDE found through the index does not cover the pc";
        // An index may name an FDE anywhere; only one inside the copy is held to the copy's bounds.
        if (within(cfi.fde.instructions, 1, copy.address(), copy.end())) {
            if (const char* broken = recordHolds(cfi, copy.address(), copy.end(), copy, &memory))
                return broken;
        }
    }
    return nullptr;
}

const char* dwarfWalkHolds(const std::uint8_t* data, std::size_t size, std::uint32_t* frames) {
    if (size < 32) return nullptr;
    GuardedCopy copy(data, size);
    if (!copy.made()) return nullptr;
    MachineContext start{};
    start.rip = copy.word(0);
    start.rsp = copy.word(8);
    start.rbp = copy.word(16);
    const std::uint64_t control = rawWord(data, size, 24);
    walkImage = (control & 2) != 0 ? WalkImage{copy.address(), copy.end(),
                                               copy.address() + ((control >> 16) & 0xFFFFFFFFULL) % size}
                                   : WalkImage{};

    // Off, cold, then warm: a kept rule must step exactly as the full step that kept it.
    static std::uint64_t results[3][kWalkCapacity];
    std::uint64_t* full = results[0];
    std::uint64_t* warm = results[2];
    const bool comparable = !mayReadChangingMemory(copy, start, results, sizeof results);
    clearUnwindRuleCache();
    const Walk off = walkFrameByFrame(start, false, full);
    const Walk cold = walkFrameByFrame(start, true, results[1]);
    ZEVUnwindContext context;
    initUnwindWithImageFinder(&context, &start, findWalkImage);
    context.memory.stack = {0, 0};
    const std::uint32_t warmCount = unwindNextFrames(&context, warm, kWalkCapacity);
    const bool warmEnded = unwindNextFrames(&context, warm + warmCount, kWalkCapacity - warmCount) == 0;
    walkImage = WalkImage{};
    clearUnwindRuleCache();

    if (frames != nullptr) *frames = off.count;
    if (off.count > kUnwindMaxFrames || cold.count > kUnwindMaxFrames || warmCount > kUnwindMaxFrames)
        return "a walk went past its frame limit";
    if (off.badFrame || cold.badFrame) return "a walk delivered a frame below 4096";
    // A walk that read memory changing under it may rightly go on, or go elsewhere, the next time.
    if (!comparable) return nullptr;
    if (off.cameBack || cold.cameBack || !warmEnded) return "a walk went on after it had ended";
    if (cold.count != off.count || std::memcmp(results[1], full, off.count * sizeof(std::uint64_t)) != 0)
        return "a walk keeping frame rules differs from one that keeps none";
    if (warmCount != off.count || std::memcmp(warm, full, off.count * sizeof(std::uint64_t)) != 0)
        return "a walk over kept frame rules differs from one that keeps none";
    return nullptr;
}

const char* compactUnwindHolds(const std::uint8_t* data, std::size_t size) {
    if (size < 16) return nullptr;
    GuardedCopy copy(data, size);
    if (!copy.made()) return nullptr;
    const std::uint64_t pc = copy.word(0);
    const std::uint64_t layout = rawWord(data, size, 8);
    const std::size_t offset = (layout & 0xFFFF) % size;
    const std::size_t length = std::min<std::size_t>((layout >> 16) & 0xFFFF, size - offset);
    const arm64::ZEVArm64Image image{copy.address(), size, 0, 0, copy.address() + offset, length};

    arm64::ZEVCompactUnwindEntry first{}, second{};
    arm64::ZEVCompactUnwindContext context, again;
    if (!arm64::ZEVCompactUnwindInit(&context, image)) return nullptr;
    const bool found = arm64::ZEVCompactUnwindLookup(&context, pc, &first);
    if (found && !(first.functionStart <= pc && pc < first.functionEnd))
        return "a compact unwind entry does not hold its pc";
    if (found && first.encoding == 0) return "a compact unwind entry found has no encoding";

    // Everything around the section changed: the lookup must not notice.
    for (std::size_t at = 0; at < size; ++at) {
        if (at < offset || at >= offset + length) copy.bytes()[at] ^= 0xFF;
    }
    if (!arm64::ZEVCompactUnwindInit(&again, image)) return "a compact unwind section read outside itself";
    const bool foundAgain = arm64::ZEVCompactUnwindLookup(&again, pc, &second);
    // The context keeps what the first level gave, so a read the answer did not show is compared too.
    if (found != foundAgain || (found && std::memcmp(&first, &second, sizeof first) != 0) ||
        std::memcmp(&context, &again, sizeof context) != 0)
        return "a compact unwind lookup read outside its section";
    return nullptr;
}

namespace {
arm64::ZEVArm64Image arm64Image;

bool findArm64Image(std::uint64_t address, arm64::ZEVArm64Image* out) {
    if (address < arm64Image.base || address - arm64Image.base >= arm64Image.size) return false;
    *out = arm64Image;
    return true;
}
} // namespace

const char* arm64WalkHolds(const std::uint8_t* data, std::size_t size, std::uint32_t* frames) {
    if (size < 40) return nullptr;
    GuardedCopy copy(data, size);
    if (!copy.made()) return nullptr;
    arm64::ZEVMachineContextArm64 start{};
    start.ss.pc = copy.word(0);
    start.ss.sp = copy.word(8);
    start.ss.fp = copy.word(16);
    start.ss.lr = copy.word(24);
    const std::uint64_t layout = rawWord(data, size, 32);
    arm64Image = {copy.address(),
                  size,
                  copy.address() + ((layout >> 32) & 0xFFFF) % size,
                  layout >> 48,
                  copy.address() + (layout & 0xFFFF) % size,
                  (layout >> 16) & 0xFFFF};

    arm64::ZEVUnwindContext context;
    std::uint32_t count = 0;
    const char* broken = nullptr;
    if (arm64::ZEVUnwindInit(&context, &start, findArm64Image)) {
        while (count <= arm64::kUnwindMaxFrames && arm64::ZEVUnwindNextFrame(&context)) {
            ++count;
            if (arm64::ZEVUnwindGetPC(&context) < kNullLimit ||
                arm64::ZEVUnwindContextGetStackPointer(&context) < kNullLimit)
                broken = "an arm64 walk delivered a frame below 4096";
        }
        if (count <= arm64::kUnwindMaxFrames && arm64::ZEVUnwindNextFrame(&context))
            broken = "an arm64 walk went on after it had ended";
    }
    arm64Image = {};
    if (frames != nullptr) *frames = count;
    if (count > arm64::kUnwindMaxFrames) return "an arm64 walk went past its frame limit";
    return broken;
}

} // namespace unwindfuzz
