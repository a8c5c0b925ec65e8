#include "app/catalogue/SearchResultsTableViewController.hpp"

#include "app/catalogue/Describe.hpp"
#include "app/lesson/LessonViewController.hpp"
#include "platform/foundation/Console.hpp"

SearchResultsTableViewController::SearchResultsTableViewController()
    : searchController(std::make_shared<ui::SearchController>(nullptr)) {}

void SearchResultsTableViewController::loadView() {
    ui::ViewController::loadView();
    tableView = std::make_shared<ui::TableView>(view()->bounds());
    view()->addSubview(tableView);
    auto self = std::dynamic_pointer_cast<SearchResultsTableViewController>(weak_from_this().lock());
    tableView->setDataSource(self);
    tableView->setDelegate(self);
}

void SearchResultsTableViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    auto self = std::dynamic_pointer_cast<SearchResultsTableViewController>(weak_from_this().lock());
    searchController->setSearchResultsUpdater(self);
    searchController->setDelegate(self);
    definesPresentationContext = true;
    searchController->setObscuresBackgroundDuringPresentation(false);
    searchController->searchBar()->setSearchBarStyle(ui::SearchBarStyle::minimal);
    // The typed text is white on the dark screen.
    if (const auto& field = searchController->searchBar()->searchTextField())
        field->setTextColor(ui::Color::white());
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
    if (searchController->isActive() && !searchController->searchBar()->text().empty())
        return filteredCandies;
    return candies;
}

int SearchResultsTableViewController::numberOfRowsInSection(ui::TableView&, int) {
    return static_cast<int>(displayedCandies().size());
}

std::shared_ptr<ui::TableViewCell>
SearchResultsTableViewController::cellForRowAtIndexPath(ui::TableView& table, ui::IndexPath indexPath) {
    auto cell = table.dequeueReusableCell("Cell");
    if (!cell) cell = std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::subtitle, "Cell");
    const auto& candy = displayedCandies().at(static_cast<std::size_t>(indexPath.row));
    cell->textLabel()->setText(candy.lessonName);
    cell->detailTextLabel()->setText(candy.chapterName);
    return cell;
}

void SearchResultsTableViewController::didSelectRowAtIndexPath(ui::TableView&, ui::IndexPath indexPath) {
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

void SearchResultsTableViewController::updateSearchResultsForSearchController(
    ui::SearchController& controller) {
    filteredCandies = filterCandies(candies, controller.searchBar()->text());
    tableView->reloadData();
}

void SearchResultsTableViewController::didPresentSearchController(ui::SearchController& controller) {
    controller.searchBar()->becomeFirstResponder();
}

void SearchResultsTableViewController::willDismissSearchController(ui::SearchController& controller) {
    // The bar's text is an optional on the phone, printed as such.
    ns::console(describeOptionalText(controller.searchBar()->text()));
}

std::vector<Candy> SearchResultsTableViewController::filterCandies(const std::vector<Candy>& entries,
                                                                   std::string_view searchText) const {
    return ::filterCandies(entries, searchText);
}

void SearchResultsTableViewController::logSearchRequest() {
    if (!selectedCandy) return;
    std::string lessonID = selectedCandy->lesson->lessonID.str();
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

            const std::string text = self->searchController->searchBar()->text();
            ns::console(text);
            if (text.empty()) return;
            svc::BackendObject searched("SearchRequests");
            searched.setObject("searchString", text);
            backend->saveInBackground(searched, [](bool, std::optional<ns::Error>) {});
        });
}
