#pragma once
// Stream addresses of an online tutorial video, looked up by its video id.
//
// The answer is a dictionary from quality key to stream URL: videoQualityHTTPLiveStreaming for an
// adaptive live stream, or numeric quality codes as strings ("22", "18", "36", ...). The completion is
// delivered with svc::deliverCallback (the main queue in the app), exactly once per call.
//
// Failure contract: either a dictionary or an error (domain videoStreamErrorDomain), never both.
#include "platform/foundation/Error.hpp"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace svc {

inline constexpr const char* videoQualityHTTPLiveStreaming = "HTTPLiveStreaming";
inline constexpr const char* videoStreamErrorDomain = "VelomarinthVideoStreamErrorDomain";

enum class VideoStreamErrorCode : long {
    unavailable = 1, // no stream service can be reached from this machine
    noStreams = 2,   // the video offers no playable stream (or the id names no video)
};

using StreamURLs = std::map<std::string, std::string>;
using VideoCompletion =
    std::function<void(std::optional<StreamURLs> streamURLs, std::optional<ns::Error> error)>;

class VideoStreamClient {
  public:
    virtual ~VideoStreamClient() = default;
    virtual void getVideo(const std::string& videoIdentifier, VideoCompletion completion) = 0;
};

// On Linux there is no stream service to ask; the video's web page stands in for its stream: a lookup
// answers the page's address (webAddress) under videoQualityHTTPLiveStreaming, which the player hands to
// the desktop's browser. An identifier that is not a video id (empty, longer than 64 characters, or with
// characters other than letters, digits, "-" and "_") answers VideoStreamErrorCode::noStreams.
class LinuxVideoStreamClient : public VideoStreamClient {
  public:
    void getVideo(const std::string& videoIdentifier, VideoCompletion completion) override;
    // "https://www.youtube.com/watch?v=<id>".
    static std::string webAddress(const std::string& videoIdentifier);
};

// The client the app uses (default: LinuxVideoStreamClient). The setter installs `client` (nullptr: the
// default) and answers the one it replaces.
std::shared_ptr<VideoStreamClient> defaultVideoStreamClient();
std::shared_ptr<VideoStreamClient> setDefaultVideoStreamClient(std::shared_ptr<VideoStreamClient> client);

} // namespace svc
