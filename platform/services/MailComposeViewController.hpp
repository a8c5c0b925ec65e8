#pragma once
// The mail composer: a screen showing a prepared mail. send() hands it to the shared mail sender (on
// this system the person's mail program, see MailSender.hpp) and reports the result to the delegate;
// cancel() reports a cancel. canSendMail() asks the shared sender whether there is a program to hand to.
//
// Failure contract: send() reports failed, with an error, when the sender cannot take the mail. Main
// thread only, like every screen.
#include "platform/foundation/Error.hpp"
#include "platform/services/MailSender.hpp"
#include "platform/uikit/ViewController.hpp"

#include <optional>
#include <string>
#include <vector>

namespace svc {

enum class MailComposeResult { cancelled, saved, sent, failed };

class MailComposeViewController;

class MailComposeViewControllerDelegate {
  public:
    virtual ~MailComposeViewControllerDelegate() = default;
    virtual void mailComposeController(MailComposeViewController& controller, MailComposeResult result,
                                       const std::optional<ns::Error>& error) = 0;
};

class MailComposeViewController : public ui::ViewController {
  public:
    static bool canSendMail();

    void setMailComposeDelegate(MailComposeViewControllerDelegate* delegate) { delegate_ = delegate; }
    MailComposeViewControllerDelegate* mailComposeDelegate() const { return delegate_; }
    void setToRecipients(std::vector<std::string> recipients) { mail_.recipients = std::move(recipients); }
    void setSubject(std::string subject) { mail_.subject = std::move(subject); }
    void setMessageBody(std::string body, bool isHTML) {
        mail_.body = std::move(body);
        mail_.isHTML = isHTML;
    }

    const std::vector<std::string>& toRecipients() const { return mail_.recipients; }
    const std::string& subject() const { return mail_.subject; }
    const std::string& messageBody() const { return mail_.body; }
    bool isHTML() const { return mail_.isHTML; }
    const Mail& mail() const { return mail_; }

    // The person's choice on the composer.
    void send();
    void cancel();

  private:
    MailComposeViewControllerDelegate* delegate_ = nullptr;
    Mail mail_;
};

} // namespace svc
