#pragma once
// A small serial queue for the crash reporter's own work (logging, binary images, exceptions).
//
// Blocks run one at a time in submission order. async() hands a block to the queue's worker thread;
// sync() waits for the blocks submitted before it and then runs the block on the caller's own thread,
// so a crash recorded from inside sync() shows the caller's stack. A sync() from a block already
// running on the same queue runs at once rather than waiting for itself. The worker names itself after the
// label, registers the label as its queue name for crash records and runs with an alternate signal
// stack. Destruction drains the queue. Not for use at crash time.
#include <functional>
#include <memory>
#include <string>

class ZEVSerialQueue {
  public:
    explicit ZEVSerialQueue(std::string label);
    ~ZEVSerialQueue();
    ZEVSerialQueue(const ZEVSerialQueue&) = delete;
    ZEVSerialQueue& operator=(const ZEVSerialQueue&) = delete;

    void async(std::function<void()> block);
    void sync(const std::function<void()>& block);
    const std::string& label() const { return label_; }

  private:
    struct State;
    std::string label_;
    std::unique_ptr<State> state_;
};
