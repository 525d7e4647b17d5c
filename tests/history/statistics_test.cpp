// The outage model and the figures of a span, on synthetic histories whose
// answers are known.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "HistoryBuilder.h"
#include "history/Statistics.h"

namespace qv::testing {
namespace {

using history::OutageEnd;
using history::Summarize;

TEST(HistoryStatistics, OutageFromFirstFailureToNextReplyWithUpAndDownTime) {
  HistoryBuilder h;
  h.Reply(10).Reply(14).Reply(12).Fails(3).Reply(20).Reply(20);
  const auto s = Summarize(h.records);
  EXPECT_EQ(s.cycles, 8);
  EXPECT_EQ(s.replies, 5);
  EXPECT_EQ(s.failed, 3);
  EXPECT_NEAR(*s.lossPercent, 37.5, 1e-9);
  ASSERT_EQ(s.outages.size(), 1u);
  EXPECT_EQ(s.outages[0].durationMs, 3000);
  EXPECT_EQ(s.outages[0].failedCycles, 3);
  EXPECT_EQ(s.outages[0].end, OutageEnd::kReply);
  EXPECT_EQ(s.outages[0].startWallMs, h.records[3].time.wallMs);
  EXPECT_EQ(s.outages[0].endWallMs, h.records[6].time.wallMs);
  EXPECT_EQ(s.longestOutageMs, 3000);
  // Seven intervals: the three after failed cycles are down.
  EXPECT_EQ(s.upMs, 4000);
  EXPECT_EQ(s.downMs, 3000);
  EXPECT_NEAR(*s.availabilityPercent, 400.0 / 7.0, 1e-9);
  EXPECT_EQ(s.roundTrip->minMs, 10);
  EXPECT_EQ(s.roundTrip->maxMs, 20);
  EXPECT_NEAR(s.roundTrip->meanMs, 15.2, 1e-9);
  // Consecutive replies 10,14,12,20,20 (the outage does not part them): 4+2+8+0.
  EXPECT_NEAR(*s.jitterMs, 14.0 / 4.0, 1e-9);
  EXPECT_TRUE(s.gaps.empty());
}

TEST(HistoryStatistics, AnOutageStillGoingAtTheEndIsOpenAndTheFirstCycleMayFail) {
  HistoryBuilder h;
  h.Fails(2).Reply(5).Fails(4);
  const auto s = Summarize(h.records);
  ASSERT_EQ(s.outages.size(), 2u);
  EXPECT_EQ(s.outages[0].end, OutageEnd::kReply);
  EXPECT_EQ(s.outages[0].durationMs, 2000);
  EXPECT_EQ(s.outages[1].end, OutageEnd::kOpen);
  EXPECT_EQ(s.outages[1].durationMs, 3000);  // first to last failed cycle so far
  EXPECT_EQ(s.outages[1].failedCycles, 4);
  EXPECT_FALSE(s.jitterMs.has_value());
}

TEST(HistoryStatistics, SuspendRestartAndSilenceAreGapsWithoutDataNotOutages) {
  HistoryBuilder h;
  h.Replies(3, 10).Fails(2).Suspend(600'000).Fails(1).Reply(10).Silence(120'000).Reply(10).Restart(3'600'000);
  h.Reply(10).Reply(10);
  const auto s = Summarize(h.records);
  ASSERT_EQ(s.gaps.size(), 3u);
  EXPECT_EQ(s.noDataMs, 601'000 + 121'000 + 3'601'000);
  // The outage before the sleep ends at its last failed cycle; the one
  // after it begins anew.
  ASSERT_EQ(s.outages.size(), 2u);
  EXPECT_EQ(s.outages[0].end, OutageEnd::kNoData);
  EXPECT_EQ(s.outages[0].durationMs, 1000);
  EXPECT_EQ(s.outages[1].end, OutageEnd::kReply);
  EXPECT_EQ(s.outages[1].durationMs, 1000);
  // Only time inside stretches of data counts.
  EXPECT_EQ(s.upMs, 3000 + 1000);
  EXPECT_EQ(s.downMs, 1000 + 1000);
  // The jitter pairs end at each gap: only 10-10 pairs remain.
  EXPECT_NEAR(*s.jitterMs, 0.0, 1e-9);
}

TEST(HistoryStatistics, ClockStepsChangeNoFigure) {
  HistoryBuilder steady, stepped;
  for (HistoryBuilder* h : {&steady, &stepped}) {
    h->Replies(5, 8).Fails(3);
    if (h == &stepped) h->StepWall(3'600'000);
    h->Fails(2).Reply(9);
    if (h == &stepped) h->StepWall(-7'200'000);
    h->Replies(4, 30);
  }
  const auto a = Summarize(steady.records), b = Summarize(stepped.records);
  EXPECT_EQ(a.upMs, b.upMs);
  EXPECT_EQ(a.downMs, b.downMs);
  ASSERT_EQ(b.outages.size(), 1u);
  EXPECT_EQ(b.outages[0].durationMs, 5000);
  EXPECT_EQ(a.outages[0].durationMs, b.outages[0].durationMs);
  EXPECT_TRUE(b.gaps.empty());
  EXPECT_EQ(*a.availabilityPercent, *b.availabilityPercent);
}

TEST(HistoryStatistics, StartsAndLogChangesAreCountedAndLeaveTheConnectionAlone) {
  HistoryBuilder h;
  h.Reply(3).Fail().Start(true).LogChange().Fail().Start(false).Reply(3);
  const auto s = Summarize(h.records);
  EXPECT_EQ(s.cycles, 4);
  EXPECT_EQ(s.automaticStarts, 1);
  EXPECT_EQ(s.manualStarts, 1);
  EXPECT_EQ(s.logChanges, 1);
  ASSERT_EQ(s.outages.size(), 1u);
  EXPECT_EQ(s.outages[0].failedCycles, 2);
  EXPECT_EQ(s.outages[0].durationMs, 2000);  // the events take no time of their own
}

TEST(HistoryStatistics, AnEmptySpanHasNoFigures) {
  const auto s = Summarize({});
  EXPECT_EQ(s.cycles, 0);
  EXPECT_FALSE(s.lossPercent || s.roundTrip || s.jitterMs || s.availabilityPercent);
}

TEST(HistoryStatistics, PercentileMatchesAPlainSortOnSmallAndLargeSpans) {
  std::mt19937 random(7);
  for (const std::size_t n : {1u, 2u, 19u, 20u, 21u, 100u, 101u, 86'400u}) {
    std::vector<std::int32_t> values(n);
    for (auto& v : values) v = static_cast<std::int32_t>(random() % 400);
    std::vector<std::int32_t> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    const auto rank = static_cast<std::size_t>(std::ceil(0.95 * static_cast<double>(n)));
    EXPECT_EQ(history::NearestRankPercentile(values, 95.0), sorted[rank - 1]) << n << " values";
  }
  // Through the figures of a span too.
  HistoryBuilder h;
  for (int i = 1; i <= 40; ++i) h.Reply(i);
  EXPECT_EQ(Summarize(h.records).roundTrip->p95Ms, 38);
}

}  // namespace
}  // namespace qv::testing
