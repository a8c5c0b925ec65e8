#include "sdk/rurorad/records/JSON.hpp"

#include "platform/foundation/Hex.hpp"
#include "platform/foundation/Text.hpp"
#include "sdk/rurorad/events/Text.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <type_traits>
#include <utility>

namespace {

ns::Error invalidValue(const ns::PropertyList& value) {
    return ns::Error::make("NSCocoaErrorDomain", 3851,
                           std::string("Invalid type in JSON write (") +
                               ns::propertyListTypeName(value.type()) + ")");
}

} // namespace

ns::Result<rurorad::JSONObject> rurorad::jsonObjectFromPropertyList(const ns::PropertyList& value) {
    using Type = ns::PropertyList::Type;
    switch (value.type()) {
    case Type::null:
        return rurorad::JSONObject(nullptr);
    case Type::boolean:
        return rurorad::JSONObject(*value.boolValue());
    case Type::integer:
        return rurorad::JSONObject(*value.integerValue());
    case Type::real: {
        const double real = *value.realValue();
        if (!std::isfinite(real))
            return ns::Error::make("NSCocoaErrorDomain", 3851,
                                   "Invalid number value (" + std::to_string(real) + ") in JSON write");
        return rurorad::JSONObject(real);
    }
    case Type::string:
        return rurorad::JSONObject(*value.stringValue());
    case Type::array: {
        rurorad::JSONObject array = rurorad::JSONObject::array();
        for (const auto& element : *value.arrayValue()) {
            auto converted = rurorad::jsonObjectFromPropertyList(element);
            if (!converted) return converted.error();
            array.push_back(std::move(*converted));
        }
        return array;
    }
    case Type::dictionary: {
        rurorad::JSONObject object = rurorad::JSONObject::object();
        for (const auto& [key, element] : *value.dictionaryValue()) {
            auto converted = rurorad::jsonObjectFromPropertyList(element);
            if (!converted) return converted.error();
            object[key] = std::move(*converted);
        }
        return object;
    }
    default:
        return invalidValue(value);
    }
}

std::string rurorad::jsonData(const rurorad::JSONObject& object) {
    return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// --- Writing straight into the output -------------------------------------------------------------
//
// Room first: the most bytes a value's JSON can take is worked out, that much room is made at the end of
// the output once, the text is written through a pointer, and the output is cut back to what was
// written. No piece checks the string's capacity on its own, which is what the road of every event
// would otherwise spend most of its time on.

namespace {

using Dictionary = ns::PropertyList::Dictionary;

// Printable ASCII other than the quote and the backslash goes into a string literal as it is; anything
// else is escaped, or is part of a UTF-8 sequence to be checked. A table: one look per byte.
constexpr std::array<bool, 256> kPlainBytes = [] {
    std::array<bool, 256> plain{};
    for (int byte = 0x20; byte < 0x80; ++byte)
        plain[static_cast<std::size_t>(byte)] = byte != '"' && byte != '\\';
    return plain;
}();

// The longest shortest form of a finite double ("-2.2250738585072014e-308") with room to spare.
constexpr std::size_t kRealRoom = 32;
constexpr std::size_t kIntegerRoom = 20;

// Six bytes a byte at most: a control byte becomes \u00XX; a byte that is not UTF-8 becomes U+FFFD (3).
std::size_t stringRoom(std::string_view text) {
    return 6 * text.size() + 2;
}

std::size_t roomOf(const Dictionary& object);

std::size_t roomOf(const ns::PropertyList& value) {
    using Type = ns::PropertyList::Type;
    switch (value.type()) {
    case Type::null:
    case Type::boolean:
        return 5;
    case Type::integer:
        return kIntegerRoom;
    case Type::real:
        return kRealRoom;
    case Type::string:
        return stringRoom(*value.stringValue());
    case Type::array: {
        std::size_t room = 2;
        for (const auto& element : *value.arrayValue())
            room += roomOf(element) + 1;
        return room;
    }
    case Type::dictionary:
        return roomOf(*value.dictionaryValue());
    default:
        return 0; // refused before anything is written
    }
}

// A member's value, held in a dictionary or borrowed.
const ns::PropertyList& valueOf(const ns::PropertyList& value) {
    return value;
}
const ns::PropertyList& valueOf(const ns::PropertyList* value) {
    return *value;
}

// An object of (key, value) members: a dictionary, or borrowed members.
template <class Members> std::size_t roomOfObject(const Members& object) {
    std::size_t room = 2;
    for (const auto& [key, element] : object)
        room += stringRoom(key) + 2 + roomOf(valueOf(element));
    return room;
}

std::size_t roomOf(const Dictionary& object) {
    return roomOfObject(object);
}

std::size_t roomOf(rurorad::JSONMemberRefs object) {
    return roomOfObject(object);
}

char* put(char* at, std::string_view bytes) {
    std::memcpy(at, bytes.data(), bytes.size());
    return at + bytes.size();
}

// Valid UTF-8, escaped.
char* putEscaped(char* at, std::string_view valid) {
    for (const char c : valid) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != '"' && byte != '\\') {
            *at++ = c;
            continue;
        }
        *at++ = '\\';
        switch (byte) {
        case '"':
        case '\\':
            *at++ = c;
            break;
        case '\b':
            *at++ = 'b';
            break;
        case '\f':
            *at++ = 'f';
            break;
        case '\n':
            *at++ = 'n';
            break;
        case '\r':
            *at++ = 'r';
            break;
        case '\t':
            *at++ = 't';
            break;
        default:
            at = ns::hexEncodeByte(byte, put(at, "u00"));
        }
    }
    return at;
}

