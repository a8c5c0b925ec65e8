// Code colouring: the lesson's own rules painted onto the screen's labels, redone from scratch every
// time the texts change so that no label keeps colours of an earlier text.
#include "app/lesson/AttributedText.hpp"
#include "app/lesson/LessonViewController.hpp"
#include "platform/foundation/Console.hpp"

#include <array>

namespace {

constexpr std::size_t kSections = static_cast<std::size_t>(CustomStringSection::error) + 1;

void paint(ui::Label* label, const std::vector<ColorPair>& rules) {
    if (label) label->setAttributedText(attributedText(label->text(), rules));
}

} // namespace

void LessonViewController::colorLessonText() {
    if (!lesson) return;
    std::array<std::vector<ColorPair>, kSections> bySection;
    for (const auto& rule : lesson->customStrings()) {
        if (rule.customStringSection == CustomStringSection::label) {
            ns::console("nothing found");
            continue;
        }
        const auto index = static_cast<std::size_t>(rule.customStringSection);
        if (index < kSections) bySection[index].emplace_back(rule.rangeOfString, rule.color);
    }
    auto rules = [&](CustomStringSection section) -> const std::vector<ColorPair>& {
        return bySection[static_cast<std::size_t>(section)];
    };

    paint(instructionsLabel, rules(CustomStringSection::instruction));
    for (int k = 1; k <= Lesson::kMaxLines; ++k) {
        const LineHandles h = lineHandles(k);
        paint(h.text1Label, rules(lineSection(k)));
        paint(h.text2Label, rules(lineSection(k)));
    }
    paint(debugSuccessMessageLabel, rules(CustomStringSection::success));
    paint(successMessageLabel, rules(CustomStringSection::success));

    if (ui::TextField* field = answerField()) {
        ui::AttributedString placeholder(field->placeholder());
        placeholder.addForegroundColor(lesson->textFieldFormatting.placeholderColor,
                                       ui::Range{0, field->placeholder().size()});
        field->setAttributedPlaceholder(std::move(placeholder));
        field->setTextColor(lesson->textFieldFormatting.inputColor);
    }
}

void LessonViewController::colorHelpView() {
    if (!lesson) return;
    std::vector<ColorPair> errorRules;
    for (const auto& rule : lesson->customStrings()) {
        if (rule.customStringSection == CustomStringSection::error)
            errorRules.emplace_back(rule.rangeOfString, rule.color);
        else
            ns::console("nothing found");
    }
    paint(helpViewTitleLabel, errorRules);
    paint(helpViewMessageLabel, errorRules);
}
