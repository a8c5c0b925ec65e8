#include "tests/support/LessonScreenFixture.hpp"

#include "model/TargetHelper.hpp"
#include "platform/foundation/Bundle.hpp"
#include "platform/services/DeviceInfo.hpp"
#include "platform/services/ScopedOverride.hpp"

namespace lessontest {
namespace {

class ChapterWalk : public LessonScreen {
  protected:
    void SetUp() override {
        LessonScreen::SetUp();
        ns::Bundle::setMainBundlePath(std::string(VELO_SOURCE_DIR) + "/app/bundles/Cpp");
        walk = Chapter::make("TRUE OR FALSE", 2);
        walk->lessons = {boolLesson("CH2L1", 1), boolLesson("CH2L2", 2), boolLesson("CH2L3", 7)};
    }
    void TearDown() override {
        ns::Bundle::setMainBundlePath({});
        LessonScreen::TearDown();
    }
    Chapter::Ptr walk;
};

TEST_F(ChapterWalk, NextWalksTheChapterAndAsksForARating) {
    auto& s = open(walk);
    EXPECT_EQ(s.progressBarButtonItem->title(), "1/3");
    enter("var isAwesome = true");
    EXPECT_TRUE(s.answerIsCorrect);
    s.nextButtonView->tap();
    EXPECT_EQ(s.lesson, walk->lessons[1]);
    EXPECT_EQ(s.progressBarButtonItem->title(), "2/3");
    EXPECT_FALSE(s.answerIsCorrect);
    for (auto* f : s.textFields)
        EXPECT_EQ(f->text(), "");
    EXPECT_TRUE(checkmark().isHidden());
    s.nextButtonPressed();
    EXPECT_EQ(s.progressBarButtonItem->title(), "7/3"); // the lesson's own number

    s.nextButtonPressed();
    auto alert = ui::AlertController::lastPresented();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "Please Rate Us");
    EXPECT_EQ(
        alert->message(),
        "Please take a minute to leave an honest review of our app in the App Store.  \n\n PS: Getting users "
        "to rate apps is incredibly helpful for small developers so thank you for making a difference!");
    ASSERT_EQ(alert->actions().size(), 2u);
    EXPECT_TRUE(alert->pickAction("Go rate app >"));
    const std::string version = TargetHelper::shared().appVersion();
    EXPECT_EQ(report->appRated->back(), version);
    EXPECT_EQ(report->lessons->back(), "CH2L3");
    EXPECT_EQ(ui::Application::shared().openedURLs(),
              std::vector<std::string>{TargetHelper::shared().reviewURL(1)});
    EXPECT_EQ(navigation->topViewController(), screen); // the screen stays
    auto stored = ProgressReport::load();
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->appRated, report->appRated);

    // Same version: the congratulation, and Ok goes back to the list.
    s.nextButtonPressed();
    alert = ui::AlertController::lastPresented();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "You did it!");
    EXPECT_EQ(alert->message(), "Congrats! You have reached the end of this course.");
    EXPECT_TRUE(alert->pickAction("Ok"));
    EXPECT_NE(navigation->topViewController(), screen);
}

TEST_F(ChapterWalk, LaterRecordsNothing) {
    report->appRated.reset(); // absent counts as empty
    auto& s = open(walk, 2);
    s.nextButtonPressed();
    auto alert = ui::AlertController::lastPresented();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "Please Rate Us");
    const auto before = report->lessons;
    EXPECT_TRUE(alert->pickAction("Later"));
    EXPECT_EQ(report->lessons, before);
    EXPECT_FALSE(report->appRated);
    EXPECT_NE(navigation->topViewController(), screen);
    EXPECT_TRUE(ui::Application::shared().openedURLs().empty());
}

TEST_F(ChapterWalk, LessonNotInItsChapterGoesNowhere) {
    auto& s = open(walk);
    s.lesson = boolLesson("stray", 9);
    s.nextButtonPressed();
    EXPECT_EQ(s.lesson->lessonID, "stray");
    EXPECT_FALSE(ui::AlertController::lastPresented());
}

