#pragma once
// The learner record's last chance as the program ends. A save that failed (a full disk, a folder that
// could not be written) leaves the record holding what no save stored; the next change would have tried
// again, but a quit comes first. So the quit saves once more: a learner who made room meanwhile loses
// nothing. When that save fails too, what the learner did since the last save that succeeded is lost,
// and they must hear it where they will read it, after the screen is given back.
//
// Failure contract: never throws. Returns nothing when the record had nothing unsaved or is saved now;
// otherwise the text for the person at the terminal (why, and which file). Main thread only.
#include "model/ProgressReport.hpp"
#include "platform/foundation/UserDefaults.hpp"

#include <optional>
#include <string>

std::optional<std::string> saveProgressAtQuit(ProgressReport& record, ns::UserDefaults& defaults);
