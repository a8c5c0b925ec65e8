// Packaging and upload pieces: gzip compression of event logs, and the one request per fragment.
#include "sdk/rurorad/upload/ZEVAnalyticsCompressFile.hpp"
#include "sdk/rurorad/upload/ZEVAnalyticsNetworkingClient.hpp"
#include "tests/sdk/rurorad/support/AnalyticsServer.hpp"
#include "tests/sdk/rurorad/support/Waiting.hpp"
#include "tests/support/Files.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;
using ruroradtest::gunzip;

namespace {

using velotest::readFile;

class Compression : public ::testing::Test {
  protected:
    // Compresses `content` through files, as packaging does; nothing when it fails.
    std::optional<std::string> compress(const std::string& content) {
        const fs::path input = folder.path() / "0.log";
        const fs::path output = folder.path() / "0.log.zip";
        std::ofstream(input, std::ios::binary) << content;
        int in = ::open(input.c_str(), O_RDONLY);
        int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int result = ZEVAnalyticsCompressFile(in, out);
        ::close(in);
        ::close(out);
        if (result != 0) return std::nullopt;
        return readFile(output);
    }
    velotest::TempFolder folder;
};

std::string randomBytes(std::size_t size) {
    std::mt19937_64 random(7);
    std::string bytes(size, '\0');
    for (auto& byte : bytes)
        byte = static_cast<char>(random());
    return bytes;
}

// Inputs larger than one read chunk, and empty ones, come back whole through gunzip.
TEST_F(Compression, GivesAGzipStreamOfTheWholeInput) {
    std::string lines;
    for (int i = 0; i < 20000; ++i)
        lines += "1700000000" + std::to_string(i) +
                 "\tcustom\t40\t{\"custom_type\":\"tapped\",\"eventId\":\"X\"}\n";
    const std::string inputs[] = {std::string(), "0\tk\n", lines, randomBytes(3 * 1024 * 1024 + 17)};
    for (const auto& input : inputs) {
        auto gz = compress(input);
        ASSERT_TRUE(gz) << input.size();
        EXPECT_EQ(gunzip(*gz), input) << input.size();
    }
}

TEST_F(Compression, ReadAndWriteFailuresAnswerMinusOne) {
    const fs::path output = folder.path() / "out.zip";
    int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int directory = ::open(folder.path().c_str(), O_RDONLY | O_DIRECTORY);
    EXPECT_EQ(ZEVAnalyticsCompressFile(directory, out), -1); // reading a directory fails
    int input = ::open((folder.path() / "in").c_str(), O_RDWR | O_CREAT, 0644);
    EXPECT_EQ(ZEVAnalyticsCompressFile(input, directory), -1); // writing to a directory fails
    ::close(out);
    ::close(directory);
    ::close(input);
}

TEST(AnalyticsUpload, OneRequestWithAFilePartPerLogInOrder) {
    velotest::TempFolder folder;
    ruroradtest::AnalyticsServer server;
    std::vector<std::string> files;
    for (const char* name : {"0.log.zip", "1.log.zip", "2.log.zip"}) {
        files.push_back((folder.path() / name).string());
        std::ofstream(files.back(), std::ios::binary) << "bytes of " << name;
    }
    ZEVAnalyticsNetworkingClient client;
    auto waiter = std::make_shared<ruroradtest::Waiter<std::optional<ns::Error>>>();
    client.transmitLogFilesAtURLs(files, server.url(), "key-1",
                                  [waiter](const std::optional<ns::Error>& error) { waiter->set(error); });
    auto outcome = waiter->wait();
    ASSERT_TRUE(outcome);
    EXPECT_FALSE(*outcome) << (*outcome)->description();
    ASSERT_EQ(server.uploadCount(), 1u);
    const auto upload = server.uploads().front();
    EXPECT_EQ(upload.header("User-Agent"), "Rurorad iOS SDK/1.0.0");
    EXPECT_EQ(upload.header("X-ZEVUZAVIDAV-DEVELOPER-TOKEN"), "7c3e9a1f0b5d2e8c4a6f1b9d3e7c0a5f2b8d4e6a");
    EXPECT_EQ(upload.header("X-ZEVUZAVIDAV-API-CLIENT-TYPE"), "Rurorad iOS SDK");
    EXPECT_EQ(upload.header("X-ZEVUZAVIDAV-API-CLIENT-VERSION"), "3");
    EXPECT_EQ(upload.header("X-ZEVUZAVIDAV-API-CLIENT-DISPLAY-VERSION"), "1.0.0");
    EXPECT_EQ(upload.header("X-ZEVUZAVIDAV-API-CLIENT-BUILD-VERSION"), "3");
    EXPECT_EQ(upload.header("X-ZEVUZAVIDAV-API-KEY"), "key-1");
    ASSERT_EQ(upload.parts.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        const std::string name = std::to_string(i) + ".log.zip";
        EXPECT_EQ(upload.parts[i].name, name);
        EXPECT_EQ(upload.parts[i].filename, name);
        EXPECT_EQ(upload.parts[i].contentType, "application/vnd.zevuzavidav.ios.events");
        EXPECT_EQ(upload.parts[i].content, "bytes of " + name);
    }
}

TEST(AnalyticsUpload, RetryableAnswersAreRetriedTenTimesBeforeTheErrorArrives) {
    ruroradtest::AnalyticsServer server;
    server.setStatus(503);
    ZEVAnalyticsNetworkingClient client;
    auto waiter = std::make_shared<ruroradtest::Waiter<std::optional<ns::Error>>>();
    client.transmitLogFilesAtURLs({}, server.url(), "key-1",
                                  [waiter](const std::optional<ns::Error>& error) { waiter->set(error); });
    auto outcome = waiter->wait();
    ASSERT_TRUE(outcome);
    ASSERT_TRUE(*outcome);
    EXPECT_EQ((*outcome)->domain(), "ZOVNetworkError");
    EXPECT_EQ((*outcome)->code(), -6);
    EXPECT_EQ(server.uploadCount(), 11u);
}

} // namespace
