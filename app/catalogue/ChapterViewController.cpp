#include "app/catalogue/ChapterViewController.hpp"

#include "app/catalogue/CompletionMarks.hpp"
#include "app/catalogue/Describe.hpp"
#include "app/lesson/LessonViewController.hpp"
#include "platform/foundation/Console.hpp"

void ChapterViewController::loadView() {
    ui::ViewController::loadView();
    chapterNumberLabel = std::make_shared<ui::Label>();
    chapterTitleLabel = std::make_shared<ui::Label>();
    tableView = std::make_shared<ui::TableView>();
    for (const auto& label : {chapterNumberLabel, chapterTitleLabel}) {
        label->setTextColor(ui::Color::white());
        view()->addSubview(label);
    }
    tableView->setFrame(view()->bounds());
    view()->addSubview(tableView);
    tableView->setDataSource(std::dynamic_pointer_cast<ChapterViewController>(weak_from_this().lock()));
    // The "lessonSegue" leaves from the row cell itself.
    tableView->setRowSegue("lessonSegue", weak_from_this());
}

void ChapterViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    chapterTitleLabel->setText(chapter->title);
    chapterNumberLabel->setText("COURSE " + std::to_string(chapter->number));
    tableView->setRowHeight(ui::TableView::automaticDimension);
    tableView->setEstimatedRowHeight(20.0);
}

void ChapterViewController::viewWillAppear(bool animated) {
    ui::ViewController::viewWillAppear(animated);
    // Coming back from the lesson screen, which is still alive while it goes.
    if (auto screen = std::dynamic_pointer_cast<LessonViewController>(lessonScreen_.lock());
        screen && screen->lesson)
        lessonShownLast = screen->lesson;
    tableView->setBackgroundColor(ui::Color::clear());
    tableView->setBackgroundView(nullptr);
}

void ChapterViewController::viewDidAppear(bool animated) {
    ui::ViewController::viewDidAppear(animated);
    // Only requested here: the rows are configured at the next layout pass, after the flags below.
    tableView->reloadData();
    ns::console(describeOptionalList(progressReport->lessons));
    markCompletedLessons(*chapter, progressReport->lessons);
}

int ChapterViewController::numberOfRowsInSection(ui::TableView&, int) {
    return static_cast<int>(chapter->lessons.size());
}

std::shared_ptr<ui::TableViewCell> ChapterViewController::cellForRowAtIndexPath(ui::TableView& table,
                                                                                ui::IndexPath indexPath) {
    return configureLessonCell(table, indexPath);
}

std::shared_ptr<ChapterTableViewCell> ChapterViewController::configureLessonCell(ui::TableView& table,
                                                                                 ui::IndexPath indexPath) {
    auto cell = std::dynamic_pointer_cast<ChapterTableViewCell>(table.dequeueReusableCell("Cell"));
    if (!cell) cell = std::make_shared<ChapterTableViewCell>(ui::TableViewCellStyle::defaultStyle, "Cell");
    const auto& lesson = chapter->lessons.at(static_cast<std::size_t>(indexPath.row));
    if (cell->titleLabel) cell->titleLabel->setText(lesson->title.str());
    cell->lessonNumberLabel->setText(std::to_string(lesson->number));
    cell->contentView()->setBackgroundColor(ui::Color::black());
    cell->setUserInteractionEnabled(true);
    cell->setSelectionStyle(ui::TableViewCellSelectionStyle::gray);
    cell->checkmarkView->setHidden(!lesson->completed);
    return cell;
}

void ChapterViewController::prepareForSegue(ui::StoryboardSegue& segue, ui::View* sender) {
    if (segue.identifier() != "lessonSegue") return;
    auto destination = std::dynamic_pointer_cast<LessonViewController>(segue.destination());
    if (!destination) return;
    destination->lessons = static_cast<std::int64_t>(chapter->lessons.size());
    lessonScreen_ = destination;
    auto* cell = dynamic_cast<ui::TableViewCell*>(sender);
    if (!cell) return;
    auto indexPath = tableView->indexPathForCell(*cell);
    if (!indexPath) return;
    destination->lesson = chapter->lessons.at(static_cast<std::size_t>(indexPath->row));
    destination->chapter = chapter;
    destination->progressReport = progressReport;
}
