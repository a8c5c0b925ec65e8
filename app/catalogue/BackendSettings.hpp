#pragma once
// The hosted backend's application id, client key and server address compiled into the app. Each can
// be replaced for one run by an environment variable (tests point the app at a local server):
// VELOMARINTH_BACKEND_APP_ID, VELOMARINTH_BACKEND_CLIENT_KEY, VELOMARINTH_BACKEND_SERVER.
//
// Failure contract: none; an empty variable counts as unset.
#include "platform/services/BackendClient.hpp"

namespace backend {

inline constexpr const char* applicationId = "VeLoMaRiNtH0aPpLiCaTiOn0iD0000000000000a";
inline constexpr const char* clientKey = "VeLoMaRiNtH0cLiEnT0kEy00000000000000000b";
inline constexpr const char* server = "https://backend.velomarinth.invalid/parse";

// The configuration the start-up hands to the backend client.
svc::BackendConfiguration configuration();

} // namespace backend
