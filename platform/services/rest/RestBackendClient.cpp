#include "platform/services/rest/RestBackendClient.hpp"

#include "platform/darwin/ThreadStart.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/foundation/FileContents.hpp"
#include "platform/foundation/JSON.hpp"
#include "platform/foundation/Text.hpp"
#include "platform/foundation/UUID.hpp"
#include "platform/net/RequestPolicy.hpp"
#include "platform/services/Executor.hpp"
#include "platform/services/rest/ParseJson.hpp"

#include <curl/curl.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <memory>
#include <sstream>

namespace svc {

namespace {

ns::Error makeError(BackendErrorCode code, std::string description) {
    return ns::Error::make(backendErrorDomain, static_cast<long>(code), std::move(description));
}

void ensureCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct AnswerBody {
    std::string bytes;
    std::size_t limit = 0;
    bool tooLarge = false;
};

// A server that never stops talking would otherwise fill the memory before the timeout ends the
// transfer: past the limit the transfer is stopped.
size_t appendBody(char* data, size_t size, size_t count, void* user) {
    auto& body = *static_cast<AnswerBody*>(user);
    if (body.bytes.size() + size * count > body.limit) {
        body.tooLarge = true;
        return 0;
    }
    body.bytes.append(data, size * count);
    return size * count;
}

// Runs one transfer on `multi` until it ends, or until `abort` is set and the multi handle woken: a
// destroyed client then ends the transfer at once rather than at its timeout, whatever it is doing.
CURLcode runTransfer(CURLM* multi, CURL* easy, const std::atomic<bool>& abort) {
    if (curl_multi_add_handle(multi, easy) != CURLM_OK) return CURLE_FAILED_INIT;
    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    for (;;) {
        if (abort.load()) break;
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
        if (running == 0) {
            int left = 0;
            while (CURLMsg* message = curl_multi_info_read(multi, &left))
                if (message->msg == CURLMSG_DONE && message->easy_handle == easy)
                    result = message->data.result;
            break;
        }
        // Wakes for the transfer's sockets, its timers and the client's wake-up.
        curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
    }
    // The transfer set CURLOPT_QUICK_EXIT: a name look-up still running is left to end on its own
    // thread instead of being waited for here.
    curl_multi_remove_handle(multi, easy);
    return result;
}

std::string trimTrailingSlashes(std::string server) {
    while (!server.empty() && server.back() == '/')
        server.pop_back();
    return server;
}

// Percent-encodes one path segment or parameter value, so that no text (a class name, an object id read
// back from a file) can reach another path of the server.
std::string escape(const std::string& text) {
    char* escaped = curl_easy_escape(nullptr, text.c_str(), static_cast<int>(text.size()));
    std::string out = escaped ? escaped : "";
    curl_free(escaped);
    return out;
}

} // namespace

RestBackendClient::RestBackendClient(Options options) : state_(std::make_shared<State>()) {
    state_->options = std::move(options);
}

RestBackendClient::State::~State() {
    if (multi) curl_multi_cleanup(static_cast<CURLM*>(multi));
}

RestBackendClient::~RestBackendClient() {
    std::deque<Request> abandoned;
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
        state_->abort = true;
        abandoned.swap(state_->queue);
        if (state_->multi) curl_multi_wakeup(static_cast<CURLM*>(state_->multi));
    }
    state_->wake.notify_all();
    if (worker_.joinable()) {
        // The last reference may be dropped by a callback on the worker itself; it then ends on its own.
        if (worker_.get_id() == std::this_thread::get_id())
            worker_.detach();
        else
            worker_.join();
    }
    for (auto& request : abandoned) {
        request.done(
            Response{0, "", makeError(BackendErrorCode::network, "The backend client was shut down.")});
    }
}

void RestBackendClient::initialize(BackendConfiguration configuration) {
    std::lock_guard lock(state_->mutex);
    configuration.server = trimTrailingSlashes(std::move(configuration.server));
    state_->configuration = std::move(configuration);
}

void RestBackendClient::enqueue(Request request) {
    auto code = BackendErrorCode::notConfigured;
    std::string refusal = "The backend client is not configured.";
    {
        auto& state = *state_;
        std::lock_guard lock(state.mutex);
        bool usable = state.configuration && !state.configuration->applicationId.empty() &&
                      !state.configuration->server.empty();
        // Every request carries the client key: to a server the platform's request policy refuses
        // (plain HTTP to anything but a loopback address) nothing is sent at all.
        if (usable && !net::isURLAllowedByRequestPolicy(state.configuration->server)) {
            refusal = "The backend server " + state.configuration->server +
                      " is refused: " + net::requestPolicyRefusalReason(state.configuration->server) + ".";
            usable = false;
        }
        if (usable && !state.stopping) {
            if (!worker_.joinable()) {
                ensureCurl();
                state.multi = curl_multi_init();
                if (state.multi)
                    worker_ =
                        darwin::startThread("services.RestBackendClient", [state = state_] { run(state); });
            }
            if (worker_.joinable()) {
                state.queue.push_back(std::move(request));
                state.wake.notify_one();
                return;
            }
            code = BackendErrorCode::network;
            refusal = "Could not start a request.";
        }
    }
    request.done(Response{0, "", makeError(code, refusal)});
}

