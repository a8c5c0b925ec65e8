#include "model/TargetHelper.hpp"

#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/Console.hpp"

TargetHelper& TargetHelper::shared() {
    static TargetHelper instance;
    return instance;
}

std::optional<std::string> TargetHelper::infoValue(std::string_view key) const {
    const ns::PropertyList* value = ns::Bundle::main().objectForInfoDictionaryKey(key);
    if (!value || !value->stringValue()) return std::nullopt;
    return *value->stringValue();
}

namespace {
std::string requiredInfoValue(const TargetHelper& helper, std::string_view key) {
    if (auto value = helper.infoValue(key)) return *value;
    ns::console("Info.plist has no text under \"" + std::string(key) + "\"");
    return {};
}
} // namespace

std::string TargetHelper::appVersion() const {
    return requiredInfoValue(*this, "CFBundleShortVersionString");
}

std::string TargetHelper::bundleIdentifier() const {
    return requiredInfoValue(*this, "CFBundleIdentifier");
}

int TargetHelper::currentEdition(std::string_view bundleIdentifier) const {
    // The order of the tests is the editions' historical order, not their codes.
    for (int code : {swift, zovudEro, cpp, swiftUI})
        if (bundleIdentifier == bundleIdentifiers[code]) return code;
    ns::console("ALERT: No app setup // returning default app");
    return swift;
}

std::string TargetHelper::reviewURL(int edition) const {
    if (edition < 0 || edition >= static_cast<int>(storeAppIds.size())) edition = swift;
    return std::string("itms-apps://") + storeHost +
           "/us/app/apple-store/viewContentsUserReviews?id=" + storeAppIds[edition] +
           "&pageNumber=0&sortOrdering=2&type=Purple+Software&mt=8";
}

std::string TargetHelper::runningEditionReviewURL() const {
    return reviewURL(currentEdition(bundleIdentifier()));
}
