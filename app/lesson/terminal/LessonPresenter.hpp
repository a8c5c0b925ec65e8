#pragma once
// The lesson screen in the terminal: coloured instruction and code lines, the live answer field (with
// its placeholder and caret) inside its line, checkmark and error marks, the run button in its colour,
// the help bar, the hint panel, the output panel (plain or debugger) and the word bar.
//
// Keys: typing goes to the answer field (every edit through the field's delegate, as a touch keyboard
// would), Backspace deletes before the caret and Delete after it, Left/Right move the caret, Enter is
// the keyboard's Return, Ctrl-R runs, Ctrl-N goes to the next lesson, Ctrl-E presses the error mark (or
// the help bar's hint button), Ctrl-V the help bar's video button, Ctrl-O the line's checkmark;
// Tab/Shift-Tab move through the word bar and Enter types the focused word; Esc closes the hint panel or
// leaves the word bar, else goes back. All of them are declared once, in the screen's key table, each
// pointing at a named action, so the key line names exactly the keys that work at the moment.
//
// Nothing the lesson holds is lost: the instruction takes the rows it needs when the terminal has them,
// the output panel is as tall as every printed line and the hint panel as tall as the whole hint, rising
// over the code when they must; what does not fit scrolls with Up/Down and PgUp/PgDn, marked by ▲ and ▼
// at its side (the open panel first, else the instruction). In a short terminal the code shows a window
// that holds the answer line, with ▲ and ▼ where lines are left out; a code line wider than the terminal
// ends in "…" (on the answer line the code on either side of the field keeps a column for its mark, and
// the field scrolls its text with the caret between "‹" and "›"), a word bar wider than it shows "‹" and
// "›" and keeps the chosen word in sight, and buttons that do not fit give way rather than run into each
// other. A panel covers its rows whole, and the caret beneath it. How the rows are shared is
// LessonRows.hpp's.
//
// Everything the screen holds for the lesson it shows (the chosen word, scrolled texts, the field's
// sideways scroll) is one value, made fresh when the screen moves to another lesson.
//
// Failure contract: none; views the lesson does not use are not drawn.
#include "app/lesson/LessonViewController.hpp"
#include "app/lesson/terminal/AnswerFieldView.hpp"
#include "app/lesson/terminal/StyledText.hpp"
#include "platform/terminal/Presenter.hpp"
#include "platform/terminal/TextWindow.hpp"
#include "platform/uikit/Button.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class LessonPresenter : public term::Presenter {
  public:
    explicit LessonPresenter(std::shared_ptr<LessonViewController> screen);
    void draw(term::Canvas& canvas, term::Area area) override;
    const term::KeyTable& keys() const override { return keys_; }

  private:
    using TextWindow = term::TextWindow;
    // What the screen holds for the lesson it shows.
    struct LessonState {
        Lesson::Ptr lesson;
        // The word bar's chosen word, while the word bar has the keys.
        std::optional<std::size_t> wordFocus;
        AnswerFieldView field;
        TextWindow instruction;
        // An open panel stands over the instruction as last drawn.
        bool instructionCovered = false;
        TextWindow hint;
        TextWindow output;
    };
    // Which text Up/Down move.
    enum class Scrolling { none, hint, output, instruction };
    // The code lines shown (numbers 1...10) and where the answer line is among them.
    struct CodeLines {
        std::vector<int> numbers;
        int answerIndex = 0;
    };

    // The state of the lesson on screen, made fresh when the lesson changed; nullptr without one.
    LessonState* state();

    ui::TextField* answerField(LessonViewController& screen) const;
    std::vector<ui::Button*> wordButtons(LessonViewController& screen) const;
    CodeLines codeLines(LessonViewController& screen) const;

    // Drawing, from the top down; each returns the row of what it drew (the answer line's, the top of the
    // panels) where the caret and the instruction's scrolling need it.
    std::optional<int> drawCode(term::Canvas& canvas, term::Area area, int y, int rows,
                                LessonViewController& screen, const CodeLines& code, LessonState& lesson);
    int drawCodeLine(term::Canvas& canvas, term::Area area, int y,
                     const LessonViewController::LineHandles& line, bool answer, LessonState& lesson);
    void drawButtons(term::Canvas& canvas, term::Area area, int y, LessonViewController& screen);
    void drawHelpBar(term::Canvas& canvas, term::Area area, int y, LessonViewController& screen);
    int drawPanels(term::Canvas& canvas, term::Area area, int y, LessonViewController& screen,
                   LessonState& lesson);
    void drawWordBar(term::Canvas& canvas, term::Area area, LessonViewController& screen,
                     LessonState& lesson);
    void drawScrollingText(term::Canvas& canvas, int x, int y, int width, int rows,
                           const std::function<std::vector<StyledLine>(int)>& layOut, TextWindow& window,
                           ui::Color background);

    // The screen's key table, made once.
    void declareKeys();

    // Conditions the key table reads.
    bool hasField();
    bool hintShown();
    bool wordsOffered();
    bool inWords();
    bool canShowHint();
    bool canShowOutput();
    bool canPlayVideo();
    Scrolling scrolling();
    TextWindow* scrollingWindow();

    // Actions the key table points at; each answers whether the key did something.
    bool closeHint(const term::Key& key);
    bool moveWordFocus(const term::Key& key);
    bool typeFocusedWord(const term::Key& key);
    bool leaveWords(const term::Key& key);
    bool scroll(const term::Key& key);
    bool edit(const term::Key& key);
    bool run(const term::Key& key);
    bool next(const term::Key& key);
    bool showHint(const term::Key& key);
    bool playVideo(const term::Key& key);
    bool showOutput(const term::Key& key);

    // The answer field, editing from now on (nullptr when the lesson has none).
    ui::TextField* editedField();
    // The answer line's checkmark or error mark.
    ui::Button* answerLineButton(bool checkmark) const;

    std::weak_ptr<LessonViewController> screen_;
    LessonState state_;
    term::KeyTable keys_;
};
