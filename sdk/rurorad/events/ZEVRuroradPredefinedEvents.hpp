#pragma once
// The twelve predefined event kinds. Each constructor sets its "predefined_type" and adds its
// attributes in the order listed (strings through addPredefinedString, numbers through
// addPredefinedNumber); an absent argument leaves its attribute out.
//
// Failure contract: as ZEVRuroradPredefinedEvent.
#include "sdk/rurorad/events/ZEVRuroradPredefinedEvent.hpp"

using ZEVText = std::optional<std::string>;
using ZEVNumber = ns::PropertyList; // null: absent
using ZEVPrice = std::optional<ns::DecimalNumber>;
using ZEVCustomAttributes = std::optional<ZEVRuroradAttributeEntries>;

// "sign_up": "success", "method".
class ZEVRuroradSignUpEvent final : public ZEVRuroradPredefinedEvent {
  public:
    ZEVRuroradSignUpEvent(const ZEVText& signupMethod, const ZEVNumber& success,
                          const ZEVCustomAttributes& customAttributes);
    std::string className() const override { return "ZEVRuroradSignUpEvent"; }
};

// "login": "success", "method".
class ZEVRuroradLoginEvent final : public ZEVRuroradPredefinedEvent {
  public:
    ZEVRuroradLoginEvent(const ZEVText& loginMethod, const ZEVNumber& success,
                         const ZEVCustomAttributes& customAttributes);
    std::string className() const override { return "ZEVRuroradLoginEvent"; }
};

// "share": "method", "content_name", "content_type", "content_id".
class ZEVRuroradShareEvent final : public ZEVRuroradPredefinedEvent {
  public:
    ZEVRuroradShareEvent(const ZEVText& shareMethod, const ZEVText& contentName, const ZEVText& contentType,
                         const ZEVText& contentId, const ZEVCustomAttributes& customAttributes);
    std::string className() const override { return "ZEVRuroradShareEvent"; }
};

// "invite": "method".
class ZEVRuroradInviteEvent final : public ZEVRuroradPredefinedEvent {
  public:
    ZEVRuroradInviteEvent(const ZEVText& inviteMethod, const ZEVCustomAttributes& customAttributes);
    std::string className() const override { return "ZEVRuroradInviteEvent"; }
};

// "purchase": "item_price" (micros), "currency", "success", "item_name", "item_id", "item_type".
class ZEVRuroradPurchaseEvent final : public ZEVRuroradPredefinedEvent {
  public:
    ZEVRuroradPurchaseEvent(const ZEVPrice& price, const ZEVText& currency, const ZEVNumber& success,
                            const ZEVText& itemName, const ZEVText& itemId, const ZEVText& itemType,
                            const ZEVCustomAttributes& customAttributes);
    std::string className() const override { return "ZEVRuroradPurchaseEvent"; }
};

// "level_start": "level_name".
class ZEVRuroradLevelStartEvent final : public ZEVRuroradPredefinedEvent {
  public:
    ZEVRuroradLevelStartEvent(const ZEVText& levelName, const ZEVCustomAttributes& customAttributes);
    std::string className() const override { return "ZEVRuroradLevelStartEvent"; }
};

// "level_end": "level_name", "score" (as given), "success".
class ZEVRuroradLevelEndEvent final : public ZEVRuroradPredefinedEvent {
  public:
    ZEVRuroradLevelEndEvent(const ZEVText& levelName, const ZEVNumber& score, const ZEVNumber& success,
                            const ZEVCustomAttributes& customAttributes);
    std::string className() const override { return "ZEVRuroradLevelEndEvent"; }
};

// "add_to_cart": "item_price" (micros), "currency", "item_name", "item_type", "item_id".
class ZEVRuroradAddToCartEvent final : public ZEVRuroradPredefinedEvent {
  public:
    ZEVRuroradAddToCartEvent(const ZEVPrice& price, const ZEVText& currency, const ZEVText& itemName,
                             const ZEVText& itemType, const ZEVText& itemId,
                             const ZEVCustomAttributes& customAttributes);
    std::string className() const override { return "ZEVRuroradAddToCartEvent"; }
};

// "start_checkout": "total_price" (micros), "currency", "item_count" (integer).
class ZEVRuroradStartCheckoutEvent final : public ZEVRuroradPredefinedEvent {
  public:
    ZEVRuroradStartCheckoutEvent(const ZEVPrice& price, const ZEVText& currency, const ZEVNumber& itemCount,
                                 const ZEVCustomAttributes& customAttributes);
    std::string className() const override { return "ZEVRuroradStartCheckoutEvent"; }
};

// "rating": "rating" (integer), "content_name", "content_type", "content_id".
class ZEVRuroradRateEvent final : public ZEVRuroradPredefinedEvent {
  public:
    ZEVRuroradRateEvent(const ZEVNumber& rating, const ZEVText& contentName, const ZEVText& contentType,
                        const ZEVText& contentId, const ZEVCustomAttributes& customAttributes);
    std::string className() const override { return "ZEVRuroradRateEvent"; }
};

// "content_view": "content_name", "content_type", "content_id".
class ZEVRuroradContentViewEvent final : public ZEVRuroradPredefinedEvent {
  public:
    ZEVRuroradContentViewEvent(const ZEVText& contentName, const ZEVText& contentType,
                               const ZEVText& contentId, const ZEVCustomAttributes& customAttributes);
    std::string className() const override { return "ZEVRuroradContentViewEvent"; }
};

// "search": "query".
class ZEVRuroradSearchEvent final : public ZEVRuroradPredefinedEvent {
  public:
    ZEVRuroradSearchEvent(const ZEVText& query, const ZEVCustomAttributes& customAttributes);
    std::string className() const override { return "ZEVRuroradSearchEvent"; }
};
