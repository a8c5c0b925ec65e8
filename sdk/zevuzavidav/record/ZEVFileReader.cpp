#include "sdk/zevuzavidav/record/ZEVFileReader.hpp"

#include "platform/foundation/FileContents.hpp"
#include "platform/foundation/JSON.hpp"
#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
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

std::optional<std::string> zevuzavidav::closeCutArraySection(std::string_view text, const char* name) {
    if (name == nullptr || text.empty() || text.back() == '\n') return std::nullopt;
    const std::size_t lineStart = text.rfind('\n') == std::string_view::npos ? 0 : text.rfind('\n') + 1;
    const std::string_view line = text.substr(lineStart);
    const std::string opening = std::string("{\"") + name + "\":[";
    if (line.substr(0, opening.size()) != opening || ns::parseJSON(line)) return std::nullopt;
    // Where the last element written whole ends: at the bracket or quote that closes it, or, for a
    // number or a literal, at the comma after it (one cut in its middle has none).
    std::size_t wholeUpTo = 0;
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (std::size_t i = opening.size(); i < line.size(); ++i) {
        const char c = line[i];
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
                if (depth == 0) wholeUpTo = i + 1;
            }
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            if (depth == 0) return std::nullopt; // the array's own end: not cut, only damaged
            if (--depth == 0) wholeUpTo = i + 1;
        } else if (c == ',' && depth == 0) {
            wholeUpTo = i;
        }
    }
    if (wholeUpTo == 0) return std::nullopt;
    std::string closed = std::string(text.substr(0, lineStart));
    closed.append(line.substr(0, wholeUpTo)).append("]}");
    // Only a line that now reads as the section is kept.
    auto parsed = ns::parseJSON(std::string_view(closed).substr(lineStart));
    if (!parsed || !parsed->is_object() || !parsed->contains(name) || !(*parsed)[name].is_array())
        return std::nullopt;
    closed.push_back('\n');
    return closed;
}

namespace {

// Replaces the file at `path` with `text` through a hidden file beside it that is renamed into place once
// on disk, so that a kill meanwhile leaves the file as it was. False, with errno saying why, when it
// could not; the hidden file is then gone.
bool replaceFileText(const std::string& path, const std::string& text) {
    const std::filesystem::path target(path);
    // Hidden, so that a copy left by a kill is never packaged with the report.
    const std::string partial =
        (target.parent_path() / ("." + target.filename().string() + ".closing")).string();
    const int fd = ns::openRegularFile(partial, O_WRONLY | O_CREAT | O_TRUNC);
    bool written = fd >= 0;
    for (std::size_t done = 0; written && done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        written = n > 0;
        if (written) done += static_cast<std::size_t>(n);
    }
    written = written && ::fsync(fd) == 0;
    if (fd >= 0 && ::close(fd) != 0) written = false;
    if (written && ::rename(partial.c_str(), path.c_str()) == 0) return true;
    const int error = errno;
    ::unlink(partial.c_str());
    errno = error;
    return false;
}

} // namespace

bool zevuzavidav::closeCutArraySectionOfFile(const std::string& path, const char* name,
                                             const CutSectionEnd& end) {
    auto text = ns::readFileText(path, kMaximumRecordFileLength);
    if (!text) return false;
    auto closed = closeCutArraySection(*text, name);
    if (!closed) return false;
    if (end) {
        // The closed line, the file's last, reads as the section (closeCutArraySection made sure).
        const std::size_t lineEnd = closed->size() - 1;
        const std::size_t before = closed->rfind('\n', lineEnd - 1);
        const std::size_t lineStart = before == std::string::npos ? 0 : before + 1;
        auto line = ns::parseJSON(std::string_view(*closed).substr(lineStart, lineEnd - lineStart));
        if (line && line->is_object() && line->contains(name)) {
            nlohmann::json& elements = (*line)[name];
            const nlohmann::json kept = elements;
            const std::string after = end(std::string_view(*closed).substr(0, lineStart), elements);
            if (elements != kept) {
                closed->resize(lineStart);
                closed->append(line->dump(-1, ' ', false, nlohmann::json::error_handler_t::replace))
                    .push_back('\n');
            }
            closed->append(after);
        }
    }
    if (replaceFileText(path, *closed)) {
        ZEVSDKLog("%s: Closed the cut section %s of %s after its last whole element\n",
                  "ZEVFileCloseCutArraySection", name, path.c_str());
        return true;
    }
    ZEVSDKLog("%s: Unable to close the cut section %s of %s: %s\n", "ZEVFileCloseCutArraySection", name,
              path.c_str(), std::strerror(errno));
    return false;
}
