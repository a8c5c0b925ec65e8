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
// leaves the word bar, else goes back. All of them are declared once, in the screen's key table, so the
// key line names exactly the keys that work at the moment.
//
// Nothing the lesson holds is cut off: the output panel is as tall as every printed line and the hint
// panel as tall as the whole hint, rising over the code when they must; what even the whole terminal
// cannot hold scrolls with Up/Down and PgUp/PgDn, marked by ▲ and ▼ at the panel's side. In a short
// terminal the code shows a window that holds the answer line, with ▲ and ▼ where lines are left out.
//
// Failure contract: none; views the lesson does not use are not drawn.
#include "app/lesson/LessonViewController.hpp"
#include "app/lesson/terminal/AnswerFieldView.hpp"
#include "app/lesson/terminal/StyledText.hpp"
#include "platform/terminal/Presenter.hpp"
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
    // The rows the code leaves below itself: a blank and the buttons.
    static constexpr int kRowsBelowCode = 2;
    // Where a panel's text stands when it has more lines than rows.
    struct PanelWindow {
        int first = 0;
        int total = 0;
        int visible = 0;
        bool overflows() const { return total > visible; }
    };

    ui::TextField* answerField(LessonViewController& screen) const;
    std::vector<ui::Button*> wordButtons(LessonViewController& screen) const;
    int drawCode(term::Canvas& canvas, term::Area area, int y, LessonViewController& screen);
    int drawButtons(term::Canvas& canvas, term::Area area, int y, LessonViewController& screen);
    int drawPanels(term::Canvas& canvas, term::Area area, int y, LessonViewController& screen);
    void drawWordBar(term::Canvas& canvas, term::Area area, LessonViewController& screen);
    void drawPanelText(term::Canvas& canvas, int x, int y, int width, int rows,
                       const std::function<std::vector<StyledLine>(int)>& layOut, PanelWindow& window,
                       ui::Color panel);
    // The screen's key table, made once.
    void declareKeys();
    // The open panel whose text does not fit, and moving its text (Up/Down, PgUp/PgDn).
    PanelWindow* scrollingPanel();
    bool scroll(const term::Key& key);
    // The answer field, editing from now on (nullptr when the lesson has none), and the edits keys make.
    ui::TextField* editedField();
    bool edit(const term::Key& key);
    bool moveWordFocus(const term::Key& key);
    bool typeFocusedWord();
    // The answer line's checkmark or error mark.
    ui::Button* answerLineButton(bool checkmark) const;

    std::weak_ptr<LessonViewController> screen_;
    std::optional<std::size_t> wordFocus_;
    AnswerFieldView fieldView_;
    // The lesson the field's scrolling belongs to.
    const Lesson* fieldLesson_ = nullptr;
    // The hint's and the output's windows as last drawn; the output's belongs to `outputLesson_`.
    PanelWindow hint_;
    PanelWindow output_;
    const Lesson* outputLesson_ = nullptr;
    term::KeyTable keys_;
};
