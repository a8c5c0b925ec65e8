#include "platform/dispatch/WorkItem.hpp"

namespace dispatch {

WorkItem::WorkItem() : state_(std::make_shared<State>()) {}

WorkItem::WorkItem(std::function<void()> block) : state_(std::make_shared<State>()) {
    state_->block = std::move(block);
}

void WorkItem::perform() const {
    if (state_->cancelled.load() || !state_->block) return;
    state_->block();
}

void WorkItem::cancel() const {
    state_->cancelled.store(true);
}

bool WorkItem::isCancelled() const {
    return state_->cancelled.load();
}

} // namespace dispatch
