// Linked into a test-only build of the program: the network counts as reachable, whatever this
// machine's interfaces and routes say, so that what the program offers only with a network (a lesson's
// tutorial video) is tested the same on a machine with no route out. Nothing is sent anywhere for it:
// reachability is only read.
#include "platform/services/FakeNetworkReachability.hpp"

#include <memory>

namespace {

const bool installed = [] {
    svc::setSharedNetworkReachability(
        std::make_shared<svc::FakeNetworkReachability>(svc::reachability::reachable));
    return true;
}();

} // namespace
