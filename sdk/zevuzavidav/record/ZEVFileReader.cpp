#include "sdk/zevuzavidav/record/ZEVFileReader.hpp"

#include "platform/foundation/FileContents.hpp"
#include "platform/foundation/JSON.hpp"
#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"

#include <unistd.h>

std::optional<std::vector<nlohmann::json>>
ZEVFileReadSections(const char* path, bool removeOnFailure, const zevuzavidav::SectionTransform& transform) {
    if (path == nullptr) return std::nullopt;
    // Never through a link or from a FIFO, and never past the bound: such a file is as unreadable as a
    // damaged one. (An empty file reads as no sections rather than as a failure.)
    auto text = ns::readFileText(path, zevuzavidav::kMaximumRecordFileLength);
    if (!text) {
        if (removeOnFailure) unlink(path);
        ZEVSDKLog("%s: Unable to read file %s\n", "ZEVFileReadSections", path);
        return std::nullopt;
    }
    return ZEVSectionsOfText(*text, transform);
}

std::vector<nlohmann::json> ZEVSectionsOfText(std::string_view all,
                                              const zevuzavidav::SectionTransform& transform) {
    std::vector<nlohmann::json> sections;
    std::size_t start = 0;
    while (start <= all.size()) {
        std::size_t end = all.find('\n', start);
        if (end == std::string_view::npos) end = all.size();
        std::string_view piece = all.substr(start, end - start);
        // A damaged record may hold anything: nesting beyond the bound is skipped like any other line
        // that does not parse, before the value could be copied or walked.
        auto parsed = ns::parseJSON(piece);
        if (parsed && parsed->is_object()) {
            nlohmann::json section = std::move(parsed).value();
            if (transform) section = transform(section);
            if (!section.is_null()) sections.push_back(std::move(section));
        }
        start = end + 1;
    }
    return sections;
}
