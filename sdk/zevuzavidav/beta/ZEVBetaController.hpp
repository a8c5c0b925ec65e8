#pragma once
// Newer test builds for an installation that is a test build (install source 3, outside app
// extensions). The controller reads the beta token from the font "Zevuzavidav" (BetaToken.hpp), and
// once started with one it asks the API server for an update whenever fresh server settings arrive
// ("ZOVSettingsAvailableNotification") and whenever the app comes back to the foreground:
//
//   GET <BetaEndpoint>/spi/v2/platforms/ios/apps/<escaped bundle id>/beta_update_check
//       ?build_version=..&display_version=..&instance=..&source=..
//   headers "User-Agent" .. "X-Zevuzavidav-API-Key", then "X-Zevuzavidav-Beta-Token: <token>"
//
// sent with up to 10 retries. A successful answer pauses the checks for the settings' suspend duration
// (a one-shot main-loop timer), and an answer {"url", "version_string"} shows the alert "New Build
// Available" with Cancel and Install; Install opens the URL through the application.
//
// States: idle -> request under way (retrying) -> paused (checksSuspended, timer) -> idle. A request
// that fails (transport error, a refused status, an empty body) leaves the controller "under way" for
// good: no later check runs in this process.
//
// Threads: the gate, the request's start and the handling of its answer run on the serial queue
// "com.rizudiz.zevuzavidav.ios.beta"; the pause, the timer, the alert and its buttons on the main queue.
// Notifications may arrive on any thread; they only enqueue work. Both flags are atomics, as each is
// written on one queue and read on the other. The owner may drop the controller from any thread.
//
// Failure contract: no font, no table, a wrong version or a table shorter than it claims give no token,
// and start() answers false (beta stays off). Network failures, bodies that are not JSON and JSON without
// a usable "url" show nothing and are logged only in debug mode (debug lines use the tag
// "[Zevuzavidav:Beta]", the networking set-up failure "[Duvoduvove:Beta]"). Nothing throws.
#include "platform/dispatch/SerialQueue.hpp"
#include "platform/dispatch/Timer.hpp"
#include "platform/foundation/NotificationCenter.hpp"
#include "platform/net/URLRequest.hpp"
#include "platform/uikit/AlertView.hpp"
#include "sdk/zevuzavidav/beta/ZEVBetaControllerDelegate.hpp"
#include "sdk/zevuzavidav/beta/ZEVBetaUpdate.hpp"
#include "sdk/zovaze/network/ZOVNetworkClient.hpp"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class ZEVBetaController final : public ui::AlertViewDelegate,
                                public std::enable_shared_from_this<ZEVBetaController> {
  public:
    static constexpr const char* queueName = "com.rizudiz.zevuzavidav.ios.beta";
    static constexpr std::uint64_t retryLimit = 10;
    static constexpr double requestTimeout = 10;
    // An update description is a few hundred bytes of JSON.
    static constexpr std::size_t maximumAnswerLength = 64 * 1024;

    using UpdateCompletion = std::function<void(const std::shared_ptr<ZEVBetaUpdate>& update)>;
    using LoadCompletion = std::function<void(const std::shared_ptr<ZEVBetaUpdate>& update,
                                              const std::optional<ns::Error>& error)>;

    // Where the controller finds the process around it; the kit passes nothing and gets the real ones.
    struct Environment {
        std::function<std::optional<std::string>()> readBetaToken;      // default: zevuzavidav::readBetaToken
        std::function<std::optional<std::string>()> instanceIdentifier; // default: the Zovaze singleton's
        ns::NotificationCenter* notificationCenter = nullptr;           // default: the default centre
    };

    static bool isBetaSupported();
    static zovaze::CertificateArray pinnnedCertificates();

    static std::shared_ptr<ZEVBetaController>
    initWithDelegate(std::weak_ptr<ZEVBetaControllerDelegate> delegate);
    static std::shared_ptr<ZEVBetaController>
    initWithDelegate(std::weak_ptr<ZEVBetaControllerDelegate> delegate, Environment environment);
    ~ZEVBetaController() override;
    ZEVBetaController(const ZEVBetaController&) = delete;
    ZEVBetaController& operator=(const ZEVBetaController&) = delete;

    // False without a beta token; else starts observing the two notifications.
    bool start();
    std::optional<std::string> betaToken();

    ZEVSettings settings();
    double betaUpdateSuspendDurationSecs();
    std::string betaEndpoint();
    std::string appBundleIdentifier() const;
    std::string appBuildVersion() const;
    std::string appDisplayVersion() const;
    std::optional<std::string> appInstanceIdentifier() const;
    int appInstallationSource() const;
    std::optional<std::string> APIKey();
    std::optional<std::string> betaUpdateURL();

    void checkForUpdate();
    void applicationWillEnterForeground();
    void maybeGetUpdate(UpdateCompletion completion);
    void loadUpdateWithCompletionBlock(LoadCompletion completion);
    // On the controller's queue.
    void handledCompletedBetaRequestWithData(const std::optional<std::vector<std::uint8_t>>& data,
                                             const std::optional<ns::Error>& error,
                                             LoadCompletion completion);
    std::shared_ptr<ZEVBetaUpdate> updateWithData(const std::vector<std::uint8_t>& data,
                                                  std::optional<ns::Error>* error);
    void temporarilySuspendChecks();
    void allowChecks();
    bool shouldGetUpdates();
    void didGetUpdate(const std::shared_ptr<ZEVBetaUpdate>& update);
    void showBetaAlertForUpdate(const std::shared_ptr<ZEVBetaUpdate>& update);

    void zovazeSettingsDownloaded(const ns::Notification& notification);
    void applicationWillEnterForeground(const ns::Notification& notification);

    // As the alert's delegate (main queue).
    void alertViewClickedButtonAtIndex(ui::AlertView& alertView, std::int64_t buttonIndex) override;
    void alertViewCancel(ui::AlertView& alertView) override;

    std::shared_ptr<ZEVBetaControllerDelegate> delegate() const { return delegate_.lock(); }
    const std::shared_ptr<ZOVNetworkClient>& networkClient() const { return networkClient_; }
    // Main queue only.
    const std::shared_ptr<ZEVBetaUpdate>& activeUpdate() const { return activeUpdate_; }
    const std::shared_ptr<dispatch::Timer>& checkSuspensionTimer() const { return checkSuspensionTimer_; }
    bool checksSuspended() const { return checksSuspended_.load(); }
    bool retrying() const { return retrying_.load(); }
    const std::shared_ptr<dispatch::SerialQueue>& queue() const { return queue_; }

  private:
    ZEVBetaController(std::weak_ptr<ZEVBetaControllerDelegate> delegate, Environment environment);
    net::URLRequest betaUpdateRequest(const std::string& url);

    std::mutex tokenMutex_;
    std::optional<std::string> betaToken_;
    std::atomic<bool> checksSuspended_{false};
    std::atomic<bool> retrying_{false};
    std::weak_ptr<ZEVBetaControllerDelegate> delegate_;
    std::shared_ptr<ZOVNetworkClient> networkClient_;
    std::shared_ptr<ZEVBetaUpdate> activeUpdate_;
    std::shared_ptr<dispatch::Timer> checkSuspensionTimer_;
    std::shared_ptr<dispatch::SerialQueue> queue_;
    Environment environment_;
    std::vector<ns::NotificationCenter::ObserverToken> observers_;
};
