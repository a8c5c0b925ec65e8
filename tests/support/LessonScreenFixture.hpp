#pragma once
// A lesson screen on a navigation stack, with every platform service replaced by its test double, a
// virtual clock, a captured console and a temporary sandbox for the learner record.
#include "app/lesson/LessonViewController.hpp"

#include "platform/dispatch/Clock.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/foundation/Sandbox.hpp"
#include "platform/foundation/Text.hpp"
#include "platform/services/FakeAudioSession.hpp"
#include "platform/services/FakeBackendClient.hpp"
#include "platform/services/FakeNetworkReachability.hpp"
#include "platform/services/FakeVideoStreamClient.hpp"
#include "platform/services/ScopedOverride.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace lessontest {

inline std::vector<ErrorMessage> hint() {
    return {{"Stuck? Break it down!", "1. Type var"}};
}

// "var isAwesome = true" in line 2 of 3, with one more accepted spelling.
inline Lesson::Ptr boolLesson(std::string id = "CH2L1", std::int64_t number = 1) {
    auto lesson =
        Lesson::initWith3Lines(id, number, "Bool", "Make a Boolean called isAwesome.", "// a flag", "",
                               "print(isAwesome)", "var isAwesome = true", "Well done", 3, 2, hint());
    lesson->acceptedAnswers.push_back("var isAwesome=true");
    return lesson;
}

class LessonScreen : public ::testing::Test {
  protected:
    void SetUp() override {
        dispatch::main().removeAll();
        ui::AnimationLog::shared().clear();
        ui::AlertController::clearPresentedAlerts();
        ui::Application::shared().reset();
        ui::Screen::main().reset();
        ui::Pasteboard::general().setString(std::nullopt);
        report = ProgressReport::make();
        report->lessons = std::vector<std::string>{"lessonZero"};
        report->appRated = std::vector<std::string>{"ignore"};
        report->autoRun = false;
        report->sound = true;
        report->showErrorIndicator = true;
    }

    void TearDown() override {
        if (screen && screen->isViewLoaded()) screen->view()->endEditing(true);
        ui::Application::shared().reset();
        navigation.reset();
        screen.reset();
        dispatch::main().removeAll();
    }

    // Opens lesson `index` of `chapter` the way the lesson list does.
    LessonViewController& open(Chapter::Ptr chapter, std::size_t index = 0) {
        this->chapter = chapter;
        screen = std::make_shared<LessonViewController>();
        screen->lesson = chapter->lessons.at(index);
        screen->chapter = chapter;
        screen->lessons = static_cast<std::int64_t>(chapter->lessons.size());
        screen->progressReport = report;
        navigation = std::make_shared<ui::NavigationController>(std::make_shared<ui::ViewController>());
        ui::Application::shared().setRootViewController(navigation);
        navigation->pushViewController(screen, false);
        return *screen;
    }
    LessonViewController& open(Lesson::Ptr lesson) {
        auto chapter = Chapter::make("TRUE OR FALSE", 2);
        chapter->lessons.push_back(std::move(lesson));
        return open(chapter, 0);
    }

    Lesson& lesson() { return *screen->lesson; }
    std::size_t answerIndex() { return static_cast<std::size_t>(lesson().textFieldInLine - 1); }
    ui::TextField& field() { return *screen->textFields.at(answerIndex()); }
    ui::Button& checkmark() { return *screen->checkMarkButtons.at(answerIndex()); }
    ui::Button& errorButton() { return *screen->errorButtons.at(answerIndex()); }

    // Types into the answer field as the learner would (the field asks the screen first).
    void type(const std::string& text) {
        if (!field().isFirstResponder()) field().becomeFirstResponder();
        for (const auto& ch : ns::splitCharacters(text))
            field().typeText(ch);
    }
    // Replaces the whole text in one edit.
    void enter(const std::string& text) {
        if (!field().isFirstResponder()) field().becomeFirstResponder();
        field().setSelectedRange(ui::Range{0, field().length()});
        field().typeText(text);
    }
    void erase() {
        if (!field().isFirstResponder()) field().becomeFirstResponder();
        field().setSelectedRange(ui::Range{0, field().length()});
        field().deleteBackward();
    }

    dispatch::VirtualClockScope clock;
    ns::ConsoleCapture console;
    std::shared_ptr<svc::FakeBackendClient> backend = std::make_shared<svc::FakeBackendClient>();
    std::shared_ptr<svc::FakeVideoStreamClient> video = std::make_shared<svc::FakeVideoStreamClient>();
    std::shared_ptr<svc::FakeAudioSession> audio = std::make_shared<svc::FakeAudioSession>();
    std::shared_ptr<svc::FakeNetworkReachability> reachability =
        std::make_shared<svc::FakeNetworkReachability>();
    svc::ScopedOverride<std::shared_ptr<svc::BackendClient>> backendInstalled{svc::setSharedBackendClient,
                                                                              backend};
    svc::ScopedOverride<std::shared_ptr<svc::VideoStreamClient>> videoInstalled{
        svc::setDefaultVideoStreamClient, video};
    svc::ScopedOverride<std::shared_ptr<svc::AudioSession>> audioInstalled{svc::setSharedAudioSession, audio};
    svc::ScopedOverride<std::shared_ptr<svc::NetworkReachability>> reachabilityInstalled{
        svc::setSharedNetworkReachability, reachability};
    ProgressReport::Ptr report;
    Chapter::Ptr chapter;
    std::shared_ptr<ui::NavigationController> navigation;
    std::shared_ptr<LessonViewController> screen;
    velotest::TempHome home_;
};

} // namespace lessontest
