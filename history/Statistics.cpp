#include "history/Statistics.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace qv::history {

std::int32_t NearestRankPercentile(std::vector<std::int32_t>& values, double percent) {
  if (values.empty()) return 0;
  const double rank = std::ceil(percent / 100.0 * static_cast<double>(values.size()));
  const auto index = static_cast<std::size_t>(std::clamp(rank, 1.0, static_cast<double>(values.size()))) - 1;
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(index), values.end());
  return values[index];
}

bool SpanAccumulator::Continues(const HistoryRecord& next) const {
  const HistoryRecord& prev = *previous_;
  if (prev.run != next.run) return false;
  if (next.time.suspendMs - prev.time.suspendMs > options_.suspendToleranceMs) return false;
  const std::int64_t elapsed = next.time.monoMs - prev.time.monoMs;
  return elapsed >= 0 && elapsed <= options_.noDataAfterMs;
}

void SpanAccumulator::CloseOutage(OutageEnd end) {
  if (!outage_) return;
  outage_->end = end;
  stats_.longestOutageMs = std::max(stats_.longestOutageMs, outage_->durationMs);
  stats_.outages.push_back(*outage_);
  outage_.reset();
}

void SpanAccumulator::Add(const HistoryRecord& r) {
  if (!stats_.firstWallMs) stats_.firstWallMs = r.time.wallMs;
  stats_.lastWallMs = r.time.wallMs;
  switch (r.kind) {
    case HistoryKind::kAutoStart: ++stats_.automaticStarts; return;
    case HistoryKind::kManualStart: ++stats_.manualStarts; return;
    case HistoryKind::kLogChange: ++stats_.logChanges; return;
    case HistoryKind::kEcho: break;
  }
  if (std::find(stats_.destinations.begin(), stats_.destinations.end(), r.subject) ==
      stats_.destinations.end())
    stats_.destinations.push_back(r.subject);

  if (previous_ && Continues(r)) {
    const std::int64_t elapsed = r.time.monoMs - previous_->time.monoMs;
    (previous_->Reply() ? stats_.upMs : stats_.downMs) += elapsed;
  } else if (previous_) {
    stats_.gaps.push_back({previous_->time.wallMs, r.time.wallMs});
    stats_.noDataMs += std::max<std::int64_t>(0, r.time.wallMs - previous_->time.wallMs);
    CloseOutage(OutageEnd::kNoData);
    previousReply_.reset();
  }

  ++stats_.cycles;
  if (r.Reply()) {
    ++stats_.replies;
    if (outage_) {
      outage_->endWallMs = r.time.wallMs;
      outage_->durationMs += r.time.monoMs - outageLastFailMono_;
      CloseOutage(OutageEnd::kReply);
    }
    roundTrips_.push_back(r.roundTripMs);
    roundTripSum_ += r.roundTripMs;
    if (previousReply_) {
      jitterSum_ += std::abs(r.roundTripMs - *previousReply_);
      ++jitterPairs_;
    }
    previousReply_ = r.roundTripMs;
  } else {
    ++stats_.failed;
    if (!outage_) {
      outage_ = Outage{r.time.wallMs, r.time.wallMs, 0, 0, OutageEnd::kOpen};
    } else {
      outage_->durationMs += r.time.monoMs - outageLastFailMono_;
      outage_->endWallMs = r.time.wallMs;
    }
    outageLastFailMono_ = r.time.monoMs;
    ++outage_->failedCycles;
  }
  previous_ = r;
}

SpanStats SpanAccumulator::Finish() {
  CloseOutage(OutageEnd::kOpen);
  if (stats_.cycles > 0)
    stats_.lossPercent = 100.0 * static_cast<double>(stats_.failed) / static_cast<double>(stats_.cycles);
  if (!roundTrips_.empty()) {
    RoundTrip rt;
    const auto [lo, hi] = std::minmax_element(roundTrips_.begin(), roundTrips_.end());
    rt.minMs = *lo;
    rt.maxMs = *hi;
    rt.meanMs = roundTripSum_ / static_cast<double>(roundTrips_.size());
    rt.p95Ms = NearestRankPercentile(roundTrips_, 95.0);
    stats_.roundTrip = rt;
  }
  if (jitterPairs_ > 0) stats_.jitterMs = jitterSum_ / static_cast<double>(jitterPairs_);
  if (const std::int64_t observed = stats_.upMs + stats_.downMs; observed > 0)
    stats_.availabilityPercent = 100.0 * static_cast<double>(stats_.upMs) / static_cast<double>(observed);
  SpanStats done = std::move(stats_);
  *this = SpanAccumulator(options_);
  return done;
}

SpanStats Summarize(std::span<const HistoryRecord> records, ModelOptions options) {
  SpanAccumulator accumulator(options);
  for (const HistoryRecord& r : records) accumulator.Add(r);
  return accumulator.Finish();
}

}  // namespace qv::history
