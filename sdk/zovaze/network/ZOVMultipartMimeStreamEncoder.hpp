#pragma once
// Writes a "multipart/form-data" body to an output stream, part by part, and counts the bytes written
// so the caller can set "Content-Length". Layout, byte for byte (all text UTF-8):
//
//   MIME-Version: 1.0\r\n                                             (head, before the first boundary)
//   --B\r\nContent-Disposition: form-data; name="N"\r\nContent-Type: text/plain\r\n\r\nVALUE\r\n
//   --B\r\nContent-Disposition: form-data; name="N"; filename="F"\r\nContent-Type: T\r\n
//        Content-Transfer-Encoding: binary\r\n\r\nBYTES\r\n                 (file part with a MIME type)
//   --B\r\nContent-Disposition: form-data; name="N"; filename="F"\r\n
//        Content-Type: application/octet-stream\r\n\r\nBYTES\r\n           (file part without one)
//   --B--\r\n                                                         (end)
//
// Field and file names go in exactly as given. A part whose value, field name, bytes or file name is
// absent (a null value counts as absent) is skipped without a trace; addFile() counts a file it cannot
// read to its end (missing, a folder, a read error, a link or a FIFO in its place, more than
// maximumFileLength bytes) as absent bytes.
//
// Failure contract: a write the stream does not take in full is logged ("[Zovaze] Failed to write data
// to stream") and the rest of that piece is dropped; `length` counts only what was written in full.
// Unlike a silent drop, every such failure is also reported: the add/write/end operations answer
// false, failed() stays true, and encode() answers false, so a truncated body (for example on a full
// disk) is never taken for a complete one. One thread at a time.
#include "platform/foundation/PropertyList.hpp"
#include "platform/net/OutputStream.hpp"
#include "platform/net/URLRequest.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class ZOVMultipartMimeStreamEncoder {
  public:
    // The longest file addFile() reads: the parts of a crash report (its record, logs and key-values,
    // compressed) stay far below it.
    static constexpr std::size_t maximumFileLength = 64 * 1024 * 1024;

    static std::string generateBoundary();
    static std::string contentTypeHTTPHeaderValueWithBoundary(const std::string& boundary);
    static std::shared_ptr<ZOVMultipartMimeStreamEncoder>
    encoderWithStream(std::shared_ptr<net::OutputStream> stream, std::optional<std::string> boundary);
    // Fills the request's body, "Content-Type" and "Content-Length" from an encoding in memory. Answers
    // false (and leaves the request untouched) when the encoding failed.
    static bool
    populateRequest(net::URLRequest& request,
                    const std::function<void(ZOVMultipartMimeStreamEncoder&)>& withDataFromEncoder);

    ZOVMultipartMimeStreamEncoder(std::shared_ptr<net::OutputStream> stream,
                                  std::optional<std::string> boundary);

    std::uint64_t length() const { return length_; }
    const std::string& boundary() const { return boundary_; }
    const std::shared_ptr<net::OutputStream>& outputStream() const { return outputStream_; }
    // True once any write of this encoding fell short.
    bool failed() const { return failed_; }

    bool encode(const std::function<void()>& block);
    void beginEncoding();
    bool endEncoding();

    bool addValue(const ns::PropertyList& value, const std::optional<std::string>& fieldName);
    bool addFileData(const std::optional<std::vector<std::uint8_t>>& data,
                     const std::optional<std::string>& fileName, const std::optional<std::string>& mimeType,
                     const std::optional<std::string>& fieldName);
    bool addFile(const std::string& fileURL, const std::optional<std::string>& fileName,
                 const std::optional<std::string>& mimeType, const std::optional<std::string>& fieldName);

    bool writeData(const std::vector<std::uint8_t>& data);
    bool writeBytes(const std::uint8_t* bytes, std::size_t length);

    std::vector<std::uint8_t> headerData() const;
    std::vector<std::uint8_t> footerData() const;
    std::string contentTypeHTTPHeaderValue() const;
    std::string contentLengthHTTPHeaderValue() const;

    // The text form of a value: a string unchanged, a number in decimal, a boolean as 1 or 0.
    static std::optional<std::string> textForValue(const ns::PropertyList& value);

  private:
    bool writeText(const std::string& text);

    std::uint64_t length_ = 0;
    std::string boundary_;
    std::shared_ptr<net::OutputStream> outputStream_;
    bool failed_ = false;
};
