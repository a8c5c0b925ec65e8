#include "app/catalogue/MainViewController.hpp"

#include "app/catalogue/ChapterViewController.hpp"
#include "app/catalogue/CompletionMarks.hpp"
#include "app/catalogue/Describe.hpp"
#include "app/catalogue/SearchResultsTableViewController.hpp"
#include "app/catalogue/SettingsTableViewController.hpp"
#include "app/catalogue/StoreKitRater.hpp"
#include "content/Courses.hpp"
#include "model/Reachability.hpp"
#include "model/TargetHelper.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/services/StoreReviewController.hpp"
#include "platform/uikit/AlertController.hpp"
#include "platform/uikit/ImageView.hpp"

#include <algorithm>

MainViewController::~MainViewController() {
    ns::NotificationCenter::defaultCenter().removeObserver(recordSaved_);
}

void MainViewController::loadView() {
    ui::ViewController::loadView();
    tableView = std::make_shared<ui::TableView>(view()->bounds());
    view()->addSubview(tableView);
    tableView->setDataSource(std::dynamic_pointer_cast<MainViewController>(weak_from_this().lock()));
    // The "Chapter" segue leaves from the row cell itself.
    tableView->setRowSegue("Chapter", weak_from_this());
    auto settings = std::make_shared<ui::BarButtonItem>("Settings");
    settings->addAction([this](ui::BarButtonItem&) { openSettings(); });
    navigationItem().setLeftBarButtonItem(settings);
    auto search = std::make_shared<ui::BarButtonItem>("Search");
    search->addAction([this](ui::BarButtonItem&) { openSearch(); });
    navigationItem().setRightBarButtonItem(search);
}

void MainViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    auto& target = TargetHelper::shared();
    ns::console(target.bundleIdentifier());
    ns::console("Version:" + target.appVersion());

    buildCourse();

    auto& defaults = ns::UserDefaults::standard();
    std::optional<std::string> keptAsideUnder;
    progressReport = ProgressReport::load(defaults, &keptAsideUnder);
    const std::string fresh = "It could not be read, so a new record was started. ";
    if (auto copy = defaults.corruptFileCopy())
        damagedRecordMessage = fresh + "The damaged file is kept as " + copy->string() + ".";
    else if (keptAsideUnder)
        damagedRecordMessage = fresh + "The damaged record is kept in " + defaults.filePath().string() +
                               " under \"" + *keptAsideUnder + "\".";
    if (!progressReport) {
        progressReport = ProgressReport::make();
        progressReport->lessons = std::vector<std::string>{"lessonZero"};
        progressReport->appRated = std::vector<std::string>{"ignore"};
        progressReport->autoRun = false;
        progressReport->save();
    }

    navigationItem().setTitleView(std::make_shared<ui::ImageView>("logo"));
    tableView->setBackgroundColor(ui::Color::black());

    ns::console(Reachability::isConnected() ? "Internet connection OK" : "Internet connection FAILED");

    // A save merges with what another running copy stored: the marks follow what the record now holds.
    recordSaved_ = ns::NotificationCenter::defaultCenter().addObserver(
        ProgressReport::didSaveNotification, [this](const ns::Notification& notification) {
            if (progressReport && notification.sender == progressReport.get())
                followCompletedLessons(chapters, progressReport->lessons);
        });

    defaultAutoRunSetting();
    defaultSoundSetting();
    defaultErrorIndicatorSetting();
}

void MainViewController::buildCourse() {
    auto& target = TargetHelper::shared();
    int edition = target.currentEdition(target.bundleIdentifier());
    for (auto& chapter : content::buildChapters(content::courseForEdition(edition))) {
        chapters.push_back(std::move(chapter));
    }
}

namespace {

void defaultSetting(ProgressReport& record, std::optional<bool> ProgressReport::*field, const char* name,
                    const char* absentLine, bool firstValue) {
    if (auto value = record.*field) {
        ns::console(std::string("The ") + name + " switch is " + (*value ? "ON" : "OFF"));
        return;
    }
    ns::console(std::string(absentLine) + "nil");
    record.*field = firstValue;
    record.save();
}

} // namespace

void MainViewController::defaultAutoRunSetting() {
    defaultSetting(*progressReport, &ProgressReport::autoRun, "AutoRUN", "table row switch Changed ", false);
}

void MainViewController::defaultSoundSetting() {
    defaultSetting(*progressReport, &ProgressReport::sound, "Sound", "table row sound switch changed ", true);
}

void MainViewController::defaultErrorIndicatorSetting() {
    defaultSetting(*progressReport, &ProgressReport::showErrorIndicator, "error indicator",
                   "table row error switch changed ", true);
}

