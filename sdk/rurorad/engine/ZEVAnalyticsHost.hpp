#pragma once
// What the analytics engine reads from the SDK around it: the server settings, the installation's
// identity, the API key, the defaults store, the notification centre, the class registry and the app's
// Info.plist. ZEVAnalyticsHost::process() reads the running SDK (the Zovaze shared instance and its
// stores); tests assemble their own.
//
// Failure contract: none of its own; each reader answers what its source has (nothing when absent).
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/NotificationCenter.hpp"
#include "platform/runtime/ClassRegistry.hpp"
#include "sdk/zovaze/settings/ZEVUserDefaults.hpp"
#include "sdk/zovaze/settings/ZOVSettings.hpp"

#include <functional>
#include <optional>
#include <string>

struct ZEVAnalyticsHost {
    std::function<ZOVSettingsDocument()> settings;
    std::function<bool()> isFirstInstall;
    std::function<std::optional<std::string>()> APIKey;
    std::function<std::optional<std::string>()> installID;
    std::function<std::optional<std::string>()> instanceIdentifier;
    std::function<std::string()> executionIdentifier;
    std::function<void(const std::optional<std::string>&)> setAdvertisingToken;
    ZEVUserDefaults* userDefaults = nullptr;
    ns::NotificationCenter* notificationCenter = nullptr;
    rt::ClassRegistry* registry = nullptr;
    const ns::Bundle* bundle = nullptr;

    static ZEVAnalyticsHost process();
};
