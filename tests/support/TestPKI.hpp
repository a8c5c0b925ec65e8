#pragma once
// Certificates made at test time with OpenSSL: a root authority and server certificates it signs for
// 127.0.0.1. Keys are P-256 so that making them is quick.
#include "platform/net/Certificate.hpp"

#include <openssl/evp.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace velotest {

class TestIdentity {
  public:
    TestIdentity(X509* certificate, EVP_PKEY* key) : certificate_(certificate), key_(key) {}
    ~TestIdentity() {
        X509_free(certificate_);
        EVP_PKEY_free(key_);
    }
    TestIdentity(const TestIdentity&) = delete;
    TestIdentity& operator=(const TestIdentity&) = delete;

    X509* certificate() const { return certificate_; }
    EVP_PKEY* key() const { return key_; }
    net::CertificateRef netCertificate() const { return net::Certificate::fromX509(certificate_); }

  private:
    X509* certificate_;
    EVP_PKEY* key_;
};

namespace detail {

inline void addExtension(X509* certificate, X509* issuer, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    if (!extension) throw std::runtime_error("cannot make certificate extension");
    X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
}

inline std::unique_ptr<TestIdentity> makeCertificate(const std::string& commonName,
                                                     const TestIdentity* issuer, bool authority,
                                                     const std::string& subjectAltName) {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    if (!key) throw std::runtime_error("cannot make key");
    X509* certificate = X509_new();
    X509_set_version(certificate, 2);
    static long serial = 1000;
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), ++serial);
    X509_gmtime_adj(X509_getm_notBefore(certificate), -3600);
    X509_gmtime_adj(X509_getm_notAfter(certificate), 86400);
    X509_NAME* name = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0);
    X509_set_issuer_name(certificate, issuer ? X509_get_subject_name(issuer->certificate()) : name);
    X509_set_pubkey(certificate, key);
    X509* issuerCertificate = issuer ? issuer->certificate() : certificate;
    if (authority) {
        addExtension(certificate, issuerCertificate, NID_basic_constraints, "critical,CA:TRUE");
        addExtension(certificate, issuerCertificate, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        addExtension(certificate, issuerCertificate, NID_basic_constraints, "critical,CA:FALSE");
        addExtension(certificate, issuerCertificate, NID_ext_key_usage, "serverAuth");
        if (!subjectAltName.empty())
            addExtension(certificate, issuerCertificate, NID_subject_alt_name, subjectAltName.c_str());
    }
    X509_sign(certificate, issuer ? issuer->key() : key, EVP_sha256());
    return std::make_unique<TestIdentity>(certificate, key);
}

} // namespace detail

// A self-signed root authority.
inline std::unique_ptr<TestIdentity> makeRootAuthority(const std::string& commonName) {
    return detail::makeCertificate(commonName, nullptr, true, {});
}

// A server certificate for 127.0.0.1 (and localhost) signed by `issuer`.
inline std::unique_ptr<TestIdentity>
makeServerCertificate(const TestIdentity& issuer,
                      const std::string& subjectAltName = "IP:127.0.0.1,DNS:localhost") {
    return detail::makeCertificate("127.0.0.1", &issuer, false, subjectAltName);
}

} // namespace velotest
