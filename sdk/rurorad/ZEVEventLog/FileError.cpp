#include "sdk/rurorad/ZEVEventLog/FileError.hpp"

#include <cstring>

ns::Error rurorad::posixError(int errorNumber, const std::string& path) {
    return ns::Error(
        rurorad::POSIXErrorDomain, errorNumber,
        {{ns::Error::localizedDescriptionKey, std::string(std::strerror(errorNumber)) + " (" + path + ")"},
         {"NSFilePath", path}});
}

ns::Error rurorad::posixError(const std::error_code& code, const std::string& path) {
    return rurorad::posixError(code.value() ? code.value() : EIO, path);
}
