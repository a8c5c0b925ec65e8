// The multipart writer, byte for byte, and what it does when the stream cannot take the bytes.
#include "sdk/zovaze/network/ZOVMultipartMimeStreamEncoder.hpp"
#include "platform/foundation/Console.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

namespace {

std::string text(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

std::vector<std::uint8_t> bytes(const std::string& text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

struct Encoded {
    std::string body;
    std::uint64_t length;
    bool ok;
};

Encoded encode(const std::function<void(ZOVMultipartMimeStreamEncoder&)>& parts) {
    auto stream = std::make_shared<net::MemoryOutputStream>();
    ZOVMultipartMimeStreamEncoder encoder(stream, std::string("B0UND"));
    bool ok = encoder.encode([&] { parts(encoder); });
    return {text(stream->data()), encoder.length(), ok};
}

TEST(ZOVMultipartMimeStreamEncoder, FieldsAndFilePartsAreWrittenExactly) {
    auto encoded = encode([](ZOVMultipartMimeStreamEncoder& e) {
        e.addValue(std::string("Zovud ERO"), std::string("app[name]"));
        e.addValue(5, std::string("app[source]"));
        e.addFileData(bytes(std::string("\x89PNG\0\r\n", 7)), std::string("icon.png"),
                      std::string("image/png"), std::string("app[icon][data]"));
        e.addFileData(bytes("raw"), std::string("x.bin"), std::nullopt, std::string("blob"));
    });
    const std::string expected =
        std::string("MIME-Version: 1.0\r\n"
                    "--B0UND\r\n"
                    "Content-Disposition: form-data; name=\"app[name]\"\r\n"
                    "Content-Type: text/plain\r\n\r\n"
                    "Zovud ERO\r\n"
                    "--B0UND\r\n"
                    "Content-Disposition: form-data; name=\"app[source]\"\r\n"
                    "Content-Type: text/plain\r\n\r\n"
                    "5\r\n"
                    "--B0UND\r\n"
                    "Content-Disposition: form-data; name=\"app[icon][data]\"; filename=\"icon.png\"\r\n"
                    "Content-Type: image/png\r\n"
                    "Content-Transfer-Encoding: binary\r\n\r\n") +
        std::string("\x89PNG\0\r\n", 7) +
        "\r\n"
        "--B0UND\r\n"
        "Content-Disposition: form-data; name=\"blob\"; filename=\"x.bin\"\r\n"
        "Content-Type: application/octet-stream\r\n\r\n"
        "raw\r\n"
        "--B0UND--\r\n";
    EXPECT_EQ(encoded.body, expected);
    EXPECT_EQ(encoded.length, expected.size());
    EXPECT_TRUE(encoded.ok);
}

TEST(ZOVMultipartMimeStreamEncoder, AbsentPiecesGiveNoPart) {
    auto encoded = encode([](ZOVMultipartMimeStreamEncoder& e) {
        e.addValue(ns::PropertyList(), std::string("null"));
        e.addValue(std::string("v"), std::nullopt);
        e.addFileData(std::nullopt, std::string("f"), std::nullopt, std::string("n"));
        e.addFileData(bytes("x"), std::nullopt, std::nullopt, std::string("n"));
        e.addFileData(bytes("x"), std::string("f"), std::nullopt, std::nullopt);
        e.addFile("/nonexistent/file", std::string("f"), std::nullopt, std::string("n"));
        e.addFile(std::filesystem::temp_directory_path().string(), std::string("f"), std::nullopt,
                  std::string("n")); // a folder is no readable file
    });
    EXPECT_EQ(encoded.body, "MIME-Version: 1.0\r\n--B0UND--\r\n");
    EXPECT_EQ(encoded.length, 25u + 5u);
    EXPECT_TRUE(encoded.ok);
}

TEST(ZOVMultipartMimeStreamEncoder, NamesGoInAsGivenAndValuesByTheirText) {
    auto encoded = encode([](ZOVMultipartMimeStreamEncoder& e) {
        e.addValue(true, std::string("a\"b"));
        e.addValue(2.5, std::string("r"));
        e.addValue(std::int64_t{-42}, std::string("i"));
    });
    EXPECT_NE(encoded.body.find("name=\"a\"b\"\r\nContent-Type: text/plain\r\n\r\n1\r\n"), std::string::npos);
    EXPECT_NE(encoded.body.find("\r\n\r\n2.5\r\n"), std::string::npos);
    EXPECT_NE(encoded.body.find("\r\n\r\n-42\r\n"), std::string::npos);
}

TEST(ZOVMultipartMimeStreamEncoder, GeneratedBoundaryIsOneUUIDUsedEverywhere) {
    auto stream = std::make_shared<net::MemoryOutputStream>();
    auto encoder = ZOVMultipartMimeStreamEncoder::encoderWithStream(stream, std::nullopt);
    const std::string& boundary = encoder->boundary();
    EXPECT_TRUE(std::regex_match(boundary,
                                 std::regex("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}")));
    EXPECT_NE(boundary, ZOVMultipartMimeStreamEncoder::generateBoundary());
    encoder->encode([&] { encoder->addValue(std::string("v"), std::string("f")); });
    std::string body = text(stream->data());
    EXPECT_EQ(body.find("--" + boundary + "\r\n"), std::string("MIME-Version: 1.0\r\n").size());
    EXPECT_TRUE(body.ends_with("--" + boundary + "--\r\n"));
    EXPECT_EQ(encoder->contentTypeHTTPHeaderValue(), "multipart/form-data; boundary=" + boundary);

    auto empty = ZOVMultipartMimeStreamEncoder::encoderWithStream(std::make_shared<net::MemoryOutputStream>(),
                                                                  std::nullopt);
    empty->encode({});
    EXPECT_EQ(empty->length(), 61u);
    EXPECT_EQ(empty->contentLengthHTTPHeaderValue(), "61");
}

TEST(ZOVMultipartMimeStreamEncoder, PopulateRequestSetsBodyTypeAndLength) {
    net::URLRequest request("https://127.0.0.1/apps");
    ASSERT_TRUE(ZOVMultipartMimeStreamEncoder::populateRequest(
        request, [](ZOVMultipartMimeStreamEncoder& e) { e.addValue(std::string("x"), std::string("k")); }));
    ASSERT_TRUE(request.HTTPBody());
    auto type = request.valueForHTTPHeaderField("Content-Type");
    ASSERT_TRUE(type);
    std::string boundary = type->substr(std::string("multipart/form-data; boundary=").size());
    EXPECT_EQ(text(*request.HTTPBody()),
              "MIME-Version: 1.0\r\n--" + boundary +
                  "\r\nContent-Disposition: form-data; name=\"k\"\r\nContent-Type: "
                  "text/plain\r\n\r\nx\r\n--" +
                  boundary + "--\r\n");
    EXPECT_EQ(request.valueForHTTPHeaderField("Content-Length"), std::to_string(request.HTTPBody()->size()));
}

TEST(ZOVMultipartMimeStreamEncoder, AddFileReadsTheWholeFile) {
    auto path = std::filesystem::temp_directory_path() / "velo-multipart-file.bin";
    std::ofstream(path, std::ios::binary) << std::string(3000, 'q');
    auto encoded = encode([&](ZOVMultipartMimeStreamEncoder& e) {
        e.addFile(path.string(), std::string("q.txt"), std::string("text/plain"), std::string("log"));
    });
    std::filesystem::remove(path);
    EXPECT_NE(encoded.body.find("binary\r\n\r\n" + std::string(3000, 'q') + "\r\n--B0UND--"),
              std::string::npos);
}

// Takes every write except the `failing`-th one, of which it keeps only half.
class FlakyStream : public net::OutputStream {
  public:
    explicit FlakyStream(int failing) : failing_(failing) {}
    void open() override { setStatus(net::StreamStatus::open); }
    bool close() override { return true; }
    ssize_t write(const std::uint8_t* bytes, std::size_t length) override {
        std::size_t keep = ++writes_ == failing_ ? length / 2 : length;
        data.append(reinterpret_cast<const char*>(bytes), keep);
        return static_cast<ssize_t>(keep);
    }
    std::string data;

  private:
    int failing_;
    int writes_ = 0;
};

TEST(ZOVMultipartMimeStreamEncoder, AShortWriteIsLoggedCountedOutAndReported) {
    ns::ConsoleCapture console;
    auto stream = std::make_shared<FlakyStream>(2); // the part's first line
    ZOVMultipartMimeStreamEncoder encoder(stream, std::string("B"));
    bool ok = encoder.encode([&] { EXPECT_FALSE(encoder.addValue(std::string("v"), std::string("f"))); });
    EXPECT_FALSE(ok);
    EXPECT_TRUE(encoder.failed());
    EXPECT_EQ(console.count("[Zovaze] Failed to write data to stream"), 1u);
    // Everything but the missing half of the one short write went out and is counted.
    EXPECT_EQ(encoder.length(),
              stream->data.size() -
                  std::string("--B\r\nContent-Disposition: form-data; name=\"f\"\r\n").size() / 2);
    EXPECT_TRUE(stream->data.ends_with("--B--\r\n"));
}

TEST(ZOVMultipartMimeStreamEncoder, AFullDiskNeverCountsAsAComplete) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    ns::ConsoleCapture console;
    auto stream = std::make_shared<net::FileOutputStream>("/dev/full");
    ZOVMultipartMimeStreamEncoder encoder(stream, std::string("B"));
    EXPECT_FALSE(encoder.encode([&] { encoder.addValue(std::string("v"), std::string("f")); }));
    EXPECT_EQ(encoder.length(), 0u);
    EXPECT_GE(console.count("[Zovaze] Failed to write data to stream"), 1u);
    EXPECT_FALSE(encoder.writeBytes(reinterpret_cast<const std::uint8_t*>("x"), 1));
    EXPECT_EQ(console.count("[Zovaze] Failed to write bytes to stream"), 1u);
}

} // namespace
