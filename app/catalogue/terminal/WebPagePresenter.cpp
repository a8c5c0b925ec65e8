#include "app/catalogue/terminal/WebPagePresenter.hpp"

#include "platform/services/URLOpener.hpp"

WebPagePresenter::WebPagePresenter(std::shared_ptr<MoreAppsViewController> screen, term::FrontEnd& frontEnd)
    : screen_(screen), frontEnd_(frontEnd) {
    keys_.add({{term::Key::named(term::Key::Kind::enter)},
               "open in browser",
               term::kMainKeyWeight,
               [this](const term::Key&) {
                   auto screen = screen_.lock();
                   if (!screen || !screen->webView) return false;
                   const auto& request = screen->webView->loadedRequest();
                   if (!request) return true;
                   bool opened = svc::sharedURLOpener()->openURL(request->url);
                   frontEnd_.notice(opened ? "Opened in your browser."
                                           : "No browser could be started (xdg-open is not installed).");
                   return true;
               }});
}

void WebPagePresenter::draw(term::Canvas& canvas, term::Area area) {
    auto screen = screen_.lock();
    if (!screen || !screen->webView) return;
    const auto& request = screen->webView->loadedRequest();
    term::Style plain = term::Style::fg(term::palette::text).withBackground(term::palette::background);
    canvas.text(area.x + 2, area.y + 1, "Web page", plain.bolded());
    canvas.text(area.x + 2, area.y + 3, request ? request->url : "(nothing loaded)",
                term::Style::fg(ui::Color::rgb255(90, 200, 250)).withBackground(term::palette::background),
                area.width - 4);
    canvas.text(area.x + 2, area.y + 5, "A terminal cannot show the page; Enter opens it in your browser.",
                term::Style::fg(term::palette::muted), area.width - 4);
    canvas.setCaret(std::nullopt);
}
