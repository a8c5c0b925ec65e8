#pragma once
// The I/O side of one platform session (internal): a libcurl multi handle driven by one thread.
//
// Tasks are handed over with add() and stopped with cancel(); both only queue a command and wake the
// thread. The thread owns every easy handle and file of its transfers. TLS certificate checks are done
// here, not by libcurl: each new connection's chain is offered to the task's session delegate as a
// server-trust challenge (see CurlTask::engineChallenge) and, on default handling, evaluated against
// the system's roots with ServerTrust.
//
// Redirects (301, 302, 303, 307, 308 with a "Location") are followed here, up to 16, each hop checked
// against the request policy (RequestPolicy.hpp) before it is sent; a new connection on the way raises
// its own server-trust challenge, so pinning holds on every hop. Each hop's answer is bounded: its
// header block by 256 KiB and each header line by libcurl's 100 KiB (URLErrorBadServerResponse, saying
// which), its body by the request's maximumResponseLength (URLErrorDataLengthExceedsMaximum; a
// redirect's own body included, though it is dropped). A hop to a loopback address or "localhost"
// never goes through a proxy the environment names; others take the environment's choice.
//
// A download's file in tmp/ stays locked from its creation until the task has handed it over and
// removed it (see CurlTask::engineDidComplete).
//
// Failure contract: a task given to add() always completes exactly once (engineDidComplete), whatever
// happens: success, transport failure, time-out, cancellation or the engine stopping. None of these waits
// on the network: a transfer ended while its host name is still being looked up leaves the look-up to
// end on its own thread, so a name server that never answers holds neither the thread nor stop().
#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace net::detail {

class CurlTask;

class CurlEngine : public std::enable_shared_from_this<CurlEngine> {
  public:
    static std::shared_ptr<CurlEngine> create();
    ~CurlEngine();

    void add(std::shared_ptr<CurlTask> task);
    void cancel(std::shared_ptr<CurlTask> task);
    // Cancels everything and ends the thread (joined unless called from the thread itself).
    void stop();

    bool isIOThread() const { return std::this_thread::get_id() == threadId_.load(); }

  private:
    CurlEngine();
    struct State;
    void run();

    std::unique_ptr<State> state_;
    std::thread thread_;
    std::atomic<std::thread::id> threadId_{};
};

} // namespace net::detail
