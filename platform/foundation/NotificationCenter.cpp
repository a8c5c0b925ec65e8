#include "platform/foundation/NotificationCenter.hpp"

#include <atomic>

namespace ns {

struct NotificationCenter::Observer {
    ObserverToken token = 0;
    std::string name;
    const void* sender = nullptr;
    Callback callback;
    std::atomic<bool> removed{false};
};

NotificationCenter& NotificationCenter::defaultCenter() {
    // Never destroyed: threads that outlive main() (the SDK's queues, a download that finishes while the
    // program ends) may still post or stop observing while the statics go.
    static NotificationCenter* center = new NotificationCenter();
    return *center;
}

NotificationCenter::NotificationCenter() = default;
NotificationCenter::~NotificationCenter() = default;

NotificationCenter::ObserverToken NotificationCenter::addObserver(std::string name, const void* sender,
                                                                  Callback callback) {
    auto observer = std::make_shared<Observer>();
    observer->name = std::move(name);
    observer->sender = sender;
    observer->callback = std::move(callback);
    std::lock_guard lock(mutex_);
    observer->token = nextToken_++;
    observers_.push_back(observer);
    return observer->token;
}

void NotificationCenter::removeObserver(ObserverToken token) {
    std::lock_guard lock(mutex_);
    for (auto it = observers_.begin(); it != observers_.end(); ++it) {
        if ((*it)->token == token) {
            (*it)->removed.store(true);
            observers_.erase(it);
            return;
        }
    }
}

void NotificationCenter::post(const std::string& name, const void* sender,
                              std::map<std::string, std::any> userInfo) {
    post(Notification{name, sender, std::move(userInfo)});
}

void NotificationCenter::post(const Notification& notification) {
    std::vector<std::shared_ptr<Observer>> matching;
    {
        std::lock_guard lock(mutex_);
        for (const auto& o : observers_)
            if ((o->name.empty() || o->name == notification.name) &&
                (!o->sender || o->sender == notification.sender))
                matching.push_back(o);
    }
    // Called without the lock, so callbacks may add, remove and post; each is checked again right
    // before its call so that one removed by an earlier callback is skipped.
    for (const auto& o : matching)
        if (!o->removed.load() && o->callback) o->callback(notification);
}

std::size_t NotificationCenter::observerCount() const {
    std::lock_guard lock(mutex_);
    return observers_.size();
}

} // namespace ns
