#include "app/catalogue/StoreKitRater.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

class ReviewPromptCounting : public ::testing::Test {
  protected:
    velotest::TempFolder home;
    ns::UserDefaults defaults{"rater.test", home.path()};

    bool ask(std::int64_t threshold, const char* monthYear) {
        return StoreKitRater::shouldRequestReview(threshold, monthYear, defaults);
    }
    std::int64_t get(const char* key) { return defaults.integerForKey(key); }
};

TEST_F(ReviewPromptCounting, FirstCallSavesTodayAndCountsOneLaunch) {
    EXPECT_FALSE(ask(20, "03.2026"));
    EXPECT_EQ(get(StoreKitRater::savedMonthKey), 3);
    EXPECT_EQ(get(StoreKitRater::savedYearKey), 2026);
    EXPECT_EQ(get(StoreKitRater::appLaunchesKey), 1);
    EXPECT_EQ(get(StoreKitRater::shownThisYearKey), 0);
}

TEST_F(ReviewPromptCounting, ThresholdTwentyPromptsOnCalls21To23ThenNeverAgainThatYear) {
    std::vector<int> promptedCalls;
    for (int call = 1; call <= 40; ++call) {
        if (ask(20, "02.2026")) promptedCalls.push_back(call);
    }
    EXPECT_EQ(promptedCalls, (std::vector<int>{21, 22, 23}));
    EXPECT_EQ(get(StoreKitRater::appLaunchesKey), 20);
    EXPECT_EQ(get(StoreKitRater::shownThisYearKey), 3);
}

TEST_F(ReviewPromptCounting, AboveThresholdPromptsOnlyFourMonthsAfterTheSavedMonth) {
    defaults.setInteger(StoreKitRater::savedMonthKey, 3);
    defaults.setInteger(StoreKitRater::savedYearKey, 2026);
    defaults.setInteger(StoreKitRater::appLaunchesKey, 25);

    EXPECT_FALSE(ask(20, "06.2026")); // 6 < 3 + 4: counted
    EXPECT_EQ(get(StoreKitRater::appLaunchesKey), 26);
    EXPECT_TRUE(ask(20, "07.2026"));
    EXPECT_EQ(get(StoreKitRater::savedMonthKey), 7);
    EXPECT_EQ(get(StoreKitRater::appLaunchesKey), 26);
    EXPECT_FALSE(ask(20, "10.2026")); // the saved month moved on with the prompt
}

TEST_F(ReviewPromptCounting, NewYearResetsCountersAndCountsItself) {
    defaults.setInteger(StoreKitRater::savedMonthKey, 11);
    defaults.setInteger(StoreKitRater::savedYearKey, 2025);
    defaults.setInteger(StoreKitRater::shownThisYearKey, 3);
    defaults.setInteger(StoreKitRater::appLaunchesKey, 20);

    EXPECT_FALSE(ask(20, "01.2026"));
    EXPECT_EQ(get(StoreKitRater::savedYearKey), 2026);
    EXPECT_EQ(get(StoreKitRater::shownThisYearKey), 0);
    EXPECT_EQ(get(StoreKitRater::appLaunchesKey), 1);
}

TEST_F(ReviewPromptCounting, NewYearWithThresholdZeroPromptsAtOnce) {
    defaults.setInteger(StoreKitRater::savedMonthKey, 5);
    defaults.setInteger(StoreKitRater::savedYearKey, 2025);
    defaults.setInteger(StoreKitRater::appLaunchesKey, 9);
    EXPECT_TRUE(ask(0, "01.2026"));
}

TEST_F(ReviewPromptCounting, FutureSavedYearNeverResets) {
    defaults.setInteger(StoreKitRater::savedMonthKey, 1);
    defaults.setInteger(StoreKitRater::savedYearKey, 2030);
    defaults.setInteger(StoreKitRater::shownThisYearKey, 3);
    EXPECT_FALSE(ask(20, "01.2026"));
    EXPECT_EQ(get(StoreKitRater::savedYearKey), 2030);
    EXPECT_EQ(get(StoreKitRater::shownThisYearKey), 3);
}

// The counters come from a file that may hold anything: at their largest values the launch count stops
// there rather than wrap round, and a saved month too large to add four months to never prompts.
TEST_F(ReviewPromptCounting, CountersAtTheirLargestValuesNeitherWrapNorPrompt) {
    constexpr std::int64_t kLargest = std::numeric_limits<std::int64_t>::max();
    struct Case {
        const char* name;
        std::int64_t launches, savedMonth, launchesAfter;
    } cases[] = {
        {"launches at the largest count", kLargest, 3, kLargest},
        {"the largest saved month", 25, kLargest, 26},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        defaults.setInteger(StoreKitRater::savedMonthKey, c.savedMonth);
        defaults.setInteger(StoreKitRater::savedYearKey, 2026);
        defaults.setInteger(StoreKitRater::shownThisYearKey, 0);
        defaults.setInteger(StoreKitRater::appLaunchesKey, c.launches);
        EXPECT_FALSE(ask(20, "04.2026"));
        EXPECT_EQ(get(StoreKitRater::appLaunchesKey), c.launchesAfter);
        EXPECT_EQ(get(StoreKitRater::shownThisYearKey), 0);
    }
}

TEST_F(ReviewPromptCounting, UnreadableDateAnswersFalseAndStoresNothing) {
    for (const char* text : {"", "2026", "ab.2026", "03.yyyy", ".", "03."}) {
        EXPECT_FALSE(ask(0, text)) << text;
    }
    EXPECT_TRUE(defaults.dictionaryRepresentation().empty());
}

TEST(StoreKitRaterDate, CurrentMonthYearHasTheExpectedShape) {
    std::string text = StoreKitRater::currentMonthYear();
    ASSERT_EQ(text.size(), 7u);
    EXPECT_EQ(text[2], '.');
    int month = std::stoi(text.substr(0, 2));
    EXPECT_GE(month, 1);
    EXPECT_LE(month, 12);
}

} // namespace
