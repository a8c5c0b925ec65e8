#pragma once
// A bundle: a folder with an Info.plist (a real XML or binary property list) and resources.
//
// Bundle::main() is the folder that holds the running executable, unless the environment variable
// VELOMARINTH_BUNDLE names another folder or a test called setMainBundlePath().
//
// Failure contract: a bundle whose Info.plist is missing or unreadable still exists, with an empty
// information dictionary; the reason is kept in infoLoadError(), and an Info.plist that exists but
// cannot be read is also reported by one console line.
// Lookups of missing keys or resources answer nothing. Thread-safe for readers; setMainBundlePath() is
// meant for test set-up.
#include "platform/foundation/Error.hpp"
#include "platform/foundation/PropertyList.hpp"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace ns {

class Bundle {
  public:
    // Opens the bundle at `path` and reads <path>/Info.plist.
    explicit Bundle(std::filesystem::path path);

    static const Bundle& main();
    // Replaces the main bundle (tests); an empty path returns to the default lookup.
    static void setMainBundlePath(const std::filesystem::path& path);

    const std::filesystem::path& bundlePath() const { return path_; }
    const PropertyList::Dictionary& infoDictionary() const { return info_; }
    const PropertyList* objectForInfoDictionaryKey(std::string_view key) const;
    // "CFBundleIdentifier" when it is a string.
    std::optional<std::string> bundleIdentifier() const;
    // Error from reading Info.plist, if any.
    const std::optional<Error>& infoLoadError() const { return loadError_; }

    // The main bundle's identifier made safe as a file-name component: "CFBundleIdentifier" with "/"
    // and NUL replaced by "_", or the executable's file name when the bundle has no usable identifier.
    static std::string mainBundleIdentifierForStorage();

    // The text of `key` in the strings table `table` ("<table>.strings", a property list of strings,
    // XML or binary), looked for in the folder of the user's language ("<ll_RR>.lproj", "<ll>.lproj",
    // from LC_ALL, LC_MESSAGES or LANG), then "Base.lproj", "en.lproj" and the bundle folder itself; the
    // first table found is the one used. `value` when no table has the key.
    std::string localizedStringForKey(std::string_view key, std::string_view value,
                                      std::string_view table) const;

    // <bundle>/<name>.<ext> (or <name> when ext is empty) when such a regular file exists.
    std::optional<std::filesystem::path> pathForResource(std::string_view name, std::string_view ext) const;

  private:
    std::filesystem::path path_;
    PropertyList::Dictionary info_;
    std::optional<Error> loadError_;
};

} // namespace ns
