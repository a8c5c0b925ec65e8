#pragma once
// Whatever an animation can change a property of: views and layout constraints. Each has an identity
// that no other object ever gets, not even one made later at the same address, and its animations end
// with it: when it is destroyed the log forgets what they changed of it. A view freed while its fade-in
// still waits for its delay therefore leaves nothing behind for a view that takes its place in memory,
// and nothing that would wake the screen to draw it.
//
// Thread-safety: main thread only, like the views.
#include <cstdint>

namespace ui {

class Animatable {
  public:
    // Never 0, never given twice in one process.
    std::uint64_t animationIdentity() const { return identity_; }

  protected:
    Animatable();
    // A copy is another object: an identity of its own, none of the original's animations.
    Animatable(const Animatable&);
    Animatable& operator=(const Animatable&) { return *this; }
    ~Animatable();

  private:
    friend struct AnimatableAccess;
    std::uint64_t identity_;
    // Set once an animation has recorded a change of this object: only such an object has anything in
    // the log to forget when it goes, so the many views that never animate are destroyed without a
    // look at the log.
    mutable bool animated_ = false;
};

} // namespace ui
