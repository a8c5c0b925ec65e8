#include "sdk/zovaze/identity/ZOVApplicationIdentiferModel.hpp"
#include "sdk/zovaze/base/HexAndDigests.hpp"
#include "sdk/zovaze/images/ELFImage.hpp"
#include "tests/support/MachOBytes.hpp"
#include "tests/support/TempBundle.hpp"

#include <gtest/gtest.h>

using namespace machotest;
using zovtest::TempBundle;

namespace {

std::string sha1(const std::string& text) {
    return ZOVSHA1HexFromData(Bytes(text.begin(), text.end()));
}

struct Fixture {
    TempBundle folder;
    std::unique_ptr<ns::Bundle> bundle;

    explicit Fixture(ns::PropertyList::Dictionary info = {{"CFBundleIdentifier", "com.example/odd"}}) {
        folder.writeInfo(info);
        bundle = std::make_unique<ns::Bundle>(folder.path());
    }
    std::shared_ptr<ZOVApplicationIdentiferModel> model(const std::string& executable) {
        return ZOVApplicationIdentiferModel::initWithInstallID("INSTALL-ID", executable, *bundle);
    }
    std::string write(const std::string& name, const Bytes& bytes) {
        folder.writeFile(name, bytes);
        return (folder.path() / name).string();
    }
};

TEST(ApplicationIdentiferModel, ThinExecutableGivesOneEntryAndTheHashOfItsUUIDText) {
    Fixture fixture;
    auto path = fixture.write(
        "thin", thinImage(0x0100000C, 0, {uuidCommand(0x00), versionMinCommand(0x90300, 0xa0000)}));
    auto model = fixture.model(path);
    ASSERT_TRUE(model);
    const std::string uuid = "00112233445566778899aabbccddeeff";
    EXPECT_EQ(model->architectureUUIDMap(),
              (ZOVApplicationIdentiferModel::ArchitectureUUIDMap{{"arm64", uuid}}));
    EXPECT_EQ(model->instanceIdentifier(), sha1(uuid));
    EXPECT_EQ(model->minimumSDKString(), "9.3.0");
    EXPECT_EQ(model->builtSDKString(), "10.0.0");
    EXPECT_EQ(model->installID(), "INSTALL-ID");
    EXPECT_EQ(model->bundleIdentifier(), "com.example_odd");
}

TEST(ApplicationIdentiferModel, FatFixtureHashesArm64BeforeArmv7) {
    Fixture fixture;
    auto model = fixture.model(fixturePath("fat-armv7-arm64"));
    ASSERT_TRUE(model);
    const auto& map = model->architectureUUIDMap();
    ASSERT_EQ(map.size(), 2u);
    // The UUIDs as recorded from objdump when the fixtures were made.
    EXPECT_EQ(map.at("arm64"), "4c4c449455553144a1c8d063a30ac3f1");
    EXPECT_EQ(map.at("armv7"), "4c4c443655553144a1ecaed00d0b5843");
    EXPECT_EQ(model->instanceIdentifier(), sha1(map.at("arm64") + map.at("armv7")));
    EXPECT_NE(model->instanceIdentifier(), sha1(map.at("armv7") + map.at("arm64")));
    EXPECT_EQ(model->minimumSDKString(), "9.0.0") << "the last version command met wins (arm64 comes last)";
}

TEST(ApplicationIdentiferModel, NoUUIDOrVersionCommandsGiveEmptyMapAndZeroVersions) {
    Fixture fixture;
    auto path = fixture.write("bare", thinImage(0x0100000C, 0, {{0x2, 24, {}}}));
    auto model = fixture.model(path);
    ASSERT_TRUE(model);
    EXPECT_TRUE(model->architectureUUIDMap().empty());
    EXPECT_EQ(model->instanceIdentifier(), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(model->minimumSDKString(), "0.0.0");

    auto newer = fixture.model(fixturePath("arm64-buildversion"));
    ASSERT_TRUE(newer);
    EXPECT_EQ(newer->builtSDKString(), "0.0.0");
    EXPECT_EQ(newer->architectureUUIDMap().size(), 1u);
}

TEST(ApplicationIdentiferModel, UnreadableExecutableGivesNoModel) {
    Fixture fixture;
    EXPECT_FALSE(fixture.model((fixture.folder.path() / "missing").string()));
    EXPECT_FALSE(fixture.model(fixture.write("short", Bytes(8, 0xcf))));
}

TEST(ApplicationIdentiferModel, RunningELFExecutableIsIdentifiedByItsBuildID) {
    Fixture fixture;
    auto model = fixture.model("/proc/self/exe");
    ASSERT_TRUE(model);
    ASSERT_EQ(model->architectureUUIDMap().size(), 1u);
    const auto& [architecture, uuid] = *model->architectureUUIDMap().begin();
    EXPECT_NE(architecture, "unknown");
    EXPECT_EQ(uuid.size(), 32u);
    EXPECT_EQ(model->instanceIdentifier(), sha1(uuid));
    EXPECT_EQ(model->instanceIdentifier()->size(), 40u);
}

TEST(ApplicationIdentiferModel, CarriesTheBundleIcon) {
    Fixture fixture({{"CFBundleIdentifier", "com.example.app"}, {"CFBundleIconFile", "Icon-60"}});
    const auto bytes = fixture.folder.writePNG("Icon-60@2x.png", 120, 120);
    auto model = fixture.model(fixturePath("arm64-thin"));
    ASSERT_TRUE(model && model->icon());
    EXPECT_EQ(model->icon()->dataHash(), ZOVSHA1HexFromData(bytes));
}

} // namespace
