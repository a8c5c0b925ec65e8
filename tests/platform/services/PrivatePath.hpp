#pragma once
// PATH pointing at a folder of the test's own for the fixture's lifetime, so the desktop helpers the
// services start (xdg-open, xdg-email) are stand-ins the test writes, never the real programs. The
// folder holds nothing else, so stand-in scripts may use shell built-ins only.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

class PrivatePath {
  public:
    explicit PrivatePath(const std::string& name)
        : dir_(std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(dir_);
        const char* path = std::getenv("PATH");
        savedPath_ = path ? path : "";
        ::setenv("PATH", dir_.c_str(), 1);
    }
    ~PrivatePath() {
        ::setenv("PATH", savedPath_.c_str(), 1);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    PrivatePath(const PrivatePath&) = delete;
    PrivatePath& operator=(const PrivatePath&) = delete;

    const std::filesystem::path& dir() const { return dir_; }
    // Writes an executable shell script `program` with `body` after its #! line.
    void installScript(const std::string& program, const std::string& body) const {
        const auto script = dir_ / program;
        std::ofstream(script) << "#!/bin/sh\n" << body;
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    }

  private:
    std::filesystem::path dir_;
    std::string savedPath_;
};
