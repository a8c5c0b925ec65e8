// The kit side of the start: turning the app's argument into kit classes, checking them, finding the
// companion kits, starting each kit, and reading the kits' versions and configurations.
#include "platform/foundation/Console.hpp"
#include "platform/foundation/Exception.hpp"
#include "sdk/zovaze/Zovaze.hpp"
#include "sdk/zovaze/kit/ZOVObfuscator.hpp"

#include <algorithm>
#include <cctype>

namespace {

[[noreturn]] void raise(const std::string& reason) {
    throw ns::Exception("ZOVException", reason);
}

bool contains(const std::vector<const rt::Class*>& kits, const rt::Class* kit) {
    return std::find(kits.begin(), kits.end(), kit) != kits.end();
}

rt::ObjectRef sharedInstanceOf(const rt::Class& kit) {
    if (!kit.respondsToClassSelector("sharedInstance")) return nullptr;
    std::any instance = kit.performClassSelector("sharedInstance");
    if (auto* object = std::any_cast<rt::ObjectRef>(&instance)) return *object;
    return nullptr;
}

// A kit that claims the protocol but lacks one of its messages contributes no version, rather than
// taking the start down with it.
std::optional<std::string> classString(const rt::Class& kit, const char* selector) {
    if (!kit.respondsToClassSelector(selector)) return std::nullopt;
    return ZOVKitStringResult(kit.performClassSelector(selector));
}

std::optional<std::string> instanceString(rt::Object& kit, const char* selector) {
    if (!kit.respondsToSelector(selector)) return std::nullopt;
    return ZOVKitStringResult(kit.perform(selector));
}

std::string quotedIfNeeded(const std::string& text) {
    const bool plain = !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '_';
    });
    return plain ? text : "\"" + text + "\"";
}

// The platform's description of a dictionary of strings, as its log lines show one.
std::string describe(const Zovaze::KitVersions& versions) {
    std::string text = "{\n";
    for (const auto& [key, value] : versions) {
        text += "    " + quotedIfNeeded(key) + " = " + quotedIfNeeded(value) + ";\n";
    }
    return text + "}";
}

} // namespace

std::vector<const rt::Class*> Zovaze::convertToKitClassesIfNeeded(const std::vector<ZOVKitEntry>& kits) {
    std::vector<const rt::Class*> classes;
    for (const auto& kit : kits) {
        if (const auto* cls = std::get_if<const rt::Class*>(&kit)) {
            if (*cls) classes.push_back(*cls);
        } else if (const auto& object = std::get<rt::ObjectRef>(kit)) {
            classes.push_back(&object->objectClass());
        }
    }
    return classes;
}

void Zovaze::validateZOVKitConformance(const std::vector<const rt::Class*>& kits) {
    const std::string self = className;
    for (const rt::Class* kit : kits) {
        if (kit->conformsToProtocol(ZOVKitProtocol)) continue;
        if (kit->respondsToClassSelector("sharedInstance")) {
            ns::console("[" + self + "] Please upgrade to the latest version of \"" + kit->name() + "\"");
            if (kit->instancesRespondToSelector("start") &&
                kit->instancesRespondToSelector("bundleIdentifier") &&
                kit->instancesRespondToSelector("version")) {
                continue;
            }
        }
        raise("[" + self + "] It appears that \"" + kit->name() +
              "\" is not a valid Zovaze Kit. Please make sure you only pass Zovaze Kits to [Zovaze with:].");
    }
}

std::vector<const rt::Class*>
Zovaze::kitClassesByAddingRirozaIfFound(std::vector<const rt::Class*> kits) const {
    const rt::Class* riroza = environment_.registry->lookUpClass("Riroza");
    if (riroza && !contains(kits, riroza)) kits.push_back(riroza);
    return kits;
}

std::vector<const rt::Class*>
Zovaze::kitClassesByAddingRuroradIfFound(std::vector<const rt::Class*> kits) const {
    const rt::Class* crashKit = environment_.registry->lookUpClass("Zevuzavidav");
    const rt::Class* analytics = environment_.registry->lookUpClass("Rurorad");
    if (crashKit && analytics && contains(kits, crashKit) && analytics->conformsToProtocol(ZOVKitProtocol) &&
        !contains(kits, analytics)) {
        kits.push_back(analytics);
    }
    return kits;
}

