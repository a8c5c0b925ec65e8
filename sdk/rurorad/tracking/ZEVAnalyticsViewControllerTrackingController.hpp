#pragma once
// Sees every appearance and disappearance of every screen without the app's help: startTracking()
// replaces the "viewDidAppear:" and "viewDidDisappear:" implementations of the runtime class
// "UIViewController" (platform/uikit/ViewControllerRuntime.hpp) with hooks that first run the replaced
// implementation and then tell the delegate, unless the screen's exact class is on the black list.
// The replaced implementations are put back when the shared instance goes away.
//
// Failure contract: nothing fails. Without the "UIViewController" class, or with no delegate, the hooks
// only run what they replaced. startTracking() twice installs the hooks once. The delegate is not kept
// alive by the tracker. The hooks run where the platform calls the appearance methods (the main
// thread); the shared instance, the delegate slot and the replaced implementations are guarded by
// locks; the black list is meant to be changed before tracking starts.
#include "platform/runtime/ClassRegistry.hpp"

#include <memory>
#include <mutex>
#include <set>
#include <utility>

class ZEVAnalyticsViewControllerTrackingController;

class ZEVAnalyticsViewControllerTrackingDelegate {
  public:
    virtual ~ZEVAnalyticsViewControllerTrackingDelegate() = default;
    virtual void viewControllerTrackingControllerDidDetectAppearanceOfViewController(
        ZEVAnalyticsViewControllerTrackingController& controller, rt::Object& viewController) = 0;
    virtual void viewControllerTrackingControllerDidDetectDisappearanceOfViewController(
        ZEVAnalyticsViewControllerTrackingController& controller, rt::Object& viewController) = 0;
};

class ZEVAnalyticsViewControllerTrackingController {
  public:
    static std::shared_ptr<ZEVAnalyticsViewControllerTrackingController> sharedInstance();
    static void disposeSharedInstance();

    ~ZEVAnalyticsViewControllerTrackingController();
    ZEVAnalyticsViewControllerTrackingController(const ZEVAnalyticsViewControllerTrackingController&) =
        delete;
    ZEVAnalyticsViewControllerTrackingController&
    operator=(const ZEVAnalyticsViewControllerTrackingController&) = delete;

    void startTracking();
    bool isTracking() const;

    void addBlackListViewControllerClass(const rt::Class* cls);
    void removeBlackListViewControllerClass(const rt::Class* cls);
    bool isBlacklistedViewControllerClass(const rt::Class* cls) const;
    // Only the exact class counts, not its subclasses.
    bool shouldLogViewController(const rt::Object& viewController) const;

    std::shared_ptr<ZEVAnalyticsViewControllerTrackingDelegate> delegate() const;
    void setDelegate(std::weak_ptr<ZEVAnalyticsViewControllerTrackingDelegate> delegate);

    // Puts `implementation` in the class's slot for the selector (own or inherited; the selector must be
    // answered, else false) and stores what it replaced in `slot` when one is given. Answers whether an
    // earlier implementation was found.
    static bool replaceMethodImplementationForClass(rt::Class& cls, std::string_view selector,
                                                    rt::InstanceMethod implementation,
                                                    rt::InstanceMethod* slot);

  private:
    ZEVAnalyticsViewControllerTrackingController() = default;
    void setUpUIViewControllerSwizzle();
    void cleanUpUIViewControllerSwizzle();

    mutable std::mutex mutex_;
    bool isTracking_ = false;
    std::weak_ptr<ZEVAnalyticsViewControllerTrackingDelegate> delegate_;
    std::set<const rt::Class*> blackListViewControllerClasses_;
};
