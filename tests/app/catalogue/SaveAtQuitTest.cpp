// The quit's last save of the learner record: a save that failed is tried once more, and a failure again
// is told with its reason and the record's file.
#include "app/catalogue/terminal/SaveAtQuit.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

class SaveAtQuit : public ::testing::Test {
  protected:
    velotest::TempFolder folder;
    ns::UserDefaults store{"com.velomarinth.swift", folder.path()};
    ProgressReport::Ptr record = ProgressReport::make();
    std::filesystem::path away = folder.path() / "away.plist";

    void SetUp() override {
        record->lessons = std::vector<std::string>{"lessonZero", "CH1L1"};
        ASSERT_TRUE(record->save(store).ok());
    }
    // For a while the record cannot be read back, so nothing can be saved.
    void breakStore() {
        std::filesystem::rename(store.filePath(), away);
        std::filesystem::create_directories(store.filePath() / "inside");
    }
    void mendStore() {
        std::filesystem::remove_all(store.filePath());
        std::filesystem::rename(away, store.filePath());
    }
    std::optional<std::vector<std::string>> storedLessons() {
        ns::UserDefaults reopened(store.domain(), folder.path());
        auto stored = ProgressReport::load(reopened);
        return stored ? stored->lessons : std::nullopt;
    }
    // This copy completes a lesson while the store is broken.
    void completeUnsaved() {
        breakStore();
        record->lessons->push_back("CH1L2");
        ASSERT_FALSE(record->save(store).ok());
        ASSERT_TRUE(record->hasUnsavedChanges());
    }
};

TEST_F(SaveAtQuit, ARecordWithNothingUnsavedIsLeftAlone) {
    EXPECT_FALSE(record->hasUnsavedChanges());
    breakStore(); // a save now would fail and say so
    EXPECT_EQ(saveProgressAtQuit(*record, store), std::nullopt);
}

TEST_F(SaveAtQuit, AFailedSaveIsTriedAgainAndKeepsTheLessonOnceThereIsRoom) {
    completeUnsaved();
    mendStore();
    EXPECT_EQ(saveProgressAtQuit(*record, store), std::nullopt);
    EXPECT_FALSE(record->hasUnsavedChanges());
    EXPECT_EQ(storedLessons(), (std::vector<std::string>{"lessonZero", "CH1L1", "CH1L2"}));
}

TEST_F(SaveAtQuit, AFailedSaveThatFailsAgainIsToldWithItsReasonAndFile) {
    completeUnsaved();
    auto told = saveProgressAtQuit(*record, store);
    ASSERT_TRUE(told);
    EXPECT_NE(told->find("Progress not saved: the saved preferences cannot be read (Is a directory)."),
              std::string::npos)
        << *told;
    EXPECT_NE(told->find(store.filePath().string()), std::string::npos) << *told;
    mendStore();
    EXPECT_EQ(storedLessons(), (std::vector<std::string>{"lessonZero", "CH1L1"}));
}

} // namespace
