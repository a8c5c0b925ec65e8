#include "platform/dispatch/ThreadQueueLabels.hpp"

#include "platform/dispatch/SerialQueue.hpp"
#include "platform/dispatch/detail/Labels.hpp"

#include <array>
#include <atomic>
#include <mutex>
#include <set>
#include <sys/syscall.h>
#include <unistd.h>

namespace dispatch {

namespace {

struct Slot {
    std::atomic<pid_t> tid{0};
    std::atomic<const char*> label{nullptr};
};

constexpr std::size_t kSlots = 512;
std::array<Slot, kSlots> gSlots;

pid_t currentTid() noexcept {
    return static_cast<pid_t>(::syscall(SYS_gettid));
}

// The calling thread's slot, claimed on first use and released when the thread ends.
struct SlotClaim {
    Slot* slot = nullptr;
    SlotClaim() {
        pid_t tid = currentTid();
        for (auto& s : gSlots) {
            pid_t expected = 0;
            if (s.tid.compare_exchange_strong(expected, tid)) {
                slot = &s;
                break;
            }
        }
    }
    ~SlotClaim() {
        if (!slot) return;
        slot->label.store(nullptr);
        slot->tid.store(0);
    }
};

thread_local const char* tRunning = nullptr;

void publish(const char* label) noexcept {
    thread_local SlotClaim claim;
    if (claim.slot) claim.slot->label.store(label);
}

} // namespace

const char* queueLabelOfThread(pid_t tid) noexcept {
    if (tid == 0) return nullptr;
    for (auto& s : gSlots) {
        if (s.tid.load(std::memory_order_acquire) == tid) return s.label.load(std::memory_order_acquire);
    }
    return nullptr;
}

std::string currentQueueLabel() {
    const char* label = tRunning;
    return label ? std::string(label) : std::string();
}

namespace detail {

const char* internLabel(const std::string& label) {
    static std::mutex mutex;
    static auto* labels = new std::set<std::string>; // never freed: pointers are handed out for good
    std::lock_guard lock(mutex);
    return labels->insert(label).first->c_str();
}

RunningQueueScope::RunningQueueScope(const char* label) noexcept : previous_(tRunning) {
    tRunning = label;
    publish(label);
}

RunningQueueScope::~RunningQueueScope() {
    tRunning = previous_;
    publish(previous_);
}

const char* runningQueueLabel() noexcept {
    return tRunning;
}

} // namespace detail

} // namespace dispatch
