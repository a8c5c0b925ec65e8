#include "platform/net/CurlEngine.hpp"

#include "platform/darwin/ThreadStart.hpp"
#include "platform/foundation/FileContents.hpp"
#include "platform/foundation/Sandbox.hpp"
#include "platform/net/CurlTask.hpp"
#include "platform/net/RequestPolicy.hpp"
#include "platform/net/URLError.hpp"

#include <curl/curl.h>
#include <fcntl.h>
#include <openssl/crypto.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <pthread.h>
#include <set>

namespace net::detail {
namespace {

using SteadyClock = std::chrono::steady_clock;

enum class TrustFailure { none, cancelled, untrusted };

// Redirects are followed here, not by libcurl, so that the request policy and the server-trust check
// see every hop before anything is sent to it.
constexpr int maximumRedirects = 16;
// The header block of one hop (interim responses included); libcurl bounds each line, this the lot.
constexpr std::size_t maximumHeaderLength = 256 * 1024;

bool isRedirectStatus(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// OpenSSL frees its global state (locks, providers, error tables) when the process exits, unless told
// not to by whoever initialises it first. Other threads may still be inside OpenSSL then: the transfer
// thread when the app quits while a report or a log is being sent, or one still closing a session; they
// would use what was just freed. The end of the process frees it all anyway. Asked when the program
// starts; but where libssl's own start has initialised OpenSSL before (Debian 12's does), the free
// happens all the same, and the engines' exit handler (endAllAtExit) is what ends every engine first.
const bool openSSLKeepsItsStateUntilTheEnd = OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr) == 1;

// The engines whose threads may still run, for the exit handler. Kept for the whole process: the exit
// handler, and engines that end on other threads during the exit, still use it.
struct Engines {
    std::mutex mutex;
    std::set<CurlEngine*> live;
    bool exiting = false;
};

Engines& engines() {
    static auto* all = new Engines();
    return *all;
}

thread_local bool onEngineThread = false;

void initialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        (void)openSSLKeepsItsStateUntilTheEnd;
        curl_global_init(CURL_GLOBAL_DEFAULT);
    });
}

// The I/O state of one running task; owned by the engine thread.
struct Transfer {
    std::shared_ptr<CurlTask> task;
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    FILE* upload = nullptr;
    FILE* download = nullptr;
    std::string downloadPath;
    std::vector<std::uint8_t> body;
    HeaderFields responseHeaders;
    // The request's header fields as sent, kept to drop the body's fields when a redirect turns the
    // request into a GET.
    HeaderFields requestHeaders;
    std::string method;
    bool responseDelivered = false;
    SteadyClock::time_point lastActivity = SteadyClock::now();
    double timeout = URLRequest::defaultTimeoutInterval;
    std::string url;
    std::string host;
    int port = 0;
    TrustFailure trustFailure = TrustFailure::none;
    bool writeFailed = false;
    bool timedOut = false;
    std::size_t maximumBody = URLRequest::defaultMaximumResponseLength;
    std::size_t bodyBytes = 0;   // of this hop's answer, kept or discarded
    std::size_t headerBytes = 0; // of this hop
    bool tooLarge = false;       // the body's bound was met
    bool headerBlockTooLarge = false;
    // Inside a header block (from the start of a hop or a status line to the blank line ending it):
    // libcurl's "out of memory" there is its bound on one header line.
    bool inHeaderBlock = true;
    // The answer being received is a redirect to follow: its body is read and dropped.
    bool redirecting = false;
    int redirects = 0;
    bool tooManyRedirects = false;
    bool refusedByPolicy = false;
    bool restartFailed = false;
    const std::atomic<bool>* stopping = nullptr;

    ~Transfer() {
        if (easy) curl_easy_cleanup(easy);
        if (headers) curl_slist_free_all(headers);
        if (upload) std::fclose(upload);
        if (download) std::fclose(download);
    }

    void touch() { lastActivity = SteadyClock::now(); }

    void deliverResponseIfNeeded() {
        if (responseDelivered) return;
        responseDelivered = true;
        long status = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        char* effective = nullptr;
        curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &effective);
        std::string responseURL = effective ? effective : url;
        URLResponseRef response;
        if (status > 0)
            response = std::make_shared<URLResponse>(responseURL, static_cast<int>(status), responseHeaders);
        else
            response = std::make_shared<URLResponse>(responseURL);
        task->engineDidReceiveResponse(std::move(response));
    }
};

