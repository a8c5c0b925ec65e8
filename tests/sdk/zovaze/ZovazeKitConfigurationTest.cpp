#include "platform/foundation/Exception.hpp"
#include "platform/foundation/KeyedArchive.hpp"
#include "platform/foundation/PropertyListSerialization.hpp"
#include "sdk/zovaze/Zovaze.hpp"
#include "sdk/zovaze/kit/ZOVObfuscator.hpp"
#include "tests/support/TempBundle.hpp"

#include <gtest/gtest.h>

using Dict = ns::PropertyList::Dictionary;
using Array = ns::PropertyList::Array;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes bytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

std::string exceptionReason(const std::function<void()>& body) {
    try {
        body();
    } catch (const ns::Exception& exception) {
        return exception.name() + ": " + exception.reason();
    }
    return "<none>";
}

TEST(Obfuscator, RoundTripsNestedConfiguration) {
    const Dict info{{"betaToken", "abc"},
                    {"limits", ns::PropertyList(Dict{{"max", 5}, {"on", true}})},
                    {"list", ns::PropertyList(Array{"a", 2.5})},
                    {"blob", ns::PropertyList(Bytes{0, 1, 2})}};
    const Bytes data = ZOVObfuscator::obfuscatedDataFromDictionary(info);
    for (auto byte : data)
        ASSERT_TRUE(std::isalnum(byte) || byte == '+' || byte == '/' || byte == '=');
    EXPECT_EQ(ZOVObfuscator::dictionaryWithObfuscatedData(data), info);
    EXPECT_EQ(ZOVObfuscator::dictionaryWithObfuscatedData(ZOVObfuscator::obfuscatedDataFromDictionary({})),
              Dict{});
}

TEST(Obfuscator, ArchiveRootIsTheDictionaryInThePlatformLayout) {
    const Bytes data = ZOVObfuscator::obfuscatedDataFromDictionary(Dict{{"k", "v"}});
    auto archive = ZOVObfuscator::base64Decode(data);
    ASSERT_TRUE(archive);
    auto tree = ns::readPropertyList(std::span<const std::uint8_t>(*archive));
    ASSERT_TRUE(tree);
    const auto& top = *tree.value().dictionaryValue();
    const auto root = top.find("$top")->dictionaryValue()->find("root")->uidValue()->value;
    const auto& objects = *top.find("$objects")->arrayValue();
    const auto& rootObject = *objects.at(root).dictionaryValue();
    ASSERT_TRUE(rootObject.find("NS.keys") && rootObject.find("NS.objects"));
    const auto classRef = rootObject.find("$class")->uidValue()->value;
    EXPECT_EQ(*objects.at(classRef).dictionaryValue()->find("$classname")->stringValue(), "NSDictionary");
}

TEST(Obfuscator, BadDataRaisesTheDocumentedReasons) {
    struct Row {
        const char* what;
        Bytes data;
        const char* reason;
    };
    ns::KeyedArchiver notADictionary("Other");
    notADictionary.encodeObject("x", "y");
    const std::string objectArchive = ZOVObfuscator::base64Encode(notADictionary.archivedData().value());
    const std::string valid = ZOVObfuscator::base64Encode(
        *ZOVObfuscator::base64Decode(ZOVObfuscator::obfuscatedDataFromDictionary(Dict{{"a", 1}})));
    const Row rows[] = {
        {"empty", {}, "InvalidObfuscatedData: Attempting to deobfuscate nil or empty data."},
        {"not base64", bytesOf("!!!!"), "InvalidObfuscatedData: Improperly obfuscated data."},
        {"line break inside", bytesOf(valid.substr(0, 8) + "\n" + valid.substr(8)),
         "InvalidObfuscatedData: Improperly obfuscated data."},
        {"padding in the middle", bytesOf("QQ==QQ=="), "InvalidObfuscatedData: Improperly obfuscated data."},
        {"base64 of junk", bytesOf("aGVsbG8gd29ybGQ="), "InvalidObfuscatedData: Improperly obfuscated data."},
        {"root not a dictionary", bytesOf(objectArchive),
         "InvalidObfuscatedData: Improperly obfuscated data."},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(exceptionReason([&] { ZOVObfuscator::dictionaryWithObfuscatedData(row.data); }), row.reason)
            << row.what;
    }
}

TEST(Obfuscator, Base64MatchesKnownVectors) {
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foobar", "Zm9vYmFy"}};
    for (const auto& [plain, encoded] : vectors) {
        EXPECT_EQ(ZOVObfuscator::base64Encode(bytesOf(plain)), encoded);
        EXPECT_EQ(ZOVObfuscator::base64Decode(bytesOf(encoded)), bytesOf(plain));
    }
    EXPECT_FALSE(ZOVObfuscator::base64Decode(bytesOf("Zg=")));
    EXPECT_FALSE(ZOVObfuscator::base64Decode(bytesOf("Z===")));
}

