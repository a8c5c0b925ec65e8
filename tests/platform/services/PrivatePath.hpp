#pragma once
// PATH pointing at a folder of the test's own for the fixture's lifetime, so the desktop helpers the
// services start (xdg-open, xdg-email) are stand-ins the test writes, never the real programs. The
// folder holds nothing else, so stand-in scripts may use shell built-ins only.
#include "tests/support/TempHome.hpp"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class PrivatePath {
  public:
    PrivatePath() {
        const char* path = std::getenv("PATH");
        savedPath_ = path ? path : "";
        ::setenv("PATH", dir().c_str(), 1);
    }
    ~PrivatePath() { ::setenv("PATH", savedPath_.c_str(), 1); }
    PrivatePath(const PrivatePath&) = delete;
    PrivatePath& operator=(const PrivatePath&) = delete;

    const std::filesystem::path& dir() const { return folder_.path(); }
    // Writes an executable shell script `program` with `body` after its #! line.
    void installScript(const std::string& program, const std::string& body) const {
        const auto script = dir() / program;
        std::ofstream(script) << "#!/bin/sh\n" << body;
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    }

  private:
    velotest::TempFolder folder_;
    std::string savedPath_;
};
