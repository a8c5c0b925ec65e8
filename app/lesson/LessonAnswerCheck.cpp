// The answer check, run on every keystroke: the text the field will hold, its normalised form, the
// lesson's userAnswer, and the look of the answer line.
#include "app/lesson/AnswerRebuild.hpp"
#include "app/lesson/LessonViewController.hpp"
#include "model/StringUtilities.hpp"
#include "platform/foundation/Console.hpp"

bool LessonViewController::shouldChangeCharacters(ui::TextField& field, ui::Range range,
                                                  const std::string& replacement) {
    fieldTextChanged(field, range, replacement);
    // The field applies the edit itself, so it shows exactly what was typed; the check works on the
    // normalised form.
    return true;
}

std::string LessonViewController::proposedFieldText(ui::TextField& field, ui::Range range,
                                                    const std::string& replacement) {
    const std::string& current = field.text();
    // Our field reports ranges in characters, like the text helpers, so the edit always applies
    // correctly; the line still tells that an emoji stands in the field.
    if (containsEmoji(current)) ns::console("emoji found");
    return answer::applyEdit(current, range.location, range.length, replacement);
}

void LessonViewController::fieldTextChanged(ui::TextField& field, ui::Range range,
                                            const std::string& replacement) {
    fieldTextChanged(field, proposedFieldText(field, range, replacement));
}

void LessonViewController::fieldTextChanged(ui::TextField& field, const std::string& proposed) {
    const std::string input = joiningBlankSeparated(proposed);
    if (auto it = textFieldsToWidthMap.find(&field); it != textFieldsToWidthMap.end() && it->second) {
        // As wide as a code line (line 1's view), as high as the field.
        const double boxWidth = line1View ? line1View->frame().width() : field.frame().width();
        const ui::Size size = ui::measure(input, field.font(), ui::Size{boxWidth, field.frame().height()});
        it->second->setConstant(size.width + 10);
    }
    checkAnswer(input);
}

void LessonViewController::checkAnswer(const std::string& input) {
    const std::optional<LineHandles> h = answerLine();
    if (!lesson || !h) return;
    ns::console(input);
    if (input.empty()) {
        ns::console("user has not entered anything");
        h->errorButton->setHidden(true);
        h->checkmarkButton->setHidden(true);
        return;
    }
    if (lesson->dynamicAnswer)
        checkDynamicAnswer(input);
    else
        lesson->userAnswer = answer::staticUserAnswer(*lesson, input);
    ns::console(lesson->userAnswer);

    // Every accepted answer is compared with the same userAnswer: its Unicode facts are worked out once.
    const TextMatcher userAnswer(lesson->userAnswer);
    bool matched = false;
    for (const auto& accepted : lesson->acceptedAnswers) {
        if (!userAnswer.sameAs(accepted)) continue;
        matched = true;
        showSuccess();
    }
    if (matched) return;

    h->checkmarkButton->setHidden(true);
    runButton->setBackgroundColor(ui::Color::black());
    answerView->setHidden(true);
    bool partial = false;
    for (const auto& accepted : lesson->acceptedAnswers) {
        if (!userAnswer.isShorterPrefixOf(accepted)) continue;
        partial = true;
        ns::console("so far so good");
        h->errorButton->setHidden(true);
    }
    if (partial) {
        answerIsCorrect = false;
        return;
    }

    if (progressReport && progressReport->showErrorIndicator.value_or(false)) {
        h->errorButton->setHidden(false);
        if (!errorButtonBlinked) {
            errorButtonBlinked = true;
            // Grow to 1.3 and back, twice, in 0.8 s.
            const std::pair<double, double> steps[] = {{0.0, 1.3}, {0.2, 1.0}, {0.4, 1.3}, {0.6, 1.0}};
            std::weak_ptr<ui::ViewController> weak = weak_from_this();
            for (const auto& [delay, stepScale] : steps)
                ui::animate(0.2, delay, ui::AnimationOptions::none, [weak, scale = stepScale] {
                    if (auto strong = weak.lock())
                        static_cast<LessonViewController&>(*strong).blinkErrorButton(scale);
                });
        }
    }
    answerIsCorrect = false;
}

void LessonViewController::showSuccess() {
    const std::optional<LineHandles> h = answerLine();
    ns::console("success you got the right answer");
    h->checkmarkButton->setHidden(false);
    helpBarView->setHidden(true);
    runButton->setBackgroundColor(successGreen);
    runButtonBottomLayoutConstraint->setConstant(runButtonDown);
    h->errorButton->setHidden(true);
    answerIsCorrect = true;
    appendCompletedLesson();
    taskMoveRunButtonUp.cancel();
}

void LessonViewController::appendCompletedLesson() {
    if (!progressReport || progressReport->hasCompleted(lesson->lessonID)) return;
    if (!progressReport->lessons) progressReport->lessons.emplace();
    progressReport->lessons->push_back(lesson->lessonID.str());
    (void)progressReport->save();
}

void LessonViewController::checkDynamicAnswer(const std::string& input) {
    auto outcome = answer::dynamicUserAnswer(*lesson, input);
    if (outcome.dynamicAnswerString) lesson->dynamicAnswerString = std::move(outcome.dynamicAnswerString);
    if (outcome.printed) ns::console(*outcome.printed);
    if (outcome.userAnswer) lesson->userAnswer = std::move(*outcome.userAnswer);
}

void LessonViewController::blinkErrorButton(double scale) {
    if (const auto h = answerLine()) h->errorButton->setTransformScale(scale);
}
