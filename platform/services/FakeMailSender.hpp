#pragma once
// Test double of the mail sender: answers canSendMail and send as told (true by default) and records
// every mail it was asked to send.
//
// Failure contract: none. Thread-safe.
#include "platform/services/MailSender.hpp"

#include <mutex>
#include <vector>

namespace svc {

class FakeMailSender : public MailSender {
  public:
    bool canSendMail() const override;
    bool send(const Mail& mail) override;

    void setCanSendMail(bool can);
    void setSendResult(bool result);
    std::vector<Mail> sentMails() const;

  private:
    mutable std::mutex mutex_;
    bool canSend_ = true;
    bool result_ = true;
    std::vector<Mail> sent_;
};

} // namespace svc
