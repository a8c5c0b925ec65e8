#pragma once
// A data task whose request body streams from a file (the session sets that up when it makes the task).
#include "sdk/zovaze/network/session/ZEVURLSessionDataTask.hpp"

class ZEVURLSessionUploadTask final : public ZEVURLSessionDataTask {
  public:
    static std::shared_ptr<ZEVURLSessionUploadTask> task() {
        return std::shared_ptr<ZEVURLSessionUploadTask>(new ZEVURLSessionUploadTask());
    }
    net::URLSessionTaskKind kind() const override { return net::URLSessionTaskKind::upload; }

  private:
    ZEVURLSessionUploadTask() = default;
};
