#pragma once
// Entries of the small tables a crash's walk reads without locks while other threads may fill them. A
// writer claims an entry by making its sequence odd and lets it go two higher; a reader copies the
// entry between two looks at the sequence and takes a miss when it was odd or moved. Neither side ever
// waits (a writer that finds the entry claimed skips its write), so both are safe in a signal handler.
#include <atomic>
#include <cstdint>

namespace zevuzavidav {

// The claim on one entry, held for the scope. Write the entry's words (relaxed) only when claimed().
class SequencedWrite {
  public:
    explicit SequencedWrite(std::atomic<std::uint64_t>& sequence)
        : sequence_(sequence), before_(sequence.load(std::memory_order_relaxed)) {
        claimed_ = (before_ & 1) == 0 &&
                   sequence_.compare_exchange_strong(before_, before_ + 1, std::memory_order_acquire);
        // Readers that saw the old sequence and then read new words see the claim when they look again.
        if (claimed_) std::atomic_thread_fence(std::memory_order_release);
    }
    ~SequencedWrite() {
        if (claimed_) sequence_.store(before_ + 2, std::memory_order_release);
    }
    SequencedWrite(const SequencedWrite&) = delete;
    SequencedWrite& operator=(const SequencedWrite&) = delete;

    bool claimed() const { return claimed_; }

  private:
    std::atomic<std::uint64_t>& sequence_;
    std::uint64_t before_;
    bool claimed_;
};

// A read of one entry: copy its words (relaxed) only when begin() is true, and keep the copy only when
// unchanged() is true afterwards.
class SequencedRead {
  public:
    explicit SequencedRead(const std::atomic<std::uint64_t>& sequence)
        : sequence_(sequence), before_(sequence.load(std::memory_order_acquire)) {}

    bool begin() const { return (before_ & 1) == 0; }
    bool unchanged() const {
        std::atomic_thread_fence(std::memory_order_acquire);
        return sequence_.load(std::memory_order_relaxed) == before_;
    }

  private:
    const std::atomic<std::uint64_t>& sequence_;
    std::uint64_t before_;
};

} // namespace zevuzavidav
