#pragma once
// An alert drawn as a modal dialog over the screen beneath: title, message (wrapped) and its actions in
// a row, one of them focused. Left/Right/Tab move the focus, Enter picks, Esc picks the cancel action
// (or the only action when there is just one); an alert with several actions and none of the cancel
// style is closed by Esc without any of them. A text too tall for the terminal scrolls with Up and Down
// (PgUp, PgDn), marked ▲ and ▼ at the box's side.
//
// Failure contract: an alert without actions can only be left by quitting; nothing crashes.
#include "platform/terminal/Presenter.hpp"
#include "platform/terminal/TextWindow.hpp"
#include "platform/uikit/AlertController.hpp"

#include <memory>

namespace term {

class AlertPresenter : public Presenter {
  public:
    explicit AlertPresenter(std::shared_ptr<ui::AlertController> alert);
    void draw(Canvas& canvas, Area area) override;
    const KeyTable& keys() const override { return keys_; }

  private:
    bool moveFocus(int step);
    bool cancel();

    std::shared_ptr<ui::AlertController> alert_;
    std::size_t focus_ = 0;
    // Where the text stands when it has more lines than the box has rows.
    TextWindow text_;
    KeyTable keys_;
};

} // namespace term
