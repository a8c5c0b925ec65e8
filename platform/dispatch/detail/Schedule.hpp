#pragma once
// Pending work of one queue, ordered by deadline and, for equal deadlines, by submission. Not locked:
// the owning queue guards it with its own mutex.
//
// Every time it holds is on one clock, the one the owner last followed; the owner follows the clock in
// use before it reads or adds a time, so a change of clock moves what is pending onto the new one (see
// Clock.hpp) and work due on a virtual clock never waits on the real one.
#include "platform/dispatch/Clock.hpp"
#include "platform/dispatch/WorkItem.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

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

    // Moves every entry onto `clock` when they are on another, keeping their order. Returns what was
    // added to each time, for the places the owner holds (zero when the clock is the same).
    Nanoseconds follow(const std::shared_ptr<Clock>& clock) {
        if (clock == clock_) return Nanoseconds{0};
        Nanoseconds shift{0};
        if (clock_) {
            shift =
                shiftOnto(*clock_, *clock, entries_.empty() ? clock_->now() : entries_.rbegin()->deadline);
            // One shift for all keeps the order, so the entries go back in the same sequence.
            std::vector<std::multiset<Entry>::node_type> nodes;
            nodes.reserve(entries_.size());
            while (!entries_.empty())
                nodes.push_back(entries_.extract(entries_.begin()));
            for (auto& node : nodes) {
                node.value().deadline = addSaturating(node.value().deadline, shift);
                entries_.insert(entries_.end(), std::move(node));
            }
        }
        clock_ = clock;
        return shift;
    }

    // Adds `item`, due at `deadline`, on the clock last followed.
    void push(const Deadline& deadline, WorkItem item) {
        Nanoseconds time = deadline.time;
        if (clock_ && deadline.clock && deadline.clock != clock_)
            time = addSaturating(time, shiftOnto(*deadline.clock, *clock_, time)); // read before a change
        entries_.insert(Entry{time, next_++, std::move(item)});
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
    std::shared_ptr<Clock> clock_; // the clock of every time held
};

} // namespace dispatch::detail
