#include "platform/foundation/Date.hpp"

#include <chrono>
#include <cmath>
#include <cstdio>

namespace ns {
namespace {

// Civil date from days since 1970-01-01 (proleptic Gregorian), valid for the whole int64 day range
// we allow; Howard Hinnant's algorithm.
void civilFromDays(long long z, long long& y, unsigned& m, unsigned& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2) ++y;
}

} // namespace

Date Date::now() {
    using namespace std::chrono;
    auto since = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    return Date(static_cast<double>(since) / 1e6);
}

std::string Date::iso8601String(bool fractionalSeconds) const {
    // Years 0001..9999 only: ISO-8601 basic text has four year digits.
    constexpr double minSeconds = -62135596800.0; // 0001-01-01T00:00:00Z
    constexpr double maxSeconds = 253402300799.0; // 9999-12-31T23:59:59Z
    double s = seconds_;
    if (!(s >= minSeconds)) // also catches NaN
        s = minSeconds;
    if (s > maxSeconds) s = maxSeconds;
    double whole = std::floor(s);
    long long millis = static_cast<long long>(std::llround((s - whole) * 1000.0));
    if (millis >= 1000) {
        millis -= 1000;
        whole += 1;
    }
    long long total = static_cast<long long>(whole);
    long long days = total >= 0 ? total / 86400 : (total - 86399) / 86400;
    long long secOfDay = total - days * 86400;
    long long y;
    unsigned m, d;
    civilFromDays(days, y, m, d);
    char buf[64];
    int hh = static_cast<int>(secOfDay / 3600), mm = static_cast<int>(secOfDay / 60 % 60),
        ss = static_cast<int>(secOfDay % 60);
    if (fractionalSeconds)
        std::snprintf(buf, sizeof buf, "%04lld-%02u-%02uT%02d:%02d:%02d.%03lldZ", y, m, d, hh, mm, ss,
                      millis);
    else
        std::snprintf(buf, sizeof buf, "%04lld-%02u-%02uT%02d:%02d:%02dZ", y, m, d, hh, mm, ss);
    return buf;
}

std::string Date::compactISO8601String() const {
    std::string out;
    for (char c : iso8601String())
        if (c != '-' && c != ':') out.push_back(c);
    return out;
}

} // namespace ns
