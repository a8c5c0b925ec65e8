#pragma once
// What crash reporting needs from the SDK platform and the app bundle, behind one seam.
//
// The facts are the SDK platform's own, the ones its settings request sends: the escaped bundle
// identifier and versions of the main bundle's Info.plist, the device model, the OS build and display
// version, the user's locale, the sandbox's Documents folder, and the extension point of an app
// extension (an "NSExtension" entry of the wrong shape is logged and counts as none). A test may
// install a provider of its own (setPlatformFactsProvider; nullptr goes back to the SDK's facts).
// The facts are read at context set-up, never at crash time.
#include <optional>
#include <string>

namespace zevuzavidav {

struct PlatformFacts {
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

using PlatformFactsProvider = PlatformFacts (*)();
using DebugFlagProvider = bool (*)();

void setPlatformFactsProvider(PlatformFactsProvider provider);
PlatformFacts currentPlatformFacts();

// The SDK platform's debug flag: progress lines are logged only when it is on (off by default).
void setDebugFlagProvider(DebugFlagProvider provider);
bool debugEnabled();

} // namespace zevuzavidav
