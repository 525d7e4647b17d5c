#include "platform/fake/MemoryHistoryStore.h"

#include <algorithm>

namespace qv::platform::fake {

std::string MemoryHistoryStore::Open() {
  std::lock_guard lock(mutex_);
  open_ = openError.empty();
  return openError;
}

bool MemoryHistoryStore::Writable() const {
  std::lock_guard lock(mutex_);
  return open_ && !readOnly;
}

std::int64_t MemoryHistoryStore::BeginRun(std::int64_t) {
  if (!Writable()) return 0;
  std::lock_guard lock(mutex_);
  return ++runs_;
}

std::string MemoryHistoryStore::Append(const std::vector<HistoryRecord>& records) {
  if (!Writable()) return "the history is not open for writing";
  std::lock_guard lock(mutex_);
  records_.insert(records_.end(), records.begin(), records.end());
  ++batches_;
  return {};
}

std::string MemoryHistoryStore::Read(std::int64_t fromMs, std::int64_t toMs,
                                     const std::function<void(const HistoryRecord&)>& visit) {
  const std::vector<HistoryRecord> copy = Records();
  for (const HistoryRecord& r : copy)
    if (r.time.wallMs >= fromMs && r.time.wallMs < toMs) visit(r);
  return {};
}

std::int64_t MemoryHistoryStore::Prune(std::int64_t keepFromMs, std::int64_t maxBytes, int maxRecords) {
  std::lock_guard lock(mutex_);
  const bool oversize = static_cast<std::int64_t>(records_.size()) * bytesPerRecord > maxBytes;
  std::size_t n = 0;
  while (n < records_.size() && n < static_cast<std::size_t>(std::max(0, maxRecords)) &&
         (oversize || records_[n].time.wallMs < keepFromMs))
    ++n;
  records_.erase(records_.begin(), records_.begin() + static_cast<std::ptrdiff_t>(n));
  return static_cast<std::int64_t>(n);
}

std::int64_t MemoryHistoryStore::SizeBytes() {
  std::lock_guard lock(mutex_);
  return static_cast<std::int64_t>(records_.size()) * bytesPerRecord;
}

std::vector<HistoryRecord> MemoryHistoryStore::Records() const {
  std::lock_guard lock(mutex_);
  return records_;
}

int MemoryHistoryStore::Batches() const {
  std::lock_guard lock(mutex_);
  return batches_;
}

ClockReading ManualClock::Now() {
  std::lock_guard lock(mutex_);
  return now_;
}

void ManualClock::Advance(std::int64_t ms) {
  std::lock_guard lock(mutex_);
  now_.wallMs += ms;
  now_.monoMs += ms;
}

void ManualClock::StepWall(std::int64_t ms) {
  std::lock_guard lock(mutex_);
  now_.wallMs += ms;
}

void ManualClock::Suspend(std::int64_t ms) {
  std::lock_guard lock(mutex_);
  now_.wallMs += ms;
  now_.suspendMs += ms;
}

void ManualClock::Set(const ClockReading& reading) {
  std::lock_guard lock(mutex_);
  now_ = reading;
}

}  // namespace qv::platform::fake
