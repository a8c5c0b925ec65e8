// Every key a screen's key line names does something there. Each screen state is reached by a script of
// keys from a fresh launch; then each key of each binding behind its key line is pressed in a fresh copy
// of that state, and the front end must report it handled. In every width the line names whole items
// only, and the key that opens or answers goes last.
#include "app/catalogue/terminal/CataloguePresenters.hpp"
#include "platform/dispatch/Clock.hpp"
#include "platform/services/FakeURLOpener.hpp"
#include "platform/terminal/FrontEnd.hpp"
#include "platform/terminal/KeyLine.hpp"
#include "platform/terminal/MemoryCanvas.hpp"
#include "platform/uikit/Animation.hpp"
#include "tests/support/CatalogueWorld.hpp"
#include "tests/support/LessonPicks.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using term::Key;
using Kind = Key::Kind;

// A launched app in a terminal of its own size, driven by keys; nothing leaves the machine (URLs and
// mail go to test doubles).
struct App {
    dispatch::VirtualClockScope clock;
    std::shared_ptr<svc::FakeURLOpener> opener = std::make_shared<svc::FakeURLOpener>();
    svc::ScopedOverride<std::shared_ptr<svc::URLOpener>> openerInstalled{svc::setSharedURLOpener, opener};
    CatalogueWorld world;
    term::FrontEnd frontEnd{[this](const std::shared_ptr<ui::ViewController>& screen) {
        return makeCataloguePresenter(screen, frontEnd);
    }};
    term::MemoryCanvas canvas;

    App(int columns, int rows) : canvas(columns, rows) {
        ui::AnimationLog::shared().clear();
        world.launch();
        frontEnd.layout(columns, rows);
        draw();
    }
    void draw() {
        world.settle();
        frontEnd.draw(canvas);
    }
    bool press(const Key& key) {
        const bool handled = frontEnd.handleKey(key);
        draw();
        return handled;
    }
    void keys(std::initializer_list<Key> keys) {
        for (const auto& key : keys)
            press(key);
    }
    void text(std::string_view typed) {
        for (char c : typed)
            press(Key::typed(std::string(1, c)));
    }
    void wait(double seconds) {
        dispatch::main().advance(seconds);
        draw();
    }
    void down(int times) {
        for (int i = 0; i < times; ++i)
            press(Key::named(Kind::down));
    }
    const Chapter& chapter(int index) { return *world.main().chapters.at(static_cast<std::size_t>(index)); }
};

struct State {
    const char* name;
    std::function<void(App&)> reach;
    int columns = 80;
    int rows = 24;
};

const Key enter = Key::named(Kind::enter);
const Key tab = Key::named(Kind::tab);

// Opens the first lesson of chapter 1 that has a word bar.
void openFirstLessonWithWords(App& a) {
    const auto& lessons = a.chapter(0).lessons;
    int row = 0;
    while (!lessons[static_cast<std::size_t>(row)]->inputAccessoryViewTextValues)
        ++row;
    a.keys({enter});
    a.down(row);
    a.keys({enter});
}

// Every screen state the key line has, each reached by a script of keys from a fresh launch.
const std::vector<State>& screenStates() {
    static const std::vector<State> states = {
        {"course home", [](App&) {}},
        {"lesson list", [](App& a) { a.keys({enter}); }},
        {"new lesson",
         [](App& a) {
             a.keys({enter, enter});
         }},
        {"lesson with the help bar up",
         [](App& a) {
             a.keys({enter, enter});
             a.wait(10.6);
         }},
        {"lesson with a wrong answer",
         [](App& a) {
             a.keys({enter, enter});
             a.text("~");
         }},
        {"lesson answered",
         [](App& a) {
             a.keys({enter, enter});
             a.text(a.chapter(0).lessons[0]->answer.str());
         }},
        {"lesson with the hint open",
         [](App& a) {
             a.keys({enter, enter});
             a.text("~");
             a.keys({Key::ctrl('e')});
         }},
        {"lesson with the word bar", [](App& a) { openFirstLessonWithWords(a); }},
        {"lesson with a word chosen",
         [](App& a) {
             openFirstLessonWithWords(a);
             a.keys({tab});
         }},
        {"lesson whose output is taller than the terminal",
         [](App& a) {
             a.down(24); // chapter 25: its ninth lesson prints four lines
             a.keys({enter});
             a.down(8);
             a.keys({enter});
             a.text("continue");
             a.keys({Key::ctrl('r')});
             a.wait(1);
         },
         80, 9},
        {"lesson whose instruction is longer than its rows",
         [](App& a) {
             a.down(8); // chapter 9: the ninth lesson's instruction ends with its task
             a.keys({enter});
             a.down(8);
             a.keys({enter});
         },
         40, 12},
        {"hint taller than the terminal",
         [](App& a) {
             a.down(2); // chapter 3: the twelfth lesson's hint ends with the model answer
             a.keys({enter});
             a.down(11);
             a.keys({enter});
             a.text("~");
             a.keys({Key::ctrl('e')});
         },
         80, 10},
        {"lesson offering its video",
         [](App& a) {
             a.down(9);
             a.keys({enter, enter});
             a.text("~");
             a.keys({enter});
             a.wait(0.6);
         }},
        {"video player",
         [](App& a) {
             a.down(9);
             a.keys({enter, enter});
             a.text("~");
             a.keys({enter});
             a.wait(0.6);
             a.keys({Key::ctrl('v')});
         }},
        {"end-of-chapter alert",
         [](App& a) {
             a.keys({enter});
             a.down(static_cast<int>(a.chapter(0).lessons.size()) - 1);
             a.keys({enter, Key::ctrl('n')});
         }},
        {"search", [](App& a) { a.text("/"); }},
        {"settings", [](App& a) { a.text("s"); }},
        {"reset alert",
         [](App& a) {
             a.text("s");
             a.keys({enter});
         }},
        {"web page",
         [](App& a) {
             a.text("s");
             a.down(1);
             a.keys({enter});
         }},
        {"mail composer",
         [](App& a) {
             a.text("s");
             a.down(3);
             a.keys({enter});
         }},
    };
    return states;
}

