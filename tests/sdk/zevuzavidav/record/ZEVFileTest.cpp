#include "sdk/zevuzavidav/record/ZEVFile.hpp"
#include "sdk/zevuzavidav/record/ZEVFileReader.hpp"
#include "sdk/zevuzavidav/symbolication/ZEVSymbolResolver.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

class RecordFile : public ::testing::Test {
  protected:
    std::string contents() const {
        std::ifstream in(path_);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    velotest::TempFolder folder_;
    std::string dir_ = folder_.string();
    std::string path_ = dir_ + "/r.zevrecord";
};

TEST_F(RecordFile, BufferedWritesReachTheFileIn999BytePiecesAndTheRestOnClose) {
    ZEVFile file;
    ASSERT_TRUE(ZEVFileInitWithPathMode(&file, path_.c_str(), false, true));
    std::string data(2500, 'a');
    ZEVFileWriteBytes(&file, data.data(), data.size());
    EXPECT_EQ(file.bytesWritten, 1998u);
    EXPECT_EQ(file.bufferedBytes, 502u);
    std::uint64_t written = 0;
    ASSERT_TRUE(ZEVFileCloseWithOffset(&file, &written));
    EXPECT_EQ(written, 2500u);
    EXPECT_EQ(contents(), data);
    EXPECT_EQ(file.buffer, nullptr);
    EXPECT_EQ(file.descriptor, -1);
}

TEST_F(RecordFile, ABorrowedBufferHoldsALineUntilItEndsAndIsNeverFreed) {
    ZEVFile file;
    ASSERT_TRUE(ZEVFileInitWithPathMode(&file, path_.c_str(), false, false));
    char line[64];
    zevuzavidav::useFileBuffer(&file, line, sizeof line);
    ZEVFileWriteSectionStart(&file, "load");
    ZEVFileWriteObjectStart(&file);
    ZEVFileWriteStringEntry(&file, "path", "/lib/a.so");
    ZEVFileWriteObjectEnd(&file);
    EXPECT_EQ(contents(), "") << "nothing reaches the file token by token";
    ZEVFileWriteSectionEnd(&file);
    EXPECT_EQ(contents(), "{\"load\":{\"path\":\"/lib/a.so\"}}\n") << "a finished line goes at once";
    zevuzavidav::useFileBuffer(&file, nullptr, 0);

    // Past the borrowed block the bytes go in pieces, all of them; then writing is unbuffered again.
    zevuzavidav::useFileBuffer(&file, line, sizeof line);
    std::string longText(150, 'b');
    ZEVFileWriteBytes(&file, longText.data(), longText.size());
    zevuzavidav::useFileBuffer(&file, nullptr, 0);
    ZEVFileWriteBytes(&file, "c", 1);
    EXPECT_EQ(contents().substr(contents().find('\n') + 1), longText + "c");
    ASSERT_TRUE(ZEVFileClose(&file)); // the stack block is not freed (the sanitizers would say)

    ZEVFile owning;
    ASSERT_TRUE(ZEVFileInitWithPathMode(&owning, path_.c_str(), false, true));
    char* own = owning.buffer;
    zevuzavidav::useFileBuffer(&owning, line, sizeof line);
    EXPECT_EQ(owning.buffer, own) << "a file opened buffered keeps its own block";
    ASSERT_TRUE(ZEVFileClose(&owning));
}

// A handler that ends the process writes out what the borrowed buffer holds, wherever the writer was
// interrupted: with nothing of it flushed yet, in the middle of a flush that had written part or all of
// it (the file holds those bytes, not yet counted), or once the flush forgot them. Each byte reaches the
// file once: a line whole before the cut is kept whole, and the cut one holds what was written of it.
TEST_F(RecordFile, AnInterruptedBufferIsWrittenOutOnceWhereverItsFlushStood) {
    const std::string earlier = "{\"exception\":{}}\n{\"threads\":[]}\n";
    const std::string whole = "{\"first\":1}\n";
    const std::string cut = "{\"threads\":[{\"registers\":{\"rip\":42}},{\"regis";
    struct Case {
        const char* what;
        std::size_t alreadyInFile; // bytes of the buffer the interrupted flush had written
        bool forgotten;            // the flush had emptied the buffer
        bool afterAnEarlierRecord; // the file held a record of an earlier crash when it was opened
    };
    const Case cases[] = {
        {"nothing flushed", 0, false, false},
        {"a flush that wrote part", 17, false, false},
        {"a flush that wrote all", cut.size(), false, false},
        {"a flush that emptied the buffer", cut.size(), true, false},
        {"nothing flushed, after an earlier record", 0, false, true},
        {"a flush that wrote part, after an earlier record", 17, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(path_);
        if (c.afterAnEarlierRecord) std::ofstream(path_) << earlier;
        ZEVFile file;
        ASSERT_TRUE(ZEVFileInitWithPath(&file, path_.c_str(), false));
        char line[256];
        zevuzavidav::useFileBuffer(&file, line, sizeof line);
        ZEVFileWriteBytes(&file, whole.data(), whole.size());
        ZEVFileFlushBuffer(&file);
        ZEVFileWriteBytes(&file, cut.data(), cut.size());
        // Where the flush stood: its write had reached the file, its counting had not.
        ASSERT_EQ(::write(file.descriptor, line, c.alreadyInFile), static_cast<ssize_t>(c.alreadyInFile));
        if (c.forgotten) file.bufferedBytes = 0;
        zevuzavidav::writeOutInterruptedBuffer(&file);
        EXPECT_EQ(contents(), (c.afterAnEarlierRecord ? earlier : std::string()) + whole + cut);
        ::close(file.descriptor);
    }
}

TEST_F(RecordFile, CommasSeparateMembersElementsAndNestedCollectionsButNotSections) {
    ZEVFile file;
    ASSERT_TRUE(ZEVFileInitWithPathMode(&file, path_.c_str(), false, false));
    ZEVFileWriteSectionStart(&file, "a");
    ZEVFileWriteArrayStart(&file);
    ZEVFileWriteObjectStart(&file);
    ZEVFileWriteUInt64Entry(&file, "x", 1);
    ZEVFileWriteNSStringEntry(&file, "skipped", "");
    ZEVFileWriteInt64Entry(&file, "y", -5);
    ZEVFileWriteObjectEnd(&file);
    ZEVFileWriteObjectStart(&file);
    ZEVFileWriteUInt64Entry(&file, "max", 18446744073709551615ULL);
    ZEVFileWriteStringEntry(&file, "none", nullptr);
    ZEVFileWriteHexStringEntry(&file, "hex", "Ab");
    ZEVFileWriteHexStringEntry(&file, "nohex", nullptr);
    ZEVFileWriteUInt64Entry(&file, "zero", 0);
    ZEVFileWriteObjectEnd(&file);
    ZEVFileWriteArrayEnd(&file);
    ZEVFileWriteSectionEnd(&file);
    ZEVFileWriteSectionStart(&file, "b");
    ZEVFileWriteBoolEntry(&file, "t",
                          true); // a bare value after the key would need an object; keep it simple
    ZEVFileWriteSectionEnd(&file);
    ZEVFileClose(&file);
    EXPECT_EQ(contents(),
              "{\"a\":[{\"x\":1,\"y\":-5},{\"max\":18446744073709551615,\"none\":null,\"hex\":\"4162\","
              "\"nohex\":null,\"zero\":0}]}\n{\"b\":\"t\":true}\n");
}

// Numbers of every length, at the edges where their digits change count, as elements, as members and
// in hexadecimal.
TEST_F(RecordFile, NumbersOfEveryLengthAreWrittenWhole) {
    std::vector<std::uint64_t> values = {
        0, 1, 9, 10, 11, 99, 100, 101, 999, 1000, 0x55d81df47000ULL, 18446744073709551615ULL};
    for (std::uint64_t power = 10; power <= 10000000000000000000ULL / 10; power *= 10) {
        values.push_back(power * 10 - 1);
        values.push_back(power * 10);
    }
    ZEVFile file;
    ASSERT_TRUE(ZEVFileInitWithPathMode(&file, path_.c_str(), false, true));
    ZEVFileWriteSectionStart(&file, "n");
    ZEVFileWriteArrayStart(&file);
    for (std::uint64_t value : values)
        ZEVFileWriteUInt64Element(&file, value);
    ZEVFileWriteArrayEnd(&file);
    ZEVFileWriteSectionEnd(&file);
    ZEVFileWriteSectionStart(&file, "m");
    ZEVFileWriteObjectStart(&file);
    ZEVFileWriteUInt64Entry(&file, "last", values.back());
    ZEVFileWriteObjectEnd(&file);
    ZEVFileWriteSectionEnd(&file);
    ZEVFileClose(&file);
    std::string expected = "{\"n\":[";
    for (std::size_t i = 0; i < values.size(); ++i)
        expected += (i > 0 ? "," : "") + std::to_string(values[i]);
    expected += "]}\n{\"m\":{\"last\":" + std::to_string(values.back()) + "}}\n";
    EXPECT_EQ(contents(), expected);
    for (std::uint64_t value : values) {
        char digits[21];
        char hex[21];
        std::snprintf(hex, sizeof hex, "%llx", static_cast<unsigned long long>(value));
        EXPECT_STREQ(zevuzavidav::formatUInt64(digits, value, true), hex);
        EXPECT_STREQ(zevuzavidav::formatUInt64(digits, value, false), std::to_string(value).c_str());
    }
}

TEST_F(RecordFile, PlainStringsStayValidJsonWhateverTheirBytes) {
    struct Case {
        const char* written;
        std::string read; // as an independent parser decodes the line
    } cases[] = {
        {"quote\" back\\ tab\t bell\x07 caf\xc3\xa9", "quote\" back\\ tab\t bell\x07 caf\xc3\xa9"},
        {"/tmp/caf\xe9/lib.so", "/tmp/caf\u00e9/lib.so"}, // Latin-1, not UTF-8
        {"\xed\xa0\x80", "\u00ed\u00a0\u0080"},           // an encoded surrogate
    };
    ZEVFile file;
    ASSERT_TRUE(ZEVFileInitWithPathMode(&file, path_.c_str(), false, false));
    ZEVFileWriteSectionStart(&file, "names");
    ZEVFileWriteArrayStart(&file);
    for (const auto& c : cases)
        ZEVFileWriteStringElement(&file, c.written);
    ZEVFileWriteArrayEnd(&file);
    ZEVFileWriteSectionEnd(&file);
    ZEVFileClose(&file);
    auto sections = ZEVFileReadSections(path_.c_str(), false);
    ASSERT_TRUE(sections.has_value());
    ASSERT_EQ(sections->size(), 1u);
    const auto& names = (*sections)[0]["names"];
    ASSERT_EQ(names.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(names[i], cases[i].read) << i;
}

TEST_F(RecordFile, AppendModeCountsTheExistingBytes) {
    std::ofstream(path_) << std::string(120, 'x');
    ZEVFile file;
    ASSERT_TRUE(ZEVFileInitWithPath(&file, path_.c_str(), false));
    EXPECT_EQ(file.bytesWritten, 120u);
    ZEVFileClose(&file);
    EXPECT_FALSE(ZEVFileInitWithPath(&file, (dir_ + "/missing/x").c_str(), false));
    EXPECT_FALSE(ZEVFileIsOpen(&file));
}

TEST_F(RecordFile, ReaderSkipsACutOffLastLineAndNonObjectLines) {
    std::ofstream(path_) << "{\"a\":1}\n42\n{\"b\":{\"c\":[1,2]}}\n{\"cut\":[1,";
    auto sections = ZEVFileReadSections(path_.c_str(), false);
    ASSERT_TRUE(sections.has_value());
    ASSERT_EQ(sections->size(), 2u);
    EXPECT_EQ((*sections)[1]["b"]["c"][1], 2);
    auto filtered = ZEVFileReadSections(
        path_.c_str(), false, [](const nlohmann::json& s) { return s.contains("a") ? nlohmann::json() : s; });
    ASSERT_EQ(filtered->size(), 1u);
    EXPECT_FALSE(ZEVFileReadSections((dir_ + "/none").c_str(), true).has_value());
    EXPECT_FALSE(ZEVFileReadSections(nullptr, false).has_value());
}

// A record damaged into a million levels of nesting is skipped like any unreadable line, and the
// symbol resolver, which keeps copies of what it reads, is never handed it.
// A record whose threads' line was cut part-way is given that line closed after its last whole element;
// every other shape of text is left alone. Brackets, commas and quotes inside strings do not end an
// element; a number cut in its middle is no whole element.
TEST(CloseCutArraySection, ClosesACutLineAfterItsLastWholeElementOnly) {
    const std::string before = "{\"signal\":{\"number\":6}}\n";
    struct Case {
        const char* what;
        std::string last;   // the record's last line, after `before`
        const char* closed; // what it becomes, or null: left alone
    };
    const Case cases[] = {
        {"cut in its third element",
         R"({"threads":[{"crashed":true,"stacktrace":[1,2]},{"stacktrace":[3]},{"stack)",
         R"({"threads":[{"crashed":true,"stacktrace":[1,2]},{"stacktrace":[3]}]})"},
        {"cut just after a comma", R"({"threads":[{"crashed":true},)", R"({"threads":[{"crashed":true}]})"},
        {"cut in a string that holds brackets, commas and a quote",
         R"({"threads":[{"name":"a]}\"b"},{"name":"x]},{)", R"({"threads":[{"name":"a]}\"b"}]})"},
        {"numbers as elements, the last cut", R"({"threads":[12,345,67)", R"({"threads":[12,345]})"},
        {"cut before the brace that closes the line", R"({"threads":[{"crashed":true},{"a":1}])",
         R"({"threads":[{"crashed":true},{"a":1}]})"},
        {"cut in its first element", R"({"threads":[{"crashed":true,"stacktrace":[1,)", nullptr},
        {"cut before any element", R"({"threads":[)", nullptr},
        {"another section cut", R"({"thread_names":["a","b)", nullptr},
        {"a whole line without its newline", R"({"threads":[{"crashed":true}]})", nullptr},
        {"a whole line", "{\"threads\":[{\"crashed\":true}]}\n", nullptr},
        {"a damaged line that ends its array", R"({"threads":[{"a":1}]],)", nullptr},
    };
    for (const Case& c : cases) {
        const auto closed = zevuzavidav::closeCutArraySection(before + c.last, "threads");
        if (c.closed == nullptr) {
            EXPECT_FALSE(closed.has_value()) << c.what << ": " << closed.value_or("");
        } else {
            EXPECT_EQ(closed, std::optional<std::string>(before + c.closed + "\n")) << c.what;
        }
    }
    // Strings as elements, one holding an escaped quote, a bracket and a comma, the last one cut.
    EXPECT_EQ(zevuzavidav::closeCutArraySection(R"({"thread_names":["a","b\"],","c)", "thread_names"),
              std::optional<std::string>(std::string(R"({"thread_names":["a","b\"],"]})") + "\n"));
}

