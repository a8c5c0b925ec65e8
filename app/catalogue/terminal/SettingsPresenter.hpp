#pragma once
// Settings in the terminal: one line per row, switches shown as [ ON ] / [OFF]. Enter (or Space) on a
// switch flips it; Enter on another row does what tapping it does. Esc goes back.
//
// Failure contract: none.
#include "app/catalogue/SettingsTableViewController.hpp"
#include "app/catalogue/terminal/ListNavigation.hpp"
#include "platform/terminal/Presenter.hpp"

#include <memory>

class SettingsPresenter : public term::Presenter {
  public:
    explicit SettingsPresenter(std::shared_ptr<SettingsTableViewController> screen);
    void draw(term::Canvas& canvas, term::Area area) override;
    const term::KeyTable& keys() const override { return keys_; }

  private:
    bool choose();
    std::weak_ptr<SettingsTableViewController> screen_;
    ListNavigation list_;
    term::KeyTable keys_;
};
