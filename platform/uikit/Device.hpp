#pragma once
// The device the app runs on, as far as its physical orientation goes. A terminal cannot tell, so the
// orientation is unknown unless set (tests pose as a turned device).
//
// Failure contract: none. Thread-safe; setting a different orientation posts
// deviceOrientationDidChangeNotification on the default notification centre, on the setting thread.
#include <atomic>

namespace ui {

inline constexpr const char* deviceOrientationDidChangeNotification =
    "UIDeviceOrientationDidChangeNotification";

// Numbered as on the phone.
enum class DeviceOrientation : long {
    unknown = 0,
    portrait = 1,
    portraitUpsideDown = 2,
    landscapeLeft = 3,
    landscapeRight = 4,
    faceUp = 5,
    faceDown = 6,
};

class Device {
  public:
    static Device& current();
    DeviceOrientation orientation() const { return orientation_.load(); }
    void setOrientation(DeviceOrientation orientation);

  private:
    std::atomic<DeviceOrientation> orientation_{DeviceOrientation::unknown};
};

} // namespace ui