std::string trim(std::string text) {
    auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

size_t onHeader(char* buffer, size_t size, size_t count, void* userData) {
    auto* transfer = static_cast<Transfer*>(userData);
    size_t length = size * count;
    transfer->touch();
    transfer->headerBytes += length;
    if (transfer->headerBytes > maximumHeaderLength) {
        transfer->headerBlockTooLarge = true;
        return 0;
    }
    std::string line(buffer, length);
    if (line.rfind("HTTP/", 0) == 0) {
        // A new status line: an interim (1xx) response came before; keep only the last.
        transfer->responseHeaders.clear();
        transfer->redirecting = false;
        transfer->inHeaderBlock = true;
        return length;
    }
    if (trim(line).empty()) {
        transfer->inHeaderBlock = false;
        // The end of a header block: a redirect with somewhere to go is followed once its body is read.
        long status = 0;
        curl_easy_getinfo(transfer->easy, CURLINFO_RESPONSE_CODE, &status);
        transfer->redirecting = isRedirectStatus(status) && transfer->responseHeaders.value("Location");
        return length;
    }
    auto colon = line.find(':');
    if (colon == std::string::npos) return length;
    transfer->responseHeaders.append(trim(line.substr(0, colon)), trim(line.substr(colon + 1)));
    return length;
}

size_t onWrite(char* buffer, size_t size, size_t count, void* userData) {
    auto* transfer = static_cast<Transfer*>(userData);
    size_t length = size * count;
    transfer->touch();
    // Counted before anything is kept: a server that never stops sending is cut off at the bound, and
    // the task fails (URLErrorDataLengthExceedsMaximum) without any of it handed over.
    transfer->bodyBytes += length;
    if (transfer->bodyBytes > transfer->maximumBody) {
        transfer->tooLarge = true;
        return 0;
    }
    if (transfer->redirecting) return length;
    transfer->deliverResponseIfNeeded();
    if (transfer->download) {
        if (std::fwrite(buffer, 1, length, transfer->download) != length) {
            transfer->writeFailed = true;
            return 0;
        }
    } else if (transfer->task->collectsBody()) {
        transfer->body.insert(transfer->body.end(), buffer, buffer + length);
    } else {
        transfer->task->engineDidReceiveData(std::vector<std::uint8_t>(buffer, buffer + length));
    }
    return length;
}

size_t onRead(char* buffer, size_t size, size_t count, void* userData) {
    auto* transfer = static_cast<Transfer*>(userData);
    transfer->touch();
    size_t read = std::fread(buffer, 1, size * count, transfer->upload);
    if (read == 0 && std::ferror(transfer->upload)) return CURL_READFUNC_ABORT;
    return read;
}

int onProgress(void* userData, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* transfer = static_cast<Transfer*>(userData);
    return (transfer->task->cancelRequested() || transfer->stopping->load()) ? 1 : 0;
}

std::vector<CertificateRef> presentedChain(X509_STORE_CTX* context) {
    std::vector<CertificateRef> chain;
    X509* leaf = X509_STORE_CTX_get0_cert(context);
    if (auto certificate = Certificate::fromX509(leaf)) chain.push_back(std::move(certificate));
    STACK_OF(X509)* untrusted = X509_STORE_CTX_get0_untrusted(context);
    for (int i = 0; untrusted && i < sk_X509_num(untrusted); ++i) {
        X509* certificate = sk_X509_value(untrusted, i);
        if (leaf && X509_cmp(certificate, leaf) == 0) continue;
        if (auto made = Certificate::fromX509(certificate)) chain.push_back(std::move(made));
    }
    return chain;
}

// Replaces OpenSSL's own chain check for this connection: the session's delegate decides.
int verifyServerChain(X509_STORE_CTX* context, void* userData) {
    auto* transfer = static_cast<Transfer*>(userData);
    auto trust = std::make_shared<ServerTrust>(presentedChain(context), transfer->host);
    URLAuthenticationChallenge challenge(
        URLProtectionSpace(transfer->host, transfer->port, "https", AuthenticationMethodServerTrust, trust));
    auto [disposition, credential] =
        transfer->task->engineChallenge(challenge, transfer->timeout, *transfer->stopping);
    transfer->touch();

    if (disposition == AuthChallengeDisposition::cancelAuthenticationChallenge) {
        transfer->trustFailure = TrustFailure::cancelled;
        X509_STORE_CTX_set_error(context, X509_V_ERR_APPLICATION_VERIFICATION);
        return 0;
    }
    if (disposition == AuthChallengeDisposition::useCredential && credential &&
        credential->serverTrust() == trust)
        return 1;
    // Default handling (also a credential for some other trust object): the system's roots decide.
    TrustResult result = TrustResult::invalid;
    ServerTrust systemTrust(trust->certificates(), transfer->host);
    if (systemTrust.evaluate(result) == errSecSuccess &&
        (result == TrustResult::unspecified || result == TrustResult::proceed))
        return 1;
    transfer->trustFailure = TrustFailure::untrusted;
    X509_STORE_CTX_set_error(context, X509_V_ERR_CERT_UNTRUSTED);
    return 0;
}

CURLcode onSSLContext(CURL*, void* sslContext, void* userData) {
    auto* context = static_cast<SSL_CTX*>(sslContext);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_cert_verify_callback(context, verifyServerChain, userData);
    return CURLE_OK;
}

ns::Error errorFor(CURLcode code, const Transfer& transfer) {
    const std::string& url = transfer.url;
    if (transfer.task->cancelRequested()) return makeURLError(URLErrorCancelled, url);
    if (transfer.timedOut) return makeURLError(URLErrorTimedOut, url);
    if (transfer.trustFailure == TrustFailure::cancelled) return makeURLError(URLErrorCancelled, url);
    if (transfer.trustFailure == TrustFailure::untrusted)
        return makeURLError(URLErrorServerCertificateUntrusted, url);
    if (transfer.refusedByPolicy)
        return makeURLError(URLErrorAppTransportSecurityRequiresSecureConnection, url,
                            requestPolicyRefusalReason(url));
    if (transfer.tooManyRedirects) return makeURLError(URLErrorHTTPTooManyRedirects, url);
    if (transfer.restartFailed)
        return makeURLError(URLErrorUnknown, url, "the redirect could not be followed");
    if (transfer.headerBlockTooLarge)
        return makeURLError(URLErrorBadServerResponse, url,
                            "its header block is longer than " + std::to_string(maximumHeaderLength) +
                                " bytes");
    if (transfer.tooLarge)
        return makeURLError(URLErrorDataLengthExceedsMaximum, url,
                            "its body is longer than " + std::to_string(transfer.maximumBody) + " bytes");
    // libcurl keeps one header line whole and gives up past its bound, saying only "out of memory".
    if (code == CURLE_OUT_OF_MEMORY && transfer.inHeaderBlock)
        return makeURLError(URLErrorBadServerResponse, url,
                            "a header line is longer than " + std::to_string(CURL_MAX_HTTP_HEADER) +
                                " bytes");
    if (transfer.writeFailed) return makeURLError(URLErrorCannotWriteToFile, url);
    std::string detail = curl_easy_strerror(code);
    switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
        return makeURLError(URLErrorTimedOut, url, detail);
    case CURLE_URL_MALFORMAT:
        return makeURLError(URLErrorBadURL, url, detail);
    case CURLE_UNSUPPORTED_PROTOCOL:
        return makeURLError(URLErrorUnsupportedURL, url, detail);
    case CURLE_COULDNT_RESOLVE_HOST:
        return makeURLError(URLErrorCannotFindHost, url, detail);
    case CURLE_COULDNT_CONNECT:
        return makeURLError(URLErrorCannotConnectToHost, url, detail);
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
        return makeURLError(URLErrorSecureConnectionFailed, url, detail);
    case CURLE_WEIRD_SERVER_REPLY:
        return makeURLError(URLErrorBadServerResponse, url, detail);
    case CURLE_READ_ERROR:
        return makeURLError(URLErrorFileDoesNotExist, url, detail);
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
        return makeURLError(URLErrorNetworkConnectionLost, url, detail);
    default:
        return makeURLError(URLErrorUnknown, url, detail);
    }
}

