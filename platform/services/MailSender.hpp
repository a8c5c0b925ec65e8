#pragma once
// Handing a prepared mail to the person's mail program. On this system that is xdg-email, which opens
// their mail client with the message filled in; the person sends it from there.
//
// Failure contract: XdgMailSender::canSendMail answers whether xdg-email is on PATH; send answers false
// when it is missing or cannot be started. It never runs a shell, and a recipient starting with "-"
// (which would read as an option) is left out. Nothing here throws.
#include <memory>
#include <string>
#include <vector>

namespace svc {

struct Mail {
    std::vector<std::string> recipients;
    std::string subject;
    std::string body;
    bool isHTML = false;
};

class MailSender {
  public:
    virtual ~MailSender() = default;
    virtual bool canSendMail() const = 0;
    virtual bool send(const Mail& mail) = 0;
};

class XdgMailSender : public MailSender {
  public:
    bool canSendMail() const override;
    bool send(const Mail& mail) override;
    // The arguments xdg-email is started with for `mail` (the program's name not included).
    static std::vector<std::string> arguments(const Mail& mail);
};

std::shared_ptr<MailSender> sharedMailSender();
// Installs `sender` (nullptr puts back the xdg-email one) and answers the one it replaces.
std::shared_ptr<MailSender> setSharedMailSender(std::shared_ptr<MailSender> sender);

} // namespace svc
