#include "model/ProgressReport.hpp"

#include "platform/foundation/Console.hpp"
#include "platform/foundation/Sandbox.hpp"
#include "tests/support/ChildProcess.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class ProgressReportInSandbox : public ::testing::Test {
  protected:
    void SetUp() override {
        home_ = fs::temp_directory_path() / ("velo-progress-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(home_);
        ns::Sandbox::setHome(home_);
    }
    void TearDown() override {
        ns::Sandbox::reset();
        fs::remove_all(home_);
    }

    // A second store on the same file: what the next launch would read from disk.
    std::unique_ptr<ns::UserDefaults> reopened() {
        const auto& path = ns::UserDefaults::standard().filePath();
        return std::make_unique<ns::UserDefaults>(ns::UserDefaults::standard().domain(), path.parent_path());
    }

    static std::vector<std::uint8_t> archive(const std::function<void(ns::KeyedArchiver&)>& fill,
                                             std::string className = ProgressReport::archivedClassName) {
        ns::KeyedArchiver archiver(className);
        fill(archiver);
        return archiver.archivedData().value();
    }

    fs::path home_;
};

TEST_F(ProgressReportInSandbox, RoundTripKeepsEverySettingThroughTheFile) {
    auto report = ProgressReport::make();
    report->lessons = std::vector<std::string>{"lessonZero", "CH1L1"};
    report->appRated = std::vector<std::string>{"ignore"};
    report->autoRun = true;
    report->sound = false;
    report->showErrorIndicator = false;
    {
        ns::ConsoleCapture console;
        ASSERT_TRUE(report->save().ok());
        EXPECT_EQ(console.count("progress report saved"), 1u);
    }
    ns::ConsoleCapture console;
    auto loaded = ProgressReport::load(*reopened());
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(console.contains("progress report loaded"));
    EXPECT_EQ(loaded->lessons, report->lessons);
    EXPECT_EQ(loaded->appRated, report->appRated);
    EXPECT_EQ(loaded->autoRun, true);
    EXPECT_EQ(loaded->sound, false);
    EXPECT_EQ(loaded->showErrorIndicator, false);
}

TEST_F(ProgressReportInSandbox, StoredArchiveKeepsTheSharedStateEntry) {
    auto report = ProgressReport::make();
    report->autoRun = false;
    report->sound = false;
    report->showErrorIndicator = true;
    ASSERT_TRUE(report->save().ok());
    auto data = reopened()->dataForKey("progressReport");
    ASSERT_TRUE(data);
    auto decoded = ns::KeyedUnarchiver::unarchive(*data);
    ASSERT_TRUE(decoded.ok());
    // Readers of the older form find showErrorIndicator under "state".
    ASSERT_TRUE(decoded->decodeObject("state"));
    EXPECT_EQ(decoded->decodeObject("state")->boolValue(), true);
    EXPECT_TRUE(decoded->decodeObject("lessons")->isNull());
}

TEST_F(ProgressReportInSandbox, OlderStateOnlyArchivesLoadAsBefore) {
    struct Case {
        ns::PropertyList state;
        std::optional<bool> expected;
    } cases[] = {{true, true}, {false, false}, {nullptr, std::nullopt}, {"yes", std::nullopt}};
    for (const auto& c : cases) {
        auto data = archive([&](ns::KeyedArchiver& a) {
            a.encodeObject("lessons", ns::PropertyList::Array{"lessonZero", "CH2L1"});
            a.encodeObject("appRated", nullptr);
            a.encodeObject("state", c.state);
        });
        ASSERT_TRUE(ns::UserDefaults::standard().setObject("progressReport", ns::PropertyList(data)).ok());
        auto loaded = ProgressReport::load(*reopened());
        ASSERT_TRUE(loaded);
        EXPECT_EQ(loaded->autoRun, c.expected);
        EXPECT_EQ(loaded->sound, c.expected);
        EXPECT_EQ(loaded->showErrorIndicator, c.expected);
        EXPECT_EQ(loaded->lessons, (std::vector<std::string>{"lessonZero", "CH2L1"}));
        EXPECT_FALSE(loaded->appRated);
    }
}

