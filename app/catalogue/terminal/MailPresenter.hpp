#pragma once
// The support mail composer in the terminal: recipient, subject and body as prepared. Enter hands the
// mail to the mail program, Esc cancels; either way the composer's delegate closes it.
//
// Failure contract: a mail program that cannot be started is reported by the composer (failed result).
#include "platform/services/MailComposeViewController.hpp"
#include "platform/terminal/Presenter.hpp"

#include <memory>

class MailPresenter : public term::Presenter {
  public:
    explicit MailPresenter(std::shared_ptr<svc::MailComposeViewController> screen);
    void draw(term::Canvas& canvas, term::Area area) override;
    const term::KeyTable& keys() const override { return keys_; }

  private:
    std::weak_ptr<svc::MailComposeViewController> screen_;
    term::KeyTable keys_;
};
