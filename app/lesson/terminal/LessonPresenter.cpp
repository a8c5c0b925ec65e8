#include "app/lesson/terminal/LessonPresenter.hpp"

#include "app/lesson/terminal/StyledText.hpp"
#include "platform/foundation/Text.hpp"
#include "platform/terminal/Presentation.hpp"
#include "platform/uikit/TextMeasure.hpp"

#include <algorithm>

namespace {

// Drawn as the screen shows it now: a view fading in after a delay is absent until it starts.
bool shown(const ui::View* view) {
    return term::isShown(view);
}

void collectButtons(ui::View& view, std::vector<ui::Button*>& out) {
    if (!view.isVisible()) return;
    if (auto* button = dynamic_cast<ui::Button*>(&view)) {
        out.push_back(button);
        return;
    }
    for (const auto& sub : view.subviews())
        collectButtons(*sub, out);
}

std::string buttonTitle(const ui::Button& button, const char* fallback) {
    auto title = button.currentTitle();
    return title && !title->empty() ? *title : fallback;
}

} // namespace

LessonPresenter::LessonPresenter(std::shared_ptr<LessonViewController> screen) : screen_(screen) {
    declareKeys();
}

ui::TextField* LessonPresenter::answerField(LessonViewController& screen) const {
    if (!screen.lesson) return nullptr;
    auto k = screen.lesson->textFieldInLine;
    if (k < 1 || k > Lesson::kMaxLines) return nullptr;
    return screen.lineHandles(static_cast<int>(k)).textField;
}

std::vector<ui::Button*> LessonPresenter::wordButtons(LessonViewController& screen) const {
    std::vector<ui::Button*> buttons;
    auto* field = answerField(screen);
    if (!field || !field->inputAccessoryView()) return buttons;
    for (const auto& sub : field->inputAccessoryView()->subviews())
        collectButtons(*sub, buttons);
    return buttons;
}

int LessonPresenter::drawCode(term::Canvas& canvas, term::Area area, int y, LessonViewController& screen) {
    term::Style numberStyle = term::Style::fg(LessonViewController::lineNumberGrey);
    auto* field = answerField(screen);
    std::vector<int> lines; // the code lines shown, answer line among them
    int answerIndex = 0;
    for (int k = 1; k <= Lesson::kMaxLines; ++k) {
        const auto handles = screen.lineHandles(k);
        if (!shown(handles.view)) continue;
        if (handles.textField && handles.textField == field) answerIndex = static_cast<int>(lines.size());
        lines.push_back(k);
    }
    // A terminal too short for all of the code shows a window of it that holds the answer line, with one
    // line after it where there is one, and marks on the side that more lies above or below.
    const int count = static_cast<int>(lines.size());
    const int room = std::max(1, area.y + area.height - y - kRowsBelowCode);
    const int rows = std::min(count, room);
    const int first = std::min(answerIndex, std::clamp(answerIndex + 2 - rows, 0, count - rows));
    const int markX = area.x + area.width - 2;
    for (int i = first; i < first + rows; ++i) {
        const auto handles = screen.lineHandles(lines[static_cast<std::size_t>(i)]);
        int x = area.x + 1;
        if (handles.numberLabel) {
            std::string number = handles.numberLabel->text();
            canvas.text(x + std::max(0, 2 - term::columnsOfText(number)), y, number, numberStyle);
        }
        x += 4;
        int right = area.x + area.width - 4;
        if (handles.text1Label && shown(handles.text1Label)) {
            x += drawLabel(canvas, x, y, right - x, 1, *handles.text1Label) > 0
                     ? term::columnsOfText(handles.text1Label->text())
                     : 0;
        }
        if (handles.textField && shown(handles.textField)) {
            if (screen.lesson.get() != fieldLesson_) {
                fieldLesson_ = screen.lesson.get();
                fieldView_.reset();
            }
            x = fieldView_.draw(canvas, x, y, right, *handles.textField, handles.textField == field);
        }
        if (handles.text2Label && shown(handles.text2Label)) {
            drawLabel(canvas, x, y, right - x, 1, *handles.text2Label);
            x += term::columnsOfText(handles.text2Label->text());
        }
        // Marks stand a blank after the line (the field's own blank counts when it ends the line).
        if (shown(handles.checkmarkButton)) {
            canvas.text(std::min(x + 1, area.x + area.width - 3), y, "✓",
                        term::Style::fg(LessonViewController::successGreen).bolded());
        } else if (shown(handles.errorButton)) {
            // The mark blinks by growing: while it is enlarged it takes a cell either side.
            term::Style mark = term::Style::fg(LessonViewController::stuckRed).bolded().reversed();
            int markAt = std::min(x + 1, area.x + area.width - 4);
            if (term::shownScale(*handles.errorButton) > 1.15)
                canvas.text(markAt - 1, y, " ! ", mark);
            else
                canvas.text(markAt, y, "!", mark);
        }
        if (i == first && first > 0) canvas.text(markX, y, "▲", numberStyle);
        if (i == first + rows - 1 && first + rows < count) canvas.text(markX, y, "▼", numberStyle);
        ++y;
    }
    return y;
}

