#include "platform/services/VideoStreamClient.hpp"

#include "platform/services/Executor.hpp"
#include "platform/services/ServiceSlot.hpp"

#include <cctype>

namespace svc {

namespace {

bool isVideoIdentifier(const std::string& id) {
    if (id.empty() || id.size() > 64) return false;
    for (unsigned char c : id)
        if (!std::isalnum(c) && c != '-' && c != '_') return false;
    return true;
}

} // namespace

std::string LinuxVideoStreamClient::webAddress(const std::string& videoIdentifier) {
    return "https://www.youtube.com/watch?v=" + videoIdentifier;
}

void LinuxVideoStreamClient::getVideo(const std::string& videoIdentifier, VideoCompletion completion) {
    std::optional<StreamURLs> urls;
    std::optional<ns::Error> error;
    if (isVideoIdentifier(videoIdentifier))
        urls = StreamURLs{{videoQualityHTTPLiveStreaming, webAddress(videoIdentifier)}};
    else
        error = ns::Error::make(videoStreamErrorDomain, static_cast<long>(VideoStreamErrorCode::noStreams),
                                "\"" + videoIdentifier + "\" is no video id.");
    deliverCallback([completion = std::move(completion), urls = std::move(urls), error = std::move(error)] {
        if (completion) completion(urls, error);
    });
}

namespace {
ServiceSlot<std::shared_ptr<VideoStreamClient>>& slot() {
    static ServiceSlot<std::shared_ptr<VideoStreamClient>> s(
        makeShared<VideoStreamClient, LinuxVideoStreamClient>);
    return s;
}
} // namespace

std::shared_ptr<VideoStreamClient> defaultVideoStreamClient() {
    return slot().get();
}

std::shared_ptr<VideoStreamClient> setDefaultVideoStreamClient(std::shared_ptr<VideoStreamClient> client) {
    return slot().exchange(std::move(client));
}

} // namespace svc
