#pragma once
// A presenter draws one screen (a view controller's headless views) and turns keys into the events a
// touch would cause. It draws itself and declares its keys in one table, from which the front end both
// routes keys to it and draws its key line; the front end owns the loop, the navigation bar, the key
// line, modal alerts and resizing.
//
// Failure contract: presenters never throw; a view they expect but do not find is simply not drawn.
#include "platform/terminal/Canvas.hpp"
#include "platform/terminal/KeyTable.hpp"

namespace term {

// The colours every screen shares.
namespace palette {
inline constexpr ui::Color text = ui::Color::white();
inline constexpr ui::Color background = ui::Color::black();
inline constexpr ui::Color muted = ui::Color::rgb255(141, 141, 141);
inline constexpr ui::Color focus = ui::Color::rgb255(64, 64, 64);
inline constexpr ui::Color accent = ui::Color::rgb255(82, 208, 92);
inline constexpr ui::Color warning = ui::Color::rgb255(253, 95, 96);
} // namespace palette

struct Area {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

class Presenter {
  public:
    virtual ~Presenter() = default;
    // Draws the screen into `area` (the canvas minus the navigation bar and the key line).
    virtual void draw(Canvas& canvas, Area area) = 0;
    // The screen's keys. A key no enabled binding takes, or whose action did nothing, goes on to the
    // front end's own keys (Esc back); the key line shows the enabled bindings that have a text.
    virtual const KeyTable& keys() const = 0;
};

} // namespace term
