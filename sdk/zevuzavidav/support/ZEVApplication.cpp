#include "sdk/zevuzavidav/support/ZEVApplication.hpp"

#include "sdk/zevuzavidav/support/ZEVPlatformFacts.hpp"

#include <chrono>
#include <thread>

std::optional<std::string> ZEVApplicationExtensionPointIdentifier() {
    return ZEVCurrentPlatformFacts().extensionPointIdentifier;
}

bool ZEVApplicationIsExtension() {
    return ZEVApplicationExtensionPointIdentifier().has_value();
}

ZEVActivityToken ZEVApplicationBeginActivity(std::uint64_t options, const std::string& reason) {
    return ZEVActivityToken{options, reason};
}

void ZEVApplicationEndActivity(const ZEVActivityToken&) {}

void ZEVApplicationActivity(std::uint64_t options, const std::string& reason,
                            const std::function<void()>& block) {
    ZEVActivityToken token = ZEVApplicationBeginActivity(options, reason);
    if (block) block();
    ZEVApplicationEndActivity(token);
}

void ZEVDispatchAfter(const std::shared_ptr<ZEVSerialQueue>& queue, std::function<void()> block,
                      float seconds) {
    if (!queue || !block) return;
    auto delay = std::chrono::nanoseconds(static_cast<std::int64_t>((seconds > 0 ? seconds : 0) * 1e9));
    std::thread([queue, block = std::move(block), delay]() mutable {
        std::this_thread::sleep_for(delay);
        queue->async(std::move(block));
    }).detach();
}
