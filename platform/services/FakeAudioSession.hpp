#pragma once
// Test double of the audio session: records every category asked for and can be told to fail.
//
// Failure contract: setCategory answers the error set with setFailure (and keeps the category), until
// that is cleared. Thread-safe.
#include "platform/services/AudioSession.hpp"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace svc {

class FakeAudioSession : public AudioSession {
  public:
    ns::Result<void> setCategory(const std::string& category) override;
    std::optional<std::string> category() const override;

    void setFailure(std::optional<ns::Error> error);
    std::vector<std::string> requestedCategories() const;

  private:
    mutable std::mutex mutex_;
    std::optional<std::string> category_;
    std::optional<ns::Error> failure_;
    std::vector<std::string> requested_;
};

} // namespace svc
