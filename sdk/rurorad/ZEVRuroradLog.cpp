#include "sdk/rurorad/ZEVRuroradLog.hpp"

#include "platform/foundation/Console.hpp"
#include "sdk/zovaze/base/DebugFlag.hpp"

namespace {
constexpr std::string_view kTag = "[Zevuzavidav:Rurorad] ";
}

void ZEVRuroradLog(std::string_view message) {
    std::string line;
    line.reserve(kTag.size() + message.size());
    line.append(kTag).append(message);
    ns::console(line);
}

bool ZEVRuroradDebugEnabled() {
    return zovaze::debugFlag();
}

void ZEVRuroradDebugLog(std::string_view message) {
    if (ZEVRuroradDebugEnabled()) ZEVRuroradLog(message);
}