char* putString(char* at, std::string_view text) {
    *at++ = '"';
    // Most texts (keys, names, identifiers) are plain ASCII and go in whole.
    if (std::all_of(text.begin(), text.end(),
                    [](char c) { return kPlainBytes[static_cast<unsigned char>(c)]; })) {
        at = put(at, text);
    } else if (ns::isValidUtf8(text)) {
        at = putEscaped(at, text);
    } else {
        at = putEscaped(at, rurorad::validUTF8(text));
    }
    *at++ = '"';
    return at;
}

// Keys: escaped as any text, or (fixed keys) as they stand.
std::size_t keyRoom(std::string_view key) {
    return stringRoom(key);
}
std::size_t keyRoom(rurorad::JSONPlainKey key) {
    return key.text().size() + 2;
}
char* putKey(char* at, std::string_view key) {
    return putString(at, key);
}
char* putKey(char* at, rurorad::JSONPlainKey key) {
    *at++ = '"';
    at = put(at, key.text());
    *at++ = '"';
    return at;
}

ns::Result<char*> putObject(char* at, const Dictionary& object);

ns::Result<char*> putValue(char* at, const ns::PropertyList& value) {
    using Type = ns::PropertyList::Type;
    switch (value.type()) {
    case Type::null:
        return put(at, "null");
    case Type::boolean:
        return put(at, *value.boolValue() ? "true" : "false");
    case Type::integer:
        return std::to_chars(at, at + kIntegerRoom, *value.integerValue()).ptr;
    case Type::real:
        if (!std::isfinite(*value.realValue())) return rurorad::jsonObjectFromPropertyList(value).error();
        // The shortest text that reads back as the same double, as the document writer gives it.
        return put(at, rurorad::jsonData(rurorad::JSONObject(*value.realValue())));
    case Type::string:
        return putString(at, *value.stringValue());
    case Type::array: {
        *at++ = '[';
        bool first = true;
        for (const auto& element : *value.arrayValue()) {
            if (!std::exchange(first, false)) *at++ = ',';
            auto next = putValue(at, element);
            if (!next) return next;
            at = *next;
        }
        *at++ = ']';
        return at;
    }
    case Type::dictionary:
        return putObject(at, *value.dictionaryValue());
    default:
        return invalidValue(value);
    }
}

