#pragma once
// A temporary sandbox home for one test: created fresh, installed with ns::Sandbox::setHome, removed
// afterwards. Tests never touch the real home.
#include "platform/foundation/Sandbox.hpp"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace velotest {

class TempHome {
  public:
    TempHome() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velo-foundation-XXXXXX").string();
        char* made = ::mkdtemp(pattern.data());
        path_ = made ? std::filesystem::path(made) : std::filesystem::path();
        ns::Sandbox::setHome(path_);
    }
    ~TempHome() {
        ns::Sandbox::reset();
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

} // namespace velotest
