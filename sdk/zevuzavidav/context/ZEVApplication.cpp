#include "sdk/zevuzavidav/context/ZEVApplication.hpp"

#include "platform/dispatch/GlobalQueue.hpp"
#include "platform/dispatch/Operation.hpp"
#include "platform/foundation/Bundle.hpp"
#include "platform/uikit/Application.hpp"
#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/context/PlatformFacts.hpp"

#include <cmath>

namespace {

// seconds × 10⁹ as a dispatch offset; a delay that is negative or not a number runs at once, and one
// too long for the offset waits as long as the offset allows.
std::int64_t delayNanoseconds(double seconds) {
    if (!(seconds > 0)) return 0;
    double nanoseconds = seconds * 1e9;
    constexpr double kLongest = 9.0e18;
    return nanoseconds >= kLongest ? static_cast<std::int64_t>(kLongest)
                                   : static_cast<std::int64_t>(nanoseconds);
}

} // namespace

std::optional<std::string> zevuzavidav::extensionPointIdentifierOfMainBundle() {
    const ns::PropertyList* entry = ns::Bundle::main().objectForInfoDictionaryKey("NSExtension");
    if (entry == nullptr) return std::nullopt;
    const auto* extension = entry->dictionaryValue();
    if (extension == nullptr) {
        ZEVSDKLog("%s: Error: NSExtension Info.plist entry is mal-formed\n",
                  "ZEVApplicationExtensionPointIdentifier");
        return std::nullopt;
    }
    const ns::PropertyList* identifier = extension->find("NSExtensionPointIdentifier");
    if (identifier == nullptr || identifier->stringValue() == nullptr) {
        ZEVSDKLog("%s: Error: NSExtensionPointIdentifier Info.plist entry is mal-formed\n",
                  "ZEVApplicationExtensionPointIdentifier");
        return std::nullopt;
    }
    return *identifier->stringValue();
}

std::optional<std::string> ZEVApplicationExtensionPointIdentifier() {
    return zevuzavidav::currentPlatformFacts().extensionPointIdentifier;
}

bool ZEVApplicationIsExtension() {
    return ZEVApplicationExtensionPointIdentifier().has_value();
}

ui::Application* ZEVApplicationSharedInstance() {
    if (ZEVApplicationIsExtension()) return nullptr;
    return &ui::Application::shared();
}

void ZEVApplicationOpenURL(const std::string& url, zevuzavidav::ExtensionContext* extensionContext,
                           const std::function<void(bool success)>& completion) {
    if (extensionContext != nullptr) {
        extensionContext->openURL(url, [completion](bool success) {
            if (completion) completion(success);
        });
        return;
    }
    bool opened = false;
    if (ui::Application* application = ZEVApplicationSharedInstance()) {
        dispatch::BlockOperation open([&] { opened = application->openURL(url); });
        open.start();
    }
    if (completion) completion(opened);
}

zevuzavidav::ActivityToken ZEVApplicationBeginActivity(std::uint64_t options, const std::string& reason) {
    return zevuzavidav::ActivityToken{options, reason};
}

void ZEVApplicationEndActivity(const zevuzavidav::ActivityToken&) {}

void ZEVApplicationActivity(std::uint64_t options, const std::string& reason,
                            const std::function<void()>& block) {
    zevuzavidav::ActivityToken token = ZEVApplicationBeginActivity(options, reason);
    if (block) block();
    ZEVApplicationEndActivity(token);
}

// Both helpers wait on the global queue rather than on the target: the waiting block holds the
// target alive, and if it holds the last reference the target is destroyed there, never on its own
// thread.
void ZEVDispatchAfter(const std::shared_ptr<dispatch::SerialQueue>& queue, std::function<void()> block,
                      float seconds) {
    if (!queue || !block) return;
    dispatch::global().after(delayNanoseconds(static_cast<double>(seconds)),
                             [queue, block = std::move(block)]() mutable { queue->async(std::move(block)); });
}

void ZEVAddOperationAfterDelay(const std::shared_ptr<dispatch::OperationQueue>& queue,
                               std::function<void()> block, double seconds) {
    if (!queue || !block) return;
    dispatch::global().after(delayNanoseconds(seconds), [queue, block = std::move(block)]() mutable {
        queue->addOperation(std::move(block));
    });
}
