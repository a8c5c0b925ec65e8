#include "platform/services/UrlOpener.hpp"

#include "platform/services/Spawn.hpp"

namespace svc {

bool XdgUrlOpener::openURL(const std::string& url) {
    // An address starting with "-" would be read as an option by the opener.
    if (url.empty() || url.front() == '-') return false;
    return spawnDetached("xdg-open", {url});
}

bool FakeUrlOpener::openURL(const std::string& url) {
    std::lock_guard lock(mutex_);
    opened_.push_back(url);
    return result_;
}

void FakeUrlOpener::setResult(bool result) {
    std::lock_guard lock(mutex_);
    result_ = result;
}

std::vector<std::string> FakeUrlOpener::openedURLs() const {
    std::lock_guard lock(mutex_);
    return opened_;
}

namespace {

std::mutex& openerMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<UrlOpener>& opener() {
    static std::shared_ptr<UrlOpener> o = std::make_shared<XdgUrlOpener>();
    return o;
}

} // namespace

std::shared_ptr<UrlOpener> sharedUrlOpener() {
    std::lock_guard lock(openerMutex());
    return opener();
}

void setSharedUrlOpener(std::shared_ptr<UrlOpener> o) {
    std::lock_guard lock(openerMutex());
    opener() = o ? std::move(o) : std::make_shared<XdgUrlOpener>();
}

} // namespace svc
