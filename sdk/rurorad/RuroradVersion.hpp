#pragma once
// The analytics kit's version, in one place: its class answers it, every session's metadata records it
// and every upload names it.
#include "sdk/zovaze/kit/ZOVKitVersion.hpp"

namespace rurorad {

inline constexpr char kKitDisplayVersion[] = "1.0.0";
inline constexpr char kKitBuildVersion[] = "3";
// The uploads' client type, and "Rurorad iOS SDK/1.0.0": the metadata's generator and the uploads' user
// agent.
inline constexpr char kKitClientType[] = "Rurorad iOS SDK";
inline constexpr auto kKitAgent = zovaze::joinedText(kKitClientType, "/", kKitDisplayVersion);

} // namespace rurorad
