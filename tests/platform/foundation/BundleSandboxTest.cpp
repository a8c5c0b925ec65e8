#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/foundation/Sandbox.hpp"
#include "tests/support/Files.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}

const char* infoPlist = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
  <key>CFBundleIdentifier</key><string>com.example.swift</string>
  <key>CFBundleShortVersionString</key><string>2.3</string>
  <key>Zovaze</key><dict><key>APIKey</key><string>abc</string></dict>
</dict>
</plist>
)";

TEST(Bundle, ReadsInfoPlistAndResources) {
    velotest::TempHome temp;
    writeFile(temp.path() / "Info.plist", infoPlist);
    writeFile(temp.path() / "intro.txt", "hello");
    ns::Bundle bundle(temp.path());
    EXPECT_FALSE(bundle.infoLoadError());
    EXPECT_EQ(bundle.bundleIdentifier(), "com.example.swift");
    ASSERT_NE(bundle.objectForInfoDictionaryKey("CFBundleShortVersionString"), nullptr);
    EXPECT_EQ(*bundle.objectForInfoDictionaryKey("CFBundleShortVersionString")->stringValue(), "2.3");
    EXPECT_EQ(bundle.objectForInfoDictionaryKey("Missing"), nullptr);
    EXPECT_EQ(bundle.infoDictionary().keys().front(), "CFBundleIdentifier");
    EXPECT_EQ(bundle.pathForResource("intro", "txt"), temp.path() / "intro.txt");
    EXPECT_FALSE(bundle.pathForResource("intro", "png"));
    EXPECT_FALSE(bundle.pathForResource("../intro", "txt"));
    EXPECT_FALSE(bundle.pathForResource("Documents", "")); // a folder is no resource
}

TEST(Bundle, MissingOrBrokenInfoPlistGivesEmptyDictionary) {
    velotest::TempHome temp;
    {
        ns::ConsoleCapture console;
        ns::Bundle bundle(temp.path());
        EXPECT_TRUE(bundle.infoDictionary().empty());
        EXPECT_TRUE(bundle.infoLoadError());
        EXPECT_FALSE(bundle.bundleIdentifier());
        EXPECT_TRUE(console.lines().empty()); // no Info.plist at all is not worth a line
    }
    writeFile(temp.path() / "Info.plist", "<plist><dict><key>CFBundleIdentifier</key>");
    ns::ConsoleCapture console;
    ns::Bundle broken(temp.path());
    EXPECT_TRUE(broken.infoDictionary().empty());
    EXPECT_TRUE(broken.infoLoadError());
    EXPECT_EQ(console.lines().size(), 1u);
}

TEST(Bundle, MainBundleCanBePointedAtATestFolder) {
    velotest::TempHome temp;
    writeFile(temp.path() / "Info.plist", infoPlist);
    ns::Bundle::setMainBundlePath(temp.path());
    EXPECT_EQ(ns::Bundle::main().bundlePath(), temp.path());
    EXPECT_EQ(ns::Bundle::main().bundleIdentifier(), "com.example.swift");
    EXPECT_EQ(ns::Bundle::mainBundleIdentifierForStorage(), "com.example.swift");
    ns::Bundle::setMainBundlePath({});
    EXPECT_NE(ns::Bundle::main().bundlePath(), temp.path());
}

TEST(Bundle, IdentifierForStorageCannotEscapeTheFolder) {
    velotest::TempHome temp;
    writeFile(temp.path() / "Info.plist",
              "<plist><dict><key>CFBundleIdentifier</key><string>../../etc</string></dict></plist>");
    ns::Bundle::setMainBundlePath(temp.path());
    EXPECT_EQ(ns::Bundle::mainBundleIdentifierForStorage(), ".._.._etc");
    ns::Bundle::setMainBundlePath({});
}