// Hands the transfer's request header fields to libcurl (again, after a redirect changed them).
void setHeaderList(Transfer& transfer) {
    curl_slist* list = nullptr;
    for (const auto& [name, value] : transfer.requestHeaders.fields()) {
        std::string line = value.empty() ? name + ";" : name + ": " + value;
        list = curl_slist_append(list, line.c_str());
    }
    if (!transfer.requestHeaders.value("Expect")) list = curl_slist_append(list, "Expect:");
    curl_easy_setopt(transfer.easy, CURLOPT_HTTPHEADER, list);
    if (transfer.headers) curl_slist_free_all(transfer.headers);
    transfer.headers = list;
}

// A request to this machine never goes through a proxy the environment names (http_proxy and the
// like): it would carry the request's keys and tokens to the proxy and back. Others take the
// environment's choice, as libcurl makes it.
void chooseProxy(CURL* easy, const std::string& url) {
    curl_easy_setopt(easy, CURLOPT_PROXY, isLoopbackURL(url) ? "" : nullptr);
}

bool parseHost(const std::string& url, std::string& host, int& port) {
    CURLU* parsed = curl_url();
    if (!parsed) return false;
    bool ok = curl_url_set(parsed, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK;
    char* part = nullptr;
    if (ok && curl_url_get(parsed, CURLUPART_HOST, &part, 0) == CURLUE_OK) {
        host = part;
        curl_free(part);
        if (host.size() > 2 && host.front() == '[' && host.back() == ']')
            host = host.substr(1, host.size() - 2);
    } else {
        ok = false;
    }
    if (ok && curl_url_get(parsed, CURLUPART_PORT, &part, CURLU_DEFAULT_PORT) == CURLUE_OK) {
        port = std::atoi(part);
        curl_free(part);
    }
    curl_url_cleanup(parsed);
    return ok;
}

} // namespace

