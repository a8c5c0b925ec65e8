#include "platform/terminal/FrontEnd.hpp"

#include "platform/terminal/AlertPresenter.hpp"
#include "platform/terminal/TextWrap.hpp"
#include "platform/uikit/AlertController.hpp"
#include "platform/uikit/Animation.hpp"
#include "platform/uikit/Application.hpp"
#include "platform/uikit/NavigationController.hpp"
#include "platform/uikit/TextMeasure.hpp"

#include <algorithm>

namespace term {

namespace {

// What a screen without a presenter shows: its title, and Esc to leave.
class FallbackPresenter : public Presenter {
  public:
    explicit FallbackPresenter(std::weak_ptr<ui::ViewController> controller)
        : controller_(std::move(controller)) {}
    void draw(Canvas& canvas, Area area) override {
        auto controller = controller_.lock();
        std::string title = controller && controller->title() ? *controller->title() : "This screen";
        canvas.text(area.x + 2, area.y + 1, title, Style::fg(palette::text).bolded(), area.width - 4);
        canvas.text(area.x + 2, area.y + 3, "Nothing to show here in the terminal.",
                    Style::fg(palette::muted), area.width - 4);
        canvas.setCaret(std::nullopt);
    }
    const KeyTable& keys() const override { return keys_; }

