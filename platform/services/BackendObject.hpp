#pragma once
// One object of the hosted backend: a class name, an object id once saved, and ordered key/values.
//
// Failure contract: none; reading a missing key answers nullptr.
#include "platform/foundation/PropertyList.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace svc {

class BackendObject {
  public:
    explicit BackendObject(std::string className) : className_(std::move(className)) {}

    const std::string& className() const { return className_; }
    const std::optional<std::string>& objectId() const { return objectId_; }
    void setObjectId(std::optional<std::string> id) { objectId_ = std::move(id); }

    // Setting a key again replaces its value in place; a null value removes the key.
    void setObject(std::string key, ns::PropertyList value);
    const ns::PropertyList* objectForKey(std::string_view key) const { return values_.find(key); }
    const ns::PropertyList::Dictionary& values() const { return values_; }

    bool operator==(const BackendObject&) const = default;

  private:
    std::string className_;
    std::optional<std::string> objectId_;
    ns::PropertyList::Dictionary values_;
};

} // namespace svc
