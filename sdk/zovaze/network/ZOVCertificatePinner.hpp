#pragma once
// Certificate pinning: the SDK trusts its servers only when their chain ends in one of the root
// certificates it carries (ZOVPinnedCertificates), ignoring the system's own roots.
//
// ZOVPinnedCertificates() builds the set once (thread-safe) and returns the same array on every call;
// see PinnedCertificateData.hpp for which roots this build carries. The roots' bytes are parsed at
// the first evaluation that uses them (net::Certificate::createWithCarriedData). ZOVCertificatePinner answers
// a session's server-trust challenge by evaluating the server's trust object against its certificates alone.
//
// Failure contract: every failure (no trust object, an empty certificate list, a chain that does not
// end in a pinned root, a failed evaluation) cancels the challenge; handleChallenge() always calls the
// completion handler exactly once before it returns. Nothing is logged.
#include "platform/net/AuthenticationChallenge.hpp"
#include "platform/net/Certificate.hpp"
#include "platform/net/ServerTrust.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace net {
class URLSession;
}

namespace zovaze {
using CertificateArray = std::vector<net::CertificateRef>;
} // namespace zovaze

std::shared_ptr<const zovaze::CertificateArray> ZOVPinnedCertificates();
net::CertificateRef ZOVCertificateFromDERBytes(const std::uint8_t* bytes, std::size_t length);

class ZOVCertificatePinner {
  public:
    static net::CertificateRef createCertificationWithData(const std::uint8_t* bytes, std::size_t length);

    explicit ZOVCertificatePinner(zovaze::CertificateArray certificates)
        : certificates_(std::move(certificates)) {}

    const zovaze::CertificateArray& certificates() const { return certificates_; }

    // Status 0 on success with `result` the platform's trust result; see the algorithm in the .cpp.
    std::int16_t evaluateTrust(net::ServerTrust& trust, net::TrustResult& result) const;
    bool handleChallenge(const net::URLAuthenticationChallenge& challenge, net::URLSession& session,
                         const net::ChallengeCompletionHandler& completionHandler) const;

  private:
    const zovaze::CertificateArray certificates_;
};
