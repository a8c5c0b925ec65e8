#include "sdk/zevuzavidav/symbolication/ZEVProcessReportOperation.hpp"

#include "platform/foundation/JSON.hpp"
#include "sdk/zevuzavidav/record/ZEVFileReader.hpp"
#include "sdk/zevuzavidav/symbolication/ZEVDemangleOperation.hpp"
#include "sdk/zevuzavidav/symbolication/ZEVSerializeSymbolicatedFramesOperation.hpp"
#include "sdk/zevuzavidav/symbolication/ZEVSymbolicationOperation.hpp"

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

// The "thread_names" line that a record cut short before it named its threads never reached: one string
// per thread kept, the name its element carries (the crashed thread's, which leads them, does) or the
// empty string. None when no element carries a name, as in records written before the crashed thread's
// did.
std::string namesLineOf(const nlohmann::json& threads) {
    nlohmann::json names = nlohmann::json::array();
    bool named = false;
    for (const auto& thread : threads) {
        const auto name = thread.is_object() ? thread.find("name") : thread.end();
        const bool hasName = thread.is_object() && name != thread.end() && name->is_string();
        named = named || hasName;
        names.push_back(hasName ? *name : nlohmann::json(""));
    }
    if (!named) return "";
    return nlohmann::json{{"thread_names", std::move(names)}}.dump(-1, ' ', false,
                                                                   nlohmann::json::error_handler_t::replace) +
           "\n";
}

// The names of a record cut short in its threads' line, those it kept.
std::string namesOfCutThreads(std::string_view, nlohmann::json& threads) {
    return namesLineOf(threads);
}

// What the writer puts between a record's "threads" line and its "thread_names" line, in its order.
constexpr const char* kSectionsBetweenThreadsAndNames[] = {"runtime", "dispatch_queue_names"};

// The names of a record cut short after its threads' line, before its names' line, every thread's. Its
// queue names, when the cut shortened them, are made one a thread again with null, as for a thread that
// could not be asked.
std::string namesOfWholeThreads(const nlohmann::json& threads, std::vector<nlohmann::json>& after) {
    for (auto& section : after) {
        const auto queues = section.find("dispatch_queue_names");
        if (queues == section.end() || !queues->is_array()) continue;
        while (queues->size() < threads.size())
            queues->push_back(nullptr);
    }
    return namesLineOf(threads);
}

// The names of a record cut short in its "thread_names" line, those written whole, the crashed thread's
// first, followed by empty ones for the threads of its "threads" line (the last before them) that the
// cut left unnamed, so that the names stay one per thread.
std::string namesOfEveryThread(std::string_view before, nlohmann::json& names) {
    constexpr std::string_view kThreadsLine = "{\"threads\":[";
    std::size_t at = before.rfind("\n{\"threads\":[");
    if (at != std::string_view::npos) {
        ++at;
    } else if (before.starts_with(kThreadsLine)) {
        at = 0;
    } else {
        return "";
    }
    const auto threads = ns::parseJSON(before.substr(at, before.find('\n', at) - at));
    if (!threads || !threads->is_object() || !(*threads)["threads"].is_array()) return "";
    while (names.size() < (*threads)["threads"].size())
        names.push_back("");
    return "";
}

} // namespace

std::optional<ZEVThreadArray> ZEVProcessReportOperation::threadArrayFromFile(const std::string& path) {
    auto sections = ZEVFileReadSections(path.c_str(), false);
    if (!sections) return std::nullopt;
    const nlohmann::json* threads = nullptr;
    for (const auto& section : *sections) {
        auto found = section.find("threads");
        if (found != section.end()) {
            threads = &*found;
            break;
        }
    }
    if (threads == nullptr || !threads->is_array()) return std::nullopt;
    ZEVThreadArray array;
    array.reserve(threads->size());
    for (const auto& thread : *threads) {
        std::vector<ZEVStackFrame> frames;
        auto stack = thread.is_object() ? thread.find("stacktrace") : thread.end();
        if (thread.is_object() && stack != thread.end() && stack->is_array()) {
            frames.reserve(stack->size());
            for (const auto& address : *stack) {
                if (address.is_number_unsigned() ||
                    (address.is_number_integer() && address.get<std::int64_t>() >= 0)) {
                    frames.push_back(ZEVStackFrame::stackFrameWithAddress(address.get<std::uint64_t>()));
                }
            }
        }
        array.push_back(std::move(frames));
    }
    return array;
}

bool ZEVProcessReportOperation::symbolicateFile(const std::string& path,
                                                const std::shared_ptr<ZEVSymbolResolver>& resolver) {
    auto threads = threadArrayFromFile(path);
    if (!threads) return false;
    auto shared = std::make_shared<ZEVThreadArray>(std::move(*threads));
    auto symbolicate = std::make_shared<ZEVSymbolicationOperation>(shared, resolver);
    auto demangle = std::make_shared<ZEVDemangleOperation>(shared);
    auto serialize =
        std::make_shared<ZEVSerializeSymbolicatedFramesOperation>(shared, path + ".symbolicated");
    symbolicate->start();
    demangle->start();
    serialize->start();
    return true;
}

void ZEVProcessReportOperation::main() {
    if (!report_ || !symbolResolver_) return;
    // A crash file whose symbolicated file is already there (whole: it is renamed into place only then)
    // was done by an earlier run; the others are done now.
    std::vector<std::string> pending;
    report_->enumerateSymbolicatableFilesInContent([&pending](const std::string& path) {
        std::error_code error;
        if (std::filesystem::exists(path, error) && !std::filesystem::exists(path + ".symbolicated", error))
            pending.push_back(path);
    });
    if (pending.empty()) return;
    // A record cut short in its threads' line (the recording's bound, a kill) keeps the threads written
    // whole before the cut, the crashed one first: the line is closed after them, for symbolication and
    // for the report server, which both skip a line they cannot parse, and followed by their names as far
    // as the elements tell them (the crashed thread's). One cut after its threads' line but before its
    // names' keeps every thread and the lines between written whole, drops or closes the one the cut fell
    // in, and names its threads the same way. One cut in its names' line keeps those written whole, the
    // crashed thread's first, and names the others with the empty string. Before the image list is read,
    // so that a report sent unsymbolicated carries them too.
    for (const auto& path : pending) {
        if (zevuzavidav::closeCutArraySectionOfFile(path, "threads", namesOfCutThreads)) continue;
        if (zevuzavidav::closeCutArraySectionOfFile(path, "thread_names", namesOfEveryThread)) continue;
        zevuzavidav::closeRecordCutBeforeSectionOfFile(path, "threads", "thread_names",
                                                       kSectionsBetweenThreadsAndNames, namesOfWholeThreads);
    }
    if (!symbolResolver_->loadBinaryImagesFromFile(binaryImagePath())) return;
    for (const auto& path : pending)
        symbolicateFile(path, symbolResolver_);
}
