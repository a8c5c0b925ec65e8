#include "platform/net/ServerTrust.hpp"

#include <arpa/inet.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

namespace net {
namespace {

std::mutex& overrideMutex() {
    static std::mutex mutex;
    return mutex;
}

std::optional<std::vector<CertificateRef>>& systemAnchorOverride() {
    static std::optional<std::vector<CertificateRef>> anchors;
    return anchors;
}

bool isIPAddress(const std::string& host) {
    unsigned char buffer[16];
    return inet_pton(AF_INET, host.c_str(), buffer) == 1 || inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

struct StoreDeleter {
    void operator()(X509_STORE* store) const { X509_STORE_free(store); }
};
struct ContextDeleter {
    void operator()(X509_STORE_CTX* context) const { X509_STORE_CTX_free(context); }
};
struct StackDeleter {
    void operator()(STACK_OF(X509) * stack) const { sk_X509_free(stack); }
};

} // namespace

ServerTrust::ServerTrust(std::vector<CertificateRef> chain, std::string host)
    : chain_(std::move(chain)), host_(std::move(host)) {}

OSStatus ServerTrust::setAnchorCertificates(std::vector<CertificateRef> anchors) {
    for (const auto& anchor : anchors)
        if (!anchor) return errSecParam;
    anchors_ = std::move(anchors);
    return errSecSuccess;
}

OSStatus ServerTrust::setAnchorCertificatesOnly(bool anchorsOnly) {
    anchorsOnly_ = anchorsOnly;
    return errSecSuccess;
}

void ServerTrust::overrideSystemAnchorCertificates(std::optional<std::vector<CertificateRef>> anchors) {
    std::lock_guard lock(overrideMutex());
    systemAnchorOverride() = std::move(anchors);
}

OSStatus ServerTrust::evaluate(TrustResult& result) const {
    result = TrustResult::invalid;
    X509* leaf = chain_.empty() || !chain_.front() ? nullptr : chain_.front()->x509();
    if (leaf == nullptr) return errSecParam;

    std::unique_ptr<X509_STORE, StoreDeleter> store(X509_STORE_new());
    if (!store) {
        result = TrustResult::otherError;
        return errSecSuccess;
    }
    // An anchor whose bytes do not parse anchors nothing.
    auto addAnchor = [&store](const CertificateRef& anchor) {
        if (X509* certificate = anchor ? anchor->x509() : nullptr)
            X509_STORE_add_cert(store.get(), certificate);
    };
    for (const auto& anchor : anchors_)
        addAnchor(anchor);
    if (!anchorsOnly_) {
        std::lock_guard lock(overrideMutex());
        if (systemAnchorOverride()) {
            for (const auto& anchor : *systemAnchorOverride())
                addAnchor(anchor);
        } else {
            X509_STORE_set_default_paths(store.get());
        }
    }

    std::unique_ptr<STACK_OF(X509), StackDeleter> untrusted(sk_X509_new_null());
    for (std::size_t i = 1; i < chain_.size(); ++i)
        if (X509* certificate = chain_[i] ? chain_[i]->x509() : nullptr)
            sk_X509_push(untrusted.get(), certificate);

    std::unique_ptr<X509_STORE_CTX, ContextDeleter> context(X509_STORE_CTX_new());
    if (!context || X509_STORE_CTX_init(context.get(), store.get(), leaf, untrusted.get()) != 1) {
        result = TrustResult::otherError;
        return errSecSuccess;
    }
    X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(context.get());
    X509_VERIFY_PARAM_set_purpose(param, X509_PURPOSE_SSL_SERVER);
    // An anchor is trusted as it stands, as the platform does, even when it is an intermediate.
    X509_VERIFY_PARAM_set_flags(param, X509_V_FLAG_PARTIAL_CHAIN);
    if (!host_.empty()) {
        if (isIPAddress(host_))
            X509_VERIFY_PARAM_set1_ip_asc(param, host_.c_str());
        else
            X509_VERIFY_PARAM_set1_host(param, host_.c_str(), host_.size());
    }
    result = X509_verify_cert(context.get()) == 1 ? TrustResult::unspecified
                                                  : TrustResult::recoverableTrustFailure;
    return errSecSuccess;
}

} // namespace net
