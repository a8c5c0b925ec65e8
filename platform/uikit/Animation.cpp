#include "platform/uikit/Animation.hpp"

#include "platform/dispatch/MainQueue.hpp"

#include <algorithm>
#include <atomic>

namespace ui {

namespace {
constexpr std::uint32_t kCurveMask = 0xFu << 16;
// Animations started this close together are one sequence (set up by the same event).
constexpr double kFrame = 1.0 / 60;

double mix(double a, double b, double p) {
    return a + (b - a) * p;
}

struct Blend {
    double p;
    AnimatedValue operator()(bool a, bool b) const { return p >= 1 ? b : a; }
    AnimatedValue operator()(double a, double b) const { return mix(a, b, p); }
    AnimatedValue operator()(Point a, Point b) const { return Point{mix(a.x, b.x, p), mix(a.y, b.y, p)}; }
    AnimatedValue operator()(Rect a, Rect b) const {
        return Rect::make(mix(a.minX(), b.minX(), p), mix(a.minY(), b.minY(), p),
                          mix(a.size.width, b.size.width, p), mix(a.size.height, b.size.height, p));
    }
    AnimatedValue operator()(Color a, Color b) const {
        return Color{mix(a.red, b.red, p), mix(a.green, b.green, p), mix(a.blue, b.blue, p),
                     mix(a.alpha, b.alpha, p)};
    }
    template <typename A, typename B> AnimatedValue operator()(const A&, const B& b) const { return b; }
};

// Animations whose block is running, innermost last. Never destroyed, like the log: a view may outlive
// both at exit.
std::vector<Animation>& active() {
    static auto* stack = new std::vector<Animation>;
    return *stack;
}

std::uint64_t identityOf(const Animatable* object) {
    return object ? object->animationIdentity() : 0;
}

void forgetChanges(std::vector<Animation>& animations, std::uint64_t target) {
    for (auto& animation : animations)
        std::erase_if(animation.changes, [target](const PropertyChange& c) { return c.target == target; });
}
} // namespace

Animatable::Animatable() {
    static std::atomic<std::uint64_t> last{0};
    identity_ = last.fetch_add(1, std::memory_order_relaxed) + 1;
}

Animatable::Animatable(const Animatable&) : Animatable() {}

struct AnimatableAccess {
    static void markAnimated(const Animatable& object) { object.animated_ = true; }
};

Animatable::~Animatable() {
    if (!animated_) return;
    forgetChanges(AnimationLog::shared().entries_, identity_);
    forgetChanges(active(), identity_);
}

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

double curveProgress(AnimationOptions options, double t) {
    if (!(t > 0)) return 0;
    if (t >= 1) return 1;
    switch (static_cast<std::uint32_t>(options) & kCurveMask) {
    case static_cast<std::uint32_t>(AnimationOptions::curveEaseIn):
        return t * t;
    case static_cast<std::uint32_t>(AnimationOptions::curveEaseOut):
        return 1 - (1 - t) * (1 - t);
    case static_cast<std::uint32_t>(AnimationOptions::curveLinear):
        return t;
    default:
        return t * t * (3 - 2 * t);
    }
}

AnimatedValue interpolate(const AnimatedValue& from, const AnimatedValue& to, double p) {
    return std::visit(Blend{std::clamp(p, 0.0, 1.0)}, from, to);
}

double animationClockNow() {
    return dispatch::toSeconds(dispatch::clock().now());
}

const PropertyChange* Animation::find(const Animatable* object, std::string_view property) const {
    const std::uint64_t target = identityOf(object);
    for (const auto& change : changes) {
        if (change.target == target && change.property == property) return &change;
    }
    return nullptr;
}

AnimationLog& AnimationLog::shared() {
    static auto* log = new AnimationLog;
    return *log;
}

std::vector<const Animation*> AnimationLog::animationsOf(const Animatable* object,
                                                         const std::string& property) const {
    std::vector<const Animation*> out;
    for (const auto& entry : entries_) {
        if (entry.find(object, property)) out.push_back(&entry);
    }
    return out;
}

AnimatedValue AnimationLog::presentationValue(const Animatable* object, std::string_view property,
                                              const AnimatedValue& model, double time) const {
    // The property's animations, newest first, as far back as the newest one's sequence reaches.
    std::vector<std::pair<const Animation*, const PropertyChange*>> sequence;
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
        const PropertyChange* change = it->find(object, property);
        if (!change) continue;
        if (!sequence.empty() && it->startTime < sequence.front().first->startTime - kFrame) break;
        sequence.emplace_back(&*it, change);
    }
    if (sequence.empty()) return model;
    // The step that began last (the newest on a tie); before any began, the first to begin.
    const std::pair<const Animation*, const PropertyChange*>* shown = nullptr;
    const std::pair<const Animation*, const PropertyChange*>* first = nullptr;
    double lastEnd = 0;
    for (const auto& step : sequence) {
        const Animation& a = *step.first;
        lastEnd = std::max(lastEnd, a.endTime());
        if (!first || a.beginTime() < first->first->beginTime()) first = &step;
        if (a.beginTime() <= time && (!shown || a.beginTime() > shown->first->beginTime())) shown = &step;
    }
    if (!shown) return first->second->from;
    if (time >= lastEnd) return model;
    const Animation& a = *shown->first;
    if (time >= a.endTime()) return shown->second->to;
    double t = a.duration > 0 ? (time - a.beginTime()) / a.duration : 1;
    return interpolate(shown->second->from, shown->second->to, curveProgress(a.options, t));
}