TEST_F(ProgressReportInSandbox, OwnKeyWinsEvenWhenItHoldsNull) {
    auto data = archive([](ns::KeyedArchiver& a) {
        a.encodeObject("state", true);
        a.encodeObject("autoRun", nullptr);
        a.encodeObject("sound", false);
    });
    ASSERT_TRUE(ns::UserDefaults::standard().setObject("progressReport", ns::PropertyList(data)).ok());
    auto loaded = ProgressReport::load();
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->autoRun, std::nullopt);
    EXPECT_EQ(loaded->sound, false);
    EXPECT_EQ(loaded->showErrorIndicator, true);
}

TEST_F(ProgressReportInSandbox, OddListEntriesStillGiveAUsableRecord) {
    auto data = archive([](ns::KeyedArchiver& a) {
        a.encodeObject("lessons", ns::PropertyList::Array{1, "CH1L1", true});
        a.encodeObject("appRated", "1.0");
    });
    ASSERT_TRUE(ns::UserDefaults::standard().setObject("progressReport", ns::PropertyList(data)).ok());
    auto loaded = ProgressReport::load();
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->lessons, std::vector<std::string>{"CH1L1"});
    EXPECT_FALSE(loaded->appRated);
}

TEST_F(ProgressReportInSandbox, FreshRecordComesBackWithEveryFieldAbsent) {
    ASSERT_TRUE(ProgressReport::make()->save().ok());
    auto loaded = ProgressReport::load(*reopened());
    ASSERT_TRUE(loaded);
    EXPECT_FALSE(loaded->lessons || loaded->appRated || loaded->autoRun || loaded->sound ||
                 loaded->showErrorIndicator);
}

TEST_F(ProgressReportInSandbox, NothingStoredIsSilentlyAbsent) {
    ns::ConsoleCapture console;
    EXPECT_FALSE(ProgressReport::load());
    ASSERT_TRUE(ns::UserDefaults::standard().setObject("progressReport", "not data").ok());
    EXPECT_FALSE(ProgressReport::load());
    EXPECT_TRUE(console.lines().empty());
}

TEST_F(ProgressReportInSandbox, UnreadableArchiveIsKeptAside) {
    const std::vector<std::uint8_t> garbage = {'b', 'p', 'l', 'i', 's', 't', '0', '0', 1, 2, 3};
    ASSERT_TRUE(ns::UserDefaults::standard().setObject("progressReport", ns::PropertyList(garbage)).ok());
    ns::ConsoleCapture console;
    EXPECT_FALSE(ProgressReport::load());
    EXPECT_TRUE(console.contains("progress report loaded"));
    EXPECT_EQ(console.lines().size(), 2u);
    // A fresh record saved afterwards does not destroy the unreadable bytes, nor does a second
    // unreadable archive destroy the first.
    ASSERT_TRUE(ProgressReport::make()->save().ok());
    const std::vector<std::uint8_t> moreGarbage = {'x', 'y'};
    ASSERT_TRUE(ns::UserDefaults::standard().setObject("progressReport", ns::PropertyList(moreGarbage)).ok());
    std::optional<std::string> keptUnder;
    EXPECT_FALSE(ProgressReport::load(ns::UserDefaults::standard(), &keptUnder));
    ASSERT_TRUE(keptUnder);
    EXPECT_TRUE(keptUnder->starts_with(ProgressReport::corruptDefaultsKeyPrefix)) << *keptUnder;
    std::vector<ns::PropertyList::Data> kept;
    for (const auto& [key, value] : reopened()->dictionaryRepresentation())
        if (key.starts_with(ProgressReport::corruptDefaultsKeyPrefix) && value.dataValue())
            kept.push_back(*value.dataValue());
    EXPECT_EQ(kept, (std::vector<ns::PropertyList::Data>{garbage, moreGarbage}));

    auto otherClass =
        archive([](ns::KeyedArchiver& a) { a.encodeObject("lessons", nullptr); }, "Velomarinth.Other");
    ASSERT_TRUE(ns::UserDefaults::standard().setObject("progressReport", ns::PropertyList(otherClass)).ok());
    EXPECT_FALSE(ProgressReport::load());
    // Another module prefix is still our record.
    auto otherModule =
        archive([](ns::KeyedArchiver& a) { a.encodeObject("state", true); }, "Learn.ProgressReport");
    ASSERT_TRUE(ns::UserDefaults::standard().setObject("progressReport", ns::PropertyList(otherModule)).ok());
    auto loaded = ProgressReport::load();
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->sound, true);
}

