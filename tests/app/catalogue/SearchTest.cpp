#include "app/catalogue/SearchResultsTableViewController.hpp"
#include "app/lesson/LessonViewController.hpp"
#include "tests/support/CatalogueWorld.hpp"

#include <gtest/gtest.h>

namespace {

class Search : public ::testing::Test {
  protected:
    CatalogueWorld world;
    std::shared_ptr<SearchResultsTableViewController> screen;
    std::size_t lessonCount = 0;

    void SetUp() override {
        auto& home = world.launch();
        for (const auto& chapter : home.chapters)
            lessonCount += chapter->lessons.size();
        home.openSearch();
        world.settle();
        screen = world.top<SearchResultsTableViewController>();
        ASSERT_TRUE(screen);
    }
    void type(const std::string& text) {
        typeSearch(*screen->searchController, text);
        world.settle();
    }
    std::vector<svc::FakeBackendClient::FindRequest> searchFinds() {
        std::vector<svc::FakeBackendClient::FindRequest> out;
        for (const auto& f : world.backend->findRequests())
            if (f.query.className() == "SearchRequests") out.push_back(f);
        return out;
    }
    std::size_t searchFindIndex(std::size_t n) {
        std::size_t seen = 0;
        auto all = world.backend->findRequests();
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (all[i].query.className() == "SearchRequests" && seen++ == n) return i;
        }
        return all.size();
    }
    std::vector<svc::BackendObject> searchSaves() {
        std::vector<svc::BackendObject> out;
        for (const auto& s : world.backend->saveRequests())
            if (s.object.className() == "SearchRequests") out.push_back(s.object);
        return out;
    }
};

TEST_F(Search, ListsEveryLessonInCatalogueOrderUntilSomethingIsTyped) {
    EXPECT_TRUE(screen->searchController->isActive());
    ASSERT_EQ(screen->candies.size(), lessonCount);
    EXPECT_EQ(screen->tableView->numberOfRowsInSection(0), static_cast<int>(lessonCount));
    auto first = screen->tableView->cellForRowAtIndexPath({0, 0});
    ASSERT_TRUE(first);
    EXPECT_EQ(first->textLabel()->text(), screen->candies[0].lessonName);
    EXPECT_EQ(first->detailTextLabel()->text(), "SWIFT BASICS");
    EXPECT_EQ(screen->tableView->tableHeaderView(), screen->searchController->searchBar());
}

TEST_F(Search, TypingFiltersLiveAndClearingShowsAllAgain) {
    type("swift basics");
    std::size_t chapterOne = world.main().chapters[0]->lessons.size();
    EXPECT_EQ(screen->tableView->numberOfRowsInSection(0), static_cast<int>(chapterOne));
    type("no lesson is called this");
    EXPECT_EQ(screen->tableView->numberOfRowsInSection(0), 0);
    type("");
    EXPECT_EQ(screen->tableView->numberOfRowsInSection(0), static_cast<int>(lessonCount));
}

TEST_F(Search, ChoosingOpensTheLessonAtOnceWithItsOwnChapter) {
    type("IF STATEMENTS");
    ASSERT_GT(screen->tableView->numberOfRowsInSection(0), 1);
    ASSERT_TRUE(screen->tableView->selectRow({0, 1}));
    auto lesson = world.top<LessonViewController>();
    ASSERT_TRUE(lesson);
    auto chapter = world.main().chapters[2];
    EXPECT_EQ(lesson->chapter, chapter);
    EXPECT_EQ(lesson->lesson, chapter->lessons[1]);
    EXPECT_EQ(lesson->lessons,
              std::optional<std::int64_t>(static_cast<std::int64_t>(chapter->lessons.size())));
    EXPECT_EQ(lesson->progressReport, world.main().progressReport);
    EXPECT_FALSE(searchFinds().front().completed); // opened without waiting for the backend
}