// A record cut after its last threads' line, before its names', is closed after the lines between
// written whole, from that last threads' line on; whatever else follows that line leaves it alone.
TEST(CloseRecordCutBeforeSection, ClosesOnlyARecordCutBetweenItsTwoSections) {
    constexpr const char* between[] = {"runtime", "dispatch_queue_names"};
    const auto closeOf = [&between](const std::string& text) {
        return zevuzavidav::closeRecordCutBeforeSection(
            text, "threads", "thread_names", between,
            [](const nlohmann::json& threads, std::vector<nlohmann::json>& after) {
                return nlohmann::json{{"end", {threads, after.size()}}}.dump() + "\n";
            });
    };
    const std::string first =
        "{\"signal\":1}\n{\"threads\":[1]}\n{\"thread_names\":[\"a\"]}\n{\"storage\":{}}\n";
    EXPECT_EQ(closeOf(first + "{\"signal\":2}\n{\"threads\":[2,3]}\n{\"runtime\":{}}\n{\"runt"),
              first + "{\"signal\":2}\n{\"threads\":[2,3]}\n{\"runtime\":{}}\n{\"end\":[[2,3],1]}\n");
    const char* const leftAlone[] = {
        "{\"threads\":[1]}\n{\"runt\n{\"dispatch_queue_names\":[\"a",     // a damaged line between
        "{\"threads\":[1]}\n{\"thread_names\":[\"a\"]}\n{\"",             // named, then cut
        "{\"threads\":[1]}\n{\"runtime\":{}}\n{\"process_stats\":{\"a",   // a cut line of another section
        "{\"threads\":[1]}\n{\"runtime\":{}}\n{\"runtime\":{}}\n{\"runt", // a section between twice
        "{\"threads\":[1,2]}\n{\"thread_names\":[\"a\",\"b",              // names for the names' own repair
    };
    for (const char* text : leftAlone)
        EXPECT_FALSE(closeOf(text).has_value()) << text;
    EXPECT_FALSE(zevuzavidav::closeRecordCutBeforeSection("{\"threads\":[1]}\n", "threads", "thread_names",
                                                          between, {}))
        << "a record that needs nothing was rewritten";
}