void RestBackendClient::run(std::shared_ptr<State> state) {
    for (;;) {
        Request request;
        BackendConfiguration configuration;
        {
            std::unique_lock lock(state->mutex);
            state->wake.wait(lock, [&] { return state->stopping || !state->queue.empty(); });
            if (state->stopping) return;
            request = std::move(state->queue.front());
            state->queue.pop_front();
            configuration = *state->configuration;
        }
        Response response = perform(*state, request, configuration);
        request.done(std::move(response));
    }
}

RestBackendClient::Response RestBackendClient::perform(State& state, const Request& request,
                                                       const BackendConfiguration& configuration) {
    Response response;
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
    if (!curl) {
        response.transportError = makeError(BackendErrorCode::network, "Could not start a request.");
        return response;
    }
    std::string url = configuration.server + request.path;
    curl_slist* headers = nullptr;
    headers = curl_slist_append(headers, ("X-Parse-Application-Id: " + configuration.applicationId).c_str());
    headers = curl_slist_append(headers, ("X-Parse-Client-Key: " + configuration.clientKey).c_str());
    headers = curl_slist_append(headers, "Content-Type: application/json");
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headerList(headers, curl_slist_free_all);

    CURL* h = curl.get();
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    // A backend on this machine is reached directly, never through a proxy the environment names: the
    // application id and client key would travel there.
    curl_easy_setopt(h, CURLOPT_PROXY, net::isLoopbackURL(url) ? "" : nullptr);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, request.method.c_str());
    if (request.method != "GET") {
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, request.body.c_str());
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE, static_cast<long>(request.body.size()));
    }
    AnswerBody body{{}, state.options.maxAnswerBytes, false};
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, appendBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, state.options.connectTimeoutSeconds);
    curl_easy_setopt(h, CURLOPT_TIMEOUT, state.options.timeoutSeconds);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    // Ending the transfer mid look-up (the client stopping) must not wait for the look-up: with a name
    // server that never answers that is 5 s a try, and the end of the program waits for this thread.
    curl_easy_setopt(h, CURLOPT_QUICK_EXIT, 1L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    // A redirect is not followed: it is an answer like any other (not a success), so the key never
    // travels anywhere the policy has not seen.
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);

    CURLcode result = runTransfer(static_cast<CURLM*>(state.multi), h, state.abort);
    if (body.tooLarge) {
        response.transportError =
            makeError(BackendErrorCode::badResponse,
                      "The backend's answer is too large (over " + std::to_string(body.limit) + " bytes).");
        return response;
    }
    if (result != CURLE_OK) {
        response.transportError =
            makeError(BackendErrorCode::network,
                      std::string("Could not reach the backend: ") + curl_easy_strerror(result));
        return response;
    }
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &response.status);
    response.body = std::move(body.bytes);
    return response;
}

void RestBackendClient::findObjectsInBackground(const BackendQuery& query, FindObjectsCallback callback) {
    std::string where = rest::whereParameter(query);
    std::string className = query.className();
    std::string path = "/classes/" + escape(className) + "?where=" + escape(where);
    enqueue(
        Request{"GET", std::move(path), "", [className, callback = std::move(callback)](Response response) {
                    std::optional<std::vector<BackendObject>> objects;
                    std::optional<ns::Error> error = response.transportError;
                    if (!error && (response.status < 200 || response.status > 299)) {
                        error = rest::errorForStatus(response.status, response.body);
                    }
                    if (!error) {
                        auto parsed = rest::parseFindAnswer(response.body, className);
                        if (parsed)
                            objects = std::move(parsed.value());
                        else
                            error = parsed.error();
                    }
                    deliverCallback([callback, objects = std::move(objects), error = std::move(error)] {
                        if (callback) callback(objects, error);
                    });
                }});
}

std::function<void(RestBackendClient::Response)>
RestBackendClient::saveOutcome(SaveCallback callback, std::function<void(const std::string&)> onNewId) {
    return [callback = std::move(callback), onNewId = std::move(onNewId)](Response response) {
        std::optional<ns::Error> error = response.transportError;
        if (!error && (response.status < 200 || response.status > 299)) {
            error = rest::errorForStatus(response.status, response.body);
        }
        if (!error) {
            auto parsed = rest::parseSaveAnswer(response.body);
            if (!parsed)
                error = parsed.error();
            else if (parsed.value() && onNewId)
                onNewId(*parsed.value());
        }
        bool succeeded = !error;
        deliverCallback([callback, succeeded, error = std::move(error)] {
            if (callback) callback(succeeded, error);
        });
    };
}

