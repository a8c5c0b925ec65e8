#include "sdk/zevuzavidav/context/PlatformFacts.hpp"

#include "platform/foundation/Sandbox.hpp"
#include "sdk/zevuzavidav/context/ZEVApplication.hpp"
#include "sdk/zovaze/identity/ZOVDeviceFacts.hpp"
#include "sdk/zovaze/network/ZOVNetworkOperation.hpp"

#include <atomic>

namespace zevuzavidav {

namespace {

std::atomic<PlatformFactsProvider> factsProvider{nullptr};
std::atomic<DebugFlagProvider> debugProvider{nullptr};

PlatformFacts sdkPlatformFacts() {
    PlatformFacts facts;
    facts.escapedBundleIdentifier = ZOVEscapedBundleIdentifier().value_or("");
    facts.bundleVersion = ZOVBundleVersion().value_or("");
    facts.bundleShortVersion = ZOVBundleShortVersionString().value_or("");
    facts.extensionPointIdentifier = zevuzavidav::extensionPointIdentifierOfMainBundle();
    facts.deviceModel = ZOVDeviceModel().value_or("");
    facts.osBuildVersion = ZOVOSBuildVersion().value_or("");
    facts.osDisplayVersion = ZOVOSDisplayVersion();
    facts.osMajorVersion = static_cast<int>(ZOVOperatingSystemVersion().majorVersion);
    facts.localeIdentifier = ZOVNetworkOperation::localeIdentifier();
    facts.documentsDirectory = ns::Sandbox::documents().string();
    return facts;
}

} // namespace

void setPlatformFactsProvider(PlatformFactsProvider provider) {
    factsProvider.store(provider);
}

PlatformFacts currentPlatformFacts() {
    PlatformFactsProvider provider = factsProvider.load();
    return provider != nullptr ? provider() : sdkPlatformFacts();
}

void setDebugFlagProvider(DebugFlagProvider provider) {
    debugProvider.store(provider);
}

bool debugEnabled() {
    DebugFlagProvider provider = debugProvider.load();
    return provider != nullptr && provider();
}

} // namespace zevuzavidav
