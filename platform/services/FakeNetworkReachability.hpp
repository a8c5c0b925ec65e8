#pragma once
// Test double of network reachability: answers the flags it is given, or nothing after fail(), and
// counts how often it was asked.
//
// Failure contract: none. Thread-safe.
#include "platform/services/NetworkReachability.hpp"

#include <mutex>
#include <optional>

namespace svc {

class FakeNetworkReachability : public NetworkReachability {
  public:
    explicit FakeNetworkReachability(std::uint32_t flags = reachability::reachable) : flags_(flags) {}
    std::optional<std::uint32_t> flags() override;
    void setFlags(std::uint32_t flags);
    void fail();
    int queryCount() const;

  private:
    mutable std::mutex mutex_;
    std::optional<std::uint32_t> flags_;
    int queries_ = 0;
};

} // namespace svc
