// Script errors of web pages, recorded as "javascript" exceptions of the launch's report: the classic
// web view reports them as "zevuzavidav" URLs, the modern one as messages to the handler "zevuzavidav".
#include "platform/foundation/Console.hpp"
#include "sdk/zevuzavidav/capture/ZEVExceptionHandler.hpp"
#include "sdk/zevuzavidav/kit/Zevuzavidav.hpp"
#include "sdk/zevuzavidav/webview/WebViewScripts.hpp"

#include <cstdio>
#include <string_view>

namespace {

std::string addressOf(const void* object) {
    char text[32];
    std::snprintf(text, sizeof text, "%p", object);
    return text;
}

// The scheme of a URL text: the letters before its first ':' (nothing when there is no scheme).
std::string_view schemeOf(std::string_view url) {
    auto colon = url.find(':');
    if (colon == std::string_view::npos) return {};
    std::string_view scheme = url.substr(0, colon);
    if (scheme.find_first_of("/?#") != std::string_view::npos) return {};
    return scheme;
}

// The query text as it stands in the URL (between '?' and '#'), percent-escapes kept.
std::string_view queryOf(std::string_view url) {
    url = url.substr(0, url.find('#'));
    auto mark = url.find('?');
    return mark == std::string_view::npos ? std::string_view() : url.substr(mark + 1);
}

} // namespace

void Zevuzavidav::recordJavaScriptException(const std::optional<std::string>& reason) {
    ZEVExceptionRecord(zevuzavidav::kExceptionTypeJavaScript, "exception", reason ? reason->c_str() : nullptr,
                       nullptr, false);
}

void Zevuzavidav::monitorErrorsForUIWebView(svc::WebView& webView) {
    // Anything but "undefined" means the handler is there already, or the page cannot run scripts.
    const bool injected =
        webView.stringByEvaluatingJavaScriptFromString("typeof zevuzavidavOnError") == "undefined" &&
        webView.stringByEvaluatingJavaScriptFromString(zevuzavidav::classicWebViewScript()) == "loaded";
    if (!injected) ns::console("[Zevuzavidav] Unable to monitor UIWebView (" + addressOf(&webView) + ")");
}

bool Zevuzavidav::handleWebView(svc::WebView&, const svc::URLRequest& request, std::int64_t) {
    if (schemeOf(request.url) != zevuzavidav::kWebViewScheme) return false;
    recordJavaScriptException(zevuzavidav::webViewErrorMessageFromQuery(queryOf(request.url)));
    return true;
}

void Zevuzavidav::monitorErrorsForWKWebViewConfiguration(svc::WebViewConfiguration& configuration) {
    const auto& controller = configuration.userContentController;
    const std::string name(zevuzavidav::kWebViewMessageHandlerName);
    // A configuration the kit already watches keeps its one script: a second would report every error
    // twice (the phone's controller raises here instead).
    const bool registered = controller && controller->addScriptMessageHandler(shared_from_this(), name);
    if (!registered) {
        ns::console("[Zevuzavidav] Unable to monitor <WebViewConfiguration: " + addressOf(&configuration) +
                    ">");
        return;
    }
    controller->addUserScript(svc::UserScript{zevuzavidav::modernWebViewScript(),
                                              svc::UserScriptInjectionTime::atDocumentEnd, true});
}

void Zevuzavidav::userContentControllerDidReceiveScriptMessage(svc::UserContentController&,
                                                               const svc::ScriptMessage& message) {
    if (!message.body.is_object()) {
        ns::console("[Zevuzavidav] Unable to record exception from WKWebView");
        return;
    }
    auto msg = message.body.find("msg");
    recordJavaScriptException(msg != message.body.end() && msg->is_string()
                                  ? std::optional<std::string>(msg->get<std::string>())
                                  : std::nullopt);
}
