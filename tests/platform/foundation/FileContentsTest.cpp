#include "platform/foundation/FileContents.hpp"

#include "platform/foundation/Console.hpp"
#include "tests/support/Files.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

TEST(FileContents, ReadsRegularFilesWholeAndRefusesEverythingElse) {
    const fs::path dir = fs::temp_directory_path() / ("velo-filecontents-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string payload("a\0b\nc", 5);
    std::ofstream(dir / "file", std::ios::binary) << payload;
    std::ofstream(dir / "empty", std::ios::binary).flush();

    EXPECT_EQ(ns::readFileText(dir / "file", 64), payload);
    EXPECT_EQ(ns::readFileBytes(dir / "file", 64)->size(), 5u);
    EXPECT_EQ(ns::readFileText(dir / "empty", 64), "");
    // A folder, a missing file and a character device are "no contents", never an exception.
    EXPECT_FALSE(ns::readFileBytes(dir, 64).has_value());
    EXPECT_FALSE(ns::readFileText(dir / "missing", 64).has_value());
    EXPECT_FALSE(ns::readFileText("/dev/zero", 64).has_value());
    fs::remove_all(dir);
}

TEST(FileContents, ReadIfPresentTellsMissingFromUnreadable) {
    const fs::path dir = fs::temp_directory_path() / ("velo-ifpresent-" + std::to_string(::getpid()));
    fs::create_directories(dir / "folder");
    std::ofstream(dir / "file", std::ios::binary) << "bytes";

    auto file = ns::readFileIfPresent(dir / "file", 64);
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->has_value());
    EXPECT_EQ((*file)->size(), 5u);
    for (const fs::path& missing : {dir / "missing", dir / "nowhere" / "missing"}) {
        auto none = ns::readFileIfPresent(missing, 64);
        ASSERT_TRUE(none) << missing;
        EXPECT_FALSE(none->has_value()) << missing;
    }
    auto folder = ns::readFileIfPresent(dir / "folder", 64);
    ASSERT_FALSE(folder);
    EXPECT_EQ(folder.error().domain(), ns::posixErrorDomain);
    EXPECT_EQ(folder.error().code(), EISDIR);
    EXPECT_NE(folder.error().localizedDescription().find((dir / "folder").string()), std::string::npos);
    fs::remove_all(dir);
}

TEST(FileContents, AtomicWriteReplacesWholeOrLeavesTheOldFile) {
    const fs::path dir = fs::temp_directory_path() / ("velo-atomic-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    ASSERT_TRUE(ns::writeFileAtomically(dir / "sub" / "target", {'o', 'l', 'd'})); // makes the folder
    ASSERT_TRUE(ns::writeFileAtomically(dir / "sub" / "target", {'n', 'e', 'w'}));
    EXPECT_EQ(ns::readFileText(dir / "sub" / "target", 64), "new");

    // A folder where the file goes cannot be replaced: an error, and no temporary is left.
    fs::create_directories(dir / "sub" / "blocked" / "inside");
    auto failed = ns::writeFileAtomically(dir / "sub" / "blocked", {'x'});
    ASSERT_FALSE(failed);
    EXPECT_FALSE(failed.error().userInfo().at(ns::failureReasonKey).empty());
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir / "sub"))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"blocked", "target"}));
    fs::remove_all(dir);
}

// Where the temporary goes shows only in the names the folder is given while the write runs: a hidden
// one begins with ".", so that a folder whose visible entries are all content never shows a write
// under way. Either way the target is replaced as itself: a link in its place is not written through.
TEST(FileContents, AtomicWriteNamesItsTemporaryAsAsked) {
    velotest::TempFolder dir;
    velotest::TempFolder outside;
    std::ofstream(outside.path() / "theirs") << "theirs";
    const std::pair<ns::TemporaryFile, std::string> cases[] = {
        {ns::TemporaryFile::named, "target.tmp-"},
        {ns::TemporaryFile::hidden, ".target.tmp-"},
    };
    for (const auto& [temporary, prefix] : cases) {
        fs::remove(dir.path() / "target");
        fs::create_symlink(outside.path() / "theirs", dir.path() / "target");
        const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        ASSERT_GE(::inotify_add_watch(watch, dir.path().c_str(), IN_CREATE), 0);
        ASSERT_TRUE(ns::writeFileAtomically(dir.path() / "target", {'n', 'e', 'w'}, temporary));
        std::vector<std::string> made;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;)
            for (char* at = buffer; at < buffer + n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                made.emplace_back(event->len > 0 ? event->name : "");
                at += sizeof(inotify_event) + event->len;
            }
        ::close(watch);
        ASSERT_EQ(made.size(), 1u) << prefix;
        EXPECT_EQ(made[0].rfind(prefix, 0), 0u) << made[0];
        struct stat info {};
        ASSERT_EQ(::lstat((dir.path() / "target").c_str(), &info), 0);
        EXPECT_TRUE(S_ISREG(info.st_mode)) << prefix;
        EXPECT_EQ(info.st_mode & 0777, 0600u) << prefix;
        EXPECT_EQ(ns::readFileText(dir.path() / "target", 64), "new");
        EXPECT_EQ(velotest::readFile(outside.path() / "theirs"), "theirs");
    }
}

