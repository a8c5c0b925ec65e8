#pragma once
// Test double of the backend: records every request and lets the test complete each one, in any order,
// with objects, success or an error. Completions go through svc::deliverCallback like the real client's.
//
// Failure contract: completing a request that does not exist or was already completed returns false and
// calls nothing. Thread-safe.
#include "platform/services/BackendClient.hpp"

#include <mutex>
#include <optional>
#include <vector>

namespace svc {

class FakeBackendClient : public BackendClient {
  public:
    struct FindRequest {
        BackendQuery query;
        bool completed = false;
    };
    struct SaveRequest {
        BackendObject object;
        bool installation = false;
        bool completed = false;
    };

    void initialize(BackendConfiguration configuration) override;
    void findObjectsInBackground(const BackendQuery& query, FindObjectsCallback callback) override;
    void saveInBackground(const BackendObject& object, SaveCallback callback) override;
    std::optional<BackendObject> currentInstallation() override;
    void saveInstallationInBackground(const BackendObject& installation, SaveCallback callback) override;

    // What currentInstallation() answers (default: an "_Installation" object).
    void setCurrentInstallation(std::optional<BackendObject> installation);

    std::optional<BackendConfiguration> configuration() const;
    int initializeCount() const;
    std::vector<FindRequest> findRequests() const;
    std::vector<SaveRequest> saveRequests() const;

    bool completeFind(std::size_t index, std::optional<std::vector<BackendObject>> objects,
                      std::optional<ns::Error> error = std::nullopt);
    bool completeSave(std::size_t index, bool succeeded, std::optional<ns::Error> error = std::nullopt);

  private:
    mutable std::mutex mutex_;
    std::optional<BackendConfiguration> configuration_;
    int initializeCount_ = 0;
    std::optional<BackendObject> installation_ = BackendObject("_Installation");
    std::vector<FindRequest> finds_;
    std::vector<FindObjectsCallback> findCallbacks_;
    std::vector<SaveRequest> saves_;
    std::vector<SaveCallback> saveCallbacks_;
};

} // namespace svc