// The file is replaced whole, with no file left beside it, and the sections read back; one that needs
// nothing is not touched.
TEST_F(RecordFile, ACutThreadsLineIsClosedInTheFileItself) {
    const std::string whole = "{\"signal\":{\"number\":6}}\n";
    {
        std::ofstream out(path_);
        out << whole << R"({"threads":[{"crashed":true,"stacktrace":[7]},{"stacktrace":[8)";
    }
    EXPECT_TRUE(zevuzavidav::closeCutArraySectionOfFile(path_, "threads"));
    EXPECT_EQ(contents(), whole + R"({"threads":[{"crashed":true,"stacktrace":[7]}]})" + "\n");
    const auto sections = ZEVFileReadSections(path_.c_str(), false);
    ASSERT_TRUE(sections.has_value());
    ASSERT_EQ(sections->size(), 2u);
    EXPECT_EQ((*sections)[1]["threads"].size(), 1u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), std::filesystem::directory_iterator()),
              1)
        << "a file was left beside the record";
    EXPECT_FALSE(zevuzavidav::closeCutArraySectionOfFile(path_, "threads")) << "a whole record was rewritten";
    EXPECT_FALSE(zevuzavidav::closeCutArraySectionOfFile(dir_ + "/none", "threads"));
}

TEST_F(RecordFile, AMillionLevelsDeepLineIsSkippedWithoutACrash) {
    const std::string deep = std::string(1000000, '[') + std::string(1000000, ']');
    std::ofstream(path_) << "{\"load\":{\"base\":4096,\"size\":4096,\"deep\":" << deep << "}}\n"
                         << "{\"load\":{\"base\":8192,\"size\":4096,\"name\":\"/lib/b.so\"}}\n";
    auto sections = ZEVFileReadSections(path_.c_str(), false);
    ASSERT_TRUE(sections.has_value());
    ASSERT_EQ(sections->size(), 1u);
    EXPECT_EQ((*sections)[0]["load"]["base"], 8192);
    ZEVSymbolResolver resolver;
    ASSERT_TRUE(resolver.loadBinaryImagesFromFile(path_));
    EXPECT_EQ(resolver.loadedBinaryImageForPC(4100), nullptr);
    ASSERT_NE(resolver.loadedBinaryImageForPC(8200), nullptr);
}

