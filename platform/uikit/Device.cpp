#include "platform/uikit/Device.hpp"

#include "platform/foundation/NotificationCenter.hpp"

namespace ui {

Device& Device::current() {
    static Device device;
    return device;
}

void Device::setOrientation(DeviceOrientation orientation) {
    if (orientation_.exchange(orientation) == orientation) return;
    ns::NotificationCenter::defaultCenter().post(deviceOrientationDidChangeNotification, this);
}

} // namespace ui
