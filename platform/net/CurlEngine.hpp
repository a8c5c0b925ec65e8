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
// Its end: the engine's destructor stops it and joins its thread, so no engine thread outlives its
// engine; the thread holds no reference to it, and the engine must not be let go on an engine thread
// (CurlSession hands it to another thread there). The program's exit comes before OpenSSL frees its
// state (libcrypto's exit handler, which libssl's start registers, runs last): an exit handler of its
// own stops every engine still there, joins its thread and closes its connections first, so no engine
// thread is inside OpenSSL, or ending and running OpenSSL's per-thread clean-up, when that state goes.
// Transfers still under way then are abandoned: their tasks never complete, as nothing is left to hear.
// An engine made after that has no thread: its tasks complete at once, cancelled. A forked child starts
// with none of its parent's engines on the list (their threads are not in it).
//
// Failure contract: a task given to add() completes exactly once (engineDidComplete), whatever happens
// before the program exits: success, transport failure, time-out, cancellation or the engine stopping. None
// of these waits on the network, and neither does the engine's end: a transfer ended while its host name is
// still being looked up leaves the look-up to end on its own thread, so a name server that never answers
// holds neither the thread, nor stop(), nor the join, nor the program's exit.
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
    // True on the thread of any engine.
    static bool onAnyEngineThread();

  private:
    CurlEngine();
    struct State;
    void run();
    // Stops the thread, joins it (once, whoever asks first; the others wait for that join) and closes
    // the connections, unless called on the thread itself.
    void end();
    static void endAllAtExit();

    std::unique_ptr<State> state_;
    std::thread thread_;
    std::once_flag joined_;
    std::atomic<std::thread::id> threadId_{};
};

} // namespace net::detail
