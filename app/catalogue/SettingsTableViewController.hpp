#pragma once
// Settings: reset all progress, the maker's web page ("MoreApps"), a store review request, support mail,
// and the learner's three switches (auto run, wrong-answer indicator, sound). Every change is written to
// the record and saved at once. The Zovud ERO edition has no "Sound" row.
//
// `progressReport` and `chapters` are set by the course home before the view loads.
//
// Failure contract: when mail cannot be sent, the "Could Not Send Email" alert replaces the composer.
// The store address is opened without looking at the result.
#include "model/Chapter.hpp"
#include "model/ProgressReport.hpp"
#include "platform/services/MailComposeViewController.hpp"
#include "platform/uikit/Switch.hpp"
#include "platform/uikit/TableView.hpp"
#include "platform/uikit/ViewController.hpp"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class SettingsTableViewController : public ui::ViewController,
                                    public ui::TableViewDataSource,
                                    public ui::TableViewDelegate,
                                    public svc::MailComposeViewControllerDelegate {
  public:
    static constexpr const char* supportEmail = "support@velomarinth.com";

    ProgressReport::Ptr progressReport;
    std::vector<Chapter::Ptr> chapters;
    std::shared_ptr<ui::TableView> tableView;

    void loadView() override;
    void viewWillAppear(bool animated) override;

    int numberOfRowsInSection(ui::TableView& tableView, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& tableView,
                                                             ui::IndexPath indexPath) override;
    void didSelectRowAtIndexPath(ui::TableView& tableView, ui::IndexPath indexPath) override;

    void autoRunSwitchChanged(ui::Switch& sender);
    void errorSwitchChanged(ui::Switch& sender);
    void soundSwitchChanged(ui::Switch& sender);
    void switchChanged(ui::Switch& sender, std::optional<bool> ProgressReport::*field);

    void confirmResetProgress();
    void resetProgress();
    void showRateAppAlert();
    void sendSupportMail();
    std::shared_ptr<svc::MailComposeViewController> makeSupportMail();

    void mailComposeController(svc::MailComposeViewController& controller, svc::MailComposeResult result,
                               const std::optional<ns::Error>& error) override;

    // The name of an edition in the support mail's subject.
    static std::string editionName(int edition);
};
