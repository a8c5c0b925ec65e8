#pragma once
// The full-screen video player screen: presented at once when the learner asks for the tutorial video,
// given a stream address when the lookup answers. Playback starts when the learner presses play (the
// terminal hands the address to the system's player). Main thread only; nothing fails.
#include "platform/uikit/ViewController.hpp"

#include <optional>
#include <string>

class VideoPlayerViewController : public ui::ViewController {
  public:
    // The stream the player plays; absent until the lookup has answered.
    const std::optional<std::string>& playerURL() const { return playerURL_; }
    void setPlayerURL(std::string url) { playerURL_ = std::move(url); }

  private:
    std::optional<std::string> playerURL_;
};