struct CurlEngine::State {
    enum class Command { add, cancel };
    CURLM* multi = nullptr;
    std::mutex mutex;
    std::deque<std::pair<Command, std::shared_ptr<CurlTask>>> commands;
    bool exited = false;
    std::atomic<bool> stopping{false};
    // Stopped by the program's exit: what is under way is dropped, not completed, since nothing is left
    // to hear of it (handlers would run on other threads while the program's objects go).
    std::atomic<bool> abandoning{false};
    std::map<CURL*, std::unique_ptr<Transfer>> transfers;

    // Prepares and adds a transfer; on failure completes the task at once and answers false.
    void start(const std::shared_ptr<CurlTask>& task);
    void finish(CURL* easy, std::optional<CURLcode> result);
    // Sends the transfer on to the redirect's target; false (with the reason marked on the transfer,
    // or none when the answer is to be taken as it is) when it ends here.
    bool follow(Transfer& transfer);
};

std::shared_ptr<CurlEngine> CurlEngine::create() {
    initialiseCurlOnce();
    static std::once_flag handlers;
    std::call_once(handlers, [] {
        // Exit handlers run in the reverse order of their registration, and libcrypto's runs after all
        // of the program's: this one comes before OpenSSL frees its state, whenever it is registered.
        std::atexit(endAllAtExit);
        // A child has none of its parent's engine threads: it neither joins nor stops them. The list is
        // taken across the fork, so the child never finds it held by a thread it does not have.
        ::pthread_atfork([] { engines().mutex.lock(); }, [] { engines().mutex.unlock(); },
                         [] {
                             engines().live.clear();
                             engines().mutex.unlock();
                         });
    });
    auto engine = std::shared_ptr<CurlEngine>(new CurlEngine());
    Engines& all = engines();
    std::lock_guard lock(all.mutex);
    if (all.exiting) {
        // Made while the program exits, once the engines have ended: it gets no thread.
        std::lock_guard stateLock(engine->state_->mutex);
        engine->state_->exited = true;
        return engine;
    }
    // The thread holds no reference: the engine's end joins it, so the engine outlives it.
    CurlEngine* raw = engine.get();
    engine->thread_ = darwin::startThread("net.CurlEngine", [raw] { raw->run(); });
    all.live.insert(raw);
    return engine;
}

CurlEngine::CurlEngine() : state_(std::make_unique<State>()) {
    state_->multi = curl_multi_init();
}

CurlEngine::~CurlEngine() {
    // Never on an engine thread (CurlSession sees to it): the end joins the thread.
    end();
    Engines& all = engines();
    std::lock_guard lock(all.mutex);
    all.live.erase(this);
}

bool CurlEngine::onAnyEngineThread() {
    return onEngineThread;
}