TEST(KeyLines, EveryKeyAScreenNamesIsHandledThere) {
    for (const auto& state : screenStates()) {
        auto app = std::make_unique<App>(state.columns, state.rows);
        state.reach(*app);
        std::vector<std::pair<std::string, std::vector<Key>>> shown;
        for (const auto* binding : app->frontEnd.keyLineBindings())
            shown.emplace_back(binding->text(), binding->keys);
        ASSERT_FALSE(shown.empty()) << state.name;
        for (const auto& [text, keys] : shown) {
            for (const auto& key : keys) {
                app.reset(); // one app at a time
                app = std::make_unique<App>(state.columns, state.rows);
                state.reach(*app);
                EXPECT_TRUE(app->press(key)) << state.name << ": \"" << text << "\" names "
                                             << term::keyName(key) << ", which did nothing";
            }
        }
    }
}

// The pieces of a drawn key line: its items, two blanks apart, after the one-column margin.
std::vector<std::string> keyLinePieces(const std::string& row) {
    std::vector<std::string> pieces;
    const std::string line = row.empty() ? row : row.substr(1);
    for (std::size_t from = 0; from < line.size();) {
        const auto gap = line.find("  ", from);
        pieces.push_back(line.substr(from, gap - from));
        from = gap == std::string::npos ? line.size() : gap + 2;
    }
    return pieces;
}

TEST(KeyLines, InEveryWidthTheMainKeyStaysLongestAndNoItemIsCut) {
    for (const auto& state : screenStates()) {
        App app(state.columns, state.rows);
        state.reach(app);
        std::vector<std::string> texts;
        const term::KeyBinding* main = nullptr;
        for (const auto* binding : app.frontEnd.keyLineBindings()) {
            texts.push_back(binding->text());
            if (!main || binding->weight > main->weight) main = binding;
        }
        ASSERT_TRUE(main && main->weight >= term::kMainKeyWeight) << state.name << ": no main key";
        for (int columns : {12, 20, 34, 40, 60}) {
            const std::string where = std::string(state.name) + " at " + std::to_string(columns);
            // The terminal is resized to `columns`, as a person narrowing the window does.
            app.frontEnd.layout(columns, state.rows);
            app.canvas = term::MemoryCanvas(columns, state.rows);
            app.draw();
            const std::string row = app.canvas.row(state.rows - 1);
            EXPECT_LE(term::columnsOfText(row), columns - 1) << where << ": " << row;
            const auto pieces = keyLinePieces(row);
            for (const auto& piece : pieces)
                EXPECT_NE(std::find(texts.begin(), texts.end(), piece), texts.end())
                    << where << ": \"" << piece << "\" is not a whole item of " << row;
            // The key that opens or answers shows whenever it fits, and nothing shows without it.
            const bool fits = term::columnsOfText(main->text()) <= columns - 2;
            const bool shown = std::find(pieces.begin(), pieces.end(), main->text()) != pieces.end();
            EXPECT_EQ(shown, fits) << where << ": " << row;
            if (!fits) {
                EXPECT_TRUE(pieces.empty()) << where << ": " << row;
            }
        }
    }
}

TEST(KeyLines, TheLessonListInFortyColumnsNamesTheKeyThatOpensALesson) {
    App app(40, 12);
    app.keys({enter});
    EXPECT_EQ(app.canvas.row(11), " Enter open lesson  Ctrl-C quit");
}

} // namespace
