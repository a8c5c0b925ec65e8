#include "sdk/rurorad/upload/ZEVAnalyticsNetworkingClient.hpp"

#include "sdk/rurorad/RuroradVersion.hpp"
#include "sdk/zovaze/network/ZOVMultipartMimeStreamEncoder.hpp"

#include <filesystem>

ZEVAnalyticsNetworkingClient::ZEVAnalyticsNetworkingClient()
    : ZEVAnalyticsNetworkingClient(ZOVNetworkClient::initWithQueue(nullptr)) {}

ZEVAnalyticsNetworkingClient::ZEVAnalyticsNetworkingClient(std::shared_ptr<ZOVNetworkClient> networkClient)
    : networkClient_(std::move(networkClient)) {}

std::optional<net::URLRequest>
ZEVAnalyticsNetworkingClient::requestForLogFilesAtURLs(const std::vector<std::string>& fileURLs,
                                                       const std::string& url,
                                                       const std::optional<std::string>& APIKey) {
    net::URLRequest request(url, net::URLRequestCachePolicy::reloadIgnoringLocalCacheData, 20.0);
    request.setHTTPMethod("POST");
    request.setMaximumResponseLength(maximumAnswerLength);
    request.setValue(rurorad::kKitAgent.text, "User-Agent");
    request.setValue(developerToken, "X-ZEVUZAVIDAV-DEVELOPER-TOKEN");
    request.setValue(rurorad::kKitClientType, "X-ZEVUZAVIDAV-API-CLIENT-TYPE");
    request.setValue(rurorad::kKitBuildVersion, "X-ZEVUZAVIDAV-API-CLIENT-VERSION");
    request.setValue(rurorad::kKitDisplayVersion, "X-ZEVUZAVIDAV-API-CLIENT-DISPLAY-VERSION");
    request.setValue(rurorad::kKitBuildVersion, "X-ZEVUZAVIDAV-API-CLIENT-BUILD-VERSION");
    if (APIKey) request.setValue(*APIKey, "X-ZEVUZAVIDAV-API-KEY");
    const bool built =
        ZOVMultipartMimeStreamEncoder::populateRequest(request, [&](ZOVMultipartMimeStreamEncoder& encoder) {
            for (const auto& file : fileURLs) {
                const std::string name = std::filesystem::path(file).filename().string();
                encoder.addFile(file, name, std::string(eventsContentType), name);
            }
        });
    if (!built) return std::nullopt;
    return request;
}

void ZEVAnalyticsNetworkingClient::transmitLogFilesAtURLs(const std::vector<std::string>& fileURLs,
                                                          const std::string& url,
                                                          const std::optional<std::string>& APIKey,
                                                          Completion completionHandler) const {
    auto request = requestForLogFilesAtURLs(fileURLs, url, APIKey);
    if (!request) {
        if (completionHandler)
            completionHandler(
                ns::Error::make("ZEVAnalyticsNetworkingClient", -1, "The upload body could not be built"));
        return;
    }
    networkClient_->startDataTaskWithRequest(
        *request, retryLimit,
        [completionHandler](const auto&, const net::URLResponseRef&, const std::optional<ns::Error>& error) {
            if (completionHandler) completionHandler(error);
        });
}
