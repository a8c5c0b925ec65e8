#pragma once
// The backend client over the Parse-style REST protocol, on libcurl.
//
//   find:          GET  <server>/classes/<class>?where=<JSON condition>
//   save:          POST <server>/classes/<class>           (PUT .../<objectId> once the object has one)
//   installation:  POST <server>/installations             (PUT .../<objectId> once registered)
// Every request carries "X-Parse-Application-Id" and "X-Parse-Client-Key"; bodies are JSON.
//
// Requests run one after another on the client's own worker thread, started on first use, so no call
// ever waits for the network; each outcome is delivered once through svc::deliverCallback (the app's
// main queue). This device's installation id is made once and kept in `installationFile` (written
// atomically), with the object id the server gave it, so later launches update the same installation;
// a file of more than 64 KiB there (it holds two short ids) is not read, and a new installation is made.
// An update the server answers with 404 (it has deleted the installation) registers it anew with POST.
//
// Failure contract: every failure arrives as the callback's error in backendErrorDomain: notConfigured
// before initialize(), with an empty application id or server, or with a server the platform's request
// policy refuses (plain http:// to anything but a loopback address literal: nothing is sent there);
// network when the server cannot be reached or does not answer within the timeout; server for an HTTP
// error status, a redirect included (redirects are not followed; the server's own "error" text is the
// description); badResponse for an answer that is not the expected JSON, is nested
// deeper than any object of ours, or is longer than `maxAnswerBytes`. Class names and object ids are
// percent-encoded into the path, so no text can address another path of the server. An
// installation file that cannot be read or written (even a folder in its place) costs only persistence: a
// console line says so and the installation is used all the same. Destroying the client aborts the request in
// flight and fails every request not yet done with a network error; it never waits on the network, not
// even on a name look-up that a silent name server holds (that look-up ends on its own). Thread-safe.
#include "platform/services/BackendClient.hpp"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace svc {

class RestBackendClient : public BackendClient {
  public:
    struct Options {
        std::filesystem::path installationFile;
        std::string appIdentifier;
        std::string appVersion;
        long connectTimeoutSeconds = 10;
        long timeoutSeconds = 30;
        // Answers are a few objects; anything longer is refused rather than kept in memory.
        std::size_t maxAnswerBytes = 4 * 1024 * 1024;
    };

    explicit RestBackendClient(Options options);
    ~RestBackendClient() override;
    RestBackendClient(const RestBackendClient&) = delete;
    RestBackendClient& operator=(const RestBackendClient&) = delete;

    void initialize(BackendConfiguration configuration) override;
    void findObjectsInBackground(const BackendQuery& query, FindObjectsCallback callback) override;
    void saveInBackground(const BackendObject& object, SaveCallback callback) override;
    std::optional<BackendObject> currentInstallation() override;
    void saveInstallationInBackground(const BackendObject& installation, SaveCallback callback) override;

  private:
    struct Response {
        long status = 0;
        std::string body;
        std::optional<ns::Error> transportError;
    };
    struct Request {
        std::string method;
        std::string path; // below the server address, starting with "/"
        std::string body;
        std::function<void(Response)> done;
    };
    // Everything the worker thread touches. The worker keeps it alive itself, so the client may be
    // released anywhere, even by a callback running on the worker thread.
    struct State {
        Options options;
        std::mutex mutex;
        std::condition_variable wake;
        std::deque<Request> queue;
        std::optional<BackendConfiguration> configuration;
        std::optional<BackendObject> installation;
        bool stopping = false;
        std::atomic<bool> abort{false};
        // libcurl's multi handle (CURLM*) the worker drives its transfers on, made with the worker: its
        // wake-up, safe from any thread, lets a stopping client end the transfer at once, whatever it
        // is doing (a name look-up included).
        void* multi = nullptr;
        ~State();
    };

    void enqueue(Request request);
    static void run(std::shared_ptr<State> state);
    static Response perform(State& state, const Request& request, const BackendConfiguration& configuration);
    void save(const BackendObject& object, const std::string& collectionPath, SaveCallback callback,
              std::function<void(const std::string& objectId)> onNewId);
    // What a save's answer means, delivered once to `callback`; `onNewId` sees an object id the server
    // gave (on the worker thread).
    static std::function<void(Response)>
    saveOutcome(SaveCallback callback, std::function<void(const std::string& objectId)> onNewId);
    // Puts a request first in line, from the worker itself; false once the client is stopping.
    static bool requeue(State& state, Request request);
    static void storeInstallation(const State& state, const std::string& installationId,
                                  const std::optional<std::string>& objectId);

    std::shared_ptr<State> state_;
    std::thread worker_;
};

} // namespace svc
