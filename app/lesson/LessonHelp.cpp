// Help for a stuck learner: the hint chosen by what was typed, the help bar (stuck look, or video look
// when a tutorial video exists), and the tutorial video itself.
#include "app/lesson/LessonViewController.hpp"
#include "app/lesson/VideoPlayerViewController.hpp"
#include "model/Reachability.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/services/BackendClient.hpp"
#include "platform/services/VideoStreamClient.hpp"

void LessonViewController::errorButtonPressed() {
    ns::console("error button was pressed");
    resignAllTextFields();
    if (!lesson) return;
    runButtonBottomLayoutConstraint->setConstant(runButtonDown);
    // Content always has the hint first; without it there is nothing to show.
    if (lesson->errors.empty()) return;
    const ErrorMessage* chosen = &lesson->errors.front();
    for (const auto& entry : lesson->errors) {
        if (!entry.errorString || !entry.contains) continue;
        const bool matches = *entry.contains
                                 ? lesson->userAnswer == *entry.errorString
                                 : lesson->userAnswer.find(*entry.errorString) == std::string::npos;
        // The last entry that matches wins.
        if (matches) chosen = &entry;
    }
    helpView->setHidden(false);
    helpViewTitleLabel->setText(chosen->title.str());
    helpViewMessageLabel->setText(chosen->message.str());
    helpBarView->setHidden(true);
    colorHelpView();
}

void LessonViewController::helpViewOKButtonPressed() {
    helpView->setHidden(true);
    if (!lesson) return;
    ui::Pasteboard::general().setString(lesson->answer.str());
    if (lesson->videoTutorial && Reachability::isConnected()) {
        helpBarView->setHidden(false);
        runButtonBottomLayoutConstraint->setConstant(runButtonUp);
    } else {
        helpBarView->setHidden(true);
        runButtonBottomLayoutConstraint->setConstant(runButtonDown);
    }
}

void LessonViewController::helpVideoButtonPressed() {
    ns::console("Please play YouTube video in full screen if button is pressed.");
    if (!lesson || !lesson->videoTutorial) return;
    auto player = std::make_shared<VideoPlayerViewController>();
    std::weak_ptr<VideoPlayerViewController> weakPlayer = player;
    const std::string videoID = lesson->videoTutorial->str();
    present(player, true);
    svc::defaultVideoStreamClient()->getVideo(
        videoID, [weakPlayer](std::optional<svc::StreamURLs> urls, std::optional<ns::Error>) {
            auto player = weakPlayer.lock();
            if (!player) return;
            if (urls)
                for (const char* quality : {svc::videoQualityHTTPLiveStreaming, "22", "18", "36"})
                    if (auto it = urls->find(quality); it != urls->end()) {
                        player->setPlayerURL(it->second);
                        return;
                    }
            player->dismiss(true);
        });
}

void LessonViewController::showHelpBar(double delay) {
    helpBarView->setBackgroundColor(stuckRed);
    helpVideoButton->setHidden(true);
    stuckButton->setHidden(false);
    helpBarView->setAlpha(0);
    scheduleRunButtonMove();
    ui::View* bar = helpBarView;
    ui::animate(0.5, delay, ui::AnimationOptions::curveEaseOut, [bar] { bar->setAlpha(1); });
    helpBarView->setHidden(false);
}

void LessonViewController::scheduleRunButtonMove() {
    ui::LayoutConstraint* constraint = runButtonBottomLayoutConstraint;
    std::weak_ptr<ui::ViewController> weak = weak_from_this();
    // A move left over from an earlier lesson must not raise the button under a new one.
    taskMoveRunButtonUp.cancel();
    taskMoveRunButtonUp = dispatch::WorkItem([weak, constraint] {
        if (!weak.lock()) return;
        ui::animate(0.5, 0, ui::AnimationOptions::curveEaseOut,
                    [constraint] { constraint->setConstant(runButtonUp); });
    });
    dispatch::main().asyncAfter(helpBarDelay, taskMoveRunButtonUp);
}

void LessonViewController::showVideoHelpBar(double delay) {
    if (!lesson || !lesson->videoTutorial || !Reachability::isConnected()) return;
    helpBarView->setBackgroundColor(successGreen);
    helpVideoButton->setHidden(false);
    stuckButton->setHidden(true);
    helpBarView->setAlpha(0);
    ui::View* bar = helpBarView;
    ui::animate(0.5, delay, ui::AnimationOptions::curveEaseOut, [bar] { bar->setAlpha(1); });
    helpBarView->setHidden(false);
}

void LessonViewController::fetchVideoTutorial() {
    if (!lesson) return;
    svc::BackendQuery query("VideoTutorials");
    query.whereKey("lessonID", lesson->lessonID.str());
    // The answer belongs to the lesson that was asked about, even when the learner has moved on.
    Lesson::Ptr asked = lesson;
    auto client = svc::sharedBackendClient();
    std::weak_ptr<svc::BackendClient> weakClient = client;
    client->findObjectsInBackground(
        query, [asked, weakClient](std::optional<std::vector<svc::BackendObject>> objects,
                                   std::optional<ns::Error> error) {
            if (error) {
                ns::console("Error: " + error->description() + " " + error->localizedDescription());
                return;
            }
            ns::console("Successfully retrieved LessonID");
            if (!objects) return;
            if (objects->empty()) {
                svc::BackendObject row("VideoTutorials");
                row.setObject("lessonID", asked->lessonID.str());
                if (auto client = weakClient.lock())
                    client->saveInBackground(row, [](bool, std::optional<ns::Error>) {});
                return;
            }
            if (objects->size() != 1) return;
            const ns::PropertyList* videoID = objects->front().objectForKey("videoID");
            if (!videoID || !videoID->stringValue()) return;
            ns::console("Video found on Parse.  ID: " + *videoID->stringValue());
            asked->videoTutorial = *videoID->stringValue();
        });
}
