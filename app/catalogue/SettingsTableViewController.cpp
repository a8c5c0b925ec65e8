#include "app/catalogue/SettingsTableViewController.hpp"

#include "model/TargetHelper.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/uikit/AlertController.hpp"
#include "platform/uikit/Application.hpp"

namespace {

int runningEdition() {
    auto& target = TargetHelper::shared();
    return target.currentEdition(target.bundleIdentifier());
}

std::string rowLabel(int row) {
    switch (row) {
    case 0:
        return "Reset progress";
    case 1:
        return "More apps";
    case 2:
        return "Rate App - Please support us!";
    case 3:
        return std::string("Email ") + SettingsTableViewController::supportEmail;
    case 4:
        return "Auto RUN after correct answer";
    case 5:
        return "Display wrong answer \u2757\uFE0Findicator";
    case 6:
        return "Sound";
    default:
        return "";
    }
}

} // namespace

std::string SettingsTableViewController::editionName(int edition) {
    switch (edition) {
    case TargetHelper::cpp:
        return "Velomarinth C++";
    case TargetHelper::zovudEro:
        return "Velomarinth Zovud ERO";
    case TargetHelper::swiftUI:
        return "Velomarinth SwiftUI";
    default:
        return "Velomarinth Swift";
    }
}

void SettingsTableViewController::loadView() {
    ui::ViewController::loadView();
    tableView = std::make_shared<ui::TableView>(view()->bounds());
    view()->addSubview(tableView);
    auto self = std::dynamic_pointer_cast<SettingsTableViewController>(weak_from_this().lock());
    tableView->setDataSource(self);
    tableView->setDelegate(self);
    setTitle("Settings");
}

void SettingsTableViewController::viewWillAppear(bool animated) {
    ui::ViewController::viewWillAppear(animated);
    tableView->reloadData();
}

int SettingsTableViewController::numberOfRowsInSection(ui::TableView&, int) {
    return runningEdition() == TargetHelper::zovudEro ? 6 : 7;
}

std::shared_ptr<ui::TableViewCell>
SettingsTableViewController::cellForRowAtIndexPath(ui::TableView& table, ui::IndexPath indexPath) {
    auto cell = table.dequeueReusableCell("Cell");
    if (!cell) cell = std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::defaultStyle, "Cell");
    int row = indexPath.row;
    cell->textLabel()->setText(rowLabel(row));
    cell->setBackgroundColor(ui::Color::clear());
    cell->contentView()->setBackgroundColor(ui::Color::clear());
    cell->textLabel()->setTextColor(ui::Color::white());
    cell->textLabel()->setFont(ui::Font::systemFont(15));
    cell->setAccessoryView(nullptr);
    if (row >= 4 && row <= 6) {
        auto toggle = std::make_shared<ui::Switch>();
        const auto& record = *progressReport;
        std::optional<bool> value = row == 4   ? record.autoRun
                                    : row == 5 ? record.showErrorIndicator
                                               : record.sound;
        toggle->setOn(value.value_or(false), true);
        toggle->setTag(row);
        toggle->addAction([this, row](ui::Switch& sender) {
            if (row == 4)
                autoRunSwitchChanged(sender);
            else if (row == 5)
                errorSwitchChanged(sender);
            else
                soundSwitchChanged(sender);
        });
        cell->setAccessoryView(toggle);
    }
    return cell;
}

void SettingsTableViewController::didSelectRowAtIndexPath(ui::TableView&, ui::IndexPath indexPath) {
    switch (indexPath.row) {
    case 0:
        confirmResetProgress();
        break;
    case 1:
        performSegue("MoreApps", nullptr);
        break;
    case 2:
        showRateAppAlert();
        break;
    case 3:
        sendSupportMail();
        break;
    default:
        break;
    }
}

void SettingsTableViewController::autoRunSwitchChanged(ui::Switch& sender) {
    switchChanged(sender, &ProgressReport::autoRun);
}
void SettingsTableViewController::errorSwitchChanged(ui::Switch& sender) {
    switchChanged(sender, &ProgressReport::showErrorIndicator);
}
void SettingsTableViewController::soundSwitchChanged(ui::Switch& sender) {
    switchChanged(sender, &ProgressReport::sound);
}

void SettingsTableViewController::switchChanged(ui::Switch& sender,
                                                std::optional<bool> ProgressReport::*field) {
    ns::console("table row switch Changed " + std::to_string(sender.tag()));
    ns::console(std::string("The switch is ") + (sender.isOn() ? "ON" : "OFF"));
    (*progressReport).*field = sender.isOn();
    progressReport->save();
}

void SettingsTableViewController::confirmResetProgress() {
    auto alert = std::make_shared<ui::AlertController>("Please confirm",
                                                       "Are you sure you want to delete all user progress?");
    alert->addAction({"Cancel", ui::AlertActionStyle::cancel, nullptr});
    alert->addAction(
        {"Delete", ui::AlertActionStyle::destructive, [this](const ui::AlertAction&) { resetProgress(); }});
    present(alert, true);
}

void SettingsTableViewController::resetProgress() {
    // Applied to the record as stored now, so lessons another running copy has just saved go too.
    progressReport->save([](ProgressReport& record) { record.lessons = std::vector<std::string>{}; });
    for (const auto& chapter : chapters) {
        for (const auto& lesson : chapter->lessons)
            lesson->completed = false;
    }
}

void SettingsTableViewController::showRateAppAlert() {
    auto alert = std::make_shared<ui::AlertController>(
        "Thank you",
        "Thanks for taking a minute to leave an honest review of our app in the App Store.  \n\n PS: Getting "
        "users "
        "to rate apps is incredibly helpful for small developers so thank you for making a difference!");
    alert->addAction({"Go rate app >", ui::AlertActionStyle::defaultStyle, [](const ui::AlertAction&) {
                          ui::Application::shared().openURL(TargetHelper::shared().runningEditionReviewURL());
                      }});
    alert->addAction({"Later", ui::AlertActionStyle::defaultStyle, nullptr});
    present(alert, true);
}

void SettingsTableViewController::sendSupportMail() {
    auto composer = makeSupportMail();
    if (svc::MailComposeViewController::canSendMail()) {
        present(composer, true);
        return;
    }
    auto alert = std::make_shared<ui::AlertController>(
        "Could Not Send Email",
        "Your device could not send e-mail.  Please check e-mail configuration and try again.");
    alert->addAction({"OK", ui::AlertActionStyle::defaultStyle, nullptr});
    present(alert, true);
}

std::shared_ptr<svc::MailComposeViewController> SettingsTableViewController::makeSupportMail() {
    auto composer = std::make_shared<svc::MailComposeViewController>();
    composer->setMailComposeDelegate(this);
    composer->setToRecipients({supportEmail});
    composer->setSubject(editionName(runningEdition()) + " Support Email");
    std::string body;
    for (int i = 0; i < 6; ++i)
        body += "\n ";
    body += "Please email us your questions and feedback.  If you like the app, please remember to rate it "
            "in the "
            "App Store!";
    composer->setMessageBody(body, false);
    return composer;
}

void SettingsTableViewController::mailComposeController(svc::MailComposeViewController&,
                                                        svc::MailComposeResult,
                                                        const std::optional<ns::Error>&) {
    dismiss(true);
}
