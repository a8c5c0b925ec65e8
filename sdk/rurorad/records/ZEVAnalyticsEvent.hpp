#pragma once
// An analytics record: an event-log record whose payload is the compact JSON of its payload values plus
// "eventId" (the event's identifier), keys in the order they were set. The kit's events become records
// of priority 2 with the event's key and payload dictionary; the SDK's own kinds (application life cycle,
// view appearances) are the subclasses in this folder.
//
// Failure contract: making a record answers nullptr, after the debug line "ZEVAnalyticsEvent unable to
// JSON-encode payloadValueDictionary {error: ...}", when the values hold something JSON cannot (a date,
// data, a number that is not finite). Immutable; shared between threads by shared_ptr.
#include "sdk/rurorad/ZEVEventLog/ZEVEventLogEvent.hpp"
#include "sdk/rurorad/events/ZEVRuroradEvent.hpp"
#include "sdk/rurorad/records/JSON.hpp"

#include <memory>
#include <string>
#include <string_view>

class ZEVAnalyticsEvent : public ZEVEventLogEvent {
  public:
    using Ptr = std::shared_ptr<const ZEVAnalyticsEvent>;

    static Ptr initWithPriority(std::uint64_t priority, std::uint64_t timestamp, std::string key,
                                std::string eventIdentifier, ZEVRuroradAttributes payloadValues = {});
    static Ptr initWithRuroradEvent(const ZEVRuroradEvent& event, std::uint64_t timestamp,
                                    std::string eventIdentifier);
    // The payload of the record initWithRuroradEvent makes, appended to `out` without making the record
    // or the event's payload dictionary: the engine's road for the kit's events. False, after the same
    // debug line and with `out` as it was, where that record is nothing.
    static bool appendRuroradPayload(std::string& out, const ZEVRuroradEvent& event,
                                     std::string_view eventIdentifier);
    // The same bytes for a custom event given by its parts: the name already cut, the attributes
    // already filtered (ZEVRuroradEvent::filterCustomAttributes or borrowPlainAttributes), so no event
    // need be made.
    static bool appendCustomPayload(std::string& out, std::string_view cutName,
                                    rurorad::JSONMemberRefs customAttributes,
                                    std::string_view eventIdentifier);

    const std::string& eventIdentifier() const { return eventIdentifier_; }
    const ZEVRuroradAttributes& stringPayloadValueDict() const { return stringPayloadValueDict_; }
    virtual std::string className() const { return "ZEVAnalyticsEvent"; }
    // "<class> {id=<identifier>, key=<key>, stringPayloadValueDict=<values>}"
    std::string description() const;

  protected:
    // The JSON payload, or nothing (logged) when the values cannot be written.
    static std::optional<std::string> payloadJSON(const ZEVRuroradAttributes& payloadValues,
                                                  const std::string& eventIdentifier);
    ZEVAnalyticsEvent(std::uint64_t priority, std::uint64_t timestamp, std::string key, std::string payload,
                      std::string eventIdentifier, ZEVRuroradAttributes payloadValues);

  private:
    std::string eventIdentifier_;
    ZEVRuroradAttributes stringPayloadValueDict_;
};
