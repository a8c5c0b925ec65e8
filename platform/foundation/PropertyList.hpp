#pragma once
// A property-list value: null (absent), boolean, integer, real, string, data, date, array, dictionary
// or UID (the object reference of keyed archives). Dictionaries keep their keys in insertion order, so a
// value written and read back lists its keys as it did before. Values are plain C++ values: copies are
// deep, comparison (==) is deep and exact (the integer 1 is not the real 1.0, and not true).
//
// Reading and writing files and bytes lives in PropertyListSerialization.hpp.
//
// Failure contract: accessors of the wrong type answer nothing (nullptr or std::nullopt); nothing here
// throws except std::bad_alloc.
#include "platform/foundation/Date.hpp"

#include <concepts>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace ns {

class PropertyList;

// An ordered dictionary with string keys. set() on an existing key replaces its value in place (the key
// keeps its position); a new key goes to the end.
class PropertyListDictionary {
  public:
    using Entry = std::pair<std::string, PropertyList>;

    PropertyListDictionary();
    PropertyListDictionary(std::initializer_list<Entry> entries);
    PropertyListDictionary(const PropertyListDictionary&);
    PropertyListDictionary(PropertyListDictionary&&) noexcept;
    PropertyListDictionary& operator=(const PropertyListDictionary&);
    PropertyListDictionary& operator=(PropertyListDictionary&&) noexcept;
    ~PropertyListDictionary();

    std::size_t size() const;
    bool empty() const;
    bool contains(std::string_view key) const;
    const PropertyList* find(std::string_view key) const;
    PropertyList* find(std::string_view key);
    void set(std::string key, PropertyList value);
    // Room for `count` entries without growing again.
    void reserve(std::size_t count);
    // Returns whether the key was present.
    bool remove(std::string_view key);
    void clear();
    std::vector<std::string> keys() const;

    const std::vector<Entry>& entries() const { return entries_; }
    std::vector<Entry>::const_iterator begin() const { return entries_.begin(); }
    std::vector<Entry>::const_iterator end() const { return entries_.end(); }

    bool operator==(const PropertyListDictionary& other) const;

  private:
    std::vector<Entry> entries_;
};

class PropertyList {
  public:
    enum class Type { null, boolean, integer, real, string, data, date, array, dictionary, uid };

    using Array = std::vector<PropertyList>;
    using Dictionary = PropertyListDictionary;
    using Data = std::vector<std::uint8_t>;
    struct Uid {
        std::uint64_t value = 0;
        bool operator==(const Uid&) const = default;
    };

    PropertyList() = default; // null
    PropertyList(std::nullptr_t) {}
    PropertyList(bool value) : value_(value) {}
    template <std::integral T>
    requires(!std::same_as<T, bool> && !std::same_as<T, char>) PropertyList(T value)
        : value_(static_cast<std::int64_t>(value)) {}
    PropertyList(double value) : value_(value) {}
    PropertyList(std::string value) : value_(std::move(value)) {}
    PropertyList(std::string_view value) : value_(std::string(value)) {}
    PropertyList(const char* value) : value_(std::string(value ? value : "")) {}
    PropertyList(Data value) : value_(std::move(value)) {}
    PropertyList(Date value) : value_(value) {}
    PropertyList(Array value) : value_(std::move(value)) {}
    PropertyList(Dictionary value) : value_(std::move(value)) {}
    PropertyList(Uid value) : value_(value) {}
    // Pointers other than const char* would silently become booleans.
    PropertyList(const void*) = delete;

    Type type() const { return static_cast<Type>(value_.index()); }
    bool isNull() const { return type() == Type::null; }

    std::optional<bool> boolValue() const;
    std::optional<std::int64_t> integerValue() const;
    std::optional<double> realValue() const;
    const std::string* stringValue() const;
    const Data* dataValue() const;
    std::optional<Date> dateValue() const;
    const Array* arrayValue() const;
    Array* arrayValue();
    const Dictionary* dictionaryValue() const;
    Dictionary* dictionaryValue();
    std::optional<Uid> uidValue() const;

    // A short, single-line, human-readable form for diagnostics (not a serialization).
    std::string debugDescription() const;

    bool operator==(const PropertyList& other) const { return value_ == other.value_; }

  private:
    std::variant<std::monostate, bool, std::int64_t, double, std::string, Data, Date, Array, Dictionary, Uid>
        value_;
};

// A readable name for a type ("dictionary", "uid", ...), for error messages.
const char* propertyListTypeName(PropertyList::Type type);

} // namespace ns
