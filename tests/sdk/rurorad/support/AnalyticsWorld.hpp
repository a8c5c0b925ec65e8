#pragma once
// A private world for one analytics test: a temporary folder holding the app bundle (Info.plist with a
// bundle id and versions) and the SDK's defaults store, its own notification centre and class registry,
// server settings the test sets, and the SDK's identity. host() hands the engine these instead of the
// running SDK's.
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/PropertyListSerialization.hpp"
#include "sdk/rurorad/engine/ZEVAnalyticsHost.hpp"
#include "tests/support/TempHome.hpp"

#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>

namespace ruroradtest {

class AnalyticsWorld {
  public:
    static constexpr const char* bundleIdentifier = "com.velomarinth.swift";
    static constexpr const char* installationID = "6A1D5B7E-0C42-4A34-9D9B-3F0E2C1B7A55";
    static constexpr const char* executionIdentifier = "0123456789abcdef0123456789abcdef";
    static constexpr const char* apiKey = "analytics-test-key";

    explicit AnalyticsWorld(ns::PropertyList::Dictionary extraInfo = {}) {
        ns::PropertyList::Dictionary info{{"CFBundleIdentifier", bundleIdentifier},
                                          {"CFBundleVersion", "42"},
                                          {"CFBundleShortVersionString", "5.2"}};
        for (const auto& [key, value] : extraInfo)
            info.set(key, value);
        std::filesystem::create_directories(bundlePath());
        auto bytes = ns::writePropertyList(ns::PropertyList(info), ns::PropertyListFormat::xml);
        std::ofstream(bundlePath() / "Info.plist", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.value().data()),
                   static_cast<std::streamsize>(bytes.value().size()));
        ns::Bundle::setMainBundlePath(bundlePath());
        ns::Sandbox::setHome(folder.path() / "home");
        defaults = std::make_unique<ZEVUserDefaults>(folder.path() / "defaults");
    }
    ~AnalyticsWorld() {
        ns::Sandbox::reset();
        ns::Bundle::setMainBundlePath({});
    }

    std::filesystem::path bundlePath() const { return folder.path() / "Test.app"; }
    std::filesystem::path root() const { return folder.path() / "analytics"; }

    void setSettings(const nlohmann::json& settings) {
        std::lock_guard lock(mutex_);
        settings_ = std::make_shared<const nlohmann::json>(settings);
    }
    void clearSettings() {
        std::lock_guard lock(mutex_);
        settings_ = nullptr;
    }

    ZEVAnalyticsHost host() {
        ZEVAnalyticsHost host;
        host.settings = [this] {
            std::lock_guard lock(mutex_);
            return settings_;
        };
        host.isFirstInstall = [this] { return firstInstall; };
        host.APIKey = []() -> std::optional<std::string> { return std::string(apiKey); };
        host.installID = [this]() -> std::optional<std::string> { return installation; };
        host.instanceIdentifier = []() -> std::optional<std::string> { return std::string("instance-1"); };
        host.executionIdentifier = [] { return std::string(executionIdentifier); };
        host.setAdvertisingToken = [this](const std::optional<std::string>& token) {
            advertisingTokenSet = true;
            advertisingToken = token;
        };
        host.userDefaults = defaults.get();
        host.notificationCenter = &center;
        host.registry = &registry;
        host.bundle = &ns::Bundle::main();
        return host;
    }

    velotest::TempFolder folder;
    std::unique_ptr<ZEVUserDefaults> defaults;
    ns::NotificationCenter center;
    rt::ClassRegistry registry;
    bool firstInstall = false;
    std::optional<std::string> installation = std::string(installationID);
    bool advertisingTokenSet = false;
    std::optional<std::string> advertisingToken;

  private:
    std::mutex mutex_;
    ZOVSettingsDocument settings_;
};

} // namespace ruroradtest
