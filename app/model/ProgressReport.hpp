#pragma once
// The learner record: completed lesson ids, the app versions in which the learner went to rate the app,
// and three settings. One record per installation, kept as a keyed archive under "progressReport" in
// the standard user defaults and always written whole. All screens share one in-memory object.
//
// Archive keys: "lessons", "appRated" (lists of text, or null when absent) and "state". Older records
// hold the three settings under the single key "state" (so only the last one written survived); we
// still write "state" that way for them, and also write each setting under its own key ("autoRun",
// "sound", "showErrorIndicator"). When reading, a setting's own key wins and "state" is the fallback.
//
// Failure contract: load() never crashes. Nothing stored, or a non-data value, gives absent silently; an
// archive that cannot be read gives absent with a console line, and its bytes are kept aside under
// "progressReport.corrupt" so that the fresh record saved next does not destroy them. A preferences file
// that is no property list is renamed aside by the user defaults, which print the reason. save() prints
// "progress report saved" only when the record reached the disk; otherwise it prints why not and
// reports the error. The record in memory is unchanged either way. A "lessons" or "appRated" entry that
// is not a list reads as absent, and list members that are not text are dropped (this program never
// writes either).
#include "platform/foundation/KeyedArchive.hpp"
#include "platform/foundation/Result.hpp"
#include "platform/foundation/UserDefaults.hpp"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class ProgressReport {
  public:
    using Ptr = std::shared_ptr<ProgressReport>;

    static constexpr const char* defaultsKey = "progressReport";
    static constexpr const char* corruptDefaultsKey = "progressReport.corrupt";
    // The class name the archive's root carries; any module prefix ("Module.ProgressReport") is accepted
    // when reading.
    static constexpr const char* archivedClassName = "Velomarinth.ProgressReport";

    std::optional<std::vector<std::string>> lessons;
    std::optional<std::vector<std::string>> appRated;
    std::optional<bool> autoRun;
    std::optional<bool> sound;
    std::optional<bool> showErrorIndicator;

    // A record with every field absent.
    static Ptr make() { return std::make_shared<ProgressReport>(); }

    void encodeWithCoder(ns::KeyedArchiver& coder) const;
    // Reads a decoded archive; absent when its root is not a ProgressReport.
    static Ptr initWithCoder(const ns::ArchivedObject& coder);

    // Archives the record and stores it under "progressReport" (standard user defaults, or `defaults`).
    ns::Result<void> save() const;
    ns::Result<void> save(ns::UserDefaults& defaults) const;

    // The stored record, or absent (see the failure contract).
    static Ptr load();
    static Ptr load(ns::UserDefaults& defaults);

    // Whether `lessons` holds `lessonID` (exact text comparison).
    bool hasCompleted(const std::string& lessonID) const;
};
