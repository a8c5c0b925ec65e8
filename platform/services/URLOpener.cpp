#include "platform/services/URLOpener.hpp"

#include "platform/services/ServiceSlot.hpp"
#include "platform/services/Spawn.hpp"

namespace svc {

bool XdgUrlOpener::openURL(const std::string& url) {
    // An address starting with "-" would be read as an option by the opener.
    if (url.empty() || url.front() == '-') return false;
    return spawnDetached("xdg-open", {url});
}

namespace {
ServiceSlot<std::shared_ptr<UrlOpener>>& slot() {
    static ServiceSlot<std::shared_ptr<UrlOpener>> s(makeShared<UrlOpener, XdgUrlOpener>);
    return s;
}
} // namespace

std::shared_ptr<UrlOpener> sharedUrlOpener() {
    return slot().get();
}

std::shared_ptr<UrlOpener> setSharedUrlOpener(std::shared_ptr<UrlOpener> opener) {
    return slot().exchange(std::move(opener));
}

} // namespace svc
