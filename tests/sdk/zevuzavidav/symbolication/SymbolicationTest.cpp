// Symbolication of an earlier launch's stacks inside this process: demangling rules, the resolver's
// mapping through recorded images, and the companion ".symbolicated" files of a report folder.
#include "platform/runtime/ClassRegistry.hpp"
#include "sdk/zevuzavidav/store/ZEVInternalReport.hpp"
#include "sdk/zevuzavidav/symbolication/ZEVDemangleOperation.hpp"
#include "sdk/zevuzavidav/symbolication/ZEVProcessReportOperation.hpp"
#include "sdk/zevuzavidav/symbolication/ZEVSerializeSymbolicatedFramesOperation.hpp"
#include "sdk/zevuzavidav/symbolication/ZEVSymbolResolver.hpp"
#include "tests/sdk/zevuzavidav/support/ReportFiles.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <exception>
#include <fstream>
#include <sstream>

namespace {

using reporttest::json;
namespace fs = std::filesystem;

// ---- demangling --------------------------------------------------------------------------------

struct DemangleCase {
    const char* symbol;
    const char* expected; // null: not demangled
};

class Demangling : public ::testing::TestWithParam<DemangleCase> {};

TEST_P(Demangling, ChoosesTheRuleByPrefix) {
    auto result = ZEVDemangleOperation::demangleSymbol(GetParam().symbol);
    if (GetParam().expected == nullptr) {
        EXPECT_FALSE(result.has_value()) << *result;
    } else {
        EXPECT_EQ(result, std::optional<std::string>(GetParam().expected));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, Demangling,
    ::testing::Values(DemangleCase{"_ZN3foo3barEv", "foo::bar()"},
                      DemangleCase{"__ZN3foo3barEv_block_invoke_2", "foo::bar()_block_invoke_2"},
                      DemangleCase{"__ZN3foo3barEv_block_invoke", "foo::bar()_block_invoke"},
                      // "_block_invoke" at position 3: nothing mangled before it.
                      DemangleCase{"__Z_block_invoke", nullptr},
                      // The block's function is no C++ name.
                      DemangleCase{"__Zgarbage_block_invoke", nullptr}, DemangleCase{"_Znot-a-name", nullptr},
                      DemangleCase{"main", nullptr}, DemangleCase{"", nullptr}));

// The process's registry has no demangler, as in the program; the test's own registry gets one, so it
// leaves the process as it found it.
TEST(DemanglingSwift, UsesTheDemanglerClassOnlyWhenOneIsRegistered) {
    EXPECT_FALSE(ZEVDemangleOperation::demangleSymbol("_TFC3App4mainfT_T_").has_value());
    EXPECT_FALSE(ZEVDemangleOperation::demangleSymbol(nullptr).has_value());

    rt::ClassRegistry registry;
    EXPECT_FALSE(ZEVDemangleOperation::demangleSymbol("_TFC3App4mainfT_T_", registry).has_value());
    rt::ClassDefinition definition;
    definition.name = "ZEVDemangler";
    definition.classMethods["demangle:"] = [](const rt::Class&, rt::Arguments arguments) -> std::any {
        return "swift:" + std::any_cast<std::string>(arguments[0]);
    };
    ASSERT_NE(registry.registerClass(std::move(definition)), nullptr);
    EXPECT_EQ(ZEVDemangleOperation::demangleSymbol("_TFC3App4mainfT_T_", registry),
              "swift:_TFC3App4mainfT_T_");
    // C++ names still go to the C++ runtime.
    EXPECT_EQ(ZEVDemangleOperation::demangleSymbol("_ZN3foo3barEv", registry), "foo::bar()");
    EXPECT_FALSE(ZEVDemangleOperation::demangleSymbol("_TFC3App4mainfT_T_").has_value());
}

TEST(DemangleOperation, ReplacesOnlyWhatItCanDemangle) {
    auto threads =
        std::make_shared<ZEVThreadArray>(ZEVThreadArray{{ZEVStackFrame::stackFrameWithSymbol("_ZN3foo3barEv"),
                                                         ZEVStackFrame::stackFrameWithSymbol("plain_c")},
                                                        {ZEVStackFrame::stackFrameWithAddress(0x10)}});
    ZEVDemangleOperation operation(threads);
    operation.start();
    EXPECT_EQ((*threads)[0][0].symbol, "foo::bar()");
    EXPECT_EQ((*threads)[0][1].symbol, "plain_c");
    EXPECT_FALSE((*threads)[1][0].symbol.has_value());
}

TEST(ThreadArrayOperation, ACancelledWalkStillVisitsTheFirstFrameOfEveryThread) {
    auto threads = std::make_shared<ZEVThreadArray>(
        ZEVThreadArray{{ZEVStackFrame::stackFrameWithAddress(1), ZEVStackFrame::stackFrameWithAddress(2)},
                       {},
                       {ZEVStackFrame::stackFrameWithAddress(3), ZEVStackFrame::stackFrameWithAddress(4)}});
    ZEVThreadArrayOperation operation(threads);
    std::vector<std::uint64_t> seen;
    operation.enumerateFramesWithBlock([&](ZEVStackFrame& frame) { seen.push_back(frame.address); });
    EXPECT_EQ(seen, (std::vector<std::uint64_t>{1, 2, 3, 4}));
    seen.clear();
    operation.cancel();
    operation.enumerateFramesWithBlock([&](ZEVStackFrame& frame) { seen.push_back(frame.address); });
    EXPECT_EQ(seen, (std::vector<std::uint64_t>{1, 3}));
}

// ---- the resolver ------------------------------------------------------------------------------

// The earlier launch loaded every image one megabyte above where this launch has it.
constexpr std::uint64_t kSlide = 0x100000;

std::uint64_t recordedAddress(const void* address) {
    return reinterpret_cast<std::uint64_t>(address) + kSlide;
}

// The C library's own abort: under a sanitizer, the program's abort is the sanitizer's interceptor.
const void* cLibraryAbort() {
    static const void* const address = [] {
        void* library = dlopen("libc.so.6", RTLD_NOW | RTLD_NOLOAD);
        void* found = library ? dlsym(library, "abort") : nullptr;
        return found ? static_cast<const void*>(found) : reinterpret_cast<const void*>(&std::abort);
    }();
    return address;
}

class SymbolResolver : public ::testing::Test {
  protected:
    void SetUp() override {
        images = folder.path() / "binary_images.zevrecord";
        const void* c = cLibraryAbort();
        const void* cpp = reinterpret_cast<const void*>(&std::terminate);
        reporttest::writeLines(images, {reporttest::loadLineFor(c, reporttest::imageBase(c) + kSlide),
                                        json{{"unload", {{"base", 1}, {"size", 2}}}},
                                        reporttest::loadLineFor(cpp, reporttest::imageBase(cpp) + kSlide),
                                        json{{"load",
                                              {{"path", "/gone/libold.so"},
                                               {"uuid", "00000000000000000000000000000000"},
                                               {"base", 0x1000},
                                               {"size", 0x1000}}}}});
        ASSERT_TRUE(resolver.loadBinaryImagesFromFile(images.string()));
    }
    velotest::TempFolder folder;
    fs::path images;
    ZEVSymbolResolver resolver;
};

TEST_F(SymbolResolver, NamesAnAddressThroughItsImageLoadedElsewhereNow) {
    auto frame = resolver.frameForAddress(recordedAddress(cLibraryAbort()) + 3);
    ASSERT_TRUE(frame.has_value());
    ASSERT_TRUE(frame->symbol.has_value());
    EXPECT_NE(frame->symbol->find("abort"), std::string::npos) << *frame->symbol;
    EXPECT_EQ(frame->library.value_or("").rfind("libc.so", 0), 0u) << frame->library.value_or("");
    EXPECT_GE(frame->offset, 3u);
}

TEST_F(SymbolResolver, AnAddressAtASymbolsStartNamesWhatLiesTwoBytesBefore) {
    auto start = reinterpret_cast<const void*>(&std::terminate);
    auto frame = resolver.frameForAddress(recordedAddress(start));
    ASSERT_TRUE(frame.has_value());
    EXPECT_NE(frame->symbol, "_ZSt9terminatev");
    EXPECT_GT(frame->offset, 0u);
    auto inside = resolver.frameForAddress(recordedAddress(start) + 1);
    ASSERT_TRUE(inside.has_value());
    EXPECT_EQ(inside->symbol, "_ZSt9terminatev");
    EXPECT_EQ(inside->offset, 1u);
}

TEST_F(SymbolResolver, LeavesFramesItCannotPlaceUnchanged) {
    ZEVStackFrame outside = ZEVStackFrame::stackFrameWithAddress(0x10);
    EXPECT_FALSE(resolver.updateStackFrame(outside));
    ZEVStackFrame unloaded = ZEVStackFrame::stackFrameWithAddress(0x1800); // libold.so: not loaded now
    EXPECT_FALSE(resolver.updateStackFrame(unloaded));
    ZEVStackFrame zero = ZEVStackFrame::stackFrameWithAddress(0);
    EXPECT_FALSE(resolver.updateStackFrame(zero));
    for (const auto* frame : {&outside, &unloaded, &zero}) {
        EXPECT_FALSE(frame->symbol.has_value());
        EXPECT_FALSE(frame->library.has_value());
        EXPECT_EQ(frame->offset, 0u);
    }
    EXPECT_FALSE(resolver.frameForAddress(0x1800).has_value());
}

TEST_F(SymbolResolver, KeepsLoadsInBaseOrderAndPicksTheFirstOfOverlappingOnes) {
    const auto& list = resolver.binaryImages();
    ASSERT_EQ(list.size(), 3u);
    for (std::size_t i = 1; i < list.size(); ++i)
        EXPECT_LE(list[i - 1]["base"].get<std::uint64_t>(), list[i]["base"].get<std::uint64_t>());

    reporttest::writeLines(images,
                           {json{{"load", {{"path", "/a/first.so"}, {"base", 0x5000}, {"size", 0x100}}}},
                            json{{"load", {{"path", "/a/second.so"}, {"base", 0x5000}, {"size", 0x200}}}},
                            json{{"load", {{"path", "/a/nosize.so"}, {"base", 0x4000}}}},
                            json{{"load", {{"path", "/a/nullbase.so"}, {"base", nullptr}, {"size", 1}}}}});
    ZEVSymbolResolver overlapping;
    ASSERT_TRUE(overlapping.loadBinaryImagesFromFile(images.string()));
    ASSERT_EQ(overlapping.binaryImages().size(), 2u);
    EXPECT_EQ((*overlapping.loadedBinaryImageForPC(0x5010))["path"], "/a/first.so");
    EXPECT_EQ((*overlapping.loadedBinaryImageForPC(0x5150))["path"], "/a/second.so");
    EXPECT_EQ(overlapping.loadedBinaryImageForPC(0x4000), nullptr);
}

TEST(SymbolResolverFiles, AFileWithoutLoadsIsEmptyButReadAMissingOneIsNot) {
    velotest::TempFolder folder;
    reporttest::writeLines(folder.path() / "images", {json{{"unload", {{"base", 1}, {"size", 2}}}}});
    ZEVSymbolResolver resolver;
    EXPECT_TRUE(resolver.loadBinaryImagesFromFile((folder.path() / "images").string()));
    EXPECT_TRUE(resolver.binaryImages().empty());
    EXPECT_FALSE(resolver.loadBinaryImagesFromFile((folder.path() / "missing").string()));
    EXPECT_FALSE(resolver.loadBinaryImagesFromFile(""));
}

// ---- the report's companion files --------------------------------------------------------------

TEST(SerializeSymbolicatedFrames, WritesOneValidLineWhateverTheSymbolsHold) {
    velotest::TempFolder folder;
    ZEVStackFrame odd = ZEVStackFrame::stackFrameWithSymbol("quote\" slash\\ tab\t nl\n bad\xff end");
    odd.library = "lib\x01.so";
    auto threads =
        std::make_shared<ZEVThreadArray>(ZEVThreadArray{{odd, ZEVStackFrame::stackFrameWithAddress(7)}, {}});
    auto path = (folder.path() / "out.symbolicated").string();
    ZEVSerializeSymbolicatedFramesOperation(threads, path).start();

    std::string text = reporttest::readFile(path);
    ASSERT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    json line = json::parse(text); // throws on invalid JSON or UTF-8
    const json& written = line["threads"];
    ASSERT_EQ(written.size(), 2u);
    ASSERT_EQ(written[0].size(), 2u);
    EXPECT_EQ(written[0][0]["symbol"].get<std::string>().substr(0, 20), "quote\" slash\\ tab\t n");
    EXPECT_EQ(written[0][0]["library"], "lib\x01.so");
    EXPECT_EQ(written[0][1], (json{{"symbol", nullptr}, {"offset", 0}, {"library", nullptr}}));
    EXPECT_EQ(written[1], json::array());
}

// The companion is written under a hidden name before it is renamed into place: a hard link left at
// that name keeps the bytes of its other name.
TEST(SerializeSymbolicatedFrames, AHardLinkInThePartialFilesPlaceKeepsItsOutsideBytes) {
    velotest::TempFolder folder;
    reporttest::writeText(folder.path() / "theirs", "someone else's bytes");
    fs::create_hard_link(folder.path() / "theirs", folder.path() / ".out.symbolicated.partial");
    auto threads =
        std::make_shared<ZEVThreadArray>(ZEVThreadArray{{ZEVStackFrame::stackFrameWithAddress(7)}});
    ZEVSerializeSymbolicatedFramesOperation(threads, (folder.path() / "out.symbolicated").string()).start();
    EXPECT_EQ(reporttest::readFile(folder.path() / "theirs"), "someone else's bytes");
    EXPECT_EQ(json::parse(reporttest::readFile(folder.path() / "out.symbolicated"))["threads"].size(), 1u);
}

class ProcessReport : public ::testing::Test {
  protected:
    void SetUp() override {
        report = ZEVInternalReport::initWithPath(folder.path().string(), std::string("launch-1"));
        abortAddress = recordedAddress(reinterpret_cast<const void*>(&std::abort)) + 1;
        const void* c = reinterpret_cast<const void*>(&std::abort);
        reporttest::writeLines(folder.path() / "binary_images.zevrecord",
                               {reporttest::loadLineFor(c, reporttest::imageBase(c) + kSlide)});
        json threads =
            json::array({json{{"crashed", true}, {"stacktrace", {abortAddress, 0x10, abortAddress}}},
                         json{{"crashed", false}}});
        reporttest::writeLines(folder.path() / "signal.zevrecord",
                               {json{{"signal", {{"number", 11}}}}, json{{"threads", threads}},
                                json{{"threads", json::array()}}});
    }
    velotest::TempFolder folder;
    std::shared_ptr<ZEVInternalReport> report;
    std::uint64_t abortAddress = 0;
};

TEST_F(ProcessReport, WritesACompanionForEachCrashFileWithThreads) {
    ZEVProcessReportOperation(report, std::make_shared<ZEVSymbolResolver>()).start();

    auto lines = reporttest::readLines(folder.path() / "signal.zevrecord.symbolicated");
    ASSERT_EQ(lines.size(), 1u);
    const json& threads = lines[0]["threads"];
    ASSERT_EQ(threads.size(), 2u);
    ASSERT_EQ(threads[0].size(), 3u);
    EXPECT_NE(threads[0][0]["symbol"].get<std::string>().find("abort"), std::string::npos);
    EXPECT_EQ(threads[0][1]["symbol"], nullptr);
    EXPECT_EQ(threads[0][1]["offset"], 0);
    EXPECT_EQ(threads[0][2], threads[0][0]);
    EXPECT_EQ(threads[1], json::array());
    // The crash files that do not exist get nothing.
    EXPECT_FALSE(fs::exists(folder.path() / "exception.zevrecord.symbolicated"));
    EXPECT_FALSE(fs::exists(folder.path() / "mach_exception.zevrecord.symbolicated"));
}

TEST_F(ProcessReport, AnOutputThatCannotBeOpenedDoesNotStopTheOtherFiles) {
    reporttest::writeLines(folder.path() / "exception.zevrecord",
                           {json{{"threads", json::array({json{{"stacktrace", {abortAddress}}}})}}});
    fs::create_directories(folder.path() / "exception.zevrecord.symbolicated"); // no file can go there
    ZEVProcessReportOperation(report, std::make_shared<ZEVSymbolResolver>()).start();
    EXPECT_TRUE(fs::is_directory(folder.path() / "exception.zevrecord.symbolicated"));
    EXPECT_EQ(reporttest::readLines(folder.path() / "signal.zevrecord.symbolicated").size(), 1u);
}

TEST_F(ProcessReport, WithoutItsImageListAReportStaysUnsymbolicated) {
    fs::remove(folder.path() / "binary_images.zevrecord");
    ZEVProcessReportOperation(report, std::make_shared<ZEVSymbolResolver>()).start();
    EXPECT_FALSE(fs::exists(folder.path() / "signal.zevrecord.symbolicated"));
}

// A record whose threads' line was cut by the end of the crashed process (the recording's bound, a
// kill) goes out with that line closed after its last whole thread, the crashed one first, and its
// symbolicated companion holds those threads; without an image list the record is closed all the same.
TEST_F(ProcessReport, ACutThreadsLineGoesOutWithTheThreadsWrittenWholeBeforeTheCut) {
    for (const bool withImages : {true, false}) {
        SCOPED_TRACE(withImages ? "with its image list" : "without its image list");
        if (!withImages) fs::remove(folder.path() / "binary_images.zevrecord");
        fs::remove(folder.path() / "signal.zevrecord.symbolicated");
        const std::string crashed =
            json{{"crashed", true}, {"stacktrace", {abortAddress, abortAddress}}}.dump();
        {
            std::ofstream out(folder.path() / "signal.zevrecord");
            out << json{{"signal", {{"number", 6}}}}.dump() << "\n"
                << R"({"threads":[)" << crashed << R"(,{"stacktrace":[16,32]},{"registers":{"rip":4)";
        }
        ZEVProcessReportOperation(report, std::make_shared<ZEVSymbolResolver>()).start();

        const auto lines = reporttest::readLines(folder.path() / "signal.zevrecord");
        ASSERT_EQ(lines.size(), 2u) << "the cut line was not closed";
        const json& threads = lines[1]["threads"];
        ASSERT_EQ(threads.size(), 2u);
        EXPECT_EQ(threads[0], json::parse(crashed));
        if (!withImages) continue;
        const auto symbolicated = reporttest::readLines(folder.path() / "signal.zevrecord.symbolicated");
        ASSERT_EQ(symbolicated.size(), 1u);
        ASSERT_EQ(symbolicated[0]["threads"].size(), 2u);
        EXPECT_NE(symbolicated[0]["threads"][0][0]["symbol"].get<std::string>().find("abort"),
                  std::string::npos);
    }
}

// A record cut before it named its threads goes out naming those its closed threads' line holds as far
// as their elements tell: the crashed thread, first, carries its name. So does one cut after its threads'
// line was written whole, wherever the cut fell before its names: the lines between written whole are
// kept, a cut one is dropped, or closed when it holds queue names, one a thread again. A record of
// before elements carried names gains no names line; one cut in its names' line keeps the names written
// whole, and names the others with the empty string, one name a thread. A record with no threads' line
// is left as it is, and a record once closed is not changed again.
TEST_F(ProcessReport, ACutRecordGoesOutNamingItsCrashedThread) {
    const std::string signal = json{{"signal", {{"number", 6}}}}.dump() + "\n";
    const std::string crashedNamed = R"({"crashed":true,"stacktrace":[16],"name":"velo \"crasher\""})";
    const std::string crashed = R"({"crashed":true,"stacktrace":[16]})";
    const std::string threadsLine = R"({"threads":[)" + crashedNamed + R"(,{"stacktrace":[32]}]})";
    const json threads =
        json{{"threads", json::array({json::parse(crashedNamed), json{{"stacktrace", {32}}}})}};
    const json runtime = json{{"runtime", {{"objc_selector", ""}, {"crash_info_entries", json::array()}}}};
    const json queues = json{{"dispatch_queue_names", {"main", ""}}};
    const json names = json{{"thread_names", {"velo \"crasher\"", ""}}};
    struct Case {
        const char* what;
        std::string written;             // after the signal line
        std::vector<json> linesAfterCut; // what follows the signal line once the report went out
        bool leftAlone = false;          // the file stays byte for byte as written
    };
    const Case cases[] = {
        {"cut in its threads, the crashed one named",
         R"({"threads":[)" + crashedNamed + R"(,{"stacktrace":[32]},{"registers":{"rip":4)",
         {threads, names}},
        {"cut in its threads, written before the crashed thread carried its name",
         R"({"threads":[)" + crashed + R"(,{"stacktrace":[32]},{"stack)",
         {json{{"threads", json::array({json::parse(crashed), json{{"stacktrace", {32}}}})}}}},
        {"cut right after its threads", threadsLine + "\n", {threads, names}},
        {"cut before its threads' line feed", threadsLine, {threads, names}},
        {"cut in the line after its threads",
         threadsLine + "\n" + R"({"runtime":{"objc_selector":"","cra)",
         {threads, names}},
        {"cut in its queue names",
         threadsLine + "\n" + runtime.dump() + "\n" + R"({"dispatch_queue_names":["main","wor)",
         {threads, runtime, json{{"dispatch_queue_names", {"main", nullptr}}}, names}},
        {"cut in its names before the first ended",
         threadsLine + "\n" + runtime.dump() + "\n" + queues.dump() + "\n" + R"({"thread_names":["velo \"cr)",
         {threads, runtime, queues, names}},
        {"cut in its names",
         threadsLine + "\n" + R"({"thread_names":["velo-c","wor)",
         {threads, json{{"thread_names", {"velo-c", ""}}}}},
        {"cut with no threads' line",
         runtime.dump() + "\n" + R"({"dispatch_queue_names":["main","wor)",
         {},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(folder.path() / "signal.zevrecord.symbolicated");
        std::ofstream(folder.path() / "signal.zevrecord") << signal << c.written;
        ZEVProcessReportOperation(report, std::make_shared<ZEVSymbolResolver>()).start();

        const std::string sent = reporttest::readFile(folder.path() / "signal.zevrecord");
        if (c.leftAlone) {
            EXPECT_EQ(sent, signal + c.written);
            continue;
        }
        // A line that does not parse reads as a discarded value, which equals none.
        std::vector<json> lines;
        std::istringstream in(sent);
        for (std::string line; std::getline(in, line);)
            lines.push_back(json::parse(line, nullptr, false));
        ASSERT_FALSE(lines.empty());
        lines.erase(lines.begin());
        EXPECT_EQ(lines, c.linesAfterCut);
        fs::remove(folder.path() / "signal.zevrecord.symbolicated");
        ZEVProcessReportOperation(report, std::make_shared<ZEVSymbolResolver>()).start();
        EXPECT_EQ(reporttest::readFile(folder.path() / "signal.zevrecord"), sent) << "closed twice";
    }
}

TEST(ThreadArrayFromFile, ReadsTheFirstThreadsSectionOnly) {
    velotest::TempFolder folder;
    auto path = folder.path() / "x.zevrecord";
    reporttest::writeLines(path, {json{{"other", 1}},
                                  json{{"threads", {{{"stacktrace", {1, -2, "x", 3}}}, json::object()}}},
                                  json{{"threads", {{{"stacktrace", {9}}}}}}});
    auto threads = ZEVProcessReportOperation::threadArrayFromFile(path.string());
    ASSERT_TRUE(threads.has_value());
    ASSERT_EQ(threads->size(), 2u);
    ASSERT_EQ((*threads)[0].size(), 2u);
    EXPECT_EQ((*threads)[0][1].address, 3u);
    EXPECT_TRUE((*threads)[1].empty());
    reporttest::writeLines(path, {json{{"signal", 1}}});
    EXPECT_FALSE(ZEVProcessReportOperation::threadArrayFromFile(path.string()).has_value());
    EXPECT_FALSE(
        ZEVProcessReportOperation::threadArrayFromFile((folder.path() / "none").string()).has_value());
}

} // namespace
