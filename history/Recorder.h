// Records the watches' events into the history without holding them up: the
// callers (the GUI thread and the echo worker) only stamp a record and queue
// it; a writer thread of its own writes the queue in batches, prunes old
// records a few at a time, and keeps the last day in memory for the window's
// summaries.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "history/Statistics.h"
#include "platform/Clock.h"
#include "platform/History.h"

namespace qv::history {

constexpr std::int64_t kHourMs = 3'600'000;
constexpr std::int64_t kDayMs = 24 * kHourMs;

struct RecorderOptions {
  std::int64_t batchMs = 1'000;  // the longest a record waits for its batch
  std::size_t batchMax = 512;    // a full batch is written at once
  std::int64_t keepMs = 90 * kDayMs;
  std::int64_t maxBytes = 100LL * 1024 * 1024;
  int pruneRecords = 2'000;  // at most this many go per batch
  std::int64_t windowMs = kDayMs;
  std::int64_t summaryEveryMs = 5'000;
  ModelOptions model;
};

class Recorder {
 public:
  // `store` may be null: the records are then only kept in memory. A store
  // that cannot be opened or written is reported once through `onProblem`
  // (called on the writer thread) and no longer used; the recording goes on
  // in memory.
  Recorder(platform::IHistoryStore* store, platform::IClock& clock, RecorderOptions options,
           std::function<void(const std::string&)> onProblem);
  ~Recorder();
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // From any thread; each costs a clock reading and a queued record.
  void RecordEcho(const std::string& destination, bool reply, std::int32_t status, std::int32_t roundTripMs);
  void RecordStart(bool automatic, const std::string& command, std::int32_t result);
  void RecordLogChange(const std::string& path);

  // Waits until everything recorded so far is written and summarised.
  void Flush();
  // The figures of the last hour and the last day as a tooltip; empty
  // before the first summary.
  std::string Summary() const;
  // The records of the last day, oldest first.
  std::vector<HistoryRecord> Recent() const;
  // Whether records reach the store (false after a problem or without one).
  bool Persistent() const;

 private:
  void Queue(platform::HistoryKind kind, const std::string& subject, std::int32_t status,
             std::int32_t roundTripMs);
  void WriterLoop();
  void Start();
  void WriteBatch(std::vector<HistoryRecord>& batch);
  void Summarise();
  void Problem(const std::string& message);

  platform::IHistoryStore* store_;
  platform::IClock& clock_;
  const RecorderOptions options_;
  std::function<void(const std::string&)> onProblem_;

  // The queue has a lock of its own, held only to add or take records, so
  // the callers never wait for the writer's work.
  mutable std::mutex queueMutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  std::vector<HistoryRecord> queue_;
  std::uint64_t queued_ = 0;
  std::uint64_t summarised_ = 0;   // records written (or given up) and in the summary
  std::uint64_t flushTarget_ = 0;  // Flush() waits for this many
  bool stop_ = false;

  // What the writer shows to others. Only the writer changes `recent_`, so
  // it reads it without the lock.
  mutable std::mutex stateMutex_;
  std::string summary_;
  std::deque<HistoryRecord> recent_;
  bool persistent_ = false;

  // Writer thread only.
  std::int64_t run_ = 0;
  bool reported_ = false;
  std::int64_t lastSummaryMono_ = 0;

  std::thread writer_;
};

}  // namespace qv::history
