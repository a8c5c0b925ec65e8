#pragma once
// Errors of the analytics file work: the system's error number in the domain "NSPOSIXErrorDomain", with
// a description naming the path.
//
// Failure contract: none.
#include "platform/foundation/Error.hpp"

#include <string>
#include <system_error>

namespace rurorad {

inline constexpr const char* POSIXErrorDomain = "NSPOSIXErrorDomain";

ns::Error posixError(int errorNumber, const std::string& path);
ns::Error posixError(const std::error_code& code, const std::string& path);

} // namespace rurorad
