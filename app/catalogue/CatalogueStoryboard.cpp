#include "app/catalogue/CatalogueStoryboard.hpp"

#include "app/catalogue/ChapterViewController.hpp"
#include "app/catalogue/MoreAppsViewController.hpp"
#include "app/catalogue/SearchResultsTableViewController.hpp"
#include "app/catalogue/SettingsTableViewController.hpp"
#include "app/lesson/LessonViewController.hpp"

void registerCatalogueSegues() {
    auto& storyboard = ui::Storyboard::main();
    storyboard.registerSegue("Chapter", [] { return std::make_shared<ChapterViewController>(); });
    storyboard.registerSegue("lessonSegue", [] { return std::make_shared<LessonViewController>(); });
    storyboard.registerSegue("Settings", [] { return std::make_shared<SettingsTableViewController>(); });
    storyboard.registerSegue("SearchSegue",
                             [] { return std::make_shared<SearchResultsTableViewController>(); });
    storyboard.registerSegue("LessonSegueFromSearch",
                             [] { return std::make_shared<LessonViewController>(); });
    storyboard.registerSegue("MoreApps", [] { return std::make_shared<MoreAppsViewController>(); });
}

std::shared_ptr<NavigationController> makeInitialViewController() {
    registerCatalogueSegues();
    return std::make_shared<NavigationController>(std::make_shared<MainViewController>());
}
