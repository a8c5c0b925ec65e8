#pragma once
// A class as the runtime sees it: a name, an optional superclass, the protocols it adopts, and two
// tables of methods (class methods and instance methods) looked up by selector name. Lookups walk the
// superclass chain, so a subclass answers what its base answers unless it replaces it.
//
// Methods are type-erased: they take their arguments as std::any and answer a std::any (empty for no
// result). Each method lives in a slot; replaceClassMethod / replaceInstanceMethod swap the slot's
// implementation and hand back the previous one, so a replacement can call through to the original.
//
// Failure contract: sending a selector that the class (or its instances) does not answer throws
// rt::UnrecognizedSelector; every other call is total. Slots are guarded by a mutex, so lookups and
// replacements may race from any thread; a call uses the implementation that was current when it began,
// and racing replacements of one slot each hand back a distinct predecessor, so chains stay whole.
#include <any>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace rt {

class Class;
class Object;

using Arguments = std::span<const std::any>;
using ClassMethod = std::function<std::any(const Class& receiver, Arguments arguments)>;
using InstanceMethod = std::function<std::any(Object& self, Arguments arguments)>;

class UnrecognizedSelector : public std::runtime_error {
  public:
    UnrecognizedSelector(const std::string& className, const std::string& selector, bool classSide);
};

// What a class is made from; handed to ClassRegistry::registerClass.
struct ClassDefinition {
    std::string name;
    std::string superclassName; // empty for a root class
    std::set<std::string> protocols;
    std::map<std::string, ClassMethod, std::less<>> classMethods;
    std::map<std::string, InstanceMethod, std::less<>> instanceMethods;
};

class Class {
  public:
    Class(ClassDefinition definition, const Class* superclass);
    Class(const Class&) = delete;
    Class& operator=(const Class&) = delete;

    const std::string& name() const { return name_; }
    const Class* superclass() const { return superclass_; }

    // Adopted by this class or by one of its superclasses.
    bool conformsToProtocol(std::string_view protocol) const;
    bool respondsToClassSelector(std::string_view selector) const;
    bool instancesRespondToSelector(std::string_view selector) const;
    bool isSubclassOf(const Class& other) const;

    // Sends a class message; throws UnrecognizedSelector when nothing answers it.
    std::any performClassSelector(std::string_view selector, Arguments arguments = {}) const;
    // Runs the instance method `selector` for `self` (whose class must be this class or a subclass).
    std::any performInstanceSelector(Object& self, std::string_view selector, Arguments arguments = {}) const;

    // Installs `implementation` in the slot of `selector` on this class and returns what the slot held
    // before: the class's own method, else the inherited one, else an empty function.
    ClassMethod replaceClassMethod(std::string_view selector, ClassMethod implementation);
    InstanceMethod replaceInstanceMethod(std::string_view selector, InstanceMethod implementation);

  private:
    template <typename Method, typename Table>
    Method findMethod(Table table, std::string_view selector) const;
    template <typename Method, typename Table>
    Method replaceMethod(Table table, std::string_view selector, Method implementation);
    ClassMethod findClassMethod(std::string_view selector) const;
    InstanceMethod findInstanceMethod(std::string_view selector) const;

    std::string name_;
    const Class* superclass_;
    std::set<std::string, std::less<>> protocols_;
    mutable std::mutex mutex_;
    std::map<std::string, ClassMethod, std::less<>> classMethods_;
    std::map<std::string, InstanceMethod, std::less<>> instanceMethods_;
};

// An instance of a registered class. Subclasses of Object carry the state; the class carries the
// behaviour.
class Object {
  public:
    explicit Object(const Class& cls) : class_(&cls) {}
    virtual ~Object() = default;

    const Class& objectClass() const { return *class_; }
    bool respondsToSelector(std::string_view selector) const {
        return class_->instancesRespondToSelector(selector);
    }
    std::any perform(std::string_view selector, Arguments arguments = {}) {
        return class_->performInstanceSelector(*this, selector, arguments);
    }

  private:
    const Class* class_;
};

using ObjectRef = std::shared_ptr<Object>;

} // namespace rt
