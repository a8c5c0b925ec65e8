#include "sdk/rurorad/events/ZEVRuroradPredefinedEvent.hpp"

#include "sdk/rurorad/events/ZEVRuroradPredefinedEvents.hpp"

#include <cmath>
#include <limits>

namespace {

bool isNumber(const ns::PropertyList& value) {
    using Type = ns::PropertyList::Type;
    return value.type() == Type::integer || value.type() == Type::real || value.type() == Type::boolean;
}

ns::PropertyList text(const ZEVText& value) {
    return value ? ns::PropertyList(*value) : ns::PropertyList();
}

// The number's text as the platform prints it: integers in decimal, booleans as 1 or 0, reals in
// their shortest form.
std::string numberText(const ns::PropertyList& value) {
    if (auto b = value.boolValue()) return *b ? "1" : "0";
    if (auto i = value.integerValue()) return std::to_string(*i);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.17g", *value.realValue());
    return buffer;
}

} // namespace

ZEVRuroradPredefinedEvent::ZEVRuroradPredefinedEvent(
    const std::string& predefinedEventType, const std::optional<ZEVRuroradAttributeEntries>& customAttributes)
    : ZEVRuroradEvent("predefined", metadataNaming("predefined_type", predefinedEventType),
                      customAttributes) {}

void ZEVRuroradPredefinedEvent::addPredefinedAttribute(const ns::PropertyList& value,
                                                       const std::string& key) {
    addAttributeForKey(value, ns::PropertyList(key), mutablePredefinedAttributes());
}

void ZEVRuroradPredefinedEvent::addPredefinedNumber(const ns::PropertyList& value, const std::string& key) {
    if (isNumber(value)) addPredefinedAttribute(value, key);
}

void ZEVRuroradPredefinedEvent::addPredefinedString(const ns::PropertyList& value, const std::string& key) {
    if (value.stringValue()) {
        addPredefinedAttribute(value, key);
    } else if (isNumber(value)) {
        addPredefinedAttribute(ns::PropertyList(numberText(value)), key);
    }
}

ns::PropertyList ZEVRuroradPredefinedEvent::serializeSuccess(const ns::PropertyList& success) {
    if (!isNumber(success)) return {};
    bool truth = false;
    if (auto b = success.boolValue()) truth = *b;
    if (auto i = success.integerValue()) truth = *i != 0;
    if (auto r = success.realValue()) truth = *r != 0.0;
    return ns::PropertyList(truth ? "true" : "false");
}

ns::PropertyList
ZEVRuroradPredefinedEvent::serializePriceToMicros(const std::optional<ns::DecimalNumber>& price) {
    if (!price) return {};
    auto micros = price->multiplying(ns::DecimalNumber(1000000));
    return micros ? micros->propertyListValue() : ns::PropertyList();
}

ns::PropertyList ZEVRuroradPredefinedEvent::serializeNSNumberAsInteger(const ns::PropertyList& number) {
    if (auto b = number.boolValue()) return ns::PropertyList(std::int64_t(*b ? 1 : 0));
    if (auto i = number.integerValue()) return ns::PropertyList(*i);
    if (auto r = number.realValue()) {
        // Fraction dropped toward zero; values beyond 64 bits (and NaN) are held at the range's ends.
        const double truncated = std::trunc(*r);
        if (std::isnan(truncated)) return ns::PropertyList(std::int64_t{0});
        if (truncated >= 9.2233720368547758e18)
            return ns::PropertyList(std::numeric_limits<std::int64_t>::max());
        if (truncated <= -9.2233720368547758e18)
            return ns::PropertyList(std::numeric_limits<std::int64_t>::min());
        return ns::PropertyList(static_cast<std::int64_t>(truncated));
    }
    return {};
}

std::string ZEVRuroradPredefinedEvent::description() const {
    return className() + " { " + ns::PropertyList(predefinedAttributes()).debugDescription() +
           " customAttributes=" + ns::PropertyList(customAttributes()).debugDescription() + "}";
}

// --- The twelve kinds ------------------------------------------------------------------------------

ZEVRuroradSignUpEvent::ZEVRuroradSignUpEvent(const ZEVText& signupMethod, const ZEVNumber& success,
                                             const ZEVCustomAttributes& customAttributes)
    : ZEVRuroradPredefinedEvent("sign_up", customAttributes) {
    addPredefinedString(serializeSuccess(success), "success");
    addPredefinedString(text(signupMethod), "method");
}

ZEVRuroradLoginEvent::ZEVRuroradLoginEvent(const ZEVText& loginMethod, const ZEVNumber& success,
                                           const ZEVCustomAttributes& customAttributes)
    : ZEVRuroradPredefinedEvent("login", customAttributes) {
    addPredefinedString(serializeSuccess(success), "success");
    addPredefinedString(text(loginMethod), "method");
}

