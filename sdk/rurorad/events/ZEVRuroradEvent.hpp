#pragma once
// The event objects the app's log calls build: a key ("custom" or "predefined"), a small metadata
// dictionary naming the type ("custom_type" or "predefined_type"), the typed attributes the predefined
// kinds add, and the app's own attributes. Attributes are validated here, so what reaches the engine is
// a flat dictionary of strings and numbers:
//  - an entry whose key or value is absent (null) is skipped silently;
//  - a dictionary holding 21 entries takes no more ("Maximum number of Event attributes exceeded...");
//  - keys must be strings, values strings or numbers (booleans count as numbers), each refusal logged;
//  - strings longer than 100 UTF-16 units are cut (never inside a character) and the cut is logged;
//  - a later entry with the same (cut) key replaces the earlier one in place.
// The app's attributes are taken in the order it lists them, so that order decides which survive.
//
// Failure contract: nothing fails; refused entries are dropped with an always-printed line. Immutable
// once built (the typed constructors finish the predefined attributes), so events may cross threads.
#include "platform/foundation/PropertyList.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// What the app hands: entries in its own order, keys and values of any property-list kind.
using ZEVRuroradAttributeEntries = std::vector<std::pair<ns::PropertyList, ns::PropertyList>>;
using ZEVRuroradAttributes = ns::PropertyList::Dictionary;
// An attribute that passed the filter, borrowed from the app's entries: its key and its value.
using ZEVRuroradAttributeRef = std::pair<std::string_view, const ns::PropertyList*>;

class ZEVRuroradEvent {
  public:
    static constexpr std::size_t maximumAttributeCount = 21;
    static constexpr std::size_t maximumAttributeLength = 100;

    ZEVRuroradEvent(std::string key, ZEVRuroradAttributes metadata,
                    const std::optional<ZEVRuroradAttributeEntries>& customAttributes);
    ZEVRuroradEvent(const ZEVRuroradEvent&) = default;
    ZEVRuroradEvent(ZEVRuroradEvent&&) noexcept = default;
    ZEVRuroradEvent& operator=(const ZEVRuroradEvent&) = default;
    ZEVRuroradEvent& operator=(ZEVRuroradEvent&&) noexcept = default;
    virtual ~ZEVRuroradEvent() = default;

    const std::string& key() const { return key_; }
    const ZEVRuroradAttributes& customAttributes() const { return customAttributes_; }
    const ZEVRuroradAttributes& predefinedAttributes() const { return predefinedAttributes_; }
    const ZEVRuroradAttributes& metadata() const { return metadata_; }

    // The metadata plus "predefined_attributes" and "custom_attributes".
    ZEVRuroradAttributes payloadDictionary() const;
    virtual std::string className() const { return "ZEVRuroradEvent"; }
    virtual std::string description() const;

    static ZEVRuroradAttributes
    filterCustomAttributes(const std::optional<ZEVRuroradAttributeEntries>& attributes);
    // The same into `filtered`, emptied first (a caller may keep one dictionary's room across events).
    static void filterCustomAttributes(const std::optional<ZEVRuroradAttributeEntries>& attributes,
                                       ZEVRuroradAttributes& filtered);
    // The filter's result borrowed from `attributes` instead of copied, when filtering would change and
    // log nothing: keys distinct ASCII strings, values numbers or ASCII strings, no text over the length
    // limit, no more entries than the count limit (absent ones are skipped as usual). False otherwise,
    // with `kept` unspecified: the caller then filters into a dictionary.
    static bool borrowPlainAttributes(const std::optional<ZEVRuroradAttributeEntries>& attributes,
                                      std::vector<ZEVRuroradAttributeRef>& kept);
    static void addAttributeForKey(const ns::PropertyList& value, const ns::PropertyList& key,
                                   ZEVRuroradAttributes& dictionary);
    static bool validAttributeValue(const ns::PropertyList& value);
    // Whether a text certainly passes the cut unchanged (ASCII within the length limit).
    static bool keptWhole(std::string_view text);
    // The 100-unit cut, logged when it drops anything.
    static std::string truncateAttribute(std::string_view text);

  protected:
    ZEVRuroradAttributes& mutablePredefinedAttributes() { return predefinedAttributes_; }
    // The one-entry metadata dictionary of an event type.
    static ZEVRuroradAttributes metadataNaming(std::string typeKey, std::string type);

  private:
    std::string key_;
    ZEVRuroradAttributes customAttributes_;
    ZEVRuroradAttributes predefinedAttributes_;
    ZEVRuroradAttributes metadata_;
};

// A custom event: key "custom", metadata {"custom_type": the name cut to 100 units}.
class ZEVRuroradCustomEvent final : public ZEVRuroradEvent {
  public:
    static constexpr std::string_view eventKey = "custom";
    static constexpr std::string_view typeKey = "custom_type";

    // Nothing without a name.
    static std::optional<ZEVRuroradCustomEvent>
    initWithName(const std::optional<std::string>& name,
                 const std::optional<ZEVRuroradAttributeEntries>& customAttributes = std::nullopt);

    std::string className() const override { return "ZEVRuroradCustomEvent"; }
    std::string description() const override;

  private:
    ZEVRuroradCustomEvent(const std::string& name,
                          const std::optional<ZEVRuroradAttributeEntries>& customAttributes);
};
