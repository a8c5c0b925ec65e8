#include "sdk/rurorad/ZEVEventLog/FileError.hpp"

#include <cstring>

ns::Error ZEVPOSIXError(int errorNumber, const std::string& path) {
    return ns::Error(
        ZEVPOSIXErrorDomain, errorNumber,
        {{ns::Error::localizedDescriptionKey, std::string(std::strerror(errorNumber)) + " (" + path + ")"},
         {"NSFilePath", path}});
}

ns::Error ZEVPOSIXError(const std::error_code& code, const std::string& path) {
    return ZEVPOSIXError(code.value() ? code.value() : EIO, path);
}
