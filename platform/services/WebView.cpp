#include "platform/services/WebView.hpp"

namespace svc {

WebView::WebView(ui::Rect frame, WebViewConfiguration configuration)
    : ui::View(frame), configuration_(std::move(configuration)) {}

void WebView::load(URLRequest request) {
    request_ = std::move(request);
    ++loads_;
}

std::string WebView::stringByEvaluatingJavaScriptFromString(const std::string&) {
    return "";
}

} // namespace svc
