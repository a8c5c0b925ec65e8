#include "platform/services/BackendClient.hpp"

#include "platform/services/Executor.hpp"
#include "platform/services/ServiceSlot.hpp"

namespace svc {
namespace {

ns::Error notConfigured() {
    return ns::Error::make(backendErrorDomain, static_cast<long>(BackendErrorCode::notConfigured),
                           "The backend client is not configured.");
}

// Stands in until the app installs a real client: every call fails, through the callback, so that
// callers never wait for an answer that cannot come.
class OfflineBackendClient : public BackendClient {
  public:
    void initialize(BackendConfiguration) override {}
    void findObjectsInBackground(const BackendQuery&, FindObjectsCallback callback) override {
        deliverCallback([callback = std::move(callback)] {
            if (callback) callback(std::nullopt, notConfigured());
        });
    }
    void saveInBackground(const BackendObject&, SaveCallback callback) override { fail(std::move(callback)); }
    std::optional<BackendObject> currentInstallation() override { return BackendObject("_Installation"); }
    void saveInstallationInBackground(const BackendObject&, SaveCallback callback) override {
        fail(std::move(callback));
    }

  private:
    static void fail(SaveCallback callback) {
        deliverCallback([callback = std::move(callback)] {
            if (callback) callback(false, notConfigured());
        });
    }
};

ServiceSlot<std::shared_ptr<BackendClient>>& slot() {
    static ServiceSlot<std::shared_ptr<BackendClient>> s(makeShared<BackendClient, OfflineBackendClient>);
    return s;
}

} // namespace

std::shared_ptr<BackendClient> sharedBackendClient() {
    return slot().get();
}

std::shared_ptr<BackendClient> setSharedBackendClient(std::shared_ptr<BackendClient> client) {
    return slot().exchange(std::move(client));
}

} // namespace svc
