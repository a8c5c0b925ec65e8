#pragma once
// Application and device facts the SDK puts into requests, file names and records: the bundle
// identifier in a form safe for paths, the app's versions and name, where the app was installed from,
// whether device identifiers may be reported, the operating system's version and build, and the device
// model. Plain functions that read the platform afresh on every call; nothing is cached.
//
// On this host the operating-system version is the kernel's release (uname), "kern.osversion" is the
// kernel's build text and "hw.machine" its machine name, both read through zovaze::sysctlByName, a stand-in
// for the platform's named-sysctl call with its 128-byte buffer.
//
// Failure contract: missing Info.plist values give absent results, never an error; a failing or
// overflowing sysctl gives absent. Nothing raises or logs. Safe from any thread (the test overrides
// are meant for test set-up).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace zovaze {
struct OperatingSystemVersionTriple {
    std::int64_t majorVersion = 0;
    std::int64_t minorVersion = 0;
    std::int64_t patchVersion = 0;
    bool operator==(const OperatingSystemVersionTriple&) const = default;
};
} // namespace zovaze

std::optional<std::string> ZOVEscapedBundleIdentifier();
std::optional<std::string> ZOVBundleVersion();
std::optional<std::string> ZOVBundleShortVersionString();
std::optional<std::string> ZOVBundleDisplayName();

bool ZOVAppStoreReceiptExists();
bool ZOVIsSignedForDistribution();
// 4 (App Store receipt), 3 (signed for distribution) or 1.
int ZOVInstallSource();
bool ZOVShouldReportDeviceIdentifiers();

zovaze::OperatingSystemVersionTriple ZOVOperatingSystemVersion();
std::uint32_t ZOVOSVersionNumber();
std::string ZOVOSDisplayVersion();
std::optional<std::string> ZOVOSBuildVersion();
std::optional<std::string> ZOVDeviceModel();
std::optional<std::string> ZOVSysctlString(const char* name);

namespace zovaze {
// The version triple of a dotted version text: pieces 0, 1 and 2 as integers, a missing piece 0.
OperatingSystemVersionTriple operatingSystemVersionFromText(const std::string& text);
// major x 10000 for majors 4 to 9, else 0.
std::uint32_t osVersionNumberFromVersion(const OperatingSystemVersionTriple& version);

// The named-sysctl stand-in: fills `buffer` (its capacity in *length) with the zero-terminated value
// and sets *length to the bytes used. Answers 0, or -1 when the name is unknown or the value does not
// fit (ENOMEM), as the platform's call does.
int sysctlByName(const char* name, char* buffer, std::size_t* length);

// Test seams: replace where the process-information version and the sysctl values come from
// (nullptr restores the host).
void overrideProcessOperatingSystemVersion(
    std::function<std::optional<OperatingSystemVersionTriple>()> provider);
void overrideSysctl(std::function<int(const char*, char*, std::size_t*)> sysctl);
} // namespace zovaze
