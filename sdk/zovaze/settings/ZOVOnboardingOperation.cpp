#include "sdk/zovaze/settings/ZOVOnboardingOperation.hpp"

#include "platform/foundation/Console.hpp"
#include "sdk/zovaze/identity/ZOVDeviceFacts.hpp"
#include "sdk/zovaze/network/ZOVMultipartMimeStreamEncoder.hpp"
#include "sdk/zovaze/network/ZOVNetworkError.hpp"
#include "sdk/zovaze/network/ZOVURLBuilder.hpp"

namespace {

ns::PropertyList optionalText(const std::optional<std::string>& text) {
    return text ? ns::PropertyList(*text) : ns::PropertyList();
}

} // namespace

std::shared_ptr<ZOVOnboardingOperation> ZOVOnboardingOperation::initWithDelegate(
    std::weak_ptr<ZOVOnboardingOperationDelegate> delegate, bool shouldCreate,
    const std::optional<std::string>& APIKey, KitVersions kitVersionsByKitBundleIdentifier,
    std::shared_ptr<ZOVApplicationIdentiferModel> appIdentifierModel, std::string endpointString,
    std::weak_ptr<ZOVNetworkClient> networkClient) {
    auto operation = ZOVNetworkOperation::initWithAPIKey<ZOVOnboardingOperation>(APIKey);
    if (!operation) return nullptr;
    operation->delegate_ = std::move(delegate);
    operation->shouldCreate_ = shouldCreate;
    operation->kitVersionsByKitBundleIdentifier_ = std::move(kitVersionsByKitBundleIdentifier);
    operation->appIdentifierModel_ = std::move(appIdentifierModel);
    operation->appEndpoint_ = std::move(endpointString);
    operation->networkClient_ = std::move(networkClient);
    return operation;
}

std::optional<std::string> ZOVOnboardingOperation::appBundleIdentifier() {
    return ZOVEscapedBundleIdentifier();
}
std::optional<std::string> ZOVOnboardingOperation::appName() {
    return ZOVBundleDisplayName();
}
std::optional<std::string> ZOVOnboardingOperation::appBuildVersion() {
    return ZOVBundleVersion();
}
std::optional<std::string> ZOVOnboardingOperation::appDisplayVersion() {
    return ZOVBundleShortVersionString();
}
int ZOVOnboardingOperation::appInstallSource() {
    return ZOVInstallSource();
}

ns::Error ZOVOnboardingOperation::errorForCode(long code, std::map<std::string, std::string> userInfo) {
    return ns::Error(ZOVSDKOnboardingErrorDomain, code, std::move(userInfo));
}

std::optional<std::string> ZOVOnboardingOperation::appCreateURL() const {
    auto builder = ZOVURLBuilder::URLWithBase(appEndpoint_);
    builder->appendComponent("/spi/v1/platforms/");
    builder->escapeAndAppendComponent(appPlatform());
    builder->appendComponent("/apps");
    return builder->URL();
}

std::optional<std::string> ZOVOnboardingOperation::appUpdateURL() const {
    auto builder = ZOVURLBuilder::URLWithBase(appEndpoint_);
    builder->appendComponent("/spi/v1/platforms/");
    builder->escapeAndAppendComponent(appPlatform());
    builder->appendComponent("/apps/");
    builder->escapeAndAppendComponent(appBundleIdentifier().value_or(""));
    return builder->URL();
}

net::URLRequest ZOVOnboardingOperation::onboardingRequestForAppCreate(bool create) const {
    net::URLRequest request = mutableRequestWithDefaultHTTPHeadersForURL(
        (create ? appCreateURL() : appUpdateURL()).value_or(""), create ? 2.0 : 10.0);
    request.setHTTPMethod(create ? "POST" : "PUT");
    request.setMaximumResponseLength(maximumAnswerLength);
    return request;
}

