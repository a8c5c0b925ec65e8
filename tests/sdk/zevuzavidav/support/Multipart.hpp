#pragma once
// Reading back what the packaging wrote: the parts of a multipart body and the bytes of a gzip member.
#include <zlib.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace reporttest {

struct Part {
    std::string headers;
    std::string name;
    std::string fileName;
    std::string contentType;
    std::string data;
};

struct Body {
    std::string head;        // before the first boundary line
    std::vector<Part> parts; // in order
    bool closed = false;     // ends with the closing boundary line
};

inline std::string headerParameter(const std::string& headers, const std::string& key) {
    std::string marker = key + "=\"";
    std::size_t at = headers.find(marker);
    if (at == std::string::npos) return {};
    at += marker.size();
    return headers.substr(at, headers.find('"', at) - at);
}

inline Body parseMultipart(const std::string& body, const std::string& boundary) {
    Body result;
    const std::string delimiter = "--" + boundary;
    std::size_t at = body.find(delimiter + "\r\n");
    if (at == std::string::npos) return result;
    result.head = body.substr(0, at);
    for (;;) {
        std::size_t start = at + delimiter.size() + 2;
        std::size_t next = body.find("\r\n" + delimiter, start);
        if (next == std::string::npos) break;
        std::string piece = body.substr(start, next - start);
        std::size_t blank = piece.find("\r\n\r\n");
        Part part;
        part.headers = piece.substr(0, blank);
        part.data = blank == std::string::npos ? std::string() : piece.substr(blank + 4);
        part.name = headerParameter(part.headers, "name");
        part.fileName = headerParameter(part.headers, "filename");
        std::size_t type = part.headers.find("Content-Type: ");
        if (type != std::string::npos)
            part.contentType = part.headers.substr(type + 14, part.headers.find("\r\n", type) - type - 14);
        result.parts.push_back(std::move(part));
        at = next + 2;
        if (body.compare(at, delimiter.size() + 4, delimiter + "--\r\n") == 0) {
            result.closed = at + delimiter.size() + 4 == body.size();
            break;
        }
    }
    return result;
}

// The bytes of one gzip member, or nothing when it is not a whole, valid one.
inline std::optional<std::string> gunzip(const std::string& member) {
    z_stream stream{};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) return std::nullopt;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(member.data()));
    stream.avail_in = static_cast<uInt>(member.size());
    std::string out;
    char buffer[65536];
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        status = inflate(&stream, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - stream.avail_out);
    }
    bool whole = status == Z_STREAM_END && stream.avail_in == 0;
    inflateEnd(&stream);
    if (!whole) return std::nullopt;
    return out;
}

} // namespace reporttest
