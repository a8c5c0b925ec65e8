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
// leaves the word bar, else goes back. The key line names only the keys that work at the moment.
//
// Failure contract: none; views the lesson does not use are not drawn.
#include "app/catalogue/terminal/AnswerFieldView.hpp"
#include "app/lesson/LessonViewController.hpp"
#include "platform/terminal/Presenter.hpp"
#include "platform/uikit/Button.hpp"

#include <memory>
#include <optional>
#include <vector>

class LessonPresenter : public term::Presenter {
  public:
    explicit LessonPresenter(std::shared_ptr<LessonViewController> screen);
    void draw(term::Canvas& canvas, term::Area area) override;
    bool handleKey(const term::Key& key) override;
    std::vector<term::KeyLineItem> keyLine() const override;

  private:
    ui::TextField* answerField(LessonViewController& screen) const;
    std::vector<ui::Button*> wordButtons(LessonViewController& screen) const;
    int drawCode(term::Canvas& canvas, term::Area area, int y, LessonViewController& screen);
    int drawButtons(term::Canvas& canvas, term::Area area, int y, LessonViewController& screen);
    int drawPanels(term::Canvas& canvas, term::Area area, int y, LessonViewController& screen);
    void drawWordBar(term::Canvas& canvas, term::Area area, LessonViewController& screen);

    std::weak_ptr<LessonViewController> screen_;
    std::optional<std::size_t> wordFocus_;
    AnswerFieldView fieldView_;
    // The lesson the field's scrolling belongs to.
    const Lesson* fieldLesson_ = nullptr;
};
