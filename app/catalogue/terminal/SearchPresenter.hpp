#pragma once
// Search in the terminal: the search field on top (typing filters at once), then the matching lessons
// with their chapters. Enter opens the focused lesson, Esc goes back.
//
// Failure contract: none.
#include "app/catalogue/SearchResultsTableViewController.hpp"
#include "app/catalogue/terminal/ListNavigation.hpp"
#include "platform/terminal/Presenter.hpp"

#include <memory>

class SearchPresenter : public term::Presenter {
  public:
    explicit SearchPresenter(std::shared_ptr<SearchResultsTableViewController> screen);
    void draw(term::Canvas& canvas, term::Area area) override;
    const term::KeyTable& keys() const override { return keys_; }

  private:
    std::weak_ptr<SearchResultsTableViewController> screen_;
    ListNavigation list_;
    int pageRows_ = 10;
    term::KeyTable keys_;
};