// Damage confined to one line costs that line at most: every other section still reads back whole and
// in order, and whatever the damaged line yields is an object.
TEST_F(RecordFile, DamageToOneLineLosesNoOtherSection) {
    const std::vector<std::string> lines{
        R"({"binary_images":[{"base":4096,"name":"/lib/a.so"}]})",
        R"({"threads":[{"crashed":true,"stacktrace":[1,2,3]}]})",
        R"({"signal":{"number":11,"code":1,"address":"0x0"}})",
        R"({"storage":{"free":12345678}})",
    };
    static const char noise[] = "{}[]\":,0123truefalsenull\\u\x01\xff";
    std::mt19937 random(1234);
    for (int round = 0; round < 400; ++round) {
        const std::size_t damaged = random() % lines.size();
        std::string text;
        for (std::size_t k = 0; k < lines.size(); ++k) {
            std::string line = lines[k];
            for (int e = 1 + static_cast<int>(random() % 4); k == damaged && e > 0; --e) {
                const std::size_t at = random() % (line.size() + 1);
                if (random() % 2 == 0 && at < line.size())
                    line.erase(at, 1 + random() % 6);
                else
                    line.insert(at, 1, noise[random() % (sizeof noise - 1)]);
            }
            text += line + "\n";
        }
        std::ofstream(path_, std::ios::binary | std::ios::trunc) << text;
        auto sections = ZEVFileReadSections(path_.c_str(), false);
        ASSERT_TRUE(sections.has_value());
        ASSERT_GE(sections->size() + 1, lines.size()) << text;
        ASSERT_LE(sections->size(), lines.size()) << text;
        const bool damagedKept = sections->size() == lines.size();
        std::size_t next = 0;
        for (std::size_t k = 0; k < lines.size(); ++k) {
            if (k == damaged) {
                if (damagedKept) {
                    EXPECT_TRUE((*sections)[next++].is_object());
                }
                continue;
            }
            EXPECT_EQ((*sections)[next++], nlohmann::json::parse(lines[k])) << text;
        }
    }
}

} // namespace
