#pragma once
// Pending work of one queue, ordered by deadline and, for equal deadlines, by submission. Not locked:
// the owning queue guards it with its own mutex.
#include "platform/dispatch/Clock.hpp"
#include "platform/dispatch/WorkItem.hpp"

#include <cstdint>
#include <optional>
#include <set>

namespace dispatch::detail {

class Schedule {
  public:
    struct Entry {
        Nanoseconds deadline;
        std::uint64_t sequence;
        WorkItem item;
        bool operator<(const Entry& other) const {
            return deadline != other.deadline ? deadline < other.deadline : sequence < other.sequence;
        }
    };

    // A place in the order that no entry holds: the one a block submitted now, due at `deadline`, would
    // take. Entries pushed later come after it.
    struct Place {
        Nanoseconds deadline;
        std::uint64_t sequence;
    };

    void push(Nanoseconds deadline, WorkItem item) {
        entries_.insert(Entry{deadline, next_++, std::move(item)});
    }

    Place takePlace(Nanoseconds deadline) { return Place{deadline, next_++}; }

    // True when every entry comes after `place` in the order.
    bool allAfter(const Place& place) const {
        if (entries_.empty()) return true;
        const Entry& first = *entries_.begin();
        return first.deadline != place.deadline ? place.deadline < first.deadline
                                                : place.sequence < first.sequence;
    }

    // The earliest entry if it is due at `now`.
    std::optional<Entry> popDue(Nanoseconds now) {
        if (entries_.empty() || entries_.begin()->deadline > now) return std::nullopt;
        auto node = entries_.extract(entries_.begin());
        return std::move(node.value());
    }

    std::optional<Nanoseconds> nextDeadline() const {
        if (entries_.empty()) return std::nullopt;
        return entries_.begin()->deadline;
    }

    // Drops entries that are not due at `now`.
    void dropNotDue(Nanoseconds now) {
        auto it = entries_.begin();
        while (it != entries_.end() && it->deadline <= now)
            ++it;
        entries_.erase(it, entries_.end());
    }

    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    void clear() { entries_.clear(); }

  private:
    std::multiset<Entry> entries_;
    std::uint64_t next_ = 0;
};

} // namespace dispatch::detail
