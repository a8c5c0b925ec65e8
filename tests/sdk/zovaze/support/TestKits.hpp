#pragma once
// Kit classes of our own, registered in a private registry, that record when they are started.
#include "platform/runtime/ClassRegistry.hpp"
#include "sdk/zovaze/kit/ZOVKit.hpp"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace zovtest {

struct StartLog {
    std::mutex mutex;
    std::vector<std::string> started;
    void add(const std::string& name) {
        std::lock_guard lock(mutex);
        started.push_back(name);
    }
    std::vector<std::string> names() {
        std::lock_guard lock(mutex);
        return started;
    }
};

// A kit adopting the protocol: its bundle identifier is "com.test.<name>" and version "<name>-1".
inline rt::Class* registerKit(rt::ClassRegistry& registry, const std::string& name,
                              std::shared_ptr<StartLog> log, bool adoptsProtocol = true,
                              bool initializes = true) {
    rt::ClassDefinition definition;
    definition.name = name;
    if (adoptsProtocol) definition.protocols = {ZOVKitProtocol};
    definition.classMethods["bundleIdentifier"] = [name](const rt::Class&, rt::Arguments) {
        return std::any(std::string("com.test." + name));
    };
    definition.classMethods["kitDisplayVersion"] = [name](const rt::Class&, rt::Arguments) {
        return std::any(std::string(name + "-1"));
    };
    if (initializes) {
        definition.classMethods["initializeIfNeeded"] = [log, name](const rt::Class&, rt::Arguments) {
            log->add(name);
            return std::any();
        };
    }
    return registry.registerClass(definition);
}

// A legacy kit: a shared instance that answers start, bundleIdentifier and version (unless `without`
// names one of them).
inline rt::Class* registerLegacyKit(rt::ClassRegistry& registry, const std::string& name,
                                    std::shared_ptr<StartLog> log, const std::string& without = "") {
    rt::ClassDefinition definition;
    definition.name = name;
    auto instance = std::make_shared<std::shared_ptr<rt::Object>>();
    definition.classMethods["sharedInstance"] = [instance](const rt::Class& cls, rt::Arguments) {
        if (!*instance) *instance = std::make_shared<rt::Object>(cls);
        return std::any(*instance);
    };
    auto add = [&](const std::string& selector, rt::InstanceMethod method) {
        if (selector != without) definition.instanceMethods[selector] = std::move(method);
    };
    add("start", [log, name](rt::Object&, rt::Arguments) {
        log->add(name);
        return std::any();
    });
    add("bundleIdentifier",
        [name](rt::Object&, rt::Arguments) { return std::any(std::string("legacy." + name)); });
    add("version", [](rt::Object&, rt::Arguments) { return std::any(std::string("0.9")); });
    return registry.registerClass(definition);
}

} // namespace zovtest
