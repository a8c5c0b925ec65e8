#pragma once
// A value or an error, for the platform operations whose failure comes with a described error: whole
// files, property lists, keyed archives, user defaults, the audio session and the backend's JSON
// answers. The rest of the platform reports failure the way the calls it stands in for do: an empty
// std::optional or a null pointer, false, or an ns::Error handed to a completion block.
//
// Failure contract: value() on an error result and error() on a success are programming errors, caught
// by assert in debug builds; without assertions value() throws std::bad_variant_access and error() is
// undefined, so test ok() first.
#include "platform/foundation/Error.hpp"

#include <cassert>
#include <optional>
#include <utility>
#include <variant>

namespace ns {

template <typename T> class Result {
  public:
    Result(T value) : storage_(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : storage_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return storage_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & {
        assert(ok());
        return std::get<0>(storage_);
    }
    const T& value() const& {
        assert(ok());
        return std::get<0>(storage_);
    }
    T&& value() && {
        assert(ok());
        return std::get<0>(std::move(storage_));
    }
    T valueOr(T fallback) const { return ok() ? std::get<0>(storage_) : std::move(fallback); }

    const Error& error() const {
        assert(!ok());
        return std::get<1>(storage_);
    }

    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

  private:
    std::variant<T, Error> storage_;
};

template <> class Result<void> {
  public:
    Result() = default;
    Result(Error error) : error_(std::move(error)) {}

    bool ok() const { return !error_.has_value(); }
    explicit operator bool() const { return ok(); }
    const Error& error() const {
        assert(!ok());
        return *error_;
    }

  private:
    std::optional<Error> error_;
};

} // namespace ns
