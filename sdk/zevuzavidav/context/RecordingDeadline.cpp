#include "sdk/zevuzavidav/context/RecordingDeadline.hpp"

#include "platform/darwin/SignalDelivery.hpp"
#include "platform/darwin/SystemCall.hpp"
#include "platform/darwin/Threads.hpp"
#include "platform/darwin/Waits.hpp"
#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/record/ZEVFile.hpp"

#include <atomic>
#include <csignal>
#include <ctime>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

int boundSignal() {
    return SIGRTMAX - 2;
}

// The armed recording's signal (0: none armed), the moment it was armed, the moment its bound runs out
// were the recorder never kept waiting for a core, and how long it had waited for one when armed (-1:
// the kernel does not tell, and the bound is counted on the clock alone).
std::atomic<int> endingSignal{0};
std::atomic<long> armedAt{0};
std::atomic<long> deadline{0};
std::atomic<long> coreWaitWhenArmed{-1};
// The thread that armed the bound, which records, and the record it writes (null: none told).
std::atomic<pid_t> recorder{0};
std::atomic<ZEVFile*> recordingFile{nullptr};
// How long a thread that took the bound's tick waits for the recorder to end the process itself, having
// written out its record, before it ends the process with what the record holds by then.
std::atomic<long> handOverNanos{0};
// The kernel timer, made once per process (a forked child has none of its parent's) and kept.
std::atomic<int> timer{-1};
std::atomic<pid_t> timerProcess{0};
// The bound's signal is the SDK's only while a recording is armed: what the app had on it before, and
// whether the arming thread had it blocked, are given back at disarm. Only the turn's holder arms and
// disarms, one recording at a time, so plain fields suffice behind `held`.
std::atomic<bool> held{false};
struct sigaction appDisposition;
bool appBlockedIt = false;

// Whether the armed recording's bound is out at `now`: the recorder has had the bound of its own time
// since it was armed, or the bound's cap has passed on the clock.
bool boundIsOut(long now) {
    const long bound = deadline.load(std::memory_order_acquire);
    if (now < bound) return false;
    const long before = coreWaitWhenArmed.load(std::memory_order_acquire);
    const pid_t recording = recorder.load(std::memory_order_acquire);
    const long waited = before >= 0 && recording != 0 ? darwin::threadCoreWaitNanos(recording) - before : -1;
    return zevuzavidav::recordingBoundIsOut(armedAt.load(std::memory_order_acquire), bound, waited, now);
}

void onBound(int, siginfo_t*, void*) {
    const darwin::OwnWork work;
    const int number = endingSignal.load(std::memory_order_acquire);
    if (number == 0 || !boundIsOut(darwin::monotonicNanos())) return;
    const pid_t me = darwin::currentThreadId();
    const pid_t recording = recorder.load(std::memory_order_acquire);
    if (recording != 0 && recording != me) {
        // Only the recorder may touch its record's buffer, which it may be filling right now: it is
        // handed the tick, to write out what it holds and end the process itself. Should it not (it
        // sleeps where no signal reaches it), this thread ends the process with what the file holds.
        darwin::systemCall(SYS_tgkill, darwin::currentProcessId(), recording, boundSignal());
        const long patience = handOverNanos.load(std::memory_order_acquire);
        const long since = darwin::monotonicNanos();
        const long waitedBefore = darwin::threadCoreWaitNanos(recording);
        // As long again as the recorder waits for a core meanwhile, the bound's cap at most.
        const long room =
            armedAt.load(std::memory_order_acquire) + zevuzavidav::kRecordingBoundCapNanos - since;
        for (;;) {
            if (endingSignal.load(std::memory_order_acquire) != number) return; // it ended in time
            long putOff = waitedBefore >= 0 ? darwin::threadCoreWaitNanos(recording) - waitedBefore : 0;
            putOff = putOff < room ? putOff : room;
            const long left = since + patience + (putOff > 0 ? putOff : 0) - darwin::monotonicNanos();
            if (left <= 0) break;
            darwin::futexWait(&endingSignal, number,
                              left < zevuzavidav::kRecordingBoundRecheckNanos
                                  ? left
                                  : zevuzavidav::kRecordingBoundRecheckNanos);
        }
        ZEVSDKLog("%s: The recording did not end within its bound, nor its thread answer; ending the "
                  "process by signal %d\n",
                  "ZEVRecordingDeadline", number);
        zevuzavidav::endBySignal(number);
    }
    // This thread records: interrupted wherever it stood, its record keeps every line it finished.
    if (ZEVFile* file = recordingFile.exchange(nullptr, std::memory_order_acq_rel))
        zevuzavidav::writeOutInterruptedBuffer(file);
    ZEVSDKLog("%s: The recording did not end within its bound; ending the process by signal %d\n",
              "ZEVRecordingDeadline", number);
    zevuzavidav::endBySignal(number);
}

