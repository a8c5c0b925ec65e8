#include "app/catalogue/StoreKitRater.hpp"

#include "platform/services/StoreReviewController.hpp"

#include <charconv>
#include <ctime>
#include <limits>
#include <optional>

namespace {

std::optional<std::int64_t> decimal(std::string_view text) {
    if (text.empty()) return std::nullopt;
    std::int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

} // namespace

std::string StoreKitRater::currentMonthYear() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[16];
    std::strftime(buffer, sizeof buffer, "%m.%Y", &local);
    return buffer;
}

bool StoreKitRater::shouldRequestReview(std::int64_t threshold) {
    return shouldRequestReview(threshold, currentMonthYear(), ns::UserDefaults::standard());
}

bool StoreKitRater::shouldRequestReview(std::int64_t threshold, std::string_view monthYear,
                                        ns::UserDefaults& defaults) {
    // First piece is the month, last piece the year.
    auto firstDot = monthYear.find('.');
    auto lastDot = monthYear.rfind('.');
    if (firstDot == std::string_view::npos) return false;
    auto month = decimal(monthYear.substr(0, firstDot));
    auto year = decimal(monthYear.substr(lastDot + 1));
    if (!month || !year) return false;

    if (defaults.integerForKey(savedMonthKey) == 0) defaults.setInteger(savedMonthKey, *month);
    if (defaults.integerForKey(savedYearKey) == 0) defaults.setInteger(savedYearKey, *year);

    // A saved year in the future (clock set back) never resets the counters.
    if (defaults.integerForKey(savedYearKey) < *year) {
        defaults.setInteger(savedYearKey, *year);
        defaults.setInteger(shownThisYearKey, 0);
        defaults.setInteger(appLaunchesKey, 0);
    }

    std::int64_t shown = defaults.integerForKey(shownThisYearKey);
    if (shown > 2) return false;

    std::int64_t launches = defaults.integerForKey(appLaunchesKey);
    auto prompt = [&] {
        defaults.setInteger(shownThisYearKey, shown + 1);
        defaults.setInteger(savedMonthKey, *month);
        return true;
    };
    if (launches == threshold) return prompt();
    // Four months on from the saved one; the saved month is read from a file, so it may be anything.
    const std::int64_t savedMonth = defaults.integerForKey(savedMonthKey);
    if (launches > threshold && savedMonth <= std::numeric_limits<std::int64_t>::max() - 4 &&
        *month >= savedMonth + 4)
        return prompt();

    // The count stops at its largest value rather than wrap round to a negative one.
    if (launches < std::numeric_limits<std::int64_t>::max())
        defaults.setInteger(appLaunchesKey, launches + 1);
    return false;
}

void StoreKitRater::requestReview(std::int64_t threshold) {
    if (shouldRequestReview(threshold)) svc::StoreReviewController::requestReview();
}
