// The figures of a span as text for people (the report and the window's
// tooltip) and for programs (CSV rows, a JSON summary).
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "history/Statistics.h"

namespace qv::history {

struct ReportSpan {
  std::int64_t fromMs = 0;
  std::int64_t toMs = 0;
};

// "2024-05-01T12:00:00.000Z"
std::string IsoUtc(std::int64_t wallMs);
// "2024-05-01 14:00:00" in the local time zone.
std::string LocalTime(std::int64_t wallMs);
// "3 h 05 min", "5 min 12 s", "850 ms".
std::string Duration(std::int64_t ms);
// Bytes as UTF-8: kept when they are UTF-8 already, else read as Latin-1.
std::string DisplayUtf8(const std::string& bytes);
std::string KindName(HistoryKind kind);
// "0.25 %", or "-" without a value.
std::string PercentText(const std::optional<double>& value);

// The tooltip of the scope and the lamp: the last hour and the last day.
std::string SummaryHint(const SpanStats& hour, const SpanStats& day);

void WriteText(std::ostream& out, const ReportSpan& span, const SpanStats& stats);
void WriteJson(std::ostream& out, const ReportSpan& span, const SpanStats& stats);

// One CSV row per record, after a header row.
void WriteCsvHeader(std::ostream& out);
void WriteCsvRow(std::ostream& out, const HistoryRecord& record);

}  // namespace qv::history
