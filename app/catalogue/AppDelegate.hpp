#pragma once
// The application delegate: the start-up of the process. When launching finishes it configures and
// starts the backend client, starts the crash-reporting SDK, registers this installation with the
// backend in the background, and lets launching go on. The other life-cycle events are ignored.
//
// Failure contract: no step can stop the launch; application() always returns true. The installation
// save reports its outcome with one console line when its callback arrives (on the main queue):
// "You have successfully connected your app to Back4App!", the error's localized description, or
// "Uknown error" for a failure without an error.
#include "platform/services/BackendClient.hpp"
#include "platform/uikit/Application.hpp"
#include "platform/uikit/View.hpp"

#include <any>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class AppDelegate {
  public:
    // Starts the SDK with the kit classes given by name; the process entry passes the SDK's own entry.
    using SDKStart = std::function<void(const std::vector<std::string>& kitClasses)>;
    using LaunchOptions = std::map<std::string, std::any>;

    AppDelegate(std::shared_ptr<svc::BackendClient> backend, SDKStart startSDK);

    // The window's root view, set by whoever shows the first screen.
    std::shared_ptr<ui::View> window;

    bool application(ui::Application& application, const LaunchOptions& launchOptions);

    void applicationWillResignActive(ui::Application&) {}
    void applicationDidEnterBackground(ui::Application&) {}
    void applicationWillEnterForeground(ui::Application&) {}
    void applicationDidBecomeActive(ui::Application&) {}
    void applicationWillTerminate(ui::Application&) {}

    // The console line of an installation save's outcome.
    static std::string installationSaveLine(bool succeeded, const std::optional<ns::Error>& error);

  private:
    std::shared_ptr<svc::BackendClient> backend_;
    SDKStart startSDK_;
};
