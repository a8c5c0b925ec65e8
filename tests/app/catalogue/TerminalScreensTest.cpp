#include "CatalogueWorld.hpp"
#include "LessonPicks.hpp"
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
#include "platform/uikit/Animation.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

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
    // The row (from 0) of the first lesson of chapter 1 that comes with keyboard words.
    int rowWithWords() {
        const auto& lessons = world.main().chapters[0]->lessons;
        auto at = std::find_if(lessons.begin(), lessons.end(), [](const Lesson::Ptr& l) {
            return l->inputAccessoryViewTextValues && !l->inputAccessoryViewTextValues->empty();
        });
        return at == lessons.end() ? -1 : static_cast<int>(at - lessons.begin());
    }
    // Opens the lesson with `id` from the course home.
    std::shared_ptr<LessonViewController> openLesson(const std::string& id) {
        const auto& chapters = world.main().chapters;
        for (std::size_t c = 0; c < chapters.size(); ++c)
            for (std::size_t r = 0; r < chapters[c]->lessons.size(); ++r)
                if (chapters[c]->lessons[r]->lessonID == id)
                    return openLesson(static_cast<int>(c), static_cast<int>(r));
        ADD_FAILURE() << "no lesson " << id;
        return nullptr;
    }
    // The texts of the rows below the row holding `header` (the panel's rows), each trimmed of its
    // blanks and of the scroll marks at its end, gathered while Down scrolls until nothing changes.
    std::vector<std::string> panelRowsWhileScrolling(term::MemoryCanvas& on, const std::string& header) {
        std::vector<std::string> rows;
        std::string before;
        for (int presses = 0; presses < 40; ++presses) {
            frontEnd.draw(on);
            if (on.screen() == before) break;
            before = on.screen();
            auto top = on.find(header);
            if (!top) return rows;
            for (int y = top->y + 1; y < on.height() - 1; ++y)
                rows.push_back(trimmed(on.row(y)));
            press(Key::named(Key::Kind::down));
        }
        return rows;
    }
    static std::string trimmed(std::string row) {
        for (const char* mark : {"▲", "▼", "│"})
            if (row.ends_with(mark)) row.resize(row.size() - std::string(mark).size());
        const auto from = row.find_first_not_of(' ');
        const auto to = row.find_last_not_of(' ');
        return from == std::string::npos ? "" : row.substr(from, to - from + 1);
    }
    static std::vector<std::string> linesOf(const std::string& text) {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            if (!trimmed(line).empty()) lines.push_back(trimmed(line));
        return lines;
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
    EXPECT_NE(canvas.row(0).find("Velomarinth"), std::string::npos);
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

TEST_F(TerminalScreens, WordBarTypesItsWordsAndTheHintPanelClosesWithEsc) {
    const int row = rowWithWords();
    ASSERT_GE(row, 0);
    auto lesson = openLesson(0, row);
    ASSERT_TRUE(lesson && lesson->lesson->inputAccessoryViewTextValues);
    const std::string firstWord = lesson->lesson->inputAccessoryViewTextValues->front().str();

    press(Key::named(Key::Kind::tab));
    draw();
    EXPECT_TRUE(canvas.find(" " + firstWord + " ")) << canvas.screen(); // the word bar is up
    press(Key::named(Key::Kind::enter));
    auto field = lesson->lineHandles(static_cast<int>(lesson->lesson->textFieldInLine)).textField;
    ASSERT_TRUE(field);
    EXPECT_EQ(field->text(), firstWord);

    type("~~"); // surely wrong: the line's error mark comes up
    draw();
    EXPECT_NE(rowWith("~~").find("!"), std::string::npos);
    press(Key::ctrl('e'));
    ASSERT_TRUE(lesson->helpView);
    EXPECT_TRUE(lesson->helpView->isVisible());
    press(Key::named(Key::Kind::escape));
    EXPECT_FALSE(lesson->helpView->isVisible());
    EXPECT_EQ(world.top<LessonViewController>(), lesson); // Esc closed the panel, not the screen
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

TEST_F(TerminalScreens, TheAnswerFieldIsABoxWithABlankEachSideAndTheCaretFromTheStart) {
    const auto place = tightFieldLesson(world.main().chapters);
    const auto& lesson = place.lesson;
    ASSERT_TRUE(lesson);
    const int line = static_cast<int>(lesson->textFieldInLine);
    ASSERT_TRUE(openLesson(place.chapter, place.row));

    term::MemoryCanvas small(80, 24);
    frontEnd.layout(80, 24);
    world.settle();
    frontEnd.draw(small);
    // Nothing typed yet: the placeholder in its box, and the caret already in the field.
    auto placeholder = small.find(lesson->textFieldFormatting.placeholderText);
    ASSERT_TRUE(placeholder) << small.screen();
    ASSERT_TRUE(small.caret());
    EXPECT_EQ(*small.caret(), *placeholder);
    EXPECT_EQ(small.styleAt(placeholder->x - 1, placeholder->y).background, LessonViewController::panelGrey);

    type(lesson->answer);
    frontEnd.draw(small);
    const std::string expected = *lesson->text1(line) + " " + lesson->answer + " " + *lesson->text2(line);
    auto found = small.find(expected);
    ASSERT_TRUE(found) << "looked for: " << expected << "\n" << small.screen();
    const int boxStart = found->x + term::columnsOfText(*lesson->text1(line));
    EXPECT_EQ(small.styleAt(boxStart, found->y).background, LessonViewController::panelGrey);
    EXPECT_NE(small.styleAt(boxStart - 1, found->y).background, LessonViewController::panelGrey);
    const int boxEnd = boxStart + term::columnsOfText(lesson->answer) + 1;
    EXPECT_EQ(small.styleAt(boxEnd, found->y).background, LessonViewController::panelGrey);
    EXPECT_NE(small.styleAt(boxEnd + 1, found->y).background, LessonViewController::panelGrey);
    EXPECT_EQ(small.caret(), (term::Cell{boxEnd, found->y})); // after the answer, on the box's blank
}

TEST_F(TerminalScreens, ALongAnswerScrollsWithTheCaret) {
    ASSERT_TRUE(openLesson(0, 0));
    term::MemoryCanvas small(80, 24);
    frontEnd.layout(80, 24);
    world.settle();
    std::string typed;
    for (int i = 0; i < 12; ++i)
        typed += "word" + std::to_string(i) + " ";
    typed += "END";
    type(typed);
    frontEnd.draw(small);
    auto end = small.find("END");
    ASSERT_TRUE(end) << small.screen();
    ASSERT_TRUE(small.caret());
    EXPECT_EQ(*small.caret(), (term::Cell{end->x + 3, end->y}));
    EXPECT_LT(small.caret()->x, 80);
    EXPECT_FALSE(small.find("word0 ")); // scrolled past the start
    EXPECT_NE(small.row(end->y).find("‹"), std::string::npos);

    press(Key::named(Key::Kind::home));
    frontEnd.draw(small);
    auto start = small.find("word0 ");
    ASSERT_TRUE(start) << small.screen();
    EXPECT_EQ(small.caret(), start);
    EXPECT_FALSE(small.find("END"));
    EXPECT_NE(small.row(start->y).find("›"), std::string::npos);
}

TEST_F(TerminalScreens, TheOutputShowsEveryPrintedLineAndScrollsWhenTheTerminalIsShort) {
    auto lesson = openLesson("CH25L9"); // prints four lines with continue, three with break
    ASSERT_TRUE(lesson);
    type("continue");
    press(Key::ctrl('r'));
    dispatch::main().advance(1);
    const auto printed = linesOf(lesson->debugMessageLabel->text());
    ASSERT_EQ(printed.size(), 4u);
    for (auto [columns, rows] : {std::pair{120, 40}, {100, 30}, {80, 24}, {80, 16}}) {
        frontEnd.layout(columns, rows);
        term::MemoryCanvas sized(columns, rows);
        world.settle();
        frontEnd.draw(sized);
        const bool whole = !sized.find("▼");
        if (columns >= 100) {
            EXPECT_TRUE(whole) << sized.screen();
        }
        // The key line says how to see the rest whenever there is more.
        EXPECT_EQ(sized.row(rows - 1).find("↑↓ scroll output") == std::string::npos, whole)
            << sized.row(rows - 1);
        const auto seen = panelRowsWhileScrolling(sized, "Output");
        auto at = seen.begin();
        for (const auto& line : printed) {
            at = std::find(at, seen.end(), line);
            ASSERT_NE(at, seen.end()) << columns << "x" << rows << ": no \"" << line << "\" in order";
            ++at;
        }
        // Back to the top for the next size.
        for (int i = 0; i < 20; ++i)
            press(Key::named(Key::Kind::up));
    }
}

TEST_F(TerminalScreens, TheHintShowsItsLastLineTheModelAnswer) {
    auto lesson = openLesson("CH3L12");
    ASSERT_TRUE(lesson);
    type("~");
    press(Key::ctrl('e'));
    ASSERT_TRUE(lesson->helpView->isVisible());
    const auto message = linesOf(lesson->helpViewMessageLabel->text());
    ASSERT_GT(message.size(), 5u);
    EXPECT_EQ(message.back(), lesson->lesson->answer); // steps, then the answer
    for (auto [columns, rows] : {std::pair{80, 24}, {100, 30}, {120, 40}}) {
        frontEnd.layout(columns, rows);
        term::MemoryCanvas sized(columns, rows);
        world.settle();
        frontEnd.draw(sized);
        EXPECT_TRUE(sized.find(message.back())) << sized.screen();
        EXPECT_FALSE(sized.find("▼")) << sized.screen();
    }
    // Too short for it: the rest is a scroll away, and the panel says so.
    frontEnd.layout(80, 10);
    term::MemoryCanvas tiny(80, 10);
    world.settle();
    frontEnd.draw(tiny);
    EXPECT_FALSE(tiny.find(message.back()));
    EXPECT_TRUE(tiny.find("▼")) << tiny.screen();
    const auto seen = panelRowsWhileScrolling(tiny, "Velomarinth");
    EXPECT_NE(std::find(seen.begin(), seen.end(), message.back()), seen.end());
    press(Key::named(Key::Kind::escape));
    EXPECT_FALSE(lesson->helpView->isVisible());
}

TEST_F(TerminalScreens, InAShortTerminalTheCodeScrollsToTheAnswerLine) {
    // Lessons whose answer sits low in long code.
    std::vector<std::string> ids;
    for (const auto& chapter : world.main().chapters)
        for (const auto& l : chapter->lessons)
            if (l->textFieldInLine >= 8 && ids.size() < 3) ids.push_back(l->lessonID.str());
    ASSERT_FALSE(ids.empty());
    for (const auto& id : ids) {
        auto lesson = openLesson(id);
        ASSERT_TRUE(lesson);
        const std::string number = std::to_string(lesson->lesson->textFieldInLine);
        for (auto [columns, rows] : {std::pair{80, 12}, {80, 16}, {100, 14}}) {
            frontEnd.layout(columns, rows);
            term::MemoryCanvas sized(columns, rows);
            world.settle();
            frontEnd.draw(sized);
            ASSERT_TRUE(sized.caret()) << id << " " << columns << "x" << rows << "\n" << sized.screen();
            const std::string row = sized.row(sized.caret()->y);
            EXPECT_LT(sized.caret()->y, rows - 1);
            EXPECT_EQ(trimmed(row).substr(0, number.size() + 1), number + " ") << row;
            // Lines above the window are a mark away.
            if (!sized.find("  1  ")) {
                EXPECT_TRUE(sized.find("▲")) << sized.screen();
            }
        }
        press(Key::named(Key::Kind::escape));
        press(Key::named(Key::Kind::escape));
        press(Key::named(Key::Kind::home));
    }
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

TEST_F(TerminalScreens, TheHelpBarFadesInOnlyAfterItsDelay) {
    press(Key::named(Key::Kind::enter)); // chapter 1
    press(Key::named(Key::Kind::enter)); // its first lesson
    ASSERT_TRUE(world.top<LessonViewController>());
    EXPECT_EQ(draw().find("Stuck?"), std::string::npos);
    EXPECT_EQ(drawAfter(9.9).find("Stuck?"), std::string::npos);
    // Half way through its fade it is there, in a red not yet at full strength.
    drawAfter(0.35);
    auto fading = canvas.find("Stuck?");
    ASSERT_TRUE(fading);
    auto half = canvas.styleAt(fading->x, fading->y).foreground;
    EXPECT_NE(drawAfter(0.35).find("Stuck?"), std::string::npos); // 10.6 s
    auto full = canvas.styleAt(canvas.find("Stuck?")->x, canvas.find("Stuck?")->y).foreground;
    ASSERT_TRUE(half && full);
    EXPECT_EQ(*full, LessonViewController::stuckRed);
    EXPECT_LT(half->red, full->red);
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

TEST_F(TerminalScreens, TheErrorMarkBlinksByGrowingThenSettles) {
    press(Key::named(Key::Kind::enter)); // chapter 1
    press(Key::named(Key::Kind::enter)); // its first lesson
    ASSERT_TRUE(world.top<LessonViewController>());
    type("Q"); // wrong from the first character
    auto wideAt = [&](double seconds) {
        drawAfter(seconds);
        auto answer = canvas.find("Q  !"); // the mark stands two cells after the answer
        EXPECT_TRUE(answer);
        return answer && canvas.styleAt(answer->x + 2, answer->y).reverse;
    };
    EXPECT_TRUE(wideAt(0.15));  // growing
    EXPECT_FALSE(wideAt(0.2));  // back down, at 0.35 s
    EXPECT_TRUE(wideAt(0.3));   // shrinking from the second growth, at 0.65 s
    EXPECT_FALSE(wideAt(0.35)); // done
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

TEST_F(TerminalScreens, TheKeyLineNamesTheKeysThatWorkNowInEightyColumns) {
    frontEnd.layout(80, 24);
    term::MemoryCanvas small(80, 24);
    std::vector<std::string> seen;
    auto keyLine = [&] {
        world.settle();
        frontEnd.draw(small);
        seen.push_back(small.row(23));
        return seen.back();
    };
    auto has = [](const std::string& line, const char* key) { return line.find(key) != std::string::npos; };
    auto lesson = openLesson(0, 0);
    ASSERT_TRUE(lesson);
    const std::string answer = lesson->lesson->answer.str();
    ASSERT_GT(answer.size(), 1u);

    // The hint cannot open in the first ten seconds.
    auto line = keyLine();
    EXPECT_FALSE(has(line, "Ctrl-E")) << line;
    EXPECT_TRUE(has(line, "Ctrl-R run") && has(line, "Ctrl-N next") && has(line, "Esc back")) << line;
    dispatch::main().advance(10.6);
    line = keyLine();
    EXPECT_TRUE(has(line, "Ctrl-E hint")) << line;
    press(Key::ctrl('e'));
    line = keyLine();
    EXPECT_TRUE(has(line, "Esc close hint")) << line;
    EXPECT_FALSE(has(line, "Esc back")) << line;
    press(Key::named(Key::Kind::escape));

    // A start of the answer: no error mark, the help bar gone while typing.
    type(answer.substr(0, 1));
    line = keyLine();
    EXPECT_FALSE(has(line, "Ctrl-E")) << line;
    EXPECT_FALSE(has(line, "Ctrl-O")) << line;
    type(answer.substr(1));
    line = keyLine();
    EXPECT_TRUE(has(line, "Ctrl-O output")) << line;
    EXPECT_FALSE(has(line, "Ctrl-E")) << line;
    press(Key::ctrl('o'));
    EXPECT_FALSE(lesson->answerView->isHidden()); // the checkmark showed the output
    for (const auto& l : seen) {
        EXPECT_LE(term::columnsOfText(l), 79) << l;   // one blank of margin on the left
        EXPECT_TRUE(l.ends_with("Ctrl-C quit")) << l; // the way out gives way last
    }
}

TEST_F(TerminalScreens, WordBarKeysAreNamedWhileTheBarHasTheFocus) {
    frontEnd.layout(80, 24);
    term::MemoryCanvas small(80, 24);
    ASSERT_GE(rowWithWords(), 0);
    ASSERT_TRUE(openLesson(0, rowWithWords()));
    frontEnd.draw(small);
    EXPECT_NE(small.row(23).find("Tab Shift-Tab words"), std::string::npos) << small.row(23);
    press(Key::named(Key::Kind::backTab));
    frontEnd.draw(small);
    const std::string line = small.row(23);
    EXPECT_NE(line.find("Tab Shift-Tab choose word"), std::string::npos) << line;
    EXPECT_NE(line.find("Enter type it"), std::string::npos) << line;
    EXPECT_NE(line.find("Esc leave words"), std::string::npos) << line;
    EXPECT_LE(term::columnsOfText(line), 79) << line;
}

TEST_F(TerminalScreens, TheVideoKeyOpensThePlayerWhichPlaysInTheBrowser) {
    auto opener = std::make_shared<svc::FakeURLOpener>();
    svc::ScopedOverride installed(svc::setSharedURLOpener, opener);
    // The first lesson of chapter 10 comes with a tutorial video.
    const auto& lesson = world.main().chapters[9]->lessons[0];
    ASSERT_TRUE(lesson->videoTutorial);
    auto screen = openLesson(9, 0);
    ASSERT_TRUE(screen);
    type("~");
    press(Key::named(Key::Kind::enter)); // Return on a wrong answer offers the video
    EXPECT_NE(drawAfter(0.6).find("Ctrl-V video"), std::string::npos) << canvas.screen();
    press(Key::ctrl('v'));
    auto player = std::dynamic_pointer_cast<VideoPlayerViewController>(screen->presentedViewController());
    ASSERT_TRUE(player);
    const std::string address = "https://www.youtube.com/watch?v=" + *lesson->videoTutorial;
    EXPECT_EQ(player->playerURL(), address);
    EXPECT_NE(draw().find(address), std::string::npos);
    press(Key::named(Key::Kind::enter));
    EXPECT_EQ(opener->openedURLs(), std::vector<std::string>{address});
    EXPECT_NE(draw().find("Playing in your browser."), std::string::npos);
    press(Key::named(Key::Kind::escape));
    EXPECT_FALSE(screen->presentedViewController());
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
