#pragma once
// What every dispatch queue offers: submit work now or after a delay.
//
// Thread-safety: all submitting members may be called from any thread, also from a block running on
// the same queue. Work submitted to one queue with the same deadline runs in submission order; delayed
// work runs in deadline order. Delays are measured on dispatch::clock().
#include "platform/dispatch/Clock.hpp"
#include "platform/dispatch/WorkItem.hpp"

#include <cstdint>
#include <functional>
#include <string>

namespace dispatch {

class Queue {
  public:
    virtual ~Queue() = default;

    // The queue's name ("com.apple.main-thread" style labels are the caller's choice).
    virtual const std::string& label() const = 0;

    void async(std::function<void()> block);
    void async(WorkItem item);

    // Runs the block `seconds` from now (0 or less: as soon as possible, after work already queued).
    void asyncAfter(double seconds, std::function<void()> block);
    void asyncAfter(double seconds, WorkItem item);

    // Runs the block `nanoseconds` from now (dispatch_after with a nanosecond offset).
    void after(std::int64_t nanoseconds, std::function<void()> block);

    // Submits for a time on a clock (see Deadline). The one primitive the members above use.
    virtual void schedule(Deadline deadline, WorkItem item) = 0;
};

} // namespace dispatch