int LessonPresenter::drawButtons(term::Canvas& canvas, term::Area area, int y, LessonViewController& screen) {
    int x = area.x + 2;
    if (shown(screen.runButton)) {
        auto color = screen.runButton->backgroundColor();
        term::Style run = term::Style::fg(ui::Color::white())
                              .withBackground(color.alpha > 0 ? color : term::palette::focus);
        x +=
            canvas.text(x, y, " ▶ " + buttonTitle(*screen.runButton, "RUN") + " (Ctrl-R) ", run.bolded()) + 2;
    }
    if (shown(screen.nextButtonView)) {
        term::Style next =
            term::Style::fg(ui::Color::white()).withBackground(LessonViewController::successGreen);
        canvas.text(x, y, " " + buttonTitle(*screen.nextButtonView, "NEXT") + " › (Ctrl-N) ", next.bolded());
    }
    y += 2;
    if (shown(screen.helpBarView)) {
        x = area.x + 2;
        const double alpha = term::shownAlpha(screen.helpBarView);
        if (shown(screen.stuckButton)) {
            x += canvas.text(x, y, buttonTitle(*screen.stuckButton, "Stuck?") + " (Ctrl-E)",
                             term::faded(term::Style::fg(LessonViewController::stuckRed).bolded(), alpha,
                                         term::palette::background)) +
                 3;
        }
        if (shown(screen.helpVideoButton)) {
            canvas.text(x, y, buttonTitle(*screen.helpVideoButton, "Video") + " (Ctrl-V)",
                        term::faded(term::Style::fg(LessonViewController::successGreen).bolded(), alpha,
                                    term::palette::background));
        }
        y += 2;
    }
    return y;
}

