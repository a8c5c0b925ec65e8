#pragma once
// The root certificates the SDK trusts for its own servers, as DER blocks compiled into the program.
//
// Of the eight roots of the pinned set, this build carries the two that the host's certificate store
// provides: "Entrust Root Certification Authority" (1173 bytes) and "DigiCert High Assurance EV Root
// CA" (969 bytes). The others (AddTrust External CA Root; VeriSign Class 3 Public Primary
// Certification Authority - G5; VeriSign Class 1, 2, 3 and 4 Public Primary Certification Authority -
// G3) are retired roots that no longer ship with the host and cannot be obtained here; they are left
// out rather than made up.
//
// pinnedRootCertificates() is the set the SDK's own connections trust (ZOVPinnedCertificates() is built
// from it). The program's definition, in PinnedRootSet.cpp, answers the carried roots and nothing
// else; it is alone in its file so that a test build of the program can link its own definition in its
// place (the linker then never takes that file from the library). Nothing the shipped program reads at
// run time can add a root.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zovaze::pins {

extern const std::uint8_t kEntrustRootCertificationAuthority[1173];
extern const std::size_t kEntrustRootCertificationAuthorityLength;
extern const std::uint8_t kDigiCertHighAssuranceEVRootCA[969];
extern const std::size_t kDigiCertHighAssuranceEVRootCALength;

using DERBlock = std::vector<std::uint8_t>;

// The carried roots, in the set's fixed order.
std::vector<DERBlock> carriedRootCertificates();
// The roots to trust, in order; see above.
std::vector<DERBlock> pinnedRootCertificates();

} // namespace zovaze::pins
