#include "sdk/zevuzavidav/process/ZEVThreadState.hpp"

#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/record/ZEVFile.hpp"
#include "sdk/zevuzavidav/unwind/ZEVUnwind.hpp"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// The architecture-independent shape of a thread element; `unwind` appends the stack's pcs.
template <typename Unwind>
void writeThread(ZEVFile* file, const char* const* names, const std::uint64_t* values, std::size_t count,
                 Unwind&& unwind, bool crashed, const char* name = nullptr) {
    ZEVFileWriteObjectStart(file);
    ZEVFileWriteKey(file, "registers");
    ZEVFileWriteObjectStart(file);
    for (std::size_t r = 0; values != nullptr && r < count; ++r)
        ZEVFileWriteUInt64Entry(file, names[r], values[r]);
    ZEVFileWriteObjectEnd(file);
    ZEVFileWriteKey(file, "stacktrace");
    ZEVFileWriteArrayStart(file);
    if (values != nullptr) unwind();
    ZEVFileWriteArrayEnd(file);
    if (crashed) ZEVFileWriteBoolEntry(file, "crashed", true);
    if (name != nullptr) ZEVFileWriteStringEntry(file, "name", name);
    ZEVFileWriteObjectEnd(file);
}

// Walks the stack of `state` (non-null), at most `maxFrames` frames, handing each batch of pcs to `take`;
// the frames walked. [stackLow, stackHigh), when it holds the stack pointer, is read in place.
template <typename Take>
std::uint32_t walkStack(const zevuzavidav::RegistersX86_64* state, std::uintptr_t stackLow,
                        std::uintptr_t stackHigh, std::uint32_t maxFrames, Take&& take) {
    ZEVUnwindContext unwind;
    if (!ZEVUnwindInit(&unwind, state)) {
        ZEVSDKLog("%s: unable to init unwind context\n", "ZEVProcessRecordAllThreads");
        return 0;
    }
    if (state->rsp >= stackLow && state->rsp < stackHigh) unwind.memory.stack = {stackLow, stackHigh};
    // A batch of frames at a time: the walk keeps its registers out of memory between them.
    std::uint64_t pcs[64];
    std::uint32_t walked = 0;
    for (std::uint32_t left = maxFrames; left > 0;) {
        const std::uint32_t batch = left < 64 ? left : 64;
        const std::uint32_t count = zevuzavidav::unwindNextFrames(&unwind, pcs, batch);
        take(pcs, count);
        walked += count;
        left -= count;
        if (count < batch) break;
    }
    return walked;
}

} // namespace

zevuzavidav::StackMeasure zevuzavidav::measureThreadStack(const zevuzavidav::RegistersX86_64* state,
                                                          std::uintptr_t stackLow, std::uintptr_t stackHigh) {
    StackMeasure measure;
    if (state == nullptr) return measure;
    measure.frames = walkStack(state, stackLow, stackHigh, kUnwindMaxFrames,
                               [&measure](const std::uint64_t* pcs, std::uint32_t count) {
                                   for (std::uint32_t i = 0; i < count; ++i) {
                                       char digits[21];
                                       const auto width = static_cast<std::uint32_t>(
                                           digits + 20 - formatUInt64(digits, pcs[i], false));
                                       measure.bytes += width + 1;
                                       if (width + 1 > measure.widestFrame) measure.widestFrame = width + 1;
                                   }
                               });
    // Commas stand between frames, not after the last.
    if (measure.frames > 0) measure.bytes -= 1;
    return measure;
}

std::uint64_t zevuzavidav::threadElementBytesWithoutFrames(const zevuzavidav::RegistersX86_64* state) {
    ZEVFile measure;
    measureOnly(&measure);
    writeThreadRegisters(&measure, state, false, 0, 0, 0);
    return measure.bytesWritten;
}

void zevuzavidav::writeThreadRegisters(ZEVFile* file, const zevuzavidav::RegistersX86_64* state, bool crashed,
                                       std::uintptr_t stackLow, std::uintptr_t stackHigh,
                                       std::uint32_t maxFrames, const char* name) {
    constexpr std::size_t kCount = sizeof(zevuzavidav::RegistersX86_64) / sizeof(std::uint64_t);
    static_assert(kCount ==
                  sizeof zevuzavidav::kRegisterNamesX86_64 / sizeof zevuzavidav::kRegisterNamesX86_64[0]);
    std::uint64_t values[kCount];
    const std::uint64_t* written = nullptr;
    if (state != nullptr) {
        // The struct holds the registers in record order.
        std::memcpy(values, state, sizeof values);
        written = values;
    }
    writeThread(
        file, zevuzavidav::kRegisterNamesX86_64, written, kCount,
        [&] {
            walkStack(state, stackLow, stackHigh, maxFrames,
                      [file](const std::uint64_t* pcs, std::uint32_t count) {
                          for (std::uint32_t i = 0; i < count; ++i)
                              ZEVFileWriteUInt64Element(file, pcs[i]);
                      });
        },
        crashed, name);
}

void zevuzavidav::writeThreadRegisters(ZEVFile* file, const arm64::ZEVMachineContextArm64* state,
                                       arm64::ZEVArm64ImageFinder finder, bool crashed) {
    constexpr std::size_t kCount =
        sizeof zevuzavidav::kRegisterNamesArm64 / sizeof zevuzavidav::kRegisterNamesArm64[0];
    std::uint64_t values[kCount];
    const std::uint64_t* written = nullptr;
    if (state != nullptr) {
        const zevuzavidav::RegistersArm64& ss = state->ss;
        for (std::size_t r = 0; r < 29; ++r)
            values[r] = ss.x[r];
        values[29] = ss.fp;
        values[30] = ss.sp;
        values[31] = ss.lr;
        values[32] = ss.pc;
        values[33] = ss.cpsr;
        written = values;
    }
    writeThread(
        file, zevuzavidav::kRegisterNamesArm64, written, kCount,
        [&] {
            arm64::ZEVUnwindContext unwind;
            if (!arm64::ZEVUnwindInit(&unwind, state, finder)) {
                ZEVSDKLog("%s: unable to init unwind context\n", "ZEVProcessRecordAllThreads");
                return;
            }
            while (arm64::ZEVUnwindNextFrame(&unwind))
                ZEVFileWriteUInt64Element(file, arm64::ZEVUnwindGetPC(&unwind));
        },
        crashed);
}
