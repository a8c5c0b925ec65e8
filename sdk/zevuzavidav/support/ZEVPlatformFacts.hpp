#pragma once
// What crash reporting needs from the SDK platform and the app bundle, behind one seam.
//
// The SDK platform installs a provider at start (ZEVSetPlatformFactsProvider) so crash reporting does
// not depend on its classes; until then the defaults describe the host (uname, $HOME, the C locale).
// The facts are read once, at context set-up, never at crash time.
#include <optional>
#include <string>

struct ZEVPlatformFacts {
    std::string escapedBundleIdentifier;
    std::string bundleVersion;
    std::string bundleShortVersion;
    std::optional<std::string> extensionPointIdentifier;
    std::string deviceModel;
    std::string osBuildVersion;
    std::string osDisplayVersion;
    int osMajorVersion = 0;
    std::string localeIdentifier;
    std::string documentsDirectory;
};

using ZEVPlatformFactsProvider = ZEVPlatformFacts (*)();
using ZEVDebugFlagProvider = bool (*)();

void ZEVSetPlatformFactsProvider(ZEVPlatformFactsProvider provider);
ZEVPlatformFacts ZEVCurrentPlatformFacts();

// The SDK platform's debug flag: progress lines are logged only when it is on (off by default).
void ZEVSetDebugFlagProvider(ZEVDebugFlagProvider provider);
bool ZEVDebugEnabled();