// A link, a FIFO and a file past the bound are each refused as unusable: nothing is read through the
// link, the FIFO is never waited on (a blocking open would hang here), and the bound holds even where
// the size the file system reports is 0.
TEST(FileContents, LinksFifosAndFilesPastTheBoundAreRefusedUnread) {
    velotest::TempFolder dir;
    std::ofstream(dir.path() / "outside") << "not ours to read";
    fs::create_symlink(dir.path() / "outside", dir.path() / "link");
    fs::create_symlink(dir.path() / "nowhere", dir.path() / "dangling");
    ASSERT_EQ(::mkfifo((dir.path() / "fifo").c_str(), 0600), 0);
    std::ofstream(dir.path() / "hundred") << std::string(100, 'x');

    struct Case {
        fs::path path;
        std::size_t limit;
        int error;
    } cases[] = {
        {dir.path() / "link", 1024, ELOOP}, {dir.path() / "dangling", 1024, ELOOP},
        {dir.path() / "fifo", 1024, ENXIO}, {dir.path() / "hundred", 99, EFBIG},
        {"/proc/self/status", 16, EFBIG}, // reported as 0 bytes long
    };
    for (const auto& c : cases) {
        auto read = ns::readFileIfPresent(c.path, c.limit);
        ASSERT_FALSE(read) << c.path;
        EXPECT_EQ(read.error().code(), c.error) << c.path;
        EXPECT_TRUE(ns::isUnusableFileError(c.error)) << c.path;
        EXPECT_FALSE(ns::readFileBytes(c.path, c.limit)) << c.path;
    }
    EXPECT_EQ(ns::readFileText(dir.path() / "hundred", 100)->size(), 100u);
    // A permission or a folder may change; they are not unusable.
    EXPECT_FALSE(ns::isUnusableFileError(EACCES));
    EXPECT_FALSE(ns::isUnusableFileError(EISDIR));

    // Opening to write never creates or truncates through a link, dangling or not.
    EXPECT_EQ(ns::openRegularFile(dir.path() / "link", O_WRONLY | O_CREAT | O_TRUNC), -1);
    EXPECT_EQ(errno, ELOOP);
    EXPECT_EQ(ns::openRegularFile(dir.path() / "dangling", O_WRONLY | O_CREAT), -1);
    EXPECT_EQ(velotest::readFile(dir.path() / "outside"), "not ours to read");
    EXPECT_FALSE(fs::exists(dir.path() / "nowhere"));
    // A FIFO opened to write with no reader does not wait for one either.
    EXPECT_EQ(ns::openRegularFile(dir.path() / "fifo", O_WRONLY), -1);
    EXPECT_EQ(errno, ENXIO);
    // A regular file comes back blocking, as callers expect of it.
    const int fd = ns::openRegularFile(dir.path() / "hundred", O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    ::close(fd);
}

TEST(FileContents, FoldersAreNeverListedOrMadeThroughALinkOfOurs) {
    velotest::TempFolder dir;
    const fs::path outside = dir.path() / "outside";
    fs::create_directories(outside / "theirs");
    fs::create_directories(dir.path() / "home" / "ours");
    std::ofstream(dir.path() / "home" / "ours" / "b");
    std::ofstream(dir.path() / "home" / "ours" / "a");

    auto names = ns::listDirectory(dir.path() / "home" / "ours");
    ASSERT_TRUE(names);
    std::sort(names->begin(), names->end());
    EXPECT_EQ(*names, (std::vector<std::string>{"a", "b"}));
    fs::create_symlink(outside, dir.path() / "home" / "linked");
    auto linked = ns::listDirectory(dir.path() / "home" / "linked");
    ASSERT_FALSE(linked);
    EXPECT_EQ(linked.error().code(), ENOTDIR);

    // Below `ours` a link in a folder's place goes (as a link) and a real folder is made; above it, the
    // user's links are followed.
    fs::create_symlink(outside, dir.path() / "home" / "ours" / "cache");
    fs::create_symlink(dir.path() / "home", dir.path() / "through");
    std::error_code error;
    ns::ConsoleCapture console;
    ASSERT_TRUE(ns::createPrivateDirectories(dir.path() / "through" / "ours" / "cache" / "inner", error,
                                             dir.path() / "through" / "ours"));
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(dir.path() / "home" / "ours" / "cache" / "inner")));
    EXPECT_FALSE(fs::exists(outside / "inner"));
    EXPECT_TRUE(fs::is_directory(outside / "theirs"));
    EXPECT_EQ(console.lines().size(), 1u);
    // Without `ours` nothing is taken for the sandbox's own.
    ASSERT_TRUE(ns::createPrivateDirectories(dir.path() / "home" / "linked" / "made", error));
    EXPECT_TRUE(fs::is_directory(outside / "made"));
    // A file in a folder's place stands in the way, inside `ours` or not.
    std::ofstream(dir.path() / "home" / "ours" / "file");
    EXPECT_FALSE(ns::createPrivateDirectories(dir.path() / "home" / "ours" / "file" / "x", error,
                                              dir.path() / "home" / "ours"));
    EXPECT_EQ(error.value(), ENOTDIR);

    // Looking without making: a link of ours on the way is replaced all the same, a missing folder is
    // not made.
    fs::remove_all(dir.path() / "home" / "ours" / "cache");
    fs::create_symlink(outside, dir.path() / "home" / "ours" / "cache");
    EXPECT_FALSE(ns::privateDirectoryExists(dir.path() / "home" / "ours" / "cache" / "inner", error,
                                            dir.path() / "home" / "ours"));
    EXPECT_EQ(error.value(), ENOENT);
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(dir.path() / "home" / "ours" / "cache")));
    EXPECT_FALSE(fs::exists(dir.path() / "home" / "ours" / "cache" / "inner"));
    EXPECT_TRUE(ns::privateDirectoryExists(dir.path() / "home" / "ours" / "cache", error,
                                           dir.path() / "home" / "ours"));
    EXPECT_TRUE(fs::is_directory(outside / "theirs"));
}

