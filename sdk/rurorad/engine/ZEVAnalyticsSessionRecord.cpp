#include "sdk/rurorad/engine/ZEVAnalyticsSessionRecord.hpp"

std::optional<ZEVAnalyticsSessionRecord> ZEVAnalyticsSessionRecord::read(ZEVUserDefaults& defaults) {
    auto identifier = defaults.objectForKey(identifierKey);
    auto timestamp = defaults.objectForKey(timestampKey);
    auto metadata = defaults.objectForKey(metadataKey);
    if (!identifier || !identifier->stringValue() || !timestamp || !timestamp->integerValue() || !metadata ||
        !metadata->dataValue())
        return std::nullopt;
    return ZEVAnalyticsSessionRecord{
        *identifier->stringValue(), static_cast<std::uint64_t>(*timestamp->integerValue()),
        std::string(metadata->dataValue()->begin(), metadata->dataValue()->end())};
}

void ZEVAnalyticsSessionRecord::save(ZEVUserDefaults& defaults) const {
    defaults.setObject(ns::PropertyList(identifier), identifierKey);
    defaults.setObject(ns::PropertyList(static_cast<std::int64_t>(timestamp)), timestampKey);
    defaults.setObject(
        ns::PropertyList(ns::PropertyList::Data(metadataJSONData.begin(), metadataJSONData.end())),
        metadataKey);
    defaults.synchronize();
}
