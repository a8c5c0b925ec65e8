#include "platform/dispatch/Queue.hpp"

namespace dispatch {

void Queue::async(std::function<void()> block) {
    async(WorkItem(std::move(block)));
}

void Queue::async(WorkItem item) {
    schedule(deadlineIn(Nanoseconds{0}), std::move(item));
}

void Queue::asyncAfter(double seconds, std::function<void()> block) {
    asyncAfter(seconds, WorkItem(std::move(block)));
}

void Queue::asyncAfter(double seconds, WorkItem item) {
    schedule(deadlineIn(fromSeconds(seconds)), std::move(item));
}

void Queue::after(std::int64_t nanoseconds, std::function<void()> block) {
    schedule(deadlineIn(Nanoseconds{nanoseconds > 0 ? nanoseconds : 0}), WorkItem(std::move(block)));
}

} // namespace dispatch
