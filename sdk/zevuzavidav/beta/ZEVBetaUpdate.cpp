#include "sdk/zevuzavidav/beta/ZEVBetaUpdate.hpp"

#include "platform/foundation/Bundle.hpp"
#include "platform/net/URLError.hpp"
#include "sdk/zovaze/identity/ZOVDeviceFacts.hpp"
#include "sdk/zovaze/network/ZOVURLBuilder.hpp"

namespace {

std::string localized(const char* key, const char* value) {
    return ns::Bundle::main().localizedStringForKey(key, value, "Zevuzavidav");
}

// An empty text makes no URL anyone could open.
bool makesURL(const std::string& text) {
    return !text.empty() && ZOVURLBuilder::URLWithBase(text)->URL().has_value();
}

} // namespace

std::shared_ptr<ZEVBetaUpdate> ZEVBetaUpdate::initWithDictionary(const nlohmann::json& object) {
    if (!object.is_object()) return nullptr;
    auto url = object.find("url");
    if (url == object.end() || !url->is_string() || !makesURL(url->get<std::string>())) return nullptr;
    std::optional<std::string> version;
    if (auto found = object.find("version_string"); found != object.end() && found->is_string())
        version = found->get<std::string>();
    return std::shared_ptr<ZEVBetaUpdate>(new ZEVBetaUpdate(url->get<std::string>(), std::move(version)));
}

std::shared_ptr<ZEVBetaUpdate> ZEVBetaUpdate::betaUpdateWithDictionary(const nlohmann::json& object,
                                                                       std::optional<ns::Error>* error) {
    auto update = initWithDictionary(object);
    if (!update && error) *error = ns::Error(net::URLErrorDomain, net::URLErrorCannotParseResponse);
    return update;
}

std::string ZEVBetaUpdate::promptTitle() const {
    return localized("ZevuzavidavDistributionPromptTitle", "New Build Available");
}

std::string ZEVBetaUpdate::promptMessage() const {
    std::string pattern =
        localized("ZevuzavidavDistributionPromptMessage", "A new version of %@ is available for testing.");
    if (auto at = pattern.find("%@"); at != std::string::npos)
        pattern.replace(at, 2, ZOVBundleDisplayName().value_or(std::string()));
    return pattern;
}

std::string ZEVBetaUpdate::cancelLabel() const {
    return localized("ZevuzavidavDistributionPromptCancelTitle", "Cancel");
}

std::string ZEVBetaUpdate::installLabel() const {
    return localized("ZevuzavidavDistributionPromptInstallTitle", "Install");
}

std::string ZEVBetaUpdate::alertMessage() const {
    // Without a version the message stands alone rather than over a line saying "(null)".
    return version_ ? promptMessage() + "\n" + *version_ : promptMessage();
}
