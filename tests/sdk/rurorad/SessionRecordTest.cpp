// The session a launch leaves for the next: read back whole from a fresh store, or not at all.
#include "sdk/rurorad/engine/ZEVAnalyticsSessionRecord.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>

namespace {

using Record = ZEVAnalyticsSessionRecord;

TEST(SessionRecord, ANextLaunchReadsWhatThisOneSaved) {
    velotest::TempFolder folder;
    {
        ZEVUserDefaults defaults(folder.path());
        Record{"SESSION", 1700000000123, "{\"a\":1}"}.save(defaults);
    }
    ZEVUserDefaults next(folder.path());
    const auto read = Record::read(next);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->identifier, "SESSION");
    EXPECT_EQ(read->timestamp, 1700000000123u);
    EXPECT_EQ(read->metadataJSONData, "{\"a\":1}");
}

TEST(SessionRecord, AValueMissingOrOfTheWrongKindGivesNoRecord) {
    const ns::PropertyList identifier("SESSION"), timestamp(std::int64_t{5}),
        metadata(ns::PropertyList::Data{'{', '}'});
    struct Case {
        const char* what;
        ns::PropertyList identifier, timestamp, metadata;
    };
    const Case cases[] = {
        {"identifier missing", nullptr, timestamp, metadata},
        {"identifier a number", timestamp, timestamp, metadata},
        {"timestamp missing", identifier, nullptr, metadata},
        {"timestamp a string", identifier, ns::PropertyList("5"), metadata},
        {"metadata missing", identifier, timestamp, nullptr},
        {"metadata a string", identifier, timestamp, ns::PropertyList("{}")},
    };
    for (const auto& c : cases) {
        velotest::TempFolder folder;
        ZEVUserDefaults defaults(folder.path());
        defaults.setObject(c.identifier, Record::identifierKey);
        defaults.setObject(c.timestamp, Record::timestampKey);
        defaults.setObject(c.metadata, Record::metadataKey);
        EXPECT_FALSE(Record::read(defaults)) << c.what;
    }
}

} // namespace
