#include "platform/dispatch/MainQueue.hpp"

#include "platform/dispatch/detail/Labels.hpp"
#include "platform/dispatch/detail/Schedule.hpp"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace dispatch {

namespace {
// Static initialisation runs on the process's first thread: that is the main thread unless rebound.
std::atomic<std::thread::id> gMainThread{std::this_thread::get_id()};
} // namespace

struct MainQueue::State {
    std::string label = "com.apple.main-thread";
    const char* interned = detail::internLabel(label);
    mutable std::mutex mutex;
    std::condition_variable cv;
    detail::Schedule schedule;
    bool woken = false;
    std::atomic<bool> stopRequested{false};
    std::function<void()> wakeHandler;
    std::uint64_t listener = 0;

    // Moves the schedule onto the clock in use and returns that clock (lock held).
    std::shared_ptr<Clock> followClock() {
        auto clock = currentClock();
        schedule.follow(clock);
        return clock;
    }

    // Pops and runs one due item; returns 0 (nothing due), 1 (ran) or -1 (dropped a cancelled item).
    int runOne() {
        std::optional<detail::Schedule::Entry> entry;
        {
            std::lock_guard lock(mutex);
            entry = schedule.popDue(followClock()->now());
        }
        if (!entry) return 0;
        if (entry->item.isCancelled()) return -1;
        detail::RunningQueueScope scope(interned);
        entry->item.perform();
        return 1;
    }

    std::size_t runDue(const std::function<bool()>* stopWhen) {
        std::size_t ran = 0;
        for (;;) {
            if (stopWhen && (*stopWhen)()) break;
            int r = runOne();
            if (r == 0) break;
            if (r == 1) ++ran;
        }
        return ran;
    }

    void notify() {
        std::function<void()> handler;
        {
            std::lock_guard lock(mutex);
            woken = true;
            handler = wakeHandler;
        }
        cv.notify_all();
        if (handler) handler();
    }

    // Waits until something is due or posted, at most `maxWait` (real time for a virtual clock).
    void waitForWork(double maxWait) {
        std::unique_lock lock(mutex);
        if (woken) {
            woken = false;
            return;
        }
        auto clock = followClock();
        Nanoseconds now = clock->now();
        auto next = schedule.nextDeadline();
        if (next && *next <= now) return;
        if (clock->isVirtual()) {
            cv.wait_for(lock, std::chrono::duration<double>(maxWait),
                        [&] { return woken || clock->isRetired(); });
        } else {
            Nanoseconds limit = detail::addSaturating(now, fromSeconds(maxWait));
            if (next && *next < limit) limit = *next;
            // A new clock ends the wait: what is pending has moved onto it, and may be due at once.
            while (!woken && !clock->isRetired() && !clock->hasReached(limit))
                clock->waitUntil(cv, lock, limit);
        }
        woken = false;
    }
};

MainQueue::MainQueue() : state_(std::make_unique<State>()) {
    State* s = state_.get();
    s->listener = detail::addClockListener([s] {
        { std::lock_guard lock(s->mutex); }
        s->cv.notify_all();
    });
}

MainQueue::~MainQueue() {
    detail::removeClockListener(state_->listener);
}

const std::string& MainQueue::label() const {
    return state_->label;
}

void MainQueue::schedule(Deadline deadline, WorkItem item) {
    {
        std::lock_guard lock(state_->mutex);
        state_->followClock();
        state_->schedule.push(deadline, std::move(item));
    }
    state_->notify();
}

std::size_t MainQueue::drain() {
    return state_->runDue(nullptr);
}

std::size_t MainQueue::runOnce(double maxWaitSeconds) {
    state_->waitForWork(maxWaitSeconds);
    return drain();
}

bool MainQueue::runUntil(const std::function<bool()>& done, double timeoutSeconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    for (;;) {
        state_->runDue(&done);
        if (done()) return true;
        auto left = std::chrono::duration<double>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) return done();
        state_->waitForWork(std::min(left, 0.05));
    }
}

void MainQueue::run(const std::function<void(std::optional<double>)>& idle) {
    state_->stopRequested = false;
    while (!state_->stopRequested) {
        drain();
        if (state_->stopRequested) break;
        if (idle) {
            idle(secondsUntilNextDue());
        } else {
            auto until = secondsUntilNextDue();
            state_->waitForWork(until ? std::min(*until, 1.0) : 1.0);
        }
    }
}

void MainQueue::stop() {
    state_->stopRequested = true;
    state_->notify();
}

void MainQueue::wake() {
    state_->notify();
}

void MainQueue::setWakeHandler(std::function<void()> handler) {
    std::lock_guard lock(state_->mutex);
    state_->wakeHandler = std::move(handler);
}

std::size_t MainQueue::advance(double seconds) {
    auto clock = currentClock();
    auto* virtualClock = dynamic_cast<VirtualClock*>(clock.get());
    if (!virtualClock) return drain();
    Nanoseconds target = virtualClock->now() + fromSeconds(seconds);
    std::size_t ran = drain();
    for (;;) {
        std::optional<Nanoseconds> next;
        {
            std::lock_guard lock(state_->mutex);
            state_->followClock();
            next = state_->schedule.nextDeadline();
        }
        if (!next || *next > target) break;
        virtualClock->advanceTo(*next);
        ran += drain();
    }
    virtualClock->advanceTo(target);
    ran += drain();
    return ran;
}

std::optional<double> MainQueue::secondsUntilNextDue() const {
    std::lock_guard lock(state_->mutex);
    auto clock = state_->followClock();
    auto next = state_->schedule.nextDeadline();
    if (!next) return std::nullopt;
    Nanoseconds left = *next - clock->now();
    return left.count() > 0 ? toSeconds(left) : 0.0;
}

std::size_t MainQueue::pendingCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->schedule.size();
}

void MainQueue::removeAll() {
    std::lock_guard lock(state_->mutex);
    state_->schedule.clear();
}

void MainQueue::bindToCurrentThread() {
    gMainThread = std::this_thread::get_id();
}

bool MainQueue::isCurrentThread() const {
    return gMainThread.load() == std::this_thread::get_id();
}

MainQueue& main() {
    static auto* queue = new MainQueue; // never destroyed: other threads may post during exit
    return *queue;
}

bool isMainThread() {
    return gMainThread.load() == std::this_thread::get_id();
}

} // namespace dispatch
