#include "app/catalogue/ChapterViewController.hpp"
#include "app/lesson/LessonViewController.hpp"
#include "tests/support/CatalogueWorld.hpp"

#include <gtest/gtest.h>

namespace {

Lesson::Ptr lesson(const std::string& id, std::int64_t number) {
    return Lesson::initWith1Line(id, number, "title " + id, "instruction", "let x = 1", "1", "", 1, 1, {});
}

class LessonList : public ::testing::Test {
  protected:
    CatalogueWorld world;
    MainViewController* home = nullptr;
    Chapter::Ptr chapter = Chapter::make("ENUMS", 12);

    void SetUp() override {
        home = &world.launch();
        chapter->lessons = {lesson("CH12L1", 1), lesson("CH12L2", 2), lesson("CH12L2", 3),
                            lesson("CH12L9B", 9)};
        home->chapters = {chapter};
        home->tableView->reloadData();
        world.settle();
    }

    std::shared_ptr<ChapterViewController> open() {
        EXPECT_TRUE(home->tableView->selectRow({0, 0}));
        world.settle();
        return world.top<ChapterViewController>();
    }
    ChapterTableViewCell& cell(ChapterViewController& screen, int row) {
        return dynamic_cast<ChapterTableViewCell&>(
            *screen.tableView->visibleCells().at(static_cast<std::size_t>(row)));
    }
};

TEST_F(LessonList, HeaderAndRowsShowTheChaptersOwnNumbers) {
    auto screen = open();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->chapterNumberLabel->text(), "COURSE 12");
    EXPECT_EQ(screen->chapterTitleLabel->text(), "ENUMS");
    EXPECT_EQ(screen->tableView->numberOfRowsInSection(0), 4);
    EXPECT_EQ(cell(*screen, 3).lessonNumberLabel->text(), "9");
    EXPECT_EQ(cell(*screen, 3).titleLabel->text(), "title CH12L9B");
    EXPECT_EQ(cell(*screen, 0).selectionStyle(), ui::TableViewCellSelectionStyle::gray);
}

TEST_F(LessonList, CompletedLessonsShowCheckmarksAndSharedIdsCompleteTogether) {
    home->progressReport->lessons = std::vector<std::string>{"lessonZero", "CH12L2"};
    ns::ConsoleCapture console;
    auto screen = open();
    EXPECT_TRUE(console.contains(R"(Optional(["lessonZero", "CH12L2"]))"));
    EXPECT_TRUE(cell(*screen, 0).checkmarkView->isHidden());
    EXPECT_FALSE(cell(*screen, 1).checkmarkView->isHidden());
    EXPECT_FALSE(cell(*screen, 2).checkmarkView->isHidden());
    EXPECT_TRUE(cell(*screen, 3).checkmarkView->isHidden());
}

TEST_F(LessonList, ALessonCompletedMeanwhileShowsItsCheckmarkOnReturn) {
    auto screen = open();
    EXPECT_TRUE(cell(*screen, 0).checkmarkView->isHidden());
    home->progressReport->lessons->push_back("CH12L1");
    screen->viewDidAppear(false);
    world.settle();
    EXPECT_FALSE(cell(*screen, 0).checkmarkView->isHidden());
}

TEST_F(LessonList, LessonSegueHandsOnTheLessonItsChapterCountAndRecordBeforeLoading) {
    auto screen = open();
    ASSERT_TRUE(screen->tableView->selectRow({0, 3}));
    auto lessonScreen = world.top<LessonViewController>();
    ASSERT_TRUE(lessonScreen);
    EXPECT_EQ(lessonScreen->lesson, chapter->lessons[3]);
    EXPECT_EQ(lessonScreen->chapter, chapter);
    EXPECT_EQ(lessonScreen->lessons, std::optional<std::int64_t>(4));
    EXPECT_EQ(lessonScreen->progressReport, home->progressReport);
    EXPECT_TRUE(lessonScreen->isViewLoaded());
}

TEST_F(LessonList, LessonSegueWithoutACellStillGetsTheLessonCount) {
    auto screen = open();
    auto destination = std::make_shared<LessonViewController>();
    ui::StoryboardSegue segue("lessonSegue", *screen, destination);
    screen->prepareForSegue(segue, nullptr);
    EXPECT_EQ(destination->lessons, std::optional<std::int64_t>(4));
    EXPECT_FALSE(destination->lesson);
    EXPECT_FALSE(destination->progressReport);
}

} // namespace
