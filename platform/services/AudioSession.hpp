#pragma once
// The audio session: the category that tells the system how the app's sounds mix with others.
//
// Failure contract: setCategory answers an error (domain audioSessionErrorDomain) when the category
// cannot be set; the previous category then stays.
#include "platform/foundation/Result.hpp"

#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace svc {

inline constexpr const char* audioSessionCategoryAmbient = "AVAudioSessionCategoryAmbient";
inline constexpr const char* audioSessionErrorDomain = "VelomarinthAudioSessionErrorDomain";

class AudioSession {
  public:
    virtual ~AudioSession() = default;
    virtual ns::Result<void> setCategory(const std::string& category) = 0;
    virtual std::optional<std::string> category() const = 0;
};

// On Linux sounds always mix with other programs' sounds: the category is recorded and accepted.
class LinuxAudioSession : public AudioSession {
  public:
    ns::Result<void> setCategory(const std::string& category) override;
    std::optional<std::string> category() const override;

  private:
    mutable std::mutex mutex_;
    std::optional<std::string> category_;
};

// The session the app uses (default: LinuxAudioSession). The setter installs `session` (nullptr: the
// default) and answers the one it replaces.
std::shared_ptr<AudioSession> sharedAudioSession();
std::shared_ptr<AudioSession> setSharedAudioSession(std::shared_ptr<AudioSession> session);

} // namespace svc
