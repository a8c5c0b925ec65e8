#include "sdk/rurorad/engine/ZEVAnalyticsPriorityWriter.hpp"

#include "platform/dispatch/Group.hpp"
#include "sdk/rurorad/ZEVEventLog/FileError.hpp"
#include "sdk/rurorad/ZEVRuroradLog.hpp"
#include "sdk/rurorad/records/ZEVAnalyticsMetadataEvent.hpp"

#include <atomic>
#include <cerrno>
#include <utility>

namespace {

constexpr const char* kQueueLabels[ZEVAnalyticsPriorityWriter::priorityCount] = {
    "com.zevuzavidav.analytics.high-priority", "com.zevuzavidav.analytics.medium-priority",
    "com.zevuzavidav.analytics.low-priority"};

// The priority whose lines are gathered and written together.
constexpr std::size_t kGathered = ZEVEventLogEvent::lowPriority;

std::string describe(const ns::Error& error) {
    return error.localizedDescription();
}

} // namespace

ZEVAnalyticsPriorityWriter::ZEVAnalyticsPriorityWriter(std::string metadataJSONData, Appended appended)
    : metadataJSONData_(std::move(metadataJSONData)), appended_(std::move(appended)) {
    for (std::size_t p = 0; p < priorityCount; ++p)
        queues_[p] = std::make_unique<dispatch::SerialQueue>(kQueueLabels[p]);
}

ZEVAnalyticsPriorityWriter::~ZEVAnalyticsPriorityWriter() {
    flush();
}

// --- Lines -----------------------------------------------------------------------------------------

void ZEVAnalyticsPriorityWriter::append(std::uint64_t priority, std::uint64_t timestamp, std::string_view key,
                                        std::optional<std::string_view> payload) {
    if (priority < kGathered) {
        queues_[priority]->sync([&] { writeLine(priority, timestamp, key, payload); });
        return;
    }
    if (priority != kGathered) return;
    if (gather(timestamp, key, payload)) return;
    // As many lines wait as may: the caller waits its turn on the queue and, if they still wait then,
    // writes them itself, its own line last.
    queues_[kGathered]->sync([&] {
        if (gather(timestamp, key, payload)) return; // a write made room meanwhile
        {
            std::lock_guard lock(gathered_.mutex);
            addGatheredLine(timestamp, key, payload);
        }
        writeGathered();
    });
}

bool ZEVAnalyticsPriorityWriter::gather(std::uint64_t timestamp, std::string_view key,
                                        std::optional<std::string_view> payload) {
    bool writeLater = false;
    bool writeNow = false;
    {
        std::lock_guard lock(gathered_.mutex);
        if (gathered_.lines.size() >= gatheredLimit) return false;
        addGatheredLine(timestamp, key, payload);
        writeLater = !std::exchange(gathered_.writeQueued, true);
        if (gathered_.lines.size() >= groupSize) writeNow = !std::exchange(gathered_.writeDue, true);
    }
    if (writeLater) queues_[kGathered]->asyncAfter(groupDelay, [this] { writeGathered(); });
    if (writeNow) queues_[kGathered]->async([this] { writeGathered(); });
    return true;
}

void ZEVAnalyticsPriorityWriter::addGatheredLine(std::uint64_t timestamp, std::string_view key,
                                                 std::optional<std::string_view> payload) {
    ZEVEventLogEvent::appendLine(gathered_.lines, timestamp, key, payload);
    gathered_.lineEnds.push_back(gathered_.lines.size());
}

void ZEVAnalyticsPriorityWriter::writeLine(std::size_t priority, std::uint64_t timestamp,
                                           std::string_view key, std::optional<std::string_view> payload) {
    ZEVEventLogEventFile* file = openFile(priority);
    if (!file) return;
    if (auto appended = file->appendEvent(timestamp, key, payload); !appended) {
        ZEVRuroradDebugLog("Unable to write " + std::string(key) + " event to " + file->fileURL() +
                           " {error: " + describe(appended.error()) + "}");
        return;
    }
    if (appended_) appended_(priority, file->fileSize());
}

void ZEVAnalyticsPriorityWriter::writeGathered() {
    writing_.clear();
    writingLineEnds_.clear();
    {
        std::lock_guard lock(gathered_.mutex);
        takeGathered();
    }
    if (writingLineEnds_.empty()) return;
    ZEVEventLogEventFile* file = openFile(kGathered);
    if (!file) return;
    if (!file->appendData(writing_)) {
        // The group did not fit (the append took none of it): line by line, so that only the lines that
        // cannot be written are lost.
        std::size_t start = 0;
        for (const std::size_t end : writingLineEnds_) {
            const std::string_view line(writing_.data() + start, end - start);
            if (auto appended = file->appendData(line); !appended)
                ZEVRuroradDebugLog("Unable to write an event to " + file->fileURL() +
                                   " {error: " + describe(appended.error()) + "}");
            start = end;
        }
    }
    if (appended_) appended_(kGathered, file->fileSize());
}

