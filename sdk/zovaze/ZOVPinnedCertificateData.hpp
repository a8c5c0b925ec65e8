#pragma once
// The root certificates the SDK trusts for its own servers, as DER blocks compiled into the program.
//
// Of the eight roots of the pinned set, this build carries the two that the host's certificate store
// provides: "Entrust Root Certification Authority" (1173 bytes) and "DigiCert High Assurance EV Root
// CA" (969 bytes). The others (AddTrust External CA Root; VeriSign Class 3 Public Primary
// Certification Authority - G5; VeriSign Class 1, 2, 3 and 4 Public Primary Certification Authority -
// G3) are retired roots that no longer ship with the host and cannot be obtained here; they are left
// out rather than made up.
#include <cstddef>
#include <cstdint>

namespace zovaze_pins {

extern const std::uint8_t kEntrustRootCertificationAuthority[1173];
extern const std::size_t kEntrustRootCertificationAuthorityLength;
extern const std::uint8_t kDigiCertHighAssuranceEVRootCA[969];
extern const std::size_t kDigiCertHighAssuranceEVRootCALength;

} // namespace zovaze_pins
