#include "app/catalogue/BackendSettings.hpp"

#include <cstdlib>

namespace backend {

namespace {
std::string fromEnvironment(const char* name, const char* compiled) {
    const char* value = std::getenv(name);
    return value && *value ? value : compiled;
}
} // namespace

svc::BackendConfiguration configuration() {
    svc::BackendConfiguration configuration;
    // The block order of the start-up: application id, then client key, then server.
    configuration.applicationId = fromEnvironment("VELOMARINTH_BACKEND_APP_ID", applicationId);
    configuration.clientKey = fromEnvironment("VELOMARINTH_BACKEND_CLIENT_KEY", clientKey);
    configuration.server = fromEnvironment("VELOMARINTH_BACKEND_SERVER", server);
    return configuration;
}

} // namespace backend