TEST(Bundle, LocalizedStringsComeFromTheMostSpecificTableFound) {
    velotest::TempHome temp;
    writeFile(temp.path() / "Info.plist", infoPlist);
    auto table = [](const std::string& text) {
        return "<plist version=\"1.0\"><dict><key>Title</key><string>" + text + "</string></dict></plist>";
    };
    ns::Bundle bundle(temp.path());
    ::setenv("LC_ALL", "de_AT.UTF-8", 1);
    EXPECT_EQ(bundle.localizedStringForKey("Title", "fallback", "App"), "fallback");
    writeFile(temp.path() / "App.strings", table("root"));
    EXPECT_EQ(bundle.localizedStringForKey("Title", "fallback", "App"), "root");
    fs::create_directories(temp.path() / "Base.lproj");
    writeFile(temp.path() / "Base.lproj" / "App.strings", table("base"));
    EXPECT_EQ(bundle.localizedStringForKey("Title", "fallback", "App"), "base");
    fs::create_directories(temp.path() / "de.lproj");
    writeFile(temp.path() / "de.lproj" / "App.strings", table("deutsch"));
    EXPECT_EQ(bundle.localizedStringForKey("Title", "fallback", "App"), "deutsch");
    // The table found first answers alone: a key it lacks gives the value, not another table's text.
    EXPECT_EQ(bundle.localizedStringForKey("Other", "fallback", "App"), "fallback");
    writeFile(temp.path() / "de.lproj" / "App.strings", "not a property list");
    EXPECT_EQ(bundle.localizedStringForKey("Title", "fallback", "App"), "fallback");
    EXPECT_EQ(bundle.localizedStringForKey("Title", "fallback", "../App"), "fallback");
    ::unsetenv("LC_ALL");
}

TEST(Sandbox, SetHomeCreatesTheContainerLayout) {
    velotest::TempHome temp;
    EXPECT_EQ(ns::Sandbox::home(), temp.path());
    for (const char* folder : {"Documents", "Library/Preferences", "Library/Caches",
                               "Library/Application Support", "Library/Logs", "tmp"})
        EXPECT_TRUE(fs::is_directory(temp.path() / folder)) << folder;
    EXPECT_EQ(ns::Sandbox::preferences(), temp.path() / "Library" / "Preferences");
    EXPECT_EQ(ns::Sandbox::applicationSupport(), temp.path() / "Library" / "Application Support");
}

// What a process left in tmp/ when it ended (a download cut off by quitting) goes when a home is laid
// out; what a running process holds stays, and so do folders.
TEST(Sandbox, TmpKeepsOnlyTheFilesAProcessHolds) {
    velotest::TempHome temp;
    const fs::path tmp = ns::Sandbox::tmp();
    writeFile(tmp / "CFNetworkDownload_abandoned.tmp", "half a download");
    writeFile(tmp / "no-name-pattern", "x");
    auto held = ns::Sandbox::createTemporaryFile("CFNetworkDownload_", ".tmp");
    ASSERT_TRUE(held);
    EXPECT_EQ(held->path.parent_path(), tmp);
    EXPECT_EQ(static_cast<unsigned>(fs::status(held->path).permissions()) & 0777u, 0600u);
    fs::create_directory(tmp / "folder");

    ns::Sandbox::setHome(temp.path()); // the next start on this home
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(tmp))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{held->path.filename().string(), "folder"}));

    ::close(held->descriptor); // its process is done with it
    ns::Sandbox::setHome(temp.path());
    EXPECT_FALSE(fs::exists(held->path));
    EXPECT_TRUE(fs::is_directory(tmp / "folder"));
}

