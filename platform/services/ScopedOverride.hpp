#pragma once
// Installs a replacement for a shared service through the service's setter for as long as it lives,
// then puts back whatever was installed before, on every path out of the scope. For tests and for the
// program's own start-up, so that nothing has to remember to reset a service by hand.
//
//     svc::ScopedOverride opener(svc::setSharedURLOpener, fake);
//
// The setter must answer the value it replaced (as every shared-service setter here does).
//
// Failure contract: none beyond the setter's own.
#include <utility>

namespace svc {

template <typename Value> class ScopedOverride {
  public:
    using Setter = Value (*)(Value);

    ScopedOverride(Setter set, Value replacement) : set_(set), previous_(set(std::move(replacement))) {}
    ~ScopedOverride() { set_(std::move(previous_)); }
    ScopedOverride(const ScopedOverride&) = delete;
    ScopedOverride& operator=(const ScopedOverride&) = delete;

  private:
    Setter set_;
    Value previous_;
};

template <typename Value, typename Replacement>
ScopedOverride(Value (*)(Value), Replacement) -> ScopedOverride<Value>;

} // namespace svc
