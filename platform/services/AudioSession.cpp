#include "platform/services/AudioSession.hpp"

namespace svc {

ns::Result<void> LinuxAudioSession::setCategory(const std::string& category) {
    if (category.empty())
        return ns::Error::make(audioSessionErrorDomain, 1, "An audio session category needs a name.");
    std::lock_guard lock(mutex_);
    category_ = category;
    return {};
}

std::optional<std::string> LinuxAudioSession::category() const {
    std::lock_guard lock(mutex_);
    return category_;
}

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

namespace {

std::mutex& sessionMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<AudioSession>& session() {
    static std::shared_ptr<AudioSession> s = std::make_shared<LinuxAudioSession>();
    return s;
}

} // namespace

std::shared_ptr<AudioSession> sharedAudioSession() {
    std::lock_guard lock(sessionMutex());
    return session();
}

void setSharedAudioSession(std::shared_ptr<AudioSession> s) {
    std::lock_guard lock(sessionMutex());
    session() = s ? std::move(s) : std::make_shared<LinuxAudioSession>();
}

} // namespace svc
