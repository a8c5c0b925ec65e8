#pragma once
// View animations, headless: the animations block runs at once, so the model holds the end values right
// away, and the animation is recorded (timing, options, and every property it changed from -> to) in an
// inspectable log for tests and for the terminal, which may play it. The completion runs on the main
// queue once delay + duration have passed on the dispatch clock, with finished = true.
//
// The terminal draws what a screen would show mid-animation: AnimationLog::presentation() gives a
// property's value at a clock time, and nextChange() when the next frame is worth drawing.
//
// The log keeps the newest 256 animations plus any still running or waiting for their delay; older
// finished ones are dropped, so a long session does not grow it without bound.
//
// Changes are recorded for the animatable setters of View and for LayoutConstraint::setConstant. A
// property changed twice in one block is one entry (first "from", last "to"). A block nested in another
// animation block is recorded as its own animation. A change is kept under its object's identity, not
// its address, and goes when the object does (see Animatable.hpp); the animation stays in the log, its
// completion still runs.
//
// Thread-safety: main thread only.
#include "platform/uikit/Animatable.hpp"
#include "platform/uikit/Color.hpp"
#include "platform/uikit/Geometry.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace ui {

enum class AnimationOptions : std::uint32_t {
    none = 0,
    allowUserInteraction = 1u << 1,
    beginFromCurrentState = 1u << 2,
    curveEaseInOut = 0, // the default curve
    curveEaseIn = 1u << 16,
    curveEaseOut = 2u << 16,
    curveLinear = 3u << 16,
};
constexpr AnimationOptions operator|(AnimationOptions a, AnimationOptions b) {
    return static_cast<AnimationOptions>(static_cast<std::uint32_t>(a) | static_cast<std::uint32_t>(b));
}
// True when every bit of `flag` is set in `options`; curves compare as a whole (curveEaseOut is not
// mistaken for curveEaseIn).
bool hasOption(AnimationOptions options, AnimationOptions flag);

using AnimatedValue = std::variant<bool, double, Point, Rect, Color>;

struct PropertyChange {
    std::uint64_t target = 0; // the view's or constraint's animation identity
    std::string property;     // "alpha", "hidden", "backgroundColor", "frame", "center",
                              // "transformScale", "cornerRadius", "constant"
    AnimatedValue from;
    AnimatedValue to;
};

struct Animation {
    double duration = 0;
    double delay = 0;
    AnimationOptions options = AnimationOptions::none;
    double startTime = 0; // seconds on the dispatch clock when animate() was called
    std::vector<PropertyChange> changes;

    // The change of `property` on `object`, or nullptr.
    const PropertyChange* find(const Animatable* object, std::string_view property) const;
    double beginTime() const { return startTime + delay; }
    double endTime() const { return startTime + delay + duration; }
};

// Progress 0...1 along the options' timing curve for a linear progress `t` (clamped to 0...1).
double curveProgress(AnimationOptions options, double t);
// The value between `from` and `to` at progress `p` (numbers, points, rects and colours blend; a bool
// keeps `from` until p reaches 1). Values of different kinds give `to`.
AnimatedValue interpolate(const AnimatedValue& from, const AnimatedValue& to, double p);

// Seconds on the dispatch clock: the time animations are stamped with and presented at.
double animationClockNow();

using AnimationCompletion = std::function<void(bool finished)>;

void animate(double duration, double delay, AnimationOptions options, const std::function<void()>& animations,
             AnimationCompletion completion = {});
void animate(double duration, const std::function<void()>& animations, AnimationCompletion completion = {});

// The log of animations, oldest first.
class AnimationLog {
  public:
    static AnimationLog& shared();
    const std::vector<Animation>& entries() const { return entries_; }
    const Animation* last() const { return entries_.empty() ? nullptr : &entries_.back(); }
    // Every animation that changed `property` of `object`, oldest first.
    std::vector<const Animation*> animationsOf(const Animatable* object, const std::string& property) const;
    void clear() { entries_.clear(); }

    // What the screen shows of `property` of `object` at `time` (seconds on the dispatch clock), given
    // its model value. Animations started within one frame (1/60 s) of the newest animation of the
    // property form its current sequence (a blink is steps with growing delays); anything older is
    // replaced by it. Of that sequence the step that has begun last is shown: interpolated along its
    // curve while it runs, its "to" once done (the model value once the whole sequence is done). Before
    // the first step begins, the first step's "from". Without animations of it: the model value.
    AnimatedValue presentationValue(const Animatable* object, std::string_view property,
                                    const AnimatedValue& model, double time) const;
    template <typename T>
    T presentation(const Animatable* object, std::string_view property, const T& model, double time) const {
        AnimatedValue value = presentationValue(object, property, AnimatedValue{model}, time);
        const T* typed = std::get_if<T>(&value);
        return typed ? *typed : model;
    }

    // When the presentation of some property next changes: `time` itself while an animation is running,
    // the earliest begin still ahead while they all wait for their delays, nullopt when none is pending.
    std::optional<double> nextChange(double time) const;

    // Older finished animations are dropped once the log holds more than this many.
    static constexpr std::size_t kKeep = 256;

  private:
    friend void animate(double, double, AnimationOptions, const std::function<void()>&, AnimationCompletion);
    friend class Animatable;
    std::vector<Animation> entries_;
};

namespace detail {
// Called by the animatable setters; records only inside an animations block.
void recordChange(const Animatable& object, const char* property, const AnimatedValue& from,
                  const AnimatedValue& to);
bool isAnimating();
} // namespace detail

} // namespace ui
