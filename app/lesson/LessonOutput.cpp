// Run and the output panel: nothing is compiled; the panel shows the lesson's fixed texts, in plain or
// debugger form.
#include "app/lesson/LessonViewController.hpp"
#include "platform/foundation/Console.hpp"

namespace {

// The answer without the double quotes that open and close it; quotes inside stay.
std::string withoutEnclosingQuotes(const std::string& text) {
    const auto first = text.find_first_not_of('"');
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of('"');
    return text.substr(first, last - first + 1);
}

} // namespace

void LessonViewController::runButtonPressed() {
    resignAllTextFields();
    if (answerIsCorrect)
        showOutput();
    else
        errorButtonPressed();
}

void LessonViewController::checkmarkButtonPressed() {
    ns::console("checkmark button was pressed");
    resignAllTextFields();
    showOutput();
}

void LessonViewController::showOutput() {
    if (!lesson) return;
    const double height = answerView->frame().height();
    const ui::Point home = answerView->center();
    answerView->setCenter(ui::Point{home.x, home.y + height});
    answerView->setAlpha(0);
    ui::View* panel = answerView;
    ui::animate(0.5, 0.4, ui::AnimationOptions::curveEaseOut, [panel, home] {
        panel->setCenter(home);
        panel->setAlpha(1);
    });
    answerView->setHidden(false);
    setOutputTexts();
    if (!lesson->debuggerView) {
        successMessageLabel->setHidden(false);
    } else {
        debugMessageLabel->setHidden(false);
        debugView->setHidden(false);
        debugSuccessMessageLabel->setHidden(false);
    }
}

void LessonViewController::setOutputTexts() {
    Lesson& l = *lesson;
    if (!l.debuggerView) {
        debugView->setHidden(true);
        debugMessageLabel->setHidden(true);
        debugSuccessMessageLabel->setHidden(true);
        successMessageLabel->setText(l.successMessage.str());
        colorLessonText();
        return;
    }

    const bool labels = l.debuggerLabelStart && l.debuggerLabelEnd;
    if (!labels) {
        debugMessageLabel->setText(l.debuggerPrintValue ? l.debuggerPrintValue->str()
                                                        : withoutEnclosingQuotes(l.userAnswer));
    } else if (l.dynamicAnswerString) {
        debugMessageLabel->setText(*l.debuggerLabelStart + *l.dynamicAnswerString + *l.debuggerLabelEnd);
    } else if (!l.debuggerPrintValue) {
        debugMessageLabel->setText(*l.debuggerLabelStart + l.userAnswer + *l.debuggerLabelEnd);
    } else if (!l.answerDebugMessageLabelDictionary) {
        debugMessageLabel->setText(*l.debuggerLabelStart + *l.debuggerPrintValue + *l.debuggerLabelEnd);
    } else {
        l.findAnswerKey();
        if (!l.answerKey) {
            ns::console("ERROR: debug / success message was not setup correctly for this question");
        } else {
            const LessonText* printed = l.answerDebugMessageLabelDictionary->find(*l.answerKey);
            debugMessageLabel->setText(printed ? printed->str() : std::string());
            // Content without a success entry for this key keeps the message it has.
            const LessonText* success = l.answerDebugSuccessMessageDictionary
                                            ? l.answerDebugSuccessMessageDictionary->find(*l.answerKey)
                                            : nullptr;
            if (success)
                l.successMessage =
                    l.successLabelStart.value_or("") + *success + l.successLabelEnd.value_or("");
        }
    }

    debugSuccessMessageLabel->setText(l.successMessage.str());
    successMessageLabel->setHidden(true);
    colorLessonText();
}
