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

} // namespace

std::string describeList(const std::vector<std::string>& list) {
    std::string out = "[";
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (i) out += ", ";
        out += '"';
        for (char c : list[i]) {
            if (c == '"' || c == '\\') out += '\\';
            out += c;
        }
        out += '"';
    }
    return out + "]";
}

std::string describeOptionalList(const std::optional<std::vector<std::string>>& list) {
    return list ? "Optional(" + describeList(*list) + ")" : "nil";
}

std::string describeFloat(float value) {
    return shortest(value);
}
std::string describeDouble(double value) {
    return shortest(value);
}