void CurlEngine::end() {
    stop();
    if (isIOThread()) return;
    std::lock_guard lock(state_->mutex);
    if (state_->multi) {
        curl_multi_cleanup(state_->multi);
        state_->multi = nullptr;
    }
}

void CurlEngine::endAllAtExit() {
    Engines& all = engines();
    std::lock_guard lock(all.mutex);
    all.exiting = true;
    // An engine whose destructor runs meanwhile on another thread waits here before it goes.
    for (CurlEngine* engine : all.live) {
        engine->state_->abandoning = true;
        engine->end();
    }
}

void CurlEngine::add(std::shared_ptr<CurlTask> task) {
    {
        std::lock_guard lock(state_->mutex);
        if (!state_->exited) {
            state_->commands.emplace_back(State::Command::add, std::move(task));
            curl_multi_wakeup(state_->multi);
            return;
        }
    }
    task->engineDidComplete(makeURLError(URLErrorCancelled, task->request().URL()), std::nullopt,
                            std::nullopt);
}

void CurlEngine::cancel(std::shared_ptr<CurlTask> task) {
    std::lock_guard lock(state_->mutex);
    if (state_->exited) return;
    state_->commands.emplace_back(State::Command::cancel, std::move(task));
    curl_multi_wakeup(state_->multi);
}

void CurlEngine::stop() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
        if (state_->multi) curl_multi_wakeup(state_->multi);
    }
    if (isIOThread()) return;
    // Whoever comes first joins; the others wait for that join, so each of them returns after the thread
    // has ended (OpenSSL's per-thread clean-up included).
    std::call_once(joined_, [this] {
        if (thread_.joinable()) thread_.join();
    });
}

void CurlEngine::run() {
    threadId_ = std::this_thread::get_id();
    onEngineThread = true;
    State& state = *state_;
    for (;;) {
        std::deque<std::pair<State::Command, std::shared_ptr<CurlTask>>> commands;
        bool stopping = false;
        {
            std::lock_guard lock(state.mutex);
            commands.swap(state.commands);
            stopping = state.stopping.load();
            if (stopping) state.exited = true;
        }
        for (auto& [command, task] : commands) {
            if (command == State::Command::add) {
                if (stopping && state.abandoning)
                    continue;
                else if (stopping)
                    task->engineDidComplete(makeURLError(URLErrorCancelled, task->request().URL()),
                                            std::nullopt, std::nullopt);
                else
                    state.start(task);
            } else {
                for (auto& [easy, transfer] : state.transfers) {
                    if (transfer->task == task) {
                        state.finish(easy, std::nullopt);
                        break;
                    }
                }
            }
        }
        if (stopping) {
            while (!state.transfers.empty()) {
                if (state.abandoning) {
                    curl_multi_remove_handle(state.multi, state.transfers.begin()->first);
                    state.transfers.erase(state.transfers.begin());
                } else {
                    state.finish(state.transfers.begin()->first, std::nullopt);
                }
            }
            return;
        }

        int running = 0;
        curl_multi_perform(state.multi, &running);
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(state.multi, &left)) {
            if (message->msg == CURLMSG_DONE) state.finish(message->easy_handle, message->data.result);
        }
        auto now = SteadyClock::now();
        std::vector<CURL*> expired;
        for (auto& [easy, transfer] : state.transfers) {
            if (transfer->task->cancelRequested()) {
                expired.push_back(easy);
            } else if (std::chrono::duration<double>(now - transfer->lastActivity).count() >
                       transfer->timeout) {
                transfer->timedOut = true;
                expired.push_back(easy);
            }
        }
        for (CURL* easy : expired)
            state.finish(easy, std::nullopt);

        curl_multi_poll(state.multi, nullptr, 0, state.transfers.empty() ? 1000 : 20, nullptr);
    }
}

