#include "app/catalogue/MoreAppsViewController.hpp"
#include "app/catalogue/SettingsTableViewController.hpp"
#include "app/catalogue/terminal/CataloguePresenters.hpp"
#include "app/catalogue/terminal/ChapterListPresenter.hpp"
#include "app/catalogue/terminal/SaveStatusLine.hpp"
#include "app/catalogue/terminal/URLOpening.hpp"
#include "app/lesson/LessonViewController.hpp"
#include "app/lesson/VideoPlayerViewController.hpp"
#include "platform/dispatch/Clock.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/services/FakeURLOpener.hpp"
#include "platform/services/ScopedOverride.hpp"
#include "platform/terminal/FrontEnd.hpp"
#include "platform/terminal/MemoryCanvas.hpp"
#include "platform/terminal/TextWrap.hpp"
#include "platform/uikit/Animation.hpp"
#include "tests/support/CatalogueWorld.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

using term::Key;

class TerminalScreens : public ::testing::Test {
  protected:
    // Time moves only when a test says so, so what an animation shows can be checked at exact moments.
    dispatch::VirtualClockScope clock;
    CatalogueWorld world;
    term::FrontEnd frontEnd{[this](const std::shared_ptr<ui::ViewController>& screen) {
        return makeCataloguePresenter(screen, frontEnd);
    }};
    term::MemoryCanvas canvas{100, 30};

    void SetUp() override {
        ui::AnimationLog::shared().clear(); // stamped on other tests' clocks
        frontEnd.setImageTitle("logo", "Velomarinth Test");
        world.launch();
        frontEnd.layout(canvas.width(), canvas.height());
        world.settle();
    }
    std::string draw() {
        world.settle();
        frontEnd.draw(canvas);
        return canvas.screen();
    }
    void press(const Key& key) {
        frontEnd.handleKey(key);
        world.settle();
    }
    // Lets `seconds` pass on the screen's clock and draws what it then shows.
    std::string drawAfter(double seconds) {
        dispatch::main().advance(seconds);
        return draw();
    }
    void type(std::string_view text) {
        for (char c : text)
            press(Key::typed(std::string(1, c)));
    }
    // Opens lesson `row` of chapter `chapter` (both counted from 0) from the course home.
    std::shared_ptr<LessonViewController> openLesson(int chapter, int row) {
        for (int i = 0; i < chapter; ++i)
            press(Key::named(Key::Kind::down));
        press(Key::named(Key::Kind::enter));
        for (int i = 0; i < row; ++i)
            press(Key::named(Key::Kind::down));
        press(Key::named(Key::Kind::enter));
        return world.top<LessonViewController>();
    }
    std::string rowWith(std::string_view text) {
        auto cell = canvas.find(text);
        return cell ? canvas.row(cell->y) : "";
    }
};

TEST_F(TerminalScreens, HomeListsChaptersWithCountsInAColumnAlignedAtTheSlash) {
    draw();
    EXPECT_NE(rowWith("1.  SWIFT BASICS"), "");
    EXPECT_NE(canvas.row(29).find("/ search"), std::string::npos);
    EXPECT_NE(canvas.row(0).find("Velomarinth Test"), std::string::npos) << canvas.row(0);
    std::set<int> slashes;
    int rows = 0;
    for (const auto& chapter : world.main().chapters) {
        const std::string row = rowWith(chapter->title);
        if (row.empty()) continue; // below the screen
        ++rows;
        slashes.insert(term::columnsOfText(row.substr(0, row.find(" / "))));
    }
    EXPECT_GT(rows, 18); // counts of 5, 10 and 20 among them
    EXPECT_EQ(slashes.size(), 1u) << canvas.screen();
    EXPECT_NE(rowWith("EXTENSIONS").find(" 0 /  5"), std::string::npos) << rowWith("EXTENSIONS");

    struct Case {
        std::string count;
        std::size_t digits;
        std::string aligned;
    } cases[] = {
        {"0 / 5", 2, " 0 /  5"}, {"12 / 20", 2, "12 / 20"}, {"3 / 120", 3, "  3 / 120"}, {"odd", 2, "odd"}};
    for (const auto& c : cases)
        EXPECT_EQ(ChapterListPresenter::alignedCount(c.count, c.digits), c.aligned) << c.count;
}

