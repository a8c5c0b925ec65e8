#pragma once
// The facts that describe one session, collected once per launch as an ordered dictionary and as
// compact JSON: the "metadata" line at the top of every log file, and the last-session metadata kept
// for reporting this launch's crash later. Keys in this order, absent values left out:
//
//   generator ("Rurorad iOS SDK/1.0.0"), links_ad_support, advertising_tracking_enabled, advertising_id,
//   api_key, session_id, started_at (creation ms / 1000), vendor_id, install_id, beta_tester_token,
//   model, machine (the same text), locale, os_build, os_version, platform ("iOS"), platform_code (1),
//   cores, bundle_id, bundle_version, bundle_short_version, instance_id
//
// The advertising-identifier manager is found at run time in the class registry (its class and message
// names are put together from pieces, so nothing links or names it outright); without it both
// advertising flags are false and there is no identifier. There is no vendor identifier on this
// platform, so "vendor_id" is always left out. Creating the controller hands the advertising identifier
// (or nothing) to the SDK, which sends it with settings requests.
//
// Failure contract: creation answers nullptr, after the debug line "Unable to JSON-encode metadata
// {error: ...}", only when the facts cannot be written as JSON; bytes that are not UTF-8 are written as
// U+FFFD rather than failing. Immutable afterwards.
#include "sdk/rurorad/RuroradVersion.hpp"
#include "sdk/rurorad/engine/ZEVAnalyticsHost.hpp"
#include "sdk/rurorad/records/JSON.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class ZEVAnalyticsMetadataController {
  public:
    static constexpr const char* generator = rurorad::kKitAgent.text;

    static std::shared_ptr<const ZEVAnalyticsMetadataController>
    initWithTimeStamp(std::uint64_t timestamp, const std::optional<std::string>& betaToken,
                      const ZEVAnalyticsHost& host);

    const rurorad::JSONObject& metadata() const { return metadata_; }
    const std::string& metadataJSONData() const { return metadataJSONData_; }

    static rurorad::JSONObject metadataWithTimeStamp(std::uint64_t timestamp,
                                                     const std::optional<std::string>& betaToken,
                                                     const std::optional<std::string>& adToken,
                                                     const ZEVAnalyticsHost& host);
    // The metadata JSON of another session of this installation, one analytics never recorded (a launch
    // that crashed before its analytics started): this launch's facts under `sessionIdentifier`, started
    // at `timestamp`. Nothing when it cannot be written as JSON; hands nothing to the SDK.
    static std::optional<std::string> metadataJSONDataForSession(const std::string& sessionIdentifier,
                                                                 std::uint64_t timestamp,
                                                                 const std::optional<std::string>& betaToken,
                                                                 const ZEVAnalyticsHost& host);
    // "2:<text>" gives <text>; anything else nothing.
    static std::optional<std::string> unwrapBetaToken(const std::optional<std::string>& betaToken);

    static bool advertisingSupportFrameworkLinked(const rt::ClassRegistry* registry);
    static bool trackingForAdvertisingEnabled(const rt::ClassRegistry* registry);
    static std::optional<std::string> identifierForAdvertising(const rt::ClassRegistry* registry);

  private:
    ZEVAnalyticsMetadataController(rurorad::JSONObject metadata, std::string json)
        : metadata_(std::move(metadata)), metadataJSONData_(std::move(json)) {}

    rurorad::JSONObject metadata_;
    std::string metadataJSONData_;
};
