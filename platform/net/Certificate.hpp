#pragma once
// One X.509 certificate, held as its DER bytes and as the parsed OpenSSL object.
//
// Failure contract: createWithData() returns null for bytes that are not exactly one DER certificate
// (trailing garbage is refused too); a made certificate is immutable and safe to share across threads.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

typedef struct x509_st X509;

namespace net {

class Certificate {
  public:
    static std::shared_ptr<const Certificate> createWithData(const std::uint8_t* bytes, std::size_t length);
    // Takes its own reference on `x509`; null when `x509` is null or cannot be encoded.
    static std::shared_ptr<const Certificate> fromX509(X509* x509);

    ~Certificate();
    Certificate(const Certificate&) = delete;
    Certificate& operator=(const Certificate&) = delete;

    const std::vector<std::uint8_t>& data() const { return der_; }
    // The subject's common name, empty when the subject has none.
    std::string subjectCommonName() const;
    X509* x509() const { return x509_; }

  private:
    Certificate(X509* x509, std::vector<std::uint8_t> der) : x509_(x509), der_(std::move(der)) {}
    X509* x509_;
    std::vector<std::uint8_t> der_;
};

using CertificateRef = std::shared_ptr<const Certificate>;

} // namespace net
