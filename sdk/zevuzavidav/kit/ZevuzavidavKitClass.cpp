// The runtime class "Zevuzavidav", through which the SDK finds and starts the kit by name: the kit
// protocol's class messages, the shared instance, and what a kit object answers.
#include "sdk/zevuzavidav/kit/Zevuzavidav.hpp"
#include "sdk/zovaze/kit/ZOVKit.hpp"

#include <any>

// Registered when the program starts; the symbol keeps this file in every program that links the SDK
// (see sdk/CMakeLists.txt), so the app's start finds the class it names.
extern "C" const void* const ZevuzavidavKitClass = Zevuzavidav::registerKitClass(rt::ClassRegistry::shared());

const rt::Class* Zevuzavidav::registerKitClass(rt::ClassRegistry& registry) {
    if (const rt::Class* existing = registry.lookUpClass(className)) return existing;
    rt::ClassDefinition definition =
        ZOVKitClassDefinition(className, kitBundleIdentifier, kitDisplayVersion, kitBuildVersion);
    definition.classMethods["initializeIfNeeded"] = [](const rt::Class&, rt::Arguments) {
        initializeIfNeeded();
        return std::any();
    };
    definition.classMethods["sharedInstance"] = [](const rt::Class&, rt::Arguments) {
        return std::any(rt::ObjectRef(sharedInstance()));
    };
    definition.instanceMethods["start"] = [](rt::Object& self, rt::Arguments) {
        static_cast<Zevuzavidav&>(self).start();
        return std::any();
    };
    definition.instanceMethods["bundleIdentifier"] = [](rt::Object& self, rt::Arguments) {
        return std::any(static_cast<Zevuzavidav&>(self).bundleIdentifier());
    };
    definition.instanceMethods["version"] = [](rt::Object& self, rt::Arguments) {
        return std::any(static_cast<Zevuzavidav&>(self).version());
    };
    if (const rt::Class* made = registry.registerClass(std::move(definition))) return made;
    return registry.lookUpClass(className);
}
