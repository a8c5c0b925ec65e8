// The request base of the settings and onboarding operations, and the asynchronous operation life cycle.
#include "sdk/zovaze/network/ZOVNetworkOperation.hpp"

#include <gtest/gtest.h>

#include <condition_variable>
#include <thread>

namespace {

class ProbeOperation : public ZOVNetworkOperation {
  public:
    void main() override {
        ranOn = std::this_thread::get_id();
        std::unique_lock lock(mutex);
        cv.wait(lock, [&] { return release; });
        lock.unlock();
        finish();
    }
    void letFinish() {
        std::lock_guard lock(mutex);
        release = true;
        cv.notify_all();
    }
    std::thread::id ranOn;

  private:
    friend class ZOVNetworkOperation;
    explicit ProbeOperation(std::string key) : ZOVNetworkOperation(std::move(key)) {}
    std::mutex mutex;
    std::condition_variable cv;
    bool release = false;
};

TEST(ZOVNetworkOperation, AnOperationNeedsAKeyButMayHaveAnEmptyOne) {
    EXPECT_FALSE(ZOVNetworkOperation::initWithAPIKey<ProbeOperation>(std::nullopt));
    auto empty = ZOVNetworkOperation::initWithAPIKey<ProbeOperation>(std::string());
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->APIKey(), "");
}

TEST(ZOVNetworkOperation, DefaultRequestCarriesTheNineHeadersInOrder) {
    setenv("LC_ALL", "de_CH.UTF-8", 1);
    auto operation = ZOVNetworkOperation::initWithAPIKey<ProbeOperation>(std::string("key-1"));
    auto request =
        operation->mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL("https://127.0.0.1/x");
    unsetenv("LC_ALL");
    EXPECT_EQ(request.timeoutInterval(), 10.0);
    EXPECT_EQ(request.cachePolicy(), net::URLRequestCachePolicy::reloadIgnoringLocalCacheData);
    const std::vector<net::HeaderFields::Field> expected = {
        {"User-Agent", "io.zovaze.sdk.ios/1.6.0 (37)"},
        {"Accept-Charset", "utf-8"},
        {"Accept-Language", "de_CH"},
        {"Content-Language", "de_CH"},
        {"X-Zevuzavidav-Developer-Token", "7c3e9a1f0b5d2e8c4a6f1b9d3e7c0a5f2b8d4e6a"},
        {"X-Zevuzavidav-API-Client-Id", "io.zovaze.sdk.ios"},
        {"X-Zevuzavidav-API-Client-Display-Version", "1.6.0"},
        {"X-Zevuzavidav-API-Client-Build-Version", "37"},
        {"X-Zevuzavidav-API-Key", "key-1"},
    };
    EXPECT_EQ(request.allHTTPHeaderFields().fields(), expected);
    EXPECT_EQ(operation->mutableRequestWithDefaultHTTPHeadersForURL("https://h/", 2.0).timeoutInterval(),
              2.0);
}

TEST(ZOVNetworkOperation, LocaleFallsBackToPOSIXForOddValues) {
    for (const auto& [value, expected] : {std::pair{"C", "en_US_POSIX"},
                                          {"POSIX", "en_US_POSIX"},
                                          {"fr_FR@euro", "fr_FR"},
                                          {"x\r\ny", "en_US_POSIX"}}) {
        setenv("LC_ALL", value, 1);
        EXPECT_EQ(ZOVNetworkOperation::localeIdentifier(), expected) << value;
    }
    unsetenv("LC_ALL");
}

TEST(ZOVAsynchronousOperation, StartRunsMainOnAnotherThreadAndOnlyFinishEndsIt) {
    auto operation = ZOVNetworkOperation::initWithAPIKey<ProbeOperation>(std::string("k"));
    EXPECT_TRUE(operation->isConcurrent());
    EXPECT_FALSE(operation->isExecuting());
    operation->start();
    EXPECT_TRUE(operation->isExecuting());
    EXPECT_FALSE(operation->isFinished());
    operation->start(); // a second start does nothing
    operation->letFinish();
    operation->waitUntilFinished();
    EXPECT_TRUE(operation->isFinished());
    EXPECT_FALSE(operation->isExecuting());
    EXPECT_NE(operation->ranOn, std::this_thread::get_id());
}

} // namespace
