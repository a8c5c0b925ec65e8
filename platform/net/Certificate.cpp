#include "platform/net/Certificate.hpp"

#include <openssl/x509.h>

namespace net {

std::shared_ptr<const Certificate> Certificate::createWithData(const std::uint8_t* bytes,
                                                               std::size_t length) {
    auto certificate = createWithCarriedData(bytes, length);
    if (certificate && certificate->x509() == nullptr) return nullptr;
    return certificate;
}

std::shared_ptr<const Certificate> Certificate::createWithCarriedData(const std::uint8_t* bytes,
                                                                      std::size_t length) {
    if (bytes == nullptr || length == 0 || length > static_cast<std::size_t>(INT32_MAX)) return nullptr;
    return std::shared_ptr<const Certificate>(
        new Certificate(std::vector<std::uint8_t>(bytes, bytes + length)));
}

std::shared_ptr<const Certificate> Certificate::fromX509(X509* x509) {
    if (x509 == nullptr) return nullptr;
    unsigned char* out = nullptr;
    int length = i2d_X509(x509, &out);
    if (length <= 0) return nullptr;
    std::vector<std::uint8_t> der(out, out + length);
    OPENSSL_free(out);
    X509_up_ref(x509);
    std::shared_ptr<const Certificate> certificate(new Certificate(std::move(der)));
    std::call_once(certificate->parsed_, [&] { certificate->x509_ = x509; });
    return certificate;
}

Certificate::~Certificate() {
    X509_free(x509_);
}

X509* Certificate::x509() const {
    std::call_once(parsed_, [this] {
        const unsigned char* cursor = der_.data();
        X509* parsed = d2i_X509(nullptr, &cursor, static_cast<long>(der_.size()));
        // A block with bytes after the certificate is not "a certificate": refuse it rather than guess.
        if (parsed != nullptr && cursor != der_.data() + der_.size()) {
            X509_free(parsed);
            parsed = nullptr;
        }
        x509_ = parsed;
    });
    return x509_;
}

std::string Certificate::subjectCommonName() const {
    X509* certificate = x509();
    if (certificate == nullptr) return {};
    X509_NAME* name = X509_get_subject_name(certificate);
    if (name == nullptr) return {};
    int index = X509_NAME_get_index_by_NID(name, NID_commonName, -1);
    if (index < 0) return {};
    ASN1_STRING* value = X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, index));
    unsigned char* utf8 = nullptr;
    int length = ASN1_STRING_to_UTF8(&utf8, value);
    if (length < 0) return {};
    std::string text(reinterpret_cast<char*>(utf8), static_cast<std::size_t>(length));
    OPENSSL_free(utf8);
    return text;
}

} // namespace net
