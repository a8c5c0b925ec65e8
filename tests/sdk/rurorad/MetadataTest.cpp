// The session metadata: its keys and their order, the beta token, the advertising state.
#include "sdk/rurorad/engine/ZEVAnalyticsMetadataController.hpp"
#include "sdk/zovaze/identity/ZOVDeviceFacts.hpp"
#include "tests/sdk/rurorad/support/AnalyticsWorld.hpp"

#include <gtest/gtest.h>

#include <memory>

namespace {

using ruroradtest::AnalyticsWorld;
using Metadata = ZEVAnalyticsMetadataController;

std::vector<std::string> keysOf(const rurorad::JSONObject& object) {
    std::vector<std::string> keys;
    for (const auto& item : object.items())
        keys.push_back(item.key());
    return keys;
}

// An advertising-identifier manager as the platform's would answer.
struct FakeManager : rt::Object {
    using rt::Object::Object;
};

void registerAdvertisingManager(rt::ClassRegistry& registry, bool trackingEnabled) {
    rt::ClassDefinition definition;
    definition.name = "ASIdentifierManager";
    definition.instanceMethods["isAdvertisingTrackingEnabled"] = [](rt::Object&, rt::Arguments) {
        return std::any();
    };
    definition.instanceMethods["advertisingTrackingEnabled"] = [trackingEnabled](rt::Object&, rt::Arguments) {
        return std::any(trackingEnabled);
    };
    definition.instanceMethods["advertisingIdentifier"] = [](rt::Object&, rt::Arguments) {
        return std::any(std::string("AD-1"));
    };
    definition.classMethods["sharedManager"] = [](const rt::Class& cls, rt::Arguments) {
        return std::any(rt::ObjectRef(std::make_shared<FakeManager>(cls)));
    };
    ASSERT_TRUE(registry.registerClass(std::move(definition)));
}

TEST(Metadata, KeysComeInTheirFixedOrder) {
    AnalyticsWorld world;
    auto metadata = Metadata::initWithTimeStamp(1700000000999, "2:tester", world.host());
    ASSERT_TRUE(metadata);
    const std::vector<std::string> expected = {"generator",
                                               "links_ad_support",
                                               "advertising_tracking_enabled",
                                               "api_key",
                                               "session_id",
                                               "started_at",
                                               "install_id",
                                               "beta_tester_token",
                                               "model",
                                               "machine",
                                               "locale",
                                               "os_build",
                                               "os_version",
                                               "platform",
                                               "platform_code",
                                               "cores",
                                               "bundle_id",
                                               "bundle_version",
                                               "bundle_short_version",
                                               "instance_id"};
    EXPECT_EQ(keysOf(metadata->metadata()), expected);
    const auto& m = metadata->metadata();
    EXPECT_EQ(m["generator"], "Rurorad iOS SDK/1.0.0");
    EXPECT_EQ(m["session_id"], AnalyticsWorld::executionIdentifier);
    EXPECT_EQ(m["started_at"], 1700000000); // the 999 ms are dropped
    EXPECT_EQ(m["beta_tester_token"], "tester");
    EXPECT_EQ(m["model"], m["machine"]);
    EXPECT_EQ(m["bundle_id"], AnalyticsWorld::bundleIdentifier);
    EXPECT_EQ(m["bundle_short_version"], "5.2");
    EXPECT_EQ(m["platform"], "iOS");
    EXPECT_EQ(m["platform_code"], 1);
    EXPECT_EQ(nlohmann::json::parse(metadata->metadataJSONData()), nlohmann::json(m));
    EXPECT_EQ(metadata->metadataJSONData().rfind(
                  R"({"generator":"Rurorad iOS SDK/1.0.0","links_ad_support":false,)", 0),
              0u);
}

TEST(Metadata, BetaTokensUnwrapOnlyInTheirOneForm) {
    const std::pair<std::optional<std::string>, std::optional<std::string>> table[] = {
        {"2:ABCDE", "ABCDE"}, {"2:", ""},           {"1:ABCDE", std::nullopt},    {"2:A:B", std::nullopt},
        {"2", std::nullopt},  {":2", std::nullopt}, {std::nullopt, std::nullopt},
    };
    for (const auto& [token, unwrapped] : table)
        EXPECT_EQ(Metadata::unwrapBetaToken(token), unwrapped) << token.value_or("<none>");
}

TEST(Metadata, AdvertisingStateComesFromTheManagerFoundAtRunTime) {
    {
        AnalyticsWorld world;
        auto metadata = Metadata::initWithTimeStamp(1, std::nullopt, world.host());
        EXPECT_EQ(metadata->metadata()["links_ad_support"], false);
        EXPECT_FALSE(metadata->metadata().contains("advertising_id"));
        EXPECT_TRUE(world.advertisingTokenSet);
        EXPECT_EQ(world.advertisingToken, std::nullopt);
    }
    {
        AnalyticsWorld world;
        registerAdvertisingManager(world.registry, true);
        auto metadata = Metadata::initWithTimeStamp(1, std::nullopt, world.host());
        EXPECT_EQ(metadata->metadata()["links_ad_support"], true);
        EXPECT_EQ(metadata->metadata()["advertising_tracking_enabled"], true);
        EXPECT_EQ(metadata->metadata()["advertising_id"], "AD-1");
        EXPECT_EQ(world.advertisingToken, "AD-1");
    }
    {
        // Device identifiers not to be reported: no identifier, the flags still there.
        AnalyticsWorld world({{"ZevuzavidavCollectDeviceIdentifiers", false}});
        registerAdvertisingManager(world.registry, true);
        auto metadata = Metadata::initWithTimeStamp(1, std::nullopt, world.host());
        EXPECT_EQ(metadata->metadata()["links_ad_support"], true);
        EXPECT_EQ(metadata->metadata()["advertising_tracking_enabled"], true);
        EXPECT_FALSE(metadata->metadata().contains("advertising_id"));
        EXPECT_TRUE(world.advertisingTokenSet);
        EXPECT_EQ(world.advertisingToken, std::nullopt);
    }
}

} // namespace
