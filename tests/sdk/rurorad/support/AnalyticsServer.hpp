#pragma once
// A local HTTPS stand-in for the analytics service: records every upload (headers and form parts in the
// order sent) and answers with the status the test sets. Its root is installed as a root "the system"
// trusts for the server's lifetime, since the analytics client does not pin.
#include "platform/net/ServerTrust.hpp"
#include "tests/support/TestServers.hpp"

#include <zlib.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace ruroradtest {

struct UploadPart {
    std::string name;
    std::string filename;
    std::string contentType;
    std::string content;
};

struct Upload {
    httplib::Headers headers;
    std::vector<UploadPart> parts;
    std::string header(const std::string& name) const {
        auto found = headers.find(name);
        return found == headers.end() ? std::string("<absent>") : found->second;
    }
};

class AnalyticsServer {
  public:
    AnalyticsServer()
        : root_(velotest::makeRootAuthority("Rurorad Analytics Test Root")),
          leaf_(velotest::makeServerCertificate(*root_)), server_(*leaf_) {
        net::ServerTrust::overrideSystemAnchorCertificates(
            std::vector<net::CertificateRef>{root_->netCertificate()});
        server_.routes().Post("/spi/v1/analytics", [this](const httplib::Request& request,
                                                          httplib::Response& response,
                                                          const httplib::ContentReader& reader) {
            Upload upload{request.headers, {}};
            if (request.is_multipart_form_data()) {
                reader(
                    [&upload](const httplib::MultipartFormData& header) {
                        upload.parts.push_back({header.name, header.filename, header.content_type, {}});
                        return true;
                    },
                    [&upload](const char* data, std::size_t length) {
                        upload.parts.back().content.append(data, length);
                        return true;
                    });
            } else {
                reader([](const char*, std::size_t) { return true; });
            }
            std::lock_guard lock(mutex_);
            uploads_.push_back(std::move(upload));
            response.status = status_;
            if (status_ >= 500) response.set_header("Retry-After", "0");
            if (!location_.empty()) response.set_header("Location", location_);
            response.set_content("{}", "application/json");
        });
        // One request per connection, so that stopping never waits for an idle keep-alive connection.
        server_.routes().set_keep_alive_max_count(1);
        server_.start();
    }
    ~AnalyticsServer() {
        server_.stop();
        net::ServerTrust::overrideSystemAnchorCertificates(std::nullopt);
    }

    std::string url() const { return server_.url("/spi/v1/analytics"); }
    void setStatus(int status) {
        std::lock_guard lock(mutex_);
        status_ = status;
    }
    // Every upload is answered with a redirect there.
    void redirectTo(std::string location, int status = 307) {
        std::lock_guard lock(mutex_);
        status_ = status;
        location_ = std::move(location);
    }
    std::vector<Upload> uploads() const {
        std::lock_guard lock(mutex_);
        return uploads_;
    }
    std::size_t uploadCount() const {
        std::lock_guard lock(mutex_);
        return uploads_.size();
    }

  private:
    std::unique_ptr<velotest::TestIdentity> root_;
    std::unique_ptr<velotest::TestIdentity> leaf_;
    velotest::TestHTTPSServer server_;
    mutable std::mutex mutex_;
    std::vector<Upload> uploads_;
    int status_ = 200;
    std::string location_;
};

// The bytes of a gzip stream inflated; nothing when they are not one whole stream.
inline std::optional<std::string> gunzip(const std::string& bytes) {
    z_stream stream{};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) return std::nullopt;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    std::string out;
    char buffer[16384];
    int result = Z_OK;
    while (result == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        result = inflate(&stream, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - stream.avail_out);
    }
    const bool whole = result == Z_STREAM_END && stream.avail_in == 0;
    inflateEnd(&stream);
    if (!whole) return std::nullopt;
    return out;
}

} // namespace ruroradtest
