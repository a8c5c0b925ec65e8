#include "platform/foundation/FileContents.hpp"

#include <gtest/gtest.h>

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

} // namespace
