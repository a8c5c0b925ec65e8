#pragma once
// The mail composer. On this system a mail can be handed to the person's mail program with xdg-email;
// canSendMail() answers whether that program exists. Presenting the composer shows the prepared mail;
// send() hands it over and reports the result to the delegate, cancel() reports a cancel.
//
// Failure contract: send() reports failed when xdg-email cannot be started; it never runs a shell.
#include "platform/foundation/Error.hpp"
#include "platform/uikit/ViewController.hpp"

#include <functional>
#include <optional>
#include <string>
#include <vector>

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
    // Whether mail can be sent: xdg-email is on PATH (tests may override the answer).
    static bool canSendMail();
    static void setCanSendMailOverride(std::optional<bool> answer);

    void setMailComposeDelegate(MailComposeViewControllerDelegate* delegate) { delegate_ = delegate; }
    MailComposeViewControllerDelegate* mailComposeDelegate() const { return delegate_; }
    void setToRecipients(std::vector<std::string> recipients) { recipients_ = std::move(recipients); }
    void setSubject(std::string subject) { subject_ = std::move(subject); }
    void setMessageBody(std::string body, bool isHTML) {
        body_ = std::move(body);
        isHTML_ = isHTML;
    }

    const std::vector<std::string>& toRecipients() const { return recipients_; }
    const std::string& subject() const { return subject_; }
    const std::string& messageBody() const { return body_; }
    bool isHTML() const { return isHTML_; }

    // The person's choice on the composer.
    void send();
    void cancel();

    // The command line send() runs (the program first); for tests.
    std::vector<std::string> sendCommand() const;

  private:
    MailComposeViewControllerDelegate* delegate_ = nullptr;
    std::vector<std::string> recipients_;
    std::string subject_;
    std::string body_;
    bool isHTML_ = false;
};
