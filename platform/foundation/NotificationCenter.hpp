#pragma once
// A notification centre: observers register for a name (and optionally one sender) and are called
// synchronously, on the posting thread, for every matching post.
//
// Failure contract: none; posting with no observers does nothing. Thread-safe: observers may be added
// and removed from any thread, also from inside an observer's callback. An observer removed before or
// during a post is not called by that post afterwards (a call already running on another thread
// finishes). Callbacks run without the centre's lock held, so they may post and register freely.
#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace ns {

struct Notification {
    std::string name;
    const void* sender = nullptr;
    std::map<std::string, std::any> userInfo;
};

class NotificationCenter {
  public:
    using Callback = std::function<void(const Notification&)>;
    // 0 is never a valid token.
    using ObserverToken = std::uint64_t;

    // The process's centre; it lives until the process ends.
    static NotificationCenter& defaultCenter();

    NotificationCenter();
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    // An empty name observes every name; a null sender observes every sender.
    ObserverToken addObserver(std::string name, const void* sender, Callback callback);
    ObserverToken addObserver(std::string name, Callback callback) {
        return addObserver(std::move(name), nullptr, std::move(callback));
    }
    // Removing an unknown or already removed token does nothing.
    void removeObserver(ObserverToken token);

    void post(const std::string& name, const void* sender = nullptr,
              std::map<std::string, std::any> userInfo = {});
    void post(const Notification& notification);

    std::size_t observerCount() const;

  private:
    struct Observer;
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<Observer>> observers_;
    ObserverToken nextToken_ = 1;
};

} // namespace ns
