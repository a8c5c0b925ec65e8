#include "platform/services/MailSender.hpp"

#include "platform/services/Spawn.hpp"

namespace svc {

namespace {

std::mutex& senderMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<MailSender>& installed() {
    static std::shared_ptr<MailSender> sender = std::make_shared<XdgMailSender>();
    return sender;
}

} // namespace

bool XdgMailSender::canSendMail() const {
    return !findOnPath("xdg-email").empty();
}

std::vector<std::string> XdgMailSender::arguments(const Mail& mail) {
    std::vector<std::string> args{"--utf8", "--subject", mail.subject, "--body", mail.body};
    for (const auto& recipient : mail.recipients) {
        if (!recipient.empty() && recipient[0] != '-') args.push_back(recipient);
    }
    return args;
}

bool XdgMailSender::send(const Mail& mail) {
    return spawnDetached("xdg-email", arguments(mail));
}

std::shared_ptr<MailSender> sharedMailSender() {
    std::lock_guard lock(senderMutex());
    return installed();
}

void setSharedMailSender(std::shared_ptr<MailSender> sender) {
    std::lock_guard lock(senderMutex());
    installed() = sender ? std::move(sender) : std::make_shared<XdgMailSender>();
}

} // namespace svc
