#include "platform/services/FakeMailSender.hpp"

namespace svc {

bool FakeMailSender::canSendMail() const {
    std::lock_guard lock(mutex_);
    return canSend_;
}

bool FakeMailSender::send(const Mail& mail) {
    std::lock_guard lock(mutex_);
    sent_.push_back(mail);
    return result_;
}

void FakeMailSender::setCanSendMail(bool can) {
    std::lock_guard lock(mutex_);
    canSend_ = can;
}

void FakeMailSender::setSendResult(bool result) {
    std::lock_guard lock(mutex_);
    result_ = result;
}

std::vector<Mail> FakeMailSender::sentMails() const {
    std::lock_guard lock(mutex_);
    return sent_;
}

} // namespace svc
