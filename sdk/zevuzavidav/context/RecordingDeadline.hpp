#pragma once
// A bound on a crash recording: one that has not ended within it ends the process by the crash's own
// signal. A recorder stuck in a call that never returns would otherwise hold the process for good,
// every other thread standing stopped by it. A whole record takes milliseconds with hundreds of threads,
// and a fraction of a second with 4,096 on a machine whose every core is busy (bench/crash_bench.cpp),
// so the bound lies far past any recording that ends. Time the recorder spends waiting for a core does not
// count (the kernel's count of it, where it keeps one): on a machine whose cores are all taken, by the
// app's own threads that no stop reaches, say, a recorder may get a hundredth of one, which is no stuck
// recorder, and a program its handler would go on from must not be ended for it. A cap on the clock
// bounds even that: a recorder that never gets a core.
//
// Armed, a kernel timer sends a signal of its own (SIGRTMAX - 2; SIGRTMAX - 1 stops threads) to the
// process at the bound. The kernel gives it to any thread that lets it through: the stuck recorder,
// which does while it records, or a thread parked by the recording. On the recorder, the handler writes
// out what the record's buffer holds (setRecordingFile), so that every line finished is kept and only
// the one under way is cut, then gives the crash's signal its default action back and raises it. On
// another thread, which must not touch a buffer the recorder may be filling, it hands the tick to the
// recorder and waits for it to end the process, half a second at most (a recorder asleep where no
// signal reaches it), then ends the process itself: the process ends within the bound (put off by the
// recorder's waits for a core, the cap at most) and a second. A tick that comes before the bound is let
// go; once the bound is first reached the timer ticks again every kRecordingBoundRecheckNanos. The signal is
// the SDK's only while a recording is armed: the handler is installed as the recording begins, and the app's
// own disposition (and the recorder's mask) given back as it ends, so an app that uses the signal keeps it
// after a crash the process survives, and one that takes it meanwhile leaves the next recording bounded all
// the same. Signal-safe: raw system calls on fixed state, no allocation, no lock.
struct ZEVFile;

namespace zevuzavidav {

constexpr long kRecordingBoundNanos = 5L * 1000 * 1000 * 1000;
// However long the recorder waited for cores, the bound is out this long after it was armed.
constexpr long kRecordingBoundCapNanos = 4 * kRecordingBoundNanos;
// How often a bound put off by the recorder's waits for a core is looked at again.
constexpr long kRecordingBoundRecheckNanos = 100L * 1000 * 1000;
// How long a thread that took the bound's tick waits for the recorder to end the process.
constexpr long kRecordingHandOverNanos = 500L * 1000 * 1000;

// Arms the bound for a recording that begins now on the calling thread and ends the process by
// `crashSignal` should it not end in time; one recording at a time (the recording turn's holder). False
// when the kernel had no timer to give: the recording then goes unbounded.
bool armRecordingDeadline(int crashSignal, long boundNanos = kRecordingBoundNanos,
                          long handOverNanos = kRecordingHandOverNanos);
// Whether a bound armed at `armed` and first reached at `bound` (monotonic nanoseconds) is out at `now`,
// the recorder having waited `waited` nanoseconds for a core since (-1: not known, the clock alone counts).
bool recordingBoundIsOut(long armed, long bound, long waited, long now);
// The recording ended: the bound holds no more, and the bound's signal is the app's again.
void disarmRecordingDeadline();
// Whether a recording is armed and its bound not out yet (as the bound counts it: the recorder's own
// time, capped on the clock), so that it ends by itself or the bound ends the process. Signal-safe.
bool recordingWithinItsBound();
// The record file the armed recording writes, whose buffered bytes are written out should the bound end
// the process; null when it has none (closed, or gone with the stack that held it).
void setRecordingFile(ZEVFile* file);

// Ends the process by signal `number`, with its default action whatever handler it had; does not
// return. From any thread, in a signal handler too.
[[noreturn]] void endBySignal(int number);

} // namespace zevuzavidav
