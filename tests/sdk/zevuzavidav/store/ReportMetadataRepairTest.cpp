// The metadata of an earlier launch's folder made whole from the running launch's: what is kept byte for
// byte, what is made and marked as made, and what is never touched.
#include "platform/foundation/Console.hpp"
#include "sdk/zevuzavidav/store/ZEVInternalReport.hpp"
#include "sdk/zevuzavidav/store/ZEVReportMetadataRepair.hpp"
#include "tests/sdk/zevuzavidav/support/ReportFiles.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <optional>
#include <sys/stat.h>

namespace {

using namespace std::string_literals;
using reporttest::json;
namespace fs = std::filesystem;

constexpr std::int64_t kCrashedLaunchStart = 1700000400;
constexpr std::int64_t kLaterWrites = 1700000900;
const char* const kFolderName = "crashed-launch";

// The crashed launch's own whole lines, as its start would have written them.
const std::string kIdentity =
    json{{"identity", {{"api_key", "old-key"}, {"started_at", 1600000000}, {"session_id", kFolderName}}}}
        .dump();
const std::string kHost = json{{"host", {{"model", "old-model"}, {"os_display_version", "6.1.0"}}}}.dump();
const std::string kApplication = json{{"application", {{"build_version", "7"}}}}.dump();
const std::string kExecutable = json{{"executable", {{"architecture", "x86_64"}, {"base", 4096}}}}.dump();

// The running launch's metadata.
const json kTemplate[] = {
    json{{"identity",
          {{"generator", "kit/3"},
           {"build_version", "30"},
           {"display_version", "3.0"},
           {"api_key", "current-key"},
           {"started_at", 1800000000},
           {"session_id", "current-launch"},
           {"install_id", "install-1"},
           {"beta_token", nullptr}}}},
    json{{"host", {{"model", "current-model"}, {"os_display_version", "6.5.0"}}}},
    json{{"application", {{"bundle_id", "com.example"}, {"build_version", "8"}}}},
    json{{"executable", {{"architecture", "x86_64"}, {"base", 8192}}}},
};

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

void setModified(const fs::path& path, std::int64_t seconds) {
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

class MetadataRepair : public ::testing::Test {
  protected:
    // A folder whose launch crashed by a fault and logged nothing yet, and the running launch's metadata.
    MetadataRepair() {
        reporttest::writeLines(templatePath(), std::vector<json>(std::begin(kTemplate), std::end(kTemplate)));
        reporttest::writeText(folder() / "mach_exception.zevrecord", "{\"mach_exception\":{}}\n");
        reporttest::writeText(folder() / "log_a.zevrecord", "");
    }

    fs::path folder() const { return root.path() / kFolderName; }
    fs::path metadata() const { return folder() / "metadata.zevrecord"; }
    std::string templatePath() const { return (root.path() / "current" / "metadata.zevrecord").string(); }

    // The files of the launch's start are older than the crash record: the crash record's time is the
    // earliest only where the start's files were touched later.
    void dateFiles() {
        for (const auto& entry : fs::directory_iterator(folder()))
            setModified(entry.path(), kLaterWrites);
        setModified(folder() / "mach_exception.zevrecord", kCrashedLaunchStart);
    }

    ZEVReportMetadataRepair repair(std::optional<std::string> from) {
        return ZEVRepairReportMetadata(folder().string(), from);
    }
    ZEVReportMetadataRepair repair() { return repair(templatePath()); }

    velotest::TempFolder root;
};

struct DamageCase {
    const char* name;
    std::optional<std::string> metadata; // nothing: no file
    std::vector<std::string> kept;       // the sections kept byte for byte; the others are made
};

void PrintTo(const DamageCase& damage, std::ostream* out) {
    *out << damage.name;
}

class MetadataDamage : public MetadataRepair, public ::testing::WithParamInterface<DamageCase> {};

TEST_P(MetadataDamage, KeepsWhatIsWholeAndMakesTheRestFromTheRunningLaunch) {
    const DamageCase& damage = GetParam();
    if (damage.metadata) reporttest::writeText(metadata(), *damage.metadata);
    dateFiles();
    const auto before = reporttest::entries(folder()).size();

    ASSERT_EQ(repair(), ZEVReportMetadataRepair::rebuilt);

    const std::map<std::string, std::string> own = {
        {"identity", kIdentity}, {"host", kHost}, {"application", kApplication}, {"executable", kExecutable}};
    const auto lines = linesOf(velotest::readFile(metadata()));
    const auto& names = ZEVInternalReport::metadataSectionNames();
    ASSERT_EQ(lines.size(), names.size());
    for (std::size_t slot = 0; slot < names.size(); ++slot) {
        const std::string& name = names[slot];
        const bool kept = std::count(damage.kept.begin(), damage.kept.end(), name) != 0;
        if (kept) {
            EXPECT_EQ(lines[slot], own.at(name)) << name << " was not kept as it was";
            continue;
        }
        const json line = json::parse(lines[slot]);
        ASSERT_TRUE(line.contains(name)) << "line " << slot << ": " << lines[slot];
        json made = line[name];
        EXPECT_EQ(made["rebuilt"], true) << name;
        made.erase("rebuilt");
        json expected = kTemplate[slot][name];
        if (name == "identity") {
            expected["session_id"] = kFolderName;
            expected["started_at"] = kCrashedLaunchStart;
        }
        EXPECT_EQ(made, expected) << name;
    }

    // The report reads as the crashed launch's, whole; no temporary is left beside it; private.
    auto report = ZEVInternalReport::reportWithPath(folder().string());
    ASSERT_TRUE(report);
    EXPECT_EQ(report->identifier(), kFolderName);
    EXPECT_TRUE(report->hasWholeMetadata());
    EXPECT_EQ(reporttest::entries(folder()).size(), before + (damage.metadata ? 0 : 1));
    struct stat info {};
    ASSERT_EQ(::lstat(metadata().c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

// Nesting past the reader's bound, values of the wrong kind, a NUL byte, bytes that are no UTF-8.
std::string oddLines() {
    return std::string("{\"identity\":5}\n{\"identity\":{\"session_id\":7}}\n") + std::string(200, '[') +
           "\n{\"host\":{\"a\":\"\0\"}}\n"s + "{\"application\":{\"a\":\"\xff\xfe\"}}\n" + kHost + "\n";
}

INSTANTIATE_TEST_SUITE_P(
    Metadata, MetadataDamage,
    ::testing::Values(
        DamageCase{"Missing", std::nullopt, {}}, DamageCase{"Empty", "", {}},
        DamageCase{"IdentityCutMidLine", kIdentity.substr(0, 25), {}},
        DamageCase{"OnlyIdentity", kIdentity + "\n", {"identity"}},
        DamageCase{"IdentityCutBeforeItsNewline", kIdentity, {"identity"}},
        DamageCase{"ExecutableCutMidLine",
                   kIdentity + "\n" + kHost + "\n" + kApplication + "\n" + kExecutable.substr(0, 20),
                   {"identity", "host", "application"}},
        DamageCase{"HostMissingBetween",
                   kIdentity + "\n" + kApplication + "\n" + kExecutable + "\n",
                   {"identity", "application", "executable"}},
        DamageCase{"OutOfOrder",
                   kExecutable + "\n" + kHost + "\n" + kApplication + "\n" + kIdentity + "\n",
                   {"identity", "host", "application", "executable"}},
        DamageCase{"OddLines", oddLines(), {"host"}},
        DamageCase{"PastTheBound",
                   kIdentity + "\n" + std::string(ZEVInternalReport::maximumMetadataLength, ' ') + "\n",
                   {}}),
    [](const auto& info) { return std::string(info.param.name); });

// The crashed launch's program stood where its own image record says, not where the running launch's
// stands: the rebuilt executable takes its base, with its size and build id, from that record's first
// line, the main program's. A record that does not name it there leaves the running launch's.
TEST_F(MetadataRepair, TheRebuiltExecutableIsWhereTheCrashedLaunchsOwnRecordPutsItsProgram) {
    const json program = {
        {"path", "/opt/velo/app"}, {"uuid", "0a1b2c"}, {"base", 94000000000000u}, {"size", 65536}};
    const std::string programLine = json{{"load", program}}.dump();
    const std::string libraryLine =
        json{
            {"load", {{"path", "/lib/libc.so.6"}, {"uuid", "ffee"}, {"base", 140000000000000u}, {"size", 1}}}}
            .dump();
    const fs::path record = folder() / "binary_images.zevrecord";
    velotest::TempFolder outside;
    struct Case {
        const char* name;
        std::function<void()> write;
        bool own; // the executable is the crashed launch's program
    };
    const Case cases[] = {
        {"the program first", [&] { reporttest::writeText(record, programLine + "\n" + libraryLine + "\n"); },
         true},
        {"no record", [] {}, false},
        {"an unload first",
         [&] {
             reporttest::writeText(record, json{{"unload", program}}.dump() + "\n" + programLine + "\n");
         },
         false},
        {"a first line without a base",
         [&] { reporttest::writeText(record, R"({"load":{"path":"/opt/velo/app"}})"s + "\n"); }, false},
        {"a first line cut short", [&] { reporttest::writeText(record, programLine.substr(0, 40)); }, false},
        {"a fifo", [&] { ASSERT_EQ(::mkfifo(record.c_str(), 0600), 0); }, false},
        {"a link to a record elsewhere",
         [&] {
             reporttest::writeText(outside.path() / "binary_images.zevrecord", programLine + "\n");
             fs::create_symlink(outside.path() / "binary_images.zevrecord", record);
         },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(metadata());
        fs::remove(record);
        c.write();
        ASSERT_EQ(repair(), ZEVReportMetadataRepair::rebuilt);
        const json executable = json::parse(linesOf(velotest::readFile(metadata())).at(3))["executable"];
        json expected = kTemplate[3]["executable"];
        expected["rebuilt"] = true;
        if (c.own)
            for (const char* key : {"base", "size", "uuid"})
                expected[key] = program[key];
        EXPECT_EQ(executable, expected);
    }
}

TEST_F(MetadataRepair, WholeMetadataIsNotTouched) {
    reporttest::writeText(metadata(), kIdentity + "\n" + kHost + "\n" + kApplication + "\n" + kExecutable +
                                          "\n{\"extra\":1}\n");
    struct stat before {};
    ASSERT_EQ(::stat(metadata().c_str(), &before), 0);
    const std::string bytes = velotest::readFile(metadata());

    EXPECT_EQ(repair(), ZEVReportMetadataRepair::whole);
    // Not even without a template: nothing is needed of it.
    EXPECT_EQ(repair(std::nullopt), ZEVReportMetadataRepair::whole);
    struct stat after {};
    ASSERT_EQ(::stat(metadata().c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(velotest::readFile(metadata()), bytes);
}

// Whatever stands in the metadata's place is replaced as itself: a link is never followed (what it
// points to keeps its bytes), a FIFO is never waited on.
TEST_F(MetadataRepair, ALinkOrAFifoInTheMetadatasPlaceIsReplacedNotFollowed) {
    velotest::TempFolder outside;
    reporttest::writeMetadata(outside.path(), "elsewhere");
    const fs::path theirs = outside.path() / "metadata.zevrecord";
    const std::string theirBytes = velotest::readFile(theirs);
    const std::pair<const char*, std::function<void()>> places[] = {
        {"link", [&] { fs::create_symlink(theirs, metadata()); }},
        {"fifo", [&] { ASSERT_EQ(::mkfifo(metadata().c_str(), 0600), 0); }},
    };
    for (const auto& [name, make] : places) {
        fs::remove(metadata());
        make();
        EXPECT_EQ(repair(), ZEVReportMetadataRepair::rebuilt) << name;
        struct stat info {};
        ASSERT_EQ(::lstat(metadata().c_str(), &info), 0) << name;
        EXPECT_TRUE(S_ISREG(info.st_mode)) << name;
        auto report = ZEVInternalReport::reportWithPath(folder().string());
        ASSERT_TRUE(report) << name;
        EXPECT_EQ(report->identifier(), kFolderName) << name;
    }
    EXPECT_EQ(velotest::readFile(theirs), theirBytes);
    EXPECT_EQ(reporttest::entries(outside.path()), std::vector<std::string>{"metadata.zevrecord"});
}

// A folder with nothing to submit, a folder that is a link, a stray file: left as they are, for the
// caller's usual handling.
TEST_F(MetadataRepair, WhatHoldsNothingToSubmitIsLeftAlone) {
    fs::remove(folder() / "mach_exception.zevrecord");
    EXPECT_EQ(repair(), ZEVReportMetadataRepair::nothingToSubmit);
    EXPECT_FALSE(fs::exists(fs::symlink_status(metadata())));

    velotest::TempFolder outside;
    reporttest::writeText(outside.path() / "signal.zevrecord", "{}\n");
    const fs::path linked = root.path() / "linked";
    fs::create_directory_symlink(outside.path(), linked);
    EXPECT_EQ(ZEVRepairReportMetadata(linked.string(), templatePath()),
              ZEVReportMetadataRepair::nothingToSubmit);
    EXPECT_EQ(reporttest::entries(outside.path()), std::vector<std::string>{"signal.zevrecord"});

    reporttest::writeText(root.path() / "stray", "x");
    EXPECT_EQ(ZEVRepairReportMetadata((root.path() / "stray").string(), templatePath()),
              ZEVReportMetadataRepair::nothingToSubmit);
}

// Without a template that holds every section to make, nothing is written: the folder stays as it was
// for a later launch, and the console says why.
TEST_F(MetadataRepair, WithoutWhatItNeedsOfTheTemplateTheFolderIsLeftAsItWas) {
    reporttest::writeText(metadata(), kIdentity + "\n" + kHost + "\n");
    const auto before = velotest::folderContents(folder());
    const std::string shortTemplate = (root.path() / "short" / "metadata.zevrecord").string();
    reporttest::writeLines(shortTemplate, {kTemplate[0], kTemplate[1], kTemplate[2]});
    const std::pair<const char*, std::optional<std::string>> templates[] = {
        {"none", std::nullopt},
        {"missing", (root.path() / "nowhere" / "metadata.zevrecord").string()},
        {"without-executable", shortTemplate},
    };
    for (const auto& [name, from] : templates) {
        ns::ConsoleCapture console;
        EXPECT_EQ(repair(from), ZEVReportMetadataRepair::failed) << name;
        EXPECT_EQ(velotest::folderContents(folder()), before) << name;
        EXPECT_TRUE(
            reporttest::saw(console, "[Zevuzavidav:Crash] Unable to rebuild the metadata of the report at " +
                                         folder().string() + ": "))
            << name;
    }
    // What the folder has whole needs nothing of the template.
    reporttest::writeText(metadata(), kHost + "\n" + kApplication + "\n" + kExecutable + "\n");
    EXPECT_EQ(repair(shortTemplate), ZEVReportMetadataRepair::rebuilt);
}

} // namespace
