#pragma once
// Tells the SDK's API service about the app with one multipart form request (retry limit 1): a POST to
// <endpoint>/spi/v1/platforms/ios/apps (2-second timeout) to create the app, or a PUT to
// <endpoint>/spi/v1/platforms/ios/apps/<bundle id> (10-second timeout) to update its description.
// Fields, in order (a text field whose value is absent is left out): "app[identifier]",
// "app[instance_identifier]", "app[name]", "app[build_version]", "app[display_version]",
// "app[source]", "app[minimum_sdk_version]", "app[built_sdk_version]", one "app[build][libraries][<kit
// bundle id>]" per kit, one "app[slices][][arch]"/"app[slices][][uuid]" pair per architecture, then,
// when the icon has data and a hash, "app[icon][hash]", "app[icon][prerendered]", "app[icon][width]",
// "app[icon][height]" and the file part "app[icon][data]" ("icon.png", "image/png").
//
// Failure contract: the delegate hears once, with the network client's error or none. When the body
// cannot be encoded, "[Zovaze] configure failed during onboarding" is logged, the delegate is not
// called, and the operation finishes. Construction fails (null) without an API key.
#include "platform/foundation/Error.hpp"
#include "sdk/zovaze/identity/ZOVApplicationIdentiferModel.hpp"
#include "sdk/zovaze/network/ZOVNetworkClient.hpp"
#include "sdk/zovaze/network/ZOVNetworkOperation.hpp"

#include <map>
#include <memory>
#include <optional>
#include <string>

inline constexpr const char* ZOVSDKOnboardingErrorDomain = "ZOVSDKOnboardingErrorDomain";

class ZOVOnboardingOperation;

class ZOVOnboardingOperationDelegate {
  public:
    virtual ~ZOVOnboardingOperationDelegate() = default;
    virtual void onboardingOperationDidCompleteAppUpdateWithError(ZOVOnboardingOperation& operation,
                                                                  const std::optional<ns::Error>& error) = 0;
    virtual void
    onboardingOperationDidCompleteAppCreationWithError(ZOVOnboardingOperation& operation,
                                                       const std::optional<ns::Error>& error) = 0;
};

class ZOVOnboardingOperation : public ZOVNetworkOperation {
  public:
    // The service's answer is read only for its status.
    static constexpr std::size_t maximumAnswerLength = 64 * 1024;
    using KitVersions = std::map<std::string, std::string>;

    static std::shared_ptr<ZOVOnboardingOperation>
    initWithDelegate(std::weak_ptr<ZOVOnboardingOperationDelegate> delegate, bool shouldCreate,
                     const std::optional<std::string>& APIKey, KitVersions kitVersionsByKitBundleIdentifier,
                     std::shared_ptr<ZOVApplicationIdentiferModel> appIdentifierModel,
                     std::string endpointString, std::weak_ptr<ZOVNetworkClient> networkClient);

    void main() override { beginAppConfigure(); }
    void beginAppConfigure();

    std::optional<std::string> appCreateURL() const;
    std::optional<std::string> appUpdateURL() const;
    net::URLRequest onboardingRequestForAppCreate(bool create) const;
    // The form body for the request; false when it could not be encoded.
    bool encodeBody(net::URLRequest& request) const;

    static std::optional<std::string> appBundleIdentifier();
    static std::string appPlatform() { return "ios"; }
    static std::optional<std::string> appName();
    static std::optional<std::string> appBuildVersion();
    static std::optional<std::string> appDisplayVersion();
    static int appInstallSource();
    static ns::Error errorForCode(long code, std::map<std::string, std::string> userInfo);

    bool shouldCreate() const { return shouldCreate_; }
    void setShouldCreate(bool create) { shouldCreate_ = create; }
    const std::optional<ns::Error>& error() const { return error_; }
    const std::shared_ptr<ZOVApplicationIdentiferModel>& appIdentifierModel() const {
        return appIdentifierModel_;
    }
    const std::string& appEndpoint() const { return appEndpoint_; }
    const KitVersions& kitVersionsByKitBundleIdentifier() const { return kitVersionsByKitBundleIdentifier_; }

  private:
    friend class ZOVNetworkOperation;
    explicit ZOVOnboardingOperation(std::string APIKey) : ZOVNetworkOperation(std::move(APIKey)) {}

    bool shouldCreate_ = false;
    std::optional<ns::Error> error_;
    std::shared_ptr<ZOVApplicationIdentiferModel> appIdentifierModel_;
    std::string appEndpoint_;
    std::weak_ptr<ZOVOnboardingOperationDelegate> delegate_;
    std::weak_ptr<ZOVNetworkClient> networkClient_;
    KitVersions kitVersionsByKitBundleIdentifier_;
};
