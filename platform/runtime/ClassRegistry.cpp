#include "platform/runtime/ClassRegistry.hpp"

namespace rt {

ClassRegistry& ClassRegistry::shared() {
    static ClassRegistry registry;
    return registry;
}

Class* ClassRegistry::registerClass(ClassDefinition definition) {
    std::lock_guard lock(mutex_);
    if (definition.name.empty()) return nullptr;
    const Class* superclass = nullptr;
    for (const auto& cls : classes_) {
        if (cls->name() == definition.name) return nullptr;
        if (!definition.superclassName.empty() && cls->name() == definition.superclassName) {
            superclass = cls.get();
        }
    }
    if (!definition.superclassName.empty() && !superclass) return nullptr;
    classes_.push_back(std::make_unique<Class>(std::move(definition), superclass));
    return classes_.back().get();
}

Class* ClassRegistry::lookUpClass(std::string_view name) const {
    std::lock_guard lock(mutex_);
    for (const auto& cls : classes_) {
        if (cls->name() == name) return cls.get();
    }
    return nullptr;
}

std::vector<std::string> ClassRegistry::classNames() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> names;
    names.reserve(classes_.size());
    for (const auto& cls : classes_)
        names.push_back(cls->name());
    return names;
}

} // namespace rt
