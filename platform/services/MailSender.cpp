#include "platform/services/MailSender.hpp"

#include "platform/services/ServiceSlot.hpp"
#include "platform/services/Spawn.hpp"

namespace svc {
namespace {
ServiceSlot<std::shared_ptr<MailSender>>& slot() {
    static ServiceSlot<std::shared_ptr<MailSender>> s(makeShared<MailSender, XdgMailSender>);
    return s;
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
    return slot().get();
}

std::shared_ptr<MailSender> setSharedMailSender(std::shared_ptr<MailSender> sender) {
    return slot().exchange(std::move(sender));
}

} // namespace svc
