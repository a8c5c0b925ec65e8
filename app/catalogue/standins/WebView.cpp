#include "app/catalogue/standins/WebView.hpp"

WebView::WebView(ui::Rect frame, WebViewConfiguration) : ui::View(frame) {}

void WebView::load(URLRequest request) {
    request_ = std::move(request);
    ++loads_;
}
