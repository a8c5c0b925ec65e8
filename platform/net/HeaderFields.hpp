#pragma once
// An ordered list of HTTP header fields. Names keep the spelling they were given and their order;
// lookups ignore letter case, as HTTP field names do.
//
// Failure contract: none. Values holding CR or LF are refused by set()/add() (they would split the
// header block), which then answer false and change nothing.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace net {

class HeaderFields {
  public:
    using Field = std::pair<std::string, std::string>;

    // Replaces the value of the first field of that name (keeping its place) or appends a new field;
    // any later fields of the same name are removed.
    bool set(std::string_view name, std::string_view value);
    // Appends ",value" to an existing field's value (the platform's "add value"), else adds the field.
    bool add(std::string_view name, std::string_view value);
    // Appends a field even when one of that name exists (used for raw response headers).
    void append(std::string name, std::string value);
    void remove(std::string_view name);

    std::optional<std::string> value(std::string_view name) const;
    const std::vector<Field>& fields() const { return fields_; }
    bool empty() const { return fields_.empty(); }
    std::size_t size() const { return fields_.size(); }
    void clear() { fields_.clear(); }

    static bool namesEqual(std::string_view a, std::string_view b);

    bool operator==(const HeaderFields&) const = default;

  private:
    std::vector<Field>::iterator find(std::string_view name);
    std::vector<Field> fields_;
};

} // namespace net
