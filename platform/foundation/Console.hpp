#pragma once
// The one sink for the system's own diagnostic lines ("progress report saved", ...).
//
// By default a line goes to standard output. The terminal front end redirects the sink to a log file
// while it owns the screen; tests capture it with ConsoleCapture. Thread-safe: the SDK logs from its
// own queues.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ns {

using ConsoleSink = std::function<void(std::string_view line)>;

// Prints one line (a newline is added by the sink).
void console(std::string_view line);

// Replaces the sink; returns the previous one. An empty sink restores standard output.
ConsoleSink setConsoleSink(ConsoleSink sink);

// The size at which the console's log file starts over.
inline constexpr std::size_t consoleLogLimit = 1024 * 1024;

// Sends every line to a file (appending). A line that would take the file past `limit` bytes first
// moves it to "<path>.1" (replacing the one there) and starts a new file, so the log never holds more
// than the last two files' worth. A symbolic link or anything else that is not a regular file in the
// file's place is removed (as itself) and a new file made. Returns false when the file cannot be
// opened; the sink is then left as it was. When a rotation cannot open the new file, lines go on to the
// old one.
bool redirectConsoleToFile(const std::string& path, std::size_t limit = consoleLogLimit);

// Collects every console line while it lives, then restores the previous sink.
class ConsoleCapture {
  public:
    ConsoleCapture();
    ~ConsoleCapture();
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

    std::vector<std::string> lines() const;
    // How many captured lines equal `line` exactly.
    std::size_t count(std::string_view line) const;
    bool contains(std::string_view line) const { return count(line) > 0; }
    void clear();

  private:
    struct State;
    std::shared_ptr<State> state_;
    ConsoleSink previous_;
};

} // namespace ns
