// The history kept in memory, with switches to make it fail as a damaged or
// read-only file would; and a clock the test sets.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/History.h"

namespace qv::platform::fake {

class MemoryHistoryStore : public IHistoryStore {
 public:
  // Set before Open(): what Open() answers, and whether appends are refused.
  std::string openError;
  bool readOnly = false;
  // Bytes counted for each record by SizeBytes().
  std::int64_t bytesPerRecord = 32;

  std::string Open() override;
  bool Writable() const override;
  std::int64_t BeginRun(std::int64_t wallMs) override;
  std::string Append(const std::vector<HistoryRecord>& records) override;
  std::string Read(std::int64_t fromMs, std::int64_t toMs,
                   const std::function<void(const HistoryRecord&)>& visit) override;
  std::int64_t Prune(std::int64_t keepFromMs, std::int64_t maxBytes, int maxRecords) override;
  std::int64_t SizeBytes() override;

  // A copy of everything written, in order.
  std::vector<HistoryRecord> Records() const;
  int Batches() const;

 private:
  mutable std::mutex mutex_;
  bool open_ = false;
  std::int64_t runs_ = 0;
  int batches_ = 0;
  std::vector<HistoryRecord> records_;
};

class ManualClock : public IClock {
 public:
  ClockReading Now() override;
  // Moves all three clocks on by `ms` (a running machine).
  void Advance(std::int64_t ms);
  // Sets the time of day only (a clock set by hand or by the network).
  void StepWall(std::int64_t ms);
  // The machine sleeps for `ms`: the wall and boot clocks go on, the monotonic one stands.
  void Suspend(std::int64_t ms);
  void Set(const ClockReading& reading);

 private:
  std::mutex mutex_;
  ClockReading now_{1'700'000'000'000, 1'000'000, 0};
};

}  // namespace qv::platform::fake
