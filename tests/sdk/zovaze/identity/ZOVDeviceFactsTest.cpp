// Application and device facts from the bundle, the kernel and the sysctl stand-in.
#include "sdk/zovaze/identity/ZOVDeviceFacts.hpp"
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/PropertyListSerialization.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sys/utsname.h>
#include <unistd.h>

namespace {

class DeviceFacts : public ::testing::Test {
  protected:
    void TearDown() override {
        ns::Bundle::setMainBundlePath({});
        zovaze::overrideProcessOperatingSystemVersion(nullptr);
        zovaze::overrideSysctl(nullptr);
    }
    void useInfo(ns::PropertyList::Dictionary info) {
        auto bytes = ns::writePropertyList(ns::PropertyList(std::move(info)), ns::PropertyListFormat::xml);
        ASSERT_TRUE(bytes.ok());
        std::ofstream(bundle_.path() / "Info.plist", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.value().data()),
                   static_cast<std::streamsize>(bytes.value().size()));
        ns::Bundle::setMainBundlePath(bundle_.path());
    }
    void useMajor(std::int64_t major) {
        zovaze::overrideProcessOperatingSystemVersion([major] {
            return zovaze::OperatingSystemVersionTriple{major, 0, 0};
        });
    }
    velotest::TempFolder bundle_;
};

TEST_F(DeviceFacts, BundleValuesAndTheirFallbacks) {
    useInfo({{"CFBundleIdentifier", "a/b/c"},
             {"CFBundleVersion", "37"},
             {"CFBundleShortVersionString", "1.2"},
             {"CFBundleName", "Velo"}});
    EXPECT_EQ(ZOVEscapedBundleIdentifier(), "a_b_c");
    EXPECT_EQ(ZOVBundleVersion(), "37");
    EXPECT_EQ(ZOVBundleShortVersionString(), "1.2");
    EXPECT_EQ(ZOVBundleDisplayName(), "Velo");
    useInfo({{"CFBundleIdentifier", "com.example.app"},
             {"CFBundleVersion", "9"},
             {"CFBundleDisplayName", "Shown"}});
    EXPECT_EQ(ZOVEscapedBundleIdentifier(), "com.example.app");
    EXPECT_EQ(ZOVBundleDisplayName(), "Shown");
    EXPECT_FALSE(ZOVBundleShortVersionString());
    useInfo({{"CFBundleVersion", "9"}});
    EXPECT_FALSE(ZOVEscapedBundleIdentifier());
    EXPECT_EQ(ZOVBundleDisplayName(), "9");
}

TEST_F(DeviceFacts, VersionNumberCountsOnlyMajorsFourToNine) {
    const std::pair<std::int64_t, std::uint32_t> table[] = {{3, 0},     {4, 40000}, {7, 70000},
                                                            {9, 90000}, {10, 0},    {17, 0}};
    for (const auto& [major, number] : table) {
        useMajor(major);
        EXPECT_EQ(ZOVOSVersionNumber(), number) << major;
    }
    EXPECT_EQ(zovaze::operatingSystemVersionFromText("9"), (zovaze::OperatingSystemVersionTriple{9, 0, 0}));
    EXPECT_EQ(zovaze::operatingSystemVersionFromText("8.1"), (zovaze::OperatingSystemVersionTriple{8, 1, 0}));
    EXPECT_EQ(zovaze::operatingSystemVersionFromText("6.1.0-13-amd64"),
              (zovaze::OperatingSystemVersionTriple{6, 1, 0}));
    zovaze::overrideProcessOperatingSystemVersion([] { return zovaze::operatingSystemVersionFromText("9"); });
    EXPECT_EQ(ZOVOSDisplayVersion(), "9.0.0");
}

TEST_F(DeviceFacts, InstallSourceFollowsReceiptThenDistributionSigning) {
    useInfo({{"CFBundleIdentifier", "com.example.app"}, {"ZevuzavidavSignedForDistribution", true}});
    std::filesystem::create_directories(bundle_.path() / "StoreKit");
    std::ofstream(bundle_.path() / "StoreKit" / "receipt") << "receipt";
    struct Case {
        std::int64_t major;
        int source;
    };
    for (const auto& c : {Case{8, 4}, Case{7, 4}, Case{6, 3}, Case{10, 3}, Case{14, 3}}) {
        useMajor(c.major);
        EXPECT_EQ(ZOVInstallSource(), c.source) << c.major;
    }
    useInfo({{"CFBundleIdentifier", "com.example.app"}});
    useMajor(12);
    EXPECT_EQ(ZOVInstallSource(), 1);
    EXPECT_FALSE(ZOVIsSignedForDistribution());
}

TEST_F(DeviceFacts, DeviceIdentifierReportingPrefersTheZovazeDictionary) {
    struct Case {
        ns::PropertyList::Dictionary info;
        bool expected;
    };
    const Case cases[] = {
        {{}, true},
        {{{"ZevuzavidavCollectDeviceIdentifiers", false}}, false},
        {{{"Zovaze", ns::PropertyList::Dictionary{{"ReportIdentifiers", false}}},
          {"ZevuzavidavCollectDeviceIdentifiers", true}},
         false},
        {{{"Zovaze", ns::PropertyList::Dictionary{{"ReportIdentifiers", "YES"}}},
          {"ZevuzavidavCollectDeviceIdentifiers", false}},
         true},
        {{{"Zovaze", ns::PropertyList::Dictionary{{"APIKey", "k"}}},
          {"ZevuzavidavCollectDeviceIdentifiers", 0}},
         false},
    };
    for (const auto& c : cases) {
        useInfo(c.info);
        EXPECT_EQ(ZOVShouldReportDeviceIdentifiers(), c.expected);
    }
}

TEST_F(DeviceFacts, SysctlStringsComeFromTheKernelAndFailCleanly) {
    utsname host{};
    ASSERT_EQ(::uname(&host), 0);
    EXPECT_EQ(ZOVDeviceModel(), std::string(host.machine));
    EXPECT_EQ(ZOVOSBuildVersion(), std::string(host.version));
    EXPECT_FALSE(ZOVSysctlString("kern.nothing"));

    std::size_t bufferSeen = 0;
    zovaze::overrideSysctl([&](const char*, char* buffer, std::size_t* length) {
        bufferSeen = *length;
        std::string value(200, 'm'); // longer than the buffer: the call refuses it
        if (*length < value.size() + 1) return -1;
        std::memcpy(buffer, value.c_str(), value.size() + 1);
        return 0;
    });
    EXPECT_FALSE(ZOVDeviceModel());
    EXPECT_EQ(bufferSeen, 128u);
    zovaze::overrideSysctl([](const char*, char*, std::size_t*) { return -1; });
    EXPECT_FALSE(ZOVOSBuildVersion());
    zovaze::overrideSysctl([](const char*, char* buffer, std::size_t* length) {
        std::memset(buffer, 'z', *length); // no terminating zero: the text stops at the buffer's end
        return 0;
    });
    EXPECT_EQ(ZOVDeviceModel(), std::string(128, 'z'));
}

} // namespace
