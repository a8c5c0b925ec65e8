// The keyboard: the screen lifts so that the answer line stays above it, comes back down when it goes,
// runs the lesson on close when the learner chose auto-run, and handles Return and background taps.
#include "app/lesson/LessonViewController.hpp"
#include "platform/foundation/Console.hpp"

#include <algorithm>
#include <array>

namespace {

// Lifts by the tag (line) of the active field, 1...10.
constexpr std::array<double, 10> kTallPhoneLift = {0, 0, 0, 0, 0, 40, 80, 120, 160, 160};
constexpr std::array<double, 10> kSmallPhoneLift = {0, 0, 0, 40, 80, 120, 160, 200, 240, 240};
constexpr double kTallPhonePixels = 2436;

bool isSmallPhone(const std::string& model) {
    for (const char* name :
         {"iPhone 4", "iPhone 4S", "iPhone 5", "iPhone 5C", "iPhone 5S", "iPhone SE", "Simulator"})
        if (model == name) return true;
    return false;
}

} // namespace

double LessonViewController::keyboardOffset(int tag, double keyboardHeight) const {
    if (tag < 1 || tag > 10) return keyboardHeight / 3;
    const auto index = static_cast<std::size_t>(tag - 1);
    if (ui::Screen::main().nativeBounds().height() == kTallPhonePixels) return kTallPhoneLift[index];
    if (isSmallPhone(modelName)) return kSmallPhoneLift[index];
    return 0;
}

bool LessonViewController::isOwnKeyboard(const ns::Notification& notification) const {
    // A field of another screen (the search field still editing when this screen came up) gives up the
    // keyboard as one of ours takes it: that is no keyboard of this lesson closing. Notifications that
    // name no field are the keyboard's own.
    return !notification.sender ||
           std::find(textFields.begin(), textFields.end(), notification.sender) != textFields.end();
}

void LessonViewController::keyboardWillShow(const ns::Notification& notification) {
    if (!isOwnKeyboard(notification)) return;
    ns::console(std::to_string(activeTextField));
    auto it = notification.userInfo.find(ui::keyboardFrameBeginUserInfoKey);
    if (it == notification.userInfo.end()) return;
    const auto* frame = std::any_cast<ui::Rect>(&it->second);
    if (!frame) return;
    const double offset = keyboardOffset(activeTextField, frame->height());
    kbHeight = offset;
    // Absolute, not relative: a show that is not followed by a hide cannot push the screen higher.
    ui::View* root = view().get();
    ui::animate(0.3, [root, offset] {
        ui::Rect f = root->frame();
        f.origin.y = -offset;
        root->setFrame(f);
    });
}

void LessonViewController::keyboardWillHide(const ns::Notification& notification) {
    if (!isOwnKeyboard(notification)) return;
    // Resigning the fields below may announce the hide again; one hide is handled once.
    if (handlingKeyboardHide_) return;
    handlingKeyboardHide_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{handlingKeyboardHide_};
    if (kbHeight) {
        ui::View* root = view().get();
        ui::animate(0.3, [root] {
            ui::Rect f = root->frame();
            f.origin.y = 0;
            root->setFrame(f);
        });
    }
    if (!lesson) return;
    if (lesson->inputAccessoryViewTextValues)
        for (auto* field : textFields)
            if (auto bar = field->inputAccessoryView()) bar->setHidden(false);
    const bool autoRun = progressReport && progressReport->autoRun.value_or(false);
    if (!answerIsCorrect) {
        const bool indicator = progressReport && progressReport->showErrorIndicator.value_or(false);
        if (indicator || !autoRun) return;
        resignAllTextFields();
        errorButtonPressed();
        return;
    }
    if (!autoRun) return;
    resignAllTextFields();
    showOutput();
}

bool LessonViewController::shouldBeginEditing(ui::TextField& field) {
    activeTextField = field.tag();
    return true;
}

void LessonViewController::didBeginEditing(ui::TextField&) {
    if (helpBarView) helpBarView->setHidden(true);
}

bool LessonViewController::shouldReturn(ui::TextField& field) {
    closeTextField(field);
    return true;
}

void LessonViewController::closeTextField(ui::TextField& field) {
    if (!answerIsCorrect) {
        helpBarView->setHidden(false);
        if (lesson && lesson->videoTutorial) showVideoHelpBar(0);
    } else {
        ns::console("close text field with right answer");
        helpBarView->setHidden(true);
    }
    field.resignFirstResponder();
}

void LessonViewController::userTappedBackground() {
    if (!isViewLoaded()) return;
    for (const auto& subview : view()->subviews())
        if (auto* field = dynamic_cast<ui::TextField*>(subview.get())) field->resignFirstResponder();
    // Our answer fields sit inside their code lines, not directly on the root view.
    resignAllTextFields();
}