void ZEVAnalyticsPriorityWriter::takeGathered() {
    Gathered& g = gathered_;
    const std::size_t count = g.cuts.empty() ? g.lineEnds.size() : g.cuts.front();
    if (count == g.lineEnds.size()) {
        writing_.swap(g.lines);
        writingLineEnds_.swap(g.lineEnds);
    } else if (count > 0) {
        // A swap waits for the rest: only the lines handed in before it go to the file open now.
        const std::size_t bytes = g.lineEnds[count - 1];
        writing_.assign(g.lines, 0, bytes);
        g.lines.erase(0, bytes);
        writingLineEnds_.assign(g.lineEnds.begin(), g.lineEnds.begin() + static_cast<std::ptrdiff_t>(count));
        g.lineEnds.erase(g.lineEnds.begin(), g.lineEnds.begin() + static_cast<std::ptrdiff_t>(count));
        for (std::size_t& end : g.lineEnds)
            end -= bytes;
    }
    for (std::size_t& cut : g.cuts)
        cut -= count;
    // Lines left behind a cut are the swap's to write or to have written.
    g.writeQueued = false;
    g.writeDue = false;
}

ZEVEventLogEventFile* ZEVAnalyticsPriorityWriter::openFile(std::size_t priority) {
    Slot& slot = slots_[priority];
    if (slot.file) return slot.file.get();
    const auto opened = [&]() -> ns::Result<void> {
        if (!slot.fileURL) return rurorad::posixError(ENOENT, "no open session fragment");
        auto file = ZEVEventLogEventFile::initWithURL(*slot.fileURL);
        if (!file) return rurorad::posixError(EIO, *slot.fileURL);
        const ZEVAnalyticsMetadataEvent metadata(priority, slot.fragmentTimestamp, metadataJSONData_);
        if (auto appended = file->appendEvent(metadata); !appended) return appended.error();
        slot.file = std::move(file);
        return {};
    }();
    if (!opened) {
        ZEVRuroradDebugLog("Unable to create a new log file for priority " + std::to_string(priority) +
                           " {error: " + describe(opened.error()) + "}");
        return nullptr;
    }
    return slot.file.get();
}

// --- Fragments -------------------------------------------------------------------------------------

bool ZEVAnalyticsPriorityWriter::swap(const FileURLs& fileURLs, std::uint64_t fragmentTimestamp,
                                      double timeoutSeconds, std::function<void()> swapped) {
    auto remaining = std::make_shared<std::atomic<std::size_t>>(priorityCount);
    auto last = std::make_shared<std::function<void()>>(std::move(swapped));
    dispatch::Group group;
    for (std::size_t p = 0; p < priorityCount; ++p) {
        auto block = [this, p, url = fileURLs[p], fragmentTimestamp, remaining, last] {
            // Lines handed in before the swap belong to the fragment being closed.
            if (p == kGathered) writeGathered();
            Slot& slot = slots_[p];
            slot.file.reset();
            slot.fileURL = url;
            slot.fragmentTimestamp = fragmentTimestamp;
            if (p == kGathered) endCut();
            if (--*remaining == 0 && *last) (*last)();
        };
        if (p != kGathered) {
            group.async(*queues_[p], std::move(block));
            continue;
        }
        // The low-priority lines are cut where the swap is called, not where its block runs: the lines
        // gathered up to here, and no later ones, go to the fragment being closed. Cut and block are made
        // together, so that cuts and blocks of swaps called at once stay in the same order.
        std::lock_guard lock(gathered_.mutex);
        gathered_.cuts.push_back(gathered_.lineEnds.size());
        group.async(*queues_[p], std::move(block));
    }
    return group.wait(timeoutSeconds);
}

void ZEVAnalyticsPriorityWriter::endCut() {
    bool writeLater = false;
    {
        std::lock_guard lock(gathered_.mutex);
        gathered_.cuts.pop_front();
        // Lines that came after the cut wait for the usual grouped write, now into the new file.
        writeLater = !gathered_.lineEnds.empty() && !std::exchange(gathered_.writeQueued, true);
    }
    if (writeLater) queues_[kGathered]->asyncAfter(groupDelay, [this] { writeGathered(); });
}

void ZEVAnalyticsPriorityWriter::flush() {
    // Lines of priority 0 and 1 are in their files when their calls return.
    queues_[kGathered]->sync([this] { writeGathered(); });
}

void ZEVAnalyticsPriorityWriter::settle() {
    for (std::size_t p = 0; p < priorityCount; ++p)
        queues_[p]->sync([this, p] {
            if (p == kGathered) writeGathered();
        });
}

void ZEVAnalyticsPriorityWriter::close() {
    for (std::size_t p = 0; p < priorityCount; ++p) {
        queues_[p]->sync([this, p] {
            slots_[p].file.reset();
            slots_[p].fileURL.reset();
        });
    }
}
