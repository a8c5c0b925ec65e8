#pragma once
// What a launch leaves in ZEVUserDefaults about its analytics session, so that the next launch can write
// a crash into that session: the session identifier, its timestamp (ms since 1970) and its metadata JSON.
//
// Failure contract: read() answers nothing unless all three values are stored, each of its kind (a string,
// a number, data). save() writes the three and synchronizes the store.
#include "sdk/zovaze/settings/ZEVUserDefaults.hpp"

#include <cstdint>
#include <optional>
#include <string>

struct ZEVAnalyticsSessionRecord {
    static constexpr const char* identifierKey = "com.zevuzavidav.insights.lastsessionidentifier";
    static constexpr const char* timestampKey = "com.zevuzavidav.insights.lastsessiontimestamp";
    static constexpr const char* metadataKey = "com.zevuzavidav.insights.lastsessionmetadata";

    std::string identifier;
    std::uint64_t timestamp = 0;
    std::string metadataJSONData;

    static std::optional<ZEVAnalyticsSessionRecord> read(ZEVUserDefaults& defaults);
    void save(ZEVUserDefaults& defaults) const;
};
