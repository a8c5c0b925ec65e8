#pragma once
// The general pasteboard: one string, shared by the whole app. Thread-safe.
#include <optional>
#include <string>

namespace ui {

class Pasteboard {
  public:
    static Pasteboard& general();

    std::optional<std::string> string() const;
    void setString(std::optional<std::string> value);
    bool hasStrings() const { return string().has_value(); }
};

} // namespace ui
