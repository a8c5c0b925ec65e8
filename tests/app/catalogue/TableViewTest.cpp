#include "app/catalogue/standins/TableView.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/foundation/Console.hpp"

#include <gtest/gtest.h>

namespace {

struct Rows : TableViewDataSource {
    std::vector<std::string> texts;
    int made = 0;
    int reused = 0;
    bool failLast = false;
    int numberOfRows(TableView&, int) override { return static_cast<int>(texts.size()); }
    std::shared_ptr<TableViewCell> cellForRow(TableView& table, IndexPath indexPath) override {
        if (failLast && indexPath.row + 1 == static_cast<int>(texts.size())) return nullptr;
        auto cell = table.dequeueReusableCell("Cell");
        if (cell)
            ++reused;
        else {
            cell = std::make_shared<TableViewCell>(CellStyle::defaultStyle, "Cell");
            ++made;
        }
        cell->textLabel()->setText(texts[static_cast<std::size_t>(indexPath.row)]);
        return cell;
    }
};

class TableViewTest : public ::testing::Test {
  protected:
    std::shared_ptr<TableView> table = std::make_shared<TableView>();
    Rows rows;
    void SetUp() override {
        dispatch::main().bindToCurrentThread();
        dispatch::main().removeAll();
        table->setDataSource(&rows);
    }
    void TearDown() override { dispatch::main().removeAll(); }
};

TEST_F(TableViewTest, ReloadIsDeferredToTheNextLayoutPassAndCoalesced) {
    rows.texts = {"a", "b"};
    table->reloadData();
    table->reloadData();
    EXPECT_EQ(table->numberOfRows(), 0);
    rows.texts.push_back("c"); // a change made after the request still shows
    dispatch::main().drain();
    EXPECT_EQ(table->layoutPasses(), 1);
    EXPECT_EQ(table->reloadRequests(), 2);
    ASSERT_EQ(table->numberOfRows(), 3);
    EXPECT_EQ(table->visibleCells()[2]->textLabel()->text(), "c");
}

TEST_F(TableViewTest, CellsOfThePreviousPassAreReused) {
    rows.texts = {"a", "b"};
    table->reloadData();
    table->layoutIfNeeded();
    auto first = table->visibleCells()[0];
    table->reloadData();
    table->layoutIfNeeded();
    EXPECT_EQ(rows.made, 2);
    EXPECT_EQ(rows.reused, 2);
    EXPECT_EQ(table->indexPathForCell(first.get()).has_value(), true);
}

TEST_F(TableViewTest, MissingCellsAndBadRowsNeverCrash) {
    rows.texts = {"a", "b"};
    rows.failLast = true;
    ns::ConsoleCapture console;
    table->reloadData();
    table->layoutIfNeeded();
    EXPECT_EQ(table->numberOfRows(), 2);
    EXPECT_EQ(console.lines().size(), 1u);
    int selected = -1;
    table->setSelectionHandler(
        [&](TableView&, IndexPath indexPath, TableViewCell&) { selected = indexPath.row; });
    EXPECT_FALSE(table->selectRow({0, 2}));
    EXPECT_FALSE(table->selectRow({0, -1}));
    EXPECT_FALSE(table->selectRow({1, 0}));
    EXPECT_EQ(selected, -1);
    EXPECT_TRUE(table->selectRow({0, 1}));
    EXPECT_EQ(selected, 1);
    EXPECT_FALSE(table->indexPathForCell(nullptr));
}

TEST_F(TableViewTest, ADestroyedTableIgnoresItsPendingPass) {
    rows.texts = {"a"};
    table->reloadData();
    table.reset();
    EXPECT_NO_FATAL_FAILURE(dispatch::main().drain());
}

} // namespace
