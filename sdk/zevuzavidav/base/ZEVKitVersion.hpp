#pragma once
// The crash kit's version, in one place: its class answers it, every launch's metadata records it and
// every request to the report and beta servers names it.
#include "sdk/zovaze/kit/ZOVKitVersion.hpp"

namespace zevuzavidav {

inline constexpr char kKitDisplayVersion[] = "3.4.0";
inline constexpr char kKitBuildVersion[] = "92";
// "Zevuzavidav iOS SDK/3.4.0": the records' generator and the requests' user agent.
inline constexpr auto kKitAgent = zovaze::joinedText("Zevuzavidav iOS SDK/", kKitDisplayVersion);

} // namespace zevuzavidav
