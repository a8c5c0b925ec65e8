#pragma once
// When to ask for a store review. Counts calls, not time: each call is one launch in its bookkeeping.
// Four integers in the standard user defaults carry the state across launches: the month of the last
// prompt, the year the counters belong to, prompts shown in that year and calls without a prompt.
// At most three prompts are given in one calendar year.
//
// Failure contract: a date text that is not "MM.yyyy" answers false and stores nothing. A defaults
// write that fails is reported by the defaults store itself; the answer is still given.
#include "platform/foundation/UserDefaults.hpp"

#include <cstdint>
#include <string>
#include <string_view>

struct StoreKitRater {
    static constexpr const char* savedMonthKey = "StoreKitRaterSavedMonthKey";
    static constexpr const char* savedYearKey = "StoreKitRaterSavedYearKey";
    static constexpr const char* shownThisYearKey = "StoreKitRaterShownThisYearKey";
    static constexpr const char* appLaunchesKey = "StoreKitRaterAppLaunchesKey";

    // Today, in the standard user defaults.
    static bool shouldRequestReview(std::int64_t threshold);
    // The same decision for a given "MM.yyyy" date text and store.
    static bool shouldRequestReview(std::int64_t threshold, std::string_view monthYear,
                                    ns::UserDefaults& defaults);

    // Asks the system's store review controller for a review when shouldRequestReview(threshold)
    // answers true.
    static void requestReview(std::int64_t threshold);

    // The current local date as "MM.yyyy" (month with two digits, Gregorian year).
    static std::string currentMonthYear();
};
