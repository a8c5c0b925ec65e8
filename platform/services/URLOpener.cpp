#include "platform/services/URLOpener.hpp"

#include "platform/services/ServiceSlot.hpp"
#include "platform/services/Spawn.hpp"

namespace svc {

bool XdgURLOpener::openURL(const std::string& url) {
    // An address starting with "-" would be read as an option by the opener.
    if (url.empty() || url.front() == '-') return false;
    return spawnDetached("xdg-open", {url});
}

namespace {
ServiceSlot<std::shared_ptr<URLOpener>>& slot() {
    static ServiceSlot<std::shared_ptr<URLOpener>> s(makeShared<URLOpener, XdgURLOpener>);
    return s;
}
} // namespace

std::shared_ptr<URLOpener> sharedURLOpener() {
    return slot().get();
}

std::shared_ptr<URLOpener> setSharedURLOpener(std::shared_ptr<URLOpener> opener) {
    return slot().exchange(std::move(opener));
}

} // namespace svc
