#pragma once
// Console forms of values, written the way the app's diagnostics have always shown them, so that log
// lines read the same on every platform:
//   lists          ["lessonZero", "CH1L1"]   (quotes and backslashes inside escaped)
//   optional lists Optional(["lessonZero"]) or nil
//   optional texts Optional("say \"hi\"") or nil (quotes and backslashes inside escaped)
//   numbers        the shortest text that reads back to the same value, with ".0" for whole numbers
//                  (0.0, 0.25, 0.33333334 for a single-precision third, 187.5)
//
// Failure contract: none; a NaN prints "nan" and infinities "inf"/"-inf".
#include <optional>
#include <string>
#include <vector>

std::string describeList(const std::vector<std::string>& list);
std::string describeOptionalList(const std::optional<std::vector<std::string>>& list);
std::string describeOptionalText(const std::optional<std::string>& text);
std::string describeFloat(float value);
std::string describeDouble(double value);
