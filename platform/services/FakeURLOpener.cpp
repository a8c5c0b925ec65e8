#include "platform/services/FakeURLOpener.hpp"

namespace svc {

bool FakeURLOpener::openURL(const std::string& url) {
    std::lock_guard lock(mutex_);
    opened_.push_back(url);
    return result_;
}

void FakeURLOpener::setResult(bool result) {
    std::lock_guard lock(mutex_);
    result_ = result;
}

std::vector<std::string> FakeURLOpener::openedURLs() const {
    std::lock_guard lock(mutex_);
    return opened_;
}

} // namespace svc
