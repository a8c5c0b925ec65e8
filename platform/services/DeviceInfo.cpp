#include "platform/services/DeviceInfo.hpp"

#include "platform/services/ServiceSlot.hpp"

#include <cstring>
#include <sys/utsname.h>

namespace svc {
namespace {
ServiceSlot<std::optional<std::string>>& slot() {
    static ServiceSlot<std::optional<std::string>> s;
    return s;
}
} // namespace

std::string deviceMachineIdentifier() {
    if (auto identifier = slot().get()) return *identifier;
    struct utsname info;
    std::memset(&info, 0, sizeof info);
    if (::uname(&info) != 0) return {};
    return std::string(info.machine, ::strnlen(info.machine, sizeof info.machine));
}

std::optional<std::string> setDeviceMachineIdentifierOverride(std::optional<std::string> identifier) {
    return slot().exchange(std::move(identifier));
}

} // namespace svc
