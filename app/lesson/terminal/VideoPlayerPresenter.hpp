#pragma once
// The video player in the terminal: a terminal cannot show the video, so the screen names it and Enter
// plays it in the desktop's browser; Esc closes the player. While the lookup has not answered it says so.
//
// Failure contract: none; an address that cannot be opened is said in a notice.
#include "app/lesson/VideoPlayerViewController.hpp"
#include "platform/terminal/FrontEnd.hpp"
#include "platform/terminal/Presenter.hpp"

#include <memory>

class VideoPlayerPresenter : public term::Presenter {
  public:
    VideoPlayerPresenter(std::shared_ptr<VideoPlayerViewController> screen, term::FrontEnd& frontEnd);
    void draw(term::Canvas& canvas, term::Area area) override;
    const term::KeyTable& keys() const override { return keys_; }

  private:
    std::weak_ptr<VideoPlayerViewController> screen_;
    term::FrontEnd& frontEnd_;
    term::KeyTable keys_;
};
