#pragma once
// A query for objects of one backend class, with at most one condition "key equal to value".
//
// Failure contract: none; a second whereKey() replaces the first condition.
#include "platform/foundation/PropertyList.hpp"

#include <optional>
#include <string>

namespace svc {

class BackendQuery {
  public:
    struct Condition {
        std::string key;
        ns::PropertyList equalTo;
        bool operator==(const Condition&) const = default;
    };

    explicit BackendQuery(std::string className) : className_(std::move(className)) {}

    void whereKey(std::string key, ns::PropertyList equalTo) {
        condition_ = Condition{std::move(key), std::move(equalTo)};
    }

    const std::string& className() const { return className_; }
    const std::optional<Condition>& condition() const { return condition_; }

    bool operator==(const BackendQuery&) const = default;

  private:
    std::string className_;
    std::optional<Condition> condition_;
};

} // namespace svc
