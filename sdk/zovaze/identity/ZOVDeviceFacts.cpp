#include "sdk/zovaze/identity/ZOVDeviceFacts.hpp"

#include "platform/foundation/Bundle.hpp"

#include <sys/utsname.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>

namespace {

std::mutex& seamMutex() {
    static std::mutex mutex;
    return mutex;
}
std::function<std::optional<zovaze::OperatingSystemVersionTriple>()>& versionProvider() {
    static std::function<std::optional<zovaze::OperatingSystemVersionTriple>()> provider;
    return provider;
}
std::function<int(const char*, char*, std::size_t*)>& sysctlOverride() {
    static std::function<int(const char*, char*, std::size_t*)> sysctl;
    return sysctl;
}

std::optional<std::string> infoString(const char* key) {
    const ns::PropertyList* value = ns::Bundle::main().objectForInfoDictionaryKey(key);
    if (!value || !value->stringValue()) return std::nullopt;
    return *value->stringValue();
}

// The platform's truth of a boolean-ish value: a boolean, a non-zero number, or text whose first
// character (after blanks, signs and leading zeros) is Y, y, T, t or a digit 1-9.
std::optional<bool> truthOf(const ns::PropertyList* value) {
    if (!value) return std::nullopt;
    if (auto flag = value->boolValue()) return *flag;
    if (auto number = value->integerValue()) return *number != 0;
    if (auto real = value->realValue()) return *real != 0.0;
    if (const std::string* text = value->stringValue()) {
        std::size_t i = 0;
        while (i < text->size() && std::isspace(static_cast<unsigned char>((*text)[i])))
            ++i;
        if (i < text->size() && ((*text)[i] == '+' || (*text)[i] == '-')) ++i;
        while (i < text->size() && (*text)[i] == '0')
            ++i;
        return i < text->size() && std::strchr("YyTt123456789", (*text)[i]) != nullptr;
    }
    return false;
}

std::optional<zovaze::OperatingSystemVersionTriple> hostKernelVersion() {
    utsname name{};
    if (::uname(&name) != 0) return std::nullopt;
    return zovaze::operatingSystemVersionFromText(name.release);
}

int hostSysctl(const char* name, char* buffer, std::size_t* length) {
    if (!name || !length) {
        errno = EINVAL;
        return -1;
    }
    utsname host{};
    if (::uname(&host) != 0) return -1;
    const char* value = nullptr;
    if (std::strcmp(name, "hw.machine") == 0)
        value = host.machine;
    else if (std::strcmp(name, "kern.osversion") == 0)
        value = host.version;
    if (!value) {
        errno = ENOENT;
        return -1;
    }
    std::size_t needed = std::strlen(value) + 1;
    if (!buffer || *length < needed) {
        errno = ENOMEM;
        return -1;
    }
    std::memcpy(buffer, value, needed);
    *length = needed;
    return 0;
}

} // namespace

std::optional<std::string> ZOVEscapedBundleIdentifier() {
    auto identifier = ns::Bundle::main().bundleIdentifier();
    if (!identifier) return std::nullopt;
    std::replace(identifier->begin(), identifier->end(), '/', '_');
    return identifier;
}

std::optional<std::string> ZOVBundleVersion() {
    return infoString("CFBundleVersion");
}

std::optional<std::string> ZOVBundleShortVersionString() {
    return infoString("CFBundleShortVersionString");
}

std::optional<std::string> ZOVBundleDisplayName() {
    if (auto name = infoString("CFBundleDisplayName")) return name;
    if (auto name = infoString("CFBundleName")) return name;
    return ZOVBundleVersion();
}

bool ZOVAppStoreReceiptExists() {
    if (ZOVOSVersionNumber() < 70000) return false;
    // The platform keeps the App Store receipt at <bundle>/StoreKit/receipt.
    std::error_code ignored;
    return std::filesystem::exists(ns::Bundle::main().bundlePath() / "StoreKit" / "receipt", ignored);
}

bool ZOVIsSignedForDistribution() {
    // The crash-reporting kit is linked into the executable, so its bundle is the main bundle.
    return truthOf(ns::Bundle::main().objectForInfoDictionaryKey("ZevuzavidavSignedForDistribution"))
        .value_or(false);
}

