#include "model/Reachability.hpp"

#include "platform/services/NetworkReachability.hpp"

bool Reachability::isConnected() {
    auto service = svc::sharedNetworkReachability();
    return service && isConnected(service->flags());
}

bool Reachability::isConnected(std::optional<std::uint32_t> flags) {
    if (!flags) return false;
    // A reachable link that also reports a cellular or other bit is still usable; one that still needs
    // a connection to be set up is not.
    return (*flags & svc::reachability::reachable) != 0 &&
           (*flags & svc::reachability::connectionRequired) == 0;
}
