#pragma once
// A launched app for screen tests: a temporary bundle (Info.plist with the edition's bundle id and a
// version) and sandbox, a recording backend, a reachable network, the catalogue's storyboard, and the
// initial navigation controller shown as the window's root.
#include "app/catalogue/CatalogueStoryboard.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/foundation/Sandbox.hpp"
#include "platform/services/FakeBackendClient.hpp"
#include "platform/services/FakeMailSender.hpp"
#include "platform/services/FakeNetworkReachability.hpp"
#include "platform/services/ScopedOverride.hpp"
#include "platform/services/StoreReviewController.hpp"
#include "platform/uikit/AlertController.hpp"
#include "platform/uikit/Application.hpp"
#include "platform/uikit/SearchController.hpp"
#include "tests/support/TempHome.hpp"

#include <fstream>
#include <memory>
#include <string>

// Types `text` into the search bar as a person would, replacing what it held.
inline void typeSearch(ui::SearchController& controller, const std::string& text) {
    auto& field = *controller.searchBar()->searchTextField();
    if (!field.isEditing()) field.becomeFirstResponder();
    field.setSelectedRange(ui::Range{0, field.length()});
    if (text.empty())
        field.deleteBackward();
    else
        field.typeText(text);
}

class CatalogueWorld {
  public:
    static constexpr const char* version = "5.2";

    explicit CatalogueWorld(const std::string& bundleId = "com.velomarinth.swift") {
        writeBundle(bundleId);
        ns::Sandbox::setHome(home.path() / "sandbox");
        dispatch::main().bindToCurrentThread();
        dispatch::main().removeAll();
        ui::Application::shared().reset();
        ui::AlertController::clearPresentedAlerts();
        svc::StoreReviewController::reset();
    }
    ~CatalogueWorld() {
        ui::Application::shared().reset();
        ui::AlertController::clearPresentedAlerts();
        dispatch::main().removeAll();
        ns::Sandbox::reset();
        ns::Bundle::setMainBundlePath({});
    }

    // Starts the app's screens: the first screen loads and appears; pending reloads run.
    MainViewController& launch() {
        navigation = makeInitialViewController();
        ui::Application::shared().setRootViewController(navigation);
        settle();
        return main();
    }
    MainViewController& main() {
        return dynamic_cast<MainViewController&>(*navigation->viewControllers().front());
    }
    template <typename T> std::shared_ptr<T> top() {
        return std::dynamic_pointer_cast<T>(navigation->visibleViewController());
    }
    void settle() { dispatch::main().drain(); }

    velotest::TempFolder home;
    std::shared_ptr<svc::FakeBackendClient> backend = std::make_shared<svc::FakeBackendClient>();
    std::shared_ptr<svc::FakeNetworkReachability> reachability =
        std::make_shared<svc::FakeNetworkReachability>();
    // Mail goes nowhere: the composer can send, and what it sends is kept here.
    std::shared_ptr<svc::FakeMailSender> mail = std::make_shared<svc::FakeMailSender>();
    svc::ScopedOverride<std::shared_ptr<svc::BackendClient>> backendInstalled{svc::setSharedBackendClient,
                                                                              backend};
    svc::ScopedOverride<std::shared_ptr<svc::NetworkReachability>> reachabilityInstalled{
        svc::setSharedNetworkReachability, reachability};
    svc::ScopedOverride<std::shared_ptr<svc::MailSender>> mailInstalled{svc::setSharedMailSender, mail};
    std::shared_ptr<NavigationController> navigation;

  private:
    void writeBundle(const std::string& bundleId) {
        auto bundle = home.path() / "Edition.app";
        std::filesystem::create_directories(bundle);
        std::ofstream(bundle / "Info.plist") << R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>CFBundleIdentifier</key><string>)" << bundleId
                                             << R"(</string>
<key>CFBundleShortVersionString</key><string>)"
                                             << version << R"(</string>
</dict></plist>
)";
        ns::Bundle::setMainBundlePath(bundle);
    }
};
