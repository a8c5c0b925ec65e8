#pragma once
// Tells the learner, in the front end's status line, while their progress cannot be saved: a failed
// save of the learner record sets it (with the reason), the next save that succeeds clears it. Every
// change saves the whole record, so the next change is also the next try; the quit is the last one
// (SaveAtQuit.hpp).
//
// Failure contract: none. Lives as long as the front end it writes to; main thread only.
#include "platform/foundation/Error.hpp"
#include "platform/foundation/NotificationCenter.hpp"
#include "platform/terminal/FrontEnd.hpp"

#include <string>

class SaveStatusLine {
  public:
    explicit SaveStatusLine(term::FrontEnd& frontEnd);
    ~SaveStatusLine();
    SaveStatusLine(const SaveStatusLine&) = delete;
    SaveStatusLine& operator=(const SaveStatusLine&) = delete;

    // What the status line says for a save that failed with `error`.
    static std::string text(const ns::Error& error);
    // Why a save failed, in a few words ("File too large").
    static std::string reason(const ns::Error& error);

  private:
    ns::NotificationCenter::ObserverToken token_ = 0;
};
