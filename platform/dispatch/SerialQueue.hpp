#pragma once
// A serial queue with its own worker thread: blocks run one at a time in submission (and deadline)
// order. The thread carries the queue's label as its name: the kernel keeps its last 15 bytes, the
// darwin thread table the whole label, and the label of the queue running a block for crash records.
//
// Thread-safety: every member may be called from any thread. sync() runs the block on the caller's
// thread, as the queue's next block: it waits for the blocks due before the call (and for the block or
// sync() running), then holds the queue, the worker waiting, with the queue's label current on the
// caller's thread (currentQueueLabel, the darwin thread table, isCurrent). So an idle queue costs no
// thread switch and a busy one a single wake-up. Callers of sync() that find the queue free go at once,
// even past other callers of sync() still waking up to their turn, as threads take a mutex, but never
// past a block queued before them. sync() from a block already running on this queue runs the block
// inline instead of deadlocking. An exception from a sync() block reaches the caller; one from an async
// block ends the process. Destruction waits for the block that is running and for work already due,
// drops delayed work that is not yet due, and joins the thread; it must not be called from the queue's
// own thread, nor while a sync() is running or waiting.
#include "platform/dispatch/Queue.hpp"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

namespace dispatch {

class SerialQueue final : public Queue {
  public:
    explicit SerialQueue(std::string label);
    ~SerialQueue() override;
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    const std::string& label() const override;
    void schedule(Deadline deadline, WorkItem item) override;

    // Runs the block as the queue's next block, after the work due before it, and returns when it has
    // finished.
    void sync(const std::function<void()>& block);

    template <class F> auto syncResult(F&& f) -> std::invoke_result_t<F> {
        using R = std::invoke_result_t<F>;
        if constexpr (std::is_void_v<R>) {
            sync(std::forward<F>(f));
        } else {
            std::optional<R> result;
            sync([&] { result.emplace(f()); });
            return std::move(*result);
        }
    }

    // True while the calling thread is running a block of this queue.
    bool isCurrent() const;
    // Callers of sync() waiting for their turn.
    std::size_t waitingSyncCount() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// The label of the serial queue (or "com.apple.root.default-qos" for the global queue, "com.apple.main-
// thread" for the main queue while it runs) whose block the calling thread is running; empty otherwise.
std::string currentQueueLabel();

} // namespace dispatch
