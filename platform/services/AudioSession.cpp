#include "platform/services/AudioSession.hpp"

#include "platform/services/ServiceSlot.hpp"

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

namespace {
ServiceSlot<std::shared_ptr<AudioSession>>& slot() {
    static ServiceSlot<std::shared_ptr<AudioSession>> s(makeShared<AudioSession, LinuxAudioSession>);
    return s;
}
} // namespace

std::shared_ptr<AudioSession> sharedAudioSession() {
    return slot().get();
}

std::shared_ptr<AudioSession> setSharedAudioSession(std::shared_ptr<AudioSession> session) {
    return slot().exchange(std::move(session));
}

} // namespace svc
