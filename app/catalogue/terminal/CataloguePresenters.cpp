#include "app/catalogue/terminal/CataloguePresenters.hpp"

#include "app/catalogue/terminal/ChapterListPresenter.hpp"
#include "app/catalogue/terminal/LessonListPresenter.hpp"
#include "app/catalogue/terminal/MailPresenter.hpp"
#include "app/catalogue/terminal/SearchPresenter.hpp"
#include "app/catalogue/terminal/SettingsPresenter.hpp"
#include "app/catalogue/terminal/WebPagePresenter.hpp"
#include "app/lesson/terminal/LessonPresenters.hpp"

std::unique_ptr<term::Presenter> makeCataloguePresenter(const std::shared_ptr<ui::ViewController>& screen,
                                                        term::FrontEnd& frontEnd) {
    if (auto s = std::dynamic_pointer_cast<MainViewController>(screen))
        return std::make_unique<ChapterListPresenter>(s, frontEnd);
    if (auto s = std::dynamic_pointer_cast<ChapterViewController>(screen))
        return std::make_unique<LessonListPresenter>(s);
    if (auto lesson = makeLessonPresenter(screen, frontEnd)) return lesson;
    if (auto s = std::dynamic_pointer_cast<SearchResultsTableViewController>(screen))
        return std::make_unique<SearchPresenter>(s);
    if (auto s = std::dynamic_pointer_cast<SettingsTableViewController>(screen))
        return std::make_unique<SettingsPresenter>(s);
    if (auto s = std::dynamic_pointer_cast<MoreAppsViewController>(screen))
        return std::make_unique<WebPagePresenter>(s, frontEnd);
    if (auto s = std::dynamic_pointer_cast<svc::MailComposeViewController>(screen))
        return std::make_unique<MailPresenter>(s);
    return nullptr;
}
