// The cost of one keystroke in the answer field: the screen works out the text the field will hold,
// normalises it, rebuilds userAnswer and compares it with every accepted answer. Measured on answers
// as long as the course's longest, in the three forms the check knows (plain, quoted, dynamic), for the
// keystroke that completes the answer and for one that makes it wrong.
#include "app/lesson/LessonViewController.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/foundation/Sandbox.hpp"
#include "platform/services/FakeBackendClient.hpp"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <unistd.h>

namespace {

struct Form {
    const char* name;
    std::string answer;
    std::vector<std::string> moreAccepted;
    bool dynamic = false;
    std::string typed; // what the learner has typed (the answer itself, or free text for a dynamic one)
};

std::vector<std::string> spellings(const std::string& answer, int count) {
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i)
        out.push_back(answer.substr(0, answer.size() / 2) +
                      std::string(static_cast<std::size_t>(i % 3), ' ') + answer.substr(answer.size() / 2) +
                      std::to_string(i));
    return out;
}

const Form kForms[] = {
    {"plain", "let evens = numbers.filter { $0 % 2 == 0 }.map { $0 * 10 }.reduce(0, +)",
     spellings("let evens = numbers.filter { $0 % 2 == 0 }.map { $0 * 10 }.reduce(0, +)", 12), false,
     "let evens = numbers.filter { $0 % 2 == 0 }.map { $0 * 10 }.reduce(0, +)"},
    {"quoted", "let greeting = \"Hello there, \" + \"welcome to the world of Swift programming\"",
     spellings("let greeting = \"Hello there, \" + \"welcome to the world of Swift programming\"", 12), false,
     "let greeting = \"Hello there, \" + \"welcome to the world of Swift programming\""},
    // The same plain answer with one accented letter: every helper leaves its ASCII fast path.
    {"plain-nonascii", "let \u00e9vens = numbers.filter { $0 % 2 == 0 }.map { $0 * 10 }.reduce(0, +)",
     spellings("let \u00e9vens = numbers.filter { $0 % 2 == 0 }.map { $0 * 10 }.reduce(0, +)", 12), false,
     "let \u00e9vens = numbers.filter { $0 % 2 == 0 }.map { $0 * 10 }.reduce(0, +)"},
    {"dynamic",
     "let favouriteQuote = \"\"",
     {"let favouriteQuote=\"\""},
     true,
     "let favouriteQuote = \"Simplicity is prerequisite for reliability, said someone wise\""},
};

class Screen {
  public:
    explicit Screen(const Form& form) {
        auto lesson =
            Lesson::initWith1Line("BENCH", 1, "t", "i", "", form.answer, "", 1, 1, {{"Stuck?", "1."}});
        for (const auto& a : form.moreAccepted)
            lesson->acceptedAnswers.push_back(a);
        if (form.dynamic) {
            lesson->dynamicAnswer = true;
            lesson->dynamicQuoteComponents = 3;
            lesson->dynamicSpaceComponents = 4;
        }
        auto chapter = Chapter::make("BENCH", 1);
        chapter->lessons.push_back(lesson);
        report_ = ProgressReport::make();
        // Already completed: a right keystroke does not write the record each time.
        report_->lessons = std::vector<std::string>{"BENCH"};
        report_->showErrorIndicator = true;
        screen_ = std::make_shared<LessonViewController>();
        screen_->lesson = lesson;
        screen_->chapter = chapter;
        screen_->lessons = 1;
        screen_->progressReport = report_;
        screen_->loadViewIfNeeded();
        field_ = screen_->textFields.front();
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
    svc::setSharedBackendClient(std::make_shared<svc::FakeBackendClient>());
    Screen s(form);
    const std::string before = form.typed.substr(0, form.typed.size() - 1);
    const std::string last = completes ? form.typed.substr(form.typed.size() - 1) : "#";
    s.field().setText(before);
    const ui::Range at{before.size(), 0};
    for (auto _ : state) {
        s.screen().fieldTextChanged(s.field(), at, last);
        benchmark::DoNotOptimize(s.screen().lesson->userAnswer.data());
    }
    if (s.screen().answerIsCorrect != completes)
        state.SkipWithError("the keystroke did not give the expected verdict");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(form.typed.size()));
    ns::setConsoleSink(previous);
    svc::setSharedBackendClient(nullptr);
}

void registerAll() {
    for (const auto& form : kForms) {
        benchmark::RegisterBenchmark((std::string("keystroke/") + form.name + "/completes").c_str(),
                                     [&form](benchmark::State& st) { keystroke(st, form, true); });
        benchmark::RegisterBenchmark((std::string("keystroke/") + form.name + "/incomplete").c_str(),
                                     [&form](benchmark::State& st) { keystroke(st, form, false); });
    }
}

} // namespace

int main(int argc, char** argv) {
    const auto home = std::filesystem::temp_directory_path() / ("velo-bench-" + std::to_string(::getpid()));
    ns::Sandbox::setHome(home);
    registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    ns::Sandbox::reset();
    std::filesystem::remove_all(home);
    return 0;
}
