#include "platform/dispatch/Group.hpp"

#include <condition_variable>
#include <mutex>
#include <utility>
#include <vector>

namespace dispatch {

struct Group::State {
    std::mutex mutex;
    std::condition_variable cv;
    std::size_t count = 0;
    std::vector<std::pair<Queue*, std::function<void()>>> notifies;
};

namespace {
// Works on the state alone, so a block submitted by async() can leave after the group object is gone.
template <class State> void leaveState(State& state) {
    std::vector<std::pair<Queue*, std::function<void()>>> ready;
    {
        std::lock_guard lock(state.mutex);
        if (state.count == 0) return; // unbalanced leave: ignored, see header
        if (--state.count > 0) return;
        ready.swap(state.notifies);
    }
    state.cv.notify_all();
    for (auto& [queue, block] : ready)
        queue->async(std::move(block));
}
} // namespace

Group::Group() : state_(std::make_shared<State>()) {}

Group::~Group() = default;

void Group::enter() {
    std::lock_guard lock(state_->mutex);
    ++state_->count;
}

void Group::leave() {
    leaveState(*state_);
}

void Group::async(Queue& queue, std::function<void()> block) {
    enter();
    // The state, not the group, is captured: the group may be gone before the block runs.
    queue.async([state = state_, block = std::move(block)] {
        block();
        leaveState(*state);
    });
}

bool Group::wait(std::optional<double> timeoutSeconds) {
    if (!timeoutSeconds) {
        std::unique_lock lock(state_->mutex);
        state_->cv.wait(lock, [&] { return state_->count == 0; });
        return true;
    }
    // The time-out stays on the clock it began on: a real one keeps its time when a virtual clock is
    // installed meanwhile, and a virtual one that is replaced has run out (see Clock.hpp).
    const Deadline deadline = deadlineIn(fromSeconds(*timeoutSeconds));
    // A virtual clock moves, or is replaced, without the group's count changing: either wakes the wait
    // to look again. Listened to outside the group's lock, which the listener takes under its own.
    std::uint64_t listener = 0;
    if (deadline.clock->isVirtual()) {
        listener = detail::addClockListener([state = state_] {
            { std::lock_guard lock(state->mutex); }
            state->cv.notify_all();
        });
    }
    bool emptied = false;
    {
        std::unique_lock lock(state_->mutex);
        while (state_->count > 0 && !deadline.clock->hasReached(deadline.time))
            deadline.clock->waitUntil(state_->cv, lock, deadline.time);
        emptied = state_->count == 0;
    }
    if (listener != 0) detail::removeClockListener(listener);
    return emptied;
}

void Group::notify(Queue& queue, std::function<void()> block) {
    {
        std::lock_guard lock(state_->mutex);
        if (state_->count > 0) {
            state_->notifies.emplace_back(&queue, std::move(block));
            return;
        }
    }
    queue.async(std::move(block));
}

std::size_t Group::outstanding() const {
    std::lock_guard lock(state_->mutex);
    return state_->count;
}

} // namespace dispatch