TEST_F(LessonScreen, LayoutShowsTheLessonsLines) {
    auto chapter = Chapter::make("C", 1);
    auto three = boolLesson("A", 1);
    auto six = Lesson::initWith8Lines("B", 2, "t", "i", "a", "b", "c", "d", "e", "f", "g", "h", "x", "", 6, 4,
                                      hint());
    six->line4Text1 = "";
    six->line4Text2 = ")";
    chapter->lessons = {three, six};
    auto& s = open(chapter);

    ASSERT_EQ(s.lineNumberViews.size(), 11u);
    for (auto* v : s.lineNumberViews)
        EXPECT_EQ(v->backgroundColor(), ui::Color::black());
    for (std::size_t p = 0; p < 10; ++p)
        EXPECT_EQ(s.lineViews[p]->isHidden(), p >= 3) << p;
    EXPECT_EQ(s.line2TextFieldLeadingConstraint->constant(), 0); // the field starts line 2
    EXPECT_NE(s.line3TextFieldLeadingConstraint->constant(), 0); // line 3 has no field at its start
    EXPECT_EQ(s.line3Text1Label->text(), "print(isAwesome)");
    EXPECT_FALSE(field().isHidden());
    EXPECT_EQ(field().placeholder(), "Tap to enter answer");
    EXPECT_EQ(field().backgroundColor(), LessonViewController::panelGrey);
    EXPECT_EQ(s.navigationItem().titleViewImageName(), "logo");
    EXPECT_EQ(audio->requestedCategories(), std::vector<std::string>{"AVAudioSessionCategoryAmbient"});
    EXPECT_TRUE(console.contains(s.modelName));

    const double line9Gap = s.line9TextFieldLeadingConstraint->constant();
    enter("var");
    s.nextButtonPressed();
    for (std::size_t p = 0; p < 10; ++p)
        EXPECT_EQ(s.lineViews[p]->isHidden(), p >= 6) << p;
    EXPECT_TRUE(s.textFields[1]->isHidden());
    EXPECT_FALSE(s.textFields[3]->isHidden());
    EXPECT_EQ(s.textFields[1]->text(), "");
    EXPECT_EQ(s.line4Text2Label->text(), ")");
    EXPECT_EQ(s.line2Text2Label->text(), "");  // no leftover of the previous lesson
    EXPECT_EQ(s.line8Text1Label->text(), "h"); // kept, though not shown
    EXPECT_EQ(s.line9Text1Label->text(), "");  // absent: empty, and the gap keeps its value
    EXPECT_EQ(s.line9TextFieldLeadingConstraint->constant(), line9Gap);
    EXPECT_EQ(s.line4TextFieldLeadingConstraint->constant(), 0);
    // Line 2 now has code before its field, yet nothing puts its gap back.
    EXPECT_EQ(s.line2TextFieldLeadingConstraint->constant(), 0);
    EXPECT_TRUE(s.answerView->isHidden());
    EXPECT_TRUE(s.helpView->isHidden());
}

TEST_F(LessonScreen, AudioCategoryFailureIsPrintedAndSetUpGoesOn) {
    audio->setFailure(ns::Error::make(svc::audioSessionErrorDomain, 1, "no audio"));
    auto& s = open(boolLesson());
    EXPECT_TRUE(console.contains(ns::Error::make(svc::audioSessionErrorDomain, 1, "no audio").description()));
    EXPECT_EQ(s.textFieldsToWidthMap.size(), 10u);
}

TEST_F(LessonScreen, InitialState) {
    svc::ScopedOverride machine(svc::setDeviceMachineIdentifierOverride, "iPhone6,1");
    LessonViewController s;
    EXPECT_FALSE(s.answerIsCorrect);
    EXPECT_FALSE(s.kbHeight);
    EXPECT_EQ(s.modelName, "iPhone 5S");
    EXPECT_FALSE(s.errorButtonBlinked);
    EXPECT_EQ(s.activeTextField, 0);
    EXPECT_FALSE(s.lessonInputAccessoryViews);
    EXPECT_TRUE(s.textFields.empty());
    s.taskMoveRunButtonUp.perform();
    EXPECT_TRUE(console.contains("update task"));
}

} // namespace
} // namespace lessontest