namespace {

// The lines of the labels given, one after the other, `width` columns wide.
std::vector<StyledLine> panelLines(std::initializer_list<const ui::Label*> labels, int width) {
    std::vector<StyledLine> lines;
    for (const auto* label : labels) {
        if (!label) continue;
        auto more = layOutLabel(*label, width);
        lines.insert(lines.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
    }
    return lines;
}

} // namespace

void LessonPresenter::drawPanelText(term::Canvas& canvas, int x, int y, int width, int rows,
                                    const std::function<std::vector<StyledLine>(int)>& layOut,
                                    PanelWindow& window, ui::Color panel) {
    // Laid out at the full width first; text that does not fit gives up two columns to the scroll marks.
    auto lines = layOut(width);
    if (static_cast<int>(lines.size()) > rows) lines = layOut(width - 2);
    window.total = static_cast<int>(lines.size());
    window.visible = std::max(0, rows);
    window.first = std::clamp(window.first, 0, std::max(0, window.total - window.visible));
    drawStyledLines(canvas, x, y, lines, window.first, window.visible, panel);
    if (!window.overflows() || rows <= 0) return;
    term::Style mark = term::Style::fg(term::palette::text).withBackground(panel).bolded();
    term::Style track = term::Style::fg(term::palette::muted).withBackground(panel);
    for (int r = 0; r < rows; ++r)
        canvas.text(x + width - 1, y + r, "│", track);
    if (window.first > 0) canvas.text(x + width - 1, y, "▲", mark);
    if (window.first + window.visible < window.total) canvas.text(x + width - 1, y + rows - 1, "▼", mark);
}

int LessonPresenter::drawPanels(term::Canvas& canvas, term::Area area, int y, LessonViewController& screen) {
    const int areaEnd = area.y + area.height;
    const int textX = area.x + 3;
    const int textWidth = area.width - 6;
    // The output panel slides up into place while it fades in: drawn lower by the rows it still has to
    // travel, its grey blended toward the background.
    if (!shown(screen.answerView) || screen.lesson.get() != outputLesson_) {
        output_ = PanelWindow{};
        outputLesson_ = screen.lesson.get();
    }
    if (shown(screen.answerView)) {
        double below = term::shownCenter(*screen.answerView).y - screen.answerView->center().y;
        const int slide = std::max(0, static_cast<int>(below / ui::kLineHeight + 0.5));
        // It reaches down to the word bar (and the blank above it) when that is up, else to the bottom.
        const int bottom =
            areaEnd -
            (wordButtons(screen).empty() || !answerField(screen) || !answerField(screen)->isEditing() ? 0
                                                                                                      : 2);
        const double alpha = term::shownAlpha(screen.answerView);
        const auto behind = term::palette::background;
        auto panel = term::faded(term::Style{}.withBackground(LessonViewController::panelGrey), alpha, behind)
                         .background.value_or(LessonViewController::panelGrey);
        const bool debugger = shown(screen.debugView);
        auto layOut = [&](int width) {
            if (debugger)
                return panelLines({screen.debugMessageLabel && shown(screen.debugMessageLabel)
                                       ? screen.debugMessageLabel
                                       : nullptr,
                                   screen.debugSuccessMessageLabel && shown(screen.debugSuccessMessageLabel)
                                       ? screen.debugSuccessMessageLabel
                                       : nullptr},
                                  width);
            return panelLines({screen.successMessageLabel && shown(screen.successMessageLabel)
                                   ? screen.successMessageLabel
                                   : nullptr},
                              width);
        };
        // As tall as its text (every printed line): below the buttons where there is room, else rising
        // over the code above; what the whole screen cannot hold scrolls.
        const int wanted = 1 + std::max(1, static_cast<int>(layOut(textWidth).size()));
        const int height = std::min(wanted, bottom - (area.y + 1));
        const int top = std::min(y, bottom - height) + slide;
        const int rows = std::min(height, bottom - top);
        if (rows >= 1 && height >= 2) {
            canvas.fill(area.x + 1, top, area.width - 2, rows, term::Style{}.withBackground(panel));
            canvas.text(
                area.x + 2, top, "Output",
                term::faded(term::Style::fg(term::palette::muted), alpha, behind).withBackground(panel));
            // Text comes in once the panel is half there; blended text on a blended panel only smears.
            if (alpha >= 0.5)
                drawPanelText(canvas, textX, top + 1, textWidth, height - 1, layOut, output_, panel);
            y = top + height + 1;
        }
    }
    if (!shown(screen.helpView)) hint_ = PanelWindow{};
    if (shown(screen.helpView)) {
        // The hint panel rises from the bottom as far as its text needs, over the screen beneath, as on
        // the phone; a hint taller than the screen scrolls.
        auto panel = LessonViewController::panelGrey;
        auto layOut = [&](int width) {
            return panelLines({screen.helpViewTitleLabel, screen.helpViewMessageLabel}, width);
        };
        const int wanted = static_cast<int>(layOut(textWidth).size()) + 2;
        const int top = std::max(area.y + 1, areaEnd - wanted);
        canvas.fill(area.x + 1, top, area.width - 2, areaEnd - top, term::Style{}.withBackground(panel));
        drawPanelText(canvas, textX, top + 1, textWidth, areaEnd - top - 2, layOut, hint_, panel);
        if (shown(screen.helpViewOKButton)) {
            canvas.text(
                area.x + area.width - 12, areaEnd - 1, " OK (Esc) ",
                term::Style::fg(ui::Color::white()).withBackground(LessonViewController::successGreen));
        }
    }
    return y;
}

void LessonPresenter::drawWordBar(term::Canvas& canvas, term::Area area, LessonViewController& screen) {
    auto buttons = wordButtons(screen);
    auto* field = answerField(screen);
    if (buttons.empty() || !field || !field->isEditing()) return;
    int y = area.y + area.height - 1;
    canvas.fill(area.x, y, area.width, 1, term::Style{}.withBackground(term::palette::focus));
    int x = area.x + 1;
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        term::Style s = term::Style::fg(ui::Color::white()).withBackground(term::palette::focus);
        if (wordFocus_ && *wordFocus_ == i) s = s.reversed();
        x += canvas.text(x, y, " " + buttonTitle(*buttons[i], "?") + " ", s) + 1;
    }
}

