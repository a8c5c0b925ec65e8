#pragma once
// Points the shared crash context at test-owned parts (no handlers installed, no mapping) for as long
// as it lives, with a report folder of its own and the SDK log in it.
#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"
#include "sdk/zevuzavidav/context/ZEVContext.hpp"
#include "sdk/zevuzavidav/logging/ZEVUserLogging.hpp"
#include "tests/support/TempHome.hpp"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

class FakeContext {
  public:
    explicit FakeContext(const ZEVContextInitData& data = {}) {
        logPath_ = dir_ + "/sdk.log";
        readOnly_ = std::make_unique<ZEVReadOnlyContext>();
        writable_ = std::make_unique<ZEVWritableContext>();
        readOnly_->sdkLogPath = logPath_.c_str();
        saved_ = zevuzavidav::sharedCrashContext();
        savedLogPath_ = zevuzavidav::sdkLogPath();
        savedLogDescriptor_ = zevuzavidav::setSDKLogPath(logPath_.c_str());
        ZEVContext& shared = zevuzavidav::sharedCrashContext();
        shared.readOnly = readOnly_.get();
        shared.writable = writable_.get();
        // Paths live in a guarded mapping of their own, as in a real context (never freed, never leaked).
        shared.allocator = ZEVAllocatorCreate(4096, 16384);
        shared.loggingQueue = std::make_shared<dispatch::SerialQueue>("com.rizudiz.zevuzavidav.ios.logging");
        zevuzavidav::prepareUserLoggingPaths(&readOnly_->logging, dir_.c_str(), &data);
        ZEVUserLoggingInitialize(&readOnly_->logging, &writable_->logging);
        readOnly_->initialized.store(1);
        // Set-up lines (heap fallbacks without an allocator) are not what the tests look at.
        closeLog(zevuzavidav::setSDKLogPath(logPath_.c_str()));
        std::filesystem::remove(logPath_);
    }
    ~FakeContext() {
        zevuzavidav::sharedCrashContext().loggingQueue.reset(); // drains queued work before the parts go
        // The earlier log opens its file again at its next line.
        closeLog(zevuzavidav::setSDKLogPath(savedLogPath_));
        closeLog(savedLogDescriptor_);
        zevuzavidav::sharedCrashContext() = saved_;
    }
    FakeContext(const FakeContext&) = delete;
    FakeContext& operator=(const FakeContext&) = delete;

    ZEVReadOnlyContext& readOnly() { return *readOnly_; }
    ZEVWritableContext& writable() { return *writable_; }
    const std::string& dir() const { return dir_; }
    // Waits for everything queued on the logging queue so far.
    void drain() {
        zevuzavidav::sharedCrashContext().loggingQueue->sync([] {});
    }

  private:
    static void closeLog(int descriptor) {
        if (descriptor >= 0) close(descriptor);
    }

    velotest::TempFolder folder_;
    std::string dir_ = folder_.string();
    std::string logPath_;
    std::unique_ptr<ZEVReadOnlyContext> readOnly_;
    std::unique_ptr<ZEVWritableContext> writable_;
    ZEVContext saved_;
    const char* savedLogPath_ = nullptr;
    int savedLogDescriptor_ = -1;
};

// For as long as it lives, the process has no crash context, as before crash reporting starts, whatever
// an earlier test of the program started; the context it found comes back afterwards.
class NoCrashContext {
  public:
    NoCrashContext() : saved_(zevuzavidav::sharedCrashContext()), savedLogPath_(zevuzavidav::sdkLogPath()) {
        zevuzavidav::sharedCrashContext() = ZEVContext{};
        savedLogDescriptor_ = zevuzavidav::setSDKLogPath(nullptr);
    }
    ~NoCrashContext() {
        zevuzavidav::setSDKLogPath(savedLogPath_);
        if (savedLogDescriptor_ >= 0) close(savedLogDescriptor_); // opened again at the next line
        zevuzavidav::sharedCrashContext() = saved_;
    }
    NoCrashContext(const NoCrashContext&) = delete;
    NoCrashContext& operator=(const NoCrashContext&) = delete;

  private:
    ZEVContext saved_;
    const char* savedLogPath_;
    int savedLogDescriptor_ = -1;
};
