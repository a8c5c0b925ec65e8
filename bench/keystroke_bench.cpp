// The cost of one keystroke in the answer field: the screen works out the text the field will hold,
// normalises it, rebuilds userAnswer and compares it with every accepted answer. Measured on the
// course's own lessons: the longest plain, quoted and dynamic answers of every course, and the lesson
// with the most accepted answers; each for the keystroke that completes the answer and for one that
// makes it wrong. One more form types an accented letter, which takes every text helper off its ASCII
// fast path. Every figure is printed beside its goal at the end, and two families of answers of growing
// length show the cost growing linearly with the answer.
#include "app/lesson/LessonViewController.hpp"
#include "bench/AnchorReport.hpp"
#include "content/Courses.hpp"
#include "model/StringUtilities.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/foundation/Sandbox.hpp"
#include "platform/services/FakeBackendClient.hpp"
#include "platform/services/ScopedOverride.hpp"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace {

struct Form {
    std::string name;
    Lesson::Ptr lesson;
    std::string typed; // the whole text the learner types, its last character last
};

// What a learner would type for a dynamic answer: free text of their own between its empty quotes.
std::string withFreeText(std::string_view answer) {
    const auto at = answer.rfind("\"\"");
    if (at == std::string_view::npos) return std::string(answer);
    return std::string(answer.substr(0, at + 1)) + "Simplicity is prerequisite for reliability" +
           std::string(answer.substr(at + 1));
}

bool quoted(const Lesson& lesson) {
    return lesson.answer.find('"') != std::string::npos;
}

// The longest answer of each kind over all courses, and the lesson with the most accepted answers.
std::vector<Form> courseForms() {
    Lesson::Ptr plain, withQuotes, dynamic, mostAccepted;
    auto longer = [](const Lesson::Ptr& candidate, const Lesson::Ptr& best) {
        return !best || candidate->answer.size() > best->answer.size();
    };
    for (const auto* course : {&content::swiftCourse(), &content::cppCourse(), &content::swiftUICourse()})
        for (const auto& chapter : content::buildChapters(*course))
            for (const auto& lesson : chapter->lessons) {
                Lesson::Ptr& slot = lesson->dynamicAnswer ? dynamic : quoted(*lesson) ? withQuotes : plain;
                if (longer(lesson, slot)) slot = lesson;
                if (!mostAccepted || lesson->acceptedAnswers.size() > mostAccepted->acceptedAnswers.size())
                    mostAccepted = lesson;
            }
    std::vector<Form> forms;
    auto add = [&](std::string name, const Lesson::Ptr& lesson) {
        if (!lesson) return;
        const std::string typed = lesson->dynamicAnswer ? withFreeText(lesson->answer) : lesson->answer.str();
        forms.push_back({std::move(name) + "/" + lesson->lessonID, lesson, typed});
    };
    add("plain", plain);
    add("quoted", withQuotes);
    add("dynamic", dynamic);
    add("most-accepted", mostAccepted);
    if (plain) {
        // The longest plain answer with its first letter accented, in the lesson and in what is typed.
        auto accented = std::make_shared<Lesson>(*plain);
        std::string answer = accented->answer.str();
        const auto letter = answer.find_first_of("aeiou");
        if (letter != std::string::npos) {
            answer.replace(letter, 1, "\u00e9");
            accented->answer = answer;
            accented->acceptedAnswers = {accented->answer};
            forms.push_back({"plain-accented/" + plain->lessonID, accented, answer});
        }
    }
    return forms;
}

class Screen {
  public:
    explicit Screen(Lesson::Ptr lesson) {
        auto chapter = Chapter::make("BENCH", 1);
        chapter->lessons.push_back(lesson);
        report_ = ProgressReport::make();
        // Already completed: a right keystroke does not write the record each time.
        report_->lessons = std::vector<std::string>{lesson->lessonID.str()};
        report_->showErrorIndicator = true;
        screen_ = std::make_shared<LessonViewController>();
        screen_->lesson = lesson;
        screen_->chapter = chapter;
        screen_->lessons = 1;
        screen_->progressReport = report_;
        screen_->loadViewIfNeeded();
        field_ = screen_->textFields.at(static_cast<std::size_t>(lesson->textFieldInLine - 1));
    }
    LessonViewController& screen() { return *screen_; }
    ui::TextField& field() { return *field_; }

