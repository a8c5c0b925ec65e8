#pragma once
// One X.509 certificate, held as its DER bytes and as the parsed OpenSSL object.
//
// Parsing is the costly part: the first certificate parsed in a process sets up OpenSSL's decoders
// (millions of instructions). Certificates the program carries itself are therefore kept as bytes and
// parsed on first use, which is a TLS connection's evaluation; a launch without one never pays.
//
// Failure contract: createWithData() returns null for bytes that are not exactly one DER certificate
// (trailing garbage is refused too). createWithCarriedData() only refuses empty or oversized input; when
// its bytes turn out not to be a certificate, x509() is null and subjectCommonName() empty, and trust
// evaluation leaves such an anchor out. A made certificate is immutable and safe to share across threads.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

typedef struct x509_st X509;

namespace net {

class Certificate {
  public:
    static std::shared_ptr<const Certificate> createWithData(const std::uint8_t* bytes, std::size_t length);
    // For DER blocks built into the program (and checked by its tests): parsed on first use.
    static std::shared_ptr<const Certificate> createWithCarriedData(const std::uint8_t* bytes,
                                                                    std::size_t length);
    // Takes its own reference on `x509`; null when `x509` is null or cannot be encoded.
    static std::shared_ptr<const Certificate> fromX509(X509* x509);

    ~Certificate();
    Certificate(const Certificate&) = delete;
    Certificate& operator=(const Certificate&) = delete;

    const std::vector<std::uint8_t>& data() const { return der_; }
    // The subject's common name, empty when the subject has none.
    std::string subjectCommonName() const;
    X509* x509() const;

  private:
    explicit Certificate(std::vector<std::uint8_t> der) : der_(std::move(der)) {}

    std::vector<std::uint8_t> der_;
    mutable std::once_flag parsed_;
    mutable X509* x509_ = nullptr;
};

using CertificateRef = std::shared_ptr<const Certificate>;

} // namespace net
