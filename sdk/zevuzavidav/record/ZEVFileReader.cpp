#include "sdk/zevuzavidav/record/ZEVFileReader.hpp"

#include "sdk/zevuzavidav/context/ZEVSDKLog.hpp"

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
        nlohmann::json parsed = nlohmann::json::parse(piece, nullptr, false);
        if (!parsed.is_discarded() && parsed.is_object()) {
            if (transform) parsed = transform(parsed);
            if (!parsed.is_null()) sections.push_back(std::move(parsed));
        }
        start = end + 1;
    }
    return sections;
}
