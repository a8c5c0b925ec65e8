#pragma once
// One replaceable process-wide service: the instance the app shares, which start-up code or a test may
// swap for another. `Value` is anything that tests false when empty (a shared_ptr, a std::function, an
// optional); installing an empty value puts back what the fallback makes (or the empty value itself when
// there is no fallback).
//
// Failure contract: none. Thread-safe; get() answers a copy, so a caller keeps the instance it got alive
// even while another thread swaps it.
#include <memory>
#include <mutex>
#include <utility>

namespace svc {

template <typename Value> class ServiceSlot {
  public:
    using Fallback = Value (*)();

    explicit ServiceSlot(Fallback fallback = nullptr) : fallback_(fallback), value_(makeFallback()) {}
    ServiceSlot(const ServiceSlot&) = delete;
    ServiceSlot& operator=(const ServiceSlot&) = delete;

    Value get() const {
        std::lock_guard lock(mutex_);
        return value_;
    }

    // Installs `value` (empty: the fallback) and answers the one it replaces.
    Value exchange(Value value) {
        if (!value) value = makeFallback();
        std::lock_guard lock(mutex_);
        std::swap(value, value_);
        return value;
    }

  private:
    Value makeFallback() const { return fallback_ ? fallback_() : Value{}; }

    Fallback fallback_;
    mutable std::mutex mutex_;
    Value value_;
};

// A slot's fallback for a service held by shared_ptr: a fresh Implementation.
template <typename Interface, typename Implementation> std::shared_ptr<Interface> makeShared() {
    return std::make_shared<Implementation>();
}

} // namespace svc
