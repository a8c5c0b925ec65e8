#include "platform/services/BackendObject.hpp"

namespace svc {

void BackendObject::setObject(std::string key, ns::PropertyList value) {
    if (value.isNull())
        values_.remove(key);
    else
        values_.set(std::move(key), std::move(value));
}

} // namespace svc
