#include "platform/services/FakeNetworkReachability.hpp"

namespace svc {

std::optional<std::uint32_t> FakeNetworkReachability::flags() {
    std::lock_guard lock(mutex_);
    ++queries_;
    return flags_;
}

void FakeNetworkReachability::setFlags(std::uint32_t flags) {
    std::lock_guard lock(mutex_);
    flags_ = flags;
}

void FakeNetworkReachability::fail() {
    std::lock_guard lock(mutex_);
    flags_.reset();
}

int FakeNetworkReachability::queryCount() const {
    std::lock_guard lock(mutex_);
    return queries_;
}

} // namespace svc
