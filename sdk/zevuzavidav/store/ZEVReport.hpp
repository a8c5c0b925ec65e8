#pragma once
// The application's view of a report of an earlier launch: what it may read, and the user keys and
// identity values it may still add before the report is sent. Values go into the earlier launch's own
// key-value files, written with this object's own counters (0 at creation), compacted at the limits of
// the current launch's stores. The identity values are write-only: their getters always answer nothing.
//
// Failure contract: writes before the crash context of this launch is initialized are dropped without
// a message; a report without an internal report reads nothing. Thread-safe as the internal report is;
// the counters are this object's own, so two objects over one folder count separately.
#include "sdk/zevuzavidav/context/ZEVUserLoggingTypes.hpp"
#include "sdk/zevuzavidav/store/ZEVCrashReport.hpp"
#include "sdk/zevuzavidav/store/ZEVInternalReport.hpp"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class ZEVReport final : public ZEVCrashReport {
  public:
    explicit ZEVReport(std::shared_ptr<ZEVInternalReport> internalReport)
        : internalReport_(std::move(internalReport)) {}

    const std::shared_ptr<ZEVInternalReport>& internalReport() const { return internalReport_; }

    std::optional<std::string> identifier() const override;
    std::optional<std::map<std::string, std::string>> customKeys() const override { return std::nullopt; }
    std::optional<std::string> bundleVersion() const override;
    std::optional<std::string> bundleShortVersionString() const override;
    std::optional<ns::Date> crashedOnDate() const override { return dateCreated(); }
    std::optional<std::string> OSVersion() const override;
    std::optional<std::string> OSBuildVersion() const override;
    std::optional<ns::Date> dateCreated() const;
    bool isCrash() const;

    std::optional<std::string> userIdentifier() const { return std::nullopt; }
    std::optional<std::string> userName() const { return std::nullopt; }
    std::optional<std::string> userEmail() const { return std::nullopt; }
    void setUserIdentifier(const std::optional<std::string>& value);
    void setUserName(const std::optional<std::string>& value);
    void setUserEmail(const std::optional<std::string>& value);
    void setObjectValue(const std::optional<std::string>& value, const std::string& key);

    // Where and how a key-value store of the report is written.
    struct Storage {
        std::string incrementalPath;
        std::string compactedPath;
        std::uint32_t compactionThreshold = 0;
        std::uint32_t maxEntries = 0;
        // The recorder's descriptor; it points into this object, so it is valid while this lives unmoved.
        ZEVUserLoggingKVStorage descriptor() const {
            return {incrementalPath.c_str(), compactedPath.c_str(), compactionThreshold, maxEntries};
        }
    };
    Storage internalKVStorage() const;
    Storage userKVStorage() const;

    void recordValueForInternalKey(const std::optional<std::string>& value, const std::string& key);
    void recordValueForUserKey(const std::optional<std::string>& value, const std::string& key);

  private:
    Storage storage(const char* incremental, const char* compacted, bool internal) const;
    void record(const std::optional<std::string>& value, const std::string& key, bool internal);

    std::shared_ptr<ZEVInternalReport> internalReport_;
    std::uint32_t internalKVCounter_ = 0;
    std::uint32_t userKVCounter_ = 0;
    std::mutex mutex_; // the counters
};
