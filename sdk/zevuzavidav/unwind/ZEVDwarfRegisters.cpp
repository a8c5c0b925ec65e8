#include "sdk/zevuzavidav/unwind/ZEVDwarfRegisters.hpp"

#include "platform/darwin/NullPage.hpp"
#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/unwind/ZEVDwarfExpression.hpp"
#include "sdk/zevuzavidav/unwind/arm64/ZEVUnwindArm64.hpp"

using namespace zevuzavidav;

namespace {

bool valid(const void* pointer) {
    return !darwin::isNullAddress(pointer);
}

std::uint64_t* slotX86_64(RegistersX86_64& r, std::uint64_t number) {
    switch (number) {
    case 0:
        return &r.rax;
    case 1:
        return &r.rdx;
    case 2:
        return &r.rcx;
    case 3:
        return &r.rbx;
    case 4:
        return &r.rsi;
    case 5:
        return &r.rdi;
    case 6:
        return &r.rbp;
    case 7:
        return &r.rsp;
    case 8:
        return &r.r8;
    case 9:
        return &r.r9;
    case 10:
        return &r.r10;
    case 11:
        return &r.r11;
    case 12:
        return &r.r12;
    case 13:
        return &r.r13;
    case 14:
        return &r.r14;
    case 15:
        return &r.r15;
    case 16:
        return &r.rip;
    default:
        return nullptr;
    }
}

} // namespace

bool DwarfRegistersX86_64::readForExpression(const void* state, std::uint64_t number, std::uint64_t* value) {
    return get(*static_cast<const State*>(state), number, value);
}

bool DwarfRegistersArm64::get(const State& state, std::uint64_t number, std::uint64_t* value) {
    *value = arm64::ZEVDwarfUnwindGetRegisterValue(&state, number);
    return number < static_cast<std::uint64_t>(kCount);
}

bool DwarfRegistersArm64::set(State& state, std::uint64_t number, std::uint64_t value) {
    return arm64::ZEVDwarfUnwindSetRegisterValue(&state, number, value);
}

bool DwarfRegistersArm64::readForExpression(const void* state, std::uint64_t number, std::uint64_t* value) {
    return number < static_cast<std::uint64_t>(kStackPointer) &&
           get(*static_cast<const State*>(state), number, value);
}

bool ZEVDwarfUnwindGetRegisterValue(const MachineContext* registers, std::uint64_t number,
                                    std::uint64_t* value) {
    const std::uint64_t* slot =
        registers != nullptr ? slotX86_64(const_cast<MachineContext&>(*registers), number) : nullptr;
    if (slot == nullptr || value == nullptr) {
        ZEVSDKLog("%s: Error: Unrecognized get register number %llu\n", "ZEVDwarfUnwindGetRegisterValue",
                  static_cast<unsigned long long>(number));
        return false;
    }
    *value = *slot;
    return true;
}

bool ZEVDwarfUnwindSetRegisterValue(MachineContext* registers, std::uint64_t number, std::uint64_t value) {
    std::uint64_t* slot = registers != nullptr ? slotX86_64(*registers, number) : nullptr;
    if (slot == nullptr) {
        ZEVSDKLog("%s: Unrecognized set register number %llu\n", "ZEVDwarfUnwindSetRegisterValue",
                  static_cast<unsigned long long>(number));
        return false;
    }
    *slot = value;
    return true;
}

