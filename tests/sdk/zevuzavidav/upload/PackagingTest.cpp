// Packaging a report folder into one multipart file of gzip members in "prepared", and what happens
// when the disk will not take it.
#include "sdk/zevuzavidav/upload/ZEVPackageReportOperation.hpp"
#include "tests/sdk/zevuzavidav/support/Multipart.hpp"
#include "tests/sdk/zevuzavidav/support/ReportFiles.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using reporttest::json;
namespace fs = std::filesystem;

std::string randomBytes(std::size_t size) {
    std::mt19937 random(7);
    std::string bytes(size, '\0');
    for (auto& byte : bytes)
        byte = static_cast<char>(random());
    return bytes;
}

class Packaging : public ::testing::Test {
  protected:
    void SetUp() override {
        files = std::make_shared<ZEVFileManager>((root.path() / "root").string());
        ASSERT_TRUE(files->prepareForNewLaunch());
        folder = fs::path(files->processingPath()) / "launch-7";
        reporttest::writeMetadata(folder, "launch-7", "the-key");
        reporttest::writeText(folder / "signal.zevrecord", "{\"signal\":{\"number\":11}}\n");
        reporttest::writeText(folder / "signal.zevrecord.symbolicated", "{\"threads\":[[]]}\n");
        reporttest::writeText(folder / "sdk.log", "");
        reporttest::writeText(folder / ".hidden", "never sent");
        report = ZEVInternalReport::reportWithPath(folder.string());
        ASSERT_TRUE(report);
    }

    std::optional<std::string> package() {
        ZEVPackageReportOperation operation(report, files);
        operation.start();
        return operation.finalPath();
    }

    std::vector<std::string> gzFiles() const {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().extension() == ".gz") found.push_back(entry.path().filename().string());
        return found;
    }

    velotest::TempFolder root;
    std::shared_ptr<ZEVFileManager> files;
    fs::path folder;
    std::shared_ptr<ZEVInternalReport> report;
};

TEST_F(Packaging, WritesOneBodyNamedByItsOwnBoundary) {
    // A leftover of an interrupted attempt: skipped as a member, overwritten by the fresh compression.
    reporttest::writeText(folder / "metadata.zevrecord.gz", "stale");
    auto path = package();
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(fs::path(*path).parent_path(), fs::path(files->preparedPath()));
    EXPECT_EQ(fs::path(*path).extension(), ".multipartmime");
    std::string boundary = fs::path(*path).stem().string();
    EXPECT_EQ(boundary.size(), 36u);
    EXPECT_EQ(files->preparedPathContents(), std::vector<std::string>{*path});

    auto body = reporttest::parseMultipart(reporttest::readFile(*path), boundary);
    EXPECT_EQ(body.head, "MIME-Version: 1.0\r\n");
    EXPECT_TRUE(body.closed);
    ASSERT_GE(body.parts.size(), 2u);
    EXPECT_EQ(body.parts[0].name, "api_key");
    EXPECT_EQ(body.parts[0].data, "the-key");
    EXPECT_EQ(body.parts[1].name, "report_id");
    EXPECT_EQ(body.parts[1].data, "launch-7");
    // Read back from the package alone, as a later launch finds it in "prepared".
    EXPECT_EQ(ZEVPackageReportOperation::reportIdentifierOfPackage(*path), "launch-7");

    std::map<std::string, std::pair<std::string, std::string>> members; // field -> file name, bytes
    for (std::size_t i = 2; i < body.parts.size(); ++i) {
        const auto& part = body.parts[i];
        EXPECT_EQ(part.contentType, "application/x-gzip");
        auto bytes = reporttest::gunzip(part.data);
        ASSERT_TRUE(bytes.has_value()) << part.fileName;
        EXPECT_EQ(members.count(part.name), 0u) << "twice: " << part.name;
        members[part.name] = {part.fileName, *bytes};
    }
    using Member = std::pair<std::string, std::string>;
    EXPECT_EQ(members.size(), 4u);
    EXPECT_EQ(members["metadata"],
              Member("metadata.zevrecord.gz", reporttest::readFile(folder / "metadata.zevrecord")));
    EXPECT_EQ(members["signal"], Member("signal.zevrecord.gz", "{\"signal\":{\"number\":11}}\n"));
    EXPECT_EQ(members["signal.zevrecord"],
              Member("signal.zevrecord.symbolicated.gz", "{\"threads\":[[]]}\n"));
    // An empty file is a valid member holding nothing.
    EXPECT_EQ(members["sdk"], Member("sdk.log.gz", ""));
    // The compressed siblings stay beside their sources.
    EXPECT_EQ(reporttest::gunzip(reporttest::readFile(folder / "metadata.zevrecord.gz")),
              reporttest::readFile(folder / "metadata.zevrecord"));

    // Packaging again gives a second package under a boundary of its own.
    auto again = package();
    ASSERT_TRUE(again.has_value());
    EXPECT_NE(*again, *path);
    EXPECT_EQ(files->preparedPathContents().size(), 2u);
}

