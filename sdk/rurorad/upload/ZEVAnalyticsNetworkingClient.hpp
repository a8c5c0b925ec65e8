#pragma once
// Sends the gzip logs of one session fragment to the analytics server as one multipart POST through the
// SDK's network client (no certificate pinning), retrying what the server asks to be retried up to 10
// times. The request: the analytics URL as given, "POST", reload ignoring cached data, 20 s time-out,
// "User-Agent" "Rurorad iOS SDK/1.0.0", the SDK developer token, client type "Rurorad iOS SDK", client
// version "3", display version "1.0.0", build version "3", the API key; the body holds one file part per
// log file, in the order given, named (field and file) after the file's last path component, with the
// content type "application/vnd.zevuzavidav.ios.events". A fragment without files is sent as a body
// without parts.
//
// Failure contract: the completion gets the network client's error unchanged (nothing on success),
// exactly once, on the network client's queue. A body that cannot be built completes with that error
// without sending. Holds no mutable state; safe from any thread.
#include "platform/foundation/Error.hpp"
#include "platform/net/URLRequest.hpp"
#include "sdk/zovaze/network/ZOVNetworkClient.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class ZEVAnalyticsNetworkingClient {
  public:
    using Completion = std::function<void(const std::optional<ns::Error>& error)>;

    static constexpr const char* developerToken = "7c3e9a1f0b5d2e8c4a6f1b9d3e7c0a5f2b8d4e6a";
    static constexpr const char* eventsContentType = "application/vnd.zevuzavidav.ios.events";
    static constexpr std::uint64_t retryLimit = 10;
    // The server's answer is read only for its status.
    static constexpr std::size_t maximumAnswerLength = 64 * 1024;

    ZEVAnalyticsNetworkingClient();
    explicit ZEVAnalyticsNetworkingClient(std::shared_ptr<ZOVNetworkClient> networkClient);

    const std::shared_ptr<ZOVNetworkClient>& networkClient() const { return networkClient_; }

    void transmitLogFilesAtURLs(const std::vector<std::string>& fileURLs, const std::string& url,
                                const std::optional<std::string>& APIKey, Completion completionHandler) const;
    // Nothing when the body cannot be built.
    static std::optional<net::URLRequest> requestForLogFilesAtURLs(const std::vector<std::string>& fileURLs,
                                                                   const std::string& url,
                                                                   const std::optional<std::string>& APIKey);

  private:
    std::shared_ptr<ZOVNetworkClient> networkClient_;
};
