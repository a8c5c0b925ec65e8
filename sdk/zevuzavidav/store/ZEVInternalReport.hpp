#pragma once
// One report folder: the record files a launch left, named by that launch's execution identifier. It
// answers which content files exist (is it a crash, does it need submission) and reads back the
// launch's identity, host and application from "metadata.zevrecord" (lines 1 to 3: {"identity"},
// {"host"}, {"application"}), read once and kept (a failed read is tried again on the next use).
//
// A report read from an earlier launch's folder (reportWithPath) takes its facts in one pass over the
// folder: the metadata, and which of the submission files are there. That launch has ended, so neither
// changes afterwards, and a backlog of reports costs one open of each folder, one read of its metadata
// and a look for each submission file in it.
// A report made with an identifier (the current launch's, whose files appear while it runs) looks
// at its folder on every question. The metadata is read only as a regular file of at most
// maximumMetadataLength bytes, never through a link and never waiting on a FIFO.
//
// Failure contract: reportWithPath() answers null for a folder without readable metadata (a link, a
// FIFO or a file over the bound in its place; a folder that is itself a link is not read) or without
// "identity"/"session_id" (after the console line "[Zevuzavidav:Crash] Unable to read identifier at
// path <path>"); metadata accessors answer nothing when the section, its line or the key is missing.
// Thread-safe: the report may be read by the app's delegate while the work queue moves it.
#include "platform/foundation/Date.hpp"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class ZEVInternalReport {
  public:
    static constexpr std::size_t maximumMetadataLength = 256 * 1024;

    static std::shared_ptr<ZEVInternalReport> reportWithPath(const std::string& path);
    static std::shared_ptr<ZEVInternalReport> initWithPath(const std::string& path);
    static std::shared_ptr<ZEVInternalReport>
    initWithPath(const std::optional<std::string>& path,
                 const std::optional<std::string>& executionIdentifier);
    // Whether `path` is a folder (not a link to one) with a "metadata.zevrecord" entry in it, readable or
    // not: a folder without one holds no report any more.
    static bool folderHoldsMetadata(const std::string& path);
    // The sections of a metadata file in line order; nothing when it yields none.
    static std::optional<std::vector<nlohmann::json>> readMetadataAtPath(const std::string& path);

    // The sections of "metadata.zevrecord", one per line in this order: "identity", "host", "application",
    // "executable".
    static const std::vector<std::string>& metadataSectionNames();

    // "exception.zevrecord", "mach_exception.zevrecord", "signal.zevrecord".
    static const std::vector<std::string>& crashFilenames();
    // The crash files and the non-fatal ones: custom exceptions and the two logged-error files.
    static const std::vector<std::string>& submissionFilenames();

    ZEVInternalReport(std::string path, std::string identifier);
    // Which submission files the folder held when it was read (bit i: submissionFilenames()[i]).
    ZEVInternalReport(std::string path, std::string identifier, std::vector<nlohmann::json> metadata,
                      std::uint32_t heldSubmissionFiles);

    const std::string& identifier() const { return identifier_; }
    std::string path() const;
    void setPath(std::string path);
    std::string directoryName() const;
    std::string pathForContentFile(const std::string& fileName) const;
    std::string metadataPath() const { return pathForContentFile("metadata.zevrecord"); }
    std::string binaryImagePath() const { return pathForContentFile("binary_images.zevrecord"); }

    // True at the first name whose file exists in the folder (as read, for a report read once).
    bool checkExistenceOfAtLeastOnceFileInArray(const std::vector<std::string>& fileNames) const;
    bool isCrash() const { return checkExistenceOfAtLeastOnceFileInArray(crashFilenames()); }
    bool needsToBeSubmitted() const { return checkExistenceOfAtLeastOnceFileInArray(submissionFilenames()); }
    // Whether analytics has been given this launch's crash to keep (markCrashCounted), so that a later
    // telling, at this launch or a later one, wherever the folder then is, does not give it again. The
    // mark is a hidden empty file in the folder: never packaged, listed or sent, moved and gone with the
    // folder. Only the one the SDK makes counts: a regular file of one link and no bytes.
    bool crashCounted() const;
    // Leaves the mark, in place of anything else of that name; false when it cannot be made (the crash
    // may then be given again).
    bool markCrashCounted() const;
    // The full path of every crash file name, in list order, whether or not the file exists.
    void
    enumerateSymbolicatableFilesInContent(const std::function<void(const std::string& path)>& block) const;

    std::optional<std::vector<nlohmann::json>> metadataSections();
    // Whether the metadata holds each of metadataSectionNames() as an object, in its line.
    bool hasWholeMetadata();
    std::optional<std::string> APIKey();
    std::optional<ns::Date> dateCreated();
    std::optional<std::string> OSVersion();
    std::optional<std::string> OSBuildVersion();
    std::optional<std::string> bundleVersion();
    std::optional<std::string> bundleShortVersionString();
    // Always nothing: custom keys are not read back from a report.
    std::optional<std::map<std::string, std::string>> customKeys() const { return std::nullopt; }

  private:
    const std::vector<nlohmann::json>* loadedMetadataSections();
    const nlohmann::json* metadataValue(std::size_t line, const char* section, const char* key);

    mutable std::mutex mutex_;
    const std::string identifier_;
    std::string path_;
    std::optional<std::vector<nlohmann::json>> metadataSections_;
    // Set for a report read once from its folder.
    std::optional<std::uint32_t> heldSubmissionFiles_;
};
