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
// Two copies of the app may run at once (two terminals). save() therefore merges, under the user
// defaults' lock, with the record stored now: what this object changed since it was loaded or last
// saved is applied to the stored record, the rest is taken from it. Lesson ids and app versions that
// either copy added are all kept; an entry removed here is removed there, and one removed there stays
// removed even when this copy adds it again (it then holds only what this copy added); a setting
// changed here wins. The object then holds the merged record.
//
// A removal counts against what this copy has seen. A change that must reach everything stored, such
// as the reset of all progress, is handed to save() instead: it is applied under the same lock to the
// record as stored at that moment (with this copy's own changes merged in), so it removes what another
// copy saved a moment before, too.
//
// Failure contract: load() never crashes. Nothing stored, or a non-data value, gives absent silently; an
// archive that cannot be read gives absent with a console line, and its bytes are kept aside under
// "progressReport.corrupt-<UTC timestamp>" so that the fresh record saved next
// destroys nothing, however often it happens. A preferences file that cannot be read is left alone by
// the user defaults, which then refuse every save. save() prints "progress report saved" only when the
// record reached the disk; otherwise it prints why not, reports the error (also to didSaveNotification's
// observers, so the learner can be told), and the object is unchanged: the next save merges and writes
// everything again. A "lessons" or "appRated" entry that is
// not a list reads as absent, and list members that are not text are dropped (this program never writes
// either).
#include "platform/foundation/KeyedArchive.hpp"
#include "platform/foundation/Result.hpp"
#include "platform/foundation/UserDefaults.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class ProgressReport {
  public:
    using Ptr = std::shared_ptr<ProgressReport>;
    using List = std::optional<std::vector<std::string>>;

    static constexpr const char* defaultsKey = "progressReport";
    static constexpr const char* corruptDefaultsKeyPrefix = "progressReport.corrupt-";
    // Posted on the default notification centre after every save, the record as sender; when the save
    // failed, the user info holds the ns::Error under saveErrorKey.
    static constexpr const char* didSaveNotification = "ProgressReportDidSaveNotification";
    static constexpr const char* saveErrorKey = "error";
    // The class name the archive's root carries; any module prefix ("Module.ProgressReport") is accepted
    // when reading.
    static constexpr const char* archivedClassName = "Velomarinth.ProgressReport";

    List lessons;
    List appRated;
    std::optional<bool> autoRun;
    std::optional<bool> sound;
    std::optional<bool> showErrorIndicator;

    // A record with every field absent.
    static Ptr make() { return std::make_shared<ProgressReport>(); }

    void encodeWithCoder(ns::KeyedArchiver& coder) const;
    // Reads a decoded archive; absent when its root is not a ProgressReport.
    static Ptr initWithCoder(const ns::ArchivedObject& coder);

    // Merges with the stored record and stores the result under "progressReport" (standard user
    // defaults, or `defaults`).
    ns::Result<void> save();
    ns::Result<void> save(ns::UserDefaults& defaults);
    // Merges, applies `change` to the merged record, and stores that. When the save fails the change is
    // made to this object alone, and the next save carries it as an ordinary change.
    using Change = std::function<void(ProgressReport&)>;
    ns::Result<void> save(const Change& change);
    ns::Result<void> save(ns::UserDefaults& defaults, const Change& change);

    // The stored record, or absent (see the failure contract). When the stored archive cannot be read,
    // `keptAsideUnder` (if given) receives the key its bytes were kept under.
    static Ptr load();
    static Ptr load(ns::UserDefaults& defaults, std::optional<std::string>* keptAsideUnder = nullptr);

    // Whether `lessons` holds `lessonID` (exact text comparison).
    bool hasCompleted(std::string_view lessonID) const;

    // Whether this object holds what no save has stored: it was never saved nor loaded, it changed since,
    // or its last save failed.
    bool hasUnsavedChanges() const;

    // The list a save stores: `stored` with the changes from `base` to `ours` applied, counted per entry.
    // An entry added in `ours` is present (once more for each further copy added, as the rating step's
    // repeated id), without doubling one that `stored` added too; an entry removed in `ours` is removed;
    // where one side added what the other removed, both changes count (a removal there is not undone by
    // the copies `ours` still holds from before it). The rest of `stored` stays, in its order, followed
    // by the additions in `ours`'s order. Absent counts as empty; the result is absent only when `stored`
    // and `ours` both are.
    static List mergedList(const List& stored, const List& base, const List& ours);

  private:
    struct Fields {
        List lessons;
        List appRated;
        std::optional<bool> autoRun;
        std::optional<bool> sound;
        std::optional<bool> showErrorIndicator;
        bool operator==(const Fields&) const = default;
    };
    Fields fields() const;
    void assign(const Fields& fields);
    static Fields merged(const std::optional<Fields>& stored, const std::optional<Fields>& base,
                         const Fields& ours);

    // The record as this object last read it from or wrote it to the store; absent before that.
    std::optional<Fields> synced_;
};
