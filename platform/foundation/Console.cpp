#include "platform/foundation/Console.hpp"

#include <cstdio>
#include <memory>
#include <mutex>

namespace ns {
namespace {

std::mutex& sinkMutex() {
    static std::mutex m;
    return m;
}

ConsoleSink& currentSink() {
    static ConsoleSink sink;
    return sink;
}

void writeStdout(std::string_view line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

void console(std::string_view line) {
    ConsoleSink sink;
    {
        std::lock_guard lock(sinkMutex());
        sink = currentSink();
    }
    if (sink)
        sink(line);
    else
        writeStdout(line);
}

ConsoleSink setConsoleSink(ConsoleSink sink) {
    std::lock_guard lock(sinkMutex());
    ConsoleSink previous = std::move(currentSink());
    currentSink() = std::move(sink);
    return previous;
}

bool redirectConsoleToFile(const std::string& path) {
    std::FILE* raw = std::fopen(path.c_str(), "ae");
    if (!raw)
        return false;
    auto file = std::shared_ptr<std::FILE>(raw, [](std::FILE* f) { std::fclose(f); });
    auto fileMutex = std::make_shared<std::mutex>();
    setConsoleSink([file, fileMutex](std::string_view line) {
        std::lock_guard lock(*fileMutex);
        std::fwrite(line.data(), 1, line.size(), file.get());
        std::fputc('\n', file.get());
        std::fflush(file.get());
    });
    return true;
}

struct ConsoleCapture::State {
    mutable std::mutex mutex;
    std::vector<std::string> lines;
};

ConsoleCapture::ConsoleCapture() : state_(new State) {
    State* state = state_;
    previous_ = setConsoleSink([state](std::string_view line) {
        std::lock_guard lock(state->mutex);
        state->lines.emplace_back(line);
    });
}

ConsoleCapture::~ConsoleCapture() {
    setConsoleSink(std::move(previous_));
    delete state_;
}

std::vector<std::string> ConsoleCapture::lines() const {
    std::lock_guard lock(state_->mutex);
    return state_->lines;
}

std::size_t ConsoleCapture::count(std::string_view line) const {
    std::lock_guard lock(state_->mutex);
    std::size_t n = 0;
    for (const auto& l : state_->lines)
        if (l == line)
            ++n;
    return n;
}

void ConsoleCapture::clear() {
    std::lock_guard lock(state_->mutex);
    state_->lines.clear();
}

} // namespace ns
