#pragma once
// Temporary folders for tests: TempFolder is a fresh empty folder removed afterwards with all it holds;
// TempHome is one installed as the sandbox home (ns::Sandbox::setHome) for its lifetime, so a test never
// touches the real home. Both are made with mkdtemp: unique, and private to this user. Every test that
// needs a folder of its own takes one of these, so none builds a path from a failed mkdtemp.
//
// Failure contract: when no folder can be made the constructor throws std::system_error naming the
// pattern and the reason, which fails the test there (gtest reports the exception) instead of letting it
// go on with an empty path.
#include "platform/foundation/Sandbox.hpp"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

namespace velotest {

class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velo-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::system_error(errno, std::generic_category(),
                                    "cannot make a temporary folder " + pattern);
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    TempFolder(TempFolder&& other) noexcept : path_(std::exchange(other.path_, {})) {}
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The path as text, for the C interfaces that take a folder name.
    std::string string() const { return path_.string(); }

  private:
    std::filesystem::path path_;
};

class TempHome : public TempFolder {
  public:
    TempHome() { ns::Sandbox::setHome(path()); }
    ~TempHome() { ns::Sandbox::reset(); }
};

} // namespace velotest
