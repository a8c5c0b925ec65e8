#include "model/ProgressReport.hpp"

#include "platform/foundation/Console.hpp"
#include "platform/foundation/Date.hpp"
#include "platform/foundation/NotificationCenter.hpp"

#include <algorithm>
#include <map>

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

ProgressReport::Fields ProgressReport::fields() const {
    return Fields{lessons, appRated, autoRun, sound, showErrorIndicator};
}

void ProgressReport::assign(const Fields& f) {
    lessons = f.lessons;
    appRated = f.appRated;
    autoRun = f.autoRun;
    sound = f.sound;
    showErrorIndicator = f.showErrorIndicator;
}

ProgressReport::List ProgressReport::mergedList(const List& stored, const List& base, const List& ours) {
    if (!stored && !ours) return std::nullopt;
    static const std::vector<std::string> none;
    const auto& storedList = stored ? *stored : none;
    const auto& baseList = base ? *base : none;
    const auto& oursList = ours ? *ours : none;
    std::map<std::string, long> storedCount, baseCount, oursCount;
    for (const auto& id : storedList)
        ++storedCount[id];
    for (const auto& id : baseList)
        ++baseCount[id];
    for (const auto& id : oursList)
        ++oursCount[id];
    // How often each entry ends up in the list: the base's count with both sides' changes. Changes in the
    // same direction are one change made twice (both copies completed the lesson), so the larger counts;
    // changes in opposite directions both count.
    auto wanted = [&](const std::string& id) {
        const long base = baseCount[id];
        const long ourChange = oursCount[id] - base;
        const long storedChange = storedCount[id] - base;
        long count = base + ourChange + storedChange;
        if (ourChange > 0 && storedChange > 0) count = base + std::max(ourChange, storedChange);
        if (ourChange < 0 && storedChange < 0) count = base + std::min(ourChange, storedChange);
        return std::max(0L, count);
    };
    std::vector<std::string> out;
    std::map<std::string, long> placed;
    for (const auto* list : {&storedList, &oursList})
        for (const auto& id : *list)
            if (placed[id] < wanted(id)) {
                ++placed[id];
                out.push_back(id);
            }
    return out;
}

ProgressReport::Fields ProgressReport::merged(const std::optional<Fields>& stored,
                                              const std::optional<Fields>& base, const Fields& ours) {
    const Fields none;
    const Fields& s = stored ? *stored : none;
    const Fields& b = base ? *base : none;
    // A setting this object changed wins. Without a base (nothing could be read at start) the stored
    // value is the learner's own and wins over the start-up defaults.
    auto setting = [&](std::optional<bool> Fields::*field) {
        if (!base) return (s.*field).has_value() ? s.*field : ours.*field;
        return ours.*field != b.*field ? ours.*field : s.*field;
    };
    return Fields{mergedList(s.lessons, b.lessons, ours.lessons),
                  mergedList(s.appRated, b.appRated, ours.appRated), setting(&Fields::autoRun),
                  setting(&Fields::sound), setting(&Fields::showErrorIndicator)};
}

namespace {

// The record stored under the key, when it is one we can read.
ProgressReport::Ptr storedRecord(const ns::PropertyList* value) {
    const auto* data = value ? value->dataValue() : nullptr;
    if (!data) return nullptr;
    auto archive = ns::KeyedUnarchiver::unarchive(*data);
    return archive ? ProgressReport::initWithCoder(archive.value()) : nullptr;
}

} // namespace

ns::Result<void> ProgressReport::save() {
    return save(ns::UserDefaults::standard());
}

ns::Result<void> ProgressReport::save(ns::UserDefaults& defaults) {
    return save(defaults, nullptr);
}

ns::Result<void> ProgressReport::save(const Change& change) {
    return save(ns::UserDefaults::standard(), change);
}

ns::Result<void> ProgressReport::save(ns::UserDefaults& defaults, const Change& change) {
    std::optional<Fields> result;
    std::optional<ns::Error> archiveError;
    auto stored = defaults.updateObject(defaultsKey, [&](const ns::PropertyList* value) -> ns::PropertyList {
        std::optional<Fields> onDisk;
        if (auto record = storedRecord(value)) onDisk = record->fields();
        ProgressReport merge;
        merge.assign(merged(onDisk, synced_, fields()));
        if (change) change(merge);
        ns::KeyedArchiver archiver(archivedClassName, {archivedClassName, "NSObject"});
        merge.encodeWithCoder(archiver);
        auto data = archiver.archivedData();
        if (!data) {
            archiveError = data.error();
            return value ? *value : ns::PropertyList();
        }
        result = merge.fields();
        return ns::PropertyList(std::move(data).value());
    });
    if (archiveError) stored = *archiveError;
    auto& center = ns::NotificationCenter::defaultCenter();
    if (!stored) {
        if (change) change(*this);
        ns::console("progress report NOT saved: " + stored.error().localizedDescription());
        center.post(didSaveNotification, this, {{saveErrorKey, stored.error()}});
        return stored;
    }
    assign(*result);
    synced_ = std::move(result);
    ns::console("progress report saved");
    center.post(didSaveNotification, this);
    return {};
}

ProgressReport::Ptr ProgressReport::load() {
    return load(ns::UserDefaults::standard());
}

ProgressReport::Ptr ProgressReport::load(ns::UserDefaults& defaults,
                                         std::optional<std::string>* keptAsideUnder) {
    auto data = defaults.dataForKey(defaultsKey);
    if (!data) return nullptr;
    ns::console("progress report loaded");
    auto archive = ns::KeyedUnarchiver::unarchive(*data);
    std::string problem;
    if (!archive) {
        problem = archive.error().localizedDescription();
    } else if (auto report = initWithCoder(archive.value())) {
        report->synced_ = report->fields();
        return report;
    } else {
        problem = "the archive holds a " + archive->className() + ", not a ProgressReport";
    }
    // The next save writes a fresh record over this key; keep the unreadable bytes where they survive,
    // each time under a key of its own.
    const std::string stamped = corruptDefaultsKeyPrefix + ns::Date::now().compactISO8601String();
    std::string key = stamped;
    for (int n = 1; defaults.objectForKey(key); ++n)
        key = stamped + "-" + std::to_string(n);
    ns::console("progress report could not be read (" + problem + "); kept aside under \"" + key + "\"");
    if (defaults.setObject(key, ns::PropertyList(std::move(*data))) && keptAsideUnder) *keptAsideUnder = key;
    return nullptr;
}

bool ProgressReport::hasUnsavedChanges() const {
    return !synced_ || fields() != *synced_;
}

bool ProgressReport::hasCompleted(std::string_view lessonID) const {
    return lessons && std::find(lessons->begin(), lessons->end(), lessonID) != lessons->end();
}
