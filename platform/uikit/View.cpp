#include "platform/uikit/View.hpp"

#include "platform/uikit/Animation.hpp"

#include <algorithm>

namespace ui {

namespace {
View* gFirstResponder = nullptr;
}

View* firstResponder() {
    return gFirstResponder;
}

namespace detail {
void setFirstResponder(View* view) {
    gFirstResponder = view;
}
} // namespace detail

View::View() = default;

View::View(Rect frame) : frame_(frame) {}

View::~View() {
    if (gFirstResponder == this) gFirstResponder = nullptr;
    for (auto& sub : subviews_)
        sub->superview_ = nullptr;
}

void View::setHidden(bool hidden) {
    if (hidden_ != hidden) detail::recordChange(*this, "hidden", hidden_, hidden);
    hidden_ = hidden;
}

void View::setAlpha(double alpha) {
    alpha = std::clamp(alpha, 0.0, 1.0);
    if (alpha_ != alpha) detail::recordChange(*this, "alpha", alpha_, alpha);
    alpha_ = alpha;
}

void View::setBackgroundColor(Color color) {
    if (!(backgroundColor_ == color)) detail::recordChange(*this, "backgroundColor", backgroundColor_, color);
    backgroundColor_ = color;
}

void View::setCornerRadius(double radius) {
    if (cornerRadius_ != radius) detail::recordChange(*this, "cornerRadius", cornerRadius_, radius);
    cornerRadius_ = radius;
}

void View::setTransformScale(double scale) {
    if (transformScale_ != scale) detail::recordChange(*this, "transformScale", transformScale_, scale);
    transformScale_ = scale;
}

void View::setFrame(Rect frame) {
    if (!(frame_ == frame)) detail::recordChange(*this, "frame", frame_, frame);
    frame_ = frame;
}

void View::setCenter(Point center) {
    Point old = frame_.center();
    if (!(old == center)) detail::recordChange(*this, "center", old, center);
    frame_.origin = Point{center.x - frame_.size.width / 2, center.y - frame_.size.height / 2};
}

bool View::isVisible() const {
    for (const View* v = this; v; v = v->superview_) {
        if (v->hidden_ || v->alpha_ <= 0) return false;
    }
    return true;
}

bool View::addSubview(Ptr view) {
    return insertSubview(std::move(view), subviews_.size());
}

bool View::insertSubview(Ptr view, std::size_t index) {
    if (!view || view.get() == this || isDescendantOf(*view)) return false;
    if (view->superview_ == this) {
        // Moving within the same superview: take it out first so the index counts the others.
        auto it = std::find(subviews_.begin(), subviews_.end(), view);
        subviews_.erase(it);
    } else {
        view->removeFromSuperview();
    }
    index = std::min(index, subviews_.size());
    view->superview_ = this;
    subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(index), std::move(view));
    return true;
}

void View::removeFromSuperview() {
    View* parent = superview_;
    if (!parent) return;
    // The first responder leaves the screen with its view.
    if (gFirstResponder && gFirstResponder->isDescendantOf(*this)) gFirstResponder->resignFirstResponder();
    auto keep = shared_from_this(); // the parent may hold the last reference
    auto& list = parent->subviews_;
    list.erase(std::remove_if(list.begin(), list.end(), [this](const Ptr& p) { return p.get() == this; }),
               list.end());
    superview_ = nullptr;
}

bool View::isDescendantOf(const View& view) const {
    for (const View* v = this; v; v = v->superview_) {
        if (v == &view) return true;
    }
    return false;
}

View* View::viewWithTag(int tag) {
    if (tag_ == tag) return this;
    for (auto& sub : subviews_) {
        if (View* found = sub->viewWithTag(tag)) return found;
    }
    return nullptr;
}

bool View::isFirstResponder() const {
    return gFirstResponder == this;
}

bool View::endEditing(bool /*force*/) {
    View* responder = gFirstResponder;
    if (!responder || !responder->isDescendantOf(*this)) return true;
    responder->resignFirstResponder();
    return gFirstResponder == nullptr || !gFirstResponder->isDescendantOf(*this);
}

} // namespace ui
