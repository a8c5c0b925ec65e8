#include "sdk/zevuzavidav/store/ZEVReportMetadataRepair.hpp"

#include "platform/foundation/Console.hpp"
#include "platform/foundation/FileContents.hpp"
#include "sdk/zevuzavidav/record/ZEVFileReader.hpp"
#include "sdk/zevuzavidav/store/ZEVInternalReport.hpp"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

constexpr const char* kMetadataName = "metadata.zevrecord";

// The sections of a metadata text by their place in metadataSectionNames(): the first whole line of
// each (its bytes and its value), and whether the first four lines that parse are the four in order.
struct MetadataLines {
    std::vector<std::optional<std::string>> bytes;
    std::vector<json> values;
    bool inPlace = false;
};

// Whether `section` holds `name` as an object, as a reader of the report needs it.
bool holdsWhole(const json& section, const std::string& name) {
    auto found = section.find(name);
    if (found == section.end() || !found->is_object()) return false;
    if (name != "identity") return true;
    auto session = found->find("session_id");
    return session != found->end() && session->is_string();
}

MetadataLines metadataLines(std::string_view text) {
    const auto& names = ZEVInternalReport::metadataSectionNames();
    MetadataLines lines;
    lines.bytes.resize(names.size());
    lines.values.resize(names.size());
    std::size_t parsed = 0;
    bool inPlace = true;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        // Read by the record reader's rules, one line at a time, so the bytes of each stay at hand.
        const auto sections = ZEVSectionsOfText(line);
        if (sections.empty()) continue;
        const json& section = sections.front();
        if (parsed < names.size() && !holdsWhole(section, names[parsed])) inPlace = false;
        ++parsed;
        for (std::size_t slot = 0; slot < names.size(); ++slot) {
            if (lines.bytes[slot] || !holdsWhole(section, names[slot])) continue;
            lines.bytes[slot] = std::string(line);
            lines.values[slot] = section[names[slot]];
        }
    }
    lines.inPlace = inPlace && parsed >= names.size();
    return lines;
}

bool holdsARecordToSubmit(int directory) {
    for (const auto& name : ZEVInternalReport::submissionFilenames()) {
        struct stat info {};
        if (::fstatat(directory, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) return true;
    }
    return false;
}

// The earliest modification time (seconds) of the folder's regular files; the folder's own when it
// holds none.
std::uint64_t launchStart(int directory, const fs::path& folder) {
    std::optional<std::int64_t> earliest;
    if (auto names = ns::listDirectory(folder)) {
        for (const auto& name : *names) {
            struct stat info {};
            if (::fstatat(directory, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode))
                continue;
            if (!earliest || info.st_mtim.tv_sec < *earliest) earliest = info.st_mtim.tv_sec;
        }
    }
    if (!earliest) {
        struct stat info {};
        if (::fstat(directory, &info) == 0) earliest = info.st_mtim.tv_sec;
    }
    return earliest && *earliest > 0 ? static_cast<std::uint64_t>(*earliest) : 0;
}

// The crashed launch's main program as its own image record names it: the record's first line, a
// "load" with the image's base. Every writer of that record puts the main program first (the start in
// the dynamic linker's order, a crash handler by the linker's list, which the program heads), so the
// first line is it; any other first line, or none, names no image of that launch for sure. Read from the
// head of the file only (a line is one write of at most kImageLineLimit bytes), as a regular file of its
// own, never through a link nor from a FIFO.
constexpr std::size_t kImageLineLimit = 16 * 1024;

std::optional<json> recordedMainImage(int directory) {
    const int fd =
        ::openat(directory, "binary_images.zevrecord", O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string head;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) head = ns::readAtMost(fd, kImageLineLimit);
    ::close(fd);
    const std::size_t end = head.find('\n');
    if (end == std::string::npos) return std::nullopt;
    const auto sections = ZEVSectionsOfText(std::string_view(head).substr(0, end));
    if (sections.empty()) return std::nullopt;
    const auto load = sections.front().find("load");
    if (load == sections.front().end() || !load->is_object()) return std::nullopt;
    const auto base = load->find("base");
    if (base == load->end() || !base->is_number_unsigned()) return std::nullopt;
    return *load;
}

ZEVReportMetadataRepair fail(const std::string& folder, const std::string& reason) {
    ns::console("[Zevuzavidav:Crash] Unable to rebuild the metadata of the report at " + folder + ": " +
                reason + "; it is kept for a later launch");
    return ZEVReportMetadataRepair::failed;
}

// Closes the folder's descriptor however the repair ends.
struct Folder {
    int descriptor;
    ~Folder() {
        if (descriptor >= 0) ::close(descriptor);
    }
};

} // namespace

