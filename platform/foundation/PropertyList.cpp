#include "platform/foundation/PropertyList.hpp"

#include <cstdio>

namespace ns {

// --- Dictionary ------------------------------------------------------------------------------------

PropertyListDictionary::PropertyListDictionary() = default;
PropertyListDictionary::PropertyListDictionary(std::initializer_list<Entry> entries) {
    for (const auto& e : entries)
        set(e.first, e.second);
}
PropertyListDictionary::PropertyListDictionary(const PropertyListDictionary&) = default;
PropertyListDictionary::PropertyListDictionary(PropertyListDictionary&&) noexcept = default;
PropertyListDictionary& PropertyListDictionary::operator=(const PropertyListDictionary&) = default;
PropertyListDictionary& PropertyListDictionary::operator=(PropertyListDictionary&&) noexcept = default;
PropertyListDictionary::~PropertyListDictionary() = default;

std::size_t PropertyListDictionary::size() const {
    return entries_.size();
}
bool PropertyListDictionary::empty() const {
    return entries_.empty();
}
bool PropertyListDictionary::contains(std::string_view key) const {
    return find(key) != nullptr;
}

void PropertyListDictionary::reserve(std::size_t count) {
    entries_.reserve(count);
}

const PropertyList* PropertyListDictionary::find(std::string_view key) const {
    for (const auto& e : entries_)
        if (e.first == key) return &e.second;
    return nullptr;
}

PropertyList* PropertyListDictionary::find(std::string_view key) {
    for (auto& e : entries_)
        if (e.first == key) return &e.second;
    return nullptr;
}

void PropertyListDictionary::set(std::string key, PropertyList value) {
    if (PropertyList* existing = find(key)) {
        *existing = std::move(value);
        return;
    }
    entries_.emplace_back(std::move(key), std::move(value));
}

bool PropertyListDictionary::remove(std::string_view key) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->first == key) {
            entries_.erase(it);
            return true;
        }
    }
    return false;
}

void PropertyListDictionary::clear() {
    entries_.clear();
}

std::vector<std::string> PropertyListDictionary::keys() const {
    std::vector<std::string> out;
    out.reserve(entries_.size());
    for (const auto& e : entries_)
        out.push_back(e.first);
    return out;
}

bool PropertyListDictionary::operator==(const PropertyListDictionary& other) const {
    return entries_ == other.entries_;
}

// --- Value -----------------------------------------------------------------------------------------

std::optional<bool> PropertyList::boolValue() const {
    if (auto* v = std::get_if<bool>(&value_)) return *v;
    return std::nullopt;
}
std::optional<std::int64_t> PropertyList::integerValue() const {
    if (auto* v = std::get_if<std::int64_t>(&value_)) return *v;
    return std::nullopt;
}
std::optional<double> PropertyList::realValue() const {
    if (auto* v = std::get_if<double>(&value_)) return *v;
    return std::nullopt;
}
const std::string* PropertyList::stringValue() const {
    return std::get_if<std::string>(&value_);
}
const PropertyList::Data* PropertyList::dataValue() const {
    return std::get_if<Data>(&value_);
}
std::optional<Date> PropertyList::dateValue() const {
    if (auto* v = std::get_if<Date>(&value_)) return *v;
    return std::nullopt;
}
const PropertyList::Array* PropertyList::arrayValue() const {
    return std::get_if<Array>(&value_);
}
PropertyList::Array* PropertyList::arrayValue() {
    return std::get_if<Array>(&value_);
}
const PropertyList::Dictionary* PropertyList::dictionaryValue() const {
    return std::get_if<Dictionary>(&value_);
}
PropertyList::Dictionary* PropertyList::dictionaryValue() {
    return std::get_if<Dictionary>(&value_);
}
std::optional<PropertyList::Uid> PropertyList::uidValue() const {
    if (auto* v = std::get_if<Uid>(&value_)) return *v;
    return std::nullopt;
}

std::string PropertyList::debugDescription() const {
    switch (type()) {
    case Type::null:
        return "null";
    case Type::boolean:
        return *boolValue() ? "true" : "false";
    case Type::integer:
        return std::to_string(*integerValue());
    case Type::real: {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.17g", *realValue());
        return buf;
    }
    case Type::string: {
        std::string out("\"");
        out += *stringValue();
        out += '"';
        return out;
    }
    case Type::data: {
        // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on "<" + std::string.
        std::string out("<");
        out += std::to_string(dataValue()->size());
        out += " bytes>";
        return out;
    }
    case Type::date:
        return dateValue()->iso8601String(true);
    case Type::array: {
        std::string out = "(";
        bool first = true;
        for (const auto& v : *arrayValue()) {
            out += first ? "" : ", ";
            first = false;
            out += v.debugDescription();
        }
        return out + ")";
    }
    case Type::dictionary: {
        std::string out = "{";
        bool first = true;
        for (const auto& [k, v] : *dictionaryValue()) {
            out += first ? "" : ", ";
            first = false;
            out += k + " = " + v.debugDescription();
        }
        return out + "}";
    }
    case Type::uid: {
        std::string out("UID(");
        out += std::to_string(uidValue()->value);
        out += ')';
        return out;
    }
    }
    return "?";
}

const char* propertyListTypeName(PropertyList::Type type) {
    switch (type) {
    case PropertyList::Type::null:
        return "null";
    case PropertyList::Type::boolean:
        return "boolean";
    case PropertyList::Type::integer:
        return "integer";
    case PropertyList::Type::real:
        return "real";
    case PropertyList::Type::string:
        return "string";
    case PropertyList::Type::data:
        return "data";
    case PropertyList::Type::date:
        return "date";
    case PropertyList::Type::array:
        return "array";
    case PropertyList::Type::dictionary:
        return "dictionary";
    case PropertyList::Type::uid:
        return "uid";
    }
    return "unknown";
}

} // namespace ns
