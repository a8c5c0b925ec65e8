#pragma once
// An append-only file with a tracked size: the event logs of a session fragment. Opening creates the
// file when nothing is there (a directory standing at the path is removed first), continues the size
// of a file that exists, and leaves a handle open for appending.
//
// Writes are whole or nothing: appendData() hands the bytes to the kernel in one append, and when that
// fails part-way (a full disk, a file-size limit) the file is cut back to its earlier size, so a log
// never ends in half a line. A failed append answers the system's error (errno kept), counts no bytes,
// and leaves the file usable for the next append.
//
// Failure contract: creation answers nullptr when the file cannot be opened (logged while debugging).
// Opening a handle while one is open, and writing or truncating without one, are programming errors
// (asserted as "nil == _fileHandle" and "nil != _fileHandle"); in a build without assertions they
// answer EBADF errors instead. A file object is used from one thread at a time.
#include "platform/foundation/Result.hpp"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class ZEVEventLogFile {
  public:
    // Nullptr when the file cannot be had.
    static std::unique_ptr<ZEVEventLogFile> initWithURL(const std::string& fileURL);
    static std::unique_ptr<ZEVEventLogFile> initWithName(const std::string& name,
                                                         const std::string& directoryURL);
    virtual ~ZEVEventLogFile();
    ZEVEventLogFile(const ZEVEventLogFile&) = delete;
    ZEVEventLogFile& operator=(const ZEVEventLogFile&) = delete;

    ns::Result<void> openFileHandleForWriting();
    ns::Result<void> openFileHandleForReading();
    void closeFileHandle();
    bool hasOpenFileHandle() const { return fileHandle_ >= 0; }

    ns::Result<void> appendData(std::string_view bytes);
    ns::Result<void> resetFile();
    // The whole content; the handle is open for writing again afterwards.
    ns::Result<std::vector<std::uint8_t>> readFromFile();

    const std::string& fileURL() const { return fileURL_; }
    std::uint64_t fileSize() const { return fileSize_; }

  protected:
    explicit ZEVEventLogFile(std::string fileURL);
    // Steps 2 to 5 of opening; false when the file cannot be had.
    bool open();

  private:
    std::string fileURL_;
    std::uint64_t fileSize_ = 0;
    int fileHandle_ = -1;
};
