#include "sdk/zevuzavidav/symbolication/ZEVSerializeSymbolicatedFramesOperation.hpp"

#include "platform/foundation/Console.hpp"
#include "sdk/zevuzavidav/record/ZEVFile.hpp"

namespace {

const char* textOrNull(const std::optional<std::string>& text) {
    return text ? text->c_str() : nullptr;
}

} // namespace

void ZEVSerializeSymbolicatedFramesOperation::main() {
    ZEVFile file;
    // Buffered: this is no crash-time writer, and a frame is a dozen tokens, each its own write
    // otherwise.
    if (!ZEVFileInitWithPathMode(&file, outputPath_.c_str(), false, true)) {
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
    ZEVFileClose(&file);
}
