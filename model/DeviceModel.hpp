#pragma once
// The device's marketing name from its machine identifier (as `uname` reports it), e.g. "iPhone 5S".
// Never fails: an identifier the table does not know is returned as it stands. On a desktop host the
// machine is "x86_64" or "i386", which the table names "Simulator".
#include <string>
#include <string_view>

std::string deviceModelName();

// The table lookup alone, for a given machine identifier.
std::string deviceModelName(std::string_view machine);