// Takes the bound's signal for the recording, keeping what the app had on it; the recorder itself may be
// where the kernel sends the tick, so it must not hold it off.
bool takeBoundSignal() {
    struct sigaction action {};
    action.sa_sigaction = onBound;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
    sigemptyset(&action.sa_mask);
    struct sigaction previous {};
    if (sigaction(boundSignal(), &action, &previous) != 0) return false;
    sigset_t bound;
    sigemptyset(&bound);
    sigaddset(&bound, boundSignal());
    sigset_t before;
    sigemptyset(&before);
    sigprocmask(SIG_UNBLOCK, &bound, &before);
    // Taken already (a recording that never disarmed): what the app had is what was kept then.
    if (!held.load(std::memory_order_acquire)) {
        appDisposition = previous;
        appBlockedIt = sigismember(&before, boundSignal()) == 1;
        held.store(true, std::memory_order_release);
    }
    return true;
}

// Gives the app its disposition of the bound's signal back, and the disarming thread its mask.
void giveBoundSignalBack() {
    if (!held.load(std::memory_order_acquire)) return;
    sigaction(boundSignal(), &appDisposition, nullptr);
    if (appBlockedIt) {
        sigset_t bound;
        sigemptyset(&bound);
        sigaddset(&bound, boundSignal());
        sigprocmask(SIG_BLOCK, &bound, nullptr);
    }
    held.store(false, std::memory_order_release);
}

// This process's timer, made on first use; -1 when the kernel gives none.
int processTimer() {
    const pid_t me = darwin::currentProcessId();
    if (timerProcess.load(std::memory_order_acquire) == me) return timer.load(std::memory_order_acquire);
    sigevent event{};
    event.sigev_notify = SIGEV_SIGNAL;
    event.sigev_signo = boundSignal();
    int made = -1;
    if (darwin::systemCall(SYS_timer_create, CLOCK_MONOTONIC, &event, &made) != 0) return -1;
    timer.store(made, std::memory_order_release);
    timerProcess.store(me, std::memory_order_release);
    return made;
}

// Sets the timer to tick `nanos` from now, and every kRecordingBoundRecheckNanos after that until it is
// stopped: a bound that a recorder kept waiting for cores has put off is looked at again; 0 stops it.
bool setTimer(int id, long nanos) {
    const long again = nanos == 0 ? 0 : zevuzavidav::kRecordingBoundRecheckNanos;
    itimerspec when{{again / 1000000000L, again % 1000000000L}, {nanos / 1000000000L, nanos % 1000000000L}};
    return darwin::systemCall(SYS_timer_settime, id, 0, &when, nullptr) == 0;
}

} // namespace

bool zevuzavidav::armRecordingDeadline(int crashSignal, long boundNanos, long handOverNanosGiven) {
    const int id = processTimer();
    if (id < 0 || !takeBoundSignal()) return false;
    const long now = darwin::monotonicNanos();
    armedAt.store(now, std::memory_order_release);
    deadline.store(now + boundNanos, std::memory_order_release);
    coreWaitWhenArmed.store(darwin::threadCoreWaitNanos(darwin::currentThreadId()),
                            std::memory_order_release);
    recordingFile.store(nullptr, std::memory_order_release);
    handOverNanos.store(handOverNanosGiven, std::memory_order_release);
    recorder.store(darwin::currentThreadId(), std::memory_order_release);
    endingSignal.store(crashSignal, std::memory_order_release);
    if (setTimer(id, boundNanos)) return true;
    endingSignal.store(0, std::memory_order_release);
    giveBoundSignalBack();
    return false;
}

void zevuzavidav::disarmRecordingDeadline() {
    endingSignal.store(0, std::memory_order_release);
    darwin::futexWakeAll(&endingSignal); // a thread that took the tick and waits for the recorder
    recordingFile.store(nullptr, std::memory_order_release);
    recorder.store(0, std::memory_order_release);
    if (timerProcess.load(std::memory_order_acquire) == darwin::currentProcessId())
        setTimer(timer.load(std::memory_order_acquire), 0);
    // The timer is stopped first: no tick of this recording comes after the app has its signal back,
    // save one the kernel had already queued as the recording ended right at its bound.
    giveBoundSignalBack();
}

bool zevuzavidav::recordingWithinItsBound() {
    return endingSignal.load(std::memory_order_acquire) != 0 && !boundIsOut(darwin::monotonicNanos());
}

bool zevuzavidav::recordingBoundIsOut(long armed, long bound, long waited, long now) {
    if (now < bound) return false;
    if (now - armed >= kRecordingBoundCapNanos || waited < 0) return true;
    // Waiting for a core is no stuck recorder: a machine whose every core is taken puts the bound off.
    return now - waited >= bound;
}

void zevuzavidav::setRecordingFile(ZEVFile* file) {
    recordingFile.store(file, std::memory_order_release);
}

void zevuzavidav::endBySignal(int number) {
    // The kernel's own disposition, whatever handler (or the exception port's emulation) had it, the
    // signal let through and sent to this thread.
    darwin::giveDefaultAction(number, false);
    // Every crash signal's default action ends the process; should this one not have, nothing may go on.
    for (;;)
        darwin::systemCall(SYS_kill, darwin::currentProcessId(), SIGKILL);
}
