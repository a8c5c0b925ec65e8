#include "sdk/zevuzavidav/store/ZEVReport.hpp"

#include "sdk/zevuzavidav/context/ZEVContext.hpp"
#include "sdk/zevuzavidav/logging/ZEVUserLogging.hpp"

std::optional<std::string> ZEVReport::identifier() const {
    if (!internalReport_) return std::nullopt;
    return internalReport_->identifier();
}

std::optional<std::string> ZEVReport::bundleVersion() const {
    return internalReport_ ? internalReport_->bundleVersion() : std::nullopt;
}

std::optional<std::string> ZEVReport::bundleShortVersionString() const {
    return internalReport_ ? internalReport_->bundleShortVersionString() : std::nullopt;
}

std::optional<std::string> ZEVReport::OSVersion() const {
    return internalReport_ ? internalReport_->OSVersion() : std::nullopt;
}

std::optional<std::string> ZEVReport::OSBuildVersion() const {
    return internalReport_ ? internalReport_->OSBuildVersion() : std::nullopt;
}

std::optional<ns::Date> ZEVReport::dateCreated() const {
    return internalReport_ ? internalReport_->dateCreated() : std::nullopt;
}

bool ZEVReport::isCrash() const {
    return internalReport_ && internalReport_->isCrash();
}

void ZEVReport::setUserIdentifier(const std::optional<std::string>& value) {
    recordValueForInternalKey(value, "com.zevuzavidav.user-id");
}

void ZEVReport::setUserName(const std::optional<std::string>& value) {
    recordValueForInternalKey(value, "com.zevuzavidav.user-name");
}

void ZEVReport::setUserEmail(const std::optional<std::string>& value) {
    recordValueForInternalKey(value, "com.zevuzavidav.user-email");
}

void ZEVReport::setObjectValue(const std::optional<std::string>& value, const std::string& key) {
    recordValueForUserKey(value, key);
}

ZEVReport::Storage ZEVReport::storage(const char* incremental, const char* compacted, bool internal) const {
    Storage storage;
    if (internalReport_) {
        storage.incrementalPath = internalReport_->pathForContentFile(incremental);
        storage.compactedPath = internalReport_->pathForContentFile(compacted);
    }
    // The limits of the current launch's store of the same kind.
    const ZEVReadOnlyContext* context = zevuzavidav::sharedReadOnlyContext();
    if (context != nullptr) {
        const ZEVUserLoggingKVStorage& limits =
            internal ? context->logging.internalStore : context->logging.userStore;
        storage.compactionThreshold = limits.compactionThreshold;
        storage.maxEntries = limits.maxEntries;
    }
    return storage;
}

ZEVReport::Storage ZEVReport::internalKVStorage() const {
    return storage("internal_incremental_kv.zevrecord", "internal_compacted_kv.zevrecord", true);
}

ZEVReport::Storage ZEVReport::userKVStorage() const {
    return storage("user_incremental_kv.zevrecord", "user_compacted_kv.zevrecord", false);
}

void ZEVReport::record(const std::optional<std::string>& value, const std::string& key, bool internal) {
    if (!internalReport_ || !ZEVContextIsInitialized()) return;
    const Storage target = internal ? internalKVStorage() : userKVStorage();
    ZEVUserLoggingKVStorage descriptor = target.descriptor();
    std::lock_guard lock(mutex_);
    ZEVUserLoggingRecordKeyValue(key.c_str(), value, &descriptor,
                                 internal ? &internalKVCounter_ : &userKVCounter_);
    // A compaction the write set off runs later on the logging queue with this descriptor: wait for it
    // while the descriptor still exists.
    if (auto queue = zevuzavidav::sharedCrashContext().loggingQueue) queue->sync([] {});
}

void ZEVReport::recordValueForInternalKey(const std::optional<std::string>& value, const std::string& key) {
    record(value, key, true);
}

void ZEVReport::recordValueForUserKey(const std::optional<std::string>& value, const std::string& key) {
    record(value, key, false);
}
