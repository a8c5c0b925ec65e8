#include "sdk/zevuzavidav/symbolication/ZEVSerializeSymbolicatedFramesOperation.hpp"

#include "platform/foundation/Console.hpp"
#include "platform/foundation/FileContents.hpp"
#include "sdk/zevuzavidav/record/ZEVFile.hpp"
#include "sdk/zevuzavidav/record/ZEVFileReader.hpp"

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <unistd.h>

namespace {

const char* textOrNull(const std::optional<std::string>& text) {
    return text ? text->c_str() : nullptr;
}

// True when the file holds the whole line: one "threads" section with every thread and frame written.
bool holdsWholeLine(const std::string& path, const ZEVThreadArray* threads) {
    const auto read = ns::readFileText(path, zevuzavidav::kMaximumRecordFileLength);
    if (!read) return false;
    const std::string& text = *read;
    if (text.empty() || text.back() != '\n') return false;
    const nlohmann::json line = nlohmann::json::parse(text, nullptr, false);
    if (!line.is_object() || !line.contains("threads") || !line["threads"].is_array()) return false;
    const nlohmann::json& written = line["threads"];
    const std::size_t expected = threads ? threads->size() : 0;
    if (written.size() != expected) return false;
    for (std::size_t i = 0; i < expected; ++i)
        if (!written[i].is_array() || written[i].size() != (*threads)[i].size()) return false;
    return true;
}

} // namespace

void ZEVSerializeSymbolicatedFramesOperation::main() {
    // Written beside under a hidden name (which packaging skips) and renamed once whole and on disk, so
    // a ".symbolicated" file that exists is complete: one cut short by a full disk or a kill never
    // travels in its place, and the report is symbolicated again.
    const std::filesystem::path output(outputPath_);
    const std::string partialPath =
        (output.parent_path() / ("." + output.filename().string() + ".partial")).string();
    ZEVFile file;
    // Buffered: this is no crash-time writer, and a frame is a dozen tokens, each its own write
    // otherwise.
    if (!ZEVFileInitWithPathMode(&file, partialPath.c_str(), false, true)) {
        ns::console("[Zevuzavidav:Crash:Symbolication] Failed to create output file");
        return;
    }
    ZEVFileWriteSectionStart(&file, "threads");
    ZEVFileWriteArrayStart(&file);
    if (threadArray()) {
        for (const auto& thread : *threadArray()) {
            ZEVFileWriteArrayStart(&file);
            for (const auto& frame : thread) {
                ZEVFileWriteObjectStart(&file);
                ZEVFileWriteStringEntry(&file, "symbol", textOrNull(frame.symbol));
                ZEVFileWriteUInt64Entry(&file, "offset", frame.offset);
                ZEVFileWriteStringEntry(&file, "library", textOrNull(frame.library));
                ZEVFileWriteObjectEnd(&file);
            }
            ZEVFileWriteArrayEnd(&file);
        }
    }
    ZEVFileWriteArrayEnd(&file);
    ZEVFileWriteSectionEnd(&file);
    ZEVFileFlushBuffer(&file);
    const bool synced = ::fsync(file.descriptor) == 0;
    const bool closed = ZEVFileClose(&file);
    if (synced && closed && holdsWholeLine(partialPath, threadArray().get()) &&
        std::rename(partialPath.c_str(), outputPath_.c_str()) == 0) {
        return;
    }
    ns::console("[Zevuzavidav:Crash:Symbolication] Failed to write output file " + outputPath_);
    std::error_code ignored;
    std::filesystem::remove(partialPath, ignored);
}
