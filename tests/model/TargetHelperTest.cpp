#include "model/TargetHelper.hpp"
#include "model/Reachability.hpp"

#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/services/FakeNetworkReachability.hpp"
#include "platform/services/ScopedOverride.hpp"

#include <gtest/gtest.h>

namespace {

TEST(TargetHelper, EditionFromBundleIdentifier) {
    auto& helper = TargetHelper::shared();
    ns::ConsoleCapture console;
    EXPECT_EQ(helper.currentEdition("com.velomarinth.swift"), 0);
    EXPECT_EQ(helper.currentEdition("com.velomarinth.cpp"), 1);
    EXPECT_EQ(helper.currentEdition("com.velomarinth.zovudero"), 2);
    EXPECT_EQ(helper.currentEdition("com.velomarinth.swiftui"), 3);
    EXPECT_TRUE(console.lines().empty());
    EXPECT_EQ(helper.currentEdition("com.velomarinth.SwiftUI"), 0);
    EXPECT_EQ(helper.currentEdition(""), 0);
    EXPECT_EQ(console.count("ALERT: No app setup // returning default app"), 2u);
}

TEST(TargetHelper, ReviewURLPerEdition) {
    auto& helper = TargetHelper::shared();
    const std::string tail = "&pageNumber=0&sortOrdering=2&type=Purple+Software&mt=8";
    for (int code = 0; code < 4; ++code) {
        const std::string url = helper.reviewURL(code);
        EXPECT_TRUE(url.starts_with(std::string("itms-apps://") + TargetHelper::storeHost +
                                    "/us/app/apple-store/viewContentsUserReviews?id="))
            << url;
        EXPECT_TRUE(url.ends_with(std::string(TargetHelper::storeAppIds[code]) + tail)) << url;
    }
    EXPECT_NE(helper.reviewURL(1), helper.reviewURL(3));
    EXPECT_EQ(helper.reviewURL(7), helper.reviewURL(0));
}

TEST(TargetHelper, ReadsTheMainBundle) {
    ns::Bundle::setMainBundlePath(std::string(VELO_SOURCE_DIR) + "/app/bundles/ZovudERO");
    auto& helper = TargetHelper::shared();
    EXPECT_EQ(helper.bundleIdentifier(), "com.velomarinth.zovudero");
    EXPECT_EQ(helper.currentEdition(helper.bundleIdentifier()), 2);
    EXPECT_FALSE(helper.appVersion().empty());
    EXPECT_EQ(helper.infoValue("CFBundleShortVersionString"), helper.appVersion());
    EXPECT_FALSE(helper.infoValue("NoSuchKey"));
    EXPECT_EQ(helper.runningEditionReviewURL(), helper.reviewURL(TargetHelper::zovudEro));
    ns::Bundle::setMainBundlePath(std::string(VELO_SOURCE_DIR) + "/app/bundles/Cpp");
    EXPECT_EQ(helper.runningEditionReviewURL(), helper.reviewURL(TargetHelper::cpp));
    ns::Bundle::setMainBundlePath({});
}

TEST(Reachability, ReachableWithoutConnectionRequired) {
    using namespace svc::reachability;
    EXPECT_TRUE(Reachability::isConnected(reachable));
    EXPECT_TRUE(Reachability::isConnected(reachable | isWWAN));
    EXPECT_FALSE(Reachability::isConnected(reachable | connectionRequired));
    EXPECT_FALSE(Reachability::isConnected(0u));
    EXPECT_FALSE(Reachability::isConnected(std::nullopt));

    auto fake = std::make_shared<svc::FakeNetworkReachability>(reachable | isWWAN);
    svc::ScopedOverride installed(svc::setSharedNetworkReachability, fake);
    EXPECT_TRUE(Reachability::isConnected());
    fake->fail();
    EXPECT_FALSE(Reachability::isConnected());
}

} // namespace
