#include "app/catalogue/SearchResultsTableViewController.hpp"

#include "app/lesson/LessonViewController.hpp"
#include "platform/foundation/Console.hpp"

SearchResultsTableViewController::SearchResultsTableViewController()
    : searchController(std::make_shared<SearchController>()) {}

void SearchResultsTableViewController::loadView() {
    ui::ViewController::loadView();
    tableView = std::make_shared<TableView>();
    tableView->setFrame(view()->bounds());
    view()->addSubview(tableView);
    tableView->setDataSource(this);
    tableView->setSelectionHandler(
        [this](TableView& table, IndexPath indexPath, TableViewCell&) { didSelectRow(table, indexPath); });
}

void SearchResultsTableViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    searchController->setSearchResultsUpdater(this);
    searchController->setDelegate(this);
    definesPresentationContext = true;
    searchController->setDimsBackgroundDuringPresentation(false);
    searchController->searchBar()->setSearchBarStyle(SearchBarStyle::minimal);
    searchController->searchBar()->setTextColor(ui::Color::white());
    tableView->setTableHeaderView(searchController->searchBar());
    candies = makeCandies(chapters);
    tableView->setBackgroundColor(ui::Color::black());
}

void SearchResultsTableViewController::viewDidAppear(bool animated) {
    ui::ViewController::viewDidAppear(animated);
    searchController->searchBar()->becomeFirstResponder();
    searchController->setActive(true);
}

const std::vector<Candy>& SearchResultsTableViewController::displayedCandies() const {
    const auto& text = searchController->searchBar()->text();
    if (searchController->isActive() && text && !text->empty()) return filteredCandies;
    return candies;
}

int SearchResultsTableViewController::numberOfRows(TableView&, int) {
    return static_cast<int>(displayedCandies().size());
}

std::shared_ptr<TableViewCell> SearchResultsTableViewController::cellForRow(TableView& table,
                                                                            IndexPath indexPath) {
    auto cell = table.dequeueReusableCell("Cell");
    if (!cell) cell = std::make_shared<TableViewCell>(CellStyle::subtitle, "Cell");
    const auto& candy = displayedCandies().at(static_cast<std::size_t>(indexPath.row));
    cell->textLabel()->setText(candy.lessonName);
    cell->detailTextLabel()->setText(candy.chapterName);
    return cell;
}

void SearchResultsTableViewController::didSelectRow(TableView&, IndexPath indexPath) {
    const auto& shown = displayedCandies();
    if (indexPath.row < 0 || static_cast<std::size_t>(indexPath.row) >= shown.size()) return;
    selectedCandy = shown[static_cast<std::size_t>(indexPath.row)];
    logSearchRequest();
    performSegue("LessonSegueFromSearch", nullptr);
}

void SearchResultsTableViewController::prepareForSegue(ui::StoryboardSegue& segue, ui::View*) {
    if (segue.identifier() != "LessonSegueFromSearch" || !selectedCandy) return;
    auto destination = std::dynamic_pointer_cast<LessonViewController>(segue.destination());
    if (!destination) return;
    destination->lesson = selectedCandy->lesson;
    destination->chapter = selectedCandy->chapter;
    destination->lessons = static_cast<std::int64_t>(selectedCandy->chapter->lessons.size());
    destination->progressReport = progressReport;
}

void SearchResultsTableViewController::updateSearchResults(SearchController& controller) {
    filteredCandies = filterCandies(candies, controller.searchBar()->text().value_or(""));
    tableView->reloadData();
}

void SearchResultsTableViewController::didPresentSearchController(SearchController& controller) {
    controller.searchBar()->becomeFirstResponder();
}

void SearchResultsTableViewController::willDismissSearchController(SearchController& controller) {
    const auto& text = controller.searchBar()->text();
    ns::console(text ? "Optional(\"" + *text + "\")" : "nil");
}

std::vector<Candy> SearchResultsTableViewController::filterCandies(const std::vector<Candy>& entries,
                                                                   std::string_view searchText) const {
    return ::filterCandies(entries, searchText);
}

void SearchResultsTableViewController::logSearchRequest() {
    if (!selectedCandy) return;
    std::string lessonID = selectedCandy->lesson->lessonID;
    svc::BackendQuery query("SearchRequests");
    query.whereKey("lessonID", lessonID);
    auto backend = svc::sharedBackendClient();
    // The completion keeps this screen alive: it reads the search bar after the lesson has opened.
    auto self = std::static_pointer_cast<SearchResultsTableViewController>(shared_from_this());
    // The client is not kept alive by its own callback.
    std::weak_ptr<svc::BackendClient> weakBackend = backend;
    backend->findObjectsInBackground(
        query, [self, weakBackend, lessonID](auto, std::optional<ns::Error> error) {
            if (error) {
                ns::console("Error: " + error->description() + " " + error->localizedDescription());
                return;
            }
            ns::console("Successfully retrieved LessonID");
            auto backend = weakBackend.lock();
            if (!backend) return;
            svc::BackendObject request("SearchRequests");
            request.setObject("lessonID", lessonID);
            backend->saveInBackground(request, [](bool, std::optional<ns::Error>) {});

            const auto& text = self->searchController->searchBar()->text();
            if (!text) return;
            ns::console(*text);
            if (text->empty()) return;
            svc::BackendObject searched("SearchRequests");
            searched.setObject("searchString", *text);
            backend->saveInBackground(searched, [](bool, std::optional<ns::Error>) {});
        });
}
