#pragma once
// The beta token of a test installation. Builds handed out for testing carry a font named "Zevuzavidav"
// whose 'CRSH' table holds the token text:
//
//   offset 0  u32 big-endian  format version, must be 1
//   offset 4  u32 big-endian  token length N
//   offset 8  N bytes         token text, ASCII
//
// The token the servers expect is that text after the prefix "2:".
//
// Failure contract: no font, no table, another version, a table shorter than it claims, or a token
// that is not printable ASCII (it travels in an HTTP header) give nothing; nothing throws.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace zevuzavidav {

// The token text of a 'CRSH' table (without the prefix).
std::optional<std::string> betaTokenTextFromTable(std::span<const std::uint8_t> table);

// "2:" followed by the token text of the installed font "Zevuzavidav".
std::optional<std::string> readBetaToken();

} // namespace zevuzavidav
