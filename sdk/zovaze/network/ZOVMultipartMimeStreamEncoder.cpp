#include "sdk/zovaze/network/ZOVMultipartMimeStreamEncoder.hpp"

#include "platform/foundation/Console.hpp"
#include "platform/foundation/FileContents.hpp"
#include "sdk/zovaze/base/HexAndDigests.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>

std::string ZOVMultipartMimeStreamEncoder::generateBoundary() {
    return ZOVGenerateUUIDString();
}

std::string
ZOVMultipartMimeStreamEncoder::contentTypeHTTPHeaderValueWithBoundary(const std::string& boundary) {
    return "multipart/form-data; boundary=" + boundary;
}

std::shared_ptr<ZOVMultipartMimeStreamEncoder>
ZOVMultipartMimeStreamEncoder::encoderWithStream(std::shared_ptr<net::OutputStream> stream,
                                                 std::optional<std::string> boundary) {
    return std::make_shared<ZOVMultipartMimeStreamEncoder>(std::move(stream), std::move(boundary));
}

ZOVMultipartMimeStreamEncoder::ZOVMultipartMimeStreamEncoder(std::shared_ptr<net::OutputStream> stream,
                                                             std::optional<std::string> boundary)
    : boundary_(boundary ? std::move(*boundary) : generateBoundary()), outputStream_(std::move(stream)) {}

bool ZOVMultipartMimeStreamEncoder::encode(const std::function<void()>& block) {
    beginEncoding();
    if (block) block();
    bool ended = endEncoding();
    return ended && !failed_;
}

void ZOVMultipartMimeStreamEncoder::beginEncoding() {
    length_ = 0;
    failed_ = false;
    if (outputStream_) outputStream_->open();
    writeData(headerData());
}

bool ZOVMultipartMimeStreamEncoder::endEncoding() {
    bool wrote = writeData(footerData());
    bool closed = outputStream_ && outputStream_->close();
    if (!closed) failed_ = true;
    return wrote && closed;
}

std::optional<std::string> ZOVMultipartMimeStreamEncoder::textForValue(const ns::PropertyList& value) {
    switch (value.type()) {
    case ns::PropertyList::Type::null:
        return std::nullopt;
    case ns::PropertyList::Type::string:
        return *value.stringValue();
    case ns::PropertyList::Type::integer:
        return std::to_string(*value.integerValue());
    case ns::PropertyList::Type::boolean:
        return *value.boolValue() ? "1" : "0";
    case ns::PropertyList::Type::real: {
        char buffer[64];
        auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, *value.realValue());
        return ec == std::errc() ? std::string(buffer, end) : std::string("nan");
    }
    default:
        return value.debugDescription();
    }
}

bool ZOVMultipartMimeStreamEncoder::addValue(const ns::PropertyList& value,
                                             const std::optional<std::string>& fieldName) {
    auto text = textForValue(value);
    if (!text || !fieldName) return true;
    bool ok =
        writeText("--" + boundary_ + "\r\nContent-Disposition: form-data; name=\"" + *fieldName + "\"\r\n");
    ok = writeText("Content-Type: text/plain\r\n\r\n") && ok;
    ok = writeText(*text + "\r\n") && ok;
    return ok;
}

bool ZOVMultipartMimeStreamEncoder::addFileData(const std::optional<std::vector<std::uint8_t>>& data,
                                                const std::optional<std::string>& fileName,
                                                const std::optional<std::string>& mimeType,
                                                const std::optional<std::string>& fieldName) {
    if (!data || !fileName || !fieldName) return true;
    bool ok = writeText("--" + boundary_ + "\r\nContent-Disposition: form-data; name=\"" + *fieldName +
                        "\"; filename=\"" + *fileName + "\"\r\n");
    if (mimeType) {
        ok = writeText("Content-Type: " + *mimeType + "\r\n") && ok;
        ok = writeText("Content-Transfer-Encoding: binary\r\n\r\n") && ok;
    } else {
        ok = writeText("Content-Type: application/octet-stream\r\n\r\n") && ok;
    }
    ok = writeData(*data) && ok;
    ok = writeText("\r\n") && ok;
    return ok;
}

bool ZOVMultipartMimeStreamEncoder::addFile(const std::string& fileURL,
                                            const std::optional<std::string>& fileName,
                                            const std::optional<std::string>& mimeType,
                                            const std::optional<std::string>& fieldName) {
    return addFileData(ns::readFileBytes(fileURL, maximumFileLength), fileName, mimeType, fieldName);
}

bool ZOVMultipartMimeStreamEncoder::writeData(const std::vector<std::uint8_t>& data) {
    bool ok = true;
    ZOVEnumerateDataByteRanges(data, [&](const std::uint8_t* bytes, zovaze::ByteRange range, bool& stop) {
        ssize_t written = outputStream_ ? outputStream_->write(bytes, range.length) : -1;
        if (written >= 0 && static_cast<std::size_t>(written) == range.length) {
            length_ += range.length;
            return;
        }
        ns::console("[Zovaze] Failed to write data to stream");
        failed_ = true;
        ok = false;
        stop = true;
    });
    return ok;
}

bool ZOVMultipartMimeStreamEncoder::writeBytes(const std::uint8_t* bytes, std::size_t length) {
    ssize_t written = outputStream_ ? outputStream_->write(bytes, length) : -1;
    if (written >= 0 && static_cast<std::size_t>(written) == length) {
        length_ += length;
        return true;
    }
    ns::console("[Zovaze] Failed to write bytes to stream");
    failed_ = true;
    return false;
}

bool ZOVMultipartMimeStreamEncoder::writeText(const std::string& text) {
    return writeData(std::vector<std::uint8_t>(text.begin(), text.end()));
}

std::vector<std::uint8_t> ZOVMultipartMimeStreamEncoder::headerData() const {
    static const std::string head = "MIME-Version: 1.0\r\n";
    return std::vector<std::uint8_t>(head.begin(), head.end());
}

std::vector<std::uint8_t> ZOVMultipartMimeStreamEncoder::footerData() const {
    std::string end = "--" + boundary_ + "--\r\n";
    return std::vector<std::uint8_t>(end.begin(), end.end());
}

std::string ZOVMultipartMimeStreamEncoder::contentTypeHTTPHeaderValue() const {
    return contentTypeHTTPHeaderValueWithBoundary(boundary_);
}

std::string ZOVMultipartMimeStreamEncoder::contentLengthHTTPHeaderValue() const {
    return std::to_string(length_);
}

bool ZOVMultipartMimeStreamEncoder::populateRequest(
    net::URLRequest& request,
    const std::function<void(ZOVMultipartMimeStreamEncoder&)>& withDataFromEncoder) {
    auto stream = std::make_shared<net::MemoryOutputStream>();
    ZOVMultipartMimeStreamEncoder encoder(stream, generateBoundary());
    bool ok = encoder.encode([&] {
        if (withDataFromEncoder) withDataFromEncoder(encoder);
    });
    if (!ok) return false;
    request.setValue(encoder.contentTypeHTTPHeaderValue(), "Content-Type");
    request.setValue(encoder.contentLengthHTTPHeaderValue(), "Content-Length");
    request.setHTTPBody(stream->data());
    return true;
}
