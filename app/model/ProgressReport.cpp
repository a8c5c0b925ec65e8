#include "app/model/ProgressReport.hpp"

#include "platform/foundation/Console.hpp"

#include <algorithm>

namespace {

ns::PropertyList listValue(const std::optional<std::vector<std::string>>& list) {
    if (!list) return nullptr;
    ns::PropertyList::Array array;
    array.reserve(list->size());
    for (const auto& entry : *list)
        array.emplace_back(entry);
    return array;
}

ns::PropertyList flagValue(std::optional<bool> flag) {
    if (!flag) return nullptr;
    return *flag;
}

// A list of text; entries of another type are dropped (this program never writes them).
std::optional<std::vector<std::string>> decodeList(const ns::ArchivedObject& coder, std::string_view key) {
    const ns::PropertyList* value = coder.decodeObject(key);
    if (!value) return std::nullopt;
    const ns::PropertyList::Array* array = value->arrayValue();
    if (!array) return std::nullopt;
    std::vector<std::string> out;
    out.reserve(array->size());
    for (const auto& entry : *array)
        if (const std::string* text = entry.stringValue()) out.push_back(*text);
    return out;
}

std::optional<bool> decodeFlag(const ns::PropertyList* value) {
    return value ? value->boolValue() : std::nullopt;
}

// A setting's own key, when the archive has it (null included), else the shared "state" entry.
std::optional<bool> decodeSetting(const ns::ArchivedObject& coder, std::string_view key) {
    if (coder.containsValue(key)) return decodeFlag(coder.decodeObject(key));
    return decodeFlag(coder.decodeObject("state"));
}

bool isProgressReportClass(const std::string& name) {
    const auto dot = name.rfind('.');
    return (dot == std::string::npos ? name : name.substr(dot + 1)) == "ProgressReport";
}

} // namespace

void ProgressReport::encodeWithCoder(ns::KeyedArchiver& coder) const {
    coder.encodeObject("lessons", listValue(lessons));
    coder.encodeObject("appRated", listValue(appRated));
    // Stored records carry the settings under one "state" entry; readers of that form rely on it
    // holding showErrorIndicator, which is what the last of these three writes leaves.
    coder.encodeObject("state", flagValue(autoRun));
    coder.encodeObject("state", flagValue(sound));
    coder.encodeObject("state", flagValue(showErrorIndicator));
    // Each setting under its own key too, so none is lost on the next launch.
    coder.encodeObject("autoRun", flagValue(autoRun));
    coder.encodeObject("sound", flagValue(sound));
    coder.encodeObject("showErrorIndicator", flagValue(showErrorIndicator));
}

ProgressReport::Ptr ProgressReport::initWithCoder(const ns::ArchivedObject& coder) {
    if (!isProgressReportClass(coder.className())) return nullptr;
    auto report = make();
    report->lessons = decodeList(coder, "lessons");
    report->appRated = decodeList(coder, "appRated");
    report->autoRun = decodeSetting(coder, "autoRun");
    report->sound = decodeSetting(coder, "sound");
    report->showErrorIndicator = decodeSetting(coder, "showErrorIndicator");
    return report;
}

ns::Result<void> ProgressReport::save() const {
    return save(ns::UserDefaults::standard());
}

ns::Result<void> ProgressReport::save(ns::UserDefaults& defaults) const {
    ns::KeyedArchiver archiver(archivedClassName, {archivedClassName, "NSObject"});
    encodeWithCoder(archiver);
    auto data = archiver.archivedData();
    if (!data) {
        ns::console("progress report NOT saved: " + data.error().localizedDescription());
        return data.error();
    }
    auto stored = defaults.setObject(defaultsKey, ns::PropertyList(std::move(data).value()));
    if (!stored) {
        ns::console("progress report NOT saved: " + stored.error().localizedDescription());
        return stored;
    }
    ns::console("progress report saved");
    return {};
}

ProgressReport::Ptr ProgressReport::load() {
    return load(ns::UserDefaults::standard());
}

ProgressReport::Ptr ProgressReport::load(ns::UserDefaults& defaults) {
    auto data = defaults.dataForKey(defaultsKey);
    if (!data) return nullptr;
    ns::console("progress report loaded");
    auto archive = ns::KeyedUnarchiver::unarchive(*data);
    std::string problem;
    if (!archive)
        problem = archive.error().localizedDescription();
    else if (auto report = initWithCoder(archive.value()))
        return report;
    else
        problem = "the archive holds a " + archive->className() + ", not a ProgressReport";
    // The next save writes a fresh record over this key; keep the unreadable bytes where they survive.
    ns::console("progress report could not be read (" + problem + "); kept aside under \"" +
                corruptDefaultsKey + "\"");
    (void)defaults.setObject(corruptDefaultsKey, ns::PropertyList(std::move(*data)));
    return nullptr;
}

bool ProgressReport::hasCompleted(const std::string& lessonID) const {
    return lessons && std::find(lessons->begin(), lessons->end(), lessonID) != lessons->end();
}
