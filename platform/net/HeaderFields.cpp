#include "platform/net/HeaderFields.hpp"

#include <algorithm>

namespace net {
namespace {

bool safeText(std::string_view text) {
    return text.find_first_of("\r\n") == std::string_view::npos;
}

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// A field that can stand in a header block: a non-empty name without ':' and no line breaks anywhere.
bool acceptable(std::string_view name, std::string_view value) {
    return !name.empty() && safeText(name) && safeText(value) && name.find(':') == std::string_view::npos;
}

} // namespace

std::vector<HeaderFields::Field>::iterator HeaderFields::find(std::string_view name) {
    return std::find_if(fields_.begin(), fields_.end(),
                        [&](const Field& f) { return namesEqual(f.first, name); });
}

bool HeaderFields::namesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

bool HeaderFields::set(std::string_view name, std::string_view value) {
    if (!acceptable(name, value)) return false;
    auto first = find(name);
    if (first == fields_.end()) {
        fields_.emplace_back(std::string(name), std::string(value));
        return true;
    }
    first->second = std::string(value);
    auto index = first - fields_.begin();
    fields_.erase(std::remove_if(fields_.begin() + index + 1, fields_.end(),
                                 [&](const Field& f) { return namesEqual(f.first, name); }),
                  fields_.end());
    return true;
}

bool HeaderFields::add(std::string_view name, std::string_view value) {
    if (!acceptable(name, value)) return false;
    auto first = find(name);
    if (first == fields_.end()) {
        fields_.emplace_back(std::string(name), std::string(value));
    } else {
        first->second += ",";
        first->second += value;
    }
    return true;
}

void HeaderFields::append(std::string name, std::string value) {
    fields_.emplace_back(std::move(name), std::move(value));
}

void HeaderFields::remove(std::string_view name) {
    fields_.erase(std::remove_if(fields_.begin(), fields_.end(),
                                 [&](const Field& f) { return namesEqual(f.first, name); }),
                  fields_.end());
}

std::optional<std::string> HeaderFields::value(std::string_view name) const {
    for (const auto& field : fields_)
        if (namesEqual(field.first, name)) return field.second;
    return std::nullopt;
}

} // namespace net
