#include "platform/services/FakeAudioSession.hpp"

namespace svc {

ns::Result<void> FakeAudioSession::setCategory(const std::string& category) {
    std::lock_guard lock(mutex_);
    requested_.push_back(category);
    if (failure_) return *failure_;
    category_ = category;
    return {};
}

std::optional<std::string> FakeAudioSession::category() const {
    std::lock_guard lock(mutex_);
    return category_;
}

void FakeAudioSession::setFailure(std::optional<ns::Error> error) {
    std::lock_guard lock(mutex_);
    failure_ = std::move(error);
}

std::vector<std::string> FakeAudioSession::requestedCategories() const {
    std::lock_guard lock(mutex_);
    return requested_;
}

} // namespace svc
