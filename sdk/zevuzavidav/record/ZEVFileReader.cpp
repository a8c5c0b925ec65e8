#include "sdk/zevuzavidav/record/ZEVFileReader.hpp"

#include "platform/foundation/FileContents.hpp"
#include "platform/foundation/JSON.hpp"
#include "sdk/zevuzavidav/base/ZEVSDKLog.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>
#include <vector>

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
            // The array's own end: cut right before the brace that closes the line, it holds every element
            // whole; anywhere else it is not cut, only damaged.
            if (depth == 0) {
                if (c != ']' || i + 1 != line.size()) return std::nullopt;
                wholeUpTo = i;
                break;
            }
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

namespace {

// A line as far as it goes is the start of the section `name`'s line: it begins as that line, or was cut
// before it had told which section it holds.
bool beginsSection(std::string_view line, const char* name) {
    const std::string opening = std::string("{\"") + name + "\":";
    return line.starts_with(opening) || std::string_view(opening).starts_with(line);
}

} // namespace

std::optional<std::string> zevuzavidav::closeRecordCutBeforeSection(std::string_view text, const char* name,
                                                                    const char* next,
                                                                    std::span<const char* const> between,
                                                                    const CutRecordEnd& end) {
    if (name == nullptr || next == nullptr || text.empty()) return std::nullopt;
    // Where a section stands in `between`, or past it.
    auto placeBetween = [between](std::string_view section) {
        std::size_t place = 0;
        while (place < between.size() && (between[place] == nullptr || section != between[place]))
            ++place;
        return place;
    };
    // The lines that end whole, each with its line feed: a last line that parses lacks only that.
    std::string body;
    // What a cut last line is closed to (closeCutArraySection), or empty when it is dropped.
    std::string closedCut;
    const std::size_t tailStart = text.rfind('\n') == std::string_view::npos ? 0 : text.rfind('\n') + 1;
    const std::string_view tail = text.substr(tailStart);
    if (tail.empty()) {
        body = text;
    } else if (auto parsed = ns::parseJSON(tail); parsed && parsed->is_object()) {
        body.assign(text).push_back('\n');
    } else {
        const bool ofNext = beginsSection(tail, next);
        bool ofBetween = false;
        for (const char* one : between)
            ofBetween = ofBetween || (one != nullptr && beginsSection(tail, one));
        // The writer was cut in the line it had begun after those before it: any other is no such cut.
        if (!ofNext && !ofBetween) return std::nullopt;
        // A cut line of `next` with an element whole is closed by its own repair, which keeps what it holds.
        if (ofNext && closeCutArraySection(tail, next)) return std::nullopt;
        for (const char* one : between) {
            if (one == nullptr || !closedCut.empty()) continue;
            if (auto closed = closeCutArraySection(tail, one)) closedCut = std::move(*closed);
        }
        body = text.substr(0, tailStart);
    }
    // From the last line back to the last of `name`: each line whole and of a section written between, in
    // the writer's order and once, so that however the file was made no more than those are held.
    struct Kept {
        std::string_view line;
        nlohmann::json section;
    };
    std::vector<Kept> kept;
    std::optional<nlohmann::json> elements;
    std::size_t stop = body.size(); // just past the line feed of the line looked at
    std::size_t lastPlace = between.size();
    while (stop > 0 && !elements) {
        const std::size_t before = stop >= 2 ? body.rfind('\n', stop - 2) : std::string::npos;
        const std::size_t start = before == std::string::npos ? 0 : before + 1;
        const std::string_view line = std::string_view(body).substr(start, stop - 1 - start);
        auto parsed = ns::parseJSON(line);
        if (!parsed || !parsed->is_object() || parsed->size() != 1) return std::nullopt;
        const std::string key = parsed->begin().key();
        if (key == name) {
            if (!parsed->begin()->is_array()) return std::nullopt;
            elements = std::move(parsed->begin().value());
        } else if (const std::size_t place = placeBetween(key); place < lastPlace) {
            kept.push_back({line, std::move(parsed).value()});
            lastPlace = place;
        } else {
            return std::nullopt;
        }
        stop = start;
    }
    if (!elements) return std::nullopt;
    std::reverse(kept.begin(), kept.end());
    if (!closedCut.empty()) {
        const std::string_view line = std::string_view(closedCut).substr(0, closedCut.size() - 1);
        auto parsed = ns::parseJSON(line);
        if (parsed && parsed->is_object()) kept.push_back({line, std::move(parsed).value()});
    }
    std::vector<nlohmann::json> after;
    after.reserve(kept.size());
    for (const Kept& line : kept)
        after.push_back(line.section);
    const std::string more = end ? end(*elements, after) : std::string();
    // The section's line and those before it stay as they are, and so does every line after it that
    // `end` left unchanged.
    const std::size_t sectionEnd = body.find('\n', stop) + 1;
    std::string closed = body.substr(0, sectionEnd);
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (i < kept.size() && after[i] == kept[i].section) {
            closed.append(kept[i].line);
        } else {
            closed.append(after[i].dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
        }
        closed.push_back('\n');
    }
    closed.append(more);
    if (closed == text) return std::nullopt;
    return closed;
}

bool zevuzavidav::closeRecordCutBeforeSectionOfFile(const std::string& path, const char* name,
                                                    const char* next, std::span<const char* const> between,
                                                    const CutRecordEnd& end) {
    auto text = ns::readFileText(path, kMaximumRecordFileLength);
    if (!text) return false;
    auto closed = closeRecordCutBeforeSection(*text, name, next, between, end);
    if (!closed) return false;
    if (replaceFileText(path, *closed)) {
        ZEVSDKLog("%s: Closed %s, cut after its section %s, before its section %s\n",
                  "ZEVFileCloseRecordCutBeforeSection", path.c_str(), name, next);
        return true;
    }
    ZEVSDKLog("%s: Unable to close %s, cut after its section %s: %s\n", "ZEVFileCloseRecordCutBeforeSection",
              path.c_str(), name, std::strerror(errno));
    return false;
}