// Whatever stands where a file of ours is written, the bytes go into a file of ours alone: a link,
// a FIFO or a hard link goes as itself (the file it shares its bytes with keeps them) and a new file
// takes its place; a file of ours is appended to or made anew as asked.
TEST(FileContents, FilesOfOursAreNeverWrittenThroughWhatStandsInTheirPlace) {
    enum class Kind { missing, ours, symbolic, hard, fifo };
    const struct {
        Kind kind;
        int flags;
        const char* left; // what the file holds after "new" was written
    } cases[] = {
        {Kind::missing, O_WRONLY | O_APPEND, "new"}, {Kind::ours, O_WRONLY | O_APPEND, "old;new"},
        {Kind::ours, O_WRONLY | O_TRUNC, "new"},     {Kind::symbolic, O_WRONLY | O_APPEND, "new"},
        {Kind::symbolic, O_WRONLY | O_TRUNC, "new"}, {Kind::hard, O_WRONLY | O_APPEND, "new"},
        {Kind::hard, O_WRONLY | O_TRUNC, "new"},     {Kind::hard, O_WRONLY, "new"},
        {Kind::fifo, O_WRONLY | O_APPEND, "new"},    {Kind::fifo, O_WRONLY | O_TRUNC, "new"},
    };
    for (const auto& c : cases) {
        velotest::TempFolder dir;
        const fs::path outside = dir.path() / "outside";
        const fs::path path = dir.path() / "ours";
        std::ofstream(outside) << "theirs";
        switch (c.kind) {
        case Kind::missing:
            break;
        case Kind::ours:
            std::ofstream(path) << "old;";
            break;
        case Kind::symbolic:
            fs::create_symlink(outside, path);
            break;
        case Kind::hard:
            fs::create_hard_link(outside, path);
            break;
        case Kind::fifo:
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
            break;
        }
        const auto what =
            "kind " + std::to_string(static_cast<int>(c.kind)) + ", flags " + std::to_string(c.flags);
        const int fd = ns::openPrivateFileForWriting(path, c.flags);
        ASSERT_GE(fd, 0) << what;
        ASSERT_EQ(::write(fd, "new", 3), 3) << what;
        struct stat info {};
        ASSERT_EQ(::fstat(fd, &info), 0);
        ::close(fd);
        EXPECT_EQ(velotest::readFile(outside), "theirs") << what;
        EXPECT_EQ(velotest::readFile(path), c.left) << what;
        EXPECT_TRUE(S_ISREG(info.st_mode) && info.st_nlink == 1) << what;
        if (c.kind != Kind::ours) {
            EXPECT_EQ(info.st_mode & 0777, 0600u) << what;
        }
    }
    // A folder or a device is never taken away (a device node can be made only with the privilege).
    velotest::TempFolder dir;
    fs::create_directory(dir.path() / "folder");
    EXPECT_EQ(ns::openPrivateFileForWriting(dir.path() / "folder", O_WRONLY | O_TRUNC), -1);
    EXPECT_EQ(errno, EISDIR);
    const fs::path device = dir.path() / "null";
    if (::mknod(device.c_str(), S_IFCHR | 0600, ::makedev(1, 3)) == 0) {
        EXPECT_EQ(ns::openPrivateFileForWriting(device, O_WRONLY | O_TRUNC), -1);
        EXPECT_EQ(errno, ENXIO);
        EXPECT_TRUE(fs::is_character_file(fs::symlink_status(device)));
    }
}

} // namespace
