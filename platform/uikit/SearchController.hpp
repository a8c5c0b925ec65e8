#pragma once
// A search bar with its controller: the bar's text field, the active state, and the callbacks a search
// screen needs (results updating on every change of the text, and presentation events).
//
// The controller becomes active when the bar's field begins editing or when setActive(true) is called;
// the updater is asked for results on activation, after every user edit of the text and on deactivation.
// Deactivating resigns the field. Updater and delegate are held weakly. Main thread only.
#include "platform/uikit/TextField.hpp"
#include "platform/uikit/ViewController.hpp"

#include <memory>
#include <optional>
#include <string>

namespace ui {

class SearchController;

enum class SearchBarStyle { defaultStyle, prominent, minimal };

class SearchBar : public View {
  public:
    SearchBar();

    const std::shared_ptr<TextField>& searchTextField() const { return field_; }
    const std::string& text() const { return field_->text(); }
    // Programmatic: no updater call.
    void setText(std::string text) { field_->setText(std::move(text)); }
    const std::string& placeholder() const { return field_->placeholder(); }
    void setPlaceholder(std::string placeholder) { field_->setPlaceholder(std::move(placeholder)); }
    SearchBarStyle searchBarStyle() const { return style_; }
    void setSearchBarStyle(SearchBarStyle style) { style_ = style; }

    bool canBecomeFirstResponder() const override { return true; }
    // The bar's field becomes (or gives up) the first responder.
    bool becomeFirstResponder() override { return field_->becomeFirstResponder(); }
    bool resignFirstResponder() override { return field_->resignFirstResponder(); }

  private:
    std::shared_ptr<TextField> field_;
    SearchBarStyle style_ = SearchBarStyle::defaultStyle;
};

class SearchResultsUpdating {
  public:
    virtual ~SearchResultsUpdating() = default;
    virtual void updateSearchResultsForSearchController(SearchController& controller) = 0;
};

class SearchControllerDelegate {
  public:
    virtual ~SearchControllerDelegate() = default;
    virtual void willPresentSearchController(SearchController&) {}
    virtual void didPresentSearchController(SearchController&) {}
    virtual void willDismissSearchController(SearchController&) {}
    virtual void didDismissSearchController(SearchController&) {}
};

class SearchController : public ViewController {
  public:
    // Without a results screen the results show in the searching screen itself.
    explicit SearchController(std::shared_ptr<ViewController> searchResultsController = nullptr);
    ~SearchController() override;

    const std::shared_ptr<SearchBar>& searchBar() const { return searchBar_; }
    const std::shared_ptr<ViewController>& searchResultsController() const { return results_; }

    bool isActive() const { return active_; }
    void setActive(bool active);

    void setSearchResultsUpdater(std::weak_ptr<SearchResultsUpdating> updater) {
        updater_ = std::move(updater);
    }
    void setDelegate(std::weak_ptr<SearchControllerDelegate> delegate) { delegate_ = std::move(delegate); }

    bool obscuresBackgroundDuringPresentation() const { return obscuresBackground_; }
    void setObscuresBackgroundDuringPresentation(bool value) { obscuresBackground_ = value; }
    bool hidesNavigationBarDuringPresentation() const { return hidesNavigationBar_; }
    void setHidesNavigationBarDuringPresentation(bool value) { hidesNavigationBar_ = value; }

  private:
    void update();

    std::shared_ptr<SearchBar> searchBar_;
    std::shared_ptr<ViewController> results_;
    std::weak_ptr<SearchResultsUpdating> updater_;
    std::weak_ptr<SearchControllerDelegate> delegate_;
    bool active_ = false;
    bool obscuresBackground_ = true;
    bool hidesNavigationBar_ = true;
    // Lets the bar's callbacks reach the controller only while it lives (the bar may outlive it, e.g.
    // as a table header).
    std::shared_ptr<SearchController*> alive_;
};

} // namespace ui
