#pragma once
// Which presenter draws which screen of the app in the terminal (the lesson's own screens through
// makeLessonPresenter).
//
// Failure contract: answers nullptr for a screen it does not know (the front end then uses its plain
// fallback).
#include "platform/terminal/FrontEnd.hpp"
#include "platform/terminal/Presenter.hpp"
#include "platform/uikit/ViewController.hpp"

#include <memory>

std::unique_ptr<term::Presenter> makeCataloguePresenter(const std::shared_ptr<ui::ViewController>& screen,
                                                        term::FrontEnd& frontEnd);
