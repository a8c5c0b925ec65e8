#pragma once
// The kit protocol. A kit is a registered runtime class (platform/runtime) that adopts "ZOVKit" and
// answers the class messages "bundleIdentifier" and "kitDisplayVersion" (strings), optionally
// "kitBuildVersion" (string) and "initializeIfNeeded" (no result). A legacy kit does not adopt the
// protocol but answers the class message "sharedInstance" (an rt::ObjectRef) whose instance answers
// "start", "bundleIdentifier" and "version".
//
// What the app hands to the start: kit classes, or kit objects standing for their class.
#include "platform/runtime/Class.hpp"

#include <any>
#include <optional>
#include <string>
#include <variant>

inline constexpr const char* ZOVKitProtocol = "ZOVKit";

using ZOVKitEntry = std::variant<const rt::Class*, rt::ObjectRef>;

// A kit's runtime class adopting the protocol, with its three string answers; the kit adds the rest.
inline rt::ClassDefinition ZOVKitClassDefinition(std::string name, std::string bundleIdentifier,
                                                 std::string displayVersion, std::string buildVersion) {
    rt::ClassDefinition definition;
    definition.name = std::move(name);
    definition.protocols = {ZOVKitProtocol};
    definition.classMethods["bundleIdentifier"] = [bundleIdentifier](const rt::Class&, rt::Arguments) {
        return std::any(bundleIdentifier);
    };
    definition.classMethods["kitDisplayVersion"] = [displayVersion](const rt::Class&, rt::Arguments) {
        return std::any(displayVersion);
    };
    definition.classMethods["kitBuildVersion"] = [buildVersion](const rt::Class&, rt::Arguments) {
        return std::any(buildVersion);
    };
    return definition;
}

// A string result of a kit message; nothing for any other result.
inline std::optional<std::string> ZOVKitStringResult(const std::any& result) {
    if (const auto* text = std::any_cast<std::string>(&result)) return *text;
    if (const auto* text = std::any_cast<const char*>(&result); text && *text) return std::string(*text);
    return std::nullopt;
}
