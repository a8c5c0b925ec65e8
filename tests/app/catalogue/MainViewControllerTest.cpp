#include "app/catalogue/ChapterViewController.hpp"
#include "app/catalogue/StoreKitRater.hpp"
#include "content/Courses.hpp"
#include "tests/support/CatalogueWorld.hpp"

#include <gtest/gtest.h>

namespace {

// `count` lines from the first equal to `first`, leaving out the record's own save lines.
std::vector<std::string> after(std::vector<std::string> lines, const std::string& first, std::size_t count) {
    std::erase(lines, std::string("progress report saved"));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] == first) {
            return std::vector<std::string>(lines.begin() + static_cast<long>(i),
                                            lines.begin() +
                                                static_cast<long>(std::min(lines.size(), i + count)));
        }
    }
    return {};
}

TEST(CatalogueStartup, FirstLaunchLogsCreatesTheRecordAndGivesTheSettingsTheirDefaults) {
    CatalogueWorld world;
    ns::ConsoleCapture console;
    auto& home = world.launch();

    auto lines = console.lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "com.velomarinth.swift");
    EXPECT_EQ(lines[1], "Version:5.2");
    EXPECT_EQ(after(lines, "Internet connection OK", 4),
              (std::vector<std::string>{"Internet connection OK", "The AutoRUN switch is OFF",
                                        "table row sound switch changed nil",
                                        "table row error switch changed nil"}));

    auto stored = ProgressReport::load();
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->lessons, (std::vector<std::string>{"lessonZero"}));
    EXPECT_EQ(stored->appRated, (std::vector<std::string>{"ignore"}));
    EXPECT_EQ(stored->autoRun, false);
    EXPECT_EQ(stored->sound, true);
    EXPECT_EQ(stored->showErrorIndicator, true);
    EXPECT_EQ(home.progressReport->sound, true);
    EXPECT_EQ(home.navigationItem().titleViewImageName(), std::optional<std::string>("logo"));
}

TEST(CatalogueStartup, LaterLaunchPrintsTheStoredSettingsAndChangesNothing) {
    CatalogueWorld world;
    {
        auto record = ProgressReport::make();
        record->lessons = std::vector<std::string>{"lessonZero", "CH1L1"};
        record->appRated = std::vector<std::string>{"ignore"};
        record->autoRun = true;
        record->sound = false;
        record->showErrorIndicator = true;
        ASSERT_TRUE(record->save().ok());
    }
    ns::ConsoleCapture console;
    auto& home = world.launch();
    auto lines = console.lines();
    EXPECT_EQ(after(lines, "The AutoRUN switch is ON", 3),
              (std::vector<std::string>{"The AutoRUN switch is ON", "The Sound switch is OFF",
                                        "The error indicator switch is ON"}));
    EXPECT_TRUE(console.contains(R"(["lessonZero", "CH1L1"])"));
    EXPECT_EQ(home.progressReport->lessons, (std::vector<std::string>{"lessonZero", "CH1L1"}));
}