template <class Members> ns::Result<char*> putMembers(char* at, const Members& object) {
    *at++ = '{';
    bool first = true;
    for (const auto& [key, element] : object) {
        if (!std::exchange(first, false)) *at++ = ',';
        at = putString(at, key);
        *at++ = ':';
        auto next = putValue(at, valueOf(element));
        if (!next) return next;
        at = *next;
    }
    *at++ = '}';
    return at;
}

ns::Result<char*> putObject(char* at, const Dictionary& object) {
    return putMembers(at, object);
}

// Makes `room` bytes at the end of `out`, lets `write` fill them from their start (answering where it
// stopped, or an error), and cuts `out` back to what was written (to what it was, on an error).
template <class Write> ns::Result<void> writeInto(std::string& out, std::size_t room, Write&& write) {
    const std::size_t at = out.size();
    out.resize(at + room);
    ns::Result<char*> end = write(out.data() + at);
    if (!end) {
        out.resize(at);
        return end.error();
    }
    out.resize(static_cast<std::size_t>(*end - out.data()));
    return {};
}

} // namespace

ns::Result<void> rurorad::appendJSON(std::string& out, const ns::PropertyList& value) {
    return writeInto(out, roomOf(value), [&](char* at) { return putValue(at, value); });
}

ns::Result<void> rurorad::appendJSON(std::string& out, const Dictionary& object) {
    return writeInto(out, roomOf(object), [&](char* at) { return putObject(at, object); });
}

void rurorad::appendJSONString(std::string& out, std::string_view text) {
    (void)writeInto(out, stringRoom(text),
                    [&](char* at) -> ns::Result<char*> { return putString(at, text); });
}

rurorad::JSONObjectWriter::JSONObjectWriter(std::string& out) : out_(out), start_(out.size()) {
    out_.push_back('{');
}

template <class Key, class Value>
ns::Result<void> rurorad::JSONObjectWriter::append(const Key& key, const Value& value) {
    auto written = writeInto(out_, 1 + keyRoom(key) + 1 + roomOf(value), [&](char* at) -> ns::Result<char*> {
        if (!first_) *at++ = ',';
        at = putKey(at, key);
        *at++ = ':';
        if constexpr (std::is_same_v<Value, ns::PropertyList>) {
            return putValue(at, value);
        } else {
            return putMembers(at, value);
        }
    });
    if (written) first_ = false;
    return written;
}

template <class Key> void rurorad::JSONObjectWriter::appendString(const Key& key, std::string_view text) {
    (void)writeInto(out_, 1 + keyRoom(key) + 1 + stringRoom(text), [&](char* at) -> ns::Result<char*> {
        if (!first_) *at++ = ',';
        at = putKey(at, key);
        *at++ = ':';
        return putString(at, text);
    });
    first_ = false;
}

ns::Result<void> rurorad::JSONObjectWriter::member(std::string_view key, const ns::PropertyList& value) {
    return append(key, value);
}

ns::Result<void> rurorad::JSONObjectWriter::member(std::string_view key, const Dictionary& object) {
    return append(key, object);
}

ns::Result<void> rurorad::JSONObjectWriter::member(std::string_view key, JSONMemberRefs object) {
    return append(key, object);
}

void rurorad::JSONObjectWriter::stringMember(std::string_view key, std::string_view text) {
    appendString(key, text);
}

ns::Result<void> rurorad::JSONObjectWriter::member(JSONPlainKey key, const Dictionary& object) {
    return append(key, object);
}

ns::Result<void> rurorad::JSONObjectWriter::member(JSONPlainKey key, JSONMemberRefs object) {
    return append(key, object);
}

void rurorad::JSONObjectWriter::stringMember(JSONPlainKey key, std::string_view text) {
    appendString(key, text);
}

void rurorad::JSONObjectWriter::close() {
    out_.push_back('}');
}

void rurorad::JSONObjectWriter::abandon() {
    out_.resize(start_);
}
