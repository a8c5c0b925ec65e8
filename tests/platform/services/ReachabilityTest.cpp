#include "platform/services/FakeNetworkReachability.hpp"
#include "platform/services/ScopedOverride.hpp"

#include <gtest/gtest.h>

namespace {

using svc::InterfaceState;
namespace flags = svc::reachability;

const char* ipv4Routes =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
    "eth0\t00000000\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
    "eth0\t0001A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n"
    "wlan0\t0002A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n"
    "garbage line\n";

const char* ipv6Routes = "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
                         "00000000000000000000000000000000 "
                         "ffffffff 00000001 00000000 00200200       lo\n"
                         "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
                         "fe800000000000000000000000000001 "
                         "00000400 00000001 00000000 00000003    wg0\n"
                         "fe800000000000000000000000000000 40 00000000000000000000000000000000 00 "
                         "00000000000000000000000000000000 "
                         "00000100 00000001 00000000 00000001   eth1\n";

TEST(ReachabilityRoutes, FindsDefaultRoutesAndSkipsRejectAndLoopback) {
    EXPECT_EQ(svc::parseDefaultRouteInterfaces(ipv4Routes, ""), (std::vector<std::string>{"eth0"}));
    EXPECT_EQ(svc::parseDefaultRouteInterfaces("", ipv6Routes), (std::vector<std::string>{"wg0"}));
    EXPECT_EQ(svc::parseDefaultRouteInterfaces(ipv4Routes, ipv6Routes),
              (std::vector<std::string>{"eth0", "wg0"}));
    EXPECT_TRUE(svc::parseDefaultRouteInterfaces("", "").empty());
    // A default route that is not up does not count.
    EXPECT_TRUE(
        svc::parseDefaultRouteInterfaces("eth0\t00000000\t0101A8C0\t0002\t0\t0\t0\t00000000\t0\t0\t0\n", "")
            .empty());
}

struct MappingCase {
    const char* name;
    std::vector<InterfaceState> interfaces;
    std::vector<std::string> routes;
    std::uint32_t expected;
};

TEST(ReachabilityMapping, MachineStateMapsOntoFlags) {
    const InterfaceState lo{"lo", true, true, true, true};
    const InterfaceState eth{"eth0", true, true, false, true};
    const InterfaceState ethNoCarrier{"eth0", true, false, false, true};
    const InterfaceState ethDown{"eth0", false, false, false, true};
    const InterfaceState ethNoAddress{"eth0", true, true, false, false};
    const MappingCase cases[] = {
        {"loopback only", {lo}, {}, 0},
        {"up, running, routed", {lo, eth}, {"eth0"}, flags::reachable},
        {"no default route", {lo, eth}, {}, flags::connectionRequired},
        {"route on another interface", {lo, eth}, {"wlan0"}, flags::connectionRequired},
        {"no carrier", {lo, ethNoCarrier}, {"eth0"}, flags::connectionRequired},
        {"interface down", {lo, ethDown}, {"eth0"}, 0},
        {"no address", {lo, ethNoAddress}, {"eth0"}, 0},
        {"nothing at all", {}, {}, 0},
    };
    for (const auto& c : cases) {
        const std::uint32_t f = svc::reachabilityFlagsFor(c.interfaces, c.routes);
        EXPECT_EQ(f, c.expected) << c.name;
        EXPECT_EQ(f & flags::isWWAN, 0u) << c.name;
    }
}

TEST(ReachabilityLinux, ReadsTheMachineWithoutFailing) {
    svc::LinuxNetworkReachability reachability;
    auto f = reachability.flags();
    ASSERT_TRUE(f);
    // Whatever this machine's network is, the answer is one of the three states.
    EXPECT_TRUE(*f == 0 || *f == flags::reachable || *f == flags::connectionRequired) << *f;
}

TEST(ReachabilityDouble, AnswersWhatTheTestSets) {
    auto fake = std::make_shared<svc::FakeNetworkReachability>();
    {
        svc::ScopedOverride installed(svc::setSharedNetworkReachability, fake);
        EXPECT_EQ(svc::sharedNetworkReachability()->flags(), flags::reachable);
        fake->setFlags(flags::reachable | flags::isWWAN);
        EXPECT_EQ(svc::sharedNetworkReachability()->flags(), flags::reachable | flags::isWWAN);
        fake->fail();
        EXPECT_FALSE(svc::sharedNetworkReachability()->flags());
        EXPECT_EQ(fake->queryCount(), 3);
    }
    EXPECT_NE(dynamic_cast<svc::LinuxNetworkReachability*>(svc::sharedNetworkReachability().get()), nullptr);
}

} // namespace
