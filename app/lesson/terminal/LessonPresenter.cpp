#include "app/lesson/terminal/LessonPresenter.hpp"

#include "app/lesson/terminal/LessonRows.hpp"
#include "app/lesson/terminal/StyledText.hpp"
#include "platform/foundation/Text.hpp"
#include "platform/terminal/Presentation.hpp"
#include "platform/uikit/TextMeasure.hpp"

#include <algorithm>

namespace {

// The answer field keeps at least this many columns, its box included, beside long code before it.
constexpr int kFieldMinColumns = 12;
// Below this width the code starts a column nearer its number and runs up to the marks, so that the
// answer line still holds the mark of the code before the field, a box of one character and the mark of
// the code after it.
constexpr int kCompactCodeWidth = 14;

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

// One item of a row of buttons: its text naming its key, and its text without.
struct RowItem {
    std::string text;
    std::string shortText;
    term::Style style;
};

// Draws `items` from x on row y, `gap` columns apart, naming their keys when the row has room for all of
// that, else without; the items that still do not fit before `right` are left out, never cut.
void drawRowItems(term::Canvas& canvas, int x, int y, int right, const std::vector<RowItem>& items, int gap) {
    int wide = -gap;
    for (const auto& item : items)
        wide += term::columnsOfText(item.text) + gap;
    const bool named = x + wide <= right;
    for (const auto& item : items) {
        const std::string& text = named ? item.text : item.shortText;
        const int columns = term::columnsOfText(text);
        if (x + columns > right) break;
        x += canvas.text(x, y, text, item.style) + gap;
    }
}

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

// Full rows in the screen's background first, so that nothing beneath shows at a panel's sides.
void fillPanel(term::Canvas& canvas, term::Area area, int top, int rows, ui::Color panel) {
    canvas.fill(area.x, top, area.width, rows, term::Style{}.withBackground(term::palette::background));
    canvas.fill(area.x + 1, top, area.width - 2, rows, term::Style{}.withBackground(panel));
}

} // namespace

LessonPresenter::LessonPresenter(std::shared_ptr<LessonViewController> screen) : screen_(screen) {
    declareKeys();
}

