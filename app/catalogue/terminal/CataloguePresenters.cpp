#include "app/catalogue/terminal/CataloguePresenters.hpp"

#include "app/catalogue/terminal/ChapterListPresenter.hpp"
#include "app/catalogue/terminal/LessonListPresenter.hpp"
#include "app/catalogue/terminal/LessonPresenter.hpp"
#include "app/catalogue/terminal/MailPresenter.hpp"
#include "app/catalogue/terminal/SearchPresenter.hpp"
#include "app/catalogue/terminal/SettingsPresenter.hpp"
#include "app/catalogue/terminal/VideoPlayerPresenter.hpp"
#include "app/catalogue/terminal/WebPagePresenter.hpp"

std::unique_ptr<term::Presenter> makeCataloguePresenter(const std::shared_ptr<ui::ViewController>& screen,
                                                        term::FrontEnd& frontEnd) {
    if (auto s = std::dynamic_pointer_cast<MainViewController>(screen))
        return std::make_unique<ChapterListPresenter>(s, frontEnd);
    if (auto s = std::dynamic_pointer_cast<ChapterViewController>(screen))
        return std::make_unique<LessonListPresenter>(s);
    if (auto s = std::dynamic_pointer_cast<LessonViewController>(screen))
        return std::make_unique<LessonPresenter>(s);
    if (auto s = std::dynamic_pointer_cast<SearchResultsTableViewController>(screen))
        return std::make_unique<SearchPresenter>(s);
    if (auto s = std::dynamic_pointer_cast<SettingsTableViewController>(screen))
        return std::make_unique<SettingsPresenter>(s);
    if (auto s = std::dynamic_pointer_cast<MoreAppsViewController>(screen))
        return std::make_unique<WebPagePresenter>(s, frontEnd);
    if (auto s = std::dynamic_pointer_cast<svc::MailComposeViewController>(screen))
        return std::make_unique<MailPresenter>(s);
    if (auto s = std::dynamic_pointer_cast<VideoPlayerViewController>(screen))
        return std::make_unique<VideoPlayerPresenter>(s, frontEnd);
    return nullptr;
}