TEST_F(TerminalScreens, AnsweringALessonShowsTheCheckmarkAndTheProgressOnReturn) {
    auto firstLesson = world.main().chapters[0]->lessons[0];
    press(Key::named(Key::Kind::enter)); // chapter 1
    EXPECT_NE(draw().find("COURSE 1"), std::string::npos);
    press(Key::named(Key::Kind::enter)); // its first lesson
    auto lesson = world.top<LessonViewController>();
    ASSERT_TRUE(lesson);
    draw();
    EXPECT_TRUE(canvas.find(firstLesson->textFieldFormatting.placeholderText));

    type(firstLesson->answer);
    draw();
    EXPECT_NE(rowWith("✓").find(firstLesson->answer), std::string::npos);
    ASSERT_TRUE(canvas.caret());
    EXPECT_TRUE(world.main().progressReport->hasCompleted(firstLesson->lessonID));

    press(Key::ctrl('r'));
    // The output panel waits 0.4 s, then slides up and fades in over 0.5 s.
    EXPECT_EQ(draw().find("Output"), std::string::npos);
    drawAfter(0.6);
    auto sliding = canvas.find("Output");
    ASSERT_TRUE(sliding);
    drawAfter(0.4);
    auto settled = canvas.find("Output");
    ASSERT_TRUE(settled);
    EXPECT_LT(settled->y, sliding->y);
    EXPECT_NE(canvas.styleAt(settled->x, settled->y), canvas.styleAt(sliding->x, sliding->y)); // faded in

    press(Key::named(Key::Kind::escape));
    draw();
    EXPECT_NE(rowWith(firstLesson->title).find("✓"), std::string::npos);
    press(Key::named(Key::Kind::escape));
    draw();
    EXPECT_NE(rowWith("SWIFT BASICS").find("1 / 20"), std::string::npos);
    EXPECT_NE(rowWith("SWIFT BASICS").find("█"), std::string::npos);
}

TEST_F(TerminalScreens, DeleteTakesTheCharacterAfterTheCaretInBothFields) {
    press(Key::named(Key::Kind::enter));
    press(Key::named(Key::Kind::enter));
    auto lesson = world.top<LessonViewController>();
    ASSERT_TRUE(lesson);
    auto* field = lesson->lineHandles(static_cast<int>(lesson->lesson->textFieldInLine)).textField;
    type("abc");
    press(Key::named(Key::Kind::home));
    press(Key::named(Key::Kind::deleteKey));
    press(Key::named(Key::Kind::right));
    press(Key::named(Key::Kind::deleteKey));
    press(Key::named(Key::Kind::deleteKey)); // at the end: nothing
    EXPECT_EQ(field->text(), "b");
    EXPECT_EQ(lesson->lesson->userAnswer, "b"); // through the answer check, as typing is

    press(Key::named(Key::Kind::escape));
    press(Key::named(Key::Kind::escape));
    press(Key::typed("/"));
    type("xif");
    press(Key::named(Key::Kind::left));
    press(Key::named(Key::Kind::left));
    press(Key::named(Key::Kind::left));
    press(Key::named(Key::Kind::deleteKey));
    draw();
    EXPECT_TRUE(canvas.find(world.main().chapters[2]->lessons[0]->title)); // "IF STATEMENTS" matches
}

TEST_F(TerminalScreens, SearchFiltersAsYouTypeAndOpensTheChoice) {
    press(Key::typed("/"));
    draw();
    EXPECT_TRUE(canvas.find("Search"));
    type("IF STATEMENTS");
    draw();
    auto chapter = world.main().chapters[2];
    EXPECT_TRUE(canvas.find(chapter->lessons[0]->title));
    EXPECT_FALSE(canvas.find(world.main().chapters[0]->lessons[0]->title));
    press(Key::named(Key::Kind::down));
    press(Key::named(Key::Kind::enter));
    auto lesson = world.top<LessonViewController>();
    ASSERT_TRUE(lesson);
    EXPECT_EQ(lesson->lesson, chapter->lessons[1]);
}

TEST_F(TerminalScreens, SettingsRowsAreChosenWithTheListKeys) {
    press(Key::typed("s"));
    draw();
    EXPECT_NE(rowWith("Auto RUN after correct answer").find("[OFF ]"), std::string::npos);
    for (int i = 0; i < 4; ++i)
        press(Key::named(Key::Kind::down));
    press(Key::named(Key::Kind::enter));
    draw();
    EXPECT_NE(rowWith("Auto RUN after correct answer").find("[ ON ]"), std::string::npos);
    EXPECT_EQ(world.main().progressReport->autoRun, true);
    press(Key::named(Key::Kind::home)); // back to the top row: "Reset progress" asks first
    press(Key::named(Key::Kind::enter));
    EXPECT_NE(draw().find("Please confirm"), std::string::npos);
}

