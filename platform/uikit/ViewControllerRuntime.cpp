#include "platform/uikit/ViewControllerRuntime.hpp"

#include "platform/runtime/ClassRegistry.hpp"

#include <cxxabi.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <typeindex>

namespace ui {

namespace {

const rt::Class* registerOrFind(rt::ClassDefinition definition) {
    auto& registry = rt::ClassRegistry::shared();
    const std::string name = definition.name;
    if (const rt::Class* made = registry.registerClass(std::move(definition))) return made;
    return registry.lookUpClass(name);
}

} // namespace

const rt::Class& viewControllerClass() {
    static const rt::Class* const cls = [] {
        rt::ClassDefinition definition;
        definition.name = viewControllerClassName;
        auto nothing = [](rt::Object&, rt::Arguments) { return std::any(); };
        definition.instanceMethods["viewDidAppear:"] = nothing;
        definition.instanceMethods["viewDidDisappear:"] = nothing;
        return registerOrFind(std::move(definition));
    }();
    return *cls;
}

// Registered with the program's start, as the platform's classes exist from the start of a process, so
// that code looking the class up by name finds it before the first screen is made.
[[maybe_unused]] const rt::Class& registeredAtStart = viewControllerClass();

std::string viewControllerClassNameForType(const std::type_info& type) {
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> demangled(
        abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), &std::free);
    std::string name = status == 0 && demangled ? demangled.get() : type.name();
    if (name.rfind("ui::", 0) == 0) return "UI" + name.substr(4);
    if (auto colons = name.rfind("::"); colons != std::string::npos) name = name.substr(colons + 2);
    return name;
}

const rt::Class& viewControllerClassForType(const std::type_info& type) {
    static std::mutex mutex;
    static std::map<std::type_index, const rt::Class*> classes;
    const rt::Class& base = viewControllerClass();
    std::lock_guard lock(mutex);
    if (auto found = classes.find(type); found != classes.end()) return *found->second;
    const std::string name = viewControllerClassNameForType(type);
    const rt::Class* cls = &base;
    if (name != base.name()) {
        rt::ClassDefinition definition;
        definition.name = name;
        definition.superclassName = base.name();
        const rt::Class* made = registerOrFind(std::move(definition));
        if (made && made->isSubclassOf(base)) cls = made;
    }
    classes.emplace(type, cls);
    return *cls;
}

} // namespace ui
