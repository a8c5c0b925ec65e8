#pragma once
// Lets GoogleTest print property-list values readably in failure messages.
#include "platform/foundation/PropertyList.hpp"

#include <ostream>

namespace ns {
inline void PrintTo(const PropertyList& value, std::ostream* out) {
    *out << value.debugDescription();
}
} // namespace ns
