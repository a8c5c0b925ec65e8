#include "platform/foundation/Bundle.hpp"

#include "platform/foundation/Console.hpp"
#include "platform/foundation/PropertyListSerialization.hpp"

#include <cstdlib>
#include <mutex>
#include <vector>

namespace ns {
namespace {

// Info.plist and the strings tables hold a few kilobytes; a file far beyond is not read.
constexpr std::size_t bundleFileLimit = 4 * 1024 * 1024;

std::filesystem::path executablePath() {
    std::error_code ec;
    auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : p;
}

std::filesystem::path defaultMainBundlePath() {
    if (const char* env = std::getenv("VELOMARINTH_BUNDLE"); env && *env) return env;
    auto exe = executablePath();
    return exe.empty() ? std::filesystem::current_path() : exe.parent_path();
}

struct MainBundleState {
    std::mutex mutex;
    std::filesystem::path overridePath;
    std::shared_ptr<Bundle> current;
    // Bundles replaced by setMainBundlePath stay alive: callers may still hold references to them.
    std::vector<std::shared_ptr<Bundle>> retired;
};

MainBundleState& mainState() {
    static MainBundleState state;
    return state;
}

} // namespace

Bundle::Bundle(std::filesystem::path path) : path_(std::move(path)) {
    const auto infoPath = path_ / "Info.plist";
    auto info = readPropertyListFile(infoPath, bundleFileLimit);
    if (!info) {
        loadError_ = info.error();
        // A folder without Info.plist (a test program's, say) is an ordinary case; a damaged one is not.
        if (info.error().code() != static_cast<long>(PropertyListErrorCode::fileNotFound))
            console("Bundle: cannot read " + infoPath.string() + ": " + info.error().localizedDescription());
        return;
    }
    if (auto* dict = info->dictionaryValue()) {
        info_ = std::move(*dict);
    } else {
        loadError_ = Error::make(propertyListErrorDomain, static_cast<long>(PropertyListErrorCode::corrupt),
                                 "Info.plist is not a dictionary");
        console("Bundle: " + infoPath.string() + " is not a dictionary; using an empty one");
    }
}

const Bundle& Bundle::main() {
    auto& state = mainState();
    std::lock_guard lock(state.mutex);
    if (!state.current)
        state.current = std::make_shared<Bundle>(state.overridePath.empty() ? defaultMainBundlePath()
                                                                            : state.overridePath);
    return *state.current;
}

void Bundle::setMainBundlePath(const std::filesystem::path& path) {
    auto& state = mainState();
    std::lock_guard lock(state.mutex);
    state.overridePath = path;
    if (state.current) state.retired.push_back(std::move(state.current));
    state.current.reset();
}

const PropertyList* Bundle::objectForInfoDictionaryKey(std::string_view key) const {
    return info_.find(key);
}

std::optional<std::string> Bundle::bundleIdentifier() const {
    if (auto* v = info_.find("CFBundleIdentifier"))
        if (auto* s = v->stringValue()) return *s;
    return std::nullopt;
}

std::string Bundle::mainBundleIdentifierForStorage() {
    std::string id = main().bundleIdentifier().value_or("");
    for (char& c : id)
        if (c == '/' || c == '\0') c = '_';
    if (id.empty() || id == "." || id == "..") {
        id = executablePath().filename().string();
        if (id.empty() || id == "." || id == "..") id = "velomarinth";
    }
    return id;
}

std::optional<std::filesystem::path> Bundle::pathForResource(std::string_view name,
                                                             std::string_view ext) const {
    if (name.empty() || name.find('/') != std::string_view::npos || ext.find('/') != std::string_view::npos)
        return std::nullopt;
    std::string file(name);
    if (!ext.empty()) {
        file += '.';
        file += ext;
    }
    auto candidate = path_ / file;
    std::error_code ec;
    if (std::filesystem::is_regular_file(candidate, ec)) return candidate;
    return std::nullopt;
}

namespace {

// The folders a strings table may sit in, most specific first.
std::vector<std::string> localizationFolders() {
    std::vector<std::string> folders;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value == nullptr || *value == '\0') continue;
        std::string locale(value);
        locale = locale.substr(0, locale.find_first_of(".@"));
        if (locale.empty() || locale == "C" || locale == "POSIX" || locale.find('/') != std::string::npos)
            break;
        folders.push_back(locale + ".lproj");
        if (auto underscore = locale.find('_'); underscore != std::string::npos)
            folders.push_back(locale.substr(0, underscore) + ".lproj");
        break;
    }
    folders.push_back("Base.lproj");
    folders.push_back("en.lproj");
    folders.push_back("");
    return folders;
}

} // namespace

std::string Bundle::localizedStringForKey(std::string_view key, std::string_view value,
                                          std::string_view table) const {
    if (table.empty() || table.find('/') != std::string_view::npos) return std::string(value);
    const std::string file = std::string(table) + ".strings";
    for (const auto& folder : localizationFolders()) {
        auto candidate = folder.empty() ? path_ / file : path_ / folder / file;
        std::error_code ec;
        if (!std::filesystem::is_regular_file(candidate, ec)) continue;
        auto strings = readPropertyListFile(candidate, bundleFileLimit);
        const auto* dictionary = strings ? strings->dictionaryValue() : nullptr;
        const PropertyList* found = dictionary ? dictionary->find(key) : nullptr;
        if (found && found->stringValue()) return *found->stringValue();
        return std::string(value);
    }
    return std::string(value);
}

} // namespace ns
