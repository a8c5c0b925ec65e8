#pragma once
// A cancellable block of work, shared by value: copies of a WorkItem are the same item, so the one kept
// by its owner can cancel the copy a queue holds.
//
// Contract: perform() runs the block unless the item is cancelled; a queue that reaches a cancelled item
// drops it. Cancelling does not interrupt a block that is already running. Every member is thread-safe.
// A default-constructed item has an empty block: performing it does nothing.
#include <atomic>
#include <functional>
#include <memory>

namespace dispatch {

class WorkItem {
  public:
    WorkItem();
    explicit WorkItem(std::function<void()> block);

    // Runs the block on the calling thread, unless cancelled.
    void perform() const;
    void cancel() const;
    bool isCancelled() const;

    // Same item (not merely an equal block).
    friend bool operator==(const WorkItem& a, const WorkItem& b) { return a.state_ == b.state_; }

  private:
    struct State {
        std::function<void()> block;
        std::atomic<bool> cancelled{false};
    };
    std::shared_ptr<State> state_;
};

} // namespace dispatch
