#pragma once
// A fresh, empty temporary folder, removed with all it holds when the object goes. Made with mkdtemp:
// unique, and private to this user. Tests and benchmarks that need a folder of their own take one, so
// none goes on with a path built from a failed mkdtemp.
//
// Failure contract: when no folder can be made the constructor throws std::system_error naming the
// pattern and the reason (a test fails there; a benchmark stops with that message) instead of going on
// with an empty path. Removal at the end is best effort.
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

namespace velotools {

class TempFolder {
  public:
    // `prefix` names the folder's owner in the temporary directory ("<prefix>-XXXXXX").
    explicit TempFolder(const std::string& prefix = "velo-test") {
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
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
    // Hands the folder over: it is no longer removed when this object goes.
    std::filesystem::path release() && { return std::exchange(path_, {}); }
    // The path as text, for the C interfaces that take a folder name.
    std::string string() const { return path_.string(); }

  private:
    std::filesystem::path path_;
};

} // namespace velotools
