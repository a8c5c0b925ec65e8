#include "sdk/zevuzavidav/report/ZEVReportsController.hpp"

#include "platform/foundation/Console.hpp"
#include "sdk/zevuzavidav/context/ZEVApplication.hpp"
#include "sdk/zevuzavidav/store/ZEVItemClaim.hpp"
#include "sdk/zevuzavidav/symbolication/ZEVProcessReportOperation.hpp"
#include "sdk/zevuzavidav/upload/ZEVPackageReportOperation.hpp"
#include "sdk/zovaze/base/DebugFlag.hpp"
#include "sdk/zovaze/network/ZOVMultipartMimeStreamEncoder.hpp"
#include "sdk/zovaze/network/ZOVNetworkOperation.hpp"
#include "sdk/zovaze/network/ZOVURLBuilder.hpp"

#include <cstring>
#include <filesystem>

namespace {

void debugLog(const std::string& line) {
    if (zovaze::debugFlag()) ns::console(line);
}

// Sudden and automatic termination stay off while a report is worked on.
constexpr std::uint64_t kProcessingActivityOptions = 0xC000;

} // namespace

bool ZEVReportsController::prepareAndSubmitReport(const std::shared_ptr<ZEVInternalReport>& report,
                                                  bool asUrgent, bool withProcessing) {
    bool started = false;
    ZEVApplicationActivity(kProcessingActivityOptions, "Zevuzavidav Crash Report Processing",
                           [&] { started = prepareAndSubmit(report, asUrgent, withProcessing); });
    return started;
}

bool ZEVReportsController::prepareAndSubmit(const std::shared_ptr<ZEVInternalReport>& report, bool asUrgent,
                                            bool withProcessing) {
    if (!report || !fileManager_) return false;
    // Held until the folder has become a package and is gone: a copy that listed it as well leaves it.
    const ZEVItemClaim claim = ZEVItemClaim::take(report->path());
    if (!claim.taken()) {
        ns::console(claim.state() == ZEVItemClaim::State::heldElsewhere
                        ? "[Zevuzavidav:Crash:Reports] Report " + report->path() +
                              " is being sent by another copy of the app"
                        : "[Zevuzavidav:Crash:Reports] Unable to claim report " + report->path() + ": " +
                              std::strerror(claim.errorNumber()));
        return false;
    }
    if (withProcessing) {
        if (!fileManager_->moveItemAtPath(report->path(), fileManager_->processingPath())) {
            ns::console("[Zevuzavidav:Crash:Reports] Unable to move report for processing");
            return false;
        }
        report->setPath(
            (std::filesystem::path(fileManager_->processingPath()) / report->directoryName()).string());
    }
    // Also for a folder an earlier launch left in "processing": a symbolicated file it lacks (the disk
    // was full, the process was killed) is made now; those already there are kept.
    ZEVProcessReportOperation(report, std::make_shared<ZEVSymbolResolver>()).start();
    if (!packagingEnabled()) {
        ns::console("[Zevuzavidav:Crash:Reports] Report packaging disabled");
        return false;
    }
    ZEVPackageReportOperation package(report, fileManager_);
    package.start();
    if (!package.finalPath()) {
        ns::console("[Zevuzavidav:Crash:Reports] Unable to package report");
        return false;
    }
    if (!fileManager_->removeItemAtPath(report->path()))
        ns::console("[Zevuzavidav:Crash:Reports] Unable to remove a processing item");
    debugLog("[Zevuzavidav:Crash:Reports] Packaged id " + report->identifier() + " for submission");
    return uploadPackagedReportAtPath(*package.finalPath(), asUrgent);
}

std::map<std::string, std::string> ZEVReportsController::packagesByReportIdentifier() const {
    std::map<std::string, std::string> packages;
    if (!fileManager_) return packages;
    fileManager_->enumerateFilesInPreparedDirectoryUsingBlock(
        [&](const std::string& path, const std::string& extension) {
            if (extension != "multipartmime") return;
            if (auto identifier = ZEVPackageReportOperation::reportIdentifierOfPackage(path))
                packages.emplace(*identifier, path);
        });
    return packages;
}

void ZEVReportsController::removePackagedReportFolder(const ZEVInternalReport& report,
                                                      const std::string& package) {
    // An earlier launch packaged this folder and was stopped before it removed it: the package in
    // "prepared" is the report now, sent from there, and the folder must not make a second.
    // Unless another copy is at it: that copy removes it once its package is made.
    const ZEVItemClaim claim = ZEVItemClaim::take(report.path());
    if (claim.state() == ZEVItemClaim::State::heldElsewhere) return;
    ns::console("[Zevuzavidav:Crash:Reports] Report " + report.identifier() + " already packaged as " +
                package + "; removing its processing item");
    if (!fileManager_ || !fileManager_->removeItemAtPath(report.path()))
        ns::console("[Zevuzavidav:Crash:Reports] Unable to remove a processing item");
}

