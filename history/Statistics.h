// The outage model and the figures of a span of history.
//
// Records come in the order they happened. Durations come from the monotonic
// clock, never from the time of day, so a clock set by hand or by the network
// changes no figure. Two echo cycles in a row belong to one stretch of data
// when they come from the same run of the program, the machine did not sleep
// between them and they lie no further apart than a cycle can take; anything
// else is a gap with no data, which counts neither as up nor as down.
//
// An outage begins at the first failed cycle after a reply, after the start
// of the span or after a gap, and ends at the next reply. One that runs into a
// gap ends at its last failed cycle; one still going at the end of the span is
// open. Between two cycles the time counts as up when the earlier one got a
// reply and as down when it failed.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/History.h"

namespace qv::history {

using platform::HistoryKind;
using platform::HistoryRecord;

struct ModelOptions {
  // Cycles follow each other at most every 15 s plus the 9 s time-out; a
  // longer silence means the watch was not running.
  std::int64_t noDataAfterMs = 30'000;
  // The suspend clock is read beside the monotonic one; this much difference
  // is reading noise, more is a sleep.
  std::int64_t suspendToleranceMs = 1'000;
};

enum class OutageEnd { kReply, kNoData, kOpen };

struct Outage {
  std::int64_t startWallMs = 0;
  std::int64_t endWallMs = 0;   // the reply, else the last failed cycle
  std::int64_t durationMs = 0;  // monotonic, from the first failed cycle on
  std::int64_t failedCycles = 0;
  OutageEnd end = OutageEnd::kOpen;
};

struct Gap {
  std::int64_t fromWallMs = 0;  // the last record before
  std::int64_t toWallMs = 0;    // the first record after
};

struct RoundTrip {
  std::int32_t minMs = 0;
  double meanMs = 0;
  std::int32_t p95Ms = 0;
  std::int32_t maxMs = 0;
};

struct SpanStats {
  std::int64_t cycles = 0;
  std::int64_t replies = 0;
  std::int64_t failed = 0;
  std::optional<double> lossPercent;   // none without cycles
  std::optional<RoundTrip> roundTrip;  // none without replies
  std::optional<double> jitterMs;      // none without two replies in a row
  std::vector<Outage> outages;
  std::int64_t longestOutageMs = 0;
  std::int64_t upMs = 0;
  std::int64_t downMs = 0;
  std::int64_t noDataMs = 0;                  // wall time inside the gaps
  std::optional<double> availabilityPercent;  // none without time up or down
  std::vector<Gap> gaps;
  std::int64_t automaticStarts = 0;
  std::int64_t manualStarts = 0;
  std::int64_t logChanges = 0;
  std::vector<std::string> destinations;  // in the order they first appear
  std::optional<std::int64_t> firstWallMs, lastWallMs;
};

// The figures of a span, one record at a time (a span may not fit in memory
// as records; it keeps only the round-trip times).
class SpanAccumulator {
 public:
  explicit SpanAccumulator(ModelOptions options = {}) : options_(options) {}
  void Add(const HistoryRecord& record);
  SpanStats Finish();

 private:
  bool Continues(const HistoryRecord& next) const;
  void CloseOutage(OutageEnd end);

  ModelOptions options_;
  SpanStats stats_;
  std::vector<std::int32_t> roundTrips_;
  double roundTripSum_ = 0;
  double jitterSum_ = 0;
  std::int64_t jitterPairs_ = 0;
  std::optional<HistoryRecord> previous_;      // the previous echo cycle
  std::optional<std::int32_t> previousReply_;  // in the current stretch of data
  std::optional<Outage> outage_;
  std::int64_t outageLastFailMono_ = 0;
};

SpanStats Summarize(std::span<const HistoryRecord> records, ModelOptions options = {});

// The nearest-rank percentile (the smallest value with at least `percent` %
// of the values at or below it). Reorders `values`; 0 when empty.
std::int32_t NearestRankPercentile(std::vector<std::int32_t>& values, double percent);

}  // namespace qv::history