void MainViewController::viewWillAppear(bool animated) {
    ui::ViewController::viewWillAppear(animated);
    tableView->reloadData();
    if (progressReport && progressReport->lessons) ns::console(describeList(*progressReport->lessons));
}

void MainViewController::viewDidLayoutSubviews() {
    tableView->setFrame(view()->bounds());
    tableView->reloadData();
}

void MainViewController::viewDidAppear(bool animated) {
    ui::ViewController::viewDidAppear(animated);
    if (damagedRecordMessage) {
        auto alert = std::make_shared<ui::AlertController>(damagedRecordTitle, *damagedRecordMessage);
        alert->addAction({"OK", ui::AlertActionStyle::cancel, nullptr});
        damagedRecordMessage.reset();
        present(alert, true);
    }
    requestReviewIfNeeded();
}

int MainViewController::numberOfRowsInSection(ui::TableView&, int) {
    return static_cast<int>(chapters.size());
}

std::shared_ptr<ui::TableViewCell> MainViewController::cellForRowAtIndexPath(ui::TableView& table,
                                                                             ui::IndexPath indexPath) {
    return configureChapterCell(table, indexPath);
}

std::shared_ptr<MainTableViewCell> MainViewController::configureChapterCell(ui::TableView& table,
                                                                            ui::IndexPath indexPath) {
    auto cell = std::dynamic_pointer_cast<MainTableViewCell>(table.dequeueReusableCell("Cell"));
    if (!cell) cell = std::make_shared<MainTableViewCell>(ui::TableViewCellStyle::defaultStyle, "Cell");

    const auto& chapter = chapters.at(static_cast<std::size_t>(indexPath.row));
    cell->chapterNumberLabel->setText(std::to_string(indexPath.row + 1) + ".");
    cell->chapterTitleLabel->setText(chapter->title);

    if (progressReport) markCompletedLessons(*chapter, progressReport->lessons);
    auto completed = std::count_if(chapter->lessons.begin(), chapter->lessons.end(),
                                   [](const Lesson::Ptr& lesson) { return lesson->completed; });
    auto total = chapter->lessons.size();
    cell->progressLabel->setText(std::to_string(completed) + " / " + std::to_string(total));

    // A chapter without lessons yet is 0 of 0: no progress rather than a fraction that is not a number.
    float fraction = total == 0 ? 0.0f : static_cast<float>(completed) / static_cast<float>(total);
    ns::console(describeFloat(fraction));
    if (completed == 0) {
        cell->progressView->setHidden(true);
        return cell;
    }
    cell->progressView->setHidden(false);
    cell->progressViewWidthConstraint->setConstant(view()->frame().width() * static_cast<double>(fraction));
    ns::console(describeDouble(cell->progressViewWidthConstraint->constant()));
    return cell;
}

void MainViewController::prepareForSegue(ui::StoryboardSegue& segue, ui::View* sender) {
    const auto& identifier = segue.identifier();
    if (identifier == "Chapter") {
        auto destination = std::dynamic_pointer_cast<ChapterViewController>(segue.destination());
        auto* cell = dynamic_cast<ui::TableViewCell*>(sender);
        if (!destination || !cell) return;
        auto indexPath = tableView->indexPathForCell(*cell);
        if (!indexPath) return;
        destination->chapter = chapters.at(static_cast<std::size_t>(indexPath->row));
        destination->progressReport = progressReport;
    } else if (identifier == "Settings") {
        if (auto destination = std::dynamic_pointer_cast<SettingsTableViewController>(segue.destination())) {
            destination->progressReport = progressReport;
            destination->chapters = chapters;
        }
    } else if (identifier == "SearchSegue") {
        if (auto destination =
                std::dynamic_pointer_cast<SearchResultsTableViewController>(segue.destination())) {
            destination->chapters = chapters;
            destination->progressReport = progressReport;
        }
    }
}

void MainViewController::requestReviewIfNeeded() {
    if (!progressReport || !progressReport->appRated) return;
    ns::console(describeList(*progressReport->appRated));
    auto version = TargetHelper::shared().appVersion();
    const auto& rated = *progressReport->appRated;
    if (std::find(rated.begin(), rated.end(), version) != rated.end()) return;
    if (StoreKitRater::shouldRequestReview(20)) svc::StoreReviewController::requestReview();
}

void MainViewController::openSettings() {
    performSegue("Settings", nullptr);
}
void MainViewController::openSearch() {
    performSegue("SearchSegue", nullptr);
}