TEST_F(Search, AChoiceWithTextStoresTheLessonIdAndTheSearchText) {
    type("iF sTaTeMeNtS");
    ASSERT_TRUE(screen->tableView->selectRow({0, 0}));
    auto finds = searchFinds();
    ASSERT_EQ(finds.size(), 1u);
    ASSERT_TRUE(finds[0].query.condition());
    EXPECT_EQ(finds[0].query.condition()->key, "lessonID");
    std::string id = world.main().chapters[2]->lessons[0]->lessonID.str();
    EXPECT_EQ(finds[0].query.condition()->equalTo, ns::PropertyList(id));
    EXPECT_TRUE(searchSaves().empty()); // nothing before the query has come back

    ns::ConsoleCapture console;
    ASSERT_TRUE(world.backend->completeFind(searchFindIndex(0), std::vector<svc::BackendObject>{}));
    world.settle();
    EXPECT_TRUE(console.contains("Successfully retrieved LessonID"));
    EXPECT_TRUE(console.contains("iF sTaTeMeNtS"));
    auto saves = searchSaves();
    ASSERT_EQ(saves.size(), 2u);
    EXPECT_EQ(saves[0].values().keys(), std::vector<std::string>{"lessonID"});
    EXPECT_EQ(*saves[0].objectForKey("lessonID"), ns::PropertyList(id));
    EXPECT_EQ(saves[1].values().keys(), std::vector<std::string>{"searchString"});
    EXPECT_EQ(*saves[1].objectForKey("searchString"), ns::PropertyList("iF sTaTeMeNtS"));
}

TEST_F(Search, AChoiceWithoutTextStoresOnlyTheLessonId) {
    ASSERT_TRUE(screen->tableView->selectRow({0, 0}));
    ASSERT_TRUE(world.backend->completeFind(searchFindIndex(0), std::vector<svc::BackendObject>{}));
    world.settle();
    auto saves = searchSaves();
    ASSERT_EQ(saves.size(), 1u);
    EXPECT_TRUE(saves[0].objectForKey("lessonID"));
}

TEST_F(Search, ABackendFailureOnlyPrintsAndTheLessonStaysOpen) {
    type("swift");
    ASSERT_TRUE(screen->tableView->selectRow({0, 0}));
    ns::ConsoleCapture console;
    auto error =
        ns::Error::make(svc::backendErrorDomain, 2, "The Internet connection appears to be offline.");
    ASSERT_TRUE(world.backend->completeFind(searchFindIndex(0), std::nullopt, error));
    world.settle();
    EXPECT_TRUE(console.contains("Error: " + error.description() + " " + error.localizedDescription()));
    EXPECT_TRUE(searchSaves().empty());
    EXPECT_TRUE(world.top<LessonViewController>());
}

TEST_F(Search, EndingTheSearchPrintsTheTextAsAnOptional) {
    type(R"(say "hi")");
    ns::ConsoleCapture console;
    screen->searchController->setActive(false);
    EXPECT_EQ(console.lines(), std::vector<std::string>{R"(Optional("say \"hi\""))"});
}

TEST_F(Search, TheSearchFieldGivingUpTheKeyboardDoesNotCloseTheLessonsKeyboard) {
    // Auto-run on and the error mark off: a keyboard of the lesson closing on a wrong answer would open
    // the hint.
    world.main().progressReport->autoRun = true;
    world.main().progressReport->showErrorIndicator = false;
    type("swift basics");
    ASSERT_TRUE(screen->searchController->searchBar()->searchTextField()->isEditing());
    ASSERT_TRUE(screen->tableView->selectRow({0, 0}));
    world.settle();
    auto lesson = world.top<LessonViewController>();
    ASSERT_TRUE(lesson);
    auto* field = lesson->lineHandles(static_cast<int>(lesson->lesson->textFieldInLine)).textField;
    ASSERT_TRUE(field->becomeFirstResponder()); // the first key: the search field resigns now
    EXPECT_TRUE(field->typeText("Q"));
    EXPECT_TRUE(lesson->helpView->isHidden());
    EXPECT_TRUE(field->isEditing());
    // Its own keyboard closing still opens the hint.
    field->resignFirstResponder();
    EXPECT_FALSE(lesson->helpView->isHidden());
}

} // namespace
