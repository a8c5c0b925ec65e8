#pragma once
// The maker's web page, shown in a web view that loads the site each time the screen is made.
//
// Failure contract: nothing of the page load is observed; the terminal shows the address and offers to
// open it in the person's browser.
#include "platform/services/WebView.hpp"
#include "platform/uikit/ViewController.hpp"

#include <memory>

class MoreAppsViewController : public ui::ViewController {
  public:
    static constexpr const char* makerSite = "https://www.velomarinth.com/";

    std::shared_ptr<svc::WebView> webView;

    void loadView() override;
    void viewDidLoad() override;
};
