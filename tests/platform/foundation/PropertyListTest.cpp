#include "PropertyListPrinting.hpp"
#include "platform/foundation/PropertyListSerialization.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <limits>
#include <optional>
#include <pthread.h>
#include <random>

namespace {

using ns::PropertyList;
using ns::PropertyListFormat;

PropertyList sample() {
    PropertyList::Dictionary dict;
    // Insertion order deliberately not alphabetical.
    dict.set("zeta", PropertyList(true));
    dict.set("alpha", PropertyList(std::int64_t{-42}));
    dict.set("mid", PropertyList(3.25));
    dict.set("text", PropertyList("caf\xC3\xA9 \xF0\x9F\x98\x80"));
    dict.set("bytes", PropertyList(PropertyList::Data{0x00, 0xFF, 0x10, 0x00}));
    dict.set("when", PropertyList(ns::Date::fromTimeIntervalSinceReferenceDate(123456789.0)));
    dict.set("list", PropertyList(PropertyList::Array{PropertyList("a"), PropertyList(std::int64_t{1}),
                                                      PropertyList(false)}));
    dict.set("nested",
             PropertyList(PropertyList::Dictionary{{"b", PropertyList("2")}, {"a", PropertyList("1")}}));
    dict.set("big", PropertyList(std::int64_t{1} << 40));
    dict.set("empty", PropertyList(""));
    dict.set("uids", PropertyList(PropertyList::Array{PropertyList(PropertyList::Uid{0}),
                                                      PropertyList(PropertyList::Uid{300})}));
    return PropertyList(std::move(dict));
}

class PropertyListRoundTrip : public ::testing::TestWithParam<PropertyListFormat> {};

TEST_P(PropertyListRoundTrip, KeepsValuesTypesAndKeyOrder) {
    const PropertyList original = sample();
    auto bytes = ns::writePropertyList(original, GetParam());
    ASSERT_TRUE(bytes) << bytes.error().description();
    auto back = ns::readPropertyList(std::span<const std::uint8_t>(*bytes));
    ASSERT_TRUE(back) << back.error().description();
    EXPECT_EQ(*back, original) << back->debugDescription();
    EXPECT_EQ(back->dictionaryValue()->keys(),
              (std::vector<std::string>{"zeta", "alpha", "mid", "text", "bytes", "when", "list", "nested",
                                        "big", "empty", "uids"}));
    EXPECT_EQ(back->dictionaryValue()->find("nested")->dictionaryValue()->keys(),
              (std::vector<std::string>{"b", "a"}));
}

INSTANTIATE_TEST_SUITE_P(Formats, PropertyListRoundTrip,
                         ::testing::Values(PropertyListFormat::binary, PropertyListFormat::xml),
                         [](const auto& info) {
                             return info.param == PropertyListFormat::binary ? "binary" : "xml";
                         });

// Dates keep their microseconds, and a date read back and stored again stays exactly as it was, however
// often that happens; a date beyond what can be stored is damage.
TEST(PropertyListFormats, BinaryKeepsFractionalSecondsOfDatesWithoutDrift) {
    auto roundTrip = [](const PropertyList& value) {
        auto bytes = ns::writePropertyList(value, PropertyListFormat::binary).value();
        return *ns::readPropertyList(std::span<const std::uint8_t>(bytes)).value().dateValue();
    };
    for (double seconds : {-86400.25, -0.25, 0.5, 123456789.125, 123456789.0000019, 383949.082031}) {
        const auto once = roundTrip(PropertyList(ns::Date::fromTimeIntervalSinceReferenceDate(seconds)));
        EXPECT_NEAR(once.timeIntervalSinceReferenceDate(), seconds, 1e-6);
        auto again = once;
        for (int time = 0; time < 3; ++time)
            again = roundTrip(PropertyList(again));
        EXPECT_EQ(again.timeIntervalSinceReferenceDate(), once.timeIntervalSinceReferenceDate()) << seconds;
    }
    auto bytes = ns::writePropertyList(PropertyList(ns::Date::fromTimeIntervalSinceReferenceDate(0)),
                                       PropertyListFormat::binary)
                     .value();
    ASSERT_EQ(bytes[8], 0x33); // the date's marker; its big-endian double follows
    for (double beyond : {1e300, std::numeric_limits<double>::quiet_NaN()}) {
        const auto bits = std::bit_cast<std::uint64_t>(beyond);
        for (int i = 0; i < 8; ++i)
            bytes[9 + i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
        auto read = ns::readPropertyList(std::span<const std::uint8_t>(bytes));
        ASSERT_FALSE(read) << beyond;
        EXPECT_EQ(read.error().code(), static_cast<long>(ns::PropertyListErrorCode::corrupt));
    }
}

TEST(PropertyListFormats, XmlKeepsKeyOrder) {
    auto xml = ns::writePropertyList(sample(), PropertyListFormat::xml);
    ASSERT_TRUE(xml);
    std::string text(xml->begin(), xml->end());
    EXPECT_NE(text.find("<key>zeta</key>"), std::string::npos);
    EXPECT_LT(text.find("<key>zeta</key>"), text.find("<key>alpha</key>"));
}

TEST(PropertyListValue, EqualityIsExactAndDictionarySetReplacesInPlace) {
    EXPECT_NE(PropertyList(1), PropertyList(1.0));
    EXPECT_NE(PropertyList(1), PropertyList(true));
    EXPECT_NE(PropertyList(), PropertyList(""));
    EXPECT_EQ(PropertyList("x"), PropertyList(std::string("x")));
    PropertyList::Dictionary d{{"a", PropertyList(1)}, {"b", PropertyList(2)}};
    d.set("a", PropertyList(3));
    EXPECT_EQ(d.keys(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(d.find("a")->integerValue(), 3);
    EXPECT_TRUE(d.remove("a"));
    EXPECT_FALSE(d.remove("a"));
    EXPECT_EQ(d.size(), 1u);
    EXPECT_FALSE(PropertyList(1).stringValue());
    EXPECT_FALSE(PropertyList("1").integerValue());
}

TEST(PropertyListWrite, RefusesWhatNoPropertyListCanHold) {
    const PropertyList refused[] = {
        PropertyList(),
        PropertyList(PropertyList::Array{PropertyList("ok"), PropertyList()}),
        PropertyList(PropertyList::Dictionary{{"k", PropertyList()}}),
        PropertyList(std::string("nul\0inside", 10)),
        PropertyList(std::string("bad \xFF utf8")),
        PropertyList(ns::Date::fromTimeIntervalSinceReferenceDate(1e12)),
    };
    for (const auto& value : refused) {
        for (auto format : {PropertyListFormat::binary, PropertyListFormat::xml}) {
            auto bytes = ns::writePropertyList(value, format);
            ASSERT_FALSE(bytes) << value.debugDescription();
            EXPECT_EQ(bytes.error().domain(), ns::propertyListErrorDomain);
            EXPECT_EQ(bytes.error().code(), static_cast<long>(ns::PropertyListErrorCode::unsupported));
        }
    }
}

// A binary list whose only object is a 16-byte integer, high half first.
std::vector<std::uint8_t> binaryWideInteger(std::uint64_t high, std::uint64_t low) {
    std::vector<std::uint8_t> bytes{'b', 'p', 'l', 'i', 's', 't', '0', '0', 0x14};
    for (std::uint64_t half : {high, low})
        for (int shift = 56; shift >= 0; shift -= 8)
            bytes.push_back(static_cast<std::uint8_t>(half >> shift));
    bytes.push_back(8); // the offset table: object 0 at byte 8
    const std::uint8_t trailer[32] = {0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 1,
                                      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 25};
    bytes.insert(bytes.end(), trailer, trailer + 32);
    return bytes;
}

// An integer beyond what a signed 64-bit value holds is refused as unsupported, never handed out with
// its sign or its high bits changed; everything within reads exactly, at both ends of the range.
TEST(PropertyListRead, IntegersBeyondSigned64BitsAreRefusedNotWrapped) {
    constexpr std::int64_t most = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t least = std::numeric_limits<std::int64_t>::min();
    const struct {
        std::string xml;
        std::optional<std::int64_t> value;
    } xmlCases[] = {
        {"18446744073709551615", std::nullopt},
        {"9223372036854775808", std::nullopt},
        {"-9223372036854775809", std::nullopt},
        {"0x8000000000000000", std::nullopt},
        {"99999999999999999999999", std::nullopt},
        {"9223372036854775807", most},
        {"-9223372036854775808", least},
        {"-1", -1},
        {"0x7fffffffffffffff", most},
        {"42", 42},
    };
    for (const auto& c : xmlCases) {
        const std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><array>"
                                 "<integer>" +
                                 c.xml + "</integer></array></plist>";
        auto read = ns::readPropertyList(std::string_view(text));
        if (!c.value) {
            ASSERT_FALSE(read) << c.xml << " read as " << read->debugDescription();
            EXPECT_EQ(read.error().code(), static_cast<long>(ns::PropertyListErrorCode::unsupported));
        } else {
            ASSERT_TRUE(read) << c.xml << ": " << read.error().description();
            EXPECT_EQ(read->arrayValue()->at(0).integerValue(), c.value) << c.xml;
        }
    }
    const struct {
        std::uint64_t high, low;
        std::optional<std::int64_t> value;
    } binaryCases[] = {
        {0, ~std::uint64_t{0}, std::nullopt},                             // 2^64 - 1
        {0, std::uint64_t{1} << 63, std::nullopt},  {1, 5, std::nullopt}, // 2^64 + 5
        {~std::uint64_t{0}, 5, std::nullopt},       {0, 5, 5},
        {~std::uint64_t{0}, ~std::uint64_t{0}, -1},
    };
    for (const auto& c : binaryCases) {
        const auto bytes = binaryWideInteger(c.high, c.low);
        auto read = ns::readPropertyList(std::span<const std::uint8_t>(bytes));
        if (!c.value) {
            ASSERT_FALSE(read) << c.high << ":" << c.low << " read as " << read->debugDescription();
            EXPECT_EQ(read.error().code(), static_cast<long>(ns::PropertyListErrorCode::unsupported));
        } else {
            ASSERT_TRUE(read) << c.high << ":" << c.low << ": " << read.error().description();
            EXPECT_EQ(read->integerValue(), c.value);
        }
    }
    for (auto format : {PropertyListFormat::binary, PropertyListFormat::xml})
        for (std::int64_t n : {most, least, std::int64_t{-1}}) {
            auto bytes = ns::writePropertyList(PropertyList(PropertyList::Array{PropertyList(n)}), format);
            ASSERT_TRUE(bytes);
            auto read = ns::readPropertyList(std::span<const std::uint8_t>(*bytes));
            ASSERT_TRUE(read) << n << ": " << read.error().description();
            EXPECT_EQ(read->arrayValue()->at(0).integerValue(), n);
        }
}

// libplist reads an <integer> whatever its start tag holds after the name (white space, attributes, a
// quoted '>') and gathers its number across comments and CDATA sections; every such spelling of a value
// beyond the signed 64 bits is refused, and every value within reads exactly.
TEST(PropertyListRead, IntegersAreCheckedHoweverTheirElementIsSpelled) {
    constexpr std::int64_t most = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t least = std::numeric_limits<std::int64_t>::min();
    const std::string openings[] = {
        "<integer>",     "<integer >",        "<integer\t>",       "<integer\n>",
        "<integer\r\n>", "<integer a=\"b\">", "<integer a=\">\">", "<integer a=\"x\"b=\"/\">",
    };
    const struct {
        std::string number;
        std::optional<std::int64_t> value; // nullopt: refused
    } numbers[] = {
        {"18446744073709551615", std::nullopt},
        {"9223372036854775808", std::nullopt},
        {"-9223372036854775809", std::nullopt},
        {"0x8000000000000000", std::nullopt},
        {"01000000000000000000000", std::nullopt}, // 2^63 in octal
        {"9223372036854775807", most},
        {"-9223372036854775808", least},
        {"+9223372036854775807", most},
        {"-1", -1},
        // libplist takes the first sign itself and strtoull the rest, white space and a second sign
        // included: the two signs multiply.
        {"- 9223372036854775809", std::nullopt},
        {"+ 18446744073709551615", std::nullopt},
        {"--9223372036854775808", std::nullopt},
        {"-+9223372036854775809", std::nullopt},
        {" -9223372036854775808", least},
        {"--9223372036854775807", most},
        {"-\t-5", 5},
        // Comments drop out of the number and CDATA sections join it.
        {"1<!-- c -->8446744073709551615", std::nullopt},
        {"<!--x-->-<!--y-->9223372036854775809", std::nullopt},
        {"<![CDATA[1]]>8446744073709551615", std::nullopt},
        {"<![CDATA[-92233]]>72036854775808", least},
    };
    for (const auto& open : openings)
        for (const auto& n : numbers) {
            const std::string element = open + n.number + "</integer>";
            const std::string text =
                "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><integer>7</integer>" + element +
                "</array></plist>";
            auto read = ns::readPropertyList(std::string_view(text));
            if (!n.value) {
                ASSERT_FALSE(read) << element << " read as " << read->debugDescription();
                EXPECT_EQ(read.error().code(), static_cast<long>(ns::PropertyListErrorCode::unsupported))
                    << element;
            } else {
                ASSERT_TRUE(read) << element << ": " << read.error().description();
                EXPECT_EQ(read->arrayValue()->at(1).integerValue(), n.value) << element;
            }
        }
    // libplist honours double quotes only: after a single-quoted '>' the element's text has begun.
    const std::string single = "<plist><array><integer a='>18446744073709551615</integer>"
                               "<string>'</string></array></plist>";
    auto read = ns::readPropertyList(std::string_view(single));
    ASSERT_FALSE(read) << read->debugDescription();
    EXPECT_EQ(read.error().code(), static_cast<long>(ns::PropertyListErrorCode::unsupported));
    // An empty element is 0 and takes nothing of what follows it.
    const std::string empty = "<plist><array><integer/><integer a=\"/\" /><string>18446744073709551615"
                              "</string></array></plist>";
    auto zeros = ns::readPropertyList(std::string_view(empty));
    ASSERT_TRUE(zeros) << zeros.error().description();
    EXPECT_EQ(zeros->arrayValue()->at(0).integerValue(), 0);
    EXPECT_EQ(zeros->arrayValue()->at(1).integerValue(), 0);
}

TEST(PropertyListRead, CorruptBytesGiveErrorsNotCrashes) {
    const std::string inputs[] = {
        "",
        "bplist00",
        "bplist00\xD1\x01\x02",
        "<?xml version=\"1.0\"?><plist><dict><key>a</key>",
        "<plist><array><string>unterminated",
        "just some text",
        std::string(64, '\0'),
    };
    for (const auto& in : inputs) {
        auto r = ns::readPropertyList(std::string_view(in));
        ASSERT_FALSE(r) << "accepted: " << in;
        EXPECT_EQ(r.error().domain(), ns::propertyListErrorDomain);
    }
}

// Text the writers refuse (not UTF-8, or holding NUL) is damage when it is read.
TEST(PropertyListRead, TextTheWritersRefuseIsRefusedAsCorrupt) {
    const auto good = ns::writePropertyList(
        PropertyList(PropertyList::Dictionary{{"key", PropertyList("text")}}), PropertyListFormat::binary);
    ASSERT_TRUE(good);
    const struct {
        std::string_view where;
        std::uint8_t byte;
    } cases[] = {{"text", 0xFF}, {"text", 0x00}, {"key", 0xFF}};
    for (const auto& c : cases) {
        auto bytes = *good;
        auto at = std::search(bytes.begin(), bytes.end(), c.where.begin(), c.where.end());
        ASSERT_NE(at, bytes.end());
        at[1] = c.byte;
        auto read = ns::readPropertyList(std::span<const std::uint8_t>(bytes));
        ASSERT_FALSE(read) << c.where << " " << int(c.byte) << ": " << read->debugDescription();
        EXPECT_EQ(read.error().code(), static_cast<long>(ns::PropertyListErrorCode::corrupt));
    }
}

// Damaged binary lists are either refused with a property-list error, or read into a value that the
// writer accepts and that then reads back to the very same bytes: nothing half-read passes as a value.
TEST(PropertyListRead, MutatedBinaryIsRefusedCleanlyOrReadsAsAStorableValue) {
    auto good = ns::writePropertyList(sample(), PropertyListFormat::binary);
    ASSERT_TRUE(good);
    std::mt19937 rng(12345);
    int rejected = 0;
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<std::uint8_t> bytes = *good;
        const int flips = 1 + static_cast<int>(rng() % 4);
        for (int i = 0; i < flips; ++i)
            bytes[rng() % bytes.size()] = static_cast<std::uint8_t>(rng());
        if (round % 7 == 0) bytes.resize(rng() % bytes.size());
        auto read = ns::readPropertyList(std::span<const std::uint8_t>(bytes));
        if (!read) {
            EXPECT_EQ(read.error().domain(), ns::propertyListErrorDomain) << "round " << round;
            ++rejected;
            continue;
        }
        ++accepted;
        // Compared as bytes, so a real that became NaN still counts as itself.
        auto written = ns::writePropertyList(*read, PropertyListFormat::binary);
        ASSERT_TRUE(written) << "round " << round << ": " << read->debugDescription();
        auto again = ns::readPropertyList(std::span<const std::uint8_t>(*written));
        ASSERT_TRUE(again) << "round " << round;
        EXPECT_EQ(ns::writePropertyList(*again, PropertyListFormat::binary).value(), *written)
            << "round " << round;
    }
    EXPECT_GT(rejected, 0);
    EXPECT_GT(accepted, 0);
}

TEST(PropertyListRead, AbsurdNestingIsRefused) {
    constexpr int depth = 20000;
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\">";
    for (int i = 0; i < depth; ++i)
        xml += "<array>";
    for (int i = 0; i < depth; ++i)
        xml += "</array>";
    xml += "</plist>";
    auto r = ns::readPropertyList(std::string_view(xml));
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().code(), static_cast<long>(ns::PropertyListErrorCode::tooDeep));

    // The same in binary form: object n is an array holding object n+1.
    std::string bin = "bplist00";
    std::vector<std::uint64_t> offsets;
    for (int i = 0; i < depth; ++i) {
        offsets.push_back(bin.size());
        if (i + 1 < depth) {
            bin += '\xA1';
            bin += static_cast<char>((i + 1) >> 8);
            bin += static_cast<char>((i + 1) & 0xFF);
        } else {
            bin += '\xA0';
        }
    }
    const std::uint64_t table = bin.size();
    for (auto off : offsets) {
        bin += static_cast<char>(off >> 16);
        bin += static_cast<char>(off >> 8);
        bin += static_cast<char>(off);
    }
    std::string trailer(32, '\0');
    trailer[6] = 3; // offset size
    trailer[7] = 2; // reference size
    for (int i = 0; i < 8; ++i) {
        trailer[8 + 7 - i] = static_cast<char>(static_cast<std::uint64_t>(depth) >> (8 * i));
        trailer[24 + 7 - i] = static_cast<char>(table >> (8 * i));
    }
    bin += trailer;
    auto rb = ns::readPropertyList(std::string_view(bin));
    ASSERT_FALSE(rb);
    EXPECT_EQ(rb.error().code(), static_cast<long>(ns::PropertyListErrorCode::tooDeep));
}

// libplist frees what it built recursively, also when it refuses a list half-way: a tree far deeper than
// the limit ends the process unless the nesting check sees every level. Start tags with white space or
// attributes open a level, and end tags inside comments, attributes or processing instructions close
// none. The reading runs on a thread with a 1 MiB stack, so that a missed level crashes on any machine.
TEST(PropertyListRead, NestingIsCountedHoweverItsTagsAreSpelled) {
    constexpr int depth = 100000;
    const struct {
        std::string open, close;
    } spellings[] = {
        {"<array\t>", "</array>"},
        {"<array\n>", "</array\n>"},
        {"<array a=\"b\">", "</array>"},
        {"<array a=\">\">", "</array>"},
        {"<array><!-- </array> -->", "</array>"},
        {"<array><?x </array> ?>", "</array>"},
        {"<array a=\"</array>\">", "</array>"},
        {"<array><string a=\"</array>\">s</string>", "</array>"},
    };
    for (const auto& spelling : spellings) {
        std::string xml = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
        for (int i = 0; i < depth; ++i)
            xml += spelling.open;
        for (int i = 0; i < depth; ++i)
            xml += spelling.close;
        xml += "</plist>";
        std::optional<ns::Result<PropertyList>> read;
        pthread_attr_t attributes;
        pthread_attr_init(&attributes);
        pthread_attr_setstacksize(&attributes, 1 << 20);
        struct Job {
            const std::string* xml;
            std::optional<ns::Result<PropertyList>>* read;
        } job{&xml, &read};
        pthread_t thread;
        ASSERT_EQ(pthread_create(
                      &thread, &attributes,
                      [](void* arg) -> void* {
                          auto* j = static_cast<Job*>(arg);
                          j->read->emplace(ns::readPropertyList(std::string_view(*j->xml)));
                          return nullptr;
                      },
                      &job),
                  0);
        pthread_join(thread, nullptr);
        pthread_attr_destroy(&attributes);
        ASSERT_TRUE(read);
        ASSERT_FALSE(*read) << spelling.open;
        EXPECT_EQ(read->error().code(), static_cast<long>(ns::PropertyListErrorCode::tooDeep))
            << spelling.open;
    }
    // Empty elements open nothing: a thousand of them side by side are no nesting at all.
    std::string siblings = "<plist><array>";
    for (int i = 0; i < 1000; ++i)
        siblings += i % 2 ? "<array />" : "<dict\t/>";
    siblings += "</array></plist>";
    auto flat = ns::readPropertyList(std::string_view(siblings));
    ASSERT_TRUE(flat) << flat.error().description();
    EXPECT_EQ(flat->arrayValue()->size(), 1000u);
}

TEST(PropertyListRead, ModerateNestingIsFine) {
    PropertyList v("leaf");
    for (int i = 0; i < 100; ++i)
        v = PropertyList(PropertyList::Array{v});
    for (auto format : {PropertyListFormat::binary, PropertyListFormat::xml}) {
        auto bytes = ns::writePropertyList(v, format);
        ASSERT_TRUE(bytes);
        auto back = ns::readPropertyList(std::span<const std::uint8_t>(*bytes));
        ASSERT_TRUE(back) << back.error().description();
        EXPECT_EQ(*back, v);
    }
}

TEST(PropertyListFile, MissingFileIsReportedAsSuch) {
    auto r = ns::readPropertyListFile("/nonexistent/velo/none.plist", 1024);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().code(), static_cast<long>(ns::PropertyListErrorCode::fileNotFound));
}

} // namespace
