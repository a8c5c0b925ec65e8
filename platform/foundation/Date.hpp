#pragma once
// A point in time as seconds (with fraction) since 1970-01-01 00:00:00 UTC, with the conversions the
// platform uses: the 2001 reference date of property lists and archives, and ISO-8601 text.
//
// Failure contract: none; formatting a date outside the years 0001-9999 clamps to that range.
#include <string>

namespace ns {

class Date {
  public:
    // Seconds from 1970-01-01 to 2001-01-01, both UTC.
    static constexpr double referenceDateOffset = 978307200.0;

    constexpr Date() = default;
    static Date now();
    static constexpr Date fromTimeIntervalSince1970(double seconds) { return Date(seconds); }
    static constexpr Date fromTimeIntervalSinceReferenceDate(double seconds) {
        return Date(seconds + referenceDateOffset);
    }

    constexpr double timeIntervalSince1970() const { return seconds_; }
    constexpr double timeIntervalSinceReferenceDate() const { return seconds_ - referenceDateOffset; }
    constexpr double timeIntervalSince(Date other) const { return seconds_ - other.seconds_; }

    // UTC, "2024-05-01T12:30:05Z"; with fractional seconds "2024-05-01T12:30:05.250Z" (milliseconds).
    std::string iso8601String(bool fractionalSeconds = false) const;
    // The same without separators, "20240501T123005Z": sorts by time and is safe in file names and keys.
    std::string compactISO8601String() const;

    constexpr auto operator<=>(const Date&) const = default;

  private:
    explicit constexpr Date(double seconds) : seconds_(seconds) {}
    double seconds_ = 0;
};

} // namespace ns
