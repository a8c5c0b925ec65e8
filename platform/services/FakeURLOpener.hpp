#pragma once
// Test double of the address opener: records every address it is handed and answers as told (true by
// default).
//
// Failure contract: none. Thread-safe.
#include "platform/services/URLOpener.hpp"

#include <mutex>
#include <string>
#include <vector>

namespace svc {

class FakeURLOpener : public URLOpener {
  public:
    bool openURL(const std::string& url) override;
    void setResult(bool result);
    std::vector<std::string> openedURLs() const;

  private:
    mutable std::mutex mutex_;
    bool result_ = true;
    std::vector<std::string> opened_;
};

} // namespace svc