namespace {

// The bodies of ZEVDwarfGetCFA and ZEVDwarfGetSavedRegister, inline in every full step of a walk.
template <typename Registers>
inline __attribute__((always_inline)) bool cfaOf(const ZEVDwarfRegisterRules* rules,
                                                 const typename Registers::State* registers,
                                                 std::uint64_t* cfa, UnwindMemory* memory) {
    if (!valid(rules) || !valid(registers) || !valid(cfa)) {
        ZEVSDKLog("%s: Error: invalid input\n", "ZEVDwarfGetCFA");
        return false;
    }
    if (rules->cfaExpression != 0) {
        if (!ZEVDwarfEvalulateExpression(rules->cfaExpression, registers, Registers::readForExpression, 0,
                                         cfa, memory)) {
            ZEVSDKLog("%s: Error: failed to compute CFA expression\n", "ZEVDwarfGetCFA");
            return false;
        }
        return true;
    }
    std::uint64_t base = 0;
    if (!Registers::get(*registers, rules->cfaRegister, &base)) return false;
    *cfa = base + static_cast<std::uint64_t>(rules->cfaOffset);
    return true;
}

template <typename Registers>
bool valueFromExpression(const typename Registers::State& registers, std::uint64_t cfa, const DwarfRule& rule,
                         std::uint64_t* value, UnwindMemory* memory) {
    constexpr const char* kFunction = "ZEVDwarfGetSavedRegister";
    std::uint64_t result = 0;
    if (!ZEVDwarfEvalulateExpression(static_cast<std::uintptr_t>(rule.value), &registers,
                                     Registers::readForExpression, cfa, &result, memory)) {
        ZEVSDKLog("%s: Error: unable to evaluate expression\n", kFunction);
        return false;
    }
    if (rule.kind == kDwarfRuleValExpression) {
        *value = result;
        return true;
    }
    if (!readUnwindMemory(memory, result, value, sizeof *value)) {
        *value = 0;
        ZEVSDKLog("%s: Error: Unable to read memory computed from expression\n", kFunction);
        return false;
    }
    return true;
}

template <typename Registers>
inline __attribute__((always_inline)) bool
savedRegister(const typename Registers::State& registers, std::uint64_t cfa, const DwarfRule& rule,
              std::uint64_t* value, UnwindMemory* memory, const DwarfDialect& dialect) {
    constexpr const char* kFunction = "ZEVDwarfGetSavedRegister";
    if (dialect.traces) ZEVSDKLog("%s: Getting register %x\n", kFunction, rule.kind);
    *value = 0;
    const auto offset = static_cast<std::uint64_t>(rule.value);
    switch (rule.kind) {
    case kDwarfRuleOffset:
        if (!readUnwindMemory(memory, cfa + offset, value, sizeof *value)) {
            ZEVSDKLog("%s: Error: Unable to read CFA value\n", kFunction);
            return false;
        }
        return true;
    case kDwarfRuleValOffset:
        if (dialect.strict) {
            ZEVSDKLog("%s: Error: OffsetFromCFA unhandled\n", kFunction);
            return false;
        }
        *value = cfa + offset;
        return true;
    case kDwarfRuleRegister:
        return Registers::get(registers, offset, value);
    case kDwarfRuleExpression:
    case kDwarfRuleValExpression:
        return valueFromExpression<Registers>(registers, cfa, rule, value, memory);
    default:
        ZEVSDKLog("%s: Error: Unrecognized register save location 0x%x\n", kFunction, rule.kind);
        return false;
    }
}

} // namespace

template <typename Registers>
bool ZEVDwarfGetCFA(const ZEVDwarfRegisterRules* rules, const typename Registers::State* registers,
                    std::uint64_t* cfa, UnwindMemory* memory) {
    return cfaOf<Registers>(rules, registers, cfa, memory);
}

template <typename Registers>
bool ZEVDwarfGetSavedRegister(const typename Registers::State& registers, std::uint64_t cfa,
                              const DwarfRule& rule, std::uint64_t* value, UnwindMemory* memory,
                              const DwarfDialect& dialect) {
    return savedRegister<Registers>(registers, cfa, rule, value, memory, dialect);
}

