#include "platform/services/NetworkReachability.hpp"

#include "platform/services/ServiceSlot.hpp"

#include <algorithm>
#include <fstream>
#include <ifaddrs.h>
#include <net/if.h>
#include <sstream>
#include <sys/socket.h>

namespace svc {
namespace {

constexpr unsigned long routeUp = 0x0001;     // RTF_UP
constexpr unsigned long routeReject = 0x0200; // RTF_REJECT

bool allZeroHex(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c == '0'; });
}

bool parseHex(const std::string& s, unsigned long& out) {
    if (s.empty() || s.size() > 16) return false;
    try {
        std::size_t used = 0;
        out = std::stoul(s, &used, 16);
        return used == s.size();
    } catch (...) {
        return false;
    }
}

std::string readWhole(const char* path) {
    std::ifstream in(path);
    if (!in) return {};
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

} // namespace

std::vector<std::string> parseDefaultRouteInterfaces(std::string_view ipv4Routes,
                                                     std::string_view ipv6Routes) {
    std::vector<std::string> out;
    auto add = [&](const std::string& name) {
        if (!name.empty() && name != "lo" && std::find(out.begin(), out.end(), name) == out.end())
            out.push_back(name);
    };
    {
        // Iface Destination Gateway Flags RefCnt Use Metric Mask MTU Window IRTT
        std::istringstream in{std::string(ipv4Routes)};
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string iface, dest, gateway, flagsText, refcnt, use, metric, mask;
            if (!(fields >> iface >> dest >> gateway >> flagsText >> refcnt >> use >> metric >> mask))
                continue;
            unsigned long flags = 0;
            if (!parseHex(flagsText, flags) || dest.size() != 8 || mask.size() != 8)
                continue; // the header line lands here too
            if (allZeroHex(dest) && allZeroHex(mask) && (flags & routeUp) && !(flags & routeReject))
                add(iface);
        }
    }
    {
        // dest dest_len src src_len next_hop metric refcnt use flags iface
        std::istringstream in{std::string(ipv6Routes)};
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string dest, destLen, src, srcLen, nextHop, metric, refcnt, use, flagsText, iface;
            if (!(fields >> dest >> destLen >> src >> srcLen >> nextHop >> metric >> refcnt >> use >>
                  flagsText >> iface))
                continue;
            unsigned long flags = 0;
            if (!parseHex(flagsText, flags) || dest.size() != 32) continue;
            if (allZeroHex(dest) && allZeroHex(destLen) && (flags & routeUp) && !(flags & routeReject))
                add(iface);
        }
    }
    return out;
}

std::uint32_t reachabilityFlagsFor(const std::vector<InterfaceState>& interfaces,
                                   const std::vector<std::string>& defaultRouteInterfaces) {
    bool configured = false;
    for (const auto& i : interfaces) {
        if (i.loopback || !i.up || !i.hasAddress) continue;
        const bool routed = std::find(defaultRouteInterfaces.begin(), defaultRouteInterfaces.end(), i.name) !=
                            defaultRouteInterfaces.end();
        if (i.running && routed) return reachability::reachable;
        configured = true;
    }
    return configured ? reachability::connectionRequired : 0;
}

std::optional<std::uint32_t> LinuxNetworkReachability::flags() {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return std::nullopt;
    std::vector<InterfaceState> interfaces;
    for (ifaddrs* a = list; a; a = a->ifa_next) {
        if (!a->ifa_name) continue;
        auto it = std::find_if(interfaces.begin(), interfaces.end(),
                               [&](const InterfaceState& s) { return s.name == a->ifa_name; });
        if (it == interfaces.end()) {
            interfaces.push_back(InterfaceState{a->ifa_name});
            it = interfaces.end() - 1;
        }
        it->up = it->up || (a->ifa_flags & IFF_UP);
        it->running = it->running || (a->ifa_flags & IFF_RUNNING);
        it->loopback = it->loopback || (a->ifa_flags & IFF_LOOPBACK);
        if (a->ifa_addr && (a->ifa_addr->sa_family == AF_INET || a->ifa_addr->sa_family == AF_INET6))
            it->hasAddress = true;
    }
    ::freeifaddrs(list);
    const auto routes =
        parseDefaultRouteInterfaces(readWhole("/proc/net/route"), readWhole("/proc/net/ipv6_route"));
    return reachabilityFlagsFor(interfaces, routes);
}

namespace {
ServiceSlot<std::shared_ptr<NetworkReachability>>& slot() {
    static ServiceSlot<std::shared_ptr<NetworkReachability>> s(
        makeShared<NetworkReachability, LinuxNetworkReachability>);
    return s;
}
} // namespace

std::shared_ptr<NetworkReachability> sharedNetworkReachability() {
    return slot().get();
}

std::shared_ptr<NetworkReachability>
setSharedNetworkReachability(std::shared_ptr<NetworkReachability> reachability) {
    return slot().exchange(std::move(reachability));
}

} // namespace svc
