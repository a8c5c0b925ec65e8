#pragma once
// The manager of the terminal front end: it owns focus, the navigation bar, the key line, modal
// alerts, notices and layout, and routes each key to the screen on top. Screens are drawn by presenters
// that the app supplies through a factory (one per view controller, kept while the screen lives); an
// alert on top is drawn as a dialog over the screen that presented it.
//
// Keys of its own, in tables like the screens': Ctrl-C quits anywhere (before the screen sees the key);
// Esc that the screen does not use goes back (dismisses a presented screen, else pops the navigation
// stack). The key line is the screen's shown bindings, then the front end's that no enabled binding of
// the screen takes the key of. When the terminal is narrow, only the screen's main key (the one that
// opens or answers) stays longer than "Ctrl-C quit".
//
// It runs without a terminal: draw() takes any canvas and handleKey() any key, which is how the
// headless screen tests and the bounded mode work. CursesTerminal runs it on a real terminal.
//
// Failure contract: a screen without a presenter is drawn by a plain fallback that shows its title and
// goes back on Esc. Nothing here throws. Main thread only.
#include "platform/terminal/Canvas.hpp"
#include "platform/terminal/Key.hpp"
#include "platform/terminal/KeyTable.hpp"
#include "platform/terminal/Presenter.hpp"
#include "platform/uikit/ViewController.hpp"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace term {

class FrontEnd {
  public:
    // Makes the presenter of a screen, or nullptr for the fallback.
    using PresenterFactory =
        std::function<std::unique_ptr<Presenter>(const std::shared_ptr<ui::ViewController>&)>;

    explicit FrontEnd(PresenterFactory factory);

    void draw(Canvas& canvas);
    // Routes one key; returns whether anything happened.
    bool handleKey(const Key& key);
    // The bindings behind the key line as it would be drawn now, in its order (before fitting).
    std::vector<const KeyBinding*> keyLineBindings();

    // Gives every screen on the way to the top the terminal's size in points and tells the top one that
    // its layout changed. Called at start and on every resize.
    void layout(int columns, int rows);

    // A terminal shows no images: a title view that shows one (an app's logo) is drawn as the text the
    // app gives for that image here, or as the image's name when it gives none.
    void setImageTitle(std::string imageName, std::string title);

    // A one-line notice shown above the key line until the next key.
    void notice(std::string text);
    const std::optional<std::string>& currentNotice() const { return notice_; }

    // A status that stands above the key line (and above a notice) until it is replaced or cleared, for
    // a condition the person must know about while it lasts; it takes up to two lines, in the warning
    // colour.
    void setStatus(std::optional<std::string> text);
    const std::optional<std::string>& currentStatus() const { return status_; }
    static constexpr int kMaxStatusLines = 2;
    // The way out that every key line shows while it has room beside the screen's main key.
    static constexpr int kQuitKeyWeight = 1000;
    static constexpr int kBackKeyWeight = 7;
    // The navigation bar's items give way to the title when it would have fewer columns than this.
    static constexpr int kMinTitleColumns = 8;

    // How long until the screen should be drawn again for an animation: a frame while one runs, the
    // time until the next one starts while they wait for their delays, nullopt when none is pending.
    // The loop waits that long for a key at most, so nothing spins while the screen stands still.
    std::optional<double> secondsUntilAnimationFrame() const;
    static constexpr double kFrameSeconds = 1.0 / 30;

    bool quitRequested() const { return quit_; }
    void requestQuit() { quit_ = true; }

    // The screen keys go to (an alert when one is up).
    std::shared_ptr<ui::ViewController> topViewController() const;

  private:
    struct Entry {
        std::weak_ptr<ui::ViewController> controller;
        std::unique_ptr<Presenter> presenter;
    };
    Presenter& presenterFor(const std::shared_ptr<ui::ViewController>& controller);
    void drawNavigationBar(Canvas& canvas, const std::shared_ptr<ui::ViewController>& screen);
    bool goBack(const std::shared_ptr<ui::ViewController>& screen);
    static bool canGoBack(const std::shared_ptr<ui::ViewController>& screen);

    PresenterFactory factory_;
    KeyTable before_; // keys taken before the screen sees them
    KeyTable after_;  // keys the screen left
    std::vector<Entry> presenters_;
    std::map<std::string, std::string, std::less<>> imageTitles_;
    std::optional<std::string> notice_;
    std::optional<std::string> status_;
    bool quit_ = false;
    int columns_ = 80;
    int rows_ = 24;
};

} // namespace term
