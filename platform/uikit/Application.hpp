#pragma once
// The application object: the window's root screen and the URLs the app asked to open.
//
// Thread-safety: main thread only.
#include "platform/uikit/ViewController.hpp"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ui {

// The application's life-cycle notifications, posted on the default notification centre with the
// application as sender: did become active once the first screen shows; will resign active, did enter
// background and will terminate, in that order, when the program ends.
inline constexpr const char* applicationDidBecomeActiveNotification =
    "UIApplicationDidBecomeActiveNotification";
inline constexpr const char* applicationWillResignActiveNotification =
    "UIApplicationWillResignActiveNotification";
inline constexpr const char* applicationDidEnterBackgroundNotification =
    "UIApplicationDidEnterBackgroundNotification";
inline constexpr const char* applicationWillEnterForegroundNotification =
    "UIApplicationWillEnterForegroundNotification";
inline constexpr const char* applicationWillTerminateNotification = "UIApplicationWillTerminateNotification";
inline constexpr const char* applicationDidReceiveMemoryWarningNotification =
    "UIApplicationDidReceiveMemoryWarningNotification";
inline constexpr const char* applicationDidChangeStatusBarOrientationNotification =
    "UIApplicationDidChangeStatusBarOrientationNotification";

// The orientation of the app's interface, numbered as on the phone.
enum class InterfaceOrientation : long {
    unknown = 0,
    portrait = 1,
    portraitUpsideDown = 2,
    landscapeLeft = 4,
    landscapeRight = 3,
};

class Application {
  public:
    static Application& shared();

    // Shows `controller` as the window's root: loads its view and makes its appearance calls (the
    // previous root gets its disappearance calls).
    void setRootViewController(std::shared_ptr<ViewController> controller);
    const std::shared_ptr<ViewController>& rootViewController() const { return root_; }
    // What is on screen: the root, through navigation tops and presented screens, to the end.
    std::shared_ptr<ViewController> topViewController() const;

    // Records the URL and hands it to the handler (the terminal opens a browser, tests look at the
    // record). Returns the handler's answer; true without a handler.
    bool openURL(const std::string& url);
    const std::vector<std::string>& openedURLs() const { return openedURLs_; }
    void setOpenURLHandler(std::function<bool(const std::string&)> handler) {
        openHandler_ = std::move(handler);
    }

    // Posts the named life-cycle notification (see above), synchronously on the calling thread.
    void postLifecycleNotification(const char* name);
    // The notifications of the program's end: will resign active, did enter background, will terminate.
    void postTerminationNotifications();

    // A terminal has no rotation: portrait unless set. Setting a different one posts
    // applicationDidChangeStatusBarOrientationNotification.
    InterfaceOrientation statusBarOrientation() const { return statusBarOrientation_; }
    void setStatusBarOrientation(InterfaceOrientation orientation);

    // Forgets the root, the opened URLs and the handler (tests).
    void reset();

  private:
    std::shared_ptr<ViewController> root_;
    std::vector<std::string> openedURLs_;
    std::function<bool(const std::string&)> openHandler_;
    InterfaceOrientation statusBarOrientation_ = InterfaceOrientation::portrait;
};

} // namespace ui
