#pragma once
// Helpers for session tests: a temporary sandbox home, waiting for a task's outcome, and a delegate
// that records what it is told and answers server-trust challenges as the test says.
#include "platform/foundation/Sandbox.hpp"
#include "platform/net/URLSession.hpp"
#include "tests/support/TempHome.hpp"
#include "tests/support/Waiter.hpp"

#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <mutex>
#include <string>
#include <vector>

namespace velotest {

struct DataOutcome {
    std::optional<std::vector<std::uint8_t>> data;
    net::URLResponseRef response;
    std::optional<ns::Error> error;
    std::string body() const { return data ? std::string(data->begin(), data->end()) : std::string(); }
};

// Runs a data task and waits (up to `seconds`) for its completion handler; gives what it was handed.
inline DataOutcome runDataTask(net::URLSession& session, const net::URLRequest& request,
                               double seconds = velotest::kPatience) {
    auto waiter = std::make_shared<Waiter<DataOutcome>>();
    auto task = session.dataTaskWithRequest(
        request, [waiter](const auto& data, const auto& response, const auto& error) {
            waiter->set(DataOutcome{data, response, error});
        });
    if (!task) return DataOutcome{};
    task->resume();
    auto outcome = waiter->wait(seconds);
    return outcome ? *outcome : DataOutcome{std::nullopt, nullptr, ns::Error("test", -424242)};
}

// Waits until every block on the session's delegate queue when it is called has run: the queue a
// session makes for itself runs one block at a time in order, so a block added now runs after them.
// False when that block has not run after kPatience.
inline bool delegateQueueDrained(net::URLSession& session) {
    auto drained = std::make_shared<Waiter<bool>>();
    session.delegateQueue()->addOperation([drained] { drained->set(true); });
    return drained->wait().has_value();
}

// The tasks the session has under way (data, upload and download), as it lists them; 0 when it never
// answers within kPatience.
inline std::size_t tasksUnderWay(net::URLSession& session) {
    auto running = std::make_shared<Waiter<std::size_t>>();
    session.getTasksWithCompletionHandler(
        [running](const auto& data, const auto& upload, const auto& download) {
            running->set(data.size() + upload.size() + download.size());
        });
    return running->wait().value_or(0);
}

// What a delegate was told, in order, and the body bytes it was handed; safe from any thread.
class EventLog {
  public:
    void record(std::string event) {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
    }
    void appendBody(const std::vector<std::uint8_t>& data) {
        std::lock_guard lock(mutex_);
        body_.append(data.begin(), data.end());
    }
    std::vector<std::string> events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    std::string body() const {
        std::lock_guard lock(mutex_);
        return body_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> events_;
    std::string body_;
};

class RecordingDelegate : public net::URLSessionDelegate, public EventLog {
  public:
    enum class TrustAnswer { useCredential, cancel, defaultHandling };

    explicit RecordingDelegate(TrustAnswer answer = TrustAnswer::useCredential) : answer_(answer) {}

    void URLSessionDidReceiveChallenge(net::URLSession&, const net::URLAuthenticationChallenge& challenge,
                                       net::ChallengeCompletionHandler handler) override {
        record("challenge " + challenge.protectionSpace().host() + " " +
               std::to_string(challenge.protectionSpace().serverTrust()
                                  ? challenge.protectionSpace().serverTrust()->certificates().size()
                                  : 0));
        const auto& trust = challenge.protectionSpace().serverTrust();
        switch (answer_) {
        case TrustAnswer::useCredential:
            handler(net::AuthChallengeDisposition::useCredential,
                    net::URLCredential::credentialForTrust(trust));
            break;
        case TrustAnswer::cancel:
            handler(net::AuthChallengeDisposition::cancelAuthenticationChallenge, nullptr);
            break;
        case TrustAnswer::defaultHandling:
            handler(net::AuthChallengeDisposition::performDefaultHandling, nullptr);
            break;
        }
    }
    void URLSessionDataTaskDidReceiveResponse(
        net::URLSession&, const net::URLSessionTaskRef&, const net::URLResponseRef& response,
        std::function<void(net::URLSessionResponseDisposition)> handler) override {
        record("response " + std::to_string(response->statusCode().value_or(0)));
        handler(net::URLSessionResponseDisposition::allow);
    }
    void URLSessionDataTaskDidReceiveData(net::URLSession&, const net::URLSessionTaskRef&,
                                          const std::vector<std::uint8_t>& data) override {
        appendBody(data);
    }
    void URLSessionDownloadTaskDidFinishDownloadingToURL(net::URLSession&, const net::URLSessionTaskRef&,
                                                         const std::string& location) override {
        std::error_code ignored;
        record("downloaded " + std::to_string(std::filesystem::file_size(location, ignored)));
    }
    void URLSessionTaskDidCompleteWithError(net::URLSession&, const net::URLSessionTaskRef&,
                                            const std::optional<ns::Error>& error) override {
        record("complete " + std::to_string(error ? error->code() : 0));
        completed.set(true);
    }
    void URLSessionDidBecomeInvalidWithError(net::URLSession&, const std::optional<ns::Error>&) override {
        record("invalid");
        invalidated.set(true);
    }

    Waiter<bool> completed;
    Waiter<bool> invalidated;

  private:
    TrustAnswer answer_;
};

} // namespace velotest
