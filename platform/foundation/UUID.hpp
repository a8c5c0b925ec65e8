#pragma once
// A 128-bit universally unique identifier. random() makes a version-4 UUID from the kernel's random
// source; string() is the platform's form: 36 characters, upper-case hexadecimal, 8-4-4-4-12.
//
// Failure contract: parse() returns nothing for text that is not a UUID (either letter case is
// accepted); random() falls back to a non-cryptographic generator only if the kernel source fails.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ns {

class UUID {
  public:
    using Bytes = std::array<std::uint8_t, 16>;

    UUID() = default; // the nil UUID, all zero
    explicit UUID(const Bytes& bytes) : bytes_(bytes) {}

    static UUID random();
    static std::optional<UUID> parse(std::string_view text);

    const Bytes& bytes() const { return bytes_; }
    std::string string() const;

    bool operator==(const UUID&) const = default;

  private:
    Bytes bytes_{};
};

} // namespace ns
