#include "app/catalogue/terminal/SaveAtQuit.hpp"

#include "app/catalogue/terminal/SaveStatusLine.hpp"

std::optional<std::string> saveProgressAtQuit(ProgressReport& record, ns::UserDefaults& defaults) {
    if (!record.hasUnsavedChanges()) return std::nullopt;
    auto saved = record.save(defaults);
    if (saved) return std::nullopt;
    return "Progress not saved: " + SaveStatusLine::reason(saved.error()) +
           ". The last try, as the program ended, failed as well, so what you did since the last save "
           "that succeeded is lost (the record: " +
           defaults.filePath().string() + ").";
}
