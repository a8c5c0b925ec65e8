#pragma once
// The hosted backend (Parse-style): configuration, object queries, object saves and the installation.
//
// Every call returns at once; the outcome arrives later through the callback, which is delivered with
// svc::deliverCallback (the main queue in the app). Exactly one callback per call.
//
// Failure contract: failures arrive only as the callback's error (domain backendErrorDomain for errors
// of the client itself); a find answers either a list (possibly empty) or an error; a save answers
// success with no error, or false with an error. Nothing throws.
#include "platform/foundation/Error.hpp"
#include "platform/services/BackendObject.hpp"
#include "platform/services/BackendQuery.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace svc {

inline constexpr const char* backendErrorDomain = "VelomarinthBackendErrorDomain";

enum class BackendErrorCode : long {
    notConfigured = 1, // used before initialize(), or with an incomplete configuration
    network = 2,       // the server could not be reached
    server = 3,        // the server answered with an error
    badResponse = 4,   // the answer could not be understood
};

struct BackendConfiguration {
    std::string applicationId;
    std::string clientKey;
    std::string server; // the endpoint address
};

using FindObjectsCallback =
    std::function<void(std::optional<std::vector<BackendObject>> objects, std::optional<ns::Error> error)>;
using SaveCallback = std::function<void(bool succeeded, std::optional<ns::Error> error)>;

class BackendClient {
  public:
    virtual ~BackendClient() = default;

    // Called once at start-up, before any other call.
    virtual void initialize(BackendConfiguration configuration) = 0;

    virtual void findObjectsInBackground(const BackendQuery& query, FindObjectsCallback callback) = 0;
    virtual void saveInBackground(const BackendObject& object, SaveCallback callback) = 0;

    // This device's installation object, or nothing when the client cannot make one (then nothing is
    // saved). Saving it goes through saveInstallationInBackground.
    virtual std::optional<BackendObject> currentInstallation() = 0;
    virtual void saveInstallationInBackground(const BackendObject& installation, SaveCallback callback) = 0;
};

// The client the app uses. Until one is set it is an offline client whose every call fails with
// BackendErrorCode::notConfigured (delivered through the callback executor). The setter installs
// `client` (nullptr: the offline one) and answers the one it replaces.
std::shared_ptr<BackendClient> sharedBackendClient();
std::shared_ptr<BackendClient> setSharedBackendClient(std::shared_ptr<BackendClient> client);

} // namespace svc
