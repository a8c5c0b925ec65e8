#pragma once
// Compact JSON of analytics payloads and metadata, keys in the order they were set.
//
// Failure contract: a value JSON cannot hold (a date, data, an archive reference, a number that is not
// finite) gives an error (domain "NSCocoaErrorDomain", code 3851, naming the value); strings that are
// not UTF-8 are written with U+FFFD in place of the bad bytes.
#include "platform/foundation/PropertyList.hpp"
#include "platform/foundation/Result.hpp"

#include <nlohmann/json.hpp>

#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace rurorad {

using JSONObject = nlohmann::ordered_json;
// An object's members borrowed from elsewhere, in order (keys distinct): written as a dictionary of them.
using JSONMemberRefs = std::span<const std::pair<std::string_view, const ns::PropertyList*>>;

ns::Result<JSONObject> jsonObjectFromPropertyList(const ns::PropertyList& value);
std::string jsonData(const JSONObject& object);

// The same compact JSON appended straight to `out`, without building a document first (the road every
// event takes). Answers the same errors, and then leaves `out` as it was.
ns::Result<void> appendJSON(std::string& out, const ns::PropertyList& value);
// The same for a dictionary, without wrapping (copying) it into a value first.
ns::Result<void> appendJSON(std::string& out, const ns::PropertyList::Dictionary& object);
// A JSON string literal of the text (quoted and escaped; bytes that are not UTF-8 become U+FFFD).
void appendJSONString(std::string& out, std::string_view text);

// A key fixed in the program, checked when the program is built to need no escaping (a key that would
// does not compile), so that it is written as it stands, without a look at its bytes.
class JSONPlainKey {
  public:
    consteval explicit JSONPlainKey(std::string_view key) : key_(key) {
        for (const char c : key)
            if (c < 0x20 || c == '"' || c == '\\' || static_cast<unsigned char>(c) >= 0x80)
                throw "a fixed JSON key must be printable ASCII without a quote or a backslash";
    }
    std::string_view text() const { return key_; }

  private:
    std::string_view key_;
};

// A JSON object appended to `out` member by member: "{" at construction, "}" at close(). A member that
// cannot be written answers its error and leaves `out` as it was before it; abandon() takes the whole
// object out again.
class JSONObjectWriter {
  public:
    explicit JSONObjectWriter(std::string& out);
    ns::Result<void> member(std::string_view key, const ns::PropertyList& value);
    ns::Result<void> member(std::string_view key, const ns::PropertyList::Dictionary& object);
    ns::Result<void> member(std::string_view key, JSONMemberRefs object);
    void stringMember(std::string_view key, std::string_view text);
    // The same under fixed keys.
    ns::Result<void> member(JSONPlainKey key, const ns::PropertyList::Dictionary& object);
    ns::Result<void> member(JSONPlainKey key, JSONMemberRefs object);
    void stringMember(JSONPlainKey key, std::string_view text);
    void close();
    void abandon();

  private:
    template <class Key, class Value> ns::Result<void> append(const Key& key, const Value& value);
    template <class Key> void appendString(const Key& key, std::string_view text);

    std::string& out_;
    std::size_t start_;
    bool first_ = true;
};

} // namespace rurorad
