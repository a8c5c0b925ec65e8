#pragma once
// The Parse Server that `tools/backend/local-backend start DIR` runs for this test run, found through
// $VELOMARINTH_TEST_BACKEND=DIR, and what the tests do to it behind the app's back with the master
// key: read objects back field by field, change and delete them. SpareParseServer starts a second
// server on the same database that a test may stop.
//
// Failure contract: fromEnvironment answers nothing (and why) when the variable is unset or DIR holds no
// backend description. The REST calls answer nothing (or false) when the server cannot be reached or
// answers an error; they never throw.
#include "tests/support/ChildProcess.hpp"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

class LocalParseServer {
  public:
    std::filesystem::path folder;
    std::string server; // http://127.0.0.1:PORT/parse
    std::string applicationId;
    std::string clientKey;
    std::string masterKey;
    std::string parseServerVersion;
    std::string postgresVersion;

    static std::optional<LocalParseServer> fromEnvironment(std::string& whyNot) {
        const char* dir = std::getenv("VELOMARINTH_TEST_BACKEND");
        if (!dir || !*dir) {
            whyNot = "VELOMARINTH_TEST_BACKEND is not set";
            return std::nullopt;
        }
        std::ifstream in(std::filesystem::path(dir) / "backend.json");
        auto json = nlohmann::json::parse(in, nullptr, false);
        if (!json.is_object()) {
            whyNot = std::string("no backend description in ") + dir;
            return std::nullopt;
        }
        return LocalParseServer(dir, json.value("server", ""), json.value("applicationId", ""),
                                json.value("clientKey", ""), json.value("masterKey", ""),
                                json.value("parseServerVersion", ""), json.value("postgresVersion", ""));
    }

    // The version the server itself reports.
    std::optional<std::string> reportedVersion() const {
        auto answer = call("GET", "/serverInfo");
        if (!answer || !answer->contains("parseServerVersion")) return std::nullopt;
        return (*answer)["parseServerVersion"].get<std::string>();
    }

    // Every object of `className` matching `where` ("_Installation" is read through /installations).
    std::optional<nlohmann::json> find(const std::string& className, const nlohmann::json& where) const {
        auto answer = call("GET", collection(className) +
                                      "?where=" + httplib::detail::encode_query_param(where.dump()));
        if (!answer || !(*answer)["results"].is_array()) return std::nullopt;
        return (*answer)["results"];
    }

    bool update(const std::string& className, const std::string& objectId,
                const nlohmann::json& fields) const {
        return call("PUT", collection(className) + "/" + objectId, fields.dump()).has_value();
    }

    // Deletes every object matching `where`, so a test starts from a known state on a shared database.
    bool removeAll(const std::string& className, const nlohmann::json& where) const {
        auto objects = find(className, where);
        if (!objects) return false;
        for (const auto& object : *objects)
            if (!call("DELETE", collection(className) + "/" + object["objectId"].get<std::string>()))
                return false;
        return true;
    }

  private:
    LocalParseServer(std::filesystem::path folder, std::string server, std::string applicationId,
                     std::string clientKey, std::string masterKey, std::string version, std::string postgres)
        : folder(std::move(folder)), server(std::move(server)), applicationId(std::move(applicationId)),
          clientKey(std::move(clientKey)), masterKey(std::move(masterKey)),
          parseServerVersion(std::move(version)), postgresVersion(std::move(postgres)) {}

    static std::string collection(const std::string& className) {
        return className == "_Installation" ? "/installations" : "/classes/" + className;
    }

    std::optional<nlohmann::json> call(const std::string& method, const std::string& path,
                                       const std::string& body = "") const {
        // server is "http://host:port/parse": the client takes the part before the path.
        auto pathStart = server.find('/', server.find("//") + 2);
        httplib::Client client(server.substr(0, pathStart));
        client.set_connection_timeout(5);
        client.set_read_timeout(10);
        httplib::Headers headers{{"X-Parse-Application-Id", applicationId},
                                 {"X-Parse-Master-Key", masterKey}};
        std::string target = server.substr(pathStart) + path;
        httplib::Result result = method == "GET"   ? client.Get(target, headers)
                                 : method == "PUT" ? client.Put(target, headers, body, "application/json")
                                                   : client.Delete(target, headers);
        if (!result || result->status / 100 != 2) return std::nullopt;
        auto json = nlohmann::json::parse(result->body, nullptr, false);
        if (json.is_discarded()) return std::nullopt;
        return json;
    }
};

// A free port on 127.0.0.1 at the time of asking.
inline int freeLoopbackPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

// A second parse-server on the backend's database (`local-backend serve`, which becomes the server),
// stopped by its process id at the latest when this object goes, and by the kernel should the test
// process end first.
class SpareParseServer {
  public:
    SpareParseServer(const LocalParseServer& backend, std::string script) : port_(freeLoopbackPort()) {
        std::string port = std::to_string(port_);
        std::string folder = backend.folder.string();
        char* argv[] = {script.data(), const_cast<char*>("serve"), folder.data(), port.data(), nullptr};
        pid_ = velotest::forkTiedToThisProcess();
        if (pid_ == 0) {
            ::execve(script.c_str(), argv, environ);
            ::_exit(127);
        }
        if (pid_ < 0) pid_ = 0;
    }
    ~SpareParseServer() { stop(); }
    SpareParseServer(const SpareParseServer&) = delete;
    SpareParseServer& operator=(const SpareParseServer&) = delete;

    int port() const { return port_; }

    // Polls /parse/health until it answers 200 (an open port is not yet a server that answers).
    bool waitUntilHealthy(std::chrono::seconds limit) {
        auto deadline = std::chrono::steady_clock::now() + limit;
        httplib::Client client("127.0.0.1", port_);
        client.set_connection_timeout(1);
        while (pid_ > 0 && std::chrono::steady_clock::now() < deadline) {
            if (::waitpid(pid_, nullptr, WNOHANG) != 0) { // it ended
                pid_ = 0;
                return false;
            }
            auto result = client.Get("/parse/health");
            if (result && result->status == 200) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }

    void stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        velotest::reapWithin(pid_, velotest::kPatience, "the spare parse-server");
        pid_ = 0;
    }

  private:
    int port_;
    pid_t pid_ = 0;
};
