#include "platform/foundation/Console.hpp"

#include "platform/foundation/FileContents.hpp"
#include <cstdio>
#include <memory>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// The log holds what the app and the SDK say about the learner's session: made 0600, like every file of
// the sandbox. A link, a FIFO or a hard link in its place holds nothing of ours and is removed as
// itself, never written through: lines would land where the link points, and a FIFO would block the
// program.
std::FILE* openPrivateForAppending(const std::string& path) {
    const int fd = openPrivateFileForWriting(path, O_WRONLY | O_APPEND);
    if (fd < 0) return nullptr;
    std::FILE* file = ::fdopen(fd, "a");
    if (!file) ::close(fd);
    return file;
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

namespace {

// The log file, started over when it would grow past its limit.
class RotatingLog {
  public:
    RotatingLog(std::string path, std::FILE* file, std::size_t limit)
        : path_(std::move(path)), file_(file), limit_(limit) {
        struct stat info {};
        if (::fstat(::fileno(file_), &info) == 0) size_ = static_cast<std::size_t>(info.st_size);
    }
    ~RotatingLog() { std::fclose(file_); }
    RotatingLog(const RotatingLog&) = delete;
    RotatingLog& operator=(const RotatingLog&) = delete;

    void write(std::string_view line) {
        std::lock_guard lock(mutex_);
        if (size_ > 0 && size_ + line.size() + 1 > limit_) rotate();
        std::fwrite(line.data(), 1, line.size(), file_);
        std::fputc('\n', file_);
        std::fflush(file_);
        size_ += line.size() + 1;
    }

  private:
    void rotate() {
        const std::string older = path_ + ".1";
        if (std::rename(path_.c_str(), older.c_str()) != 0) return;
        if (std::FILE* fresh = openPrivateForAppending(path_)) {
            std::fclose(file_);
            file_ = fresh;
            size_ = 0;
        }
    }

    std::mutex mutex_;
    std::string path_;
    std::FILE* file_;
    std::size_t limit_;
    std::size_t size_ = 0;
};

} // namespace

bool redirectConsoleToFile(const std::string& path, std::size_t limit) {
    std::FILE* raw = openPrivateForAppending(path);
    if (!raw) return false;
    auto log = std::make_shared<RotatingLog>(path, raw, limit);
    setConsoleSink([log](std::string_view line) { log->write(line); });
    return true;
}

struct ConsoleCapture::State {
    mutable std::mutex mutex;
    std::vector<std::string> lines;
};

// The sink shares the lines with the capture: a line being written on another thread, through a copy of
// the sink taken before the capture ended, lands in storage that is still there.
ConsoleCapture::ConsoleCapture() : state_(std::make_shared<State>()) {
    previous_ = setConsoleSink([state = state_](std::string_view line) {
        std::lock_guard lock(state->mutex);
        state->lines.emplace_back(line);
    });
}

ConsoleCapture::~ConsoleCapture() {
    setConsoleSink(std::move(previous_));
}

std::vector<std::string> ConsoleCapture::lines() const {
    std::lock_guard lock(state_->mutex);
    return state_->lines;
}

std::size_t ConsoleCapture::count(std::string_view line) const {
    std::lock_guard lock(state_->mutex);
    std::size_t n = 0;
    for (const auto& l : state_->lines)
        if (l == line) ++n;
    return n;
}

void ConsoleCapture::clear() {
    std::lock_guard lock(state_->mutex);
    state_->lines.clear();
}

} // namespace ns
