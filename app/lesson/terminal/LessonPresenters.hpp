#pragma once
// Which presenter draws which screen of the lesson in the terminal: the lesson screen and its video
// player.
//
// Failure contract: answers nullptr for a screen that is not the lesson's.
#include "platform/terminal/FrontEnd.hpp"
#include "platform/terminal/Presenter.hpp"
#include "platform/uikit/ViewController.hpp"

#include <memory>

std::unique_ptr<term::Presenter> makeLessonPresenter(const std::shared_ptr<ui::ViewController>& screen,
                                                     term::FrontEnd& frontEnd);
