#pragma once
// The web view of the maker's page. A terminal cannot render a page, so the view keeps the request it
// was asked to load; the terminal shows the address and offers to open it in the person's browser.
//
// Failure contract: none here; opening the address is the URL opener's business (it answers false when
// no browser can be started).
#include "platform/uikit/View.hpp"

#include <optional>
#include <string>

namespace svc {

struct URLRequest {
    std::string url;
    int cachePolicy = 0; // the protocol's own caching rules
    double timeoutInterval = 60;
};

// The configuration a web view is made with (default settings only).
struct WebViewConfiguration {};

class WebView : public ui::View {
  public:
    WebView(ui::Rect frame, WebViewConfiguration configuration);

    void load(URLRequest request);
    const std::optional<URLRequest>& loadedRequest() const { return request_; }
    int loadCount() const { return loads_; }

    // The screen acting as UI delegate (kept without ownership; none of its hooks is needed here).
    void setUIDelegate(const void* delegate) { uiDelegate_ = delegate; }
    const void* uiDelegate() const { return uiDelegate_; }

  private:
    std::optional<URLRequest> request_;
    int loads_ = 0;
    const void* uiDelegate_ = nullptr;
};

} // namespace svc
