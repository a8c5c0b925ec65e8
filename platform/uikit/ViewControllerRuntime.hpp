#pragma once
// The screens as the class runtime sees them, so that code that finds the platform's view-controller
// class by name can replace its appearance methods, as it would on the phone.
//
// The class "UIViewController" is registered in rt::ClassRegistry::shared() when the program starts. It
// answers the instance messages "viewDidAppear:" and "viewDidDisappear:" (one argument: bool animated), whose
// own implementations do nothing. ViewController::viewDidAppear / viewDidDisappear (the base versions) send
// those messages to the screen's runtime object through the "UIViewController" slot, as a call to super
// would: a screen whose override calls the base passes through whatever implementation the slot holds
// at that moment; one that does not call the base does not.
//
// Each screen's runtime object is an instance of the class named after its C++ type, registered on first
// use as a direct subclass of "UIViewController": "LessonViewController" for ::LessonViewController, and
// for the platform's own types the platform's prefix, "UINavigationController" for ui::NavigationController
// (the base ui::ViewController is "UIViewController" itself). Subclass chains between screens are not
// mirrored.
//
// Failure contract: none; a type whose name is taken by a class that is not a view-controller class gets
// "UIViewController" as its class. Registration is thread-safe; runtime objects are main-thread only, like
// the screens they stand for.
#include "platform/runtime/Class.hpp"

#include <string>
#include <typeinfo>

namespace ui {

class ViewController;

inline constexpr const char* viewControllerClassName = "UIViewController";

// The runtime object of one screen; lives as long as the screen.
class ViewControllerObject final : public rt::Object {
  public:
    ViewControllerObject(const rt::Class& cls, ViewController& controller)
        : rt::Object(cls), controller_(controller) {}
    ViewController& controller() const { return controller_; }

  private:
    ViewController& controller_;
};

// "UIViewController", registered on first use.
const rt::Class& viewControllerClass();
// The class of a C++ screen type, registered on first use.
const rt::Class& viewControllerClassForType(const std::type_info& type);
// The runtime class name of a C++ screen type.
std::string viewControllerClassNameForType(const std::type_info& type);

} // namespace ui
