#pragma once
// The trust object of one TLS connection: the chain the server presented (leaf first) and the host
// name the client asked for, evaluated against a set of anchor certificates with OpenSSL.
//
// By default the anchors are the system's trusted roots (OpenSSL's default verify paths). Anchors set
// with setAnchorCertificates() are added to them; with setAnchorCertificatesOnly(true) they are the
// only roots that count. Anchor certificates are trusted as they are, also when they are not
// self-signed, and the leaf must match the host (name or IP address) and be valid for TLS servers.
//
// Failure contract: evaluate() answers a status (0 = the evaluation ran) and a TrustResult; a chain
// that does not verify is status 0 with result recoverableTrustFailure, never an exception. An empty
// chain, or one whose leaf does not parse, is status errSecParam with result invalid; anchors that do
// not parse are left out. Safe to use from one thread at a time.
#include "platform/net/Certificate.hpp"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace net {

// The platform's published trust-result values.
enum class TrustResult : std::uint32_t {
    invalid = 0,
    proceed = 1,
    deny = 3,
    unspecified = 4,
    recoverableTrustFailure = 5,
    fatalTrustFailure = 6,
    otherError = 7,
};

using OSStatus = std::int32_t;
inline constexpr OSStatus errSecSuccess = 0;
inline constexpr OSStatus errSecParam = -50;

class ServerTrust {
  public:
    ServerTrust(std::vector<CertificateRef> chain, std::string host);

    const std::vector<CertificateRef>& certificates() const { return chain_; }
    const std::string& host() const { return host_; }

    // Refuses (errSecParam) a list holding a null certificate.
    OSStatus setAnchorCertificates(std::vector<CertificateRef> anchors);
    OSStatus setAnchorCertificatesOnly(bool anchorsOnly);
    OSStatus evaluate(TrustResult& result) const;

    // The system's roots. Tests replace them with their own so that "a root the system trusts" can be a
    // certificate made at test time; nullopt restores the operating system's store.
    static void overrideSystemAnchorCertificates(std::optional<std::vector<CertificateRef>> anchors);

  private:
    std::vector<CertificateRef> chain_;
    std::string host_;
    std::vector<CertificateRef> anchors_;
    bool anchorsOnly_ = false;
};

using ServerTrustRef = std::shared_ptr<ServerTrust>;

} // namespace net