int ZOVInstallSource() {
    if (ZOVAppStoreReceiptExists()) return 4;
    if (ZOVIsSignedForDistribution()) return 3;
    return 1;
}

bool ZOVShouldReportDeviceIdentifiers() {
    const ns::Bundle& bundle = ns::Bundle::main();
    if (const ns::PropertyList* zovaze = bundle.objectForInfoDictionaryKey("Zovaze")) {
        if (const auto* dictionary = zovaze->dictionaryValue())
            if (const ns::PropertyList* report = dictionary->find("ReportIdentifiers"))
                return truthOf(report).value_or(false);
    }
    if (const ns::PropertyList* collect =
            bundle.objectForInfoDictionaryKey("ZevuzavidavCollectDeviceIdentifiers"))
        return truthOf(collect).value_or(false);
    return true;
}

zovaze::OperatingSystemVersionTriple zovaze::operatingSystemVersionFromText(const std::string& text) {
    zovaze::OperatingSystemVersionTriple version;
    std::int64_t* pieces[] = {&version.majorVersion, &version.minorVersion, &version.patchVersion};
    std::size_t start = 0;
    for (auto* piece : pieces) {
        if (start > text.size()) break;
        std::size_t end = text.find('.', start);
        std::string part = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        // The integer value of the piece's leading digits (so "0-13-amd64" reads as 0).
        std::int64_t value = 0;
        for (char c : part) {
            if (!std::isdigit(static_cast<unsigned char>(c)) || value > 100000000) break;
            value = value * 10 + (c - '0');
        }
        *piece = value;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return version;
}

zovaze::OperatingSystemVersionTriple ZOVOperatingSystemVersion() {
    std::function<std::optional<zovaze::OperatingSystemVersionTriple>()> provider;
    {
        std::lock_guard lock(seamMutex());
        provider = versionProvider();
    }
    auto version = provider ? provider() : hostKernelVersion();
    return version.value_or(zovaze::OperatingSystemVersionTriple{});
}

std::uint32_t zovaze::osVersionNumberFromVersion(const zovaze::OperatingSystemVersionTriple& version) {
    if (version.majorVersion >= 4 && version.majorVersion <= 9)
        return static_cast<std::uint32_t>(version.majorVersion * 10000);
    return 0;
}

std::uint32_t ZOVOSVersionNumber() {
    return zovaze::osVersionNumberFromVersion(ZOVOperatingSystemVersion());
}

std::string ZOVOSDisplayVersion() {
    auto version = ZOVOperatingSystemVersion();
    char text[80];
    std::snprintf(text, sizeof text, "%lld.%lld.%lld", static_cast<long long>(version.majorVersion),
                  static_cast<long long>(version.minorVersion), static_cast<long long>(version.patchVersion));
    return text;
}

int zovaze::sysctlByName(const char* name, char* buffer, std::size_t* length) {
    std::function<int(const char*, char*, std::size_t*)> sysctl;
    {
        std::lock_guard lock(seamMutex());
        sysctl = sysctlOverride();
    }
    return sysctl ? sysctl(name, buffer, length) : hostSysctl(name, buffer, length);
}

std::optional<std::string> ZOVSysctlString(const char* name) {
    char buffer[128] = {};
    std::size_t length = sizeof buffer;
    if (zovaze::sysctlByName(name, buffer, &length) != 0) return std::nullopt;
    // Whatever the call claims, the text ends at the first zero byte inside the buffer.
    return std::string(buffer, strnlen(buffer, std::min(length, sizeof buffer)));
}

std::optional<std::string> ZOVOSBuildVersion() {
    return ZOVSysctlString("kern.osversion");
}

std::optional<std::string> ZOVDeviceModel() {
    return ZOVSysctlString("hw.machine");
}

void zovaze::overrideProcessOperatingSystemVersion(
    std::function<std::optional<zovaze::OperatingSystemVersionTriple>()> provider) {
    std::lock_guard lock(seamMutex());
    versionProvider() = std::move(provider);
}

void zovaze::overrideSysctl(std::function<int(const char*, char*, std::size_t*)> sysctl) {
    std::lock_guard lock(seamMutex());
    sysctlOverride() = std::move(sysctl);
}
