#pragma once
// Every server the program asks on its own, pointed at a closed port on this machine, for the tests
// and benchmarks that start it: the backend, the SDK's settings and configure hosts, its report server
// and its beta server. A launch with these sends nothing off the machine and looks up no name, so
// what it does never depends on the network it runs on. Nothing listens on 127.0.0.1:9 (the system
// hands out ports for listeners far above it): every request there fails at once, as with no network.
// A test that wants a server of its own for one of them names it after these (the later one wins).
//
// Failure contract: none; setenv failing (no memory) leaves that variable as it was.
#include <cstdlib>
#include <string>

namespace velotools {

inline constexpr const char* kClosedLoopbackPort = "http://127.0.0.1:9";

struct ServerVariable {
    const char* name;
    const char* value;
};

inline constexpr ServerVariable kLoopbackServers[] = {
    {"VELOMARINTH_BACKEND_SERVER", "http://127.0.0.1:9/parse"},
    {"SettingsEndpoint", kClosedLoopbackPort},
    {"ConfigureEndpoint", kClosedLoopbackPort},
    {"ZevuzavidavReportsEndpoint", kClosedLoopbackPort},
    {"ZevuzavidavBetaEndpoint", kClosedLoopbackPort},
};

// The variables as words for env(1) or a shell: "NAME=value NAME=value ...".
inline std::string loopbackServerWords() {
    std::string words;
    for (const auto& server : kLoopbackServers)
        words += (words.empty() ? "" : " ") + std::string(server.name) + "=" + server.value;
    return words;
}

// Sets each in this process's environment, so that what starts here or is started from here after
// finds them.
inline void pointServersAtLoopback() {
    for (const auto& server : kLoopbackServers)
        ::setenv(server.name, server.value, 1);
}

} // namespace velotools
