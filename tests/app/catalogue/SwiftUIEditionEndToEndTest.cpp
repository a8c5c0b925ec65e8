// The SwiftUI edition started in a terminal: its own course on the first screen, and a learner record
// of its own beside the Swift edition's in the same home. Skipped when the programs have not been built
// or tmux is not installed.
#include "app/catalogue/terminal/ChapterListPresenter.hpp"
#include "content/Courses.hpp"
#include "tests/support/TempHome.hpp"
#include "tests/support/Tmux.hpp"
#include "tools/loopback/LoopbackServers.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace {

using velotest::rowShows;
using velotest::Tmux;

std::filesystem::path bundleProgram(const std::string& bundle) {
    return std::string(VELO_BINARY_DIR) + "/bundles/" + bundle + ".app/velomarinth";
}

std::string command(const velotest::TempFolder& home, const std::filesystem::path& program) {
    return "env VELOMARINTH_HOME=" + velotest::quote(home.path().string()) + " " +
           velotools::loopbackServerWords() + " TERM=xterm-256color " + velotest::quote(program.string());
}

// A chapter row's count as the list shows it: both numbers as wide as the widest count, 14.
std::string count(int done, int total) {
    return ChapterListPresenter::alignedCount(std::to_string(done) + " / " + std::to_string(total), 2);
}

TEST(SwiftUIEdition, ShowsItsEightChaptersAndKeepsItsRecordApartFromSwift) {
    const auto swiftUI = bundleProgram("SwiftUI");
    const auto swift = bundleProgram("Swift");
    if (!std::filesystem::exists(swiftUI) || !std::filesystem::exists(swift))
        GTEST_SKIP() << "the programs are not built";
    if (!velotest::hasTmux()) GTEST_SKIP() << "tmux is not installed";

    const auto& course = content::swiftUICourse();
    ASSERT_EQ(course.size(), 8u);
    auto chapters = content::buildChapters(course);
    const auto& first = *chapters.front()->lessons.front();
    ASSERT_EQ(first.lessonID, "CH1L1");

    velotest::TempFolder home;
    {
        Tmux tmux("velo-e2e-swiftui");
        tmux.start(command(home, swiftUI));
        // Every row with its count: a row's title can show before its count does.
        tmux.waitFor("every chapter with its count", [&](const std::string& shown) {
            return std::all_of(course.begin(), course.end(), [&](const content::ChapterEntry& entry) {
                return rowShows(shown, std::string(entry.title), count(0, entry.lessonCount));
            });
        });
        int lessons = 0;
        for (const auto& entry : course)
            lessons += entry.lessonCount;
        EXPECT_EQ(lessons, 70);

        tmux.keys("Enter"); // the first chapter
        tmux.waitFor(first.title.str());
        tmux.keys("Enter"); // its first lesson
        tmux.waitFor("Ctrl-R run");
        tmux.literal(first.answer.str());
        tmux.waitFor("✓");
        tmux.keys("Escape");
        tmux.waitFor("COURSE 1");
        tmux.keys("Escape");
        tmux.waitForRow(std::string(course.front().title), count(1, course.front().lessonCount));
        tmux.keys("q");
        tmux.waitFor("PROGRAM-ENDED");
    }
    {
        // Same home, the Swift edition: its own first lesson, also "CH1L1", is not completed.
        Tmux tmux("velo-e2e-swift");
        tmux.start(command(home, swift));
        const auto& basics = content::swiftCourse().front();
        tmux.waitForRow(std::string(basics.title), "0 / " + std::to_string(basics.lessonCount));
        tmux.keys("q");
        tmux.waitFor("PROGRAM-ENDED");
    }
    EXPECT_TRUE(std::filesystem::exists(home.path() / "com.velomarinth.swiftui" / "Library" / "Preferences"));
    EXPECT_TRUE(std::filesystem::exists(home.path() / "com.velomarinth.swift" / "Library" / "Preferences"));
}

} // namespace
