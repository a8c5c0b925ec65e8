#include "sdk/zevuzavidav/unwind/DwarfCIETable.hpp"

#include "sdk/zevuzavidav/unwind/SequencedEntry.hpp"

#include <atomic>
#include <cstring>

namespace zevuzavidav {

namespace {

constexpr int kKeptRules = 4;
constexpr std::size_t kKeptBytes = 48;
constexpr std::int64_t kValueLimit = 1LL << 47; // a kept rule's value fits 48 signed bits

// Words of an entry after its sequence and address.
enum Word : unsigned {
    kCodeAlignment,
    kDataAlignment,
    kLength, // of the record, in bytes
    kFlags,  // pointer encoding (8 bits), augmentation data (bit 8), signal frame (bit 9)
    kCfaRegister,
    kCfaOffset,
    kRuled,
    kRules,                           // kKeptRules words: register (8 bits), kind (8 bits), value (48 bits)
    kBytes = kRules + kKeptRules,     // the record's bytes
    kWords = kBytes + kKeptBytes / 8, //
};

struct Entry {
    std::atomic<std::uint64_t> sequence{0};
    std::atomic<std::uint64_t> address{0}; // 0: empty
    std::atomic<std::uint64_t> words[kWords] = {};
};

constexpr unsigned kEntries = 64;
Entry entries[kEntries];

Entry& entryOf(std::uintptr_t address) {
    return entries[(address >> 3 ^ address >> 11) % kEntries];
}

} // namespace

bool findKeptDwarfCIE(std::uintptr_t address, std::uintptr_t end, DwarfKeptCIE* out) {
    if (address == 0) return false;
    Entry& entry = entryOf(address);
    const SequencedRead read(entry.sequence);
    if (!read.begin() || entry.address.load(std::memory_order_relaxed) != address) return false;
    std::uint64_t words[kWords];
    for (unsigned i = 0; i < kWords; ++i)
        words[i] = entry.words[i].load(std::memory_order_relaxed);
    if (!read.unchanged()) return false;
    const std::uint64_t length = words[kLength];
    if (length > kKeptBytes || length > end - address ||
        std::memcmp(reinterpret_cast<const void*>(address), &words[kBytes], length) != 0) {
        return false;
    }

    std::memset(&out->record, 0, sizeof out->record);
    out->record.codeAlignment = words[kCodeAlignment];
    out->record.dataAlignment = static_cast<std::int64_t>(words[kDataAlignment]);
    out->record.fdePointerEncoding = static_cast<std::uint8_t>(words[kFlags]);
    out->record.augmentationData = (words[kFlags] >> 8 & 1) != 0;
    out->record.signalFrame = (words[kFlags] >> 9 & 1) != 0;
    out->recordEnd = address + length;
    std::memset(&out->initial, 0, sizeof out->initial);
    out->initial.cfaRegister = words[kCfaRegister];
    out->initial.cfaOffset = static_cast<std::int64_t>(words[kCfaOffset]);
    out->initialRuled = words[kRuled];
    for (int i = 0; i < kKeptRules; ++i) {
        const std::uint64_t rule = words[kRules + i];
        const unsigned reg = rule & 0xFF;
        if (reg >= static_cast<unsigned>(kDwarfRegistersX86_64)) continue;
        out->initial.registers[reg].kind = static_cast<std::uint32_t>(rule >> 8 & 0xFF);
        out->initial.registers[reg].value = static_cast<std::int64_t>(rule) >> 16;
    }
    return true;
}

void keepDwarfCIE(std::uintptr_t address, const DwarfKeptCIE& cie) {
    const std::uint64_t length = cie.recordEnd - address;
    if (address == 0 || cie.recordEnd <= address || length > kKeptBytes || cie.initial.cfaExpression != 0)
        return;
    std::uint64_t rules[kKeptRules];
    int count = 0;
    // Only the registers the initial rules rule can have a rule other than "unchanged".
    for (std::uint64_t left = cie.initialRuled & ((1ULL << kDwarfRegistersX86_64) - 1); left != 0;
         left &= left - 1) {
        const int reg = __builtin_ctzll(left);
        const DwarfRule& rule = cie.initial.registers[reg];
        if (rule.kind == kDwarfRuleUnchanged) continue;
        if (count == kKeptRules || rule.kind > 0xFF || rule.value >= kValueLimit || rule.value < -kValueLimit)
            return;
        rules[count++] = static_cast<std::uint64_t>(reg) | std::uint64_t{rule.kind} << 8 |
                         static_cast<std::uint64_t>(rule.value) << 16;
    }
    for (int i = count; i < kKeptRules; ++i)
        rules[i] = 0xFF; // no register
    std::uint64_t bytes[kKeptBytes / 8] = {};
    std::memcpy(bytes, reinterpret_cast<const void*>(address), length);

    Entry& entry = entryOf(address);
    const SequencedWrite write(entry.sequence);
    if (!write.claimed()) return;
    entry.address.store(address, std::memory_order_relaxed);
    entry.words[kCodeAlignment].store(cie.record.codeAlignment, std::memory_order_relaxed);
    entry.words[kDataAlignment].store(static_cast<std::uint64_t>(cie.record.dataAlignment),
                                      std::memory_order_relaxed);
    entry.words[kLength].store(length, std::memory_order_relaxed);
    entry.words[kFlags].store(std::uint64_t{cie.record.fdePointerEncoding} |
                                  std::uint64_t{cie.record.augmentationData} << 8 |
                                  std::uint64_t{cie.record.signalFrame} << 9,
                              std::memory_order_relaxed);
    entry.words[kCfaRegister].store(cie.initial.cfaRegister, std::memory_order_relaxed);
    entry.words[kCfaOffset].store(static_cast<std::uint64_t>(cie.initial.cfaOffset),
                                  std::memory_order_relaxed);
    entry.words[kRuled].store(cie.initialRuled, std::memory_order_relaxed);
    for (int i = 0; i < kKeptRules; ++i)
        entry.words[kRules + i].store(rules[i], std::memory_order_relaxed);
    for (std::size_t i = 0; i < kKeptBytes / 8; ++i)
        entry.words[kBytes + i].store(bytes[i], std::memory_order_relaxed);
}

void clearKeptDwarfCIEs() {
    for (Entry& entry : entries) {
        const SequencedWrite write(entry.sequence);
        if (write.claimed()) entry.address.store(0, std::memory_order_relaxed);
    }
}

} // namespace zevuzavidav
