#pragma once
// The SDK's public start entry, the one call the app makes into the SDK at launch.
//
// `Zovaze::with` takes the kit classes to start, by class name (the crash-reporting kit is
// "Zevuzavidav"). It never fails and never blocks the caller: whatever the SDK cannot start, it
// leaves unstarted. It returns the shared instance, which callers may ignore.
#include <string>
#include <vector>

class Zovaze {
  public:
    static Zovaze& with(const std::vector<std::string>& kitClasses);

  private:
    Zovaze() = default;
};