class KitConfiguration : public ::testing::Test {
  protected:
    std::unique_ptr<Zovaze> sdkWithKits(ns::PropertyList kits) {
        folder_.writeInfo(
            Dict{{"Zovaze", ns::PropertyList(Dict{{"APIKey", "key"}, {"Kits", std::move(kits)}})}});
        bundle_ = std::make_unique<ns::Bundle>(folder_.path());
        Zovaze::Environment environment;
        environment.registry = &registry_;
        environment.bundle = bundle_.get();
        environment.readInstallationUUID = [] { return std::optional<std::string>("STORED"); };
        environment.storeInstallationUUID = [](const std::string&) {};
        environment.makeApplicationIdentifierModel = [](const std::optional<std::string>&) {
            return std::shared_ptr<ZOVApplicationIdentiferModel>();
        };
        environment.makeSettingsManager = [](std::shared_ptr<ZOVApplicationIdentiferModel>) {
            return std::shared_ptr<ZOVSettingsOnboardingManager>();
        };
        return std::make_unique<Zovaze>(environment);
    }
    const rt::Class& kit(const std::string& name) {
        if (auto* found = registry_.lookUpClass(name)) return *found;
        rt::ClassDefinition definition;
        definition.name = name;
        return *registry_.registerClass(definition);
    }

    rt::ClassRegistry registry_;
    zovtest::TempBundle folder_;
    std::unique_ptr<ns::Bundle> bundle_;
};

TEST_F(KitConfiguration, PlainInfoWinsOverObfuscatedInfoOnEqualKeys) {
    const Bytes hidden =
        ZOVObfuscator::obfuscatedDataFromDictionary(Dict{{"shared", "hidden"}, {"only", "hidden"}});
    auto sdk = sdkWithKits(ns::PropertyList(Array{
        ns::PropertyList(Dict{{"KitName", "Mixed"},
                              {"KitInfo", ns::PropertyList(Dict{{"shared", "plain"}, {"extra", 1}})},
                              {"ObfuscatedKitInfo", ns::PropertyList(hidden)}}),
        ns::PropertyList(Dict{{"KitName", "Bare"}}),
        ns::PropertyList(
            Dict{{"KitName", "Text"}, {"ObfuscatedKitInfo", std::string(hidden.begin(), hidden.end())}}),
    }));
    EXPECT_EQ(sdk->configurationDictionaryForKitClass(kit("Mixed")),
              (Dict{{"shared", "plain"}, {"only", "hidden"}, {"extra", 1}}));
    EXPECT_EQ(sdk->configurationDictionaryForKitClass(kit("Bare")), Dict{});
    EXPECT_EQ(sdk->configurationDictionaryForKitClass(kit("Text"))->find("only")->stringValue()[0], "hidden");
    EXPECT_EQ(sdk->configurationDictionaryForKitClass(kit("Absent")), std::nullopt);
    rt::Object instance(kit("Bare"));
    EXPECT_EQ(sdk->configurationDictionaryForKit(instance), Dict{});
}

TEST_F(KitConfiguration, OddEntriesAreSkippedAndTheFirstMatchCounts) {
    auto sdk = sdkWithKits(ns::PropertyList(Array{
        "a string",
        7,
        ns::PropertyList(Dict{{"KitName", 3}}),
        ns::PropertyList(Dict{{"KitName", "Twice"}, {"KitInfo", ns::PropertyList(Dict{{"n", 1}})}}),
        ns::PropertyList(Dict{{"KitName", "Twice"}, {"KitInfo", ns::PropertyList(Dict{{"n", 2}})}}),
        ns::PropertyList(Dict{{"KitName", "BadInfo"}, {"KitInfo", "not a dictionary"}}),
    }));
    EXPECT_EQ(sdk->configurationDictionaryForKitClass(kit("Twice")), (Dict{{"n", 1}}));
    EXPECT_EQ(sdk->configurationDictionaryForKitClass(kit("BadInfo")), Dict{});
}

TEST_F(KitConfiguration, BrokenObfuscatedInfoRaises) {
    auto sdk = sdkWithKits(ns::PropertyList(Array{
        ns::PropertyList(Dict{{"KitName", "Broken"}, {"ObfuscatedKitInfo", ns::PropertyList(Bytes{})}}),
        ns::PropertyList(Dict{{"KitName", "Number"}, {"ObfuscatedKitInfo", 5}}),
    }));
    EXPECT_EQ(exceptionReason([&] { sdk->configurationDictionaryForKitClass(kit("Broken")); }),
              "InvalidObfuscatedData: Attempting to deobfuscate nil or empty data.");
    EXPECT_EQ(exceptionReason([&] { sdk->configurationDictionaryForKitClass(kit("Number")); }),
              "InvalidObfuscatedData: Improperly obfuscated data.");
}

} // namespace