bool ZOVOnboardingOperation::encodeBody(net::URLRequest& request) const {
    auto stream = std::make_shared<net::MemoryOutputStream>();
    auto encoder = ZOVMultipartMimeStreamEncoder::encoderWithStream(
        stream, ZOVMultipartMimeStreamEncoder::generateBoundary());
    if (!encoder) return false;
    const auto* model = appIdentifierModel_.get();
    const bool encoded = encoder->encode([&] {
        encoder->addValue(optionalText(appBundleIdentifier()), "app[identifier]");
        encoder->addValue(optionalText(model ? model->instanceIdentifier() : std::nullopt),
                          "app[instance_identifier]");
        encoder->addValue(optionalText(appName()), "app[name]");
        encoder->addValue(optionalText(appBuildVersion()), "app[build_version]");
        encoder->addValue(optionalText(appDisplayVersion()), "app[display_version]");
        encoder->addValue(ns::PropertyList(appInstallSource()), "app[source]");
        encoder->addValue(optionalText(model ? std::optional(model->minimumSDKString()) : std::nullopt),
                          "app[minimum_sdk_version]");
        encoder->addValue(optionalText(model ? std::optional(model->builtSDKString()) : std::nullopt),
                          "app[built_sdk_version]");
        for (const auto& [bundleIdentifier, version] : kitVersionsByKitBundleIdentifier_) {
            encoder->addValue(ns::PropertyList(version), "app[build][libraries][" + bundleIdentifier + "]");
        }
        if (!model) return;
        for (const auto& [architecture, uuid] : model->architectureUUIDMap()) {
            encoder->addValue(ns::PropertyList(architecture), "app[slices][][arch]");
            encoder->addValue(ns::PropertyList(uuid), "app[slices][][uuid]");
        }
        const auto& icon = model->icon();
        if (icon && !icon->data().empty() && !icon->dataHash().empty()) {
            encoder->addValue(ns::PropertyList(icon->dataHash()), "app[icon][hash]");
            encoder->addValue(ns::PropertyList(icon->prerendered() ? "true" : "false"),
                              "app[icon][prerendered]");
            encoder->addValue(
                ns::PropertyList(std::to_string(static_cast<unsigned long>(icon->size().width))),
                "app[icon][width]");
            encoder->addValue(
                ns::PropertyList(std::to_string(static_cast<unsigned long>(icon->size().height))),
                "app[icon][height]");
            encoder->addFileData(icon->data(), "icon.png", "image/png", "app[icon][data]");
        }
    });
    if (!encoded) return false;
    request.setValue(encoder->contentTypeHTTPHeaderValue(), "Content-Type");
    request.setValue(encoder->contentLengthHTTPHeaderValue(), "Content-Length");
    request.setHTTPBody(stream->data());
    return true;
}

void ZOVOnboardingOperation::beginAppConfigure() {
    net::URLRequest request = onboardingRequestForAppCreate(shouldCreate_);
    if (!encodeBody(request)) {
        ns::console("[Zovaze] configure failed during onboarding");
        finish();
        return;
    }
    auto self = std::static_pointer_cast<ZOVOnboardingOperation>(shared_from_this());
    auto report = [self](const std::optional<ns::Error>& error) {
        self->error_ = error;
        if (auto delegate = self->delegate_.lock()) {
            if (self->shouldCreate_) {
                delegate->onboardingOperationDidCompleteAppCreationWithError(*self, error);
            } else {
                delegate->onboardingOperationDidCompleteAppUpdateWithError(*self, error);
            }
        }
        self->finish();
    };
    auto client = networkClient_.lock();
    if (!client) {
        report(ns::Error(zovaze::kNetworkErrorDomain, ZOVNetworkErrorCodeTaskCreationFailed));
        return;
    }
    client->startDataTaskWithRequest(
        request, 1,
        [report](const auto&, const auto&, const std::optional<ns::Error>& error) { report(error); });
}
