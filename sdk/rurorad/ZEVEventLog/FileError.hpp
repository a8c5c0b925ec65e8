#pragma once
// Errors of the analytics file work: the system's error number in the domain "NSPOSIXErrorDomain", with
// a description naming the path.
//
// Failure contract: none.
#include "platform/foundation/Error.hpp"

#include <string>
#include <system_error>

inline constexpr const char* ZEVPOSIXErrorDomain = "NSPOSIXErrorDomain";

ns::Error ZEVPOSIXError(int errorNumber, const std::string& path);
ns::Error ZEVPOSIXError(const std::error_code& code, const std::string& path);
