#pragma once
// Temporary folders for tests: TempFolder is a fresh empty folder removed afterwards with all it holds
// (the one benchmarks use too); TempHome is one installed as the sandbox home (ns::Sandbox::setHome) for
// its lifetime, so a test never touches the real home. Every test that needs a folder of its own takes
// one of these, so none builds a path from a failed mkdtemp.
//
// Failure contract: when no folder can be made the constructor throws std::system_error naming the
// pattern and the reason, which fails the test there (gtest reports the exception) instead of letting it
// go on with an empty path.
#include "platform/foundation/Sandbox.hpp"
#include "tools/scratch/TempFolder.hpp"

namespace velotest {

using TempFolder = velotools::TempFolder;

class TempHome : public TempFolder {
  public:
    TempHome() { ns::Sandbox::setHome(path()); }
    ~TempHome() { ns::Sandbox::reset(); }
};

} // namespace velotest
