// Test builds of the program only: the carried roots, then every certificate of the PEM file named by
// VELOMARINTH_TEST_PINNED_ROOTS, so that an end-to-end test can point the SDK at a local HTTPS server
// whose chain ends in a root made at test time. Linked in place of the library's PinnedRootSet.cpp;
// the shipped program never contains this file.
//
// Failure contract: no variable gives the carried roots alone; a file that cannot be read, or a block
// that is not a certificate, adds nothing beyond what was read before it, and says so in the log (the
// test then sees its requests refused).
#include "platform/foundation/Console.hpp"
#include "sdk/zovaze/network/PinnedCertificateData.hpp"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace zovaze::pins {

std::vector<DERBlock> pinnedRootCertificates() {
    std::vector<DERBlock> roots = carriedRootCertificates();
    const char* path = std::getenv("VELOMARINTH_TEST_PINNED_ROOTS");
    if (path == nullptr || *path == '\0') return roots;
    std::unique_ptr<BIO, decltype(&BIO_free)> file(BIO_new_file(path, "r"), &BIO_free);
    if (!file) {
        ns::console(std::string("[test pins] cannot read ") + path);
        return roots;
    }
    std::size_t added = 0;
    while (X509* certificate = PEM_read_bio_X509(file.get(), nullptr, nullptr, nullptr)) {
        unsigned char* der = nullptr;
        const int length = i2d_X509(certificate, &der);
        if (length > 0) {
            roots.emplace_back(der, der + length);
            ++added;
        }
        OPENSSL_free(der);
        X509_free(certificate);
    }
    // The loop ends on the file's end (or on a block it cannot read): either way nothing is left pending.
    ERR_clear_error();
    ns::console("[test pins] " + std::to_string(added) + " extra root(s) from " + path);
    return roots;
}

} // namespace zovaze::pins