void Zovaze::initializeKit(const rt::Class& kit) {
    if (kit.conformsToProtocol(ZOVKitProtocol)) {
        if (kit.respondsToClassSelector("initializeIfNeeded")) kit.performClassSelector("initializeIfNeeded");
        return;
    }
    if (rt::ObjectRef instance = sharedInstanceOf(kit)) instance->perform("start");
}

Zovaze::KitVersions Zovaze::kitVersionsByKitBundleIdentifier() const {
    KitVersions versions;
    for (const rt::Class* kit : kitClasses()) {
        std::optional<std::string> identifier;
        std::optional<std::string> version;
        if (kit->conformsToProtocol(ZOVKitProtocol)) {
            identifier = classString(*kit, "bundleIdentifier");
            version = classString(*kit, "kitDisplayVersion");
        } else if (rt::ObjectRef instance = sharedInstanceOf(*kit)) {
            identifier = instanceString(*instance, "bundleIdentifier");
            version = instanceString(*instance, "version");
        }
        if (identifier && version) versions[*identifier] = *version;
    }
    versions[clientIdentifier] = displayVersion;
    if (debug()) ns::console("[Zovaze] Initialized with kit versions: " + describe(versions));
    return versions;
}

ns::PropertyList::Dictionary
Zovaze::validZovazeConfigFromInfoPlist(const ns::PropertyList::Dictionary* info) {
    const std::string self = className;
    if (!info) raise("[" + self + "] Cannot find Info.plist.");
    const ns::PropertyList* value = info->find("Zovaze");
    const auto* config = value ? value->dictionaryValue() : nullptr;
    if (!config) raise("[" + self + "] Value of Info.plist key \"Zovaze\" must be a NSDictionary.");
    const ns::PropertyList* kits = config->find("Kits");
    if (!kits || !kits->arrayValue()) {
        ns::console("[Zovaze] [" + self + "] Value of Info.plist[" + self + "][Kits] should be a NSArray.");
    }
    const ns::PropertyList* key = config->find("APIKey");
    if (!key || !key->stringValue()) {
        raise("[" + self + "] Value of Info.plist[" + self + "][APIKey] must contain your " + self +
              " API Key.");
    }
    return *config;
}

std::optional<ns::PropertyList::Dictionary> Zovaze::configurationDictionaryForKitClass(const rt::Class& kit) {
    auto config = zovazeConfig();
    const ns::PropertyList* kitsValue = config ? config->find("Kits") : nullptr;
    const auto* kits = kitsValue ? kitsValue->arrayValue() : nullptr;
    if (!kits) return std::nullopt;
    const ns::PropertyList::Dictionary* entry = nullptr;
    for (const auto& candidate : *kits) {
        const auto* dictionary = candidate.dictionaryValue();
        const ns::PropertyList* name = dictionary ? dictionary->find("KitName") : nullptr;
        if (name && name->stringValue() && *name->stringValue() == kit.name()) {
            entry = dictionary;
            break;
        }
    }
    if (!entry) return std::nullopt;

    ns::PropertyList::Dictionary result;
    if (const ns::PropertyList* obfuscated = entry->find("ObfuscatedKitInfo")) {
        if (const auto* data = obfuscated->dataValue()) {
            result = ZOVObfuscator::dictionaryWithObfuscatedData(*data);
        } else if (const auto* text = obfuscated->stringValue()) {
            // The Base64 text stored as a string rather than as data: the same bytes.
            result = ZOVObfuscator::dictionaryWithObfuscatedData(
                std::vector<std::uint8_t>(text->begin(), text->end()));
        } else {
            throw ns::Exception("InvalidObfuscatedData", "Improperly obfuscated data.");
        }
    }
    const ns::PropertyList* plainValue = entry->find("KitInfo");
    if (const auto* plain = plainValue ? plainValue->dictionaryValue() : nullptr) {
        for (const auto& [key, value] : *plain)
            result.set(key, value);
    }
    return result;
}
