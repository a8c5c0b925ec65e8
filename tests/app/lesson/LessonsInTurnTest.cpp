// Lessons opened one after another, as a learner leafing through a course does: each screen is left
// well before the help bar it started has faded in, and the next screen's views are made where the last
// one's stood. Every view of every lesson must still be drawn.
#include "LessonTerminalFixture.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using lessontest::Key;

class LessonsInTurn : public lessontest::LessonTerminal {
  protected:
    // The lesson list's screen at the root, as the app has it.
    void SetUp() override {
        LessonTerminal::SetUp();
        navigation = std::make_shared<ui::NavigationController>(std::make_shared<ui::ViewController>());
        ui::Application::shared().setRootViewController(navigation);
    }
    // Opens `lesson` over the list as the list does, the screen before it already gone.
    std::shared_ptr<LessonViewController> push(const Chapter::Ptr& chapter, const Lesson::Ptr& lesson) {
        auto lessonScreen = std::make_shared<LessonViewController>();
        lessonScreen->lesson = lesson;
        lessonScreen->chapter = chapter;
        lessonScreen->lessons = static_cast<std::int64_t>(chapter->lessons.size());
        lessonScreen->progressReport = report;
        navigation->pushViewController(lessonScreen, true);
        frontEnd.layout(canvas.width(), canvas.height());
        settle();
        return lessonScreen;
    }
    // `text` with every run of blanks made one blank, at most `columns` characters of it.
    static std::string squeezed(const std::string& text, std::size_t columns = 1000) {
        std::string out;
        for (char c : text) {
            if (c == ' ' || c == '\t') {
                if (!out.empty() && out.back() != ' ') out += ' ';
            } else {
                out += c;
            }
        }
        const auto from = out.find_first_not_of(' ');
        out = from == std::string::npos ? "" : out.substr(from);
        return out.size() > columns ? out.substr(0, columns) : out;
    }
    // The code lines that are not drawn whole at their start: number, the code before the field, and on
    // the answer line the field's placeholder.
    std::vector<std::string> missingCodeLines(const Lesson& lesson) {
        std::vector<std::string> missing;
        for (int k = 1; k <= lesson.lines && k <= Lesson::kMaxLines; ++k) {
            // The number stands right-aligned in the first columns, its code from the sixth on.
            const std::string number = (k < 10 ? "  " : " ") + std::to_string(k);
            std::string code;
            bool found = false;
            for (int y = 0; y < canvas.height() && !found; ++y) {
                const std::string row = canvas.row(y);
                if (row.starts_with(number) &&
                    (row.size() == number.size() || row.compare(3, 2, "  ") == 0)) {
                    found = true;
                    code = squeezed(row.size() > 5 ? row.substr(5) : "");
                }
            }
            std::string start = squeezed(lesson.text1(k) ? lesson.text1(k)->str() : "", 12);
            if (k == lesson.textFieldInLine && start.empty())
                start = squeezed(lesson.textFieldFormatting.placeholderText.str(), 8);
            while (start.ends_with(' '))
                start.pop_back();
            if (!found || !code.starts_with(start))
                missing.push_back(lesson.lessonID.str() + " line " + std::to_string(k) + " (\"" + start +
                                  "\")");
        }
        return missing;
    }
};

TEST_F(LessonsInTurn, EachOpenForUnderASecondShowsItsHintOnRunAndEveryCodeLine) {
    canvas = term::MemoryCanvas(80, 24);
    std::vector<std::string> faults;
    int opened = 0;
    for (const auto* course : {&content::swiftCourse(), &content::cppCourse(), &content::swiftUICourse()}) {
        for (const auto& chapter : content::buildChapters(*course)) {
            for (const auto& lesson : chapter->lessons) {
                if (lesson->errors.empty()) continue; // no hint to show
                auto lessonScreen = push(chapter, lesson);
                ++opened;
                dispatch::main().advance(0.2);
                draw();
                for (auto& fault : missingCodeLines(*lesson))
                    faults.push_back(fault);
                press(Key::typed("~")); // surely wrong
                press(Key::ctrl('r'));  // a wrong answer runs into the hint
                dispatch::main().advance(0.2);
                const std::string title = squeezed(lessonScreen->helpViewTitleLabel->text(), 20);
                if (squeezed(draw()).find(title) == std::string::npos)
                    faults.push_back(lesson->lessonID.str() + " hint not drawn");
                press(Key::named(Key::Kind::escape)); // closes the hint, if the screen knows it is there
                if (top() != lessonScreen) faults.push_back(lesson->lessonID.str() + ": Esc left the lesson");
                press(Key::named(Key::Kind::escape)); // back to the list
                lessonScreen.reset();
                dispatch::main().advance(0.2);
            }
        }
    }
    EXPECT_GT(opened, 500);
    faults.resize(std::min<std::size_t>(faults.size(), 10));
    EXPECT_EQ(faults, std::vector<std::string>{});
}

} // namespace
