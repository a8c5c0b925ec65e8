#pragma once
// An authentication challenge as a session hands it to its delegate: the protection space (host,
// port, protocol, authentication method and, for server trust, the server's trust object), and the
// answer types: a disposition and an optional credential.
//
// Failure contract: none; a challenge of a method other than server trust carries no trust object.
#include "platform/net/ServerTrust.hpp"

#include <functional>
#include <memory>
#include <string>

namespace net {

inline constexpr const char* AuthenticationMethodServerTrust = "NSURLAuthenticationMethodServerTrust";
inline constexpr const char* AuthenticationMethodHTTPBasic = "NSURLAuthenticationMethodHTTPBasic";

class URLProtectionSpace {
  public:
    URLProtectionSpace(std::string host, int port, std::string protocol, std::string authenticationMethod,
                       ServerTrustRef serverTrust = nullptr)
        : host_(std::move(host)), port_(port), protocol_(std::move(protocol)),
          method_(std::move(authenticationMethod)), trust_(std::move(serverTrust)) {}

    const std::string& host() const { return host_; }
    int port() const { return port_; }
    const std::string& protocol() const { return protocol_; }
    const std::string& authenticationMethod() const { return method_; }
    // Null unless the method is server trust.
    const ServerTrustRef& serverTrust() const { return trust_; }

  private:
    std::string host_;
    int port_;
    std::string protocol_;
    std::string method_;
    ServerTrustRef trust_;
};

class URLAuthenticationChallenge {
  public:
    explicit URLAuthenticationChallenge(URLProtectionSpace space) : space_(std::move(space)) {}
    const URLProtectionSpace& protectionSpace() const { return space_; }

  private:
    URLProtectionSpace space_;
};

// A credential that accepts a server's trust object as it is.
class URLCredential {
  public:
    static std::shared_ptr<URLCredential> credentialForTrust(ServerTrustRef trust) {
        return std::shared_ptr<URLCredential>(new URLCredential(std::move(trust)));
    }
    const ServerTrustRef& serverTrust() const { return trust_; }

  private:
    explicit URLCredential(ServerTrustRef trust) : trust_(std::move(trust)) {}
    ServerTrustRef trust_;
};

using URLCredentialRef = std::shared_ptr<URLCredential>;

enum class AuthChallengeDisposition {
    useCredential = 0,
    performDefaultHandling = 1,
    cancelAuthenticationChallenge = 2,
    rejectProtectionSpace = 3,
};

using ChallengeCompletionHandler = std::function<void(AuthChallengeDisposition, URLCredentialRef)>;

} // namespace net