TEST_F(TerminalScreens, WebPageAndSupportMailHandTheirWorkToTheDesktop) {
    auto opener = std::make_shared<svc::FakeURLOpener>();
    svc::ScopedOverride installed(svc::setSharedURLOpener, opener);
    press(Key::typed("s"));
    press(Key::named(Key::Kind::down));
    press(Key::named(Key::Kind::enter)); // "More apps"
    draw();
    EXPECT_TRUE(canvas.find(MoreAppsViewController::makerSite));
    press(Key::named(Key::Kind::enter));
    EXPECT_EQ(opener->openedURLs(), std::vector<std::string>{MoreAppsViewController::makerSite});
    EXPECT_NE(draw().find("Opened in your browser."), std::string::npos);
    press(Key::named(Key::Kind::escape));
    EXPECT_TRUE(world.top<SettingsTableViewController>());

    press(Key::named(Key::Kind::down));
    press(Key::named(Key::Kind::down));
    press(Key::named(Key::Kind::enter)); // "Email ..."
    draw();
    EXPECT_TRUE(canvas.find("Velomarinth Swift Support Email"));
    press(Key::named(Key::Kind::enter));
    ASSERT_EQ(world.mail->sentMails().size(), 1u);
    EXPECT_EQ(world.mail->sentMails()[0].subject, "Velomarinth Swift Support Email");
    draw();
    EXPECT_FALSE(canvas.find("Velomarinth Swift Support Email")); // the composer has closed
}

TEST_F(TerminalScreens, ResizingRedrawsAndANarrowScreenShortensTheBarsBeforeTheTitles) {
    world.main().progressReport->lessons->push_back(world.main().chapters[0]->lessons[0]->lessonID.str());
    for (int width : {60, 40, 30}) {
        frontEnd.layout(width, 16);
        term::MemoryCanvas narrow(width, 16);
        world.settle();
        frontEnd.draw(narrow);
        auto cell = narrow.find("SWIFT BASICS");
        ASSERT_TRUE(cell) << width;
        std::string row = narrow.row(cell->y);
        EXPECT_NE(row.find("1 / 20"), std::string::npos) << width;
        EXPECT_EQ(row.find("░") != std::string::npos, ChapterListPresenter::barColumnsFor(width) > 0)
            << width;
    }
    EXPECT_EQ(ChapterListPresenter::barColumnsFor(100), ChapterListPresenter::barColumns);
}

TEST_F(TerminalScreens, ListsMarkTheRowsTheyLeaveOutAndTheTitlesTheyCut) {
    frontEnd.layout(80, 24);
    term::MemoryCanvas small(80, 24);
    auto marks = [&] {
        world.settle();
        frontEnd.draw(small);
        std::string found;
        for (const char* mark : {"▲", "▼"})
            if (small.find(mark)) found += mark;
        return found;
    };
    EXPECT_EQ(marks(), "▼") << small.screen(); // more chapters than rows
    press(Key::named(Key::Kind::enter));
    ASSERT_GT(world.main().chapters[0]->lessons.size(), 18u);
    EXPECT_EQ(marks(), "▼") << small.screen();
    EXPECT_TRUE(small.row(22).ends_with("▼")) << small.row(22); // on the last row shown
    press(Key::named(Key::Kind::end));
    EXPECT_EQ(marks(), "▲") << small.screen();
    for (int i = 0; i < 18; ++i) // to the row above the window's
        press(Key::named(Key::Kind::up));
    EXPECT_EQ(marks(), "▲▼") << small.screen();

    frontEnd.layout(24, 12);
    term::MemoryCanvas narrow(24, 12);
    world.settle();
    frontEnd.draw(narrow);
    const std::string focused = world.main().chapters[0]->lessons[1]->title.str(); // where the focus is
    ASSERT_GT(term::columnsOfText(focused), 10);
    auto row = narrow.find("›");
    ASSERT_TRUE(row) << narrow.screen();
    EXPECT_NE(narrow.row(row->y).find(term::fitText(focused, 10)), std::string::npos)
        << narrow.screen() << "\n"
        << focused;
}

