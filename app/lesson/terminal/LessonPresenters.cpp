#include "app/lesson/terminal/LessonPresenters.hpp"

#include "app/lesson/terminal/LessonPresenter.hpp"
#include "app/lesson/terminal/VideoPlayerPresenter.hpp"

std::unique_ptr<term::Presenter> makeLessonPresenter(const std::shared_ptr<ui::ViewController>& screen,
                                                     term::FrontEnd& frontEnd) {
    if (auto s = std::dynamic_pointer_cast<LessonViewController>(screen))
        return std::make_unique<LessonPresenter>(s);
    if (auto s = std::dynamic_pointer_cast<VideoPlayerViewController>(screen))
        return std::make_unique<VideoPlayerPresenter>(s, frontEnd);
    return nullptr;
}