void LessonPresenter::draw(term::Canvas& canvas, term::Area area) {
    auto screen = screen_.lock();
    if (!screen || !screen->lesson) return;
    canvas.setCaret(std::nullopt);
    int y = area.y + 1;
    if (screen->instructionsLabel) {
        y += drawLabel(canvas, area.x + 2, y, area.width - 4, std::max(1, area.height / 3),
                       *screen->instructionsLabel);
    }
    y += 1;
    y = drawCode(canvas, area, y, *screen);
    y = drawButtons(canvas, area, y + 1, *screen);
    drawPanels(canvas, area, y, *screen);
    drawWordBar(canvas, area, *screen);
}

LessonPresenter::PanelWindow* LessonPresenter::scrollingPanel() {
    auto screen = screen_.lock();
    if (!screen) return nullptr;
    PanelWindow* window = shown(screen->helpView) ? &hint_ : shown(screen->answerView) ? &output_ : nullptr;
    return window && window->overflows() ? window : nullptr;
}

bool LessonPresenter::scroll(const term::Key& key) {
    using Kind = term::Key::Kind;
    PanelWindow* window = scrollingPanel();
    if (!window) return false;
    const int page = std::max(1, window->visible - 1);
    int step = 0;
    if (key.is(Kind::up)) step = -1;
    if (key.is(Kind::down)) step = 1;
    if (key.is(Kind::pageUp)) step = -page;
    if (key.is(Kind::pageDown)) step = page;
    window->first = std::clamp(window->first + step, 0, window->total - window->visible);
    return true;
}

ui::TextField* LessonPresenter::editedField() {
    auto screen = screen_.lock();
    auto* field = screen ? answerField(*screen) : nullptr;
    if (field && !field->isEditing()) field->becomeFirstResponder();
    return field && field->isEditing() ? field : nullptr;
}

bool LessonPresenter::edit(const term::Key& key) {
    using Kind = term::Key::Kind;
    auto* field = editedField();
    if (!field) return false;
    if (key.is(Kind::text)) return field->typeText(key.text);
    if (key.is(Kind::backspace)) return field->deleteBackward();
    if (key.is(Kind::deleteKey)) return field->deleteForward();
    if (key.is(Kind::enter)) return field->pressReturn();
    auto caret = field->selectedRange().value_or(ui::Range{field->length(), 0}).location;
    if (key.is(Kind::left) && caret > 0) --caret;
    if (key.is(Kind::right) && caret < field->length()) ++caret;
    if (key.is(Kind::home)) caret = 0;
    if (key.is(Kind::end)) caret = field->length();
    field->setSelectedRange(ui::Range{caret, 0});
    return true;
}

bool LessonPresenter::moveWordFocus(const term::Key& key) {
    auto screen = screen_.lock();
    if (!screen || !editedField()) return false;
    auto buttons = wordButtons(*screen);
    if (buttons.empty()) return false;
    const bool forward = key.is(term::Key::Kind::tab);
    const std::size_t n = buttons.size();
    if (!wordFocus_)
        wordFocus_ = forward ? 0 : n - 1;
    else
        wordFocus_ = forward ? (*wordFocus_ + 1) % n : (*wordFocus_ + n - 1) % n;
    return true;
}

bool LessonPresenter::typeFocusedWord() {
    auto screen = screen_.lock();
    if (!screen || !wordFocus_) return false;
    auto buttons = wordButtons(*screen);
    if (*wordFocus_ < buttons.size()) return buttons[*wordFocus_]->tap();
    wordFocus_.reset();
    return true;
}

ui::Button* LessonPresenter::answerLineButton(bool checkmark) const {
    auto screen = screen_.lock();
    if (!screen || !screen->lesson) return nullptr;
    const auto k = screen->lesson->textFieldInLine;
    if (k < 1 || k > Lesson::kMaxLines) return nullptr;
    const auto handles = screen->lineHandles(static_cast<int>(k));
    return checkmark ? handles.checkmarkButton : handles.errorButton;
}

