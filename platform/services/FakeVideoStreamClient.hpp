#pragma once
// Test double of the stream-URL client: records every lookup; the test answers each one.
//
// Failure contract: answering a lookup that does not exist or was answered returns false. Thread-safe.
#include "platform/services/VideoStreamClient.hpp"

#include <mutex>
#include <string>
#include <vector>

namespace svc {

class FakeVideoStreamClient : public VideoStreamClient {
  public:
    void getVideo(const std::string& videoIdentifier, VideoCompletion completion) override;

    std::vector<std::string> requestedIdentifiers() const;
    bool answer(std::size_t index, std::optional<StreamURLs> streamURLs, std::optional<ns::Error> error);

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> identifiers_;
    std::vector<VideoCompletion> completions_;
    std::vector<bool> answered_;
};

} // namespace svc
