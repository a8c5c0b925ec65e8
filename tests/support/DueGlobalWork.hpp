#pragma once
// Waiting until the global queue has run what was due: for a test on a virtual clock that has moved
// it, and must see that delayed work which should not be due yet has not run.
#include "platform/dispatch/GlobalQueue.hpp"
#include "tests/support/Waiter.hpp"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>

namespace velotest {

// Returns once every block of the global queue that was due when it was called has run to its end:
// blocks start in deadline order, so when as many markers as the pool has workers all run at once,
// whatever started before them has finished. False when they never met (after kPatience).
inline bool dueGlobalWorkHasRun() {
    struct Meeting {
        std::mutex mutex;
        std::condition_variable cv;
        std::size_t arrived = 0;
    };
    const std::size_t workers = dispatch::global().maximumThreadCount();
    auto meeting = std::make_shared<Meeting>();
    auto all = std::make_shared<Waiter<bool>>();
    for (std::size_t i = 0; i < workers; ++i)
        dispatch::global().async([meeting, all, workers] {
            std::unique_lock lock(meeting->mutex);
            if (++meeting->arrived == workers) all->set(true);
            meeting->cv.notify_all();
            meeting->cv.wait_for(lock, std::chrono::duration<double>(kPatience),
                                 [&] { return meeting->arrived == workers; });
        });
    return all->wait().has_value();
}

} // namespace velotest