TEST_F(ProgressReportInSandbox, AFailedSaveIsReportedNotAnnouncedAsSaved) {
    // A preferences "folder" that is a plain file: the store cannot be written.
    const fs::path notAFolder = home_ / "not-a-folder";
    fs::create_directories(home_);
    { std::ofstream(notAFolder) << "x"; }
    ns::UserDefaults defaults("unwritable", notAFolder);
    auto report = ProgressReport::make();
    report->lessons = std::vector<std::string>{"lessonZero"};
    ns::ConsoleCapture console;
    EXPECT_FALSE(report->save(defaults).ok());
    EXPECT_EQ(console.count("progress report saved"), 0u);
    ASSERT_FALSE(console.lines().empty());
    EXPECT_TRUE(console.lines().back().starts_with("progress report NOT saved: ")) << console.lines().back();
    EXPECT_EQ(report->lessons, std::vector<std::string>{"lessonZero"}); // the record in memory stands
}

TEST_F(ProgressReportInSandbox, HasCompletedComparesExactText) {
    auto report = ProgressReport::make();
    EXPECT_FALSE(report->hasCompleted("CH1L1"));
    report->lessons = std::vector<std::string>{"CH1L1"};
    EXPECT_TRUE(report->hasCompleted("CH1L1"));
    EXPECT_FALSE(report->hasCompleted("ch1l1"));
}