// A link where a folder of the layout belongs is removed as a link, what it points to untouched, even
// the unlocked files a sweep of tmp/ would remove; the home itself may be reached through a link.
TEST(Sandbox, LinksInPlaceOfTheLayoutAreNeverFollowed) {
    velotest::TempFolder root;
    const fs::path elsewhere = root.path() / "elsewhere";
    const fs::path home = root.path() / "home";
    fs::create_directories(elsewhere / "tmp");
    fs::create_directories(elsewhere / "Logs");
    writeFile(elsewhere / "tmp" / "unlocked", "someone else's");
    writeFile(elsewhere / "Logs" / "console.log", "someone else's");
    fs::create_directories(home / "Library");
    fs::create_symlink(elsewhere / "tmp", home / "tmp");
    fs::create_symlink(elsewhere / "Logs", home / "Library" / "Logs");
    fs::create_symlink(elsewhere, home / "Documents");
    fs::create_symlink(home, root.path() / "through");

    ns::Sandbox::setHome(root.path() / "through");
    ns::Sandbox::reset();
    for (const char* folder : {"tmp", "Library/Logs", "Documents"})
        EXPECT_TRUE(fs::is_directory(fs::symlink_status(home / folder))) << folder;
    EXPECT_EQ(fs::directory_iterator(home / "tmp"), fs::directory_iterator());
    EXPECT_TRUE(fs::is_regular_file(elsewhere / "tmp" / "unlocked"));
    EXPECT_TRUE(fs::is_regular_file(elsewhere / "Logs" / "console.log"));
}

// Below the layout every folder is ours too: a store's folder is checked from the home's Library down,
// whatever the store names as its own first folder; a folder outside the home from that one down.
TEST(Sandbox, OwnFoldersAreCheckedFromTheLibraryDown) {
    velotest::TempFolder root;
    const fs::path elsewhere = root.path() / "elsewhere";
    fs::create_directories(elsewhere / "store");
    writeFile(elsewhere / "store" / "file", "someone else's");
    ns::Sandbox::setHome(root.path() / "home");
    const fs::path caches = root.path() / "home" / "Library" / "Caches";
    fs::create_symlink(elsewhere, caches / "sdk.data");
    const fs::path store = caches / "sdk.data" / "store";
    std::error_code error;
    // The store names only itself as its own: the link above it goes all the same.
    EXPECT_FALSE(ns::Sandbox::ownFolderExists(store, error, store));
    EXPECT_EQ(error.value(), ENOENT);
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(caches / "sdk.data")));
    ASSERT_TRUE(ns::Sandbox::makeOwnFolder(store / "inner", error, store));
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(store / "inner")));
    EXPECT_EQ(velotest::readFile(elsewhere / "store" / "file"), "someone else's");
    EXPECT_FALSE(fs::exists(elsewhere / "store" / "inner"));

    // Outside the home the folders of ours begin where the caller says; above that, links are followed.
    fs::create_symlink(elsewhere, root.path() / "tree");
    ASSERT_TRUE(ns::Sandbox::makeOwnFolder(root.path() / "tree" / "store" / "made", error,
                                           root.path() / "tree" / "store"));
    EXPECT_TRUE(fs::is_directory(elsewhere / "store" / "made"));
    ns::Sandbox::reset();
}

TEST(Sandbox, HomeComesFromTheEnvironmentAndTheBundleIdentifier) {
    velotest::TempHome temp;
    writeFile(temp.path() / "Info.plist", infoPlist);
    ns::Bundle::setMainBundlePath(temp.path());
    const char* saved = std::getenv("VELOMARINTH_HOME");
    std::string savedValue = saved ? saved : "";
    ::setenv("VELOMARINTH_HOME", (temp.path() / "homes").c_str(), 1);
    ns::Sandbox::reset();
    EXPECT_EQ(ns::Sandbox::home(), temp.path() / "homes" / "com.example.swift");
    EXPECT_TRUE(fs::is_directory(temp.path() / "homes" / "com.example.swift" / "Library" / "Caches"));

    ::unsetenv("VELOMARINTH_HOME");
    ::setenv("XDG_DATA_HOME", (temp.path() / "xdg").c_str(), 1);
    ns::Sandbox::reset();
    EXPECT_EQ(ns::Sandbox::home(), temp.path() / "xdg" / "velomarinth" / "com.example.swift");
    ::unsetenv("XDG_DATA_HOME");

    if (saved) ::setenv("VELOMARINTH_HOME", savedValue.c_str(), 1);
    ns::Bundle::setMainBundlePath({});
    ns::Sandbox::setHome(temp.path()); // TempHome's destructor resets it
}

} // namespace
