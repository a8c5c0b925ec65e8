#pragma once
// A predefined event: key "predefined", metadata {"predefined_type": type}, and typed attributes that
// obey the same rules as the app's own (ZEVRuroradEvent.hpp). The twelve kinds the kit offers are in
// ZEVRuroradPredefinedEvents.hpp.
//
// Failure contract: nothing fails; an argument that is absent or of the wrong kind leaves its
// attribute out.
#include "platform/foundation/DecimalNumber.hpp"
#include "sdk/rurorad/events/ZEVRuroradEvent.hpp"

class ZEVRuroradPredefinedEvent : public ZEVRuroradEvent {
  public:
    ZEVRuroradPredefinedEvent(const std::string& predefinedEventType,
                              const std::optional<ZEVRuroradAttributeEntries>& customAttributes);

    // The validating adder.
    void addPredefinedAttribute(const ns::PropertyList& value, const std::string& key);
    // Only numbers (booleans included) go in.
    void addPredefinedNumber(const ns::PropertyList& value, const std::string& key);
    // Strings go in as they are, numbers as their decimal text; anything else is dropped.
    void addPredefinedString(const ns::PropertyList& value, const std::string& key);

    // "true" or "false" by the number's truth; nothing for nothing.
    static ns::PropertyList serializeSuccess(const ns::PropertyList& success);
    // price x 1000000 in exact decimal arithmetic; nothing for nothing (or a product too large).
    static ns::PropertyList serializePriceToMicros(const std::optional<ns::DecimalNumber>& price);
    // The number's signed integer value, fraction dropped; nothing for nothing.
    static ns::PropertyList serializeNSNumberAsInteger(const ns::PropertyList& number);

    std::string className() const override { return "ZEVRuroradPredefinedEvent"; }
    std::string description() const override;
};
