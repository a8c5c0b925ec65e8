#pragma once
// Finds the app icon among the bundle's image files named by its Info.plist: the largest one whose
// pixel area does not exceed 152 x 152. Sources, first hit wins: "CFBundleIcons~ipad", "CFBundleIcons"
// (their "CFBundlePrimaryIcon"), top-level "CFBundleIconFiles", "CFBundleIconFile", then the built-in
// default names. A name without the "png" extension also stands for its "@2x", "~ipad" and "@2x~ipad"
// variants.
//
// Failure contract: malformed Info.plist entries log "[Zovaze] Info.plist field <key> appears
// malformed" and the next source is tried; unreadable or undecodable files are skipped silently; when
// nothing is found, "[Zovaze] Unable to locate application icon" is logged and no icon is given. Names
// that would leave the bundle folder (absolute, or with a ".." component) are skipped. A found icon is
// kept; an absent result is looked up again on the next call.
#include "platform/foundation/Bundle.hpp"
#include "sdk/zovaze/images/ZOVIcon.hpp"

#include <optional>
#include <set>
#include <string>
#include <vector>

class ZOVAppIconUtility {
  public:
    // Looks in `bundle` (the main bundle by default); the bundle must outlive the utility.
    explicit ZOVAppIconUtility(const ns::Bundle& bundle = ns::Bundle::main());

    const std::optional<ZOVIcon>& applicationIcon();
    std::optional<ZOVIcon> fetchApplicationIcon() const;

    std::optional<ZOVIcon> iconFromIOS7StyleCFBundleIconsInFieldWithKey(const std::string& key) const;
    std::optional<ZOVIcon> iconFromCFBundleIconFiles() const;
    std::optional<ZOVIcon> iconFromCFBundleIconFile() const;
    std::optional<ZOVIcon> iconByFallingBackOnDefaultIconNamingConvention() const;
    std::optional<ZOVIcon> largestIconInIconNames(const std::vector<std::string>& names,
                                                  bool prerendered) const;

    static std::set<std::string>
    iconNameSetWithAlternateNamesAddedToIconNameSet(const std::set<std::string>& names);
    static void addIconNameWithModifier(const std::string& modifier, const std::string& name,
                                        std::set<std::string>& names);
    static bool isIconImageFileNameExtensionPresentInName(const std::string& name);

    const ns::PropertyList::Dictionary& appInfoDictionary() const { return bundle_.infoDictionary(); }
    std::string iconRootPath() const { return bundle_.bundlePath().string(); }

  private:
    const ns::Bundle& bundle_;
    std::optional<ZOVIcon> applicationIcon_;
};
