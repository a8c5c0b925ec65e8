#include "app/catalogue/terminal/MailPresenter.hpp"

#include "platform/terminal/TextWrap.hpp"

MailPresenter::MailPresenter(std::shared_ptr<svc::MailComposeViewController> screen) : screen_(screen) {
    using term::Key;
    auto withScreen = [this](void (svc::MailComposeViewController::*act)()) {
        return [this, act](const Key&) {
            auto screen = screen_.lock();
            if (screen) ((*screen).*act)();
            return screen != nullptr;
        };
    };
    keys_ = term::KeyTable({
        {{Key::named(Key::Kind::enter)},
         "open in mail program",
         term::kMainKeyWeight,
         withScreen(&svc::MailComposeViewController::send)},
        {{Key::named(Key::Kind::escape)}, "cancel", 3, withScreen(&svc::MailComposeViewController::cancel)},
    });
}

void MailPresenter::draw(term::Canvas& canvas, term::Area area) {
    auto screen = screen_.lock();
    if (!screen) return;
    term::Style label = term::Style::fg(term::palette::muted).withBackground(term::palette::background);
    term::Style plain = term::Style::fg(term::palette::text).withBackground(term::palette::background);
    std::string to;
    for (const auto& r : screen->toRecipients())
        to += (to.empty() ? "" : ", ") + r;
    canvas.text(area.x + 2, area.y + 1, "To:", label);
    canvas.text(area.x + 12, area.y + 1, to, plain, area.width - 14);
    canvas.text(area.x + 2, area.y + 2, "Subject:", label);
    canvas.text(area.x + 12, area.y + 2, screen->subject(), plain.bolded(), area.width - 14);
    int y = area.y + 4;
    for (const auto& line : term::wrapText(screen->messageBody(), area.width - 4)) {
        if (y >= area.y + area.height) break;
        canvas.text(area.x + 2, y++, line, plain);
    }
    canvas.setCaret(std::nullopt);
}
