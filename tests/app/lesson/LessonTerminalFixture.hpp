#pragma once
// The lesson screen as the terminal draws it, on a memory canvas: lessons of the real Swift course opened
// as the lesson list opens them, keys through the front end, and helpers to read what the screen shows.
#include "app/lesson/terminal/LessonPresenters.hpp"
#include "content/Courses.hpp"
#include "platform/terminal/FrontEnd.hpp"
#include "platform/terminal/MemoryCanvas.hpp"
#include "tests/support/LessonScreenFixture.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace lessontest {

using term::Key;

class LessonTerminal : public LessonScreen {
  protected:
    std::vector<Chapter::Ptr> chapters = content::buildChapters(content::swiftCourse());
    term::FrontEnd frontEnd{[this](const std::shared_ptr<ui::ViewController>& screen) {
        return makeLessonPresenter(screen, frontEnd);
    }};
    term::MemoryCanvas canvas{100, 30};

    void settle() { dispatch::main().drain(); }
    std::shared_ptr<LessonViewController> top() {
        return navigation
                   ? std::dynamic_pointer_cast<LessonViewController>(navigation->visibleViewController())
                   : nullptr;
    }
    std::string draw() {
        settle();
        frontEnd.draw(canvas);
        return canvas.screen();
    }
    void press(const Key& key) {
        frontEnd.handleKey(key);
        settle();
    }
    // Lets `seconds` pass on the screen's clock and draws what it then shows.
    std::string drawAfter(double seconds) {
        dispatch::main().advance(seconds);
        return draw();
    }
    // Types `text` key by key through the front end.
    void typeKeys(std::string_view text) {
        for (char c : text)
            press(Key::typed(std::string(1, c)));
    }
    // Opens lesson `row` of chapter `chapter` (both counted from 0) as the lesson list does.
    std::shared_ptr<LessonViewController> openLesson(int chapter, int row) {
        open(chapters.at(static_cast<std::size_t>(chapter)), static_cast<std::size_t>(row));
        frontEnd.layout(canvas.width(), canvas.height());
        settle();
        return top();
    }
    // The row (from 0) of the first lesson of chapter 1 that comes with keyboard words.
    int rowWithWords() {
        const auto& lessons = chapters[0]->lessons;
        auto at = std::find_if(lessons.begin(), lessons.end(), [](const Lesson::Ptr& l) {
            return l->inputAccessoryViewTextValues && !l->inputAccessoryViewTextValues->empty();
        });
        return at == lessons.end() ? -1 : static_cast<int>(at - lessons.begin());
    }
    // Opens the lesson with `id`.
    std::shared_ptr<LessonViewController> openLesson(const std::string& id) {
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

} // namespace lessontest
