#pragma once
// The app's storyboard: the first screen inside the app's navigation controller, and the segues by name
// that lead from screen to screen ("Chapter", "lessonSegue", "Settings", "SearchSegue",
// "LessonSegueFromSearch", "MoreApps"). Every segue makes a new destination screen.
//
// Failure contract: none; registering again replaces the earlier registrations.
#include "app/catalogue/MainViewController.hpp"
#include "app/catalogue/NavigationController.hpp"

#include <memory>

void registerCatalogueSegues();

// The initial screen: a NavigationController whose root is a new MainViewController.
std::shared_ptr<NavigationController> makeInitialViewController();
