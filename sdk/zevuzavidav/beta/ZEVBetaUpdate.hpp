#pragma once
// One answer of the beta update check: the install URL of a newer test build and, optionally, its
// version text, with the texts of the alert that offers it. The alert's texts come from the app's
// strings table "Zevuzavidav" when it has them, else these defaults:
//
//   title    "ZevuzavidavDistributionPromptTitle"         "New Build Available"
//   message  "ZevuzavidavDistributionPromptMessage"       "A new version of %@ is available for testing."
//   cancel   "ZevuzavidavDistributionPromptCancelTitle"   "Cancel"
//   install  "ZevuzavidavDistributionPromptInstallTitle"  "Install"
//
// Failure contract: an object that is not a dictionary, or whose "url" is not a text that makes a URL,
// gives no update (betaUpdateWithDictionary also passes out an error of the URL domain, -1017 "cannot
// parse response", without user info). A "version_string" that is not a text counts as none. Nothing
// throws.
#include "platform/foundation/Error.hpp"

#include <nlohmann/json.hpp>

#include <memory>
#include <optional>
#include <string>

class ZEVBetaUpdate {
  public:
    static std::shared_ptr<ZEVBetaUpdate> betaUpdateWithDictionary(const nlohmann::json& object,
                                                                   std::optional<ns::Error>* error);
    static std::shared_ptr<ZEVBetaUpdate> initWithDictionary(const nlohmann::json& object);

    const std::string& url() const { return url_; }
    const std::optional<std::string>& version() const { return version_; }

    std::string promptTitle() const;
    // The message with the app's display name filled in.
    std::string promptMessage() const;
    std::string cancelLabel() const;
    std::string installLabel() const;
    // What the alert says: the message, and the version on a line of its own when there is one.
    std::string alertMessage() const;

  private:
    ZEVBetaUpdate(std::string url, std::optional<std::string> version)
        : url_(std::move(url)), version_(std::move(version)) {}

    std::string url_;
    std::optional<std::string> version_;
};
