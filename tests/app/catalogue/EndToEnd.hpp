#pragma once
// What the end-to-end tests share: where the built program is, and the command that starts it in a
// private sandbox with every server it would ask at a closed port on this machine.
#include "tests/support/Tmux.hpp"
#include "tools/loopback/LoopbackServers.hpp"

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace e2e {

// The program of an edition's bundle ("Swift", "SwiftUI", ...).
inline std::filesystem::path program(const std::string& bundle = "Swift") {
    return std::string(VELO_BINARY_DIR) + "/bundles/" + bundle + ".app/velomarinth";
}

// The test-only build of the Swift edition that counts the network as reachable, whatever this
// machine's routes (tests/support/ReachableNetwork.cpp).
inline std::filesystem::path reachableProgram() {
    return std::string(VELO_BINARY_DIR) + "/test-bundles/reachable/Swift.app/velomarinth";
}

// The environment and `executable`, ready for a shell: the sandbox in `home`, every server on a closed
// loopback port, and `extra` (more VAR=value words) before the program.
inline std::string commandFor(const std::filesystem::path& home, const std::filesystem::path& executable,
                              const std::string& extra = "") {
    return "env VELOMARINTH_HOME=" + velotest::quote(home.string()) + " " + velotools::loopbackServerWords() +
           " TERM=xterm-256color " + extra + " " + velotest::quote(executable.string());
}

// The same for the shipped program of an edition's bundle.
inline std::string command(const std::filesystem::path& home, const std::string& bundle = "Swift",
                           const std::string& extra = "") {
    return commandFor(home, program(bundle), extra);
}

// The process id a command wrote into `file` (0 when there is none yet).
inline pid_t readPid(const std::filesystem::path& file) {
    pid_t pid = 0;
    velotest::waitUntil([&] {
        std::ifstream in(file);
        return static_cast<bool>(in >> pid);
    });
    return pid;
}

// From the chapter list, opens the first chapter's first lesson and types `answer` into its field; the
// caller waits for what the answer brings.
inline void typeIntoTheFirstLesson(velotest::Tmux& tmux, const std::string& answer) {
    tmux.keys("Enter");
    tmux.waitFor("COURSE 1");
    tmux.keys("Enter");
    tmux.waitFor("Ctrl-R");
    tmux.literal(answer);
}

} // namespace e2e

// Skips the test when the program has not been built or tmux is missing.
#define E2E_REQUIRE_PROGRAM(bundle)                                                                          \
    do {                                                                                                     \
        if (!std::filesystem::exists(e2e::program(bundle)))                                                  \
            GTEST_SKIP() << "the program is not built: " << e2e::program(bundle);                            \
        if (!velotest::hasTmux()) GTEST_SKIP() << "tmux is not installed";                                   \
    } while (false)