LessonPresenter::LessonState* LessonPresenter::state() {
    auto screen = screen_.lock();
    if (!screen || !screen->lesson) return nullptr;
    // Another lesson starts from nothing: no word chosen, nothing scrolled.
    if (state_.lesson != screen->lesson) state_ = LessonState{screen->lesson};
    return &state_;
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

LessonPresenter::CodeLines LessonPresenter::codeLines(LessonViewController& screen) const {
    CodeLines code;
    auto* field = answerField(screen);
    for (int k = 1; k <= Lesson::kMaxLines; ++k) {
        const auto handles = screen.lineHandles(k);
        if (!shown(handles.view)) continue;
        if (handles.textField && handles.textField == field)
            code.answerIndex = static_cast<int>(code.numbers.size());
        code.numbers.push_back(k);
    }
    return code;
}

std::optional<int> LessonPresenter::drawCode(term::Canvas& canvas, term::Area area, int y, int rows,
                                             LessonViewController& screen, const CodeLines& code,
                                             LessonState& lesson) {
    const int count = static_cast<int>(code.numbers.size());
    rows = std::min(rows, count);
    if (rows <= 0) return std::nullopt;
    // A window of the code that holds the answer line, with one line after it where there is one, and
    // marks on the side where more lies above or below.
    const int first = std::min(code.answerIndex, std::clamp(code.answerIndex + 2 - rows, 0, count - rows));
    const term::Style markStyle = term::Style::fg(LessonViewController::lineNumberGrey);
    const term::TextWindow window{first, count, rows};
    auto* field = answerField(screen);
    std::optional<int> answerRow;
    for (int i = first; i < first + rows; ++i, ++y) {
        const auto handles = screen.lineHandles(code.numbers[static_cast<std::size_t>(i)]);
        const bool answer = handles.textField && handles.textField == field;
        if (answer) answerRow = y;
        drawCodeLine(canvas, area, y, handles, answer, lesson);
        const std::string mark = term::scrollMark(window, i - first);
        canvas.text(area.x + area.width - 1 - term::columnsOfText(mark), y, mark, markStyle);
    }
    return answerRow;
}

int LessonPresenter::drawCodeLine(term::Canvas& canvas, term::Area area, int y,
                                  const LessonViewController::LineHandles& handles, bool answer,
                                  LessonState& lesson) {
    const bool compact = area.width < kCompactCodeWidth;
    int x = area.x + 1;
    if (handles.numberLabel) {
        std::string number = handles.numberLabel->text();
        canvas.text(x + std::max(0, 2 - term::columnsOfText(number)), y, number,
                    term::Style::fg(LessonViewController::lineNumberGrey));
    }
    x += compact ? 3 : 4;
    const int right = area.x + area.width - (compact ? 3 : 4);
    ui::TextField* field = handles.textField && shown(handles.textField) ? handles.textField : nullptr;
    auto code = [](const ui::Label* label) {
        return label && shown(label) && !label->text().empty() ? label : nullptr;
    };
    const ui::Label* before = code(handles.text1Label);
    const ui::Label* after = code(handles.text2Label);
    // However narrow, code that is there shows at least its mark: the code after the field keeps a
    // column for it, which the field leaves free.
    const int afterMark = field && after ? 1 : 0;
    if (before) {
        int room = right - x - afterMark;
        if (field) {
            // The field keeps room to show what is typed in it: the code before it gives way first.
            const std::string& inField = field->text().empty() ? field->placeholder() : field->text();
            room -= std::min(kFieldMinColumns, 2 + std::max(1, term::columnsOfText(inField)));
        }
        x += drawLabelInOneRow(canvas, x, y, std::max(1, room), *before);
    }
    if (field) x = lesson.field.draw(canvas, x, y, right - afterMark, *field, answer);
    if (after) x += drawLabelInOneRow(canvas, x, y, std::max(afterMark, right - x), *after);
    // Marks stand a blank after the line (the field's own blank counts when it ends the line), never
    // over it.
    const int lastMark = area.x + area.width - 3;
    if (shown(handles.checkmarkButton)) {
        canvas.text(std::max(x, std::min(x + 1, lastMark)), y, "✓",
                    term::Style::fg(LessonViewController::successGreen).bolded());
    } else if (shown(handles.errorButton)) {
        // The mark blinks by growing: while it is enlarged it takes a cell either side.
        term::Style mark = term::Style::fg(LessonViewController::stuckRed).bolded().reversed();
        const int markAt = std::max(x, std::min(x + 1, lastMark - 1));
        if (term::shownScale(*handles.errorButton) > 1.15)
            canvas.text(std::max(x, markAt - 1), y, " ! ", mark);
        else
            canvas.text(markAt, y, "!", mark);
    }
    return x;
}

void LessonPresenter::drawButtons(term::Canvas& canvas, term::Area area, int y,
                                  LessonViewController& screen) {
    std::vector<RowItem> items;
    if (shown(screen.runButton)) {
        auto color = screen.runButton->backgroundColor();
        term::Style run = term::Style::fg(ui::Color::white())
                              .withBackground(color.alpha > 0 ? color : term::palette::focus)
                              .bolded();
        const std::string title = buttonTitle(*screen.runButton, "RUN");
        items.push_back({" ▶ " + title + " (Ctrl-R) ", " ▶ " + title + " ", run});
    }
    if (shown(screen.nextButtonView)) {
        term::Style next =
            term::Style::fg(ui::Color::white()).withBackground(LessonViewController::successGreen).bolded();
        const std::string title = buttonTitle(*screen.nextButtonView, "NEXT");
        items.push_back({" " + title + " › (Ctrl-N) ", " " + title + " › ", next});
    }
    drawRowItems(canvas, area.x + 2, y, area.x + area.width - 1, items, 2);
}

void LessonPresenter::drawHelpBar(term::Canvas& canvas, term::Area area, int y,
                                  LessonViewController& screen) {
    const double alpha = term::shownAlpha(screen.helpBarView);
    auto style = [alpha](ui::Color color) {
        return term::faded(term::Style::fg(color).bolded(), alpha, term::palette::background);
    };
    std::vector<RowItem> items;
    if (shown(screen.stuckButton)) {
        const std::string title = buttonTitle(*screen.stuckButton, "Stuck?");
        items.push_back({title + " (Ctrl-E)", title, style(LessonViewController::stuckRed)});
    }
    if (shown(screen.helpVideoButton)) {
        const std::string title = buttonTitle(*screen.helpVideoButton, "Video");
        items.push_back({title + " (Ctrl-V)", title, style(LessonViewController::successGreen)});
    }
    drawRowItems(canvas, area.x + 2, y, area.x + area.width - 1, items, 3);
}

void LessonPresenter::drawScrollingText(term::Canvas& canvas, int x, int y, int width, int rows,
                                        const std::function<std::vector<StyledLine>(int)>& layOut,
                                        TextWindow& window, ui::Color background) {
    // Laid out at the full width first; text that does not fit gives up two columns to the scroll marks.
    auto lines = layOut(width);
    if (static_cast<int>(lines.size()) > rows) lines = layOut(width - 2);
    window.fit(static_cast<int>(lines.size()), rows);
    drawStyledLines(canvas, x, y, lines, window.first, window.visible, background);
    if (!window.overflows()) return;
    term::Style mark = term::Style::fg(term::palette::text).withBackground(background).bolded();
    term::Style track = term::Style::fg(term::palette::muted).withBackground(background);
    for (int r = 0; r < rows; ++r) {
        const std::string side = term::scrollMark(window, r);
        canvas.text(x + width - 1, y + r, "│", track);
        canvas.text(x + width - term::columnsOfText(side), y + r, side, mark);
    }
}

int LessonPresenter::drawPanels(term::Canvas& canvas, term::Area area, int y, LessonViewController& screen,
                                LessonState& lesson) {
    const int areaEnd = area.y + area.height;
    const int textX = area.x + 3;
    const int textWidth = area.width - 6;
    int panelsTop = areaEnd;
    // Each showing of a panel starts at the top of its text.
    if (!shown(screen.answerView)) lesson.output = TextWindow{};
    if (!shown(screen.helpView)) lesson.hint = TextWindow{};
    // The output panel slides up into place while it fades in: drawn lower by the rows it still has to
    // travel, its grey blended toward the background.
    if (shown(screen.answerView)) {
        double below = term::shownCenter(*screen.answerView).y - screen.answerView->center().y;
        const int slide = std::max(0, static_cast<int>(below / ui::kLineHeight + 0.5));
        // It reaches down to the word bar (and the blank above it) when that is up, else to the bottom.
        auto* field = answerField(screen);
        const int bottom = areaEnd - (wordButtons(screen).empty() || !field || !field->isEditing() ? 0 : 2);
        const double alpha = term::shownAlpha(screen.answerView);
        const auto behind = term::palette::background;
        auto panel = term::faded(term::Style{}.withBackground(LessonViewController::panelGrey), alpha, behind)
                         .background.value_or(LessonViewController::panelGrey);
        const bool debugger = shown(screen.debugView);
        auto shownLabel = [](ui::Label* label) { return label && shown(label) ? label : nullptr; };
        auto layOut = [&](int width) {
            if (debugger)
                return panelLines(
                    {shownLabel(screen.debugMessageLabel), shownLabel(screen.debugSuccessMessageLabel)},
                    width);
            return panelLines({shownLabel(screen.successMessageLabel)}, width);
        };
        // As tall as its text (every printed line): below the buttons where there is room, else rising
        // over the code above; what the whole screen cannot hold scrolls.
        const int wanted = 1 + std::max(1, static_cast<int>(layOut(textWidth).size()));
        const int height = std::min(wanted, bottom - (area.y + 1));
        const int top = std::min(y, bottom - height) + slide;
        const int rows = std::min(height, bottom - top);
        if (rows >= 1 && height >= 2) {
            fillPanel(canvas, area, top, rows, panel);
            canvas.text(
                area.x + 2, top, "Output",
                term::faded(term::Style::fg(term::palette::muted), alpha, behind).withBackground(panel));
            // Text comes in once the panel is half there; blended text on a blended panel only smears.
            if (alpha >= 0.5)
                drawScrollingText(canvas, textX, top + 1, textWidth, height - 1, layOut, lesson.output,
                                  panel);
            panelsTop = std::min(panelsTop, top);
        }
    }
    if (shown(screen.helpView)) {
        // The hint panel rises from the bottom as far as its text needs, over the screen beneath, as on
        // the phone; a hint taller than the screen scrolls.
        auto panel = LessonViewController::panelGrey;
        auto layOut = [&](int width) {
            return panelLines({screen.helpViewTitleLabel, screen.helpViewMessageLabel}, width);
        };
        const int wanted = static_cast<int>(layOut(textWidth).size()) + 2;
        const int top = std::max(area.y + 1, areaEnd - wanted);
        fillPanel(canvas, area, top, areaEnd - top, panel);
        drawScrollingText(canvas, textX, top + 1, textWidth, areaEnd - top - 2, layOut, lesson.hint, panel);
        if (shown(screen.helpViewOKButton)) {
            canvas.text(
                area.x + area.width - 12, areaEnd - 1, " OK (Esc) ",
                term::Style::fg(ui::Color::white()).withBackground(LessonViewController::successGreen));
        }
        panelsTop = std::min(panelsTop, top);
    }
    return panelsTop;
}

void LessonPresenter::drawWordBar(term::Canvas& canvas, term::Area area, LessonViewController& screen,
                                  LessonState& lesson) {
    auto buttons = wordButtons(screen);
    auto* field = answerField(screen);
    if (buttons.empty() || !field || !field->isEditing() || area.height <= 0) return;
    const int y = area.y + area.height - 1;
    const term::Style bar = term::Style::fg(ui::Color::white()).withBackground(term::palette::focus);
    canvas.fill(area.x, y, area.width, 1, bar);
    std::vector<std::string> words;
    int total = -1;
    for (auto* button : buttons) {
        words.push_back(" " + buttonTitle(*button, "?") + " ");
        total += term::columnsOfText(words.back()) + 1;
    }
    // Words run from the second column; when they do not all fit, the last column is kept for "›" and the
    // first for "‹", and the row starts late enough to show the chosen word.
    const bool overflows = 1 + total > area.width - 1;
    const int start = area.x + 1;
    const int end = area.x + area.width - (overflows ? 1 : 0);
    const std::size_t focus = std::min(lesson.wordFocus.value_or(0), words.size() - 1);
    std::size_t first = 0;
    auto spanTo = [&](std::size_t from, std::size_t to) {
        int columns = -1;
        for (std::size_t i = from; i <= to; ++i)
            columns += term::columnsOfText(words[i]) + 1;
        return columns;
    };
    while (first < focus && start + spanTo(first, focus) > end)
        ++first;
    int x = start;
    std::size_t i = first;
    for (; i < words.size() && x + term::columnsOfText(words[i]) <= end; ++i) {
        term::Style word = lesson.wordFocus && *lesson.wordFocus == i ? bar.reversed() : bar;
        x += canvas.text(x, y, words[i], word) + 1;
    }
    if (first > 0) canvas.text(area.x, y, "‹", bar);
    if (i < words.size()) canvas.text(area.x + area.width - 1, y, "›", bar);
}

void LessonPresenter::draw(term::Canvas& canvas, term::Area area) {
    auto screen = screen_.lock();
    LessonState* lesson = state();
    if (!screen || !lesson) return;
    canvas.setCaret(std::nullopt);

    const int textWidth = area.width - 4;
    auto layOutInstruction = [&](int width) {
        return screen->instructionsLabel ? layOutLabel(*screen->instructionsLabel, width)
                                         : std::vector<StyledLine>{};
    };
    const CodeLines code = codeLines(*screen);
    const int codeCount = static_cast<int>(code.numbers.size());
    const bool words = !wordButtons(*screen).empty();
    int instructionLines = static_cast<int>(layOutInstruction(textWidth).size());
    LessonRows rows = shareLessonRows(area.height, instructionLines, codeCount, words);
    if (rows.instruction < instructionLines) {
        // It scrolls, giving up two columns to its marks: laid out again at that width.
        instructionLines = static_cast<int>(layOutInstruction(textWidth - 2).size());
        rows = shareLessonRows(area.height, instructionLines, codeCount, words);
    }

    int y = area.y + rows.topBlank;
    const int instructionTop = y;
    drawScrollingText(canvas, area.x + 2, y, textWidth, rows.instruction, layOutInstruction,
                      lesson->instruction, term::palette::background);
    y += rows.instruction + rows.blankAboveCode;
    const auto answerRow = drawCode(canvas, area, y, rows.code, *screen, code, *lesson);
    y += rows.code + rows.blankBelowCode;
    int below = y;
    if (rows.buttons > 0) {
        drawButtons(canvas, area, y, *screen);
        below = y + 2;
    }
    if (rows.helpBar > 0 && shown(screen->helpBarView)) {
        drawHelpBar(canvas, area, y + 2, *screen);
        below = y + 4;
    }
    const int panelsTop = drawPanels(canvas, area, below, *screen, *lesson);
    lesson->instructionCovered = panelsTop < instructionTop + rows.instruction;
    // A panel over the answer line hides its caret.
    if (answerRow && *answerRow >= panelsTop) canvas.setCaret(std::nullopt);
    drawWordBar(canvas, area, *screen, *lesson);
}

// --- Conditions --------------------------------------------------------------------------------------

bool LessonPresenter::hasField() {
    auto screen = screen_.lock();
    return screen && answerField(*screen);
}

bool LessonPresenter::hintShown() {
    auto screen = screen_.lock();
    return screen && shown(screen->helpView);
}

bool LessonPresenter::wordsOffered() {
    auto screen = screen_.lock();
    return screen && answerField(*screen) && !wordButtons(*screen).empty();
}

bool LessonPresenter::inWords() {
    auto* lesson = state();
    return lesson && lesson->wordFocus.has_value();
}

bool LessonPresenter::canShowHint() {
    auto screen = screen_.lock();
    return screen && (shown(answerLineButton(false)) || shown(screen->stuckButton));
}

bool LessonPresenter::canShowOutput() {
    return shown(answerLineButton(true));
}

bool LessonPresenter::canPlayVideo() {
    auto screen = screen_.lock();
    return screen && shown(screen->helpVideoButton);
}

LessonPresenter::Scrolling LessonPresenter::scrolling() {
    auto screen = screen_.lock();
    auto* lesson = state();
    if (!screen || !lesson) return Scrolling::none;
    // The open panel has the keys; the hint's even when it fits, since it covers the screen beneath.
    if (shown(screen->helpView)) return lesson->hint.overflows() ? Scrolling::hint : Scrolling::none;
    if (shown(screen->answerView) && lesson->output.overflows()) return Scrolling::output;
    if (lesson->instruction.overflows() && !lesson->instructionCovered) return Scrolling::instruction;
    return Scrolling::none;
}

LessonPresenter::TextWindow* LessonPresenter::scrollingWindow() {
    auto* lesson = state();
    switch (scrolling()) {
    case Scrolling::hint:
        return &lesson->hint;
    case Scrolling::output:
        return &lesson->output;
    case Scrolling::instruction:
        return &lesson->instruction;
    case Scrolling::none:
        break;
    }
    return nullptr;
}

// --- Actions -----------------------------------------------------------------------------------------

bool LessonPresenter::closeHint(const term::Key&) {
    auto screen = screen_.lock();
    if (!screen || !screen->helpViewOKButton) return false;
    screen->helpViewOKButton->sendActions();
    return true;
}

bool LessonPresenter::moveWordFocus(const term::Key& key) {
    auto screen = screen_.lock();
    auto* lesson = state();
    if (!screen || !lesson || !editedField()) return false;
    auto buttons = wordButtons(*screen);
    if (buttons.empty()) return false;
    const bool forward = key.is(term::Key::Kind::tab);
    const std::size_t n = buttons.size();
    auto& focus = lesson->wordFocus;
    if (!focus)
        focus = forward ? 0 : n - 1;
    else
        focus = forward ? (*focus + 1) % n : (*focus + n - 1) % n;
    return true;
}

bool LessonPresenter::typeFocusedWord(const term::Key&) {
    auto screen = screen_.lock();
    auto* lesson = state();
    if (!screen || !lesson || !lesson->wordFocus) return false;
    auto buttons = wordButtons(*screen);
    if (*lesson->wordFocus < buttons.size()) return buttons[*lesson->wordFocus]->tap();
    lesson->wordFocus.reset();
    return true;
}

bool LessonPresenter::leaveWords(const term::Key&) {
    auto* lesson = state();
    if (!lesson) return false;
    lesson->wordFocus.reset();
    return true;
}

bool LessonPresenter::scroll(const term::Key& key) {
    TextWindow* window = scrollingWindow();
    return window && window->scroll(key);
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

bool LessonPresenter::run(const term::Key&) {
    auto screen = screen_.lock();
    return screen && screen->runButton && screen->runButton->tap();
}

bool LessonPresenter::next(const term::Key&) {
    auto screen = screen_.lock();
    return screen && screen->nextButtonView && screen->nextButtonView->tap();
}

bool LessonPresenter::showHint(const term::Key&) {
    auto screen = screen_.lock();
    if (!screen) return false;
    if (auto* error = answerLineButton(false); shown(error) && error->tap()) return true;
    return shown(screen->stuckButton) && screen->stuckButton->tap();
}

bool LessonPresenter::playVideo(const term::Key&) {
    auto screen = screen_.lock();
    return screen && screen->helpVideoButton && screen->helpVideoButton->tap();
}

bool LessonPresenter::showOutput(const term::Key&) {
    auto* checkmark = answerLineButton(true);
    return checkmark && checkmark->tap();
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
    auto act = [this](bool (LessonPresenter::*action)(const Key&)) {
        return [this, action](const Key& key) { return (this->*action)(key); };
    };
    auto when = [this](bool (LessonPresenter::*condition)()) {
        return [this, condition] { return (this->*condition)(); };
    };
    auto scrolls = [this](Scrolling what) { return [this, what] { return scrolling() == what; }; };
    const std::vector<Key> upDown = {Key::named(Kind::up), Key::named(Kind::down)};
    const std::vector<Key> tabs = {Key::named(Kind::tab), Key::named(Kind::backTab)};
    auto typing = [](const Key& key) { return key.is(Kind::text) && !key.text.empty(); };

    // In the order the key line shows them; where two take one key, the first enabled one has it.
    // Typing is the screen's main key; while the hint or the word bar has the keys, its own key that
    // answers it ranks above.
    const int answers = term::kMainKeyWeight;
    keys_ = term::KeyTable({
        {{Key::named(Kind::escape)},
         "close hint",
         answers + 1,
         act(&LessonPresenter::closeHint),
         when(&LessonPresenter::hintShown)},
        {tabs, "choose word", 9, act(&LessonPresenter::moveWordFocus), when(&LessonPresenter::inWords)},
        {{Key::named(Kind::enter)},
         "type it",
         answers + 1,
         act(&LessonPresenter::typeFocusedWord),
         when(&LessonPresenter::inWords)},
        {{Key::named(Kind::escape)},
         "leave words",
         9,
         act(&LessonPresenter::leaveWords),
         when(&LessonPresenter::inWords)},
        // Short, to stand beside typing and the way out in 40 columns; ▲ and ▼ show which text moves.
        {upDown, "scroll", 8, act(&LessonPresenter::scroll), scrolls(Scrolling::hint)},
        {upDown, "scroll", 8, act(&LessonPresenter::scroll), scrolls(Scrolling::output)},
        {upDown, "scroll", 8, act(&LessonPresenter::scroll), scrolls(Scrolling::instruction)},
        {{Key::named(Kind::pageUp), Key::named(Kind::pageDown)},
         "",
         0,
         act(&LessonPresenter::scroll),
         [this] { return scrolling() != Scrolling::none; }},
        {{Key::typed("a")},
         "answer",
         answers,
         act(&LessonPresenter::edit),
         [this] { return hasField() && !inWords(); },
         typing,
         "type"},
        {{Key::named(Kind::enter)}, "done", 2, act(&LessonPresenter::edit), when(&LessonPresenter::hasField)},
        {{Key::ctrl('r')}, "run", 6, act(&LessonPresenter::run)},
        {{Key::ctrl('n')}, "next", 5, act(&LessonPresenter::next)},
        {{Key::ctrl('e')}, "hint", 8, act(&LessonPresenter::showHint), when(&LessonPresenter::canShowHint)},
        {{Key::ctrl('v')},
         "video",
         8,
         act(&LessonPresenter::playVideo),
         when(&LessonPresenter::canPlayVideo)},
        {{Key::ctrl('o')},
         "output",
         8,
         act(&LessonPresenter::showOutput),
         when(&LessonPresenter::canShowOutput)},
        // Shift-Tab is named once the bar has the keys.
        {tabs,
         "words",
         5,
         act(&LessonPresenter::moveWordFocus),
         [this] { return !inWords() && wordsOffered(); },
         {},
         "Tab"},
        // While the word bar has the keys, the line names its keys; typing still goes to the field.
        {{Key::typed("a")}, "", 0, act(&LessonPresenter::edit), when(&LessonPresenter::hasField), typing},
        {{Key::named(Kind::backspace), Key::named(Kind::deleteKey), Key::named(Kind::left),
          Key::named(Kind::right), Key::named(Kind::home), Key::named(Kind::end)},
         "",
         0,
         act(&LessonPresenter::edit),
         when(&LessonPresenter::hasField)},
    });
}