ZEVRuroradShareEvent::ZEVRuroradShareEvent(const ZEVText& shareMethod, const ZEVText& contentName,
                                           const ZEVText& contentType, const ZEVText& contentId,
                                           const ZEVCustomAttributes& customAttributes)
    : ZEVRuroradPredefinedEvent("share", customAttributes) {
    addPredefinedString(text(shareMethod), "method");
    addPredefinedString(text(contentName), "content_name");
    addPredefinedString(text(contentType), "content_type");
    addPredefinedString(text(contentId), "content_id");
}

ZEVRuroradInviteEvent::ZEVRuroradInviteEvent(const ZEVText& inviteMethod,
                                             const ZEVCustomAttributes& customAttributes)
    : ZEVRuroradPredefinedEvent("invite", customAttributes) {
    addPredefinedString(text(inviteMethod), "method");
}

ZEVRuroradPurchaseEvent::ZEVRuroradPurchaseEvent(const ZEVPrice& price, const ZEVText& currency,
                                                 const ZEVNumber& success, const ZEVText& itemName,
                                                 const ZEVText& itemId, const ZEVText& itemType,
                                                 const ZEVCustomAttributes& customAttributes)
    : ZEVRuroradPredefinedEvent("purchase", customAttributes) {
    addPredefinedNumber(serializePriceToMicros(price), "item_price");
    addPredefinedString(text(currency), "currency");
    addPredefinedString(serializeSuccess(success), "success");
    addPredefinedString(text(itemName), "item_name");
    addPredefinedString(text(itemId), "item_id");
    addPredefinedString(text(itemType), "item_type");
}

ZEVRuroradLevelStartEvent::ZEVRuroradLevelStartEvent(const ZEVText& levelName,
                                                     const ZEVCustomAttributes& customAttributes)
    : ZEVRuroradPredefinedEvent("level_start", customAttributes) {
    addPredefinedString(text(levelName), "level_name");
}

ZEVRuroradLevelEndEvent::ZEVRuroradLevelEndEvent(const ZEVText& levelName, const ZEVNumber& score,
                                                 const ZEVNumber& success,
                                                 const ZEVCustomAttributes& customAttributes)
    : ZEVRuroradPredefinedEvent("level_end", customAttributes) {
    addPredefinedString(text(levelName), "level_name");
    addPredefinedNumber(score, "score");
    addPredefinedString(serializeSuccess(success), "success");
}

ZEVRuroradAddToCartEvent::ZEVRuroradAddToCartEvent(const ZEVPrice& price, const ZEVText& currency,
                                                   const ZEVText& itemName, const ZEVText& itemType,
                                                   const ZEVText& itemId,
                                                   const ZEVCustomAttributes& customAttributes)
    : ZEVRuroradPredefinedEvent("add_to_cart", customAttributes) {
    addPredefinedNumber(serializePriceToMicros(price), "item_price");
    addPredefinedString(text(currency), "currency");
    addPredefinedString(text(itemName), "item_name");
    addPredefinedString(text(itemType), "item_type");
    addPredefinedString(text(itemId), "item_id");
}

ZEVRuroradStartCheckoutEvent::ZEVRuroradStartCheckoutEvent(const ZEVPrice& price, const ZEVText& currency,
                                                           const ZEVNumber& itemCount,
                                                           const ZEVCustomAttributes& customAttributes)
    : ZEVRuroradPredefinedEvent("start_checkout", customAttributes) {
    addPredefinedNumber(serializePriceToMicros(price), "total_price");
    addPredefinedString(text(currency), "currency");
    addPredefinedNumber(serializeNSNumberAsInteger(itemCount), "item_count");
}

ZEVRuroradRateEvent::ZEVRuroradRateEvent(const ZEVNumber& rating, const ZEVText& contentName,
                                         const ZEVText& contentType, const ZEVText& contentId,
                                         const ZEVCustomAttributes& customAttributes)
    : ZEVRuroradPredefinedEvent("rating", customAttributes) {
    addPredefinedNumber(serializeNSNumberAsInteger(rating), "rating");
    addPredefinedString(text(contentName), "content_name");
    addPredefinedString(text(contentType), "content_type");
    addPredefinedString(text(contentId), "content_id");
}

ZEVRuroradContentViewEvent::ZEVRuroradContentViewEvent(const ZEVText& contentName, const ZEVText& contentType,
                                                       const ZEVText& contentId,
                                                       const ZEVCustomAttributes& customAttributes)
    : ZEVRuroradPredefinedEvent("content_view", customAttributes) {
    addPredefinedString(text(contentName), "content_name");
    addPredefinedString(text(contentType), "content_type");
    addPredefinedString(text(contentId), "content_id");
}

ZEVRuroradSearchEvent::ZEVRuroradSearchEvent(const ZEVText& query,
                                             const ZEVCustomAttributes& customAttributes)
    : ZEVRuroradPredefinedEvent("search", customAttributes) {
    addPredefinedString(text(query), "query");
}
