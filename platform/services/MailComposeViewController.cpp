#include "platform/services/MailComposeViewController.hpp"

namespace svc {

bool MailComposeViewController::canSendMail() {
    return sharedMailSender()->canSendMail();
}

void MailComposeViewController::send() {
    MailComposeResult result = MailComposeResult::sent;
    std::optional<ns::Error> error;
    if (!sharedMailSender()->send(mail_)) {
        result = MailComposeResult::failed;
        error = ns::Error::make("MFMailComposeErrorDomain", 1, "The mail program could not be started.");
    }
    if (delegate_) delegate_->mailComposeController(*this, result, error);
}

void MailComposeViewController::cancel() {
    if (delegate_) delegate_->mailComposeController(*this, MailComposeResult::cancelled, std::nullopt);
}

} // namespace svc
