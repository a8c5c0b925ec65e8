#include "sdk/zovaze/network/session/ZEVURLSessionDownloadTask.hpp"

#include "platform/foundation/Sandbox.hpp"
#include "sdk/zovaze/base/HexAndDigests.hpp"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>

std::string ZEVURLSessionDownloadTask::temporaryFileURL() {
    static std::atomic<std::uint64_t> counter{0};
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, "-%d-%016llX", static_cast<int>(::getpid()),
                  static_cast<unsigned long long>(++counter));
    return (ns::Sandbox::tmp() / (ZOVGenerateUUIDString() + suffix)).string();
}

std::shared_ptr<ZEVURLSessionDownloadTask> ZEVURLSessionDownloadTask::task() {
    auto task = std::shared_ptr<ZEVURLSessionDownloadTask>(new ZEVURLSessionDownloadTask());
    std::weak_ptr<ZEVURLSessionDownloadTask> weak = task;
    task->outputStream_->setEventHandler([weak](net::StreamEvent event) {
        if (auto me = weak.lock()) me->stream(*me->outputStream_, event);
    });
    return task;
}

ZEVURLSessionDownloadTask::ZEVURLSessionDownloadTask()
    : targetURL_(temporaryFileURL()), outputStream_(std::make_shared<net::FileOutputStream>(targetURL_)) {}

ZEVURLSessionDownloadTask::~ZEVURLSessionDownloadTask() {
    outputStream_->setEventHandler(nullptr);
    outputStream_->close();
}

net::DownloadTaskCompletionHandler ZEVURLSessionDownloadTask::downloadCompletionHandler() const {
    std::lock_guard lock(mutex_);
    return downloadCompletionHandler_;
}

void ZEVURLSessionDownloadTask::setDownloadCompletionHandler(net::DownloadTaskCompletionHandler handler) {
    std::lock_guard lock(mutex_);
    downloadCompletionHandler_ = std::move(handler);
}

void ZEVURLSessionDownloadTask::cancel() {
    ZEVURLSessionDataTask::cancel();
    auto me = std::static_pointer_cast<ZEVURLSessionDownloadTask>(dataSelf());
    // Nobody will ever be handed the partial file of a cancelled download.
    queue().async([me] {
        me->outputStream_->close();
        me->cleanup();
    });
}

void ZEVURLSessionDownloadTask::cleanup() {
    std::error_code ignored;
    std::filesystem::remove(targetURL_, ignored);
}

void ZEVURLSessionDownloadTask::connectionDidReceiveData(net::URLConnection&,
                                                         const std::vector<std::uint8_t>& data) {
    auto me = std::static_pointer_cast<ZEVURLSessionDownloadTask>(dataSelf());
    queue().async([me, data] {
        if (me->isCancelled()) return;
        me->writeDataToStream(data);
    });
}

void ZEVURLSessionDownloadTask::writeDataToStream(const std::vector<std::uint8_t>& data) {
    if (outputStream_->streamStatus() == net::StreamStatus::notOpen) outputStream_->open();
    // One write per range; a failure arrives as the stream's error event.
    ZOVEnumerateDataByteRanges(data, [&](const std::uint8_t* bytes, zovaze::ByteRange range, bool&) {
        outputStream_->write(bytes, range.length);
    });
}

void ZEVURLSessionDownloadTask::stream(net::OutputStream&, net::StreamEvent handleEvent) {
    if (handleEvent == net::StreamEvent::errorOccurred) completeForError();
}

void ZEVURLSessionDownloadTask::completeForError() {
    auto me = std::static_pointer_cast<ZEVURLSessionDownloadTask>(dataSelf());
    queue().async([me] {
        if (me->isCancelled()) return;
        me->outputStream_->close();
        if (auto connection = me->connection()) connection->cancel();
        if (!me->error()) me->setError(ns::Error(zovaze::kURLSessionDownloadTaskErrorDomain, -1));
        me->complete();
    });
}

void ZEVURLSessionDownloadTask::complete() {
    if (!claimCompletion()) return;
    state_ = net::URLSessionTaskState::completed;
    if (!error()) {
        // Success names a file that exists and is on disk: an empty body still makes the file.
        if (outputStream_->streamStatus() == net::StreamStatus::notOpen) outputStream_->open();
        if (!outputStream_->close()) setError(ns::Error(zovaze::kURLSessionDownloadTaskErrorDomain, -1));
    } else {
        outputStream_->close();
    }
    auto error = this->error();
    auto me = dataSelf();
    if (auto handler = downloadCompletionHandler()) handler(targetURL_, response(), error);
    auto delegate = std::dynamic_pointer_cast<ZEVURLSessionDownloadDelegate>(this->delegate());
    if (!error && delegate) delegate->downloadTask(me, targetURL_);
    if (delegate) delegate->taskDidCompleteWithError(me, error);
    // A failed download's partial file is of no use to anyone once the handler has returned; without a
    // session to hand the file on, nobody deletes it later either.
    if (error || !delegate) cleanup();
    setDownloadCompletionHandler(nullptr);
    setConnection(nullptr);
}
