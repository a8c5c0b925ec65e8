#include "platform/dispatch/MainQueue.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/uikit/Application.hpp"
#include "platform/uikit/NavigationController.hpp"
#include "platform/uikit/SearchController.hpp"
#include "platform/uikit/TableViewController.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A lesson list in miniature: rows show titles and a flag that may change between reloads.
class ListController : public ui::TableViewController {
  public:
    std::vector<std::string> titles{"one", "two", "three"};
    std::vector<bool> done{false, false, false};
    std::vector<ui::IndexPath> selected;
    std::vector<std::string> prepared;
    bool returnNoCell = false;

    int numberOfRowsInSection(ui::TableView&, int) override { return static_cast<int>(titles.size()); }
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& table,
                                                             ui::IndexPath path) override {
        if (returnNoCell && path.row == 1) return nullptr;
        auto cell = table.dequeueReusableCell("Cell");
        if (!cell) cell = std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::subtitle, "Cell");
        cell->textLabel()->setText(titles[static_cast<std::size_t>(path.row)]);
        cell->setAccessoryType(done[static_cast<std::size_t>(path.row)]
                                   ? ui::TableViewCellAccessoryType::checkmark
                                   : ui::TableViewCellAccessoryType::none);
        return cell;
    }
    void didSelectRowAtIndexPath(ui::TableView&, ui::IndexPath path) override { selected.push_back(path); }
    void prepareForSegue(ui::StoryboardSegue& segue, ui::View* sender) override {
        auto* cell = dynamic_cast<ui::TableViewCell*>(sender);
        auto row = cell ? tableView()->indexPathForCell(*cell) : std::nullopt;
        prepared.push_back(segue.identifier() + ":" + (row ? std::to_string(row->row) : "none"));
    }
};

class TableViewOnMainQueue : public ::testing::Test {
  protected:
    void SetUp() override { dispatch::main().removeAll(); }
    void TearDown() override {
        ui::Application::shared().reset();
        dispatch::main().removeAll();
    }
    std::shared_ptr<ListController> list = std::make_shared<ListController>();
};

TEST_F(TableViewOnMainQueue, ReloadIsDeferredCoalescedAndSeesLaterChanges) {
    auto table = list->tableView();
    ASSERT_NE(table, nullptr);
    table->reloadData();
    table->reloadData();
    EXPECT_TRUE(table->hasPendingReload());
    EXPECT_EQ(table->numberOfRowsInSection(0), 0);
    list->done[2] = true; // set after the request, as the lesson list does
    dispatch::main().drain();
    EXPECT_EQ(table->reloadCount(), 1);
    ASSERT_EQ(table->numberOfRowsInSection(0), 3);
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 2})->accessoryType(),
              ui::TableViewCellAccessoryType::checkmark);
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 1})->textLabel()->text(), "two");
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 3}), nullptr);
    EXPECT_EQ(table->cellForRowAtIndexPath({1, 0}), nullptr);
}

TEST_F(TableViewOnMainQueue, CellsOfTheLastReloadAreReused) {
    auto table = list->tableView();
    table->reloadData();
    table->layoutIfNeeded();
    auto firstCells = table->visibleCells();
    list->titles.pop_back();
    table->reloadData();
    table->layoutIfNeeded();
    auto secondCells = table->visibleCells();
    ASSERT_EQ(secondCells.size(), 2u);
    for (auto& cell : secondCells) {
        EXPECT_NE(std::find(firstCells.begin(), firstCells.end(), cell), firstCells.end());
        EXPECT_EQ(cell->superview(), table.get());
    }
}

TEST_F(TableViewOnMainQueue, SelectingARowTellsTheDelegateAndFollowsTheRowSegue) {
    auto nav = std::make_shared<ui::NavigationController>(list);
    ui::Application::shared().setRootViewController(nav);
    list->registerSegue("lessonSegue", [] { return std::make_shared<ui::ViewController>(); });
    auto table = list->tableView();
    table->setRowSegue("lessonSegue", list);
    table->reloadData();
    table->layoutIfNeeded();

    EXPECT_FALSE(table->selectRow({0, 7}));
    ASSERT_TRUE(table->selectRow({0, 1}));
    EXPECT_EQ(list->selected, (std::vector<ui::IndexPath>{{0, 1}}));
    EXPECT_EQ(list->prepared, (std::vector<std::string>{"lessonSegue:1"}));
    EXPECT_EQ(nav->viewControllers().size(), 2u);
    EXPECT_EQ(table->indexPathForSelectedRow(), (ui::IndexPath{0, 1}));
    table->deselectRow({0, 1}, true);
    EXPECT_FALSE(table->indexPathForSelectedRow().has_value());
}

TEST_F(TableViewOnMainQueue, AMissingCellIsReplacedAndReported) {
    list->returnNoCell = true;
    ns::ConsoleCapture console;
    auto table = list->tableView();
    table->reloadData();
    table->layoutIfNeeded();
    EXPECT_EQ(table->numberOfRowsInSection(0), 3);
    EXPECT_NE(table->cellForRowAtIndexPath({0, 1}), nullptr);
    EXPECT_EQ(console.lines().size(), 1u);
}

struct SearchJournal : ui::SearchResultsUpdating, ui::SearchControllerDelegate {
    std::vector<std::string> events;
    void updateSearchResultsForSearchController(ui::SearchController& c) override {
        events.push_back("update:" + c.searchBar()->text());
    }
    void didPresentSearchController(ui::SearchController&) override { events.push_back("didPresent"); }
    void willDismissSearchController(ui::SearchController&) override { events.push_back("willDismiss"); }
};

TEST(SearchController, EditingActivatesAndEveryEditAsksForResults) {
    auto controller = std::make_shared<ui::SearchController>();
    auto journal = std::make_shared<SearchJournal>();
    controller->setSearchResultsUpdater(journal);
    controller->setDelegate(journal);
    auto bar = controller->searchBar();
    ASSERT_TRUE(bar->becomeFirstResponder());
    EXPECT_TRUE(controller->isActive());
    ASSERT_TRUE(bar->searchTextField()->typeText("ar"));
    ASSERT_TRUE(bar->searchTextField()->deleteBackward());
    controller->setActive(false);
    EXPECT_FALSE(bar->searchTextField()->isFirstResponder());
    std::vector<std::string> expected{"didPresent", "update:",     "update:ar",
                                      "update:a",   "willDismiss", "update:a"};
    EXPECT_EQ(journal->events, expected);

    controller.reset();
    EXPECT_TRUE(bar->becomeFirstResponder()) << "a bar that outlives its controller still works";
    EXPECT_TRUE(bar->searchTextField()->typeText("x"));
    bar->resignFirstResponder();
}

} // namespace
