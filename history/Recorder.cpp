#include "history/Recorder.h"

#include <algorithm>
#include <chrono>

#include "history/ReportFormats.h"

namespace qv::history {

Recorder::Recorder(platform::IHistoryStore* store, platform::IClock& clock, RecorderOptions options,
                   std::function<void(const std::string&)> onProblem)
    : store_(store), clock_(clock), options_(options), onProblem_(std::move(onProblem)) {
  writer_ = std::thread([this] { WriterLoop(); });
}

Recorder::~Recorder() {
  {
    std::lock_guard lock(queueMutex_);
    stop_ = true;
  }
  wake_.notify_all();
  writer_.join();
}

void Recorder::Queue(platform::HistoryKind kind, const std::string& subject, std::int32_t status,
                     std::int32_t roundTripMs) {
  HistoryRecord record;
  record.kind = kind;
  record.time = clock_.Now();
  record.status = status;
  record.roundTripMs = roundTripMs;
  record.subject = subject;
  bool full;
  {
    std::lock_guard lock(queueMutex_);
    queue_.push_back(std::move(record));
    ++queued_;
    full = queue_.size() >= options_.batchMax;
  }
  if (full) wake_.notify_all();
}

void Recorder::RecordEcho(const std::string& destination, bool reply, std::int32_t status,
                          std::int32_t roundTripMs) {
  Queue(platform::HistoryKind::kEcho, destination, reply ? 0 : status, reply ? roundTripMs : -1);
}

void Recorder::RecordStart(bool automatic, const std::string& command, std::int32_t result) {
  Queue(automatic ? platform::HistoryKind::kAutoStart : platform::HistoryKind::kManualStart, command, result,
        -1);
}

void Recorder::RecordLogChange(const std::string& path) {
  Queue(platform::HistoryKind::kLogChange, path, 0, -1);
}

void Recorder::Flush() {
  std::unique_lock lock(queueMutex_);
  const std::uint64_t target = queued_;
  flushTarget_ = std::max(flushTarget_, target);
  wake_.notify_all();
  done_.wait(lock, [&] { return summarised_ >= target; });
}

std::string Recorder::Summary() const {
  std::lock_guard lock(stateMutex_);
  return summary_;
}

std::vector<HistoryRecord> Recorder::Recent() const {
  std::lock_guard lock(stateMutex_);
  return {recent_.begin(), recent_.end()};
}

bool Recorder::Persistent() const {
  std::lock_guard lock(stateMutex_);
  return persistent_;
}

void Recorder::Problem(const std::string& message) {
  store_ = nullptr;
  {
    std::lock_guard lock(stateMutex_);
    persistent_ = false;
  }
  if (reported_) return;
  reported_ = true;
  if (onProblem_) onProblem_(message);
}

void Recorder::Start() {
  if (store_ == nullptr) return;
  if (const std::string error = store_->Open(); !error.empty()) return Problem(error);
  const platform::ClockReading now = clock_.Now();
  // The last day as recorded before, so the summaries cover earlier runs too.
  std::deque<HistoryRecord> earlier;
  std::int64_t lastRun = 0;
  store_->Read(now.wallMs - options_.windowMs, now.wallMs + 1, [&](const HistoryRecord& r) {
    earlier.push_back(r);
    lastRun = std::max(lastRun, r.run);
  });
  {
    std::lock_guard lock(stateMutex_);
    recent_ = std::move(earlier);
  }
  if (!store_->Writable()) return Problem("History cannot be written: the file is read-only");
  run_ = store_->BeginRun(now.wallMs);
  if (run_ == 0) return Problem("History cannot be written: no new run could be recorded");
  std::lock_guard lock(stateMutex_);
  persistent_ = true;
}

void Recorder::WriteBatch(std::vector<HistoryRecord>& batch) {
  if (run_ == 0) {
    // Without a store the runs are told apart in memory only.
    run_ = (recent_.empty() ? 0 : recent_.back().run) + 1;
  }
  for (HistoryRecord& r : batch) r.run = run_;
  // A long queue (the writer was held up) goes in transactions of at most
  // batchMax records, so none grows without bound.
  for (std::size_t at = 0; store_ != nullptr && at < batch.size(); at += options_.batchMax) {
    std::string error;
    if (batch.size() <= options_.batchMax) {
      error = store_->Append(batch);
    } else {
      const auto end =
          batch.begin() + static_cast<std::ptrdiff_t>(std::min(batch.size(), at + options_.batchMax));
      error = store_->Append({batch.begin() + static_cast<std::ptrdiff_t>(at), end});
    }
    if (!error.empty()) Problem("History cannot be written: " + error);
  }
  if (store_ != nullptr && !batch.empty()) {
    const std::int64_t wall = clock_.Now().wallMs;
    store_->Prune(wall - options_.keepMs, options_.maxBytes, options_.pruneRecords);
  }
  std::lock_guard lock(stateMutex_);
  for (HistoryRecord& r : batch) recent_.push_back(std::move(r));
  const std::int64_t oldest = clock_.Now().wallMs - options_.windowMs;
  while (!recent_.empty() && recent_.front().time.wallMs < oldest) recent_.pop_front();
}

void Recorder::Summarise() {
  const platform::ClockReading now = clock_.Now();
  SpanAccumulator hour(options_.model), day(options_.model);
  for (const HistoryRecord& r : recent_) {
    if (r.time.wallMs > now.wallMs) continue;
    if (r.time.wallMs >= now.wallMs - kHourMs) hour.Add(r);
    if (r.time.wallMs >= now.wallMs - kDayMs) day.Add(r);
  }
  std::string text = SummaryHint(hour.Finish(), day.Finish());
  std::lock_guard lock(stateMutex_);
  summary_ = std::move(text);
  lastSummaryMono_ = now.monoMs;
}

void Recorder::WriterLoop() {
  Start();
  Summarise();
  std::vector<HistoryRecord> batch;
  for (;;) {
    bool stopping, flush;
    std::uint64_t taken;
    {
      std::unique_lock lock(queueMutex_);
      wake_.wait_for(lock, std::chrono::milliseconds(options_.batchMs), [&] {
        return stop_ || summarised_ < flushTarget_ || queue_.size() >= options_.batchMax;
      });
      batch.swap(queue_);
      taken = queued_;
      stopping = stop_;
      flush = summarised_ < flushTarget_;
    }
    WriteBatch(batch);
    batch.clear();
    const bool due = clock_.Now().monoMs - lastSummaryMono_ >= options_.summaryEveryMs;
    if (flush || due) Summarise();
    {
      std::lock_guard lock(queueMutex_);
      summarised_ = taken;
    }
    done_.notify_all();
    if (stopping) break;
  }
}

}  // namespace qv::history
