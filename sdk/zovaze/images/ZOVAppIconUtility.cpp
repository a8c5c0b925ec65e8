#include "sdk/zovaze/images/ZOVAppIconUtility.hpp"

#include "platform/foundation/Console.hpp"
#include "platform/foundation/FileContents.hpp"
#include "sdk/zovaze/images/PNGImage.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

const std::vector<std::string> kDefaultIconNames{
    "Icon.png",       "Icon@2x.png",       "Icon-72.png",       "Icon-72@2x.png",
    "Icon-Small.png", "Icon-Small@2x.png", "Icon-Small-50.png", "Icon-Small-50@2x.png",
};

void logMalformed(const std::string& key) {
    ns::console("[Zovaze] Info.plist field " + key + " appears malformed");
}

// A boolean as the platform reads one out of a property list: booleans, numbers, and the strings it
// takes for yes ("YES", "true", "1", ...).
bool booleanValue(const ns::PropertyList& value) {
    if (auto b = value.boolValue()) return *b;
    if (auto i = value.integerValue()) return *i != 0;
    if (auto r = value.realValue()) return *r != 0.0;
    if (const std::string* s = value.stringValue()) {
        auto first = std::find_if(s->begin(), s->end(), [](char c) { return c != ' ' && c != '\t'; });
        if (first == s->end()) return false;
        if (*first == '+' || *first == '-') ++first;
        while (first != s->end() && *first == '0')
            ++first;
        return first != s->end() && std::string("YyTt123456789").find(*first) != std::string::npos;
    }
    return false;
}

std::vector<std::string> stringsOf(const ns::PropertyList::Array& array) {
    std::vector<std::string> names;
    for (const auto& item : array) {
        if (const std::string* name = item.stringValue()) names.push_back(*name);
    }
    return names;
}

bool staysInsideBundle(const std::string& name) {
    if (name.empty() || name.front() == '/') return false;
    for (const auto& part : std::filesystem::path(name)) {
        if (part == "..") return false;
    }
    return true;
}

} // namespace

ZOVAppIconUtility::ZOVAppIconUtility(const ns::Bundle& bundle) : bundle_(bundle) {}

const std::optional<ZOVIcon>& ZOVAppIconUtility::applicationIcon() {
    if (!applicationIcon_) applicationIcon_ = fetchApplicationIcon();
    return applicationIcon_;
}

std::optional<ZOVIcon> ZOVAppIconUtility::fetchApplicationIcon() const {
    if (auto icon = iconFromIOS7StyleCFBundleIconsInFieldWithKey("CFBundleIcons~ipad")) return icon;
    if (auto icon = iconFromIOS7StyleCFBundleIconsInFieldWithKey("CFBundleIcons")) return icon;
    if (auto icon = iconFromCFBundleIconFiles()) return icon;
    if (auto icon = iconFromCFBundleIconFile()) return icon;
    if (auto icon = iconByFallingBackOnDefaultIconNamingConvention()) return icon;
    ns::console("[Zovaze] Unable to locate application icon");
    return std::nullopt;
}

std::optional<ZOVIcon>
ZOVAppIconUtility::iconFromIOS7StyleCFBundleIconsInFieldWithKey(const std::string& key) const {
    const ns::PropertyList* field = appInfoDictionary().find(key);
    if (!field) return std::nullopt;
    const auto* icons = field->dictionaryValue();
    if (!icons) {
        logMalformed(key);
        return std::nullopt;
    }
    const ns::PropertyList* primaryValue = icons->find("CFBundlePrimaryIcon");
    const auto* primary = primaryValue ? primaryValue->dictionaryValue() : nullptr;
    if (!primary) {
        logMalformed("CFBundlePrimaryIcon");
        return std::nullopt;
    }
    const ns::PropertyList* filesValue = primary->find("CFBundleIconFiles");
    const auto* files = filesValue ? filesValue->arrayValue() : nullptr;
    if (!files) {
        logMalformed("CFBundleIconFiles");
        return std::nullopt;
    }
    const ns::PropertyList* flag = primary->find("UIPrerenderedIcon");
    const bool prerendered = flag && booleanValue(*flag);
    return largestIconInIconNames(stringsOf(*files), prerendered);
}

std::optional<ZOVIcon> ZOVAppIconUtility::iconFromCFBundleIconFiles() const {
    const ns::PropertyList* field = appInfoDictionary().find("CFBundleIconFiles");
    if (!field) return std::nullopt;
    const auto* files = field->arrayValue();
    if (!files) {
        logMalformed("CFBundleIconFiles");
        return std::nullopt;
    }
    return largestIconInIconNames(stringsOf(*files), false);
}

std::optional<ZOVIcon> ZOVAppIconUtility::iconFromCFBundleIconFile() const {
    const ns::PropertyList* field = appInfoDictionary().find("CFBundleIconFile");
    if (!field) return std::nullopt;
    const std::string* name = field->stringValue();
    if (!name) {
        logMalformed("CFBundleIconFile");
        return std::nullopt;
    }
    return largestIconInIconNames({*name}, false);
}

std::optional<ZOVIcon> ZOVAppIconUtility::iconByFallingBackOnDefaultIconNamingConvention() const {
    return largestIconInIconNames(kDefaultIconNames, false);
}

std::optional<ZOVIcon> ZOVAppIconUtility::largestIconInIconNames(const std::vector<std::string>& names,
                                                                 bool prerendered) const {
    const auto candidates =
        iconNameSetWithAlternateNamesAddedToIconNameSet(std::set<std::string>(names.begin(), names.end()));
    const std::string root = iconRootPath();
    // The best file's bytes are kept rather than read and decoded a second time from its path.
    std::optional<std::vector<std::uint8_t>> best;
    zovaze::IconSize bestSize;
    double bestArea = 0;
    for (const auto& name : candidates) {
        if (!staysInsideBundle(name)) continue;
        const std::string file = isIconImageFileNameExtensionPresentInName(name) ? name : name + ".png";
        auto bytes =
            ns::readFileBytes((std::filesystem::path(root) / file).string(), ZOVIcon::maximumFileLength);
        if (!bytes) continue;
        auto image = zovaze::decodePNG(*bytes);
        if (!image) continue;
        const zovaze::IconSize size{static_cast<double>(image->width), static_cast<double>(image->height)};
        const double area = size.width * size.height;
        if (area > bestArea && ZOVIcon::isWithinMaxSurfaceAreaWithImage(size)) {
            bestArea = area;
            bestSize = size;
            best = std::move(bytes);
        }
    }
    if (!best) return std::nullopt;
    return ZOVIcon::initWithDecodablePNGFile(std::move(*best), bestSize, prerendered);
}

std::set<std::string>
ZOVAppIconUtility::iconNameSetWithAlternateNamesAddedToIconNameSet(const std::set<std::string>& names) {
    std::set<std::string> expanded = names;
    for (const auto& name : names) {
        if (isIconImageFileNameExtensionPresentInName(name)) continue;
        addIconNameWithModifier("@2x", name, expanded);
        addIconNameWithModifier("~ipad", name, expanded);
        addIconNameWithModifier("@2x~ipad", name, expanded);
    }
    return expanded;
}

void ZOVAppIconUtility::addIconNameWithModifier(const std::string& modifier, const std::string& name,
                                                std::set<std::string>& names) {
    names.insert(name + modifier);
}

bool ZOVAppIconUtility::isIconImageFileNameExtensionPresentInName(const std::string& name) {
    std::string extension = std::filesystem::path(name).extension().string();
    if (extension.size() != 4) return false;
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".png";
}
