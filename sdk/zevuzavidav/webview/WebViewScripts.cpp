#include "sdk/zevuzavidav/webview/WebViewScripts.hpp"

#include <map>
#include <vector>

namespace zevuzavidav {

namespace {

constexpr std::string_view kPrelude = R"JS(var zevuzavidavOriginalOnLoad = window.onload;
var zevuzavidavOriginalOnError = window.onerror;
window.onerror = zevuzavidavOnError;
window.onload = zevuzavidavOnLoad;
function zevuzavidavOnLoad() {
  if (window.onerror !== zevuzavidavOnError) {
    zevuzavidavOriginalOnError = window.onerror;
  }
  window.onerror = zevuzavidavOnError;
  if (typeof zevuzavidavOriginalOnLoad === 'function') {
    return zevuzavidavOriginalOnLoad.apply(this, arguments);
  }
}
)JS";

constexpr std::string_view kClassicHandler = R"JS(function zevuzavidavExecute(url) {
  var frame = document.createElement('IFRAME');
  frame.setAttribute('src', url);
  document.documentElement.appendChild(frame);
  frame.parentNode.removeChild(frame);
  frame = null;
}
function zevuzavidavOnError(msg, url, line, column, error) {
  var report = 'zevuzavidav://exception/uiwebkit?msg=' + encodeURIComponent(msg) +
      '&url=' + encodeURIComponent(url) + '&line=' + encodeURIComponent(line);
  if (column) {
    report += '&column=' + encodeURIComponent(column);
  }
  zevuzavidavExecute(report);
  if (typeof zevuzavidavOriginalOnError === 'function') {
    return zevuzavidavOriginalOnError(msg, url, line, column, error);
  }
}
'loaded';
)JS";

constexpr std::string_view kModernHandler = R"JS(function zevuzavidavOnError(msg, url, line, column, error) {
  var message = {'msg': msg, 'url': url, 'line': line, 'column': column};
  window.webkit.messageHandlers.zevuzavidav.postMessage(message);
  if (typeof zevuzavidavOriginalOnError === 'function') {
    return zevuzavidavOriginalOnError(msg, url, line, column, error);
  }
}
)JS";

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    for (;;) {
        auto at = text.find(separator);
        pieces.push_back(text.substr(0, at));
        if (at == std::string_view::npos) return pieces;
        text.remove_prefix(at + 1);
    }
}

} // namespace

const std::string& classicWebViewScript() {
    static const std::string script = std::string(kPrelude) + std::string(kClassicHandler);
    return script;
}

const std::string& modernWebViewScript() {
    static const std::string script = std::string(kPrelude) + std::string(kModernHandler);
    return script;
}

std::optional<std::string> webViewErrorMessageFromQuery(std::string_view query) {
    std::map<std::string_view, std::string_view> values;
    for (auto part : split(query, '&')) {
        auto pieces = split(part, '=');
        if (pieces.size() == 2) values[pieces[0]] = pieces[1];
    }
    auto msg = values.find("msg");
    if (msg == values.end()) return std::nullopt;
    return std::string(msg->second);
}

} // namespace zevuzavidav