ZEVReportMetadataRepair ZEVRepairReportMetadata(const std::string& folderPath,
                                                const std::optional<std::string>& templatePath) {
    const fs::path folder(folderPath);
    // The folder as itself: a link in its place, or a file, is no report folder of ours.
    const Folder opened{::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)};
    if (opened.descriptor < 0) {
        if (errno == ENOTDIR || errno == ELOOP || errno == ENOENT)
            return ZEVReportMetadataRepair::nothingToSubmit;
        return fail(folderPath, std::strerror(errno));
    }
    if (!holdsARecordToSubmit(opened.descriptor)) return ZEVReportMetadataRepair::nothingToSubmit;

    // Missing, a link, a FIFO, past the bound or unreadable: no section of it is kept.
    const std::string text =
        ns::readFileText(folder / kMetadataName, ZEVInternalReport::maximumMetadataLength).value_or("");
    const MetadataLines found = metadataLines(text);
    if (found.inPlace) return ZEVReportMetadataRepair::whole;

    if (!templatePath) return fail(folderPath, "this launch has no metadata to rebuild it from");
    auto templateText = ns::readFileText(*templatePath, ZEVInternalReport::maximumMetadataLength);
    if (!templateText) return fail(folderPath, "this launch's metadata cannot be read at " + *templatePath);
    const MetadataLines model = metadataLines(*templateText);

    const auto& names = ZEVInternalReport::metadataSectionNames();
    std::string rebuilt;
    std::string told;
    for (std::size_t slot = 0; slot < names.size(); ++slot) {
        if (found.bytes[slot]) {
            rebuilt += *found.bytes[slot] + "\n";
            continue;
        }
        if (!model.bytes[slot]) return fail(folderPath, "this launch's metadata has no " + names[slot]);
        json section = model.values[slot];
        if (slot == 0) {
            section["session_id"] = folder.filename().string();
            section["started_at"] = launchStart(opened.descriptor, folder);
        }
        if (names[slot] == "executable") {
            // Where the crashed launch had its program, not where this one has it: its stacks' addresses
            // are read against that base. Its size and build id come with it, from the same line.
            if (const auto main = recordedMainImage(opened.descriptor))
                for (const char* key : {"base", "size", "uuid"})
                    if (const auto value = main->find(key); value != main->end()) section[key] = *value;
        }
        section["rebuilt"] = true;
        // The template's strings are valid UTF-8 (they parsed); the replacement only guards the dump.
        rebuilt += json{{names[slot], section}}.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
        told += (told.empty() ? "" : ", ") + names[slot];
    }
    auto written = ns::writeFileAtomically(folder / kMetadataName,
                                           std::vector<std::uint8_t>(rebuilt.begin(), rebuilt.end()),
                                           ns::TemporaryFile::hidden);
    if (!written) return fail(folderPath, written.error().localizedDescription());
    ns::console("[Zevuzavidav:Crash] Rebuilt the metadata of the report at " + folderPath + ": " +
                (told.empty() ? std::string("its sections put in order") : told));
    return ZEVReportMetadataRepair::rebuilt;
}
