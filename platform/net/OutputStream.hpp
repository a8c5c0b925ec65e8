#pragma once
// Output streams: where a body is written, either into memory or into a file.
//
// open() must come before write(); write() answers how many bytes it wrote, -1 on failure. A stream
// that failed stays failed: later writes answer -1, streamError() tells why, and the event handler (if
// any) is told StreamEvent::errorOccurred once, on the writing thread.
//
// Failure contract: nothing throws. A file stream writes the whole range or reports how much it got
// out before the error (for example 0 on a full disk), and close() of a file stream flushes it to the
// disk and reports a failure to do so as an error too. Not thread-safe: one writer at a time.
#include "platform/foundation/Error.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace net {

enum class StreamStatus { notOpen, open, closed, error };
enum class StreamEvent { openCompleted = 1, hasSpaceAvailable = 4, errorOccurred = 8 };

class OutputStream {
  public:
    virtual ~OutputStream() = default;

    virtual void open() = 0;
    // Returns false (and fails the stream) when pending data could not be made durable.
    virtual bool close() = 0;
    virtual ssize_t write(const std::uint8_t* bytes, std::size_t length) = 0;

    StreamStatus streamStatus() const { return status_; }
    const std::optional<ns::Error>& streamError() const { return error_; }
    void setEventHandler(std::function<void(StreamEvent)> handler) { handler_ = std::move(handler); }

  protected:
    void fail(ns::Error error);
    void setStatus(StreamStatus status) { status_ = status; }

  private:
    StreamStatus status_ = StreamStatus::notOpen;
    std::optional<ns::Error> error_;
    std::function<void(StreamEvent)> handler_;
};

class MemoryOutputStream final : public OutputStream {
  public:
    void open() override;
    bool close() override;
    ssize_t write(const std::uint8_t* bytes, std::size_t length) override;
    const std::vector<std::uint8_t>& data() const { return data_; }

  private:
    std::vector<std::uint8_t> data_;
};

// Writes a file, replacing what was there (or appending when asked); never through a link in its place
// (ns::openPrivateFileForWriting).
class FileOutputStream final : public OutputStream {
  public:
    explicit FileOutputStream(std::string path, bool append = false)
        : path_(std::move(path)), append_(append) {}
    ~FileOutputStream() override;

    void open() override;
    bool close() override;
    ssize_t write(const std::uint8_t* bytes, std::size_t length) override;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
    bool append_;
    int fd_ = -1;
};

} // namespace net
