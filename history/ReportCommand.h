// `quorvane --report`: the history of a span as text, CSV, JSON or a PNG
// chart, without a display.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "history/ReportFormats.h"
#include "platform/History.h"

namespace qv::history {

enum class ReportFormat { kText, kCsv, kJson, kPng };

struct ReportRequest {
  ReportSpan span;
  ReportFormat format = ReportFormat::kText;
  std::string output;  // empty: standard output
  bool help = false;
};

extern const char* const kReportUsage;

// A time as the options take it: "1h", "24h", "7d", "30d", "90m" (minutes),
// "2w" before `nowMs`; "now"; or a local date "2024-05-01", optionally with
// " 14:30" or "T14:30[:15]". False when it is none of these.
bool ParseReportTime(const std::string& text, std::int64_t nowMs, std::int64_t& wallMs);
// The options after "--report". Empty on success, else what is wrong.
std::string ParseReportArguments(const std::vector<std::string>& args, std::int64_t nowMs,
                                 ReportRequest& request);

// Reads the span from the open store and writes the report. Returns the exit
// status: 0, or 1 with the reason on `err`.
int WriteReport(const ReportRequest& request, platform::IHistoryStore& store, std::ostream& out,
                std::ostream& err);

// The whole command: parses, opens the store with `open` (empty or why not),
// reports. 0 on success, 1 when the history cannot be read or written out,
// 2 for wrong options.
int RunReport(const std::vector<std::string>& args, std::int64_t nowMs, platform::IHistoryStore& store,
              const std::function<std::string()>& open, std::ostream& out, std::ostream& err);

// The chart and the CSV of `records` for the span, as `base`.png and
// `base`.csv. Empty on success, else why not.
std::string WriteChartAndCsv(const std::vector<platform::HistoryRecord>& records, const ReportSpan& span,
                             const std::string& base);

}  // namespace qv::history
