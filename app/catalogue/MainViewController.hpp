#pragma once
// The course home, the first screen. On load it logs the bundle identifier and version, builds the
// catalogue of the running edition, loads or creates the learner record, logs the network state and
// gives the three learner settings their first values. It lists the chapters with "c / n" and a
// progress bar; a row opens the chapter ("Chapter"), and the screen leads to settings ("Settings") and
// search ("SearchSegue"). Each time it is shown it may ask for a store review.
//
// It owns `chapters` and `progressReport` for the life of the process; later screens get the same
// objects. After each save of the record, every lesson's `completed` flag follows the saved record, so
// lessons another running copy completed show as done and those its reset removed no longer do.
//
// Failure contract: a record that cannot be read counts as none and a fresh one is saved in its place.
// When it was damaged (its bytes kept aside by the record itself, or the preferences file moved aside by
// the user defaults), the learner is told once, in an alert when the screen first appears, where the
// old one is kept. A preferences file that cannot be read at all is left alone by the user defaults;
// the saves then fail and say why (SaveStatusLine). A chapter without lessons shows 0 / 0 and an empty
// bar.
#include "app/catalogue/MainTableViewCell.hpp"
#include "model/Chapter.hpp"
#include "model/ProgressReport.hpp"
#include "platform/foundation/NotificationCenter.hpp"
#include "platform/uikit/TableView.hpp"
#include "platform/uikit/ViewController.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class MainViewController : public ui::ViewController, public ui::TableViewDataSource {
  public:
    ProgressReport::Ptr progressReport;
    std::vector<Chapter::Ptr> chapters;
    std::shared_ptr<ui::TableView> tableView;

    ~MainViewController() override;

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidLayoutSubviews() override;
    void viewDidAppear(bool animated) override;

    int numberOfRowsInSection(ui::TableView& tableView, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& tableView,
                                                             ui::IndexPath indexPath) override;
    void prepareForSegue(ui::StoryboardSegue& segue, ui::View* sender) override;

    void buildCourse();
    void defaultAutoRunSetting();
    void defaultSoundSetting();
    void defaultErrorIndicatorSetting();
    std::shared_ptr<MainTableViewCell> configureChapterCell(ui::TableView& tableView,
                                                            ui::IndexPath indexPath);
    void requestReviewIfNeeded();

    // What the learner is told about a damaged record, until the screen has shown it.
    std::optional<std::string> damagedRecordMessage;
    static constexpr const char* damagedRecordTitle = "Your saved progress was damaged";

    // The bar buttons of the storyboard that start the other two segues.
    void openSettings();
    void openSearch();

  private:
    ns::NotificationCenter::ObserverToken recordSaved_ = 0;
};
