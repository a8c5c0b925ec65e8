#include "app/catalogue/standins/SearchController.hpp"

bool SearchBar::becomeFirstResponder() {
    // One first responder app-wide: whoever edits now stops first.
    if (auto* current = ui::firstResponder(); current && current != this) current->resignFirstResponder();
    ui::detail::setFirstResponder(this);
    return true;
}

bool SearchBar::resignFirstResponder() {
    if (isFirstResponder()) ui::detail::setFirstResponder(nullptr);
    return true;
}

SearchController::SearchController() : searchBar_(std::make_shared<SearchBar>()) {}

void SearchController::setActive(bool active) {
    if (active == active_) return;
    if (!active && delegate_) delegate_->willDismissSearchController(*this);
    active_ = active;
    if (active && delegate_) delegate_->didPresentSearchController(*this);
    if (updater_) updater_->updateSearchResults(*this);
}

void SearchController::setSearchText(std::string text) {
    searchBar_->text_ = std::move(text);
    if (updater_) updater_->updateSearchResults(*this);
}
