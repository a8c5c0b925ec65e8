#pragma once
// The one sink for the system's own diagnostic lines ("progress report saved", ...).
//
// By default a line goes to standard output. The terminal front end redirects the sink to a log file
// while it owns the screen; tests capture it with ConsoleCapture. Thread-safe: the SDK logs from its
// own queues.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ns {

using ConsoleSink = std::function<void(std::string_view line)>;

// Prints one line (a newline is added by the sink).
void console(std::string_view line);

// Replaces the sink; returns the previous one. An empty sink restores standard output.
ConsoleSink setConsoleSink(ConsoleSink sink);

// Sends every line to a file (appending). Returns false when the file cannot be opened; the sink is then
// left as it was.
bool redirectConsoleToFile(const std::string& path);

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
    State* state_;
    ConsoleSink previous_;
};

} // namespace ns
