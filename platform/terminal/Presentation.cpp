#include "platform/terminal/Presentation.hpp"

#include "platform/uikit/Animation.hpp"

#include <algorithm>

namespace term {

namespace {

ui::Color blend(ui::Color color, double alpha, ui::Color behind) {
    auto mix = [alpha](double a, double b) { return b + (a - b) * alpha; };
    return ui::Color{mix(color.red, behind.red), mix(color.green, behind.green), mix(color.blue, behind.blue),
                     color.alpha};
}

} // namespace

double shownAlpha(const ui::View* view) {
    if (!view) return 0;
    const auto& log = ui::AnimationLog::shared();
    const double now = ui::animationClockNow();
    double alpha = 1;
    for (const ui::View* v = view; v; v = v->superview()) {
        if (v->isHidden()) return 0;
        alpha *= std::clamp(log.presentation(v, "alpha", v->alpha(), now), 0.0, 1.0);
        if (alpha <= 0) return 0;
    }
    return alpha;
}

bool isShown(const ui::View* view) {
    return shownAlpha(view) > 0;
}

ui::Point shownCenter(const ui::View& view) {
    return ui::AnimationLog::shared().presentation(&view, "center", view.center(), ui::animationClockNow());
}

double shownScale(const ui::View& view) {
    return ui::AnimationLog::shared().presentation(&view, "transformScale", view.transformScale(),
                                                   ui::animationClockNow());
}

Style faded(Style style, double alpha, ui::Color behind) {
    alpha = std::clamp(alpha, 0.0, 1.0);
    if (alpha >= 1) return style;
    if (style.foreground) style.foreground = blend(*style.foreground, alpha, behind);
    if (style.background) style.background = blend(*style.background, alpha, behind);
    return style;
}

} // namespace term
