#include "platform/services/FakeURLOpener.hpp"

namespace svc {

bool FakeUrlOpener::openURL(const std::string& url) {
    std::lock_guard lock(mutex_);
    opened_.push_back(url);
    return result_;
}

void FakeUrlOpener::setResult(bool result) {
    std::lock_guard lock(mutex_);
    result_ = result;
}

std::vector<std::string> FakeUrlOpener::openedURLs() const {
    std::lock_guard lock(mutex_);
    return opened_;
}

} // namespace svc
