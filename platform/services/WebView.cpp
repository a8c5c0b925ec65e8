#include "platform/services/WebView.hpp"

namespace svc {

WebView::WebView(ui::Rect frame, WebViewConfiguration) : ui::View(frame) {}

void WebView::load(URLRequest request) {
    request_ = std::move(request);
    ++loads_;
}

} // namespace svc
