#include "platform/services/DeviceInfo.hpp"

#include <cstring>
#include <mutex>
#include <sys/utsname.h>

namespace svc {
namespace {

std::mutex& overrideMutex() {
    static std::mutex m;
    return m;
}

std::optional<std::string>& overrideValue() {
    static std::optional<std::string> v;
    return v;
}

} // namespace

std::string deviceMachineIdentifier() {
    {
        std::lock_guard lock(overrideMutex());
        if (overrideValue()) return *overrideValue();
    }
    struct utsname info;
    std::memset(&info, 0, sizeof info);
    if (::uname(&info) != 0) return {};
    return std::string(info.machine, ::strnlen(info.machine, sizeof info.machine));
}

void setDeviceMachineIdentifierOverride(std::optional<std::string> identifier) {
    std::lock_guard lock(overrideMutex());
    overrideValue() = std::move(identifier);
}

} // namespace svc