  private:
    std::weak_ptr<ui::ViewController> controller_;
    KeyTable keys_; // Esc back is the front end's
};

} // namespace

FrontEnd::FrontEnd(PresenterFactory factory) : factory_(std::move(factory)) {
    before_.add({{Key::ctrl('c')}, "quit", kQuitKeyWeight, [this](const Key&) {
                     quit_ = true;
                     return true;
                 }});
    after_.add({{Key::named(Key::Kind::escape)},
                "back",
                kBackKeyWeight,
                [this](const Key&) {
                    auto top = topViewController();
                    return top && goBack(top);
                },
                [this] { return canGoBack(topViewController()); }});
}

std::shared_ptr<ui::ViewController> FrontEnd::topViewController() const {
    return ui::Application::shared().topViewController();
}

Presenter& FrontEnd::presenterFor(const std::shared_ptr<ui::ViewController>& controller) {
    // Forget presenters of screens that are gone.
    std::erase_if(presenters_, [](const Entry& e) { return e.controller.expired(); });
    for (auto& entry : presenters_) {
        if (entry.controller.lock() == controller) return *entry.presenter;
    }
    std::unique_ptr<Presenter> presenter;
    if (auto alert = std::dynamic_pointer_cast<ui::AlertController>(controller)) {
        presenter = std::make_unique<AlertPresenter>(alert);
    } else if (factory_) {
        presenter = factory_(controller);
    }
    if (!presenter) presenter = std::make_unique<FallbackPresenter>(controller);
    presenters_.push_back(Entry{controller, std::move(presenter)});
    return *presenters_.back().presenter;
}

void FrontEnd::drawNavigationBar(Canvas& canvas, const std::shared_ptr<ui::ViewController>& screen) {
    auto* navigation = screen->navigationController();
    Style bar = Style::fg(palette::text).withBackground(palette::background);
    if (navigation) {
        auto& b = navigation->navigationBar();
        bar.foreground = b.tintColor;
        if (b.barStyle == ui::BarStyle::defaultStyle) bar.background = ui::Color::rgb255(247, 247, 247);
    }
    canvas.fill(0, 0, canvas.width(), 1, bar);
    auto& item = screen->navigationItem();
    // Bar items show their titles; the screens' key lines say which keys press them.
    std::string left;
    if (navigation && navigation->viewControllers().size() > 1 && navigation->topViewController() == screen)
        left = "‹ Back";
    else if (item.leftBarButtonItem() && item.leftBarButtonItem()->title())
        left = *item.leftBarButtonItem()->title();
    std::string right = item.rightItemTitle().value_or("");
    std::string title;
    if (auto image = item.titleViewImageName()) {
        auto named = imageTitles_.find(*image);
        title = named != imageTitles_.end() ? named->second : *image;
    } else if (item.title()) {
        title = *item.title();
    } else if (screen->title()) {
        title = *screen->title();
    }
    // The title stands in the middle of the bar, or as near it as the items leave room for, a blank
    // from each. Where the room is too small for a readable title the items give way, the right one
    // first; what is then still too long is cut with a mark. Nothing is drawn over anything else.
    const int width = canvas.width();
    const int titleColumns = columnsOfText(title);
    auto room = [&] {
        const int from = left.empty() ? 1 : 1 + columnsOfText(left) + 1;
        const int to = right.empty() ? width - 1 : width - 1 - columnsOfText(right) - 1;
        return std::pair{from, to};
    };
    for (std::string* side : {&right, &left}) {
        auto [from, to] = room();
        if (to - from >= std::min(titleColumns, kMinTitleColumns)) break;
        side->clear();
    }
    auto [from, to] = room();
    const std::string shown = fitText(title, to - from);
    const int shownColumns = columnsOfText(shown);
    const int x = std::clamp((width - shownColumns) / 2, from, std::max(from, to - shownColumns));
    canvas.text(x, 0, shown, bar.bolded());
    if (!left.empty()) canvas.text(1, 0, fitText(left, width - 2), bar);
    if (!right.empty()) canvas.text(width - 1 - columnsOfText(right), 0, right, bar);
}

void FrontEnd::draw(Canvas& canvas) {
    canvas.clear();
    canvas.setCaret(std::nullopt);
    canvas.setDefaultBackground(palette::background);
    if (canvas.height() < 3 || canvas.width() < 10) {
        canvas.text(0, 0, "Terminal too small", Style{});
        return;
    }
    auto top = topViewController();
    if (!top) return;
    // An alert is drawn over the screen that presented it.
    auto screen = top;
    auto alert = std::dynamic_pointer_cast<ui::AlertController>(top);
    if (alert && alert->presentingViewController()) {
        screen = alert->presentingViewController()->shared_from_this();
    }
    std::vector<std::string> status;
    if (status_) {
        status = wrapText(*status_, canvas.width() - 2);
        if (status.size() > kMaxStatusLines) status.resize(kMaxStatusLines);
    }
    const int statusRows = static_cast<int>(status.size());
    const int noticeRows = notice_ ? 1 : 0;
    Area area{0, 1, canvas.width(), std::max(0, canvas.height() - 2 - statusRows - noticeRows)};
    canvas.fill(0, 1, canvas.width(), canvas.height() - 1,
                Style::fg(palette::text).withBackground(palette::background));
    drawNavigationBar(canvas, screen);
    auto& presenter = presenterFor(screen);
    presenter.draw(canvas, area);
    if (alert) presenterFor(alert).draw(canvas, area);
    auto keys = keyLineItems(keyLineBindings());
    int row = area.y + area.height;
    Style statusStyle = Style::fg(palette::text).withBackground(palette::warning).bolded();
    for (const auto& line : status) {
        canvas.fill(0, row, canvas.width(), 1, statusStyle);
        canvas.text(1, row++, line, statusStyle, canvas.width() - 2);
    }
    if (notice_) {
        Style s = Style::fg(palette::background).withBackground(palette::accent);
        canvas.fill(0, row, canvas.width(), 1, s);
        canvas.text(1, row, *notice_, s, canvas.width() - 2);
    }
    Style keyLineStyle = Style::fg(palette::background).withBackground(palette::muted);
    canvas.fill(0, canvas.height() - 1, canvas.width(), 1, keyLineStyle);
    canvas.text(1, canvas.height() - 1, fitKeyLine(keys, canvas.width() - 2), keyLineStyle);
}

std::vector<const KeyBinding*> FrontEnd::keyLineBindings() {
    std::vector<const KeyBinding*> bindings;
    auto screen = topViewController();
    const KeyTable* table = screen ? &presenterFor(screen).keys() : nullptr;
    if (table) bindings = table->shown();
    // The front end's own keys follow, each unless the screen has the key for itself now.
    for (const KeyTable* own : {&after_, &before_}) {
        for (const auto* binding : own->shown()) {
            const bool taken = table && std::any_of(binding->keys.begin(), binding->keys.end(),
                                                    [&](const Key& k) { return table->bindingFor(k); });
            if (own == &before_ || !taken) bindings.push_back(binding);
        }
    }
    return bindings;
}

bool FrontEnd::canGoBack(const std::shared_ptr<ui::ViewController>& screen) {
    if (!screen) return false;
    if (screen->presentingViewController()) return true;
    auto* navigation = screen->navigationController();
    return navigation && navigation->viewControllers().size() > 1;
}

bool FrontEnd::goBack(const std::shared_ptr<ui::ViewController>& screen) {
    if (screen->presentingViewController()) {
        screen->dismiss(true);
        return true;
    }
    if (auto* navigation = screen->navigationController()) {
        if (navigation->viewControllers().size() > 1) return navigation->popViewController(true) != nullptr;
    }
    return false;
}

bool FrontEnd::handleKey(const Key& key) {
    notice_.reset();
    if (before_.handle(key)) return true;
    if (key.is(Key::Kind::resize)) return true;
    auto top = topViewController();
    if (!top) return false;
    bool handled = presenterFor(top).keys().handle(key) || after_.handle(key);
    // A screen that has just come up gets the terminal's size like the others.
    if (auto now = topViewController(); now && now != top) layout(columns_, rows_);
    return handled;
}

void FrontEnd::layout(int columns, int rows) {
    columns_ = columns;
    rows_ = rows;
    ui::Rect frame =
        ui::Rect::make(0, 0, columns * ui::kCharacterAdvance, std::max(0, rows - 2) * ui::kLineHeight);
    auto root = ui::Application::shared().rootViewController();
    std::vector<std::shared_ptr<ui::ViewController>> screens;
    if (auto navigation = std::dynamic_pointer_cast<ui::NavigationController>(root)) {
        screens = navigation->viewControllers();
    }
    if (root) screens.push_back(root);
    for (auto controller = root ? root->presentedViewController() : nullptr; controller;
         controller = controller->presentedViewController()) {
        screens.push_back(controller);
    }
    for (const auto& screen : screens) {
        if (screen->isViewLoaded() && !std::dynamic_pointer_cast<ui::AlertController>(screen)) {
            screen->view()->setFrame(frame);
        }
    }
    if (auto top = topViewController(); top && top->isViewLoaded()) top->viewDidLayoutSubviews();
    if (auto navigation = std::dynamic_pointer_cast<ui::NavigationController>(root)) {
        if (auto shown = navigation->topViewController();
            shown && shown != topViewController() && shown->isViewLoaded()) {
            shown->viewDidLayoutSubviews();
        }
    }
}

std::optional<double> FrontEnd::secondsUntilAnimationFrame() const {
    const double now = ui::animationClockNow();
    auto next = ui::AnimationLog::shared().nextChange(now);
    if (!next) return std::nullopt;
    return std::max(kFrameSeconds, *next - now);
}

void FrontEnd::setImageTitle(std::string imageName, std::string title) {
    imageTitles_[std::move(imageName)] = std::move(title);
}

void FrontEnd::notice(std::string text) {
    notice_ = std::move(text);
}

void FrontEnd::setStatus(std::optional<std::string> text) {
    status_ = std::move(text);
}

} // namespace term
