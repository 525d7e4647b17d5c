// The report's options, its JSON and CSV, and the chart's pixels.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "HistoryBuilder.h"
#include "history/Chart.h"
#include "history/ReportCommand.h"
#include "platform/fake/MemoryHistoryStore.h"
#include "toolkit/Canvas.h"

namespace qv::testing {
namespace {

constexpr std::int64_t kNow = 1'700'000'100'000;

class ReportTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("TZ", "UTC", 1); }
};

TEST_F(ReportTest, OptionsGiveTheSpanAndFormat) {
  history::ReportRequest r;
  EXPECT_EQ(history::ParseReportArguments({}, kNow, r), "");
  EXPECT_EQ(r.span.fromMs, kNow - 86'400'000);
  EXPECT_EQ(r.span.toMs, kNow + 1);
  EXPECT_EQ(r.format, history::ReportFormat::kText);
  EXPECT_EQ(history::ParseReportArguments({"--since", "7d", "--format", "json"}, kNow, r), "");
  EXPECT_EQ(r.span.fromMs, kNow - 7 * 86'400'000LL);
  EXPECT_EQ(history::ParseReportArguments({"--since", "2023-11-14", "--until", "2023-11-14T12:30"}, kNow, r),
            "");
  EXPECT_EQ(r.span.fromMs, 1'699'920'000'000);
  EXPECT_EQ(r.span.toMs, 1'699'965'000'000);
  for (const std::vector<std::string>& bad : {std::vector<std::string>{"--since"},
                                              {"--since", "yesterday"},
                                              {"--format", "pdf"},
                                              {"--format", "png"},
                                              {"--since", "1h", "--until", "2h"},
                                              {"--frobnicate", "1"},
                                              {"--since", "2023-13-01"}})
    EXPECT_NE(history::ParseReportArguments(bad, kNow, r), "")
        << bad[0] << " " << (bad.size() > 1 ? bad[1] : "");
}

TEST_F(ReportTest, JsonHoldsTheSummaryAndTheOutages) {
  HistoryBuilder h;
  h.Replies(3, 10).Fails(2).Reply(12).Fails(1);
  platform::fake::MemoryHistoryStore store;
  store.Open();
  store.Append(h.records);
  std::ostringstream out, err;
  const std::int64_t end = h.records.back().time.wallMs + 1;
  const int status = history::RunReport(
      {"--since", "1h", "--format", "json"}, end, store, [] { return std::string(); }, out, err);
  ASSERT_EQ(status, 0) << err.str();
  const std::string json = out.str();
  for (const char* expected :
       {"\"cycles\": 7", "\"failed\": 3", "\"loss_percent\": 42.857", "\"outage_count\": 2",
        "\"round_trip_ms\": {\"min\": 10, \"mean\": 10.500, \"p95\": 12, \"max\": 12}",
        "\"duration_ms\": 2000, \"failed_cycles\": 2, \"ended_by\": \"reply\"",
        "\"end\": null, \"duration_ms\": 0, \"failed_cycles\": 1, \"ended_by\": \"open\"",
        "\"destinations\": [\"127.0.0.1\"]"})
    EXPECT_NE(json.find(expected), std::string::npos) << expected << "\n" << json;
}

TEST_F(ReportTest, CsvRowsAreQuotedAndFormulasDefused) {
  platform::HistoryRecord r;
  r.kind = platform::HistoryKind::kManualStart;
  r.time.wallMs = 1'700'000'000'123;
  r.run = 3;
  r.status = 2;
  r.subject = "=cmd \"a,b\"";
  std::ostringstream out;
  history::WriteCsvHeader(out);
  history::WriteCsvRow(out, r);
  r.subject = "caf\xE9";  // Latin-1 bytes come out as UTF-8
  r.kind = platform::HistoryKind::kEcho;
  r.roundTripMs = 7;
  history::WriteCsvRow(out, r);
  EXPECT_EQ(out.str(),
            "time_utc,wall_ms,run,kind,subject,status,round_trip_ms\r\n"
            "2023-11-14T22:13:20.123Z,1700000000123,3,manual start,\"'=cmd \"\"a,b\"\"\",2,\r\n"
            "2023-11-14T22:13:20.123Z,1700000000123,3,echo,caf\xC3\xA9,2,7\r\n");
}

TEST_F(ReportTest, ChartShadesOutagesHatchesGapsAndDrawsTheTrace) {
  HistoryBuilder h(20'000);
  h.Replies(200, 20).Fails(100).Replies(200, 40).Restart(6 * 3'600'000).Replies(100, 30);
  h.Start(true).LogChange();
  const history::ReportSpan span{h.records.front().time.wallMs, h.records.back().time.wallMs + 1};
  history::Chart chart(span);
  history::SpanAccumulator acc;
  for (const auto& r : h.records) {
    chart.Add(r);
    acc.Add(r);
  }
  const auto stats = acc.Finish();
  TBitmap bitmap;
  chart.Draw(bitmap, stats);
  ASSERT_EQ(bitmap.Width(), 1600);
  ASSERT_EQ(bitmap.Height(), 600);
  TCanvas canvas(bitmap);
  auto column = [&](std::size_t record) {
    return chart.PlotLeft() + chart.ColumnOf(h.records[record].time.wallMs);
  };
  const int mid = (chart.PlotTop() + chart.PlotBottom()) / 2;
  EXPECT_EQ(canvas.Pixels(column(250), chart.PlotTop() + 3), 0x00C8C8FFu);  // inside the outage
  int hatch = 0, trace = 0;
  const int gapColumn = (column(499) + column(500)) / 2 + 5;  // clear of the hour lines
  for (int y = chart.PlotTop(); y < chart.PlotBottom(); ++y) {
    hatch += canvas.Pixels(gapColumn, y) == 0x00B0B0B0u;
    trace += canvas.Pixels(column(100), y) == 0x00A05010u;
  }
  EXPECT_GT(hatch, 10);
  EXPECT_GT(trace, 0);
  EXPECT_NE(canvas.Pixels(column(250), mid), canvas.Pixels(column(100), mid));
}

}  // namespace
}  // namespace qv::testing
