#include "sdk/rurorad/tracking/ZEVAnalyticsViewControllerTrackingController.hpp"

namespace {

constexpr const char* kViewControllerClassName = "UIViewController";
constexpr const char* kDidAppear = "viewDidAppear:";
constexpr const char* kDidDisappear = "viewDidDisappear:";

std::mutex& sharedMutex() {
    static std::mutex mutex;
    return mutex;
}
std::shared_ptr<ZEVAnalyticsViewControllerTrackingController>& sharedSlot() {
    static std::shared_ptr<ZEVAnalyticsViewControllerTrackingController> shared;
    return shared;
}

// The implementations the hooks replaced, process-wide as the hooks themselves are.
struct ReplacedImplementations {
    std::mutex mutex;
    rt::InstanceMethod didAppear;
    rt::InstanceMethod didDisappear;
};
ReplacedImplementations& replaced() {
    static ReplacedImplementations slots;
    return slots;
}

rt::Class* viewControllerClass() {
    return rt::ClassRegistry::shared().lookUpClass(kViewControllerClassName);
}

std::any runHook(rt::Object& self, rt::Arguments arguments, bool appearing) {
    rt::InstanceMethod earlier;
    {
        std::lock_guard lock(replaced().mutex);
        earlier = appearing ? replaced().didAppear : replaced().didDisappear;
    }
    std::any result;
    if (earlier) result = earlier(self, arguments);
    auto tracker = ZEVAnalyticsViewControllerTrackingController::sharedInstance();
    const rt::Class* base = viewControllerClass();
    if (!base || !self.objectClass().isSubclassOf(*base) || !tracker->shouldLogViewController(self))
        return result;
    if (auto delegate = tracker->delegate()) {
        if (appearing)
            delegate->viewControllerTrackingControllerDidDetectAppearanceOfViewController(*tracker, self);
        else
            delegate->viewControllerTrackingControllerDidDetectDisappearanceOfViewController(*tracker, self);
    }
    return result;
}

} // namespace

std::shared_ptr<ZEVAnalyticsViewControllerTrackingController>
ZEVAnalyticsViewControllerTrackingController::sharedInstance() {
    std::lock_guard lock(sharedMutex());
    auto& shared = sharedSlot();
    if (!shared) shared.reset(new ZEVAnalyticsViewControllerTrackingController());
    return shared;
}

void ZEVAnalyticsViewControllerTrackingController::disposeSharedInstance() {
    std::shared_ptr<ZEVAnalyticsViewControllerTrackingController> released;
    {
        std::lock_guard lock(sharedMutex());
        released = std::move(sharedSlot());
    }
    // Released outside the lock: its clean-up must not hold up the hooks.
}

ZEVAnalyticsViewControllerTrackingController::~ZEVAnalyticsViewControllerTrackingController() {
    cleanUpUIViewControllerSwizzle();
}

void ZEVAnalyticsViewControllerTrackingController::startTracking() {
    setUpUIViewControllerSwizzle();
}

bool ZEVAnalyticsViewControllerTrackingController::isTracking() const {
    std::lock_guard lock(mutex_);
    return isTracking_;
}

void ZEVAnalyticsViewControllerTrackingController::setUpUIViewControllerSwizzle() {
    {
        std::lock_guard lock(mutex_);
        if (isTracking_) return;
        isTracking_ = true;
    }
    rt::Class* cls = viewControllerClass();
    if (!cls) return;
    std::lock_guard lock(replaced().mutex);
    replaceMethodImplementationForClass(
        *cls, kDidAppear,
        [](rt::Object& self, rt::Arguments arguments) { return runHook(self, arguments, true); },
        &replaced().didAppear);
    replaceMethodImplementationForClass(
        *cls, kDidDisappear,
        [](rt::Object& self, rt::Arguments arguments) { return runHook(self, arguments, false); },
        &replaced().didDisappear);
}

void ZEVAnalyticsViewControllerTrackingController::cleanUpUIViewControllerSwizzle() {
    {
        std::lock_guard lock(mutex_);
        if (!isTracking_) return;
        isTracking_ = false;
    }
    rt::Class* cls = viewControllerClass();
    if (!cls) return;
    std::lock_guard lock(replaced().mutex);
    if (replaced().didAppear)
        cls->replaceInstanceMethod(kDidAppear, std::exchange(replaced().didAppear, nullptr));
    if (replaced().didDisappear)
        cls->replaceInstanceMethod(kDidDisappear, std::exchange(replaced().didDisappear, nullptr));
}

bool ZEVAnalyticsViewControllerTrackingController::replaceMethodImplementationForClass(
    rt::Class& cls, std::string_view selector, rt::InstanceMethod implementation, rt::InstanceMethod* slot) {
    if (!cls.instancesRespondToSelector(selector)) return false;
    rt::InstanceMethod earlier = cls.replaceInstanceMethod(selector, std::move(implementation));
    const bool found = static_cast<bool>(earlier);
    if (slot) *slot = std::move(earlier);
    return found;
}

void ZEVAnalyticsViewControllerTrackingController::addBlackListViewControllerClass(const rt::Class* cls) {
    std::lock_guard lock(mutex_);
    if (cls) blackListViewControllerClasses_.insert(cls);
}

void ZEVAnalyticsViewControllerTrackingController::removeBlackListViewControllerClass(const rt::Class* cls) {
    std::lock_guard lock(mutex_);
    blackListViewControllerClasses_.erase(cls);
}

bool ZEVAnalyticsViewControllerTrackingController::isBlacklistedViewControllerClass(
    const rt::Class* cls) const {
    std::lock_guard lock(mutex_);
    return blackListViewControllerClasses_.count(cls) > 0;
}

bool ZEVAnalyticsViewControllerTrackingController::shouldLogViewController(
    const rt::Object& viewController) const {
    return !isBlacklistedViewControllerClass(&viewController.objectClass());
}

std::shared_ptr<ZEVAnalyticsViewControllerTrackingDelegate>
ZEVAnalyticsViewControllerTrackingController::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_.lock();
}

void ZEVAnalyticsViewControllerTrackingController::setDelegate(
    std::weak_ptr<ZEVAnalyticsViewControllerTrackingDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}
