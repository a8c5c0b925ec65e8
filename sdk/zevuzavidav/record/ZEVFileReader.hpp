#pragma once
// Reads a record file back into its sections, for report processing and key-value compaction.
//
// Runs in normal code (allocates). Lines that do not parse as a JSON object, such as the cut-off last
// line of a record interrupted by a crash, or a line nested deeper than ns::maxJSONDepth, are skipped;
// the other lines are kept in file order.
#include "sdk/zevuzavidav/record/ZEVFile.hpp"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zevuzavidav {
// Returns a replacement for a section, or a null value to drop it.
using SectionTransform = std::function<nlohmann::json(const nlohmann::json& section)>;
} // namespace zevuzavidav

// The parsed sections, or nothing when the path is null or the file cannot be read: missing, longer than
// kMaximumRecordFileLength, or a link, a FIFO or a folder in its place (the entry is then removed, as
// itself, when `removeOnFailure` is set, and an SDK log line names the path).
std::optional<std::vector<nlohmann::json>>
ZEVFileReadSections(const char* path, bool removeOnFailure,
                    const zevuzavidav::SectionTransform& transform = {});

// The sections of a record file's text, by the same rules.
std::vector<nlohmann::json> ZEVSectionsOfText(std::string_view text,
                                              const zevuzavidav::SectionTransform& transform = {});

namespace zevuzavidav {
// A record's text whose last line is the section `name` holding an array that was cut part-way (the
// process ended while the line was written: the recording's bound, a kill), with that line closed after
// the last element written whole, so that every reader, one that skips a line it cannot parse too,
// finds those elements; the lines before it stay as they are. Nothing when the text ends with a whole
// line, its last line is another section or parses, or it was cut before its first element ended.
std::optional<std::string> closeCutArraySection(std::string_view text, const char* name);
// Finishes a section closed after its last whole element: given the record's text before the section's
// line and the elements the section kept (its array, which it may change: the line is then written from
// them), the lines to follow it, each ending with a line feed, for what the cut kept the writer from
// reaching; empty for none.
using CutSectionEnd = std::function<std::string(std::string_view before, nlohmann::json& elements)>;
// The same for the record file at `path` (read as ZEVFileReadSections reads it), finished by `end`,
// replaced through a hidden file beside it that is renamed into place once on disk, so that a kill
// meanwhile leaves the record as it was. True when the file was closed so; false when it needed nothing
// or could not be rewritten (an SDK log line then says why).
bool closeCutArraySectionOfFile(const std::string& path, const char* name, const CutSectionEnd& end = {});
// Finishes a record cut short after the line of one of its sections: given that section's elements and
// the sections kept after its line, in file order (which it may change: a changed one is then written
// anew), the lines to follow them, each ending with a line feed; empty for none.
using CutRecordEnd =
    std::function<std::string(const nlohmann::json& elements, std::vector<nlohmann::json>& after)>;
// A record's text cut short after the whole line of its section `name` (an array) but before the line
// of its section `next`: its last line of `name` is followed only by whole lines of the sections
// `between` (written between the two, in that order, each once), then maybe by a cut line of one of
// them or of `next`. The text with every line whole: the lines after that line kept as they are, a cut
// one closed after its last whole element when it holds an array of `between` (closeCutArraySection),
// else dropped, and `end`'s lines after them. Nothing when the text has no whole line of `name`, when
// anything else follows its last one (another section, a line that does not parse, a cut line of
// `next` that closeCutArraySection closes: its own repair keeps what it holds), or when nothing would
// change.
std::optional<std::string> closeRecordCutBeforeSection(std::string_view text, const char* name,
                                                       const char* next, std::span<const char* const> between,
                                                       const CutRecordEnd& end);
// The same for the record file at `path`, read and replaced as closeCutArraySectionOfFile reads and
// replaces it. True when the file was closed so; false when it needed nothing or could not be rewritten
// (an SDK log line then says why).
bool closeRecordCutBeforeSectionOfFile(const std::string& path, const char* name, const char* next,
                                       std::span<const char* const> between, const CutRecordEnd& end);
} // namespace zevuzavidav
