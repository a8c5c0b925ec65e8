#pragma once
// Where the SDK may send its requests. Every request carries the API key, the developer token and the
// installation identifier, and certificate pinning only applies to HTTPS, so an endpoint pointed at a
// plain http:// URL (through the environment or the Info.plist) would send them in clear. Plain HTTP
// is therefore allowed only to a loopback address: 127.0.0.0/8, ::1 (also written as an IPv4-mapped
// ::ffff:127.x.y.z), for local servers.
//
// Failure contract: a URL that cannot be read (no scheme, no host) is refused; nothing is resolved,
// so a host name other than an address literal (localhost included) is refused for plain HTTP.
// Plain function, safe from any thread.
#include <string>

namespace zovaze {

// True for https:// URLs, and for http:// URLs whose host is a loopback address literal.
bool isURLAllowedForSDKRequest(const std::string& url);

} // namespace zovaze
