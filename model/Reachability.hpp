#pragma once
// Whether the network is reachable, asked once, synchronously, whenever a caller wants to know.
//
// Connected means: the flags could be read, the reachable bit is set and no connection has to be made
// first. Other bits (a cellular link, for one) do not make the answer false.
//
// Failure contract: a failure to read the state answers false; nothing is reported beyond that.
#include <cstdint>
#include <optional>

class Reachability {
  public:
    // Reads the shared reachability service's flags.
    static bool isConnected();
    // The rule alone, for given flags (absent when they could not be read).
    static bool isConnected(std::optional<std::uint32_t> flags);
};
