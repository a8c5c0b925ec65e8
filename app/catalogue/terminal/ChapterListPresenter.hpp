#pragma once
// The course home in the terminal: one line per chapter with its number, title, "c / n" and a progress
// bar; the focused row is highlighted. Enter opens the chapter, "/" search, "s" settings, "q" quits.
// ▲ and ▼ at the side mark chapters above and below the rows shown; a long title ends in "…".
//
// Failure contract: none; a chapter row without cells yet draws nothing.
#include "app/catalogue/MainViewController.hpp"
#include "app/catalogue/terminal/ListNavigation.hpp"
#include "platform/terminal/FrontEnd.hpp"
#include "platform/terminal/Presenter.hpp"

#include <cstddef>
#include <memory>
#include <string>

class ChapterListPresenter : public term::Presenter {
  public:
    // The progress bar's width on a wide screen; a narrow one gives its room to the titles first.
    static constexpr int barColumns = 20;
    // The bar's width for a screen `width` columns wide (0: no room for a bar).
    static int barColumnsFor(int width);
    // A row's "c / n" with both numbers right-aligned in `digits` columns (other forms as they are).
    static std::string alignedCount(const std::string& count, std::size_t digits);

    ChapterListPresenter(std::shared_ptr<MainViewController> screen, term::FrontEnd& frontEnd);
    void draw(term::Canvas& canvas, term::Area area) override;
    const term::KeyTable& keys() const override { return keys_; }

  private:
    bool tableKey(const term::Key& key);
    std::weak_ptr<MainViewController> screen_;
    term::FrontEnd& frontEnd_;
    ListNavigation list_;
    int pageRows_ = 10;
    term::KeyTable keys_;
};
