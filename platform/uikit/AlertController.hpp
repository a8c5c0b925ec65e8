#pragma once
// An alert: title, message and actions. Presenting it records it in the app-wide list of presented
// alerts; a test or the terminal answers it by picking an action, which dismisses the alert and then
// runs the action's handler (with the action).
//
// Failure contract: picking an action that does not exist (unknown title, index out of range) or
// picking on an alert that has already been answered returns false and changes nothing. Main thread only.
#include "platform/uikit/ViewController.hpp"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {

enum class AlertStyle { alert, actionSheet };
enum class AlertActionStyle { defaultStyle, cancel, destructive };

struct AlertAction {
    std::string title;
    AlertActionStyle style = AlertActionStyle::defaultStyle;
    std::function<void(const AlertAction&)> handler;
    bool enabled = true;
};

class AlertController : public ViewController {
  public:
    AlertController(std::optional<std::string> title, std::optional<std::string> message,
                    AlertStyle style = AlertStyle::alert);

    const std::optional<std::string>& message() const { return message_; }
    AlertStyle preferredStyle() const { return style_; }

    void addAction(AlertAction action);
    const std::vector<AlertAction>& actions() const { return actions_; }

    // The first action with exactly this title.
    bool pickAction(const std::string& title);
    bool pickAction(std::size_t index);
    // Closes the alert without running any action, as a person who dismisses it; it then counts as
    // answered. False when it was answered already.
    bool dismissWithoutAction();
    bool isAnswered() const { return answered_; }

    // The most recent alerts presented (at most 64), oldest first; the one still on screen, if any, is
    // the last unanswered.
    static const std::vector<std::shared_ptr<AlertController>>& presentedAlerts();
    static std::shared_ptr<AlertController> lastPresented();
    static void clearPresentedAlerts();

    void viewDidAppear(bool animated) override;

  private:
    bool pick(std::size_t index);
    std::optional<std::string> message_;
    AlertStyle style_;
    std::vector<AlertAction> actions_;
    bool answered_ = false;
    bool recorded_ = false;
};

} // namespace ui
