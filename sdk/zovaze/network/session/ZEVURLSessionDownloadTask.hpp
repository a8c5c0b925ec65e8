#pragma once
// A task of the SDK's own session that writes the body to a temporary file (the process's temporary
// directory plus a globally unique name). The completion handler gets the file's URL, the response and
// the error; on success the session then hands the finished-download event on and deletes the file, so
// a handler must move or read the file before it returns.
//
// Failure contract: a file stream failure cancels the connection and completes the task with
// "ZEVURLSessionDownloadTaskError" -1 (or the connection's error if one came first); the task
// completes once. Beyond the bare stream events, the task makes sure that success always names a file
// that exists and is flushed to disk (an empty body gives an empty file; a file that cannot be flushed
// is a stream failure), that a failed download's partial file is deleted once the handler has
// returned, and that a cancelled download leaves no file behind.
#include "platform/net/OutputStream.hpp"
#include "sdk/zovaze/network/session/ZEVURLSessionDataTask.hpp"

namespace zovaze {
inline constexpr const char* kURLSessionDownloadTaskErrorDomain = "ZEVURLSessionDownloadTaskError";
} // namespace zovaze

class ZEVURLSessionDownloadTask final : public ZEVURLSessionDataTask {
  public:
    static std::shared_ptr<ZEVURLSessionDownloadTask> task();
    static std::string temporaryFileURL();
    ~ZEVURLSessionDownloadTask() override;

    net::URLSessionTaskKind kind() const override { return net::URLSessionTaskKind::download; }
    void cancel() override;
    void cleanup() override;

    net::DownloadTaskCompletionHandler downloadCompletionHandler() const;
    void setDownloadCompletionHandler(net::DownloadTaskCompletionHandler handler);
    const std::string& targetURL() const { return targetURL_; }
    const std::shared_ptr<net::FileOutputStream>& outputStream() const { return outputStream_; }

    void connectionDidReceiveData(net::URLConnection&, const std::vector<std::uint8_t>& data) override;
    void writeDataToStream(const std::vector<std::uint8_t>& data);
    // The stream's events; an error event fails the download.
    void stream(net::OutputStream& stream, net::StreamEvent handleEvent);
    void completeForError();

  protected:
    void complete() override;

  private:
    ZEVURLSessionDownloadTask();

    net::DownloadTaskCompletionHandler downloadCompletionHandler_;
    const std::string targetURL_;
    std::shared_ptr<net::FileOutputStream> outputStream_;
};
