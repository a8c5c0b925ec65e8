#include "platform/services/VideoStreamClient.hpp"

#include "platform/services/Executor.hpp"

#include <cctype>
#include <mutex>

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

std::mutex& clientMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<VideoStreamClient>& client() {
    static std::shared_ptr<VideoStreamClient> c = std::make_shared<LinuxVideoStreamClient>();
    return c;
}

} // namespace

std::shared_ptr<VideoStreamClient> defaultVideoStreamClient() {
    std::lock_guard lock(clientMutex());
    return client();
}

void setDefaultVideoStreamClient(std::shared_ptr<VideoStreamClient> c) {
    std::lock_guard lock(clientMutex());
    client() = c ? std::move(c) : std::make_shared<LinuxVideoStreamClient>();
}

} // namespace svc
