#include "platform/foundation/Console.hpp"
#include "sdk/zovaze/base/HexAndDigests.hpp"
#include "sdk/zovaze/images/ZOVAppIconUtility.hpp"
#include "tests/support/TempBundle.hpp"

#include <gtest/gtest.h>
#include <zlib.h>

using zovtest::TempBundle;
using Dict = ns::PropertyList::Dictionary;
using Array = ns::PropertyList::Array;

namespace {

Dict iconsEntry(Array files, std::optional<ns::PropertyList> prerendered = std::nullopt) {
    Dict primary{{"CFBundleIconFiles", ns::PropertyList(std::move(files))}};
    if (prerendered) primary.set("UIPrerenderedIcon", *prerendered);
    return Dict{{"CFBundlePrimaryIcon", ns::PropertyList(primary)}};
}

std::optional<ZOVIcon> lookUp(const TempBundle& folder) {
    ns::Bundle bundle(folder.path());
    ZOVAppIconUtility utility(bundle);
    return utility.applicationIcon();
}

TEST(AppIcon, PicksTheLargestVariantWithinTheAreaLimit) {
    TempBundle folder;
    folder.writeInfo(Dict{{"CFBundleIcons", ns::PropertyList(iconsEntry({"AppIcon60x60"}, true))}});
    folder.writePNG("AppIcon60x60.png", 60, 60);
    const auto chosen = folder.writePNG("AppIcon60x60@2x.png", 120, 120);
    folder.writePNG("AppIcon60x60@2x~ipad.png", 180, 180); // above 152 x 152: never chosen
    folder.writePNG("AppIcon60x60~ipad.png", 76, 76);
    auto icon = lookUp(folder);
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->size(), (zovaze::IconSize{120, 120}));
    EXPECT_TRUE(icon->prerendered());
    EXPECT_EQ(icon->dataHash(), ZOVSHA1HexFromData(chosen));
    EXPECT_EQ(icon->data(), chosen) << "an RGBA PNG re-encodes to the same bytes with these settings";
}

TEST(AppIcon, AreaExactlyAtTheLimitIsAcceptedAndOnlyLargerIconsGiveNone) {
    TempBundle exact;
    exact.writeInfo(Dict{{"CFBundleIconFiles", ns::PropertyList(Array{"Big"})}});
    exact.writePNG("Big.png", 152, 152);
    auto icon = lookUp(exact);
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->size(), (zovaze::IconSize{152, 152}));
    EXPECT_FALSE(icon->prerendered());

    TempBundle tooLarge;
    tooLarge.writeInfo(Dict{{"CFBundleIconFiles", ns::PropertyList(Array{"Big"})}});
    tooLarge.writePNG("Big.png", 153, 152);
    ns::ConsoleCapture console;
    EXPECT_FALSE(lookUp(tooLarge));
    EXPECT_EQ(console.count("[Zovaze] Unable to locate application icon"), 1u);
}

// The data is the file as read at lookup, encoded anew (also for copies made before anyone asked for
// it); the hash is of the stored file.
TEST(AppIcon, DataIsTheReencodingOfTheFileAsReadAtLookupAndTheHashIsOfTheStoredFile) {
    TempBundle folder;
    folder.writeInfo(Dict{{"CFBundleIconFile", "Icon-Grey.png"}});
    const auto stored = folder.writeGreyPNG("Icon-Grey.png", 40, 30);
    auto icon = lookUp(folder);
    ASSERT_TRUE(icon);
    const ZOVIcon copy = *icon;
    folder.writePNG("Icon-Grey.png", 12, 12);
    const auto expected = zovaze::encodePNG(*zovaze::decodePNG(stored));
    ASSERT_TRUE(expected);
    EXPECT_NE(*expected, stored);
    EXPECT_EQ(copy.data(), *expected);
    EXPECT_EQ(icon->data(), *expected);
    EXPECT_EQ(icon->dataHash(), ZOVSHA1HexFromData(stored));
}

TEST(AppIcon, IconFromAPathNeedsAReadableDecodableFile) {
    TempBundle folder;
    folder.writeFile("Broken.png", {0x89, 'P', 'N', 'G', 1, 2, 3});
    const auto good = folder.writeGreyPNG("Good.png", 8, 6);
    EXPECT_FALSE(ZOVIcon::initWithPNGImageAtPath((folder.path() / "Missing.png").string(), {8, 6}, false));
    EXPECT_FALSE(ZOVIcon::initWithPNGImageAtPath((folder.path() / "Broken.png").string(), {8, 6}, false));
    auto icon = ZOVIcon::initWithPNGImageAtPath((folder.path() / "Good.png").string(), {8, 6}, true);
    ASSERT_TRUE(icon);
    EXPECT_TRUE(icon->prerendered());
    EXPECT_EQ(icon->dataHash(), ZOVSHA1HexFromData(good));
    EXPECT_EQ(icon->data(), *zovaze::encodePNG(*zovaze::decodePNG(good)));
}

