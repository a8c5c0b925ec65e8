// The launch's metadata record, field by field, as a crashing app leaves it: the facts come from the app's
// bundle and the SDK platform, not from the host's defaults.
#include "platform/foundation/Bundle.hpp"
#include "sdk/zevuzavidav/kit/ZEVContextInitialize.hpp"
#include "sdk/zovaze/identity/ZOVDeviceFacts.hpp"
#include "tests/sdk/zevuzavidav/support/FakeContext.hpp"
#include "tests/sdk/zevuzavidav/support/RecordSupport.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/TempHome.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using json = nlohmann::json;

// An Info.plist with the given extra entries (XML fragments of <key>/value pairs).
void writeBundle(const std::filesystem::path& folder, const std::string& entries) {
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "Info.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">"
        << "<dict><key>CFBundleIdentifier</key><string>com.example/crash-facts"
        << "</string><key>CFBundleVersion</key><string>77</string>"
        << "<key>CFBundleShortVersionString</key><string>4.5.6</string>" << entries << "</dict></plist>\n";
}

json section(const std::vector<json>& lines, const char* name) {
    for (const auto& line : lines)
        if (line.contains(name)) return line[name];
    return nullptr;
}

TEST(CrashMetadata, ACrashedLaunchDescribesTheAppTheDeviceAndTheExecutable) {
    velotest::TempFolder folder;
    std::string dir = (folder.path() / "report").string();
    std::filesystem::create_directories(dir);
    const int status = velotest::waitStatusOfChild([&] {
        writeBundle(folder.path() / "Crash.app", "");
        ns::Bundle::setMainBundlePath(folder.path() / "Crash.app");
        ns::Sandbox::setHome(folder.path() / "home");
        ::unsetenv("LC_ALL");
        ::unsetenv("LC_MESSAGES");
        ::setenv("LANG", "de_DE.UTF-8", 1);
        recordtest::initializeContext(dir);
        recordtest::writeThroughNull();
    });
    ASSERT_NE(status, -1);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV) << status;

    int unparsable = 0;
    auto metadata = recordtest::readLines(dir + "/metadata.zevrecord", &unparsable);
    EXPECT_EQ(unparsable, 0);
    json application = section(metadata, "application");
    EXPECT_EQ(application["bundle_id"], "com.example_crash-facts");
    EXPECT_TRUE(application["custom_bundle_id"].is_null());
    EXPECT_EQ(application["build_version"], "77");
    EXPECT_EQ(application["display_version"], "4.5.6");
    EXPECT_TRUE(application["extension_id"].is_null());

    json host = section(metadata, "host");
    EXPECT_EQ(host["platform"], "ios");
    EXPECT_EQ(host["locale"], "de_DE");
    // The same texts the SDK platform sends in its own requests.
    EXPECT_EQ(host["os_display_version"], ZOVOSDisplayVersion());
    EXPECT_EQ(host["os_build_version"], ZOVOSBuildVersion().value_or(""));
    EXPECT_EQ(host["model"], ZOVDeviceModel().value_or(""));

    json executable = section(metadata, "executable");
    EXPECT_EQ(executable["architecture"], recordtest::machineOfThisProgram());
    EXPECT_EQ(executable["uuid"].get<std::string>().size(), 32u);
    EXPECT_GT(executable["size"].get<std::uint64_t>(), 0u);

    // The storage measured is the app's Documents volume.
    auto record = recordtest::readLines(dir + "/mach_exception.zevrecord", &unparsable);
    EXPECT_TRUE(section(record, "storage").contains("total")) << section(record, "storage");
}

TEST(CrashMetadata, TheExtensionPointComesFromTheBundleAndABadEntryIsLogged) {
    struct Case {
        const char* entries;
        const char* extension; // nullptr: none
        const char* logged;    // nullptr: nothing
    };
    const Case cases[] = {
        {"", nullptr, nullptr},
        {"<key>NSExtension</key><dict><key>NSExtensionPointIdentifier</key>"
         "<string>com.apple.widget-extension</string></dict>",
         "com.apple.widget-extension", nullptr},
        {"<key>NSExtension</key><string>widget</string>", nullptr,
         "ZEVApplicationExtensionPointIdentifier: Error: NSExtension Info.plist entry is mal-formed\n"},
        {"<key>NSExtension</key><dict><key>NSExtensionPointIdentifier</key><integer>3</integer></dict>",
         nullptr,
         "ZEVApplicationExtensionPointIdentifier: Error: NSExtensionPointIdentifier Info.plist entry is "
         "mal-formed\n"},
    };
    for (const Case& c : cases) {
        FakeContext context;
        velotest::TempFolder bundle;
        writeBundle(bundle.path(), c.entries);
        ns::Bundle::setMainBundlePath(bundle.path());
        ZEVContextInitData data;
        ZEVContextRecordMetadata(context.dir().c_str(), &data);
        ns::Bundle::setMainBundlePath({});

        int unparsable = 0;
        json application =
            section(recordtest::readLines(context.dir() + "/metadata.zevrecord", &unparsable), "application");
        if (c.extension != nullptr) {
            EXPECT_EQ(application["extension_id"], c.extension);
        } else {
            EXPECT_TRUE(application["extension_id"].is_null()) << c.entries;
        }
        std::ifstream log(context.dir() + "/sdk.log");
        std::stringstream text;
        text << log.rdbuf();
        if (c.logged != nullptr) {
            EXPECT_NE(text.str().find(c.logged), std::string::npos) << text.str();
        } else {
            EXPECT_EQ(text.str().find("mal-formed"), std::string::npos) << text.str();
        }
    }
}

} // namespace
