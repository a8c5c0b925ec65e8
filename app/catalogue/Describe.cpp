#include "app/catalogue/Describe.hpp"

#include <charconv>
#include <cmath>

namespace {

template <typename T> std::string shortest(T value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, ec == std::errc() ? end : buffer);
    if (text.find_first_of(".e") == std::string::npos) text += ".0";
    return text;
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + '"';
}

} // namespace

std::string describeList(const std::vector<std::string>& list) {
    std::string out = "[";
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (i) out += ", ";
        out += quoted(list[i]);
    }
    return out + "]";
}

std::string describeOptionalList(const std::optional<std::vector<std::string>>& list) {
    return list ? "Optional(" + describeList(*list) + ")" : "nil";
}

std::string describeOptionalText(const std::optional<std::string>& text) {
    return text ? "Optional(" + quoted(*text) + ")" : "nil";
}

std::string describeFloat(float value) {
    return shortest(value);
}
std::string describeDouble(double value) {
    return shortest(value);
}