TEST(AppIcon, MalformedFieldsAreLoggedAndTheNextSourceAnswers) {
    struct Row {
        const char* what;
        Dict info;
        const char* logged;
    };
    const Row rows[] = {
        {"icons as a string", Dict{{"CFBundleIcons", "AppIcon"}, {"CFBundleIconFile", "Fallback"}},
         "[Zovaze] Info.plist field CFBundleIcons appears malformed"},
        {"primary icon missing",
         Dict{{"CFBundleIcons~ipad", ns::PropertyList(Dict{})}, {"CFBundleIconFile", "Fallback"}},
         "[Zovaze] Info.plist field CFBundlePrimaryIcon appears malformed"},
        {"files not an array",
         Dict{{"CFBundleIcons", ns::PropertyList(Dict{{"CFBundlePrimaryIcon",
                                                       ns::PropertyList(Dict{{"CFBundleIconFiles", 3}})}})},
              {"CFBundleIconFile", "Fallback"}},
         "[Zovaze] Info.plist field CFBundleIconFiles appears malformed"},
        {"top-level files a string",
         Dict{{"CFBundleIconFiles", "Fallback"}, {"CFBundleIconFile", "Fallback"}},
         "[Zovaze] Info.plist field CFBundleIconFiles appears malformed"},
        {"icon file a number", Dict{{"CFBundleIconFile", 4}},
         "[Zovaze] Info.plist field CFBundleIconFile appears malformed"},
    };
    for (const auto& row : rows) {
        TempBundle folder;
        folder.writeInfo(row.info);
        folder.writePNG("Fallback.png", 57, 57);
        folder.writePNG("Icon.png", 29, 29);
        ns::ConsoleCapture console;
        auto icon = lookUp(folder);
        EXPECT_EQ(console.count(row.logged), 1u) << row.what;
        ASSERT_TRUE(icon) << row.what;
        const double expected = std::string(row.what) == "icon file a number" ? 29 : 57; // default names last
        EXPECT_EQ(icon->size().width, expected) << row.what;
    }
}

TEST(AppIcon, UndecodableAndOutsideFilesAreSkippedQuietly) {
    TempBundle folder;
    folder.writeInfo(
        Dict{{"CFBundleIconFiles", ns::PropertyList(Array{"Broken", "../Escape", "/etc/Abs", "Good"})}});
    folder.writeFile("Broken.png", {0x89, 'P', 'N', 'G', 1, 2, 3});
    folder.writePNG("Good.png", 20, 20);
    folder.writePNG("../Escape.png", 100, 100);
    ns::ConsoleCapture console;
    auto icon = lookUp(folder);
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->size().width, 20);
    EXPECT_TRUE(console.lines().empty());
    std::filesystem::remove(folder.path().parent_path() / "Escape.png");
}

TEST(AppIcon, EqualAreasKeepTheFirstNameMet) {
    TempBundle folder;
    folder.writeInfo(Dict{{"CFBundleIconFiles", ns::PropertyList(Array{"B.png", "A.png"})}});
    const auto first = folder.writePNG("A.png", 50, 40, 3);
    folder.writePNG("B.png", 40, 50, 5);
    auto icon = lookUp(folder);
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->dataHash(), ZOVSHA1HexFromData(first));
}

TEST(AppIcon, NameExpansionAddsVariantsOnlyToNamesWithoutThePNGExtension) {
    auto names =
        ZOVAppIconUtility::iconNameSetWithAlternateNamesAddedToIconNameSet({"N", "Icon.PNG", "x.jpg"});
    EXPECT_EQ(names, (std::set<std::string>{"Icon.PNG", "N", "N@2x", "N@2x~ipad", "N~ipad", "x.jpg",
                                            "x.jpg@2x", "x.jpg@2x~ipad", "x.jpg~ipad"}));
    EXPECT_TRUE(ZOVAppIconUtility::isIconImageFileNameExtensionPresentInName("a.Png"));
    EXPECT_FALSE(ZOVAppIconUtility::isIconImageFileNameExtensionPresentInName("png"));
    EXPECT_FALSE(ZOVAppIconUtility::isIconImageFileNameExtensionPresentInName("a.pngx"));
}

TEST(AppIcon, SurfaceAreaHelpers) {
    ZOVIcon icon({1, 2, 3}, zovaze::IconSize{152, 152});
    EXPECT_TRUE(icon.isWithinMaxSurfaceArea());
    EXPECT_TRUE(icon.largerThanSize({151, 152}));
    EXPECT_FALSE(icon.largerThanSize({152, 152}));
    EXPECT_FALSE(ZOVIcon({}, zovaze::IconSize{153, 152}).isWithinMaxSurfaceArea());
}

TEST(PNGImage, RefusesHostileHeadersAndNonPNGBytes) {
    EXPECT_FALSE(zovaze::decodePNG({}));
    EXPECT_FALSE(zovaze::decodePNG({'n', 'o', 't', ' ', 'p', 'n', 'g'}));
    // A valid signature and IHDR claiming 60000 x 60000 pixels must not allocate them.
    TempBundle folder;
    auto bytes = folder.writePNG("x.png", 1, 1);
    bytes[16] = 0, bytes[17] = 0, bytes[18] = 0xea, bytes[19] = 0x60;             // width
    bytes[20] = 0, bytes[21] = 0, bytes[22] = 0xea, bytes[23] = 0x60;             // height
    const auto crc = static_cast<std::uint32_t>(crc32(0, bytes.data() + 12, 17)); // over "IHDR" and its data
    bytes[29] = crc >> 24, bytes[30] = (crc >> 16) & 0xff, bytes[31] = (crc >> 8) & 0xff,
    bytes[32] = crc & 0xff;
    EXPECT_FALSE(zovaze::decodePNG(bytes));
    EXPECT_FALSE(zovaze::encodePNG(zovaze::PNGImage{2, 2, {1, 2, 3}}));
}

} // namespace
