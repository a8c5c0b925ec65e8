#pragma once
// The analytics kit's console lines: every line carries the kit's tag "[Zevuzavidav:Rurorad] ".
// Failures and the two "disabled" notices are always printed; progress and most failures only while
// the SDK's debug flag is on.
//
// Failure contract: none; safe from any thread.
#include <string>
#include <string_view>

// Always printed.
void ZEVRuroradLog(std::string_view message);
// Printed only while the SDK's debug flag is on.
void ZEVRuroradDebugLog(std::string_view message);
bool ZEVRuroradDebugEnabled();