TEST(CatalogueStartup, ADamagedRecordIsSaidOnceWithWhereTheOldOneIsKept) {
    struct Case {
        const char* name;
        std::function<void(const std::filesystem::path& preferences)> damage;
        std::string kept;
    } cases[] = {
        {"a preferences file that is no property list",
         [](const std::filesystem::path& p) { std::ofstream(p / "com.velomarinth.swift.plist") << "torn"; },
         "com.velomarinth.swift.plist.corrupt-"},
        {"a record archive that cannot be read",
         [](const std::filesystem::path&) {
             ASSERT_TRUE(ns::UserDefaults::standard().setObject("progressReport",
                                                                ns::PropertyList::Data{'b', 'p', 'l', 'x'}));
         },
         "under \"progressReport.corrupt-"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CatalogueWorld world;
        std::filesystem::create_directories(ns::Sandbox::preferences());
        c.damage(ns::Sandbox::preferences());
        auto& home = world.launch();
        auto alert = std::dynamic_pointer_cast<ui::AlertController>(home.presentedViewController());
        ASSERT_TRUE(alert);
        EXPECT_EQ(alert->title(), std::optional<std::string>(MainViewController::damagedRecordTitle));
        ASSERT_TRUE(alert->message());
        EXPECT_NE(alert->message()->find(c.kept), std::string::npos) << *alert->message();
        ASSERT_TRUE(alert->pickAction("OK"));
        // A fresh record took its place, and coming back to the screen says nothing more.
        EXPECT_EQ(home.progressReport->lessons, (std::vector<std::string>{"lessonZero"}));
        home.viewDidAppear(false);
        EXPECT_FALSE(home.presentedViewController());
    }
    CatalogueWorld sound;
    EXPECT_FALSE(sound.launch().presentedViewController());
}

TEST(CatalogueStartup, UnreachableNetworkIsLoggedAndTheHomeStillShows) {
    CatalogueWorld world;
    world.reachability->setFlags(svc::reachability::reachable | svc::reachability::connectionRequired);
    ns::ConsoleCapture console;
    auto& home = world.launch();
    EXPECT_TRUE(console.contains("Internet connection FAILED"));
    EXPECT_GT(home.tableView->numberOfRowsInSection(0), 0);
}

struct EditionCase {
    const char* bundleId;
    std::size_t chapters;
    const char* firstTitle;
    const char* lastTitle;
    bool alert;
};

class CatalogueEditions : public ::testing::TestWithParam<EditionCase> {};

TEST_P(CatalogueEditions, EachEditionBuildsItsCourseInChapterOrder) {
    const auto& edition = GetParam();
    CatalogueWorld world(edition.bundleId);
    ns::ConsoleCapture console;
    auto& home = world.launch();
    ASSERT_EQ(home.chapters.size(), edition.chapters);
    EXPECT_EQ(home.chapters.front()->title, edition.firstTitle);
    EXPECT_EQ(home.chapters.back()->title, edition.lastTitle);
    for (std::size_t i = 0; i < home.chapters.size(); ++i)
        EXPECT_EQ(home.chapters[i]->number, std::int64_t(i + 1));
    EXPECT_EQ(console.contains("ALERT: No app setup // returning default app"), edition.alert);
    EXPECT_EQ(home.tableView->numberOfRowsInSection(0), static_cast<int>(edition.chapters));
}

INSTANTIATE_TEST_SUITE_P(
    All, CatalogueEditions,
    ::testing::Values(EditionCase{"com.velomarinth.swift", 26, "SWIFT BASICS", "ERROR HANDLING", false},
                      EditionCase{"com.velomarinth.zovudero", 26, "SWIFT BASICS", "ERROR HANDLING", false},
                      EditionCase{"com.velomarinth.cpp", 7, "C++ BASICS", "STRINGS", false},
                      EditionCase{"com.velomarinth.swiftui", 8, "SwiftUI Basics", "Alert View", false},
                      EditionCase{"com.velomarinth.Swift", 26, "SWIFT BASICS", "ERROR HANDLING", true},
                      EditionCase{"org.example.other", 26, "SWIFT BASICS", "ERROR HANDLING", true}));

Lesson::Ptr lesson(const std::string& id, std::int64_t number = 1) {
    return Lesson::initWith1Line(id, number, "title " + id, "instruction", "let x = 1", "1", "", 1, 1, {});
}

class ChapterRows : public ::testing::Test {
  protected:
    CatalogueWorld world;
    MainViewController* home = nullptr;

    void SetUp() override {
        home = &world.launch();
        home->view()->setFrame(ui::Rect::make(0, 0, 400, 800));
        auto full = Chapter::make("FULL", 1);
        auto some = Chapter::make("SOME", 2);
        auto none = Chapter::make("EMPTY", 3);
        for (int i = 1; i <= 4; ++i)
            full->lessons.push_back(lesson("A" + std::to_string(i)));
        for (int i = 1; i <= 3; ++i)
            some->lessons.push_back(lesson("B" + std::to_string(i)));
        home->chapters = {full, some, none};
        home->progressReport->lessons =
            std::vector<std::string>{"lessonZero", "A1", "A2", "A3", "A4", "B2", "Z9"};
    }

    MainTableViewCell& row(int r) {
        home->tableView->reloadData();
        world.settle();
        return dynamic_cast<MainTableViewCell&>(
            *home->tableView->visibleCells().at(static_cast<std::size_t>(r)));
    }
};

TEST_F(ChapterRows, ShowPositionTitleCountAndABarAsWideAsTheShareDone) {
    ns::ConsoleCapture console;
    auto& full = row(0);
    EXPECT_EQ(full.chapterNumberLabel->text(), "1.");
    EXPECT_EQ(full.chapterTitleLabel->text(), "FULL");
    EXPECT_EQ(full.progressLabel->text(), "4 / 4");
    EXPECT_FALSE(full.progressView->isHidden());
    EXPECT_DOUBLE_EQ(full.progressViewWidthConstraint->constant(), 400);

    auto& some = row(1);
    EXPECT_EQ(some.chapterNumberLabel->text(), "2.");
    EXPECT_EQ(some.progressLabel->text(), "1 / 3");
    EXPECT_NEAR(some.progressViewWidthConstraint->constant(), 400.0 / 3, 1e-3);
    EXPECT_TRUE(console.contains("1.0"));
    EXPECT_TRUE(console.contains("400.0"));
    EXPECT_TRUE(console.contains("0.33333334"));
}

TEST_F(ChapterRows, AnEmptyChapterShowsZeroOfZeroWithoutABarOrNan) {
    ns::ConsoleCapture console;
    auto& empty = row(2);
    EXPECT_EQ(empty.progressLabel->text(), "0 / 0");
    EXPECT_TRUE(empty.progressView->isHidden());
    EXPECT_TRUE(console.contains("0.0"));
    for (const auto& line : console.lines())
        EXPECT_EQ(line.find("nan"), std::string::npos) << line;
}

TEST_F(ChapterRows, RowsOnlySetFlagsAndIdsOfOtherChaptersChangeNothing) {
    row(1);
    EXPECT_FALSE(home->chapters[1]->lessons[0]->completed);
    EXPECT_TRUE(home->chapters[1]->lessons[1]->completed);
    home->progressReport->lessons = std::vector<std::string>{};
    EXPECT_EQ(row(1).progressLabel->text(), "1 / 3"); // never cleared by the rows
}

TEST_F(ChapterRows, ANewLayoutPassResizesTheBars) {
    EXPECT_DOUBLE_EQ(row(0).progressViewWidthConstraint->constant(), 400);
    home->view()->setFrame(ui::Rect::make(0, 0, 120, 800));
    home->viewDidLayoutSubviews();
    world.settle();
    auto& cell = dynamic_cast<MainTableViewCell&>(*home->tableView->visibleCells().at(0));
    EXPECT_DOUBLE_EQ(cell.progressViewWidthConstraint->constant(), 120);
}

TEST(CatalogueSegues, ChapterRowHandsOnItsChapterAndTheSameRecord) {
    CatalogueWorld world;
    auto& home = world.launch();
    ASSERT_TRUE(home.tableView->selectRow({0, 2}));
    auto chapter = world.top<ChapterViewController>();
    ASSERT_TRUE(chapter);
    EXPECT_EQ(chapter->chapter, home.chapters[2]);
    EXPECT_EQ(chapter->progressReport, home.progressReport);
    EXPECT_EQ(chapter->chapterNumberLabel->text(), "COURSE 3");
    EXPECT_EQ(chapter->chapterTitleLabel->text(), "IF STATEMENTS");
}

TEST(CatalogueSegues, ChapterSegueWithoutACellHandsNothingOn) {
    CatalogueWorld world;
    auto& home = world.launch();
    auto destination = std::make_shared<ChapterViewController>();
    ui::StoryboardSegue segue("Chapter", home, destination);
    home.prepareForSegue(segue, nullptr);
    EXPECT_FALSE(destination->chapter);
    EXPECT_FALSE(destination->progressReport);
}

// Two copies of the app on one sandbox: the course home here, and another copy's record with a store of
// its own on the same file.
class CompletionMarks : public ::testing::Test {
  protected:
    CatalogueWorld world;
    MainViewController* home = nullptr;
    std::unique_ptr<ns::UserDefaults> otherStore;

    void SetUp() override {
        home = &world.launch();
        home->progressReport->lessons = std::vector<std::string>{"lessonZero", "CH1L1", "CH1L2"};
        ASSERT_TRUE(home->progressReport->save().ok());
        EXPECT_EQ(progress(0), "2 / " + std::to_string(lessons(0).size()));
        const auto& standard = ns::UserDefaults::standard();
        otherStore = std::make_unique<ns::UserDefaults>(standard.domain(), standard.filePath().parent_path());
    }
    const std::vector<Lesson::Ptr>& lessons(int chapter) {
        return home->chapters.at(static_cast<std::size_t>(chapter))->lessons;
    }
    std::string progress(int row) {
        home->tableView->reloadData();
        world.settle();
        return dynamic_cast<MainTableViewCell&>(
                   *home->tableView->visibleCells().at(static_cast<std::size_t>(row)))
            .progressLabel->text();
    }
};

TEST_F(CompletionMarks, FollowTheMergedRecordAfterAnotherCopyResetAndWentOn) {
    auto other = ProgressReport::load(*otherStore);
    ASSERT_TRUE(other);
    ASSERT_TRUE(
        other->save(*otherStore, [](ProgressReport& record) { record.lessons = std::vector<std::string>{}; })
            .ok());
    other->lessons->push_back("CH2L1");
    ASSERT_TRUE(other->save(*otherStore).ok());

    // This copy still shows its two lessons until its next save merges.
    EXPECT_TRUE(lessons(0)[0]->completed);
    home->progressReport->lessons->push_back("CH1L3");
    ASSERT_TRUE(home->progressReport->save().ok());
    EXPECT_EQ(home->progressReport->lessons, (std::vector<std::string>{"CH2L1", "CH1L3"}));
    EXPECT_FALSE(lessons(0)[0]->completed);
    EXPECT_FALSE(lessons(0)[1]->completed);
    EXPECT_TRUE(lessons(0)[2]->completed);
    EXPECT_TRUE(lessons(1)[0]->completed);
    EXPECT_EQ(progress(0), "1 / " + std::to_string(lessons(0).size()));
    EXPECT_EQ(progress(1), "1 / " + std::to_string(lessons(1).size()));
}

TEST_F(CompletionMarks, AFailedSaveKeepsWhatThisCopyCompleted) {
    auto other = ProgressReport::load(*otherStore);
    ASSERT_TRUE(
        other->save(*otherStore, [](ProgressReport& record) { record.lessons = std::vector<std::string>{}; })
            .ok());
    // The record cannot be read back for a while, so nothing can be saved.
    const std::filesystem::path file = ns::UserDefaults::standard().filePath();
    std::filesystem::rename(file, world.home.path() / "away.plist");
    std::filesystem::create_directories(file / "inside");
    home->progressReport->lessons->push_back("CH1L3");
    EXPECT_FALSE(home->progressReport->save().ok());
    EXPECT_TRUE(lessons(0)[0]->completed);
    EXPECT_TRUE(lessons(0)[2]->completed);
    EXPECT_EQ(progress(0), "3 / " + std::to_string(lessons(0).size()));
}

TEST(CatalogueReview, NotConsultedWhenThisVersionWasRatedOtherwiseCountedEachAppearance) {
    CatalogueWorld world;
    auto& home = world.launch();
    auto& defaults = ns::UserDefaults::standard();
    EXPECT_EQ(defaults.integerForKey(StoreKitRater::appLaunchesKey), 1);
    home.viewDidAppear(false);
    EXPECT_EQ(defaults.integerForKey(StoreKitRater::appLaunchesKey), 2);

    home.progressReport->appRated->push_back(CatalogueWorld::version);
    for (int i = 0; i < 30; ++i)
        home.viewDidAppear(false);
    EXPECT_EQ(defaults.integerForKey(StoreKitRater::appLaunchesKey), 2);
    EXPECT_EQ(svc::StoreReviewController::requestCount(), 0);
}

TEST(CatalogueReview, TheTwentyFirstAppearanceAsksTheStoreForAReview) {
    CatalogueWorld world;
    auto& home = world.launch();
    for (int i = 0; i < 19; ++i)
        home.viewDidAppear(false);
    EXPECT_EQ(svc::StoreReviewController::requestCount(), 0);
    home.viewDidAppear(false);
    EXPECT_EQ(svc::StoreReviewController::requestCount(), 1);
}

TEST(CatalogueReview, TheRatersOwnRequestAsksTheStoreAtMostThreeTimesAYear) {
    CatalogueWorld world; // a sandbox of its own, so the standard defaults start empty
    for (int call = 0; call < 5; ++call)
        StoreKitRater::requestReview(0);
    EXPECT_EQ(svc::StoreReviewController::requestCount(), 3);
}

} // namespace
