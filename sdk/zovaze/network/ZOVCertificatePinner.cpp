#include "sdk/zovaze/network/ZOVCertificatePinner.hpp"

#include "sdk/zovaze/network/PinnedCertificateData.hpp"

#include <mutex>

std::shared_ptr<const zovaze::CertificateArray> ZOVPinnedCertificates() {
    static std::once_flag once;
    static std::shared_ptr<const zovaze::CertificateArray> pinned;
    std::call_once(once, [] {
        zovaze::CertificateArray certificates;
        // In the set's fixed order; the roots this build does not carry are simply absent. They are
        // parsed when a connection is first evaluated against them, not at start.
        for (const auto& block : zovaze::pins::pinnedRootCertificates())
            if (auto certificate = net::Certificate::createWithCarriedData(block.data(), block.size()))
                certificates.push_back(certificate);
        pinned = std::make_shared<const zovaze::CertificateArray>(std::move(certificates));
    });
    return pinned;
}

net::CertificateRef ZOVCertificateFromDERBytes(const std::uint8_t* bytes, std::size_t length) {
    return net::Certificate::createWithData(bytes, length);
}

net::CertificateRef ZOVCertificatePinner::createCertificationWithData(const std::uint8_t* bytes,
                                                                      std::size_t length) {
    return ZOVCertificateFromDERBytes(bytes, length);
}

std::int16_t ZOVCertificatePinner::evaluateTrust(net::ServerTrust& trust, net::TrustResult& result) const {
    if (certificates_.empty()) {
        result = net::TrustResult::invalid;
        return 0;
    }
    if (auto status = trust.setAnchorCertificates(certificates_); status != net::errSecSuccess) {
        result = net::TrustResult::fatalTrustFailure;
        return static_cast<std::int16_t>(status);
    }
    // Only the pinned roots count: a chain to a root the system trusts but the set lacks is refused.
    if (auto status = trust.setAnchorCertificatesOnly(true); status != net::errSecSuccess) {
        result = net::TrustResult::fatalTrustFailure;
        return static_cast<std::int16_t>(status);
    }
    net::TrustResult evaluated = net::TrustResult::invalid;
    if (auto status = trust.evaluate(evaluated); status != net::errSecSuccess) {
        result = net::TrustResult::invalid;
        return static_cast<std::int16_t>(status);
    }
    result = evaluated;
    return 0;
}

bool ZOVCertificatePinner::handleChallenge(const net::URLAuthenticationChallenge& challenge, net::URLSession&,
                                           const net::ChallengeCompletionHandler& completionHandler) const {
    const auto& trust = challenge.protectionSpace().serverTrust();
    if (!trust) {
        completionHandler(net::AuthChallengeDisposition::cancelAuthenticationChallenge, nullptr);
        return false;
    }
    net::TrustResult result = net::TrustResult::invalid;
    std::int16_t status = evaluateTrust(*trust, result);
    if (status == 0 && (result == net::TrustResult::proceed || result == net::TrustResult::unspecified)) {
        completionHandler(net::AuthChallengeDisposition::useCredential,
                          net::URLCredential::credentialForTrust(trust));
        return true;
    }
    completionHandler(net::AuthChallengeDisposition::cancelAuthenticationChallenge, nullptr);
    return false;
}
