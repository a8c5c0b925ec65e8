// The crash reporter reaches the app's sandbox as it starts (the Documents folder it names in a
// report), in tests that set no home of their own too, and in the children they fork or start anew.
// Such a home is made under a temporary folder of this program's, removed when its tests end, not in the
// home of whoever runs them: the sandbox takes $VELOMARINTH_HOME, which the children inherit. A child
// that runs this program again (a test in a fresh process, a launch that crashes) finds the folder named
// in both variables and uses it, leaving it to the process that made it: the child may end by a crash.
#include "platform/foundation/Sandbox.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>

namespace {

constexpr const char* kHomesVariable = "VELO_TEST_HOMES";

class ProgramHome : public ::testing::Environment {
  public:
    void SetUp() override {
        const char* made = std::getenv(kHomesVariable);
        const char* home = std::getenv("VELOMARINTH_HOME");
        if (made != nullptr && home != nullptr && std::strcmp(made, home) == 0 &&
            std::filesystem::is_directory(made))
            return;
        folder_.emplace("velo-test-homes");
        ::setenv(kHomesVariable, folder_->string().c_str(), 1);
        ::setenv("VELOMARINTH_HOME", folder_->string().c_str(), 1);
        ns::Sandbox::reset();
    }
    // The variables stay: a home computed after this point must still not reach the real one.
    void TearDown() override { folder_.reset(); }

  private:
    std::optional<velotest::TempFolder> folder_;
};

[[maybe_unused]] ::testing::Environment* const programHome =
    ::testing::AddGlobalTestEnvironment(new ProgramHome);

} // namespace
