#include "app/catalogue/MoreAppsViewController.hpp"

void MoreAppsViewController::loadView() {
    // The web view is the whole screen; the base view is not made.
    webView = std::make_shared<svc::WebView>(ui::Rect::zero(), svc::WebViewConfiguration{});
    webView->setUIDelegate(this);
    setView(webView);
}

void MoreAppsViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    webView->load(svc::URLRequest{makerSite, 0, 60});
}