TEST(ProgressReportMerge, ListsKeepWhatEitherSideAddedAndDropWhatThisSideRemoved) {
    using List = ProgressReport::List;
    using V = std::vector<std::string>;
    struct Case {
        const char* name;
        List stored, base, ours, expected;
    } cases[] = {
        {"unchanged here: the stored list stands", V{"a", "b", "c"}, V{"a"}, V{"a"}, V{"a", "b", "c"}},
        {"added on both sides: a union", V{"a", "x"}, V{"a"}, V{"a", "y"}, V{"a", "x", "y"}},
        {"added on both sides at once: not doubled", V{"a", "x"}, V{"a"}, V{"a", "x"}, V{"a", "x"}},
        {"a repeat added here stays a repeat", V{"a", "x"}, V{"a", "x"}, V{"a", "x", "x"}, V{"a", "x", "x"}},
        {"reset here: the other side's later additions survive", V{"a", "b", "n"}, V{"a", "b"}, V{}, V{"n"}},
        {"removed there, unchanged here: stays removed", V{"a"}, V{"a", "b"}, V{"a", "b"}, V{"a"}},
        {"removed there, repeated here: only the repeat", V{"a"}, V{"a", "b"}, V{"a", "b", "b"}, V{"a", "b"}},
        {"removed on both sides: gone once", V{"a"}, V{"a", "b"}, V{"a"}, V{"a"}},
        {"nothing known at start: a union", V{"lessonZero", "a"}, std::nullopt, V{"lessonZero", "b"},
         V{"lessonZero", "a", "b"}},
        {"nothing stored: ours", std::nullopt, std::nullopt, V{"lessonZero"}, V{"lessonZero"}},
        {"absent on both sides stays absent", std::nullopt, V{"a"}, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProgressReport::mergedList(c.stored, c.base, c.ours), c.expected) << c.name;
}

TEST_F(ProgressReportInSandbox, TwoProcessesSavingInTurnsLoseNothing) {
    auto first = ProgressReport::make();
    first->lessons = std::vector<std::string>{"lessonZero"};
    first->appRated = std::vector<std::string>{"ignore"};
    first->autoRun = false;
    first->sound = true;
    first->showErrorIndicator = true;
    ASSERT_TRUE(first->save().ok());

    velotest::Turns turns;
    // Both copies start from the same record and then take turns, each saving its own changes.
    auto mine = ProgressReport::load(*reopened());
    ASSERT_TRUE(mine);
    const pid_t child = velotest::startChild([&] {
        auto theirs = ProgressReport::load(*reopened());
        ASSERT_TRUE(theirs);
        turns.waitForParent();
        theirs->lessons->push_back("CH1L2");
        EXPECT_TRUE(theirs->save(*reopened()).ok());
        turns.passToParent();
        turns.waitForParent();
        theirs->appRated->push_back("2.0");
        theirs->autoRun = true;
        EXPECT_TRUE(theirs->save(*reopened()).ok());
        // The copy learnt what the other saved meanwhile.
        EXPECT_EQ(theirs->lessons, (std::vector<std::string>{"lessonZero", "CH1L1", "CH1L2", "CH1L3"}));
        EXPECT_EQ(theirs->sound, false);
    });
    ASSERT_GT(child, 0);
    mine->lessons->push_back("CH1L1");
    ASSERT_TRUE(mine->save(*reopened()).ok());
    turns.passToChild();
    turns.waitForChild();
    mine->lessons->push_back("CH1L3");
    mine->sound = false;
    ASSERT_TRUE(mine->save(*reopened()).ok());
    turns.passToChild();
    EXPECT_EQ(velotest::waitForChild(child), 0);

    auto after = ProgressReport::load(*reopened());
    ASSERT_TRUE(after);
    EXPECT_EQ(after->lessons, (std::vector<std::string>{"lessonZero", "CH1L1", "CH1L2", "CH1L3"}));
    EXPECT_EQ(after->appRated, (std::vector<std::string>{"ignore", "2.0"}));
    EXPECT_EQ(after->autoRun, true);
    EXPECT_EQ(after->sound, false);
    EXPECT_EQ(after->showErrorIndicator, true);
}

TEST_F(ProgressReportInSandbox, AChangeHandedToSaveReachesWhatAnotherCopyStoredAndSurvivesAFailure) {
    auto first = ProgressReport::make();
    first->lessons = std::vector<std::string>{"lessonZero", "CH1L1"};
    ASSERT_TRUE(first->save().ok());
    auto mine = ProgressReport::load(*reopened());
    auto theirs = ProgressReport::load(*reopened());
    ASSERT_TRUE(mine && theirs);
    theirs->lessons->push_back("CH1L2");
    ASSERT_TRUE(theirs->save(*reopened()).ok());

    auto clear = [](ProgressReport& record) { record.lessons = std::vector<std::string>{}; };
    ASSERT_TRUE(mine->save(*reopened(), clear).ok());
    EXPECT_EQ(mine->lessons, std::vector<std::string>{});
    EXPECT_EQ(ProgressReport::load(*reopened())->lessons, std::vector<std::string>{});

    // When the store refuses the save, the change stays on the object and goes with the next save.
    mine->lessons->push_back("CH1L3");
    ASSERT_TRUE(mine->save(*reopened()).ok());
    const fs::path file = ns::UserDefaults::standard().filePath();
    fs::rename(file, home_ / "away");
    fs::create_directories(file / "inside");
    EXPECT_FALSE(mine->save(*reopened(), clear).ok());
    EXPECT_EQ(mine->lessons, std::vector<std::string>{});
    EXPECT_TRUE(mine->hasUnsavedChanges());
    fs::remove_all(file);
    fs::rename(home_ / "away", file);
    ASSERT_TRUE(mine->save(*reopened()).ok());
    EXPECT_FALSE(mine->hasUnsavedChanges());
    EXPECT_EQ(ProgressReport::load(*reopened())->lessons, std::vector<std::string>{});
}

TEST_F(ProgressReportInSandbox, ASaveThatFailedIsMadeGoodByTheNextOne) {
    auto report = ProgressReport::make();
    EXPECT_TRUE(report->hasUnsavedChanges()); // never stored
    report->lessons = std::vector<std::string>{"lessonZero"};
    ASSERT_TRUE(report->save().ok());
    EXPECT_FALSE(report->hasUnsavedChanges());
    EXPECT_FALSE(ProgressReport::load(*reopened())->hasUnsavedChanges());
    const fs::path file = ns::UserDefaults::standard().filePath();
    // Something stands where the file goes for a while: the save fails and the record in memory stays.
    fs::rename(file, home_ / "away");
    fs::create_directories(file / "inside");
    report->lessons->push_back("CH1L1");
    EXPECT_FALSE(report->save().ok());
    EXPECT_TRUE(report->hasUnsavedChanges());
    fs::remove_all(file);
    fs::rename(home_ / "away", file);
    report->lessons->push_back("CH1L2");
    ASSERT_TRUE(report->save().ok());
    auto loaded = ProgressReport::load(*reopened());
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->lessons, (std::vector<std::string>{"lessonZero", "CH1L1", "CH1L2"}));
}

} // namespace
