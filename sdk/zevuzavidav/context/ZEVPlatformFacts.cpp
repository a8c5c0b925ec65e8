#include "sdk/zevuzavidav/context/ZEVPlatformFacts.hpp"

#include "platform/foundation/Sandbox.hpp"
#include "sdk/zevuzavidav/context/ZEVApplication.hpp"
#include "sdk/zovaze/identity/ZOVDeviceFacts.hpp"
#include "sdk/zovaze/network/ZOVNetworkOperation.hpp"

#include <atomic>

namespace {

std::atomic<ZEVPlatformFactsProvider> factsProvider{nullptr};
std::atomic<ZEVDebugFlagProvider> debugProvider{nullptr};

ZEVPlatformFacts sdkPlatformFacts() {
    ZEVPlatformFacts facts;
    facts.escapedBundleIdentifier = ZOVEscapedBundleIdentifier().value_or("");
    facts.bundleVersion = ZOVBundleVersion().value_or("");
    facts.bundleShortVersion = ZOVBundleShortVersionString().value_or("");
    facts.extensionPointIdentifier = ZEVExtensionPointIdentifierOfMainBundle();
    facts.deviceModel = ZOVDeviceModel().value_or("");
    facts.osBuildVersion = ZOVOSBuildVersion().value_or("");
    facts.osDisplayVersion = ZOVOSDisplayVersion();
    facts.osMajorVersion = static_cast<int>(ZOVOperatingSystemVersion().majorVersion);
    facts.localeIdentifier = ZOVNetworkOperation::localeIdentifier();
    facts.documentsDirectory = ns::Sandbox::documents().string();
    return facts;
}

} // namespace

void ZEVSetPlatformFactsProvider(ZEVPlatformFactsProvider provider) {
    factsProvider.store(provider);
}

ZEVPlatformFacts ZEVCurrentPlatformFacts() {
    ZEVPlatformFactsProvider provider = factsProvider.load();
    return provider != nullptr ? provider() : sdkPlatformFacts();
}

void ZEVSetDebugFlagProvider(ZEVDebugFlagProvider provider) {
    debugProvider.store(provider);
}

bool ZEVDebugEnabled() {
    ZEVDebugFlagProvider provider = debugProvider.load();
    return provider != nullptr && provider();
}
