#include "tests/support/LessonScreenFixture.hpp"

#include "app/lesson/VideoPlayerViewController.hpp"

namespace lessontest {
namespace {

Lesson::Ptr lessonWithHints() {
    auto lesson = boolLesson();
    lesson->errors.push_back({"No var", "Start with var", "var", false});
    lesson->errors.push_back({"Quotes", "No quotes", "var isAwesome = \"", true});
    lesson->errors.push_back({"Untested", "never", "zzz", std::nullopt});
    return lesson;
}

TEST_F(LessonScreen, LastMatchingHintWins) {
    struct Case {
        std::string userAnswer;
        std::string title;
    } cases[] = {
        {"let", "No var"},                                // lacks "var"
        {"var isAwesome = \"", "Quotes"},                 // equals the tested text
        {"var isAwesome = \"x", "Stuck? Break it down!"}, // contains it, which is not enough
        {"zzz", "No var"},                                // an entry without its flag is skipped
    };
    open(lessonWithHints());
    for (const auto& c : cases) {
        screen->lesson->userAnswer = c.userAnswer;
        screen->errorButtonPressed();
        EXPECT_EQ(screen->helpViewTitleLabel->text(), c.title) << c.userAnswer;
        EXPECT_FALSE(screen->helpView->isHidden());
        EXPECT_TRUE(screen->helpBarView->isHidden());
        EXPECT_EQ(screen->runButtonBottomLayoutConstraint->constant(), 8);
    }
}

TEST_F(LessonScreen, EmptyHintListShowsNoHelpView) {
    auto lesson = boolLesson();
    lesson->errors.clear();
    open(lesson);
    screen->errorButtonPressed();
    EXPECT_TRUE(screen->helpView->isHidden());
}

TEST_F(LessonScreen, OkCopiesTheAnswerAndOffersTheVideoWhenReachable) {
    auto lesson = boolLesson();
    open(lesson);
    screen->errorButtonPressed();
    screen->helpViewOKButton->tap();
    EXPECT_TRUE(screen->helpView->isHidden());
    EXPECT_EQ(ui::Pasteboard::general().string(), "var isAwesome = true");
    EXPECT_TRUE(screen->helpBarView->isHidden());
    EXPECT_EQ(screen->runButtonBottomLayoutConstraint->constant(), 8);

    screen->lesson->videoTutorial = "abcdefghijk";
    screen->errorButtonPressed();
    screen->helpViewOKButtonPressed();
    EXPECT_FALSE(screen->helpBarView->isHidden());
    EXPECT_EQ(screen->runButtonBottomLayoutConstraint->constant(), 40);

    reachability->setFlags(svc::reachability::reachable | svc::reachability::connectionRequired);
    screen->errorButtonPressed();
    screen->helpViewOKButtonPressed();
    EXPECT_TRUE(screen->helpBarView->isHidden());
}

TEST_F(LessonScreen, HelpBarFadesInAndRunButtonRisesAfterTenSeconds) {
    open(boolLesson());
    EXPECT_FALSE(screen->helpBarView->isHidden());
    EXPECT_EQ(screen->helpBarView->backgroundColor(), ui::Color::rgb255(253, 95, 96));
    EXPECT_TRUE(screen->helpVideoButton->isHidden());
    EXPECT_FALSE(screen->stuckButton->isHidden());
    const auto fades = ui::AnimationLog::shared().animationsOf(screen->helpBarView, "alpha");
    ASSERT_FALSE(fades.empty());
    EXPECT_DOUBLE_EQ(fades.back()->delay, 10.0);
    EXPECT_EQ(screen->runButtonBottomLayoutConstraint->constant(), 8);
    dispatch::main().advance(9.9);
    EXPECT_EQ(screen->runButtonBottomLayoutConstraint->constant(), 8);
    dispatch::main().advance(0.2);
    EXPECT_EQ(screen->runButtonBottomLayoutConstraint->constant(), 40);
}

TEST_F(LessonScreen, RightAnswerCancelsTheRunButtonMove) {
    open(boolLesson());
    dispatch::main().advance(3);
    enter("var isAwesome = true");
    dispatch::main().advance(20);
    EXPECT_EQ(screen->runButtonBottomLayoutConstraint->constant(), 8);
}

TEST_F(LessonScreen, NextLessonCancelsTheEarlierMove) {
    auto chapter = Chapter::make("C", 1);
    chapter->lessons = {boolLesson("A", 1), boolLesson("B", 2)};
    open(chapter);
    dispatch::main().advance(5);
    screen->nextButtonPressed();
    enter("var isAwesome = true");
    dispatch::main().advance(6);
    EXPECT_EQ(screen->runButtonBottomLayoutConstraint->constant(), 8);
}

TEST_F(LessonScreen, VideoIdComesFromTheBackend) {
    auto chapter = Chapter::make("C", 1);
    chapter->lessons = {boolLesson("A", 1), boolLesson("B", 2), boolLesson("C", 3)};
    open(chapter);
    screen->nextButtonPressed();
    screen->nextButtonPressed();
    auto finds = backend->findRequests();
    ASSERT_EQ(finds.size(), 3u);
    EXPECT_EQ(finds[0].query.className(), "VideoTutorials");
    EXPECT_EQ(finds[0].query.condition()->key, "lessonID");
    EXPECT_EQ(finds[0].query.condition()->equalTo, ns::PropertyList("A"));

    // The answer for A arrives after the learner moved on: it belongs to A.
    svc::BackendObject row("VideoTutorials");
    row.setObject("lessonID", "A");
    row.setObject("videoID", "abcdefghijk");
    backend->completeFind(0, std::vector<svc::BackendObject>{row});
    EXPECT_TRUE(console.contains("Successfully retrieved LessonID"));
    EXPECT_TRUE(console.contains("Video found on Parse.  ID: abcdefghijk"));
    EXPECT_EQ(chapter->lessons[0]->videoTutorial, "abcdefghijk");
    EXPECT_FALSE(screen->lesson->videoTutorial);

    // No row: the lesson id is registered.
    backend->completeFind(1, std::vector<svc::BackendObject>{});
    auto saves = backend->saveRequests();
    ASSERT_EQ(saves.size(), 1u);
    EXPECT_EQ(*saves[0].object.objectForKey("lessonID"), ns::PropertyList("B"));

    backend->completeFind(2, std::nullopt, ns::Error::make("test", 7, "offline"));
    EXPECT_TRUE(
        console.contains("Error: " + ns::Error::make("test", 7, "offline").description() + " offline"));
    EXPECT_FALSE(chapter->lessons[2]->videoTutorial);
}

TEST_F(LessonScreen, OnlyOneRowWithAVideoIdGivesAVideo) {
    svc::BackendObject withVideo("VideoTutorials");
    withVideo.setObject("lessonID", "CH2L1");
    withVideo.setObject("videoID", "abcdefghijk");
    svc::BackendObject withoutVideo("VideoTutorials");
    withoutVideo.setObject("lessonID", "CH2L1");
    svc::BackendObject numericVideo("VideoTutorials");
    numericVideo.setObject("videoID", 42);
    const std::vector<svc::BackendObject> answers[] = {
        {withVideo, withVideo}, // two rows for one lesson
        {withoutVideo},
        {numericVideo},
    };
    for (const auto& rows : answers) {
        open(boolLesson());
        backend->completeFind(backend->findRequests().size() - 1, rows);
        EXPECT_FALSE(lesson().videoTutorial);
        EXPECT_FALSE(console.contains("Video found on Parse.  ID: abcdefghijk"));
    }
    EXPECT_TRUE(backend->saveRequests().empty()); // rows exist: nothing is registered
}

TEST_F(LessonScreen, WithoutNetworkTheVideoLookIsNeverShown) {
    auto lesson = boolLesson();
    lesson->videoTutorial = "abcdefghijk";
    auto& s = open(lesson);
    reachability->fail();
    enter("x");
    field().pressReturn();
    EXPECT_FALSE(s.helpBarView->isHidden()); // unhidden in its stuck look
    EXPECT_EQ(s.helpBarView->backgroundColor(), ui::Color::rgb255(253, 95, 96));
    EXPECT_TRUE(s.helpVideoButton->isHidden());
    s.showVideoHelpBar(0);
    EXPECT_TRUE(s.helpVideoButton->isHidden());
}

TEST_F(LessonScreen, VideoButtonPresentsThePlayer) {
    auto lesson = boolLesson();
    lesson->videoTutorial = "abcdefghijk";
    open(lesson);
    screen->helpVideoButtonPressed();
    EXPECT_TRUE(console.contains("Please play YouTube video in full screen if button is pressed."));
    auto player = std::dynamic_pointer_cast<VideoPlayerViewController>(screen->presentedViewController());
    ASSERT_TRUE(player);
    ASSERT_EQ(video->requestedIdentifiers(), std::vector<std::string>{"abcdefghijk"});
    video->answer(0, svc::StreamURLs{{"36", "http://low"}, {"18", "http://mid"}}, std::nullopt);
    EXPECT_EQ(player->playerURL(), "http://mid");

    screen->dismiss(false);
    screen->helpVideoButtonPressed();
    video->answer(1, svc::StreamURLs{{"5", "http://odd"}}, std::nullopt);
    EXPECT_FALSE(screen->presentedViewController());
}

} // namespace
} // namespace lessontest
