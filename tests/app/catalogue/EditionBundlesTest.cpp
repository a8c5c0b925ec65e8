// The four edition bundles carry what the SDK reads at start: a valid "Zovaze" configuration with a
// key and the crash kit's entry, and an icon the lookup accepts (the crash kit's own "Zevuzavidav"
// dictionary is read by its settings test).
#include "sdk/zovaze/Zovaze.hpp"
#include "sdk/zovaze/images/ZOVAppIconUtility.hpp"

#include <gtest/gtest.h>

#include <regex>

namespace {

class EditionBundle : public ::testing::TestWithParam<const char*> {};

TEST_P(EditionBundle, CarriesTheSDKConfigurationAndAnAcceptableIcon) {
    ns::Bundle bundle(std::string(VELO_SOURCE_DIR) + "/app/bundles/" + GetParam());
    ASSERT_FALSE(bundle.infoLoadError());
    const auto config = Zovaze::validZovazeConfigFromInfoPlist(&bundle.infoDictionary());
    EXPECT_TRUE(std::regex_match(*config.find("APIKey")->stringValue(), std::regex("[0-9a-f]{40}")));
    const auto* kits = config.find("Kits")->arrayValue();
    ASSERT_TRUE(kits && !kits->empty());
    EXPECT_EQ(*(*kits)[0].dictionaryValue()->find("KitName")->stringValue(), "Zevuzavidav");

    ZOVAppIconUtility icons(bundle);
    const auto& icon = icons.applicationIcon();
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->size(), (zovaze::IconSize{120, 120}));
    EXPECT_FALSE(icon->prerendered());
}

INSTANTIATE_TEST_SUITE_P(AllEditions, EditionBundle,
                         ::testing::Values("Swift", "Cpp", "SwiftUI", "ZovudERO"));

} // namespace
