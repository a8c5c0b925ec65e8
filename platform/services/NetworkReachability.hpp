#pragma once
// Network reachability flags for "the internet" (the zero address), read once when asked.
//
// Failure contract: flags() answers nothing when the state cannot be read; callers treat that as not
// reachable.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace svc {

namespace reachability {
inline constexpr std::uint32_t reachable = 0x2;
inline constexpr std::uint32_t connectionRequired = 0x4;
inline constexpr std::uint32_t isWWAN = 0x40000;
} // namespace reachability

class NetworkReachability {
  public:
    virtual ~NetworkReachability() = default;
    virtual std::optional<std::uint32_t> flags() = 0;
};

// Reads the machine's own state, sending no traffic: an interface that is up and running, not
// loopback, with an IPv4 or IPv6 address, and a default route (/proc/net/route or /proc/net/ipv6_route)
// -> reachable. A configured interface without carrier or without a default route -> connection
// required (the link has to come up first), without the reachable bit. Nothing usable -> 0. Never WWAN.
// Answers nothing only when the interface list cannot be read.
class LinuxNetworkReachability : public NetworkReachability {
  public:
    std::optional<std::uint32_t> flags() override;
};

// One network interface as the Linux reading sees it.
struct InterfaceState {
    std::string name;
    bool up = false;
    bool running = false; // carrier present
    bool loopback = false;
    bool hasAddress = false; // an IPv4 or IPv6 address
};

// The mapping LinuxNetworkReachability applies, separated so that it can be checked on its own.
std::uint32_t reachabilityFlagsFor(const std::vector<InterfaceState>& interfaces,
                                   const std::vector<std::string>& defaultRouteInterfaces);

// Names of the interfaces that carry a usable default route, from the texts of /proc/net/route and
// /proc/net/ipv6_route (either may be empty). Malformed lines are skipped; reject routes do not count.
std::vector<std::string> parseDefaultRouteInterfaces(std::string_view ipv4Routes,
                                                     std::string_view ipv6Routes);

// The reachability the app asks (default: LinuxNetworkReachability). The setter installs
// `reachability` (nullptr: the default) and answers the one it replaces.
std::shared_ptr<NetworkReachability> sharedNetworkReachability();
std::shared_ptr<NetworkReachability>
setSharedNetworkReachability(std::shared_ptr<NetworkReachability> reachability);

} // namespace svc
