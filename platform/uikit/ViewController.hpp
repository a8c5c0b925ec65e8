#pragma once
// A screen: owns a root view, reacts to its life cycle, presents other screens and hands model objects
// on through segues.
//
// Life cycle: the root view is made on first access (view() or loadViewIfNeeded()): loadView() makes it,
// then viewDidLoad() runs, once. Appearance calls (viewWillAppear, viewDidAppear, viewWillDisappear,
// viewDidDisappear) are made by whoever shows the screen: Application::setRootViewController, the
// navigation controller, present and dismiss. They run synchronously, in the order will-disappear (old),
// will-appear (new), did-disappear (old), did-appear (new); the new screen's view is loaded first.
//
// Segues: performSegue(identifier, sender) finds the segue by name (this screen's own registrations
// first, then the app-wide Storyboard), makes the destination, calls prepareForSegue (where the source
// sets the destination's inputs; the destination's view is not loaded yet, so its viewDidLoad sees them),
// then shows the destination: pushed when this screen is in a navigation controller and the segue is a
// show segue, presented otherwise. An unknown identifier prints "Receiver has no segue with identifier
// '<identifier>'" to the console and returns false (no exception, no crash).
//
// Presenting: one presented screen at a time. Presenting while something is already presented prints a
// console line and does nothing (the completion does not run). Completions run synchronously after the
// transition; the animated flag is recorded, not played.
//
// Screens are owned by shared_ptr (make them with std::make_shared); a presented screen is owned by its
// presenter, a pushed one by its navigation controller. Main thread only.
#include "platform/runtime/Class.hpp"
#include "platform/uikit/NavigationItem.hpp"
#include "platform/uikit/View.hpp"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace ui {

class NavigationController;
class ViewController;

// How a segue shows its destination.
enum class SegueKind { show, present };

class StoryboardSegue {
  public:
    StoryboardSegue(std::string identifier, ViewController& source,
                    std::shared_ptr<ViewController> destination)
        : identifier_(std::move(identifier)), source_(source), destination_(std::move(destination)) {}
    const std::string& identifier() const { return identifier_; }
    ViewController& source() const { return source_; }
    const std::shared_ptr<ViewController>& destination() const { return destination_; }

  private:
    std::string identifier_;
    ViewController& source_;
    std::shared_ptr<ViewController> destination_;
};

using SegueFactory = std::function<std::shared_ptr<ViewController>()>;

// The app-wide segue registry (the storyboard's segues, by name).
class Storyboard {
  public:
    static Storyboard& main();
    void registerSegue(const std::string& identifier, SegueFactory factory, SegueKind kind = SegueKind::show);
    void removeSegue(const std::string& identifier);
    void removeAll();
    bool hasSegue(const std::string& identifier) const;

  private:
    friend class ViewController;
    struct Entry {
        SegueFactory factory;
        SegueKind kind;
    };
    std::map<std::string, Entry> segues_;
};

class ViewController : public std::enable_shared_from_this<ViewController> {
  public:
    ViewController();
    virtual ~ViewController();
    ViewController(const ViewController&) = delete;
    ViewController& operator=(const ViewController&) = delete;

    // The root view, loading it on first access.
    const std::shared_ptr<View>& view();
    bool isViewLoaded() const { return view_ != nullptr; }
    void loadViewIfNeeded();
    // Replaces the root view (a screen whose loadView makes a special view calls this).
    void setView(std::shared_ptr<View> view);

    // Overridable life cycle. The base versions do nothing, except loadView, which makes a plain view
    // the size of the main screen.
    virtual void loadView();
    virtual void viewDidLoad() {}
    virtual void viewWillAppear(bool /*animated*/) {}
    // The base versions go through the runtime's "UIViewController" slot (ViewControllerRuntime.hpp), so
    // overrides should call them as they would call super.
    virtual void viewDidAppear(bool animated);
    virtual void viewWillDisappear(bool /*animated*/) {}
    virtual void viewDidDisappear(bool animated);
    virtual void viewDidLayoutSubviews() {}
    // One layout pass of the screen: calls viewDidLayoutSubviews. Appearing runs one (between
    // viewWillAppear and viewDidAppear, as on the phone); the terminal runs one on every resize.
    void layoutPass();
    // A touch on the screen's background (the terminal sends it for a click or key meaning "tap
    // outside"). Base: nothing.
    virtual void touchesBegan() {}

    // Calls the appearance methods and keeps count of them (for tests and the terminal).
    void beginAppearance(bool appearing, bool animated);
    void endAppearance(bool appearing, bool animated);
    bool isAppeared() const { return appeared_; }

    // This screen as the class runtime sees it (made on first use).
    rt::Object& runtimeObject();

    const std::optional<std::string>& title() const { return title_; }
    void setTitle(std::optional<std::string> title) { title_ = std::move(title); }
    NavigationItem& navigationItem() { return navigationItem_; }

    // The navigation controller this screen is on (directly or through a presenting chain's pushes),
    // or nullptr.
    NavigationController* navigationController() const;

    // Modal presentation.
    void present(std::shared_ptr<ViewController> controller, bool animated,
                 std::function<void()> completion = {});
    // Dismisses the screen this one presented; when it presented none, asks its own presenter to
    // dismiss it. Does nothing when neither exists.
    void dismiss(bool animated, std::function<void()> completion = {});
    const std::shared_ptr<ViewController>& presentedViewController() const { return presented_; }
    ViewController* presentingViewController() const { return presenting_; }
    bool lastPresentationAnimated() const { return lastPresentationAnimated_; }

    // Segues.
    void registerSegue(const std::string& identifier, SegueFactory factory, SegueKind kind = SegueKind::show);
    bool performSegue(const std::string& identifier, View* sender);
    virtual void prepareForSegue(StoryboardSegue& /*segue*/, View* /*sender*/) {}

  private:
    friend class NavigationController;
    std::shared_ptr<View> view_;
    std::unique_ptr<rt::Object> runtimeObject_;
    std::optional<std::string> title_;
    NavigationItem navigationItem_;
    NavigationController* navigationController_ = nullptr;
    std::shared_ptr<ViewController> presented_;
    ViewController* presenting_ = nullptr;
    bool lastPresentationAnimated_ = false;
    bool appeared_ = false;
    std::map<std::string, Storyboard::Entry> segues_;
};

} // namespace ui
