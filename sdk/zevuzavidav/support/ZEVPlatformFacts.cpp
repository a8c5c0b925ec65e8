#include "sdk/zevuzavidav/support/ZEVPlatformFacts.hpp"

#include <atomic>
#include <cstdlib>
#include <sys/utsname.h>

namespace {

std::atomic<ZEVPlatformFactsProvider> factsProvider{nullptr};
std::atomic<ZEVDebugFlagProvider> debugProvider{nullptr};

ZEVPlatformFacts hostDefaults() {
    ZEVPlatformFacts facts;
    struct utsname names {};
    if (uname(&names) == 0) {
        facts.deviceModel = names.machine;
        facts.osBuildVersion = names.version;
        facts.osDisplayVersion = names.release;
        facts.osMajorVersion = std::atoi(names.release);
    }
    facts.localeIdentifier = "en_US_POSIX";
    const char* home = std::getenv("HOME");
    facts.documentsDirectory = home != nullptr ? std::string(home) : std::string("/");
    return facts;
}

} // namespace

void ZEVSetPlatformFactsProvider(ZEVPlatformFactsProvider provider) {
    factsProvider.store(provider);
}

ZEVPlatformFacts ZEVCurrentPlatformFacts() {
    ZEVPlatformFactsProvider provider = factsProvider.load();
    return provider != nullptr ? provider() : hostDefaults();
}

void ZEVSetDebugFlagProvider(ZEVDebugFlagProvider provider) {
    debugProvider.store(provider);
}

bool ZEVDebugEnabled() {
    ZEVDebugFlagProvider provider = debugProvider.load();
    return provider != nullptr && provider();
}
