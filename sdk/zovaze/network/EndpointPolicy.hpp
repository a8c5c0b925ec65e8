#pragma once
// Where the SDK may send its requests. Every request carries the API key, the developer token and the
// installation identifier, and certificate pinning only applies to HTTPS, so an endpoint pointed at a
// plain http:// URL (through the environment or the Info.plist) would send them in clear. The rule is
// the platform's request policy (platform/net/RequestPolicy.hpp), which the sessions also apply to every
// redirect: HTTPS, or plain HTTP to a loopback address literal only. The SDK's clients check it before
// they make a task, so a refused endpoint costs no connection at all.
//
// Failure contract: a URL that cannot be read (no scheme, no host) is refused; nothing is resolved,
// so a host name other than an address literal (localhost included) is refused for plain HTTP.
// Plain function, safe from any thread.
#include <string>

namespace zovaze {

// True for https:// URLs, and for http:// URLs whose host is a loopback address literal.
bool isURLAllowedForSDKRequest(const std::string& url);

} // namespace zovaze
