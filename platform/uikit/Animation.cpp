#include "platform/uikit/Animation.hpp"

#include "platform/dispatch/MainQueue.hpp"

namespace ui {

namespace {
constexpr std::uint32_t kCurveMask = 0xFu << 16;

// Animations whose block is running, innermost last.
std::vector<Animation>& active() {
    static std::vector<Animation> stack;
    return stack;
}
} // namespace

bool hasOption(AnimationOptions options, AnimationOptions flag) {
    auto o = static_cast<std::uint32_t>(options);
    auto f = static_cast<std::uint32_t>(flag);
    if ((o & ~kCurveMask & f) != (f & ~kCurveMask)) return false;
    // The curve is one value, not a set of bits; a request naming no curve says nothing about it,
    // except for the default curve, which is the value zero.
    if ((f & kCurveMask) != 0 || flag == AnimationOptions::curveEaseInOut)
        return (o & kCurveMask) == (f & kCurveMask);
    return true;
}

const PropertyChange* Animation::find(const void* object, const std::string& property) const {
    for (const auto& change : changes) {
        if (change.object == object && change.property == property) return &change;
    }
    return nullptr;
}

AnimationLog& AnimationLog::shared() {
    static AnimationLog log;
    return log;
}

std::vector<const Animation*> AnimationLog::animationsOf(const void* object,
                                                         const std::string& property) const {
    std::vector<const Animation*> out;
    for (const auto& entry : entries_) {
        if (entry.find(object, property)) out.push_back(&entry);
    }
    return out;
}

void animate(double duration, double delay, AnimationOptions options, const std::function<void()>& animations,
             AnimationCompletion completion) {
    if (duration < 0 || duration != duration) duration = 0;
    if (delay < 0 || delay != delay) delay = 0;
    Animation animation;
    animation.duration = duration;
    animation.delay = delay;
    animation.options = options;
    animation.startTime = dispatch::toSeconds(dispatch::clock().now());
    active().push_back(std::move(animation));
    if (animations) animations();
    Animation done = std::move(active().back());
    active().pop_back();
    AnimationLog::shared().entries_.push_back(std::move(done));
    if (completion) {
        dispatch::main().asyncAfter(delay + duration,
                                    [completion = std::move(completion)] { completion(true); });
    }
}

void animate(double duration, const std::function<void()>& animations, AnimationCompletion completion) {
    animate(duration, 0, AnimationOptions::none, animations, std::move(completion));
}

namespace detail {

void recordChange(const void* object, const char* property, const AnimatedValue& from,
                  const AnimatedValue& to) {
    auto& stack = active();
    if (stack.empty()) return;
    auto& changes = stack.back().changes;
    for (auto& change : changes) {
        if (change.object == object && change.property == property) {
            change.to = to;
            return;
        }
    }
    changes.push_back(PropertyChange{object, property, from, to});
}

bool isAnimating() {
    return !active().empty();
}

} // namespace detail

} // namespace ui
