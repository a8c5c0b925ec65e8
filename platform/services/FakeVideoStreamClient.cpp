#include "platform/services/FakeVideoStreamClient.hpp"

#include "platform/services/Executor.hpp"

namespace svc {

void FakeVideoStreamClient::getVideo(const std::string& videoIdentifier, VideoCompletion completion) {
    std::lock_guard lock(mutex_);
    identifiers_.push_back(videoIdentifier);
    completions_.push_back(std::move(completion));
    answered_.push_back(false);
}

std::vector<std::string> FakeVideoStreamClient::requestedIdentifiers() const {
    std::lock_guard lock(mutex_);
    return identifiers_;
}

bool FakeVideoStreamClient::answer(std::size_t index, std::optional<StreamURLs> streamURLs,
                                   std::optional<ns::Error> error) {
    VideoCompletion completion;
    {
        std::lock_guard lock(mutex_);
        if (index >= completions_.size() || answered_[index]) return false;
        answered_[index] = true;
        completion = std::move(completions_[index]);
    }
    deliverCallback(
        [completion = std::move(completion), urls = std::move(streamURLs), error = std::move(error)] {
            if (completion) completion(urls, error);
        });
    return true;
}

} // namespace svc
