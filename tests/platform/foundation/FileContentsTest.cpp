#include "platform/foundation/FileContents.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

TEST(FileContents, ReadsRegularFilesWholeAndRefusesEverythingElse) {
    const fs::path dir = fs::temp_directory_path() / ("velo-filecontents-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string payload("a\0b\nc", 5);
    std::ofstream(dir / "file", std::ios::binary) << payload;
    std::ofstream(dir / "empty", std::ios::binary).flush();

    EXPECT_EQ(ns::readFileText(dir / "file"), payload);
    EXPECT_EQ(ns::readFileBytes(dir / "file")->size(), 5u);
    EXPECT_EQ(ns::readFileText(dir / "empty"), "");
    // A folder, a missing file and a character device are "no contents", never an exception.
    EXPECT_FALSE(ns::readFileBytes(dir).has_value());
    EXPECT_FALSE(ns::readFileText(dir / "missing").has_value());
    EXPECT_FALSE(ns::readFileText("/dev/zero").has_value());
    fs::remove_all(dir);
}

TEST(FileContents, ReadIfPresentTellsMissingFromUnreadable) {
    const fs::path dir = fs::temp_directory_path() / ("velo-ifpresent-" + std::to_string(::getpid()));
    fs::create_directories(dir / "folder");
    std::ofstream(dir / "file", std::ios::binary) << "bytes";

    auto file = ns::readFileIfPresent(dir / "file");
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->has_value());
    EXPECT_EQ((*file)->size(), 5u);
    for (const fs::path& missing : {dir / "missing", dir / "nowhere" / "missing"}) {
        auto none = ns::readFileIfPresent(missing);
        ASSERT_TRUE(none) << missing;
        EXPECT_FALSE(none->has_value()) << missing;
    }
    auto folder = ns::readFileIfPresent(dir / "folder");
    ASSERT_FALSE(folder);
    EXPECT_EQ(folder.error().domain(), ns::posixErrorDomain);
    EXPECT_EQ(folder.error().code(), EISDIR);
    EXPECT_NE(folder.error().localizedDescription().find((dir / "folder").string()), std::string::npos);
    fs::remove_all(dir);
}

TEST(FileContents, AtomicWriteReplacesWholeOrLeavesTheOldFile) {
    const fs::path dir = fs::temp_directory_path() / ("velo-atomic-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    ASSERT_TRUE(ns::writeFileAtomically(dir / "sub" / "target", {'o', 'l', 'd'})); // makes the folder
    ASSERT_TRUE(ns::writeFileAtomically(dir / "sub" / "target", {'n', 'e', 'w'}));
    EXPECT_EQ(ns::readFileText(dir / "sub" / "target"), "new");

    // A folder where the file goes cannot be replaced: an error, and no temporary is left.
    fs::create_directories(dir / "sub" / "blocked" / "inside");
    auto failed = ns::writeFileAtomically(dir / "sub" / "blocked", {'x'});
    ASSERT_FALSE(failed);
    EXPECT_FALSE(failed.error().userInfo().at(ns::failureReasonKey).empty());
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir / "sub"))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"blocked", "target"}));
    fs::remove_all(dir);
}

} // namespace
