#include "sdk/rurorad/events/ZEVRuroradEvent.hpp"

#include "platform/foundation/Text.hpp"
#include "sdk/rurorad/ZEVRuroradLog.hpp"
#include "sdk/rurorad/events/Text.hpp"

#include <algorithm>

namespace {

std::string describe(const ZEVRuroradAttributes& attributes) {
    return ns::PropertyList(attributes).debugDescription();
}

// An entry as the log lines show it: text as it is, anything else in its short description.
std::string describe(const ns::PropertyList& value) {
    if (const std::string* text = value.stringValue()) return *text;
    return value.debugDescription();
}

bool isNumber(const ns::PropertyList& value) {
    using Type = ns::PropertyList::Type;
    return value.type() == Type::integer || value.type() == Type::real || value.type() == Type::boolean;
}

} // namespace

ZEVRuroradEvent::ZEVRuroradEvent(std::string key, ZEVRuroradAttributes metadata,
                                 const std::optional<ZEVRuroradAttributeEntries>& customAttributes)
    : key_(std::move(key)), customAttributes_(filterCustomAttributes(customAttributes)),
      metadata_(std::move(metadata)) {}

ZEVRuroradAttributes ZEVRuroradEvent::payloadDictionary() const {
    ZEVRuroradAttributes payload = metadata_;
    payload.set("predefined_attributes", predefinedAttributes_);
    payload.set("custom_attributes", customAttributes_);
    return payload;
}

ZEVRuroradAttributes ZEVRuroradEvent::metadataNaming(std::string typeKey, std::string type) {
    ZEVRuroradAttributes metadata;
    metadata.set(std::move(typeKey), std::move(type));
    return metadata;
}

std::string ZEVRuroradEvent::description() const {
    return className() + " { " + describe(payloadDictionary()) + " }";
}

ZEVRuroradAttributes
ZEVRuroradEvent::filterCustomAttributes(const std::optional<ZEVRuroradAttributeEntries>& attributes) {
    ZEVRuroradAttributes filtered;
    filterCustomAttributes(attributes, filtered);
    return filtered;
}

void ZEVRuroradEvent::filterCustomAttributes(const std::optional<ZEVRuroradAttributeEntries>& attributes,
                                             ZEVRuroradAttributes& filtered) {
    filtered.clear();
    if (!attributes) return;
    filtered.reserve(std::min(attributes->size(), maximumAttributeCount));
    for (const auto& [key, value] : *attributes)
        addAttributeForKey(value, key, filtered);
}

bool ZEVRuroradEvent::borrowPlainAttributes(const std::optional<ZEVRuroradAttributeEntries>& attributes,
                                            std::vector<ZEVRuroradAttributeRef>& kept) {
    kept.clear();
    if (!attributes) return true;
    for (const auto& [key, value] : *attributes) {
        if (key.isNull() || value.isNull()) continue;
        const std::string* name = key.stringValue();
        if (!name || !keptWhole(*name) || !validAttributeValue(value) || kept.size() >= maximumAttributeCount)
            return false;
        if (const std::string* text = value.stringValue(); text && !keptWhole(*text)) return false;
        for (const auto& earlier : kept)
            if (earlier.first == *name) return false;
        kept.emplace_back(*name, &value);
    }
    return true;
}

bool ZEVRuroradEvent::keptWhole(std::string_view text) {
    return text.size() <= maximumAttributeLength && ns::isAscii(text);
}

bool ZEVRuroradEvent::validAttributeValue(const ns::PropertyList& value) {
    return value.stringValue() != nullptr || isNumber(value);
}

std::string ZEVRuroradEvent::truncateAttribute(std::string_view text) {
    bool cut = false;
    std::string result = rurorad::truncateUTF16(text, maximumAttributeLength, cut);
    if (cut) {
        ZEVRuroradLog("Maximum length for an Event attributes exceeded. Truncating to " +
                      std::to_string(maximumAttributeLength) + " characters.");
    }
    return result;
}

void ZEVRuroradEvent::addAttributeForKey(const ns::PropertyList& value, const ns::PropertyList& key,
                                         ZEVRuroradAttributes& dictionary) {
    if (key.isNull() || value.isNull()) return;
    if (dictionary.size() >= maximumAttributeCount) {
        ZEVRuroradLog("Maximum number of Event attributes exceeded. Ignoring attribute");
        return;
    }
    if (!key.stringValue()) {
        ZEVRuroradLog("Event attribute keys must be of type NSString. Ignoring entry " + describe(key) + ":" +
                      describe(value));
        return;
    }
    if (!validAttributeValue(value)) {
        ZEVRuroradLog("Event attribute values must be of type NSString or NSNumber. Ignoring entry " +
                      describe(key) + ":" + describe(value));
        return;
    }
    std::string cutKey = truncateAttribute(*key.stringValue());
    if (const std::string* text = value.stringValue()) {
        dictionary.set(std::move(cutKey), truncateAttribute(*text));
    } else {
        dictionary.set(std::move(cutKey), value);
    }
}

std::optional<ZEVRuroradCustomEvent>
ZEVRuroradCustomEvent::initWithName(const std::optional<std::string>& name,
                                    const std::optional<ZEVRuroradAttributeEntries>& customAttributes) {
    if (!name) return std::nullopt;
    return ZEVRuroradCustomEvent(*name, customAttributes);
}

ZEVRuroradCustomEvent::ZEVRuroradCustomEvent(
    const std::string& name, const std::optional<ZEVRuroradAttributeEntries>& customAttributes)
    : ZEVRuroradEvent(std::string(eventKey), metadataNaming(std::string(typeKey), truncateAttribute(name)),
                      customAttributes) {}

std::string ZEVRuroradCustomEvent::description() const {
    return className() + " { " + describe(customAttributes()) + " }";
}
