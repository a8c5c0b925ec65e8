#pragma once
// Carries one report from the decision to submit it to the start of its upload, and reacts to the end
// of the upload: the folder is moved into "processing", symbolicated, packaged into "prepared", deleted,
// and its package handed to the uploader with its request; a package is deleted once the server took
// it, and the owner hears of every finished upload (it retries failures). A folder an earlier launch
// left in "processing" is not moved; of its symbolication only what is missing is done. When a package
// in "prepared" already carries its report (that launch was stopped between packaging and removing the
// folder), the owner removes the folder instead (packagesByReportIdentifier, removePackagedReportFolder)
// before it hands the folder here, so the report is sent once: one look at "prepared" serves all the
// leftovers of a start.
//
// Another copy of the app started on the same sandbox lists the same folders: a report folder is
// claimed (ZEVItemClaim) before it is moved, symbolicated or packaged, and held until its package is
// made and the folder gone; one that another copy holds, or that is gone by then, is left alone
// ("Report <path> is being sent by another copy of the app", "Unable to claim report <path>: <why>").
// A packaged folder is removed only when it is claimed likewise. The uploader claims each package.
//
// The request: POST <ReportsEndpoint>/sdk-api/v1/platforms/ios/apps/<escaped bundle id>/reports, local
// cache ignored, time-out 10 s (2 s for an urgent upload that goes synchronously), headers in this
// order: "User-Agent", "Accept", "Accept-Charset", "Accept-Language", "Content-Language",
// "X-Zevuzavidav-Developer-Token", "X-Zevuzavidav-API-Client-Id", "...-Display-Version",
// "...-Build-Version", "X-Zevuzavidav-API-Key", "Content-Type" (boundary = the package's file name
// without ".multipartmime") and "Content-Length" (the package's size).
//
// Failure contract: each failed step leaves the report where it got to, with one console line
// ("[Zevuzavidav:Crash:Reports] ..."): the move fails ("Unable to move report for processing", stays in
// "active"); packaging is switched off ("Report packaging disabled") or fails ("Unable to package
// report", stays in "processing"); the folder cannot be deleted after packaging ("Unable to remove a
// processing item", the upload goes on); submission is switched off ("Submission disabled", the package
// stays in "prepared"); a missing or empty package is ignored; an unreadable size ("Could not determine
// size of multipart mime file") or an endpoint that makes no URL sends nothing. Runs on the caller's
// thread; the work queue's one-at-a-time rule keeps two submissions apart.
#include "platform/dispatch/OperationQueue.hpp"
#include "platform/net/URLRequest.hpp"
#include "sdk/zevuzavidav/base/ZEVKitVersion.hpp"
#include "sdk/zevuzavidav/report/ZEVReportsControllerDelegate.hpp"
#include "sdk/zevuzavidav/store/ZEVFileManager.hpp"
#include "sdk/zevuzavidav/store/ZEVInternalReport.hpp"
#include "sdk/zevuzavidav/upload/ZEVNetworkClient.hpp"

#include <map>
#include <memory>
#include <optional>
#include <string>

class ZEVReportsController {
  public:
    static constexpr double timeout = 10.0;
    static constexpr double urgentTimeout = 2.0;
    // The server's answer to an upload is read only for its status.
    static constexpr std::size_t maximumAnswerLength = 64 * 1024;
    static constexpr const char* userAgent = zevuzavidav::kKitAgent.text;
    static constexpr const char* clientIdentifier = "com.rizudiz.zevuzavidav.ios";
    static constexpr const char* clientDisplayVersion = zevuzavidav::kKitDisplayVersion;
    static constexpr const char* clientBuildVersion = zevuzavidav::kKitBuildVersion;

    ZEVReportsController(std::shared_ptr<dispatch::OperationQueue> queue,
                         std::weak_ptr<ZEVReportsControllerDelegate> delegate,
                         std::shared_ptr<ZEVNetworkClient> client,
                         std::shared_ptr<ZEVFileManager> fileManager)
        : delegate_(std::move(delegate)), operationQueue_(std::move(queue)),
          networkClient_(std::move(client)), fileManager_(std::move(fileManager)) {}

    const std::shared_ptr<dispatch::OperationQueue>& operationQueue() const { return operationQueue_; }
    const std::shared_ptr<ZEVNetworkClient>& networkClient() const { return networkClient_; }
    const std::shared_ptr<ZEVFileManager>& fileManager() const { return fileManager_; }

    // True when an upload was started.
    bool prepareAndSubmitReport(const std::shared_ptr<ZEVInternalReport>& report, bool asUrgent,
                                bool withProcessing);
    bool uploadPackagedReportAtPath(const std::string& path, bool asUrgent);
    // The package in "prepared" of each report identifier found there.
    std::map<std::string, std::string> packagesByReportIdentifier() const;
    // Removes a folder of "processing" whose report is already the package `package`.
    void removePackagedReportFolder(const ZEVInternalReport& report, const std::string& package);
    void reportUploadAtPath(const std::string& path, const std::optional<ns::Error>& error);

    bool submitPackageMultipartMimeAtPath(const std::string& path, bool synchronously);
    bool cleanUpSubmittedReportAtPath(const std::string& path);
    std::optional<std::string> reportURL();
    net::URLRequest mutableRequestWithURL(const std::string& URL, double timeoutInterval);
    bool fillInRequest(net::URLRequest& request, const std::string& path);

    static std::string localeIdentifier();
    ZEVSettings settings();
    std::optional<std::string> APIKey();
    std::string appBundleIdentifier();
    std::string reportEndpoint() { return settings().reportsEndpoint(); }
    bool submissionEnabled() { return settings().shouldSubmitReports(); }
    bool packagingEnabled() { return settings().shouldPackageReports(); }

  private:
    bool prepareAndSubmit(const std::shared_ptr<ZEVInternalReport>& report, bool asUrgent,
                          bool withProcessing);

    std::weak_ptr<ZEVReportsControllerDelegate> delegate_;
    std::shared_ptr<dispatch::OperationQueue> operationQueue_;
    std::shared_ptr<ZEVNetworkClient> networkClient_;
    std::shared_ptr<ZEVFileManager> fileManager_;
};
