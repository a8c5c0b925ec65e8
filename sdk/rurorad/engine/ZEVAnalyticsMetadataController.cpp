#include "sdk/rurorad/engine/ZEVAnalyticsMetadataController.hpp"

#include "sdk/rurorad/ZEVRuroradLog.hpp"
#include "sdk/zovaze/identity/ZOVDeviceFacts.hpp"
#include "sdk/zovaze/network/ZOVNetworkOperation.hpp"

#include <unistd.h>

#include <any>

namespace {

std::string joined(const char* a, const char* b, const char* c) {
    return std::string(a) + b + c;
}

// The advertising-identifier manager's shared instance, when its class is in the registry.
rt::ObjectRef advertisingManager(const rt::ClassRegistry* registry) {
    if (!registry) return nullptr;
    const rt::Class* managerClass = registry->lookUpClass(joined("ASIden", "tifier", "Manager"));
    const std::string accessor = joined("shar", "edMan", "ager");
    if (!managerClass || !managerClass->respondsToClassSelector(accessor)) return nullptr;
    std::any manager = managerClass->performClassSelector(accessor);
    if (auto* object = std::any_cast<rt::ObjectRef>(&manager)) return *object;
    return nullptr;
}

template <typename T>
void setIfPresent(rurorad::JSONObject& object, const char* key, const std::optional<T>& value) {
    if (value) object[key] = *value;
}

} // namespace

bool ZEVAnalyticsMetadataController::advertisingSupportFrameworkLinked(const rt::ClassRegistry* registry) {
    return advertisingManager(registry) != nullptr;
}

bool ZEVAnalyticsMetadataController::trackingForAdvertisingEnabled(const rt::ClassRegistry* registry) {
    rt::ObjectRef manager = advertisingManager(registry);
    const std::string query = joined("isAdvertis", "ingTracking", "Enabled");
    const std::string key = joined("advertis", "ingTracking", "Enabled");
    if (!manager || !manager->respondsToSelector(query) || !manager->respondsToSelector(key)) return false;
    std::any value = manager->perform(key);
    const bool* enabled = std::any_cast<bool>(&value);
    return enabled && *enabled;
}

std::optional<std::string>
ZEVAnalyticsMetadataController::identifierForAdvertising(const rt::ClassRegistry* registry) {
    if (!ZOVShouldReportDeviceIdentifiers() || !trackingForAdvertisingEnabled(registry)) return std::nullopt;
    rt::ObjectRef manager = advertisingManager(registry);
    const std::string accessor = joined("advertis", "ingIdenti", "fier");
    if (!manager || !manager->respondsToSelector(accessor)) return std::nullopt;
    std::any value = manager->perform(accessor);
    if (const auto* uuid = std::any_cast<std::string>(&value)) return *uuid;
    return std::nullopt;
}

std::optional<std::string>
ZEVAnalyticsMetadataController::unwrapBetaToken(const std::optional<std::string>& betaToken) {
    if (!betaToken) return std::nullopt;
    const auto colon = betaToken->find(':');
    if (colon == std::string::npos || betaToken->find(':', colon + 1) != std::string::npos)
        return std::nullopt;
    if (betaToken->substr(0, colon) != "2") return std::nullopt;
    return betaToken->substr(colon + 1);
}

rurorad::JSONObject ZEVAnalyticsMetadataController::metadataWithTimeStamp(
    std::uint64_t timestamp, const std::optional<std::string>& betaToken,
    const std::optional<std::string>& adToken, const ZEVAnalyticsHost& host) {
    auto call = [](const auto& reader) -> std::optional<std::string> {
        if (!reader) return std::nullopt;
        return reader();
    };
    rurorad::JSONObject metadata = rurorad::JSONObject::object();
    metadata["generator"] = generator;
    metadata["links_ad_support"] = advertisingSupportFrameworkLinked(host.registry);
    metadata["advertising_tracking_enabled"] = trackingForAdvertisingEnabled(host.registry);
    setIfPresent(metadata, "advertising_id", adToken);
    setIfPresent(metadata, "api_key", call(host.APIKey));
    setIfPresent(metadata, "session_id", call(host.executionIdentifier));
    metadata["started_at"] = static_cast<std::int64_t>(timestamp / 1000);
    setIfPresent(metadata, "install_id", call(host.installID));
    setIfPresent(metadata, "beta_tester_token", unwrapBetaToken(betaToken));
    const auto model = ZOVDeviceModel();
    setIfPresent(metadata, "model", model);
    setIfPresent(metadata, "machine", model);
    metadata["locale"] = ZOVNetworkOperation::localeIdentifier();
    setIfPresent(metadata, "os_build", ZOVOSBuildVersion());
    metadata["os_version"] = ZOVOSDisplayVersion();
    metadata["platform"] = "iOS";
    metadata["platform_code"] = 1;
    metadata["cores"] = static_cast<std::int64_t>(::sysconf(_SC_NPROCESSORS_CONF));
    setIfPresent(metadata, "bundle_id", ZOVEscapedBundleIdentifier());
    setIfPresent(metadata, "bundle_version", ZOVBundleVersion());
    setIfPresent(metadata, "bundle_short_version", ZOVBundleShortVersionString());
    setIfPresent(metadata, "instance_id", call(host.instanceIdentifier));
    return metadata;
}

std::optional<std::string> ZEVAnalyticsMetadataController::metadataJSONDataForSession(
    const std::string& sessionIdentifier, std::uint64_t timestamp,
    const std::optional<std::string>& betaToken, const ZEVAnalyticsHost& host) {
    ZEVAnalyticsHost session = host;
    session.executionIdentifier = [sessionIdentifier] { return sessionIdentifier; };
    try {
        return rurorad::jsonData(
            metadataWithTimeStamp(timestamp, betaToken, identifierForAdvertising(host.registry), session));
    } catch (const nlohmann::json::exception& error) {
        ZEVRuroradDebugLog(std::string("Unable to JSON-encode metadata {error: ") + error.what() + "}");
        return std::nullopt;
    }
}

std::shared_ptr<const ZEVAnalyticsMetadataController> ZEVAnalyticsMetadataController::initWithTimeStamp(
    std::uint64_t timestamp, const std::optional<std::string>& betaToken, const ZEVAnalyticsHost& host) {
    const auto adToken = identifierForAdvertising(host.registry);
    if (host.setAdvertisingToken) host.setAdvertisingToken(adToken);
    rurorad::JSONObject metadata = metadataWithTimeStamp(timestamp, betaToken, adToken, host);
    std::string json;
    try {
        json = rurorad::jsonData(metadata);
    } catch (const nlohmann::json::exception& error) {
        ZEVRuroradDebugLog(std::string("Unable to JSON-encode metadata {error: ") + error.what() + "}");
        return nullptr;
    }
    return std::shared_ptr<const ZEVAnalyticsMetadataController>(
        new ZEVAnalyticsMetadataController(std::move(metadata), std::move(json)));
}
