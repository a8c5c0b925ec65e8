// The program's trusted root set: exactly the roots it carries. Kept alone in this file so that this is
// the only definition the library offers (see PinnedCertificateData.hpp).
#include "sdk/zovaze/network/PinnedCertificateData.hpp"

namespace zovaze::pins {

std::vector<DERBlock> pinnedRootCertificates() {
    return carriedRootCertificates();
}

} // namespace zovaze::pins