std::optional<double> AnimationLog::nextChange(double time) const {
    std::optional<double> next;
    for (const auto& entry : entries_) {
        if (entry.changes.empty() || entry.endTime() <= time) continue;
        if (entry.beginTime() <= time) return time;
        if (!next || entry.beginTime() < *next) next = entry.beginTime();
    }
    return next;
}

void animate(double duration, double delay, AnimationOptions options, const std::function<void()>& animations,
             AnimationCompletion completion) {
    if (duration < 0 || duration != duration) duration = 0;
    if (delay < 0 || delay != delay) delay = 0;
    Animation animation;
    animation.duration = duration;
    animation.delay = delay;
    animation.options = options;
    animation.startTime = animationClockNow();
    active().push_back(std::move(animation));
    if (animations) animations();
    Animation done = std::move(active().back());
    active().pop_back();
    auto& entries = AnimationLog::shared().entries_;
    entries.push_back(std::move(done));
    if (entries.size() > AnimationLog::kKeep) {
        // Drop the oldest finished animations; running and waiting ones stay whatever their age.
        const double now = animationClockNow();
        const std::size_t older = entries.size() - AnimationLog::kKeep;
        std::vector<Animation> kept;
        kept.reserve(AnimationLog::kKeep + 1);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (i >= older || entries[i].endTime() > now) kept.push_back(std::move(entries[i]));
        }
        entries = std::move(kept);
    }
    if (completion) {
        dispatch::main().asyncAfter(delay + duration,
                                    [completion = std::move(completion)] { completion(true); });
    }
}

void animate(double duration, const std::function<void()>& animations, AnimationCompletion completion) {
    animate(duration, 0, AnimationOptions::none, animations, std::move(completion));
}

namespace detail {

void recordChange(const Animatable& object, const char* property, const AnimatedValue& from,
                  const AnimatedValue& to) {
    auto& stack = active();
    if (stack.empty()) return;
    auto& changes = stack.back().changes;
    const std::uint64_t target = object.animationIdentity();
    AnimatableAccess::markAnimated(object);
    for (auto& change : changes) {
        if (change.target == target && change.property == property) {
            change.to = to;
            return;
        }
    }
    changes.push_back(PropertyChange{target, property, from, to});
}

bool isAnimating() {
    return !active().empty();
}

} // namespace detail

} // namespace ui
