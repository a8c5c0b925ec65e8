#include "platform/terminal/FrontEnd.hpp"
#include "platform/terminal/KeyLine.hpp"
#include "platform/terminal/MemoryCanvas.hpp"
#include "platform/uikit/AlertController.hpp"
#include "platform/uikit/Application.hpp"
#include "platform/uikit/ImageView.hpp"
#include "platform/uikit/NavigationController.hpp"

#include <gtest/gtest.h>

namespace {

using term::Key;

// A screen whose presenter draws its title and counts the keys it takes ("x" only).
class Counting : public term::Presenter {
  public:
    explicit Counting(std::string name, int& taken) : name_(std::move(name)), taken_(taken) {
        keys_.add({{Key::typed("x")}, "counts", 5, [this](const Key&) {
                       ++taken_;
                       return true;
                   }});
        keys_.add({{Key::typed("y")}, "legend of " + name_, 3, [](const Key&) { return true; }});
    }
    void draw(term::Canvas& canvas, term::Area area) override {
        canvas.text(area.x, area.y, "screen " + name_);
    }
    const term::KeyTable& keys() const override { return keys_; }

  private:
    std::string name_;
    int& taken_;
    term::KeyTable keys_;
};

class FrontEndWithNavigation : public ::testing::Test {
  protected:
    int taken = 0;
    std::shared_ptr<ui::ViewController> first = std::make_shared<ui::ViewController>();
    std::shared_ptr<ui::ViewController> second = std::make_shared<ui::ViewController>();
    std::shared_ptr<ui::NavigationController> navigation = std::make_shared<ui::NavigationController>(first);
    term::FrontEnd frontEnd{
        [this](const std::shared_ptr<ui::ViewController>& screen) -> std::unique_ptr<term::Presenter> {
            if (screen == first) return std::make_unique<Counting>("first", taken);
            if (screen == second) return std::make_unique<Counting>("second", taken);
            return nullptr;
        }};
    term::MemoryCanvas canvas{60, 12};

