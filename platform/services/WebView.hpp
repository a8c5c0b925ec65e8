#pragma once
// The web view of the maker's page. A terminal cannot render a page, so the view keeps the request it
// was asked to load; the terminal shows the address and offers to open it in the person's browser.
//
// Nor is there a script engine: no page script runs, the configuration's user scripts are kept but never
// injected, and stringByEvaluatingJavaScriptFromString answers "", which is what the phone's classic web
// view answers for a script it could not evaluate. A view made with a script engine overrides it.
//
// Failure contract: none here; opening the address is the URL opener's business (it answers false when
// no browser can be started).
#include "platform/services/UserContentController.hpp"
#include "platform/uikit/View.hpp"

#include <memory>
#include <optional>
#include <string>

namespace svc {

struct URLRequest {
    std::string url;
    int cachePolicy = 0; // the protocol's own caching rules
    double timeoutInterval = 60;
};

// The configuration a web view is made with: default settings, and the controller of the user scripts
// and script message handlers its pages share with the app.
struct WebViewConfiguration {
    std::shared_ptr<UserContentController> userContentController = std::make_shared<UserContentController>();
};

class WebView : public ui::View {
  public:
    WebView(ui::Rect frame, WebViewConfiguration configuration);

    void load(URLRequest request);
    const std::optional<URLRequest>& loadedRequest() const { return request_; }
    int loadCount() const { return loads_; }

    const WebViewConfiguration& configuration() const { return configuration_; }
    // The text of the script's last value in the current page; "" here (no script engine).
    virtual std::string stringByEvaluatingJavaScriptFromString(const std::string& script);

    // The screen acting as UI delegate (kept without ownership; none of its hooks is needed here).
    void setUIDelegate(const void* delegate) { uiDelegate_ = delegate; }
    const void* uiDelegate() const { return uiDelegate_; }

  private:
    WebViewConfiguration configuration_;
    std::optional<URLRequest> request_;
    int loads_ = 0;
    const void* uiDelegate_ = nullptr;
};

} // namespace svc
