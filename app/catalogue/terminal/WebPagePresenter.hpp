#pragma once
// The maker's web page in the terminal: the address the web view loads, and Enter to open it in the
// person's browser (xdg-open). Esc goes back.
//
// Failure contract: when no browser can be started a notice says so; nothing else happens.
#include "app/catalogue/MoreAppsViewController.hpp"
#include "platform/terminal/FrontEnd.hpp"
#include "platform/terminal/Presenter.hpp"

#include <memory>

class WebPagePresenter : public term::Presenter {
  public:
    WebPagePresenter(std::shared_ptr<MoreAppsViewController> screen, term::FrontEnd& frontEnd);
    void draw(term::Canvas& canvas, term::Area area) override;
    const term::KeyTable& keys() const override { return keys_; }

  private:
    std::weak_ptr<MoreAppsViewController> screen_;
    term::FrontEnd& frontEnd_;
    term::KeyTable keys_;
};
