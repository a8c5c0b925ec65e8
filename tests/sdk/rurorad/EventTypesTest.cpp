// The app's events: attribute rules, the typed kinds and their serializers, and decimal prices.
#include "platform/foundation/Console.hpp"
#include "platform/foundation/DecimalNumber.hpp"
#include "sdk/rurorad/events/ZEVRuroradPredefinedEvents.hpp"
#include "sdk/rurorad/records/ZEVAnalyticsEvent.hpp"

#include <gtest/gtest.h>

namespace {

using PL = ns::PropertyList;

const std::string kCountLine =
    "[Zevuzavidav:Rurorad] Maximum number of Event attributes exceeded. Ignoring attribute";
const std::string kCutLine =
    "[Zevuzavidav:Rurorad] Maximum length for an Event attributes exceeded. Truncating to 100 characters.";

std::string json(const ZEVRuroradEvent& event) {
    auto record = ZEVAnalyticsEvent::initWithRuroradEvent(event, 1, "E");
    return record ? *record->payload() : "<no record>";
}

TEST(EventAttributes, AtMostTwentyOneSurviveInTheOrderGiven) {
    ZEVRuroradAttributeEntries entries;
    for (int i = 0; i < 25; ++i)
        entries.emplace_back(PL("k" + std::to_string(i)), PL(std::int64_t{i}));
    ns::ConsoleCapture console;
    auto event = ZEVRuroradCustomEvent::initWithName("n", entries);
    ASSERT_TRUE(event);
    ASSERT_EQ(event->customAttributes().size(), 21u);
    EXPECT_EQ(event->customAttributes().keys().front(), "k0");
    EXPECT_EQ(event->customAttributes().keys().back(), "k20");
    EXPECT_EQ(console.count(kCountLine), 4u);
}

TEST(EventAttributes, LongTextIsCutAtOneHundredUnitsWithoutSplittingACharacter) {
    const std::string emoji = "\xF0\x9F\x98\x80"; // two UTF-16 units
    const std::string e = "\xC3\xA9";             // one unit, two bytes
    struct Case {
        std::string value;
        std::string stored;
        bool logged;
    };
    std::string manyE;
    for (int i = 0; i < 150; ++i)
        manyE += e;
    std::string hundredE;
    for (int i = 0; i < 100; ++i)
        hundredE += e;
    const Case cases[] = {
        {std::string(150, 'a'), std::string(100, 'a'), true},
        {std::string(100, 'a'), std::string(100, 'a'), false},
        {manyE, hundredE, true},
        // The pair would end at unit 101: it goes whole, and the value keeps 99 units.
        {std::string(99, 'a') + emoji + "b", std::string(99, 'a'), true},
        {std::string(98, 'a') + emoji, std::string(98, 'a') + emoji, false},
        // Bytes that are not UTF-8 are stored as U+FFFD.
        {"ab\xFF", "ab\xEF\xBF\xBD", false},
    };
    for (const auto& c : cases) {
        ns::ConsoleCapture console;
        ZEVRuroradAttributes attributes;
        ZEVRuroradEvent::addAttributeForKey(PL(c.value), PL("key"), attributes);
        ASSERT_NE(attributes.find("key"), nullptr);
        EXPECT_EQ(*attributes.find("key")->stringValue(), c.stored);
        EXPECT_EQ(console.contains(kCutLine), c.logged) << c.value.size();
    }
    // Keys obey the same cut; an entry whose cut key matches an earlier one replaces it.
    ZEVRuroradAttributes attributes;
    ZEVRuroradEvent::addAttributeForKey(PL("first"), PL(std::string(120, 'k')), attributes);
    ZEVRuroradEvent::addAttributeForKey(PL("second"), PL(std::string(130, 'k')), attributes);
    ASSERT_EQ(attributes.size(), 1u);
    EXPECT_EQ(*attributes.find(std::string(100, 'k'))->stringValue(), "second");
}

TEST(EventAttributes, OnlyStringKeysAndStringOrNumberValuesAreTaken) {
    ns::ConsoleCapture console;
    auto event =
        ZEVRuroradCustomEvent::initWithName("n", ZEVRuroradAttributeEntries{
                                                     {PL("date"), PL(ns::Date::fromTimeIntervalSince1970(5))},
                                                     {PL("list"), PL(PL::Array{PL("a")})},
                                                     {PL(std::int64_t{7}), PL("seven")},
                                                     {PL("absent"), PL()},
                                                     {PL(), PL("no key")},
                                                     {PL("flag"), PL(true)},
                                                     {PL("ratio"), PL(0.5)},
                                                     {PL("text"), PL("t")},
                                                 });
    ASSERT_TRUE(event);
    EXPECT_EQ(event->customAttributes().keys(), (std::vector<std::string>{"flag", "ratio", "text"}));
    const auto lines = console.lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(
        lines[0].rfind("[Zevuzavidav:Rurorad] Event attribute values must be of type NSString or NSNumber. "
                       "Ignoring entry date:",
                       0),
        0u);
    EXPECT_EQ(
        lines[1].rfind("[Zevuzavidav:Rurorad] Event attribute values must be of type NSString or NSNumber. "
                       "Ignoring entry list:",
                       0),
        0u);
    EXPECT_EQ(
        lines[2].rfind(
            "[Zevuzavidav:Rurorad] Event attribute keys must be of type NSString. Ignoring entry 7:", 0),
        0u);
}

// The borrowed road takes the app's entries only when filtering would change and log nothing, and then
// keeps exactly what the filter keeps; anything else is left to the filter.
TEST(EventAttributes, AreBorrowedOnlyWhenFilteringChangesNothing) {
    ZEVRuroradAttributeEntries twentyOne, twentyTwo;
    for (int i = 0; i < 22; ++i)
        (i < 21 ? twentyOne : twentyTwo).emplace_back(PL("k" + std::to_string(i)), PL(std::int64_t{i}));
    twentyTwo.insert(twentyTwo.begin(), twentyOne.begin(), twentyOne.end());
    const std::string hundred(100, 'x');
    struct Case {
        const char* name;
        std::optional<ZEVRuroradAttributeEntries> entries;
        bool borrowed;
    };
    const Case cases[] = {
        {"absent", std::nullopt, true},
        {"plain, escaped and absent entries",
         ZEVRuroradAttributeEntries{{PL("quote\"key"), PL("tab\tand \"quote\"")},
                                    {PL("ratio"), PL(0.5)},
                                    {PL("absent"), PL()},
                                    {PL(), PL("no key")},
                                    {PL("flag"), PL(false)},
                                    {PL(hundred), PL(hundred)}},
         true},
        {"twenty-one entries", twentyOne, true},
        {"twenty-two entries", twentyTwo, false},
        {"duplicate key", ZEVRuroradAttributeEntries{{PL("a"), PL("1")}, {PL("a"), PL("2")}}, false},
        {"long value", ZEVRuroradAttributeEntries{{PL("a"), PL(hundred + "x")}}, false},
        {"long key", ZEVRuroradAttributeEntries{{PL(hundred + "x"), PL("1")}}, false},
        {"multi-byte value", ZEVRuroradAttributeEntries{{PL("a"), PL("\xC3\xA9")}}, false},
        {"number key", ZEVRuroradAttributeEntries{{PL(std::int64_t{7}), PL("seven")}}, false},
        {"list value", ZEVRuroradAttributeEntries{{PL("list"), PL(PL::Array{PL("a")})}}, false},
    };
    std::vector<ZEVRuroradAttributeRef> borrowed;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ns::ConsoleCapture console;
        ASSERT_EQ(ZEVRuroradEvent::borrowPlainAttributes(c.entries, borrowed), c.borrowed);
        EXPECT_TRUE(console.lines().empty());
        if (!c.borrowed) continue;
        const ZEVRuroradAttributes filtered = ZEVRuroradEvent::filterCustomAttributes(c.entries);
        ASSERT_EQ(borrowed.size(), filtered.size());
        for (std::size_t i = 0; i < borrowed.size(); ++i) {
            EXPECT_EQ(borrowed[i].first, filtered.entries()[i].first);
            EXPECT_EQ(*borrowed[i].second, filtered.entries()[i].second);
        }
    }
}

