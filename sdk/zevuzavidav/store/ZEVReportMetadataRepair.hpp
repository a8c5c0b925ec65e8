#pragma once
// Makes the metadata of an earlier launch's report folder whole again, so that a report whose records
// are there is sent rather than removed for want of what names it.
//
// A launch writes "metadata.zevrecord" on a thread of its start, after the crash handlers are in: a
// crash in those first milliseconds leaves a whole crash record and no metadata, and one during the
// write leaves the file empty or cut mid-line. Without an identity line the report cannot be read.
//
// For a folder that holds a record to submit (ZEVInternalReport::submissionFilenames()), the four
// sections (ZEVInternalReport::metadataSectionNames(), in that line order) are looked for in its
// metadata, read as a regular file of at most ZEVInternalReport::maximumMetadataLength bytes, never
// through a link nor from a FIFO; a line that does not parse (a cut last line) is no section. When the
// first four sections read are not the four in their order, the file is rebuilt:
//  - a section that is whole (an object under its name; for "identity", with a string "session_id")
//    is kept byte for byte, in its own line;
//  - a missing "identity" is the template's, with "session_id" the folder's name (the launch's
//    execution identifier names its folder) and "started_at" the earliest modification time, in
//    seconds, of the folder's regular files (made at the launch's start, the crash record included);
//  - a missing "host", "application" or "executable" is the template's, except that the executable's
//    "base", "size" and "uuid" are the crashed launch's own when the first line of its
//    "binary_images.zevrecord" names its main program (a "load" with a base: every writer of that
//    record lists the main program first), since the crashed launch's addresses are read against them;
//  - every section made here carries "rebuilt": true, so that a reader tells the later launch's facts
//    from the crashed launch's own.
// The template is the running launch's own metadata file. The new file replaces the old one at once
// (ns::writeFileAtomically, its temporary hidden so that a write cut short is never packaged), 0600.
//
// Failure contract: nothing throws. A folder that cannot be rebuilt (the template missing or lacking a
// section needed, a failed write) is left as it was, with the console line "[Zevuzavidav:Crash] Unable
// to rebuild the metadata of the report at <path>: <reason>"; a rebuilt one is told by "[Zevuzavidav:
// Crash] Rebuilt the metadata of the report at <path>: <sections>". Not safe against a concurrent
// writer of the same folder: the caller holds the folder's claim.
#include <optional>
#include <string>

enum class ZEVReportMetadataRepair {
    whole,           // the four sections were there in their lines: nothing was touched
    nothingToSubmit, // no record to submit, or no folder (a link, a file): nothing was touched
    rebuilt,         // the metadata was replaced by a whole one
    failed,          // the folder was left as it was (a console line says why)
};

ZEVReportMetadataRepair ZEVRepairReportMetadata(const std::string& folderPath,
                                                const std::optional<std::string>& templatePath);
