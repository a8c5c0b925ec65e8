#pragma once
// The search controller and its search bar, as the search screen uses them: the bar holds the text the
// person types, and every change of that text asks the results updater to update; becoming active and
// being dismissed are reported to the delegate.
//
// Failure contract: none. Main thread only. The updater and delegate are not owned.
#include "platform/uikit/Color.hpp"
#include "platform/uikit/View.hpp"

#include <optional>
#include <string>

class SearchController;

class SearchResultsUpdating {
  public:
    virtual ~SearchResultsUpdating() = default;
    virtual void updateSearchResults(SearchController& searchController) = 0;
};

class SearchControllerDelegate {
  public:
    virtual ~SearchControllerDelegate() = default;
    virtual void didPresentSearchController(SearchController&) {}
    virtual void willDismissSearchController(SearchController&) {}
};

enum class SearchBarStyle { defaultStyle, prominent, minimal };

class SearchBar : public ui::View {
  public:
    // Absent only before anything was ever typed; the phone's bar answers "" then too, so callers
    // may treat absent and empty alike.
    const std::optional<std::string>& text() const { return text_; }
    SearchBarStyle searchBarStyle() const { return style_; }
    void setSearchBarStyle(SearchBarStyle style) { style_ = style; }
    ui::Color textColor() const { return textColor_; }
    void setTextColor(ui::Color color) { textColor_ = color; }

    bool canBecomeFirstResponder() const override { return true; }
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;

  private:
    friend class SearchController;
    std::optional<std::string> text_ = std::string();
    SearchBarStyle style_ = SearchBarStyle::defaultStyle;
    ui::Color textColor_ = ui::Color::black();
};

class SearchController {
  public:
    SearchController();

    const std::shared_ptr<SearchBar>& searchBar() const { return searchBar_; }

    void setSearchResultsUpdater(SearchResultsUpdating* updater) { updater_ = updater; }
    void setDelegate(SearchControllerDelegate* delegate) { delegate_ = delegate; }
    bool dimsBackgroundDuringPresentation() const { return dims_; }
    void setDimsBackgroundDuringPresentation(bool dims) { dims_ = dims; }

    bool isActive() const { return active_; }
    // Activating presents the search (the delegate hears of it); deactivating dismisses it.
    void setActive(bool active);

    // The person's typing: replaces the bar's text and asks the updater to update.
    void setSearchText(std::string text);

  private:
    std::shared_ptr<SearchBar> searchBar_;
    SearchResultsUpdating* updater_ = nullptr;
    SearchControllerDelegate* delegate_ = nullptr;
    bool dims_ = true;
    bool active_ = false;
};
