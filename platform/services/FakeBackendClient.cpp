#include "platform/services/FakeBackendClient.hpp"

#include "platform/services/Executor.hpp"

namespace svc {

void FakeBackendClient::initialize(BackendConfiguration configuration) {
    std::lock_guard lock(mutex_);
    configuration_ = std::move(configuration);
    ++initializeCount_;
}

void FakeBackendClient::findObjectsInBackground(const BackendQuery& query, FindObjectsCallback callback) {
    std::lock_guard lock(mutex_);
    finds_.push_back(FindRequest{query, false});
    findCallbacks_.push_back(std::move(callback));
}

void FakeBackendClient::saveInBackground(const BackendObject& object, SaveCallback callback) {
    std::lock_guard lock(mutex_);
    saves_.push_back(SaveRequest{object, false, false});
    saveCallbacks_.push_back(std::move(callback));
}

std::optional<BackendObject> FakeBackendClient::currentInstallation() {
    std::lock_guard lock(mutex_);
    return installation_;
}

void FakeBackendClient::saveInstallationInBackground(const BackendObject& installation,
                                                     SaveCallback callback) {
    std::lock_guard lock(mutex_);
    saves_.push_back(SaveRequest{installation, true, false});
    saveCallbacks_.push_back(std::move(callback));
}

void FakeBackendClient::setCurrentInstallation(std::optional<BackendObject> installation) {
    std::lock_guard lock(mutex_);
    installation_ = std::move(installation);
}

std::optional<BackendConfiguration> FakeBackendClient::configuration() const {
    std::lock_guard lock(mutex_);
    return configuration_;
}

int FakeBackendClient::initializeCount() const {
    std::lock_guard lock(mutex_);
    return initializeCount_;
}

std::vector<FakeBackendClient::FindRequest> FakeBackendClient::findRequests() const {
    std::lock_guard lock(mutex_);
    return finds_;
}

std::vector<FakeBackendClient::SaveRequest> FakeBackendClient::saveRequests() const {
    std::lock_guard lock(mutex_);
    return saves_;
}

bool FakeBackendClient::completeFind(std::size_t index, std::optional<std::vector<BackendObject>> objects,
                                     std::optional<ns::Error> error) {
    FindObjectsCallback callback;
    {
        std::lock_guard lock(mutex_);
        if (index >= finds_.size() || finds_[index].completed) return false;
        finds_[index].completed = true;
        callback = std::move(findCallbacks_[index]);
    }
    deliverCallback([callback = std::move(callback), objects = std::move(objects), error = std::move(error)] {
        if (callback) callback(objects, error);
    });
    return true;
}

bool FakeBackendClient::completeSave(std::size_t index, bool succeeded, std::optional<ns::Error> error) {
    SaveCallback callback;
    {
        std::lock_guard lock(mutex_);
        if (index >= saves_.size() || saves_[index].completed) return false;
        saves_[index].completed = true;
        callback = std::move(saveCallbacks_[index]);
    }
    deliverCallback([callback = std::move(callback), succeeded, error = std::move(error)] {
        if (callback) callback(succeeded, error);
    });
    return true;
}

} // namespace svc
