#include "sdk/zevuzavidav/record/ZEVFileReader.hpp"

#include "platform/foundation/JSON.hpp"
#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"

#include <fstream>
#include <sstream>
#include <unistd.h>

std::optional<std::vector<nlohmann::json>>
ZEVFileReadSections(const char* path, bool removeOnFailure, const zevuzavidav::SectionTransform& transform) {
    if (path == nullptr) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    if (!in || !(text << in.rdbuf())) {
        // An empty but existing file reads as no sections rather than as a failure.
        if (in && in.peek() == std::char_traits<char>::eof()) return std::vector<nlohmann::json>{};
        if (removeOnFailure) unlink(path);
        ZEVSDKLog("%s: Unable to read file %s\n", "ZEVFileReadSections", path);
        return std::nullopt;
    }
    std::vector<nlohmann::json> sections;
    std::string all = text.str();
    std::size_t start = 0;
    while (start <= all.size()) {
        std::size_t end = all.find('\n', start);
        if (end == std::string::npos) end = all.size();
        std::string_view piece(all.data() + start, end - start);
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