void LessonPresenter::declareKeys() {
    using term::Key;
    using Kind = Key::Kind;
    // A button of the screen as the key presses it: taken only while it is shown.
    auto shownButton = [this](ui::Button* LessonViewController::*button) {
        return [this, button] {
            auto screen = screen_.lock();
            return screen && shown((*screen).*button);
        };
    };
    auto tap = [this](ui::Button* LessonViewController::*button) {
        return [this, button](const Key&) {
            auto screen = screen_.lock();
            return screen && (*screen).*button && ((*screen).*button)->tap();
        };
    };
    auto hasField = [this] {
        auto screen = screen_.lock();
        return screen && answerField(*screen);
    };
    auto hintShown = [this] {
        auto screen = screen_.lock();
        return screen && shown(screen->helpView);
    };
    auto words = [this] {
        auto screen = screen_.lock();
        return screen && !wordButtons(*screen).empty();
    };
    auto inWords = [this] { return wordFocus_.has_value(); };
    auto scrolls = [this] { return scrollingPanel() != nullptr; };
    auto doScroll = [this](const Key& key) { return scroll(key); };
    auto doEdit = [this](const Key& key) { return edit(key); };

    // In the order the key line shows them; where two take one key, the first enabled one has it.
    keys_ = term::KeyTable({
        {{Key::named(Kind::escape)},
         "close hint",
         9,
         [this](const Key&) {
             auto screen = screen_.lock();
             if (!screen || !screen->helpViewOKButton) return false;
             screen->helpViewOKButton->sendActions();
             return true;
         },
         hintShown},
        {{Key::named(Kind::tab), Key::named(Kind::backTab)},
         "choose word",
         9,
         [this](const Key& key) { return moveWordFocus(key); },
         inWords},
        {{Key::named(Kind::enter)}, "type it", 9, [this](const Key&) { return typeFocusedWord(); }, inWords},
        {{Key::named(Kind::escape)},
         "leave words",
         9,
         [this](const Key&) {
             wordFocus_.reset();
             return true;
         },
         inWords},
        {{Key::named(Kind::up), Key::named(Kind::down)},
         "scroll hint",
         8,
         doScroll,
         [=] { return hintShown() && scrolls(); }},
        {{Key::named(Kind::up), Key::named(Kind::down)},
         "scroll output",
         8,
         doScroll,
         [=] { return !hintShown() && scrolls(); }},
        {{Key::named(Kind::pageUp), Key::named(Kind::pageDown)}, "", 0, doScroll, scrolls},
        {{Key::typed("a")},
         "answer",
         4,
         doEdit,
         hasField,
         [](const Key& key) { return key.is(Kind::text) && !key.text.empty(); },
         "type"},
        {{Key::named(Kind::enter)}, "done", 2, doEdit, hasField},
        {{Key::ctrl('r')}, "run", 6, tap(&LessonViewController::runButton)},
        {{Key::ctrl('n')}, "next", 6, tap(&LessonViewController::nextButtonView)},
        {{Key::ctrl('e')},
         "hint",
         8,
         [this](const Key&) {
             auto screen = screen_.lock();
             if (!screen) return false;
             if (auto* error = answerLineButton(false); shown(error) && error->tap()) return true;
             return shown(screen->stuckButton) && screen->stuckButton->tap();
         },
         [this] {
             auto screen = screen_.lock();
             return screen && (shown(answerLineButton(false)) || shown(screen->stuckButton));
         }},
        {{Key::ctrl('v')},
         "video",
         8,
         tap(&LessonViewController::helpVideoButton),
         shownButton(&LessonViewController::helpVideoButton)},
        {{Key::ctrl('o')},
         "output",
         8,
         [this](const Key&) { return answerLineButton(true)->tap(); },
         [this] { return shown(answerLineButton(true)); }},
        {{Key::named(Kind::tab), Key::named(Kind::backTab)},
         "words",
         5,
         [this](const Key& key) { return moveWordFocus(key); },
         [=] { return !inWords() && words() && hasField(); }},
        {{Key::named(Kind::backspace), Key::named(Kind::deleteKey), Key::named(Kind::left),
          Key::named(Kind::right), Key::named(Kind::home), Key::named(Kind::end)},
         "",
         0,
         doEdit,
         hasField},
    });
}