TEST(CustomEvent, NeedsANameAndCarriesItCut) {
    EXPECT_FALSE(ZEVRuroradCustomEvent::initWithName(std::nullopt));
    auto event = ZEVRuroradCustomEvent::initWithName(std::string(120, 'n'));
    ASSERT_TRUE(event);
    EXPECT_EQ(*event->metadata().find("custom_type")->stringValue(), std::string(100, 'n'));
    auto plain = ZEVRuroradCustomEvent::initWithName("Opened lesson");
    EXPECT_EQ(
        json(*plain),
        R"({"custom_type":"Opened lesson","predefined_attributes":{},"custom_attributes":{},"eventId":"E"})");
}

TEST(PredefinedEvents, TypedAttributesAndTheirSerializers) {
    ZEVRuroradPurchaseEvent purchase(ns::DecimalNumber::fromString("9.99"), "EUR", PL(true), "Pro", "id-7",
                                     "upgrade", std::nullopt);
    EXPECT_EQ(json(purchase),
              R"({"predefined_type":"purchase","predefined_attributes":{"item_price":9990000,)"
              R"("currency":"EUR","success":"true","item_name":"Pro","item_id":"id-7",)"
              R"("item_type":"upgrade"},"custom_attributes":{},"eventId":"E"})");

    ZEVRuroradRateEvent rating(PL(4.7), std::nullopt, std::nullopt, std::nullopt, std::nullopt);
    EXPECT_EQ(*rating.predefinedAttributes().find("rating"), PL(std::int64_t{4}));
    ZEVRuroradRateEvent noRating(PL(), "c", std::nullopt, std::nullopt, std::nullopt);
    EXPECT_EQ(noRating.predefinedAttributes().keys(), std::vector<std::string>{"content_name"});

    ZEVRuroradLevelEndEvent level("L1", PL(12.5), PL(std::int64_t{0}), std::nullopt);
    EXPECT_EQ(*level.predefinedAttributes().find("score"), PL(12.5));
    EXPECT_EQ(*level.predefinedAttributes().find("success"), PL("false"));

    ZEVRuroradStartCheckoutEvent checkout(ns::DecimalNumber(1, -6), "USD", PL(-3.9), std::nullopt);
    EXPECT_EQ(*checkout.predefinedAttributes().find("total_price"), PL(std::int64_t{1}));
    EXPECT_EQ(*checkout.predefinedAttributes().find("item_count"), PL(std::int64_t{-3}));

    // A number where text belongs goes in as its text; the type is never cut.
    ZEVRuroradPredefinedEvent event(std::string(120, 't'), std::nullopt);
    event.addPredefinedString(PL(std::int64_t{42}), "n");
    event.addPredefinedString(PL(ns::Date::now()), "d");
    event.addPredefinedNumber(PL("12"), "s");
    EXPECT_EQ(event.predefinedAttributes().keys(), std::vector<std::string>{"n"});
    EXPECT_EQ(*event.predefinedAttributes().find("n"), PL("42"));
    EXPECT_EQ(event.metadata().find("predefined_type")->stringValue()->size(), 120u);
}

