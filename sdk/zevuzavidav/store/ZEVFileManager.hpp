#pragma once
// The folder tree in which crash reports live between the crash and their upload, and the few file
// operations their life needs:
//
//   <Caches>/com.zevuzavidav.data/<escaped bundle id>/     root (shared with analytics' own tree)
//       sendable                   marks a tree of an older layout: the whole root is then removed
//       v3/                        structure; also holds the launch marker "launchmarker"
//       v3/active/<execution id>/  one folder per launch, written by crash capture
//       v3/pending/                only ever emptied
//       v3/processing/<id>/        reports being symbolicated and packaged
//       v3/prepared/<boundary>.multipartmime   packages waiting for upload
//
// Entries whose names begin with "." are invisible to every folder-wide operation (listed, moved,
// removed, counted). Moves are renames that never replace an existing entry, so every step of a report
// is crash-safe. Folders are made with their parents, mode 0700.
//
// Nothing here reaches outside the tree through a symbolic link, at any level: before a folder is
// listed, emptied, made, moved from or into, or an item in it removed, every folder from the sandbox's
// Library down to it is checked as a folder without following a link (ns::Sandbox::ownFolderExists and
// makeOwnFolder; for a tree outside the sandbox, from com.zevuzavidav.data down). A link found in the
// place of one is removed as a link and an empty folder made there, so a link at v3/, at the root or
// at com.zevuzavidav.data leaves what it points to untouched; removal takes links as links.
//
// Failure contract: nothing throws; every failure is a console line (the texts below) and a false or
// empty result. Folder-wide removal goes on after a failure, folder-wide moving stops at the first. A
// folder that cannot be listed counts as empty. Stateless apart from its root: safe from any thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class ZEVInternalReport;

class ZEVFileManager {
  public:
    // The root of the running app (from the sandbox's caches and the main bundle's identifier).
    ZEVFileManager();
    explicit ZEVFileManager(std::string rootPath) : rootPath_(std::move(rootPath)) {}

    // The main bundle identifier with every "/" replaced by "_".
    static std::string pathNamespace();

    const std::string& rootPath() const { return rootPath_; }
    std::string structurePath() const;
    std::string activePath() const;
    std::string pendingPath() const;
    std::string processingPath() const;
    std::string preparedPath() const;
    std::string legacyMarkerPath() const;

    bool createDirectoryAtPath(const std::string& path) const;
    bool removeItemAtPath(const std::optional<std::string>& path) const;
    bool removeContentsOfDirectoryAtPath(const std::string& path) const;
    // Moves the item to <directory>/<its name>; fails when something of that name is already there.
    bool moveItemAtPath(const std::optional<std::string>& path,
                        const std::optional<std::string>& directory) const;
    bool moveItemsFromDirectory(const std::string& source, const std::string& destination) const;

    using FileBlock = std::function<void(const std::string& path, const std::string& extension)>;
    // Full path and extension (without the dot, "" for none) of each visible entry, in listing order.
    void enumerateFilesInDirectory(const std::string& directory, const FileBlock& block) const;
    std::vector<std::string> contentsOfDirectory(const std::string& directory) const;
    std::optional<std::uint64_t> fileSizeAtPath(const std::string& path) const;

    std::vector<std::string> activePathContents() const { return contentsOfDirectory(activePath()); }
    std::vector<std::string> processingPathContents() const { return contentsOfDirectory(processingPath()); }
    std::vector<std::string> preparedPathContents() const { return contentsOfDirectory(preparedPath()); }

    // Makes "active", "processing" and "prepared" (not "pending"), stopping at the first failure.
    bool prepareForNewLaunch() const;
    std::optional<std::string> setupNewPathForExecutionIdentifier(const std::string& identifier) const;
    void removeLegacyDirectories() const;

    void enumerateFilesInActiveDirectoryUsingBlock(const FileBlock& block) const;
    void enumerateFilesInPreparedDirectoryUsingBlock(const FileBlock& block) const;
    // A report (null when its folder has no readable metadata) and its path for each visible entry.
    void enumerateReportsInProcessingDirectoryUsingBlock(
        const std::function<void(const std::shared_ptr<ZEVInternalReport>& report, const std::string& path)>&
            block) const;

    bool movePendingToProcessing() const;
    bool moveProcessingContentsToPrepared() const;
    bool removeContentsOfProcessingPath() const;
    bool removeContentsOfPendingPath() const;
    // Empties "processing", "pending", "prepared" and "active", always all four.
    bool removeContentsOfAllPaths() const;

  private:
    // Where the folders of ours begin when the tree is not in the sandbox in use: com.zevuzavidav.data.
    std::string ownFoldersOutsideSandbox() const;
    // Whether `path` is there as a real folder, links of ours on the way to it replaced.
    bool ownFolderExists(const std::string& path) const;

    std::string rootPath_;
};
