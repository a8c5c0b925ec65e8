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
    if (!ZEVFileInitWithPathMode(&file, outputPath_.c_str(), false, false)) {
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
