#include "app/lesson/terminal/VideoPlayerPresenter.hpp"

VideoPlayerPresenter::VideoPlayerPresenter(std::shared_ptr<VideoPlayerViewController> screen,
                                           term::FrontEnd& frontEnd)
    : screen_(screen), frontEnd_(frontEnd) {
    using term::Key;
    auto hasURL = [this] {
        auto screen = screen_.lock();
        return screen && screen->playerURL();
    };
    keys_.add({{Key::named(Key::Kind::enter)},
               "play in browser",
               term::kMainKeyWeight,
               [this](const Key&) {
                   auto screen = screen_.lock();
                   if (!screen) return false;
                   frontEnd_.notice(screen->play()
                                        ? "Playing in your browser."
                                        : "No browser could be started (xdg-open is not installed).");
                   return true;
               },
               hasURL});
    keys_.add({{Key::named(Key::Kind::escape)}, "close", 3, [this](const Key&) {
                   auto screen = screen_.lock();
                   if (!screen || !screen->presentingViewController()) return false;
                   screen->dismiss(true);
                   return true;
               }});
}

void VideoPlayerPresenter::draw(term::Canvas& canvas, term::Area area) {
    auto screen = screen_.lock();
    if (!screen) return;
    term::Style plain = term::Style::fg(term::palette::text).withBackground(term::palette::background);
    term::Style muted = term::Style::fg(term::palette::muted).withBackground(term::palette::background);
    canvas.text(area.x + 2, area.y + 1, "Tutorial video", plain.bolded());
    if (const auto& url = screen->playerURL()) {
        canvas.text(area.x + 2, area.y + 3, *url, term::Style::fg(ui::Color::rgb255(90, 200, 250)),
                    area.width - 4);
        canvas.text(area.x + 2, area.y + 5,
                    "A terminal cannot show the video; Enter plays it in your browser.", muted,
                    area.width - 4);
    } else {
        canvas.text(area.x + 2, area.y + 3, "Looking up the video…", muted, area.width - 4);
    }
    canvas.setCaret(std::nullopt);
}
