#include "app/catalogue/AppDelegate.hpp"

#include "app/catalogue/BackendSettings.hpp"
#include "platform/foundation/Console.hpp"

AppDelegate::AppDelegate(std::shared_ptr<svc::BackendClient> backend, SDKStart startSDK)
    : backend_(std::move(backend)), startSDK_(std::move(startSDK)) {}

std::string AppDelegate::installationSaveLine(bool succeeded, const std::optional<ns::Error>& error) {
    if (succeeded) return "You have successfully connected your app to Back4App!";
    if (error) return error->localizedDescription();
    return "Uknown error";
}

bool AppDelegate::application(ui::Application&, const LaunchOptions&) {
    backend_->initialize(backend::configuration());
    if (startSDK_) startSDK_({"Zevuzavidav"});
    if (auto installation = backend_->currentInstallation()) {
        backend_->saveInstallationInBackground(*installation,
                                               [](bool succeeded, std::optional<ns::Error> error) {
                                                   ns::console(installationSaveLine(succeeded, error));
                                               });
    }
    return true;
}
