#pragma once
// Temporary folders for tests: TempFolder is a fresh empty folder removed afterwards with all it holds;
// TempHome is one installed as the sandbox home (ns::Sandbox::setHome) for its lifetime, so a test never
// touches the real home. Both are made with mkdtemp: unique, and private to this user.
//
// Failure contract: when no folder can be made, path() is empty and the test's own file checks fail.
#include "platform/foundation/Sandbox.hpp"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace velotest {

class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velo-test-XXXXXX").string();
        char* made = ::mkdtemp(pattern.data());
        path_ = made ? std::filesystem::path(made) : std::filesystem::path();
    }
    ~TempFolder() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

class TempHome : public TempFolder {
  public:
    TempHome() { ns::Sandbox::setHome(path()); }
    ~TempHome() { ns::Sandbox::reset(); }
};

} // namespace velotest
