// Next through the chapter, and the two prompts at its end.
#include "app/lesson/LessonViewController.hpp"
#include "model/TargetHelper.hpp"

#include <algorithm>

void LessonViewController::nextButtonPressed() {
    resignAllTextFields();
    if (!lesson || !chapter) return;
    const auto& list = chapter->lessons;
    const auto it = std::find(list.begin(), list.end(), lesson);
    // A lesson that is not in its chapter has no next one and no end to reach.
    if (it == list.end()) return;
    if (std::next(it) != list.end()) {
        lesson = *std::next(it);
        loadLesson();
        return;
    }
    const std::string version = TargetHelper::shared().appVersion();
    const auto* rated = progressReport && progressReport->appRated ? &*progressReport->appRated : nullptr;
    if (rated && std::find(rated->begin(), rated->end(), version) != rated->end())
        showCourseCompletedAlert();
    else
        showRateAlert();
}

void LessonViewController::showRateAlert() {
    auto alert = std::make_shared<ui::AlertController>(
        "Please Rate Us",
        "Please take a minute to leave an honest review of our app in the App Store.  \n\n "
        "PS: Getting users to rate apps is incredibly helpful for small developers so thank you for making a "
        "difference!");
    std::weak_ptr<ui::ViewController> weak = weak_from_this();
    auto call = [weak](void (LessonViewController::*member)()) {
        return [weak, member](const ui::AlertAction&) {
            if (auto strong = weak.lock()) (static_cast<LessonViewController&>(*strong).*member)();
        };
    };
    alert->addAction(
        {"Go rate app >", ui::AlertActionStyle::defaultStyle, call(&LessonViewController::rateApp)});
    alert->addAction({"Later", ui::AlertActionStyle::defaultStyle, call(&LessonViewController::closeLesson)});
    present(alert, true);
}

void LessonViewController::rateApp() {
    auto& helper = TargetHelper::shared();
    if (progressReport && lesson) {
        if (!progressReport->lessons) progressReport->lessons.emplace();
        progressReport->lessons->push_back(lesson->lessonID.str());
        if (!progressReport->appRated) progressReport->appRated.emplace();
        progressReport->appRated->push_back(helper.appVersion());
        (void)progressReport->save();
    }
    ui::Application::shared().openURL(helper.runningEditionReviewURL());
}

void LessonViewController::showCourseCompletedAlert() {
    auto alert = std::make_shared<ui::AlertController>("You did it!",
                                                       "Congrats! You have reached the end of this course.");
    std::weak_ptr<ui::ViewController> weak = weak_from_this();
    alert->addAction({"Ok", ui::AlertActionStyle::defaultStyle, [weak](const ui::AlertAction&) {
                          if (auto strong = weak.lock())
                              static_cast<LessonViewController&>(*strong).closeLesson();
                      }});
    present(alert, true);
}

void LessonViewController::closeLesson() {
    if (auto* navigation = navigationController()) navigation->popViewController(true);
}
