#include "platform/uikit/Pasteboard.hpp"

#include <mutex>

namespace ui {

namespace {
std::mutex gMutex;
std::optional<std::string> gString;
} // namespace

Pasteboard& Pasteboard::general() {
    static Pasteboard pasteboard;
    return pasteboard;
}

std::optional<std::string> Pasteboard::string() const {
    std::lock_guard lock(gMutex);
    return gString;
}

void Pasteboard::setString(std::optional<std::string> value) {
    std::lock_guard lock(gMutex);
    gString = std::move(value);
}

} // namespace ui
