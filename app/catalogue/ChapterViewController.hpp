#pragma once
// The lesson list of one chapter: number, title and a checkmark per lesson. Each time it comes on
// screen it brings the lessons' `completed` flags up to date from the record, so a lesson completed on
// the lesson screen shows its checkmark on return. A row opens the lesson ("lessonSegue").
//
// `chapter` and `progressReport` are set by the course home before the view loads; they are the home's
// own objects.
//
// Failure contract: nothing is reported to the learner; a record id that matches no lesson marks
// nothing. The inputs must be set before the view loads.
#include "app/catalogue/ChapterTableViewCell.hpp"
#include "model/Chapter.hpp"
#include "model/ProgressReport.hpp"
#include "platform/uikit/Label.hpp"
#include "platform/uikit/TableView.hpp"
#include "platform/uikit/ViewController.hpp"

#include <memory>

class ChapterViewController : public ui::ViewController, public ui::TableViewDataSource {
  public:
    ProgressReport::Ptr progressReport;
    Chapter::Ptr chapter;
    std::shared_ptr<ui::Label> chapterNumberLabel;
    std::shared_ptr<ui::Label> chapterTitleLabel;
    std::shared_ptr<ui::TableView> tableView;

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;

    int numberOfRowsInSection(ui::TableView& tableView, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& tableView,
                                                             ui::IndexPath indexPath) override;
    void prepareForSegue(ui::StoryboardSegue& segue, ui::View* sender) override;

    std::shared_ptr<ChapterTableViewCell> configureLessonCell(ui::TableView& tableView,
                                                              ui::IndexPath indexPath);

    // The lesson the learner was on when they last came back from the lesson screen: Next may have
    // taken them past the row they opened, and the list marks where they are now. Absent until then.
    Lesson::Ptr lessonShownLast;

  private:
    std::weak_ptr<ui::ViewController> lessonScreen_;
};
