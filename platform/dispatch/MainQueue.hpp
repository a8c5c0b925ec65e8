#pragma once
// The main queue and main loop. All view code runs here; callbacks the platform delivers "on the main
// thread" are posted here.
//
// Nothing runs the main queue on its own: the thread that owns the loop (the terminal front end in the
// app, the test body in tests) calls run(), runOnce(), runUntil() or drain(). That thread is the main
// thread (by default the thread that first called dispatch::main()).
//
// Thread-safety: async/asyncAfter/after/schedule, stop() and wake() may be called from any thread and
// wake a loop that is waiting. The running members must be called from one thread at a time; a block
// that calls them re-entrantly runs nested work, which is allowed but seldom wise.
#include "platform/dispatch/Queue.hpp"

#include <functional>
#include <memory>
#include <optional>

namespace dispatch {

class MainQueue final : public Queue {
  public:
    MainQueue();
    ~MainQueue() override;
    MainQueue(const MainQueue&) = delete;
    MainQueue& operator=(const MainQueue&) = delete;

    const std::string& label() const override;
    void schedule(Deadline deadline, WorkItem item) override;

    // Runs every item that is due now, including items that due work adds for now, and returns how many
    // blocks ran (cancelled items are dropped without counting). Never waits.
    std::size_t drain();

    // Waits up to `maxWaitSeconds` (on the clock) for something to become due or to be posted, then runs
    // what is due. Returns the number of blocks run. With a virtual clock it does not wait for time to
    // pass, only for posts from other threads (up to the same span of real time).
    std::size_t runOnce(double maxWaitSeconds);

    // Runs the loop until `done` returns true (checked before waiting and after every block), or until
    // `timeoutSeconds` of real time have passed. Returns done(). For tests waiting on other threads.
    bool runUntil(const std::function<bool()>& done, double timeoutSeconds = 5.0);

    // The terminal's loop: runs until stop() is called. `idle` (optional) runs after each pass, e.g. to
    // read keys; it gets the time until the next due item (nullopt: nothing scheduled).
    void run(const std::function<void(std::optional<double> secondsUntilDue)>& idle = {});
    void stop();

    // Wakes a waiting loop without submitting work (used by the terminal's input thread).
    void wake();
    // Called (from the posting thread) whenever work is posted; lets an external loop wake up.
    void setWakeHandler(std::function<void()> handler);

    // Virtual clock only: moves time forward by `seconds`, running each main-queue item at its own
    // deadline in deadline order (the clock reads that deadline while it runs). Returns blocks run.
    // With the real clock it only drains.
    std::size_t advance(double seconds);

    // Time until the earliest pending item is due (0 when something is due now), nullopt when empty.
    std::optional<double> secondsUntilNextDue() const;
    // Pending items, cancelled ones included until reached.
    std::size_t pendingCount() const;
    // Drops everything pending (tests start from an empty queue).
    void removeAll();

    // Makes the calling thread the main thread.
    void bindToCurrentThread();
    bool isCurrentThread() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// The process's main queue.
MainQueue& main();
bool isMainThread();

} // namespace dispatch