bool ZEVReportsController::uploadPackagedReportAtPath(const std::string& path, bool asUrgent) {
    if (!submissionEnabled()) {
        ns::console("[Zevuzavidav:Crash:Reports] Submission disabled");
        return false;
    }
    debugLog(std::string("[Zevuzavidav:Crash:Reports] Submitting report") + (asUrgent ? " as urgent" : ""));
    return submitPackageMultipartMimeAtPath(path, asUrgent);
}

bool ZEVReportsController::submitPackageMultipartMimeAtPath(const std::string& path, bool synchronously) {
    ns::console(std::string("[Zevuzavidav:Crash:Reports] Submitting ") + (synchronously ? "sync" : "async") +
                " " + path);
    if (!fileManager_ || !networkClient_) return false;
    if (fileManager_->fileSizeAtPath(path).value_or(0) == 0) {
        debugLog("[Zevuzavidav:Crash:Reports] Already-submitted report being ignored");
        return false;
    }
    double interval =
        synchronously && !networkClient_->supportsBackgroundRequests() ? urgentTimeout : timeout;
    auto URL = reportURL();
    if (!URL) {
        ns::console("[Zevuzavidav:Crash:Reports] Unable to make the report URL from " + reportEndpoint());
        return false;
    }
    net::URLRequest request = mutableRequestWithURL(*URL, interval);
    request.setHTTPMethod("POST");
    if (!fillInRequest(request, path)) return false;
    networkClient_->startUploadRequest(request, path, synchronously);
    return true;
}

void ZEVReportsController::reportUploadAtPath(const std::string& path,
                                              const std::optional<ns::Error>& error) {
    debugLog("[Zevuzavidav:Crash:Reports] completed submission of " + path);
    if (!error && !cleanUpSubmittedReportAtPath(path))
        ns::console("[Zevuzavidav:Crash:Reports] Unable to remove packaged submission");
    if (auto delegate = delegate_.lock())
        delegate->reportsControllerDidCompletePackageSubmission(*this, path, error);
}

bool ZEVReportsController::cleanUpSubmittedReportAtPath(const std::string& path) {
    return fileManager_ && fileManager_->removeItemAtPath(path);
}

std::optional<std::string> ZEVReportsController::reportURL() {
    auto builder = ZOVURLBuilder::URLWithBase(reportEndpoint());
    builder->appendComponent("/sdk-api/v1/platforms/");
    builder->appendComponent("ios");
    builder->appendComponent("/apps/");
    builder->appendComponent(appBundleIdentifier());
    builder->appendComponent("/reports");
    return builder->URL();
}

net::URLRequest ZEVReportsController::mutableRequestWithURL(const std::string& URL, double timeoutInterval) {
    net::URLRequest request(URL, net::URLRequestCachePolicy::reloadIgnoringLocalCacheData, timeoutInterval);
    request.setMaximumResponseLength(maximumAnswerLength);
    const std::string locale = localeIdentifier();
    request.setValue(userAgent, "User-Agent");
    request.setValue("application/json", "Accept");
    request.setValue("utf-8", "Accept-Charset");
    request.setValue(locale, "Accept-Language");
    request.setValue(locale, "Content-Language");
    request.setValue(ZOVNetworkOperation::developerToken, "X-Zevuzavidav-Developer-Token");
    request.setValue(clientIdentifier, "X-Zevuzavidav-API-Client-Id");
    request.setValue(clientDisplayVersion, "X-Zevuzavidav-API-Client-Display-Version");
    request.setValue(clientBuildVersion, "X-Zevuzavidav-API-Client-Build-Version");
    request.setValue(APIKey().value_or(""), "X-Zevuzavidav-API-Key");
    return request;
}

bool ZEVReportsController::fillInRequest(net::URLRequest& request, const std::string& path) {
    auto size = fileManager_ ? fileManager_->fileSizeAtPath(path) : std::nullopt;
    if (!size) {
        ns::console("[Zevuzavidav:Crash:Reports] Could not determine size of multipart mime file");
        return false;
    }
    std::string boundary = std::filesystem::path(path).stem().string();
    request.setValue(ZOVMultipartMimeStreamEncoder::contentTypeHTTPHeaderValueWithBoundary(boundary),
                     "Content-Type");
    request.setValue(std::to_string(*size), "Content-Length");
    return true;
}

std::string ZEVReportsController::localeIdentifier() {
    return ZOVNetworkOperation::localeIdentifier();
}

ZEVSettings ZEVReportsController::settings() {
    if (auto delegate = delegate_.lock()) return delegate->settingsForReportsController(*this);
    return ZEVSettings(nullptr);
}

std::optional<std::string> ZEVReportsController::APIKey() {
    if (auto delegate = delegate_.lock()) return delegate->APIKeyForReportsController(*this);
    return std::nullopt;
}

std::string ZEVReportsController::appBundleIdentifier() {
    if (auto delegate = delegate_.lock()) return delegate->bundleIdentifierForReportsController(*this);
    return {};
}
