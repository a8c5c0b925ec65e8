#pragma once
// Facts about the main screen. Settable so that tests and the terminal can pose as a given device.
// Defaults: a 750 x 1334-pixel screen at scale 2 (375 x 667 points). Main thread only.
#include "platform/uikit/Geometry.hpp"

namespace ui {

class Screen {
  public:
    static Screen& main();

    // Pixels.
    Rect nativeBounds() const { return nativeBounds_; }
    void setNativeBounds(Rect bounds) { nativeBounds_ = bounds; }
    double scale() const { return scale_; }
    // A scale of 0 or less is ignored.
    void setScale(double scale);
    // Points: native bounds divided by the scale.
    Rect bounds() const;
    void reset();

  private:
    Rect nativeBounds_ = Rect::make(0, 0, 750, 1334);
    double scale_ = 2;
};

} // namespace ui