TEST(DecimalNumber, ParsesAndMultipliesExactly) {
    struct Case {
        std::string text;
        std::optional<std::string> times1e6;
    };
    const Case cases[] = {
        {"9.99", "9990000"},    {"0.000001", "1"},
        {"-12.5", "-12500000"}, {"1e2", "100000000"},
        {"0.0000005", "0.5"},   {"+3.", "3000000"},
        {"007.10", "7100000"},  {"abc", std::nullopt},
        {"", std::nullopt},     {"1.2.3", std::nullopt},
        {"1e", std::nullopt},   {"1234567890123456789", std::nullopt}, // more digits than are kept exactly
    };
    for (const auto& c : cases) {
        auto value = ns::DecimalNumber::fromString(c.text);
        ASSERT_EQ(value.has_value(), c.times1e6.has_value()) << c.text;
        if (!value) continue;
        auto product = value->multiplying(ns::DecimalNumber(1000000));
        ASSERT_TRUE(product);
        EXPECT_EQ(product->stringValue(), *c.times1e6) << c.text;
    }
    EXPECT_EQ(ns::DecimalNumber::fromString("0.0000005")->multiplying(1000000)->propertyListValue(), PL(0.5));
    EXPECT_FALSE(ns::DecimalNumber(INT64_MAX).multiplying(ns::DecimalNumber(3)));
    // A whole product beyond 64 bits is still a number, the nearest double.
    EXPECT_EQ(ns::DecimalNumber(INT64_MAX / 10).multiplying(1000000)->propertyListValue(),
              PL(static_cast<double>(INT64_MAX / 10) * 1e6));
}

// The engine writes a kit event's payload straight from the event; it must be the record's, byte for byte.
TEST(EventPayloads, TheEnginesPayloadIsTheRecords) {
    ZEVRuroradPurchaseEvent purchase(ns::DecimalNumber::fromString("9.99"), "EUR", PL(true), "Pro", "id-7",
                                     "upgrade", ZEVRuroradAttributeEntries{{"q\"uote", "tab\there"}});
    auto custom = ZEVRuroradCustomEvent::initWithName(
        "Lesson \xC3\xA9", ZEVRuroradAttributeEntries{{"n", std::int64_t{5}}, {"r", 0.25}, {"b", false}});
    for (const ZEVRuroradEvent* event : std::initializer_list<const ZEVRuroradEvent*>{&purchase, &*custom}) {
        std::string direct = "before";
        ASSERT_TRUE(ZEVAnalyticsEvent::appendRuroradPayload(direct, *event, "E"));
        EXPECT_EQ(direct, "before" + json(*event));
    }
    // A value JSON cannot hold: no record, and nothing left behind in the engine's buffer.
    auto unwritable = ZEVRuroradCustomEvent::initWithName("n", ZEVRuroradAttributeEntries{{"x", 0.0 / 0.0}});
    std::string untouched = "before";
    EXPECT_FALSE(ZEVAnalyticsEvent::appendRuroradPayload(untouched, *unwritable, "E"));
    EXPECT_EQ(untouched, "before");
    EXPECT_EQ(json(*unwritable), "<no record>");
}

} // namespace