void CurlEngine::State::start(const std::shared_ptr<CurlTask>& task) {
    auto transfer = std::make_unique<Transfer>();
    transfer->task = task;
    transfer->stopping = &stopping;
    const URLRequest& request = task->request();
    transfer->url = request.URL();
    transfer->timeout =
        request.timeoutInterval() > 0 ? request.timeoutInterval() : URLRequest::defaultTimeoutInterval;

    transfer->maximumBody = request.maximumResponseLength();
    transfer->method = request.HTTPMethod().empty() ? std::string("GET") : request.HTTPMethod();

    auto fail = [&](long code, const std::string& detail = {}) {
        task->engineDidComplete(makeURLError(code, request.URL(), detail), std::nullopt, std::nullopt);
    };
    if (!isURLAllowedByRequestPolicy(request.URL()))
        return fail(URLErrorAppTransportSecurityRequiresSecureConnection,
                    requestPolicyRefusalReason(request.URL()));
    if (!parseHost(request.URL(), transfer->host, transfer->port)) return fail(URLErrorBadURL);
    transfer->easy = curl_easy_init();
    if (!transfer->easy) return fail(URLErrorUnknown);
    CURL* easy = transfer->easy;
    Transfer* raw = transfer.get();

    curl_easy_setopt(easy, CURLOPT_URL, request.URL().c_str());
    chooseProxy(easy, request.URL());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    // A transfer ended while its host name is still being looked up (cancelled, timed out, the engine
    // stopping) leaves the look-up to finish on its own thread, which then frees what it used: libcurl
    // would otherwise wait for it here, as long as a silent name server takes (5 s a try), holding every
    // other transfer, the stop and so the end of the program.
    curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
    // Certificates are judged in verifyServerChain (the delegate, then the system's roots), never by
    // libcurl's own defaults; without the session-id cache every new connection is judged afresh.
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(easy, CURLOPT_SSL_SESSIONID_CACHE, 0L);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, onSSLContext);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, raw);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, raw);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, onWrite);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, raw);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, raw);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_PRIVATE, raw);

    const std::string& method = request.HTTPMethod();
    std::optional<std::string> bodyFile =
        task->uploadFile().empty() ? request.HTTPBodyFile() : task->uploadFile();
    if (bodyFile) {
        // Never through a link in the file's place, never from a FIFO.
        const int fd = ns::openRegularFile(*bodyFile, O_RDONLY);
        transfer->upload = fd < 0 ? nullptr : ::fdopen(fd, "rb");
        if (!transfer->upload) {
            if (fd >= 0) ::close(fd);
            return fail(URLErrorFileDoesNotExist);
        }
        struct stat info {};
        if (fstat(fd, &info) != 0) return fail(URLErrorFileDoesNotExist);
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_READFUNCTION, onRead);
        curl_easy_setopt(easy, CURLOPT_READDATA, raw);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(info.st_size));
        if (method != "POST") curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
    } else if (request.HTTPBody()) {
        const auto& body = *request.HTTPBody();
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(easy, CURLOPT_COPYPOSTFIELDS,
                         body.empty() ? "" : reinterpret_cast<const char*>(body.data()));
        if (method != "POST") curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
    } else if (method == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else if (method == "GET" || method.empty()) {
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    } else {
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
    }

    // The request's fields in their order, then the session's additional ones it lacks.
    HeaderFields headers = request.allHTTPHeaderFields();
    if (auto session = task->sessionConfiguration())
        for (const auto& [name, value] : session->HTTPAdditionalHeaders().fields())
            if (!headers.value(name)) headers.append(name, value);
    transfer->requestHeaders = std::move(headers);
    setHeaderList(*transfer);

    if (task->kind() == URLSessionTaskKind::download) {
        // Locked while the download runs: should the app quit half-way, the next start finds it
        // unlocked and removes it.
        auto file = ns::Sandbox::createTemporaryFile("CFNetworkDownload_", ".tmp");
        if (!file) return fail(URLErrorCannotCreateFile);
        transfer->downloadPath = file->path.string();
        transfer->download = fdopen(file->descriptor, "wb");
        if (!transfer->download) {
            ::close(file->descriptor);
            std::error_code ignored;
            std::filesystem::remove(file->path, ignored);
            return fail(URLErrorCannotCreateFile);
        }
    }

    transfer->touch();
    if (curl_multi_add_handle(multi, easy) != CURLM_OK) {
        if (!transfer->downloadPath.empty()) {
            std::error_code ignored;
            std::filesystem::remove(transfer->downloadPath, ignored);
        }
        return fail(URLErrorUnknown);
    }
    transfers.emplace(easy, std::move(transfer));
}

