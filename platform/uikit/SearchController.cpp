#include "platform/uikit/SearchController.hpp"

namespace ui {

SearchBar::SearchBar() : field_(std::make_shared<TextField>()) {
    field_->setFrame(Rect::make(8, 8, 359, 36));
}

SearchController::SearchController(std::shared_ptr<ViewController> searchResultsController)
    : searchBar_(std::make_shared<SearchBar>()), results_(std::move(searchResultsController)),
      alive_(std::make_shared<SearchController*>(this)) {
    searchBar_->addSubview(searchBar_->searchTextField());
    std::weak_ptr<SearchController*> weak = alive_;
    auto& field = *searchBar_->searchTextField();
    field.addTarget(
        [weak](Control&) {
            if (auto self = weak.lock()) (*self)->update();
        },
        ControlEvent::editingChanged);
    field.addTarget(
        [weak](Control&) {
            if (auto self = weak.lock()) (*self)->setActive(true);
        },
        ControlEvent::editingDidBegin);
}

SearchController::~SearchController() {
    alive_.reset();
}

void SearchController::setActive(bool active) {
    if (active == active_) return;
    auto delegate = delegate_.lock();
    if (active) {
        if (delegate) delegate->willPresentSearchController(*this);
        active_ = true;
        if (delegate) delegate->didPresentSearchController(*this);
    } else {
        if (delegate) delegate->willDismissSearchController(*this);
        active_ = false;
        searchBar_->resignFirstResponder();
        if (delegate) delegate->didDismissSearchController(*this);
    }
    update();
}

void SearchController::update() {
    if (auto updater = updater_.lock()) updater->updateSearchResultsForSearchController(*this);
}

} // namespace ui