  private:
    ProgressReport::Ptr report_;
    LessonViewController::Ptr screen_;
    ui::TextField* field_ = nullptr;
};

// The field holds all but the last character; the keystroke adds the last one, or a wrong one.
void keystroke(benchmark::State& state, const Form& form, bool completes) {
    auto previous = ns::setConsoleSink([](std::string_view) {});
    svc::ScopedOverride backend(svc::setSharedBackendClient, std::make_shared<svc::FakeBackendClient>());
    Screen s(form.lesson);
    const std::string before = droppingLastCharacter(form.typed);
    const std::string last = completes ? form.typed.substr(before.size()) : "#";
    s.field().setText(before);
    const ui::Range at{characterCount(before), 0}; // fields count characters, not bytes
    for (auto _ : state) {
        s.screen().fieldTextChanged(s.field(), at, last);
        benchmark::DoNotOptimize(s.screen().lesson->userAnswer.data());
    }
    if (s.screen().answerIsCorrect != completes)
        state.SkipWithError("the keystroke did not give the expected verdict");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(form.typed.size()));
    state.counters["accepted"] = static_cast<double>(form.lesson->acceptedAnswers.size());
    ns::setConsoleSink(previous);
}

// An answer of about `length` bytes, plain or with an accented letter in every word, for the cost's
// growth with the answer's length.
Form answerOfLength(std::size_t length, bool accented) {
    const std::string word = accented ? "caf\u00e9 + " : "cafe + ";
    std::string answer;
    while (answer.size() + word.size() < length)
        answer += word;
    answer += "x";
    auto lesson = Lesson::initWith1Line("LENGTH", 1, "Length", "", "", answer, "", 1, 1, {{"Stuck?", ""}});
    return {"length", lesson, answer};
}

void keystrokeByLength(benchmark::State& state, bool accented) {
    const Form form = answerOfLength(static_cast<std::size_t>(state.range(0)), accented);
    keystroke(state, form, false);
    state.SetComplexityN(state.range(0));
}

} // namespace

int main(int argc, char** argv) {
    const auto home = std::filesystem::temp_directory_path() / ("velo-bench-" + std::to_string(::getpid()));
    ns::Sandbox::setHome(home);
    // Building the courses prints nothing we want between the benchmark's lines.
    auto previous = ns::setConsoleSink([](std::string_view) {});
    const std::vector<Form> forms = courseForms();
    ns::setConsoleSink(previous);
    if (forms.empty()) std::cerr << "no course lessons to measure\n";
    // Each course form is held against its goal: 1 us a keystroke, 3 us where the input is accented.
    std::vector<velobench::Comparison> goals;
    for (const auto& form : forms) {
        const double goal = form.name.starts_with("plain-accented") ? 3e3 : 1e3;
        for (const bool completes : {true, false}) {
            const std::string name = "keystroke/" + form.name + (completes ? "/completes" : "/incomplete");
            benchmark::RegisterBenchmark(
                name.c_str(), [&form, completes](benchmark::State& st) { keystroke(st, form, completes); });
            goals.push_back({name, {}, goal});
        }
    }
    // The cost per byte of answer stays the same from short answers to long ones: fitted as O(N).
    for (const bool accented : {false, true})
        benchmark::RegisterBenchmark(accented ? "keystroke/length/accented" : "keystroke/length/plain",
                                     [accented](benchmark::State& st) { keystrokeByLength(st, accented); })
            ->RangeMultiplier(4)
            ->Range(16, 1024)
            ->Complexity(benchmark::oN);
    const int status = velobench::runBesideAnchors(argc, argv, std::move(goals));
    ns::Sandbox::reset();
    std::filesystem::remove_all(home);
    return status;
}
