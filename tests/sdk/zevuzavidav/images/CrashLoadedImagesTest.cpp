// Images that come and go without notice (plain dlopen and dlclose) are known at crash time: forked
// children open or close a library behind the crash reporter's back and then crash.
#include "platform/darwin/Images.hpp"
#include "sdk/zevuzavidav/context/ZEVContext.hpp"
#include "sdk/zevuzavidav/unwind/DwarfFDEIndex.hpp"
#include "sdk/zevuzavidav/unwind/ZEVUnwind.hpp"
#include "tests/sdk/zevuzavidav/support/RecordSupport.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/TempHome.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using json = nlohmann::json;

const std::string kFixture = VELO_DLOPEN_FIXTURE;

void (*fixtureCrash)() = nullptr;

__attribute__((noinline)) void crashThroughTheLibrary() {
    fixtureCrash();
    asm volatile("" ::: "memory");
}

template <typename Body> velotest::TempFolder crashInChild(Body body) {
    velotest::TempFolder folder;
    const std::string dir = folder.string();
    const int status = velotest::waitStatusOfChild([&] {
        recordtest::initializeContext(dir);
        body();
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV)
        << "status " << status << " signal " << WTERMSIG(status) << " exit " << WEXITSTATUS(status);
    return folder;
}

std::vector<json> lines(const std::string& path) {
    int unparsable = 0;
    auto read = recordtest::readLines(path, &unparsable);
    EXPECT_EQ(unparsable, 0) << path;
    return read;
}

std::string text(const std::string& path) {
    std::ifstream in(path);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

bool holds(const json& stack, std::uint64_t begin, std::uint64_t end) {
    for (const auto& pc : stack)
        if (pc.get<std::uint64_t>() >= begin && pc.get<std::uint64_t>() < end) return true;
    return false;
}

TEST(CrashLoadedImages, ALibraryOpenedByPlainDlopenIsRecordedAndUnwound) {
    const velotest::TempFolder folder = crashInChild([] {
        // The lines of the images loaded at start are written first: a crash in the middle of one of
        // them would leave it cut, which is not what this test looks at.
        zevuzavidav::sharedCrashContext().binaryImagesQueue->sync([] {});
        void* library = dlopen(kFixture.c_str(), RTLD_NOW);
        if (library == nullptr) _exit(4);
        fixtureCrash = reinterpret_cast<void (*)()>(dlsym(library, "velo_fixture_crash"));
        crashThroughTheLibrary();
    });
    const std::string dir = folder.string();

    json load;
    for (const auto& line : lines(dir + "/binary_images.zevrecord")) {
        if (line.contains("load") && line["load"]["path"].is_string() &&
            line["load"]["path"].get<std::string>() == kFixture) {
            load = line["load"];
        }
    }
    ASSERT_TRUE(load.is_object()) << text(dir + "/binary_images.zevrecord");
    EXPECT_EQ(load["uuid"].get<std::string>().size(), 32u);
    std::uint64_t base = load["base"];
    std::uint64_t size = load["size"];
    ASSERT_GT(size, 0u);

    json crashed;
    for (const auto& line : lines(dir + "/mach_exception.zevrecord")) {
        if (!line.contains("threads")) continue;
        for (const auto& thread : line["threads"])
            if (thread.value("crashed", false)) crashed = thread["stacktrace"];
    }
    ASSERT_TRUE(crashed.is_array() && !crashed.empty());
    // The fault is inside the library, and the walk goes on through its frames to the caller.
    std::uint64_t pc = crashed[0];
    EXPECT_TRUE(pc >= base && pc < base + size) << crashed;
    zevuzavidav::BinaryImageNodeCopy image;
    ZEVDwarfCFIRecord caller;
    auto callerAddress = reinterpret_cast<std::uint64_t>(crashThroughTheLibrary);
    ASSERT_TRUE(zevuzavidav::findImageWithDynamicLinker(callerAddress, &image));
    ASSERT_TRUE(zevuzavidav::findDwarfFDE(image.eh_frame, callerAddress, &caller));
    EXPECT_TRUE(holds(crashed, caller.fde.pcBegin + 1, caller.fde.pcBegin + caller.fde.pcRange + 1))
        << crashed;
    EXPECT_NE(text(dir + "/sdk.log").find("Recording an image loaded without notice"), std::string::npos);
}

TEST(CrashLoadedImages, ALibraryClosedByPlainDlcloseIsRecordedAsUnloaded) {
    const velotest::TempFolder folder = crashInChild([] {
        // Announced on the way in, closed behind the reporter's back.
        void* library = darwin::openImage(kFixture.c_str(), RTLD_NOW);
        if (library == nullptr || dlclose(library) != 0) _exit(4);
        zevuzavidav::sharedCrashContext().binaryImagesQueue->sync([] {});
        recordtest::writeThroughNull();
    });
    const std::string dir = folder.string();
    std::uint64_t loadedBase = 0;
    json unload;
    for (const auto& line : lines(dir + "/binary_images.zevrecord")) {
        if (line.contains("load") && line["load"]["path"] == kFixture) loadedBase = line["load"]["base"];
        if (line.contains("unload")) unload = line["unload"];
    }
    ASSERT_NE(loadedBase, 0u);
    ASSERT_TRUE(unload.is_object()) << text(dir + "/binary_images.zevrecord");
    EXPECT_EQ(unload["base"], loadedBase);
    EXPECT_TRUE(unload["path"].is_null());
}

// A crash that comes while the binary-images queue still owes the line of an image it was told of (soon
// after start, or after an image was opened) writes that image's line itself.
TEST(CrashLoadedImages, AnImageWhoseLineTheQueueStillOwesIsRecordedAtCrashTime) {
    const velotest::TempFolder folder = crashInChild([] {
        auto queue = zevuzavidav::sharedCrashContext().binaryImagesQueue;
        queue->sync([] {});
        // The queue is held until the child ends, so the library's line waits behind it at the crash.
        static velotest::Gate never;
        queue->async([] { never.wait(); });
        if (darwin::openImage(kFixture.c_str(), RTLD_NOW) == nullptr) _exit(4);
        recordtest::writeThroughNull();
    });
    const std::string dir = folder.string();
    int loads = 0;
    for (const auto& line : lines(dir + "/binary_images.zevrecord"))
        if (line.contains("load") && line["load"]["path"] == kFixture) ++loads;
    EXPECT_EQ(loads, 1) << text(dir + "/binary_images.zevrecord");
    // It was known, so it is not taken for one opened behind the reporter's back.
    EXPECT_EQ(text(dir + "/sdk.log").find("without notice"), std::string::npos) << text(dir + "/sdk.log");
}

TEST(CrashLoadedImages, AnUndisturbedProcessWritesNoLinesAtCrashTime) {
    const velotest::TempFolder folder = crashInChild([] {
        zevuzavidav::sharedCrashContext().binaryImagesQueue->sync([] {});
        recordtest::writeThroughNull();
    });
    const std::string dir = folder.string();
    // Every image found at crash time was already known: no unload of a live image, no second load.
    auto recorded = lines(dir + "/binary_images.zevrecord");
    for (const auto& line : recorded)
        EXPECT_FALSE(line.contains("unload")) << line;
    EXPECT_EQ(text(dir + "/sdk.log").find("without notice"), std::string::npos) << text(dir + "/sdk.log");
}

} // namespace
