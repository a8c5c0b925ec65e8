#pragma once
// Facts about the device the app runs on.
//
// Failure contract: none; when uname fails the identifier is empty.
#include <optional>
#include <string>

namespace svc {

// The machine field of uname ("x86_64", "aarch64", ...), up to its first zero byte.
std::string deviceMachineIdentifier();

// Makes deviceMachineIdentifier() answer `identifier` (tests); std::nullopt restores the real reading.
// Answers the override it replaces.
std::optional<std::string> setDeviceMachineIdentifierOverride(std::optional<std::string> identifier);

} // namespace svc
