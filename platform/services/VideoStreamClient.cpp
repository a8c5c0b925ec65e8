#include "platform/services/VideoStreamClient.hpp"

#include "platform/services/Executor.hpp"

#include <mutex>

namespace svc {

void LinuxVideoStreamClient::getVideo(const std::string& videoIdentifier, VideoCompletion completion) {
    ns::Error error =
        ns::Error::make(videoStreamErrorDomain, static_cast<long>(VideoStreamErrorCode::unavailable),
                        "No video stream service is available for video \"" + videoIdentifier + "\".");
    deliverCallback([completion = std::move(completion), error = std::move(error)] {
        if (completion) completion(std::nullopt, error);
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