template <typename Registers>
bool zevuzavidav::restoreDwarfRegisters(const ZEVDwarfRegisterRules& rules,
                                        typename Registers::State* registers, UnwindMemory* memory,
                                        const DwarfDialect& dialect, std::uint64_t ruled) {
    constexpr const char* kFunction = "ZEVDwarfUnwindComputeRegisters";
    std::uint64_t cfa = 0;
    if (!cfaOf<Registers>(&rules, registers, &cfa, memory)) {
        ZEVSDKLog("%s: Error: failed to get CFA\n", kFunction);
        return false;
    }
    const typename Registers::State& old = *registers;
    // The caller's values are all had before any is set, so a step that fails leaves the registers as
    // they were. Setting a register of the set never fails.
    std::uint64_t values[Registers::kCount];
    std::uint64_t written = 0;
    static_assert(Registers::kCount < 64, "a register is a bit of the mask");
    const int restored = dialect.strict ? Registers::kStackPointer : Registers::kCount;
    for (std::uint64_t left = ruled & ((1ULL << restored) - 1); left != 0; left &= left - 1) {
        const int reg = __builtin_ctzll(left);
        const DwarfRule& rule = rules.registers[reg];
        if (rule.kind == kDwarfRuleUnchanged) continue;
        std::uint64_t value = 0;
        if (rule.kind == kDwarfRuleUndefined && !dialect.strict) {
            // An undefined return address marks the outermost frame; other registers keep their value.
            if (reg == Registers::kReturnAddress) {
                values[reg] = 0;
                written |= 1ULL << reg;
            }
            continue;
        }
        // The strict reading applies every rule, with 0 for a value it cannot get.
        if (!savedRegister<Registers>(old, cfa, rule, &value, memory, dialect) && !dialect.strict)
            return false;
        values[reg] = value;
        written |= 1ULL << reg;
    }
    if (dialect.strict || rules.registers[Registers::kStackPointer].kind == kDwarfRuleUnchanged) {
        values[Registers::kStackPointer] = cfa;
        written |= 1ULL << Registers::kStackPointer;
    }
    auto before = [&](int reg) {
        std::uint64_t value = 0;
        Registers::get(old, static_cast<std::uint64_t>(reg), &value);
        return value;
    };
    auto after = [&](int reg) { return (written >> reg & 1) != 0 ? values[reg] : before(reg); };
    const std::uint64_t oldSp = before(Registers::kStackPointer);
    const std::uint64_t newSp = after(Registers::kStackPointer);
    const std::uint64_t oldReturn = before(Registers::kReturnAddress);
    const std::uint64_t newReturn = after(Registers::kReturnAddress);
    const bool returnAddressRuled = rules.registers[Registers::kReturnAddress].kind != kDwarfRuleUnchanged;
    if (dialect.strict ? newSp == oldSp : !returnAddressRuled) {
        ZEVSDKLog(dialect.strict ? "%s: Error: Stack pointer hasn't changed\n"
                                 : "%s: Error: PC hasn't changed\n",
                  kFunction);
        return false;
    }
    if (dialect.strict ? newReturn == oldReturn : newSp == oldSp && newReturn == oldReturn) {
        ZEVSDKLog(dialect.strict ? "%s: Error: PC hasn't changed\n"
                                 : "%s: Error: Stack pointer hasn't changed\n",
                  kFunction);
        return false;
    }
    for (std::uint64_t left = written; left != 0; left &= left - 1) {
        const int reg = __builtin_ctzll(left);
        Registers::set(*registers, static_cast<std::uint64_t>(reg), values[reg]);
    }
    return true;
}

template bool ZEVDwarfGetCFA<DwarfRegistersX86_64>(const ZEVDwarfRegisterRules*, const RegistersX86_64*,
                                                   std::uint64_t*, UnwindMemory*);
template bool ZEVDwarfGetCFA<DwarfRegistersArm64>(const ZEVDwarfRegisterRules*, const RegistersArm64*,
                                                  std::uint64_t*, UnwindMemory*);
template bool ZEVDwarfGetSavedRegister<DwarfRegistersX86_64>(const RegistersX86_64&, std::uint64_t,
                                                             const DwarfRule&, std::uint64_t*, UnwindMemory*,
                                                             const DwarfDialect&);
template bool ZEVDwarfGetSavedRegister<DwarfRegistersArm64>(const RegistersArm64&, std::uint64_t,
                                                            const DwarfRule&, std::uint64_t*, UnwindMemory*,
                                                            const DwarfDialect&);
template bool zevuzavidav::restoreDwarfRegisters<DwarfRegistersX86_64>(const ZEVDwarfRegisterRules&,
                                                                       RegistersX86_64*, UnwindMemory*,
                                                                       const DwarfDialect&, std::uint64_t);
template bool zevuzavidav::restoreDwarfRegisters<DwarfRegistersArm64>(const ZEVDwarfRegisterRules&,
                                                                      RegistersArm64*, UnwindMemory*,
                                                                      const DwarfDialect&, std::uint64_t);

bool ZEVDwarfUnwindComputeRegisters(const ZEVDwarfCFIRecord* cfi, std::uint64_t pc, MachineContext* registers,
                                    UnwindMemory* memory) {
    if (cfi == nullptr || registers == nullptr) return false;
    ZEVDwarfRegisterRules rules;
    return computeDwarfRules(cfi, pc, &rules, memory, kDwarfDialectELF) &&
           restoreDwarfRegisters<DwarfRegistersX86_64>(rules, registers, memory, kDwarfDialectELF);
}
