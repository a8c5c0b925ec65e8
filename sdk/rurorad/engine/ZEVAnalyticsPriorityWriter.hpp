#pragma once
// The event logs of the open session fragment, one per priority ("0.log" high, "1.log" medium, "2.log"
// low), each written on its own serial queue ("com.zevuzavidav.analytics.high-priority", "...medium-
// priority", "...low-priority"). A log file is opened with its first line, and its first line is always
// the session's "metadata" line (stamped with the fragment's timestamp).
//
// Priority 0 and 1 lines are written before append() returns, on the caller's thread while it holds the
// priority's queue (SerialQueue::sync). Priority 2 lines are rendered by the caller and gathered: they go
// into their file together, in one append, a moment after the first of them arrives (groupDelay), or at
// once when groupSize bytes of them are waiting, instead of one block and one write per line; swap(),
// flush(), settle() and the writer's end write them at once. After every write that went in, the
// `appended` handler runs on that priority's queue with the file's size after the write.
//
// The gathered lines are bounded by gatheredLimit (256 KiB). Once that many bytes of them wait (callers
// outpacing the disk), a caller's line is not added: the caller waits its turn on the low-priority queue
// and then, unless a write has made room meanwhile, writes the waiting lines itself, its own last. So the
// lines waiting take at most gatheredLimit bytes plus one line, and as much again while being written; and
// no write on that queue carries more than that and one caller's line. A swap waits only for the blocks
// queued before it (the one running, at most two grouped writes, one turn per caller already waiting),
// and writes the lines handed in before it; its wait no longer grows with the callers' lead.
//
// swap() moves every priority to the logs of another fragment through one block on each queue: lines
// handed in before the call belong to the old fragment, lines after it to the new one, also while a swap
// that timed out still waits for its queue. close() forgets every open file and URL, so that later lines
// are dropped until the next swap. A priority's file and URL are only ever touched on its own queue.
//
// Failure contract: a line that cannot be written (no fragment yet, a file that cannot be opened, a full
// disk) is dropped with a debug line; the other lines still go in, and a file never holds half a line.
// Nothing is retried. swap() answers false when not every queue swapped within the time given (the swap
// still completes afterwards). A priority at or beyond priorityCount is dropped without a word. Every
// member may be called from any thread, except from a block of the writer's own queues; the handler must
// not wait for anything that waits on a priority queue.
#include "platform/dispatch/SerialQueue.hpp"
#include "sdk/rurorad/ZEVEventLog/ZEVEventLogEventFile.hpp"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class ZEVAnalyticsPriorityWriter {
  public:
    using URL = std::string;
    static constexpr std::size_t priorityCount = ZEVEventLogEvent::priorityCount;
    using FileURLs = std::array<URL, priorityCount>;
    // Runs on `priority`'s queue once lines are in its file; `fileSize` is the file's size after the write.
    using Appended = std::function<void(std::size_t priority, std::uint64_t fileSize)>;

    static constexpr double groupDelay = 0.002;
    static constexpr std::size_t groupSize = 64 * 1024;
    static constexpr std::size_t gatheredLimit = 4 * groupSize;

    ZEVAnalyticsPriorityWriter(std::string metadataJSONData, Appended appended);
    // Writes the lines still gathered; the queues finish the work already given to them.
    ~ZEVAnalyticsPriorityWriter();
    ZEVAnalyticsPriorityWriter(const ZEVAnalyticsPriorityWriter&) = delete;
    ZEVAnalyticsPriorityWriter& operator=(const ZEVAnalyticsPriorityWriter&) = delete;

    // One event's line, given by its parts, for its priority's log.
    void append(std::uint64_t priority, std::uint64_t timestamp, std::string_view key,
                std::optional<std::string_view> payload);
    // Every priority to the logs at `fileURLs` (not created until their first line), whose metadata lines
    // carry `fragmentTimestamp`. `swapped` runs once, on the queue that swaps last, also when that is after
    // the wait has given up. True when all of them swapped within `timeoutSeconds`.
    bool swap(const FileURLs& fileURLs, std::uint64_t fragmentTimestamp, double timeoutSeconds,
              std::function<void()> swapped = {});
    // Returns once every line handed in before the call is in its file (or dropped).
    void flush();
    // As flush(), and every block a queue was running or had due has finished too.
    void settle();
    // Every priority's file closed and its URL forgotten.
    void close();

    dispatch::SerialQueue& queue(std::size_t priority) { return *queues_.at(priority); }

  private:
    // The open log of one priority; touched only on that priority's queue.
    struct Slot {
        std::optional<URL> fileURL;
        std::uint64_t fragmentTimestamp = 0;
        std::unique_ptr<ZEVEventLogEventFile> file;
    };
    // The priority's open log, opened (with its metadata line) when it is not; nullptr, logged, when it
    // cannot be had.
    ZEVEventLogEventFile* openFile(std::size_t priority);
    void writeLine(std::size_t priority, std::uint64_t timestamp, std::string_view key,
                   std::optional<std::string_view> payload);
    // Adds a low-priority line to the gathered ones and has them written in time; false, nothing added,
    // when gatheredLimit bytes of them are waiting.
    bool gather(std::uint64_t timestamp, std::string_view key, std::optional<std::string_view> payload);
    void addGatheredLine(std::uint64_t timestamp, std::string_view key,
                         std::optional<std::string_view> payload); // gathered_.mutex held
    // Writes the gathered lines up to the first cut (all when no swap waits) to the open low-priority log.
    void writeGathered();
    // Moves the gathered lines up to the first cut into writing_ (gathered_.mutex held).
    void takeGathered();
    // A swap's block, its file swapped: drops its cut and has the lines after it written in time.
    void endCut();

    const std::string metadataJSONData_;
    const Appended appended_;
    std::array<Slot, priorityCount> slots_;

    // Low-priority lines handed in and not yet written. The callers render them, so nothing they allocate
    // is freed on another thread.
    struct Gathered {
        std::mutex mutex;
        std::string lines;
        std::vector<std::size_t> lineEnds;
        bool writeQueued = false; // a write will take the lines
        bool writeDue = false;    // one that runs at once
        // For each swap called and not yet done, oldest first: how many of the lines came before it.
        std::deque<std::size_t> cuts;
    } gathered_;
    // The low-priority queue's side of the gathered lines, kept to reuse its memory.
    std::string writing_;
    std::vector<std::size_t> writingLineEnds_;

    // Declared last, so they go first, each finishing its work while the slots still exist.
    std::array<std::unique_ptr<dispatch::SerialQueue>, priorityCount> queues_;
};