TEST_F(TerminalScreens, TheFrontEndAsksForFramesOnlyWhileSomethingMoves) {
    draw();
    EXPECT_FALSE(frontEnd.secondsUntilAnimationFrame());
    press(Key::named(Key::Kind::enter));
    press(Key::named(Key::Kind::enter)); // the lesson's help bar waits 10 s
    auto wait = frontEnd.secondsUntilAnimationFrame();
    ASSERT_TRUE(wait);
    EXPECT_NEAR(*wait, 10.0, 0.01);
    dispatch::main().advance(10.2);
    EXPECT_DOUBLE_EQ(frontEnd.secondsUntilAnimationFrame().value_or(-1), term::FrontEnd::kFrameSeconds);
    dispatch::main().advance(1);
    EXPECT_FALSE(frontEnd.secondsUntilAnimationFrame());
}

TEST_F(TerminalScreens, AFailedSaveStaysInTheStatusLineUntilASaveSucceeds) {
    SaveStatusLine status(frontEnd);
    const auto& lessons = world.main().chapters[0]->lessons;
    const std::filesystem::path file = ns::UserDefaults::standard().filePath();
    const std::filesystem::path away = world.home.path() / "away.plist";
    // For a while the record cannot be read back, so it cannot be saved either.
    std::filesystem::rename(file, away);
    std::filesystem::create_directories(file / "inside");
    press(Key::named(Key::Kind::enter));
    press(Key::named(Key::Kind::enter));
    type(lessons[0]->answer);
    draw();
    auto cell = canvas.find("Progress not saved: the saved preferences cannot be read (Is a directory).");
    ASSERT_TRUE(cell) << canvas.screen();
    EXPECT_EQ(canvas.styleAt(cell->x, cell->y).background, term::palette::warning);
    press(Key::ctrl('n'));
    EXPECT_TRUE(canvas.find("Progress not saved")); // still so: nothing has been saved since

    std::filesystem::remove_all(file);
    std::filesystem::rename(away, file);
    type(lessons[1]->answer);
    draw();
    EXPECT_FALSE(canvas.find("Progress not saved")) << canvas.screen();
}

TEST(URLOpening, WhatCouldNotBeOpenedIsSaidInPlainWords) {
    struct Case {
        std::string url;
        std::string notice;
    } cases[] = {
        {"itms-apps://itunes.apple.com/us/app/apple-store/viewContentsUserReviews?id=1&pageNumber=0",
         "The store page could not be opened on this system."},
        {"mailto:support@example.com", "No mail program could be started on this system."},
        {"https://example.com/",
         "The web page could not be opened: no browser could be started on this system."},
        {"weird:thing", "The link could not be opened on this system."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(couldNotOpenNotice(c.url), c.notice) << c.url;
}

TEST_F(TerminalScreens, RateAppThatCannotOpenTheStoreSaysSoPlainly) {
    auto opener = std::make_shared<svc::FakeURLOpener>();
    opener->setResult(false);
    svc::ScopedOverride installed(svc::setSharedURLOpener, opener);
    ui::Application::shared().setOpenURLHandler(openURLThroughDesktop(frontEnd));
    press(Key::typed("s"));
    press(Key::named(Key::Kind::down));
    press(Key::named(Key::Kind::down));
    press(Key::named(Key::Kind::enter)); // "Rate App - Please support us!"
    press(Key::named(Key::Kind::enter)); // "Go rate app >"
    ASSERT_EQ(opener->openedURLs().size(), 1u);
    EXPECT_TRUE(opener->openedURLs()[0].starts_with("itms-apps://"));
    const std::string screen = draw();
    EXPECT_NE(screen.find("The store page could not be opened on this system."), std::string::npos) << screen;
    EXPECT_EQ(screen.find("itms-apps"), std::string::npos);
}

TEST_F(TerminalScreens, BackFromALessonTheListMarksTheLessonTheLearnerWasOn) {
    const auto& lessons = world.main().chapters[0]->lessons;
    ASSERT_TRUE(openLesson(0, 1));
    press(Key::ctrl('n'));
    press(Key::ctrl('n'));
    ASSERT_EQ(world.top<LessonViewController>()->lesson, lessons[3]);
    press(Key::named(Key::Kind::escape));
    draw();
    EXPECT_EQ(rowWith(lessons[3]->title).find("›"), 1u) << canvas.screen();
    EXPECT_EQ(rowWith(lessons[1]->title).find("›"), std::string::npos);
    // Enter opens the marked lesson, and the list keeps following.
    press(Key::named(Key::Kind::enter));
    EXPECT_EQ(world.top<LessonViewController>()->lesson, lessons[3]);
    press(Key::ctrl('n'));
    press(Key::named(Key::Kind::escape));
    draw();
    EXPECT_EQ(rowWith(lessons[4]->title).find("›"), 1u) << canvas.screen();
}

} // namespace