TEST_F(Packaging, WithoutAnAPIKeyTheReportIdAndFilesStillGo) {
    reporttest::writeLines(folder / "metadata.zevrecord", {json{{"identity", {{"session_id", "launch-7"}}}}});
    report = ZEVInternalReport::reportWithPath(folder.string());
    auto path = package();
    ASSERT_TRUE(path.has_value());
    auto body = reporttest::parseMultipart(reporttest::readFile(*path), fs::path(*path).stem().string());
    ASSERT_EQ(body.parts.size(), 5u);
    EXPECT_EQ(body.parts[0].name, "report_id");
    EXPECT_EQ(ZEVPackageReportOperation::reportIdentifierOfPackage(*path), "launch-7");
    // A copy cut short inside the identifier carries none.
    const std::string text = reporttest::readFile(*path);
    const fs::path cut = folder / fs::path(*path).filename();
    reporttest::writeText(cut, text.substr(0, text.find("launch-7") + 4));
    EXPECT_FALSE(ZEVPackageReportOperation::reportIdentifierOfPackage(cut.string()).has_value());
}

TEST_F(Packaging, AnUnreadableMemberIsAnEmptyOneAndDoesNotBlockTheReport) {
    fs::create_directories(folder / "unreadable"); // opens, but every read fails
    auto path = package();
    ASSERT_TRUE(path.has_value());
    auto body = reporttest::parseMultipart(reporttest::readFile(*path), fs::path(*path).stem().string());
    bool found = false;
    for (const auto& part : body.parts) {
        if (part.name != "unreadable") continue;
        found = true;
        EXPECT_EQ(reporttest::gunzip(part.data), "");
    }
    EXPECT_TRUE(found);
}

// A member is made as a new file: a hard link left in its place (say by a copy of the folder made with
// links) never carries the report's bytes into the file of its other name.
TEST_F(Packaging, AHardLinkInAMembersPlaceKeepsItsOutsideBytes) {
    reporttest::writeText(root.path() / "theirs", "someone else's bytes");
    fs::create_hard_link(root.path() / "theirs", folder / "sdk.log.gz");
    reporttest::writeText(folder / "sdk.log", "our log line\n");
    auto path = package();
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(reporttest::readFile(root.path() / "theirs"), "someone else's bytes");
    auto body = reporttest::parseMultipart(reporttest::readFile(*path), fs::path(*path).stem().string());
    bool found = false;
    for (const auto& part : body.parts)
        if (part.name == "sdk") found = reporttest::gunzip(part.data) == "our log line\n";
    EXPECT_TRUE(found);
}

TEST_F(Packaging, APackageThatCannotBeWrittenLeavesNothingBehind) {
    fs::remove_all(files->preparedPath());
    EXPECT_FALSE(package().has_value());
    EXPECT_TRUE(gzFiles().empty());
    EXPECT_TRUE(fs::exists(folder / "signal.zevrecord"));
}

TEST_F(Packaging, APartialPackageOfAnEarlierProcessIsRemoved) {
    reporttest::writeText(fs::path(files->preparedPath()) / ".0000.multipartmime.partial", "cut short");
    reporttest::writeText(fs::path(files->preparedPath()) / ".keep", "not ours");
    ASSERT_TRUE(package().has_value());
    EXPECT_FALSE(fs::exists(fs::path(files->preparedPath()) / ".0000.multipartmime.partial"));
    EXPECT_TRUE(fs::exists(fs::path(files->preparedPath()) / ".keep"));
}

// The file-size limit stands for a full disk: every write past it fails with EFBIG.
TEST_F(Packaging, OnAFullDiskNothingIsPackagedAndTheReportStays) {
    reporttest::writeText(folder / "binary_images.zevrecord", randomBytes(1 << 20));
    const int status = velotest::waitStatusOfChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{64 * 1024, 64 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(package().has_value() ? 1 : 0);
    });
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a package was reported";
    EXPECT_TRUE(gzFiles().empty()) << gzFiles().front();
    std::vector<std::string> prepared;
    for (const auto& entry : fs::directory_iterator(files->preparedPath()))
        prepared.push_back(entry.path().filename().string());
    EXPECT_TRUE(prepared.empty()) << prepared.front();
    EXPECT_TRUE(fs::exists(folder / "binary_images.zevrecord"));
}

TEST(PackagingNames, FieldNamesLoseTheLastTwoExtensions) {
    using Op = ZEVPackageReportOperation;
    EXPECT_EQ(Op::deletingPathExtension(Op::deletingPathExtension("metadata.zevrecord.gz")), "metadata");
    EXPECT_EQ(Op::deletingPathExtension(Op::deletingPathExtension("signal.zevrecord.symbolicated.gz")),
              "signal.zevrecord");
    EXPECT_EQ(Op::deletingPathExtension(Op::deletingPathExtension("plain.gz")), "plain");
    EXPECT_EQ(Op::deletingPathExtension(".profile"), ".profile");
}

} // namespace
