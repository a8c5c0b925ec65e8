#pragma once
// Where a request may go: the one rule every session of this platform and the backend client apply,
// to the URL a request starts with and to every URL a redirect leads to, before a byte is sent there.
//
// Requests carry keys, tokens and identifiers in their headers, and a server is only known to be the
// one meant over TLS, so:
//  - https:// may go anywhere (the certificate is then judged as usual, on every connection);
//  - plain http:// only to a loopback address written as a literal: 127.0.0.0/8 or ::1 (also as the
//    IPv4-mapped ::ffff:127.x.y.z), for servers on this machine. A host name, "localhost" included, is
//    refused: what it resolves to is not the app's to trust;
//  - a redirect must lead to a URL the first rule allows, and a request that has gone over HTTPS never
//    goes on over plain HTTP, not even to a loopback address.
// URLs are read with libcurl's own parser, so the host judged here is the host a transfer connects to.
//
// Failure contract: a URL that cannot be read (no scheme, no host, bad syntax) is refused. Plain
// functions, safe from any thread.
#include <string>

namespace net {

bool isURLAllowedByRequestPolicy(const std::string& url);
bool isRedirectAllowedByRequestPolicy(const std::string& from, const std::string& to);

// Whether `url` goes to this machine: its host is a loopback literal (as above) or "localhost".
bool isLoopbackURL(const std::string& url);

// One line for a person: why `url` is refused ("plain HTTP is allowed only to ...").
std::string requestPolicyRefusalReason(const std::string& url);

} // namespace net
