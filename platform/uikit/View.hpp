#pragma once
// The headless view: a node of the view tree with the properties the screens set and the terminal front
// end draws. Nothing is drawn here; the model holds end states (animations included, see Animation.hpp).
//
// Views are owned by shared_ptr: a superview owns its subviews, a subview knows its superview without
// owning it. Screens keep further handles as they like.
//
// Thread-safety: like every view class, main thread only.
//
// Failure contract: nothing throws. Alpha is clamped to 0...1; adding a view to itself or to one of its
// own descendants is refused (the tree stays a tree); removing a view that has no superview does nothing.
#include "platform/uikit/Animatable.hpp"
#include "platform/uikit/Color.hpp"
#include "platform/uikit/Geometry.hpp"

#include <cstddef>
#include <memory>
#include <vector>

namespace ui {

class View : public std::enable_shared_from_this<View>, public Animatable {
  public:
    using Ptr = std::shared_ptr<View>;

    View();
    explicit View(Rect frame);
    virtual ~View();
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    // Appearance. Setters of animatable properties (alpha, backgroundColor, frame, center, transform
    // scale, cornerRadius, hidden) are recorded when called inside ui::animate.
    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden);
    double alpha() const { return alpha_; }
    void setAlpha(double alpha);
    // Clear until set: a view without a background shows what lies behind it.
    Color backgroundColor() const { return backgroundColor_; }
    virtual void setBackgroundColor(Color color);
    double cornerRadius() const { return cornerRadius_; }
    void setCornerRadius(double radius);
    // Uniform scale transform (1 = identity).
    double transformScale() const { return transformScale_; }
    void setTransformScale(double scale);

    // Geometry in the superview's coordinates.
    Rect frame() const { return frame_; }
    void setFrame(Rect frame);
    Point center() const { return frame_.center(); }
    void setCenter(Point center);
    Rect bounds() const { return Rect{Point{}, frame_.size}; }

    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
    void setUserInteractionEnabled(bool enabled) { userInteractionEnabled_ = enabled; }

    // Shown on screen: neither it nor an ancestor is hidden, and none is fully transparent.
    bool isVisible() const;

    // The tree.
    const std::vector<Ptr>& subviews() const { return subviews_; }
    View* superview() const { return superview_; }
    // Moves `view` here (removing it from its old superview) as the topmost subview. Returns false when
    // refused (null, this view, or an ancestor of this view).
    bool addSubview(Ptr view);
    bool insertSubview(Ptr view, std::size_t index);
    void removeFromSuperview();
    bool isDescendantOf(const View& view) const; // true for the view itself
    // Depth-first search of this view and its descendants.
    View* viewWithTag(int tag);

    // Responders. Only text fields become first responder; at most one view in the app is it.
    virtual bool canBecomeFirstResponder() const { return false; }
    virtual bool becomeFirstResponder() { return false; }
    virtual bool resignFirstResponder() { return true; }
    bool isFirstResponder() const;
    // Makes the first responder, when it is this view or one of its descendants, resign. `force` is kept
    // for callers that pass it; nothing here can refuse. Returns true when no responder below is left.
    bool endEditing(bool force);

    // Layout requests. There is no layout engine: constraints hold constants that the terminal reads.
    // These calls are recorded so screens can be checked for asking.
    void setNeedsLayout() { ++needsLayoutRequests_; }
    virtual void layoutIfNeeded() { ++layoutIfNeededCalls_; }
    void setNeedsUpdateConstraints() { ++needsUpdateConstraintsRequests_; }
    void updateConstraintsIfNeeded() { ++updateConstraintsCalls_; }
    int layoutIfNeededCount() const { return layoutIfNeededCalls_; }
    int updateConstraintsCount() const { return updateConstraintsCalls_; }
    int needsLayoutCount() const { return needsLayoutRequests_; }

  private:
    bool hidden_ = false;
    double alpha_ = 1;
    Color backgroundColor_ = Color::clear();
    double cornerRadius_ = 0;
    double transformScale_ = 1;
    Rect frame_;
    int tag_ = 0;
    bool userInteractionEnabled_ = true;
    std::vector<Ptr> subviews_;
    View* superview_ = nullptr;
    int needsLayoutRequests_ = 0;
    int layoutIfNeededCalls_ = 0;
    int needsUpdateConstraintsRequests_ = 0;
    int updateConstraintsCalls_ = 0;
};

// The view that is first responder (a text field while it is edited), or nullptr.
View* firstResponder();

namespace detail {
void setFirstResponder(View* view);
} // namespace detail

} // namespace ui
