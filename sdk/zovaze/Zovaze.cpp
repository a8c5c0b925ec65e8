#include "sdk/zovaze/Zovaze.hpp"

Zovaze& Zovaze::with(const std::vector<std::string>& kitClasses) {
    // Nothing is started yet; the kits are wired in as they land.
    (void)kitClasses;
    static Zovaze shared;
    return shared;
}