    void SetUp() override {
        ui::Application::shared().reset();
        ui::AlertController::clearPresentedAlerts();
        first->setTitle("First");
        ui::Application::shared().setRootViewController(navigation);
    }
    void TearDown() override { ui::Application::shared().reset(); }
};

TEST_F(FrontEndWithNavigation, DrawsTheTopScreenWithBarAndLegend) {
    frontEnd.draw(canvas);
    EXPECT_EQ(canvas.row(1), "screen first");
    EXPECT_NE(canvas.row(0).find("First"), std::string::npos);
    EXPECT_NE(canvas.row(11).find("legend of first"), std::string::npos);
    EXPECT_EQ(canvas.row(0).find("Back"), std::string::npos);
}

TEST_F(FrontEndWithNavigation, EscGoesBackOnlyWhenTheScreenDoesNotUseIt) {
    navigation->pushViewController(second, false);
    frontEnd.draw(canvas);
    EXPECT_EQ(canvas.row(1), "screen second");
    EXPECT_NE(canvas.row(0).find("‹ Back"), std::string::npos);
    EXPECT_TRUE(frontEnd.handleKey(Key::typed("x")));
    EXPECT_EQ(taken, 1);
    EXPECT_EQ(navigation->topViewController(), second);
    EXPECT_TRUE(frontEnd.handleKey(Key::named(Key::Kind::escape)));
    EXPECT_EQ(navigation->topViewController(), first);
    EXPECT_FALSE(frontEnd.handleKey(Key::named(Key::Kind::escape))); // nothing to go back to
}

TEST_F(FrontEndWithNavigation, AlertIsModalAndEscPicksItsCancelAction) {
    bool deleted = false, cancelled = false;
    auto alert = std::make_shared<ui::AlertController>("Please confirm", "Really?");
    alert->addAction(
        {"Cancel", ui::AlertActionStyle::cancel, [&](const ui::AlertAction&) { cancelled = true; }});
    alert->addAction(
        {"Delete", ui::AlertActionStyle::destructive, [&](const ui::AlertAction&) { deleted = true; }});
    first->present(alert, true);
    frontEnd.draw(canvas);
    EXPECT_TRUE(canvas.find("Please confirm"));
    EXPECT_TRUE(canvas.find("[ Delete ]"));
    EXPECT_TRUE(canvas.find("screen first")); // drawn beneath
    EXPECT_TRUE(frontEnd.handleKey(Key::typed("x")));
    EXPECT_EQ(taken, 0); // the screen beneath gets nothing
    EXPECT_TRUE(frontEnd.handleKey(Key::named(Key::Kind::escape)));
    EXPECT_TRUE(cancelled);
    EXPECT_FALSE(deleted);
    EXPECT_FALSE(first->presentedViewController());
}

TEST_F(FrontEndWithNavigation, AlertActionsAreChosenWithArrowsAndEnter) {
    bool deleted = false;
    auto alert = std::make_shared<ui::AlertController>("Please confirm", std::nullopt);
    alert->addAction({"Cancel", ui::AlertActionStyle::cancel, nullptr});
    alert->addAction(
        {"Delete", ui::AlertActionStyle::destructive, [&](const ui::AlertAction&) { deleted = true; }});
    first->present(alert, true);
    frontEnd.handleKey(Key::named(Key::Kind::right));
    frontEnd.handleKey(Key::named(Key::Kind::enter));
    EXPECT_TRUE(deleted);
}

TEST_F(FrontEndWithNavigation, AlertWithoutACancelActionIsClosedByEscWithoutAnyAction) {
    int picked = 0;
    auto alert = std::make_shared<ui::AlertController>("Thank you", std::nullopt);
    alert->addAction({"Go", ui::AlertActionStyle::defaultStyle, [&](const ui::AlertAction&) { ++picked; }});
    alert->addAction(
        {"Later", ui::AlertActionStyle::defaultStyle, [&](const ui::AlertAction&) { ++picked; }});
    first->present(alert, true);
    frontEnd.draw(canvas);
    EXPECT_NE(canvas.row(11).find("Esc cancel"), std::string::npos);
    EXPECT_TRUE(frontEnd.handleKey(Key::named(Key::Kind::escape)));
    EXPECT_TRUE(alert->isAnswered());
    EXPECT_EQ(picked, 0);
    EXPECT_FALSE(first->presentedViewController());
    EXPECT_FALSE(alert->pickAction("Go")); // answered once, for good
}

TEST_F(FrontEndWithNavigation, UnknownScreensGetTheFallbackAndCtrlCQuits) {
    auto other = std::make_shared<ui::ViewController>();
    other->setTitle("Video");
    first->present(other, false);
    frontEnd.draw(canvas);
    EXPECT_TRUE(canvas.find("Video"));
    EXPECT_TRUE(frontEnd.handleKey(Key::named(Key::Kind::escape)));
    EXPECT_FALSE(first->presentedViewController());
    EXPECT_FALSE(frontEnd.quitRequested());
    frontEnd.handleKey(Key::ctrl('c'));
    EXPECT_TRUE(frontEnd.quitRequested());
}

TEST_F(FrontEndWithNavigation, NoticeShowsUntilTheNextKey) {
    frontEnd.notice("A review helps");
    frontEnd.draw(canvas);
    EXPECT_NE(canvas.row(10).find("A review helps"), std::string::npos);
    frontEnd.handleKey(Key::named(Key::Kind::down));
    frontEnd.draw(canvas);
    EXPECT_FALSE(canvas.find("A review helps"));
}

TEST_F(FrontEndWithNavigation, StatusStaysAboveTheNoticeUntilItIsCleared) {
    frontEnd.setStatus("Progress not saved: No space left on device. Trying again at your next change.");
    frontEnd.notice("A review helps");
    frontEnd.draw(canvas);
    // Wrapped to two lines in a 60-column terminal, then the notice, then the legend.
    EXPECT_NE(canvas.row(8).find("Progress not saved"), std::string::npos) << canvas.screen();
    EXPECT_NE(canvas.row(9).find("next change."), std::string::npos) << canvas.screen();
    EXPECT_NE(canvas.row(10).find("A review helps"), std::string::npos);
    EXPECT_EQ(canvas.styleAt(1, 8).background, term::palette::warning);
    frontEnd.handleKey(Key::named(Key::Kind::down));
    frontEnd.draw(canvas);
    EXPECT_FALSE(canvas.find("A review helps"));
    EXPECT_NE(canvas.row(9).find("Progress not saved"), std::string::npos); // keys do not clear it
    frontEnd.setStatus(std::nullopt);
    frontEnd.draw(canvas);
    EXPECT_FALSE(canvas.find("Progress not saved"));
}

TEST_F(FrontEndWithNavigation, LayoutGivesScreensTheTerminalSizeInPoints) {
    first->loadViewIfNeeded();
    frontEnd.layout(100, 30);
    EXPECT_DOUBLE_EQ(first->view()->frame().width(), 1000);
}

TEST_F(FrontEndWithNavigation, AScreenThatComesUpByAKeyGetsTheTerminalSize) {
    frontEnd.layout(70, 20);
    second->loadViewIfNeeded();
    ASSERT_NE(second->view()->frame().width(), 700);
    // Answering the alert shows the second screen.
    auto alert = std::make_shared<ui::AlertController>("Go on?", std::nullopt);
    alert->addAction({"OK", ui::AlertActionStyle::defaultStyle,
                      [this](const ui::AlertAction&) { navigation->pushViewController(second, true); }});
    first->present(alert, false);
    frontEnd.handleKey(Key::named(Key::Kind::enter));
    EXPECT_EQ(navigation->topViewController(), second);
    EXPECT_DOUBLE_EQ(second->view()->frame().width(), 700);
}

TEST_F(FrontEndWithNavigation, BarItemsShowTheirTitles) {
    first->navigationItem().setRightBarButtonItem(std::make_shared<ui::BarButtonItem>("3/20"));
    first->navigationItem().setLeftBarButtonItem(std::make_shared<ui::BarButtonItem>("Settings"));
    frontEnd.draw(canvas);
    EXPECT_TRUE(canvas.row(0).ends_with("3/20"));
    EXPECT_TRUE(canvas.row(0).starts_with(" Settings"));
}

TEST_F(FrontEndWithNavigation, BarItemsGiveWayToTheTitleAndNothingIsDrawnOverAnything) {
    first->setTitle("Velomarinth Swift");
    first->navigationItem().setLeftBarButtonItem(std::make_shared<ui::BarButtonItem>("Settings"));
    first->navigationItem().setRightBarButtonItem(std::make_shared<ui::BarButtonItem>("Search"));
    struct Case {
        int columns;
        std::string bar;
    } cases[] = {
        {60, " Settings            Velomarinth Swift               Search"},
        {34, " Settings Velomarinth Swi… Search"}, // the title is cut, with a mark
        {24, " Settings Velomarinth…"},            // too little left for it: the right item gives way
        {16, " Velomarinth S…"},                   // then the left one
    };
    for (const auto& c : cases) {
        term::MemoryCanvas sized(c.columns, 12);
        frontEnd.draw(sized);
        EXPECT_EQ(sized.row(0), c.bar) << c.columns;
    }
}

TEST_F(FrontEndWithNavigation, AnAlertTallerThanTheTerminalScrollsItsTextAndKeepsItsActions) {
    std::string message;
    for (int i = 1; i <= 40; ++i)
        message += "word" + std::to_string(i) + " ";
    message += "END";
    bool picked = false;
    auto alert = std::make_shared<ui::AlertController>("Your saved progress was damaged", message);
    alert->addAction({"OK", ui::AlertActionStyle::cancel, [&](const ui::AlertAction&) { picked = true; }});
    first->present(alert, false);
    term::MemoryCanvas small(40, 12);
    auto draw = [&] {
        frontEnd.draw(small);
        return small.screen();
    };
    EXPECT_FALSE(draw().find("END") != std::string::npos);
    EXPECT_TRUE(small.find("▼")) << small.screen();
    EXPECT_TRUE(small.find("[ OK ]")) << small.screen();
    EXPECT_NE(small.row(11).find("↑↓ scroll"), std::string::npos) << small.row(11);
    // Every word comes into sight, in order, and the actions stay.
    std::string seen;
    for (int i = 0; i < 20 && seen.find("END") == std::string::npos; ++i) {
        frontEnd.handleKey(Key::named(Key::Kind::down));
        seen = draw();
        EXPECT_TRUE(small.find("[ OK ]")) << seen;
    }
    EXPECT_NE(seen.find("END"), std::string::npos) << seen;
    EXPECT_TRUE(small.find("▲")) << seen;
    EXPECT_FALSE(small.find("▼")) << seen;
    frontEnd.handleKey(Key::named(Key::Kind::pageUp));
    frontEnd.handleKey(Key::named(Key::Kind::pageUp));
    frontEnd.handleKey(Key::named(Key::Kind::pageUp));
    EXPECT_NE(draw().find("word1 "), std::string::npos) << small.screen();
    frontEnd.handleKey(Key::named(Key::Kind::enter));
    EXPECT_TRUE(picked);
}

TEST(KeyLine, TheLightestGiveWayFirstTheMainKeyLastAndNoItemIsCut) {
    const int main = term::kMainKeyWeight;
    const std::vector<term::KeyLineItem> lesson = {
        {"Esc back", 7}, {"type answer", main}, {"Ctrl-R run", 6}, {"Enter done", 2}, {"Ctrl-C quit", 1000}};
    const std::vector<term::KeyLineItem> noMainKey = {{"Esc back", 7}, {"Ctrl-C quit", 1000}};
    const std::vector<term::KeyLineItem> wide = {{"Enter 🔑🔑", main}, {"e\u0301 accent", 3}};
    struct Case {
        const std::vector<term::KeyLineItem>* items;
        int columns;
        std::string expected;
    } cases[] = {
        {&lesson, 80, "Esc back  type answer  Ctrl-R run  Enter done  Ctrl-C quit"},
        {&lesson, 50, "Esc back  type answer  Ctrl-R run  Ctrl-C quit"},
        {&lesson, 35, "Esc back  type answer  Ctrl-C quit"},
        {&lesson, 30, "type answer  Ctrl-C quit"},
        // Quit does not fit beside the main key; nothing lighter takes its room.
        {&lesson, 22, "type answer"},
        {&lesson, 11, "type answer"},
        // The main key cannot be shown whole: no other key is named in its place.
        {&lesson, 10, ""},
        {&noMainKey, 10, ""}, // not "Ctrl-C qui", nor "Esc back" instead
        // Columns, not bytes: a wide character takes two, a combining accent none.
        {&wide, 20, "Enter 🔑🔑  e\u0301 accent"},
        {&wide, 19, "Enter 🔑🔑"},
        {&wide, 10, "Enter 🔑🔑"},
        {&wide, 9, ""},
    };
    for (const auto& c : cases) {
        const std::string line = term::fitKeyLine(*c.items, c.columns);
        EXPECT_EQ(line, c.expected) << c.columns;
        EXPECT_LE(term::columnsOfText(line), c.columns);
    }
    // Of equal weight, the later stays longer.
    EXPECT_EQ(term::fitKeyLine({{"first", 5}, {"second", 5}}, 10), "second");
}

TEST(KeyLine, AWiderTerminalOnlyAddsItems) {
    const std::vector<term::KeyLineItem> items = {{"↑↓ select", 3},     {"Enter open", term::kMainKeyWeight},
                                                  {"/ search", 2},      {"s settings", 2},
                                                  {"q quit", 1},        {"Esc back", 7},
                                                  {"Ctrl-C quit", 1000}};
    auto has = [](const std::string& line, const std::string& item) {
        return line == item || line.starts_with(item + "  ") || line.ends_with("  " + item) ||
               line.find("  " + item + "  ") != std::string::npos;
    };
    std::string narrower = term::fitKeyLine(items, 0);
    for (int columns = 1; columns <= 80; ++columns) {
        const std::string line = term::fitKeyLine(items, columns);
        for (const auto& item : items) {
            if (has(narrower, item.text)) {
                EXPECT_TRUE(has(line, item.text)) << columns << ": " << line << " lost " << item.text;
            }
            // A shown item is never lighter than one left out.
            if (has(line, item.text)) {
                for (const auto& other : items)
                    if (other.weight > item.weight) {
                        EXPECT_TRUE(has(line, other.text)) << columns << ": " << line;
                    }
            }
        }
        narrower = line;
    }
}

TEST_F(FrontEndWithNavigation, EveryKeyLineEndsWithTheWayOutWhileItHasRoom) {
    for (int width : {60, 24}) {
        term::MemoryCanvas sized(width, 12);
        frontEnd.draw(sized);
        EXPECT_TRUE(sized.row(11).ends_with("Ctrl-C quit")) << sized.row(11);
    }
    auto alert = std::make_shared<ui::AlertController>("Sure?", std::nullopt);
    alert->addAction({"OK", ui::AlertActionStyle::defaultStyle, nullptr});
    first->present(alert, false);
    frontEnd.draw(canvas);
    EXPECT_TRUE(canvas.row(11).ends_with("Ctrl-C quit")) << canvas.row(11);
}

TEST_F(FrontEndWithNavigation, EscBackShowsWhereItGoesBackUnlessTheScreenTakesEsc) {
    frontEnd.draw(canvas);
    EXPECT_EQ(canvas.row(11).find("Esc back"), std::string::npos) << canvas.row(11); // nowhere to go
    navigation->pushViewController(second, false);
    frontEnd.draw(canvas);
    EXPECT_NE(canvas.row(11).find("Esc back"), std::string::npos) << canvas.row(11);
    // A dialog takes every key, Esc included: its own line, and the way out.
    auto alert = std::make_shared<ui::AlertController>("Sure?", std::nullopt);
    alert->addAction({"OK", ui::AlertActionStyle::defaultStyle, nullptr});
    second->present(alert, false);
    frontEnd.draw(canvas);
    EXPECT_EQ(canvas.row(11), " ←→ choose  Enter pick  Esc cancel  Ctrl-C quit");
}

TEST_F(FrontEndWithNavigation, AnImageTitleReadsAsTheTextTheAppGivesForIt) {
    first->navigationItem().setTitleView(std::make_shared<ui::ImageView>("logo"));
    frontEnd.draw(canvas);
    EXPECT_NE(canvas.row(0).find("logo"), std::string::npos) << canvas.row(0); // nothing given: its name
    frontEnd.setImageTitle("logo", "Velomarinth C++");
    frontEnd.draw(canvas);
    EXPECT_NE(canvas.row(0).find("Velomarinth C++"), std::string::npos) << canvas.row(0);
}

TEST_F(FrontEndWithNavigation, TooSmallTerminalSaysSo) {
    term::MemoryCanvas tiny(8, 2);
    frontEnd.draw(tiny);
    EXPECT_TRUE(tiny.find("Terminal"));
}

} // namespace