bool CurlEngine::State::follow(Transfer& transfer) {
    char* location = nullptr;
    curl_easy_getinfo(transfer.easy, CURLINFO_REDIRECT_URL, &location);
    // A "Location" that names no URL: the redirect answer itself is the outcome.
    if (!location) {
        transfer.redirecting = false;
        return false;
    }
    const std::string next = location;
    if (++transfer.redirects > maximumRedirects) {
        transfer.tooManyRedirects = true;
        return false;
    }
    std::string host;
    int port = 0;
    if (!isRedirectAllowedByRequestPolicy(transfer.url, next) || !parseHost(next, host, port)) {
        transfer.refusedByPolicy = true;
        transfer.url = next; // the error names the URL that was refused
        return false;
    }
    long status = 0;
    curl_easy_getinfo(transfer.easy, CURLINFO_RESPONSE_CODE, &status);
    curl_multi_remove_handle(multi, transfer.easy);
    // As browsers and the platform do: 303 asks for a GET; 301 and 302 turn a POST into a GET; 307 and
    // 308 repeat the request, body and all.
    const bool becomesGet = (status == 303 && transfer.method != "HEAD") ||
                            ((status == 301 || status == 302) && transfer.method == "POST");
    if (becomesGet) {
        transfer.method = "GET";
        curl_easy_setopt(transfer.easy, CURLOPT_CUSTOMREQUEST, nullptr);
        curl_easy_setopt(transfer.easy, CURLOPT_HTTPGET, 1L);
        if (transfer.upload) {
            std::fclose(transfer.upload);
            transfer.upload = nullptr;
        }
        transfer.requestHeaders.remove("Content-Type");
        transfer.requestHeaders.remove("Content-Length");
        setHeaderList(transfer);
    } else if (transfer.upload) {
        std::rewind(transfer.upload);
    }
    curl_easy_setopt(transfer.easy, CURLOPT_URL, next.c_str());
    chooseProxy(transfer.easy, next);
    transfer.url = next;
    transfer.host = host;
    transfer.port = port;
    transfer.redirecting = false;
    transfer.responseHeaders.clear();
    transfer.bodyBytes = 0;
    transfer.headerBytes = 0;
    transfer.inHeaderBlock = true;
    transfer.touch();
    if (curl_multi_add_handle(multi, transfer.easy) != CURLM_OK) {
        transfer.restartFailed = true;
        return false;
    }
    return true;
}

void CurlEngine::State::finish(CURL* easy, std::optional<CURLcode> result) {
    auto found = transfers.find(easy);
    if (found == transfers.end()) return;
    // The exit's stop can come while a round is under way: a transfer that round ends (its progress
    // callback aborted by the stop, a challenge given up, a cancel taken with the stop) is abandoned
    // like the rest, never completed while the program's objects go.
    if (abandoning.load()) {
        curl_multi_remove_handle(multi, easy);
        transfers.erase(found);
        return;
    }
    if (result && *result == CURLE_OK && found->second->redirecting &&
        !found->second->task->cancelRequested() && !stopping.load() && follow(*found->second))
        return;
    std::unique_ptr<Transfer> transfer = std::move(found->second);
    transfers.erase(found);
    curl_multi_remove_handle(multi, easy);

    std::optional<ns::Error> error;
    if (!result || *result != CURLE_OK || transfer->refusedByPolicy || transfer->tooManyRedirects ||
        transfer->restartFailed)
        error = errorFor(result.value_or(CURLE_ABORTED_BY_CALLBACK), *transfer);
    if (!error) transfer->deliverResponseIfNeeded();

    std::optional<std::string> downloadPath;
    int downloadLock = -1;
    if (transfer->download) {
        // The file is complete on disk before anyone is told about it. A second descriptor of the same
        // open file keeps its lock in tmp/ past the close, until the task has handed the file over.
        bool flushed = std::fflush(transfer->download) == 0 && fsync(fileno(transfer->download)) == 0;
        downloadLock = ::fcntl(fileno(transfer->download), F_DUPFD_CLOEXEC, 0);
        flushed = (std::fclose(transfer->download) == 0) && flushed;
        transfer->download = nullptr;
        if (!flushed && !error) error = makeURLError(URLErrorCannotWriteToFile, transfer->url);
        downloadPath = transfer->downloadPath;
    }
    std::optional<std::vector<std::uint8_t>> body;
    if (!error && transfer->task->collectsBody()) body = std::move(transfer->body);
    auto task = transfer->task;
    transfer.reset();
    task->engineDidComplete(std::move(error), std::move(body), std::move(downloadPath), downloadLock);
}

} // namespace net::detail
