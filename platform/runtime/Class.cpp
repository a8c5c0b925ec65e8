#include "platform/runtime/Class.hpp"

namespace rt {

UnrecognizedSelector::UnrecognizedSelector(const std::string& className, const std::string& selector,
                                           bool classSide)
    : std::runtime_error(std::string(classSide ? "+[" : "-[") + className + " " + selector +
                         "]: unrecognized selector") {}

Class::Class(ClassDefinition definition, const Class* superclass)
    : name_(std::move(definition.name)), superclass_(superclass),
      protocols_(definition.protocols.begin(), definition.protocols.end()),
      classMethods_(std::move(definition.classMethods)),
      instanceMethods_(std::move(definition.instanceMethods)) {}

bool Class::conformsToProtocol(std::string_view protocol) const {
    for (const Class* cls = this; cls; cls = cls->superclass_) {
        if (cls->protocols_.contains(protocol)) return true;
    }
    return false;
}

bool Class::isSubclassOf(const Class& other) const {
    for (const Class* cls = this; cls; cls = cls->superclass_) {
        if (cls == &other) return true;
    }
    return false;
}

ClassMethod Class::findClassMethod(std::string_view selector) const {
    for (const Class* cls = this; cls; cls = cls->superclass_) {
        std::lock_guard lock(cls->mutex_);
        if (auto found = cls->classMethods_.find(selector); found != cls->classMethods_.end()) {
            return found->second;
        }
    }
    return {};
}

InstanceMethod Class::findInstanceMethod(std::string_view selector) const {
    for (const Class* cls = this; cls; cls = cls->superclass_) {
        std::lock_guard lock(cls->mutex_);
        if (auto found = cls->instanceMethods_.find(selector); found != cls->instanceMethods_.end()) {
            return found->second;
        }
    }
    return {};
}

bool Class::respondsToClassSelector(std::string_view selector) const {
    return static_cast<bool>(findClassMethod(selector));
}

bool Class::instancesRespondToSelector(std::string_view selector) const {
    return static_cast<bool>(findInstanceMethod(selector));
}

std::any Class::performClassSelector(std::string_view selector, Arguments arguments) const {
    // The implementation is copied out of its slot first, so a method may replace itself while running.
    ClassMethod method = findClassMethod(selector);
    if (!method) throw UnrecognizedSelector(name_, std::string(selector), true);
    return method(*this, arguments);
}

std::any Class::performInstanceSelector(Object& self, std::string_view selector, Arguments arguments) const {
    InstanceMethod method = findInstanceMethod(selector);
    if (!method) throw UnrecognizedSelector(name_, std::string(selector), false);
    return method(self, arguments);
}

ClassMethod Class::replaceClassMethod(std::string_view selector, ClassMethod implementation) {
    ClassMethod previous = findClassMethod(selector);
    std::lock_guard lock(mutex_);
    classMethods_.insert_or_assign(std::string(selector), std::move(implementation));
    return previous;
}

InstanceMethod Class::replaceInstanceMethod(std::string_view selector, InstanceMethod implementation) {
    InstanceMethod previous = findInstanceMethod(selector);
    std::lock_guard lock(mutex_);
    instanceMethods_.insert_or_assign(std::string(selector), std::move(implementation));
    return previous;
}

} // namespace rt
