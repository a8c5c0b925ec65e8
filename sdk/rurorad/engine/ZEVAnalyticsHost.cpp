#include "sdk/rurorad/engine/ZEVAnalyticsHost.hpp"

#include "sdk/zovaze/Zovaze.hpp"

ZEVAnalyticsHost ZEVAnalyticsHost::process() {
    ZEVAnalyticsHost host;
    host.settings = [] { return Zovaze::sharedSDK().settings(); };
    host.isFirstInstall = [] { return Zovaze::sharedSDK().isFirstInstall(); };
    host.APIKey = []() -> std::optional<std::string> { return Zovaze::sharedSDK().APIKey(); };
    host.installID = []() -> std::optional<std::string> { return Zovaze::sharedSDK().installID(); };
    host.instanceIdentifier = [] { return Zovaze::sharedSDK().instanceIdentifier(); };
    host.executionIdentifier = [] { return Zovaze::sharedSDK().executionIdentifier(); };
    host.setAdvertisingToken = [](const std::optional<std::string>& token) {
        Zovaze::sharedSDK().setAdvertisingToken(token);
    };
    host.userDefaults = &ZEVUserDefaults::standardUserDefaults();
    host.notificationCenter = &ns::NotificationCenter::defaultCenter();
    host.registry = &rt::ClassRegistry::shared();
    host.bundle = &ns::Bundle::main();
    return host;
}
