#include "sdk/zevuzavidav/record/ZEVStackFrame.hpp"

#include <cinttypes>
#include <cstdio>

namespace {

std::string textOrNull(const std::optional<std::string>& text) {
    return text ? *text : "(null)";
}

} // namespace

std::string ZEVStackFrame::description() const {
    char address[32];
    std::snprintf(address, sizeof address, "0x%" PRIx64, this->address);
    if (fileName) {
        return "{[" + std::string(address) + "] " + *fileName + " - " + textOrNull(symbol) + ":" +
               std::to_string(lineNumber) + "}";
    }
    return "{[" + std::string(address) + " + " + std::to_string(lineNumber) + "] " + textOrNull(symbol) + "}";
}
