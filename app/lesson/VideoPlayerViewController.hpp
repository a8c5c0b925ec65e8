#pragma once
// The full-screen video player screen: presented at once when the learner asks for the tutorial video,
// given a stream address when the lookup answers. Playback starts when the learner presses play, which
// hands the address to the desktop through the shared URL opener (the one the web page uses), so the
// system's browser or player shows the video.
//
// Failure contract: play() answers false, and does nothing, before an address has come or when the
// opener could not hand it over. Main thread only.
#include "platform/uikit/ViewController.hpp"

#include <optional>
#include <string>

class VideoPlayerViewController : public ui::ViewController {
  public:
    // The stream the player plays; absent until the lookup has answered.
    const std::optional<std::string>& playerURL() const { return playerURL_; }
    void setPlayerURL(std::string url) { playerURL_ = std::move(url); }

    bool play();

  private:
    std::optional<std::string> playerURL_;
};
