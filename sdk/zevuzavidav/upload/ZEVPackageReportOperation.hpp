#pragma once
// Turns one report folder into one upload-ready file: a "multipart/form-data" body in "prepared" named
// <boundary>.multipartmime, so the file's own name is the boundary of its content. In this order: the
// MIME head, the text parts "api_key" and "report_id" (each only when known), and one part per visible
// entry of the folder that is not itself a ".gz" file, compressed to a sibling "<name>.gz" (gzip, zlib's
// default level): field name = the entry's name without its last extension ("signal.zevrecord
// .symbolicated" goes in as "signal.zevrecord", "metadata.zevrecord" as "metadata"), file name = the
// ".gz" file's name, type "application/x-gzip". Members are streamed through zlib, never held whole.
//
// The body is written under a hidden name in "prepared" and renamed to its final name once it is
// complete and on disk, so a package that "prepared" lists is always whole; hidden partial packages
// left by an earlier process that stopped part-way are removed before the first package this process
// begins in that folder.
//
// Failure contract: any write that fails (the package or a member: a failed open, a short or failed
// gzwrite, gzclose, the stream's own writes, the final rename) fails the packaging: the partial package
// and every ".gz" file made by this run are removed and finalPath() stays empty, so the report stays
// where it is. A member whose source cannot be read becomes an empty member, so one unreadable file
// cannot block a report forever. Runs synchronously (start()); never throws.
#include "platform/dispatch/Operation.hpp"
#include "sdk/zevuzavidav/store/ZEVFileManager.hpp"
#include "sdk/zevuzavidav/store/ZEVInternalReport.hpp"

#include <memory>
#include <optional>
#include <string>

class ZEVPackageReportOperation final : public dispatch::Operation {
  public:
    ZEVPackageReportOperation(std::shared_ptr<ZEVInternalReport> report,
                              std::shared_ptr<ZEVFileManager> fileManager)
        : report_(std::move(report)), fileManager_(std::move(fileManager)) {}

    const std::shared_ptr<ZEVInternalReport>& report() const { return report_; }
    const std::shared_ptr<ZEVFileManager>& fileManager() const { return fileManager_; }
    const std::optional<std::string>& finalPath() const { return finalPath_; }

    std::string reportPath() const { return report_ ? report_->path() : std::string(); }
    std::string destinationDirectory() const {
        return fileManager_ ? fileManager_->preparedPath() : std::string();
    }
    std::string packagedPathWithName(const std::string& name) const;

    // Writes <path>.gz and answers its path; nothing when the member could not be written (the partial
    // file is removed then).
    static std::optional<std::string> compressFile(const std::string& path);
    // "a.b.c" without its last extension: "a.b"; a name without one (or only a leading dot) unchanged.
    static std::string deletingPathExtension(const std::string& name);
    // The "report_id" a package file carries near its start (its boundary is its file name); nothing
    // when the file cannot be read or has no such part in its first kilobytes.
    static std::optional<std::string> reportIdentifierOfPackage(const std::string& path);

    void main() override;

  private:
    void removePartialPackages() const;

    std::shared_ptr<ZEVInternalReport> report_;
    std::shared_ptr<ZEVFileManager> fileManager_;
    std::optional<std::string> finalPath_;
};
