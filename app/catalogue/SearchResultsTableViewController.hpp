#pragma once
// Search over every lesson of the catalogue. Lists all lessons (lesson title, chapter title) and narrows
// the list as the learner types; choosing a row records the choice on the backend and opens the lesson
// at once ("LessonSegueFromSearch").
//
// `chapters` and `progressReport` are set by the course home before the view loads.
//
// Failure contract: a backend failure prints one "Error: " line and is otherwise ignored; it never
// blocks or undoes the navigation. Save outcomes are not looked at.
#include "app/catalogue/Candy.hpp"
#include "model/Chapter.hpp"
#include "model/ProgressReport.hpp"
#include "platform/services/BackendClient.hpp"
#include "platform/uikit/SearchController.hpp"
#include "platform/uikit/TableView.hpp"
#include "platform/uikit/ViewController.hpp"

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

class SearchResultsTableViewController : public ui::ViewController,
                                         public ui::TableViewDataSource,
                                         public ui::TableViewDelegate,
                                         public ui::SearchResultsUpdating,
                                         public ui::SearchControllerDelegate {
  public:
    SearchResultsTableViewController();

    std::vector<Chapter::Ptr> chapters;
    std::vector<Candy> candies;
    std::vector<Candy> filteredCandies;
    ProgressReport::Ptr progressReport;
    std::optional<Candy> selectedCandy;
    // No separate results screen: the results show in this screen's own table.
    std::shared_ptr<ui::SearchController> searchController;
    std::shared_ptr<ui::TableView> tableView;
    bool definesPresentationContext = false;

    void loadView() override;
    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;

    int numberOfSectionsInTableView(ui::TableView&) override { return 1; }
    int numberOfRowsInSection(ui::TableView& tableView, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& tableView,
                                                             ui::IndexPath indexPath) override;
    void didSelectRowAtIndexPath(ui::TableView& tableView, ui::IndexPath indexPath) override;
    void prepareForSegue(ui::StoryboardSegue& segue, ui::View* sender) override;

    void updateSearchResultsForSearchController(ui::SearchController& searchController) override;
    void didPresentSearchController(ui::SearchController& searchController) override;
    void willDismissSearchController(ui::SearchController& searchController) override;

    std::vector<Candy> filterCandies(const std::vector<Candy>& candies, std::string_view searchText) const;
    void logSearchRequest();

    // What the table shows: the matches while searching with a text, else every entry.
    const std::vector<Candy>& displayedCandies() const;
};
