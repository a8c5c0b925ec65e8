// The runtime class "Zevuzavidav", through which the SDK finds and starts the kit by name: the kit
// protocol's class messages, the shared instance, what a kit object answers, and the class-side forms of
// the app's setters and event calls.
#include "sdk/zevuzavidav/kit/Zevuzavidav.hpp"
#include "sdk/zovaze/kit/ZOVKit.hpp"

#include <any>
#include <cstdint>

namespace {

// A text argument as a caller may pass it; anything else (or nothing) is no text.
std::optional<std::string> textArgument(rt::Arguments arguments, std::size_t index) {
    if (arguments.size() <= index) return std::nullopt;
    const std::any& argument = arguments[index];
    if (const auto* text = std::any_cast<std::optional<std::string>>(&argument)) return *text;
    if (const auto* text = std::any_cast<std::string>(&argument)) return *text;
    if (const auto* text = std::any_cast<const char*>(&argument); text && *text) return std::string(*text);
    return std::nullopt;
}

// A number argument of type T, or of the other types a caller may pass for it; nothing otherwise.
template <typename T, typename... Alternatives>
std::optional<T> numberArgument(rt::Arguments arguments, std::size_t index) {
    if (arguments.size() <= index) return std::nullopt;
    std::optional<T> found;
    auto take = [&](auto alternative) {
        using Alternative = decltype(alternative);
        if (const auto* value = std::any_cast<Alternative>(&arguments[index]); value && !found)
            found = static_cast<T>(*value);
    };
    take(T{});
    (take(Alternatives{}), ...);
    return found;
}

// The receiving class's shared instance, as the phone's class-side setters use it (a subclass may
// answer its own); nothing when it is not a crash kit.
std::shared_ptr<Zevuzavidav> sharedKitOf(const rt::Class& receiver) {
    if (!receiver.respondsToClassSelector("sharedInstance")) return nullptr;
    const std::any answer = receiver.performClassSelector("sharedInstance");
    const auto* object = std::any_cast<rt::ObjectRef>(&answer);
    return object ? std::dynamic_pointer_cast<Zevuzavidav>(*object) : nullptr;
}

// A class-side setter: `apply` runs on the receiving class's shared instance.
rt::ClassMethod onSharedKit(std::function<void(Zevuzavidav&, rt::Arguments)> apply) {
    return [apply = std::move(apply)](const rt::Class& receiver, rt::Arguments arguments) {
        if (auto kit = sharedKitOf(receiver)) apply(*kit, arguments);
        return std::any();
    };
}

} // namespace

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
    // The class-side setters go to the receiving class's shared instance.
    auto& classMethods = definition.classMethods;
    classMethods["setUserIdentifier:"] = onSharedKit(
        [](Zevuzavidav& kit, rt::Arguments arguments) { kit.setUserIdentifier(textArgument(arguments, 0)); });
    classMethods["setUserName:"] = onSharedKit(
        [](Zevuzavidav& kit, rt::Arguments arguments) { kit.setUserName(textArgument(arguments, 0)); });
    classMethods["setUserEmail:"] = onSharedKit(
        [](Zevuzavidav& kit, rt::Arguments arguments) { kit.setUserEmail(textArgument(arguments, 0)); });
    classMethods["setDevelopmentPlatformName:"] = onSharedKit([](Zevuzavidav& kit, rt::Arguments arguments) {
        kit.setDevelopmentPlatformName(textArgument(arguments, 0));
    });
    classMethods["setDevelopmentPlatformVersion:"] =
        onSharedKit([](Zevuzavidav& kit, rt::Arguments arguments) {
            kit.setDevelopmentPlatformVersion(textArgument(arguments, 0));
        });
    classMethods["setObjectValue:forKey:"] = onSharedKit([](Zevuzavidav& kit, rt::Arguments arguments) {
        kit.setObjectValue(textArgument(arguments, 0), textArgument(arguments, 1));
    });
    // A number that is missing or of another type sets nothing.
    classMethods["setIntValue:forKey:"] = onSharedKit([](Zevuzavidav& kit, rt::Arguments arguments) {
        if (auto value = numberArgument<std::int32_t>(arguments, 0))
            kit.setIntValue(*value, textArgument(arguments, 1));
    });
    classMethods["setBoolValue:forKey:"] = onSharedKit([](Zevuzavidav& kit, rt::Arguments arguments) {
        if (auto value = numberArgument<bool>(arguments, 0))
            kit.setBoolValue(*value, textArgument(arguments, 1));
    });
    classMethods["setFloatValue:forKey:"] = onSharedKit([](Zevuzavidav& kit, rt::Arguments arguments) {
        if (auto value = numberArgument<float, double>(arguments, 0))
            kit.setFloatValue(*value, textArgument(arguments, 1));
    });
    // Events always go through the crash kit's own shared instance, whoever receives the message.
    classMethods["logEvent:"] = [](const rt::Class&, rt::Arguments arguments) {
        sharedInstance()->logEvent(textArgument(arguments, 0));
        return std::any();
    };
    classMethods["logEvent:attributes:"] = [](const rt::Class&, rt::Arguments arguments) {
        std::optional<ZevuzavidavEventAttributes> attributes;
        if (arguments.size() >= 2) {
            if (const auto* given = std::any_cast<std::optional<ZevuzavidavEventAttributes>>(&arguments[1]))
                attributes = *given;
            else if (const auto* bare = std::any_cast<ZevuzavidavEventAttributes>(&arguments[1]))
                attributes = *bare;
        }
        sharedInstance()->logEvent(textArgument(arguments, 0), attributes);
        return std::any();
    };
    if (const rt::Class* made = registry.registerClass(std::move(definition))) return made;
    return registry.lookUpClass(className);
}