void RestBackendClient::save(const BackendObject& object, const std::string& collectionPath,
                             SaveCallback callback, std::function<void(const std::string&)> onNewId) {
    std::string path = collectionPath;
    std::string method = "POST";
    if (object.objectId()) {
        path += "/" + escape(*object.objectId());
        method = "PUT";
    }
    enqueue(Request{method, std::move(path), rest::objectBody(object),
                    saveOutcome(std::move(callback), std::move(onNewId))});
}

bool RestBackendClient::requeue(State& state, Request request) {
    {
        std::lock_guard lock(state.mutex);
        if (state.stopping) return false;
        state.queue.push_front(std::move(request));
    }
    state.wake.notify_one();
    return true;
}

void RestBackendClient::saveInBackground(const BackendObject& object, SaveCallback callback) {
    save(object, "/classes/" + escape(object.className()), std::move(callback), nullptr);
}

std::optional<BackendObject> RestBackendClient::currentInstallation() {
    auto& state = *state_;
    const auto& options = state.options;
    std::lock_guard lock(state.mutex);
    if (state.installation) return state.installation;

    std::optional<std::string> installationId;
    std::optional<std::string> objectId;
    // Read whole and never through a stream: a folder in the file's place makes stream reads throw.
    constexpr std::size_t installationFileLimit = 64 * 1024;
    if (auto text = ns::readFileText(options.installationFile, installationFileLimit)) {
        auto parsed = ns::parseJSON(*text);
        const nlohmann::json json = parsed ? std::move(parsed).value() : nlohmann::json();
        if (json.is_object() && json.contains("installationId") && json["installationId"].is_string()) {
            installationId = json["installationId"].get<std::string>();
            if (json.contains("objectId") && json["objectId"].is_string())
                objectId = json["objectId"].get<std::string>();
        } else {
            ns::console("The backend installation file could not be read; a new installation is made: " +
                        options.installationFile.string());
        }
    }
    bool fresh = !installationId;
    if (fresh) installationId = ns::lowercased(ns::UUID::random().string());

    BackendObject installation("_Installation");
    installation.setObjectId(objectId);
    installation.setObject("installationId", *installationId);
    installation.setObject("deviceType", "linux");
    if (!options.appIdentifier.empty()) installation.setObject("appIdentifier", options.appIdentifier);
    if (!options.appVersion.empty()) installation.setObject("appVersion", options.appVersion);
    state.installation = installation;
    if (fresh) storeInstallation(state, *installationId, objectId);
    return installation;
}

void RestBackendClient::storeInstallation(const State& state, const std::string& installationId,
                                          const std::optional<std::string>& objectId) {
    nlohmann::json json{{"installationId", installationId}};
    if (objectId) json["objectId"] = *objectId;
    const std::string text = rest::dump(json);
    auto written = ns::writeFileAtomically(state.options.installationFile,
                                           std::vector<std::uint8_t>(text.begin(), text.end()));
    if (!written)
        ns::console("The backend installation could not be kept: " + written.error().localizedDescription());
}

void RestBackendClient::saveInstallationInBackground(const BackendObject& installation,
                                                     SaveCallback callback) {
    std::weak_ptr<State> weak = state_;
    auto keepObjectId = [weak](const std::optional<std::string>& objectId) {
        auto state = weak.lock();
        if (!state) return;
        std::lock_guard lock(state->mutex);
        if (!state->installation) return;
        state->installation->setObjectId(objectId);
        if (const auto* id = state->installation->objectForKey("installationId"); id && id->stringValue()) {
            storeInstallation(*state, *id->stringValue(), objectId);
        }
    };
    auto onNewId = [keepObjectId](const std::string& objectId) { keepObjectId(objectId); };
    if (!installation.objectId()) {
        save(installation, "/installations", std::move(callback), onNewId);
        return;
    }
    // A server that has deleted the installation answers the update with "not found": it is then
    // registered anew, and the callback gets the outcome of that.
    BackendObject fresh = installation;
    fresh.setObjectId(std::nullopt);
    Request create{"POST", "/installations", rest::objectBody(fresh), saveOutcome(callback, onNewId)};
    auto updated = saveOutcome(std::move(callback), onNewId);
    enqueue(Request{"PUT", "/installations/" + escape(*installation.objectId()),
                    rest::objectBody(installation),
                    [weak, keepObjectId, create = std::move(create),
                     updated = std::move(updated)](Response response) mutable {
                        if (!response.transportError && response.status == 404) {
                            if (auto state = weak.lock()) {
                                ns::console("The backend no longer knows this installation; it is registered "
                                            "again.");
                                keepObjectId(std::nullopt);
                                if (requeue(*state, std::move(create))) return;
                            }
                        }
                        updated(std::move(response));
                    }});
}

} // namespace svc
