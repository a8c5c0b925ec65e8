#include "platform/runtime/Class.hpp"

#include <utility>

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

// The tables of both method kinds are walked and replaced the same way; `table` picks one.
template <typename Method, typename Table>
Method Class::findMethod(Table table, std::string_view selector) const {
    for (const Class* cls = this; cls; cls = cls->superclass_) {
        std::lock_guard lock(cls->mutex_);
        const auto& methods = cls->*table;
        if (auto found = methods.find(selector); found != methods.end()) return found->second;
    }
    return {};
}

template <typename Method, typename Table>
Method Class::replaceMethod(Table table, std::string_view selector, Method implementation) {
    // The own slot is read and written under one hold of the lock, so two replacements racing on it
    // each get the other's implementation or the original, never the same one twice.
    std::lock_guard lock(mutex_);
    auto& methods = this->*table;
    auto found = methods.find(selector);
    Method previous;
    if (found != methods.end()) {
        previous = std::exchange(found->second, std::move(implementation));
    } else {
        // Only superclasses' locks are taken while holding ours: always child before parent.
        if (superclass_) previous = superclass_->findMethod<Method>(table, selector);
        methods.emplace(std::string(selector), std::move(implementation));
    }
    return previous;
}

ClassMethod Class::findClassMethod(std::string_view selector) const {
    return findMethod<ClassMethod>(&Class::classMethods_, selector);
}

InstanceMethod Class::findInstanceMethod(std::string_view selector) const {
    return findMethod<InstanceMethod>(&Class::instanceMethods_, selector);
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
    return replaceMethod<ClassMethod>(&Class::classMethods_, selector, std::move(implementation));
}

InstanceMethod Class::replaceInstanceMethod(std::string_view selector, InstanceMethod implementation) {
    return replaceMethod<InstanceMethod>(&Class::instanceMethods_, selector, std::move(implementation));
}

} // namespace rt
