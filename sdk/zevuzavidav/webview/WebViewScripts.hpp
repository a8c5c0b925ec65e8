#pragma once
// The scripts the kit puts into web pages so that their script errors are recorded, and the native end
// that reads what they send.
//
// Both scripts start with one prelude: it keeps the page's own load and error handlers, puts ours in
// their place, and on load puts ours back if the page replaced it (the page's handler then runs after
// ours). The classic web view's handler turns an error into the load of a "zevuzavidav://exception/
// uiwebkit?msg=…&url=…&line=…[&column=…]" frame, which reaches the web view's delegate; that script
// answers "loaded" when evaluated. The modern web view's handler posts {msg, url, line, column} to the
// script message handler named "zevuzavidav".
//
// Failure contract: the parser never throws; a query without a usable "msg" gives nothing.
#include <optional>
#include <string>
#include <string_view>

namespace zevuzavidav {

// The URL scheme and the message-handler name the scripts report through.
inline constexpr std::string_view kWebViewScheme = "zevuzavidav";
inline constexpr std::string_view kWebViewMessageHandlerName = "zevuzavidav";

// The whole script for the classic web view (prelude, handler, the final "loaded").
const std::string& classicWebViewScript();
// The whole script for the modern web view (prelude, handler).
const std::string& modernWebViewScript();

// The "msg" value of an error report's query text, taken as it stands (still percent-encoded): the
// query splits at every "&", each part at every "="; only parts of exactly two pieces count, and a later
// key overwrites an earlier one.
std::optional<std::string> webViewErrorMessageFromQuery(std::string_view query);

} // namespace zevuzavidav
