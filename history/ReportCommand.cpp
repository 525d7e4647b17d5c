#include "history/ReportCommand.h"

#include <cctype>
#include <cstdio>
#include <ctime>
#include <fstream>

#include "history/Chart.h"
#include "history/Statistics.h"
#include "imaging/PngEncode.h"
#include "toolkit/SysUtils.h"

namespace qv::history {

const char* const kReportUsage =
    "usage: quorvane --report [--since 1h|24h|7d|30d|DATE] [--until now|...|DATE]\n"
    "                         [--format text|csv|json|png] [--output FILE]\n"
    "DATE is local time: 2024-05-01, 2024-05-01T14:30 or \"2024-05-01 14:30:15\".\n"
    "The span is the last 24 hours unless given; png needs --output.\n";

namespace {

bool AllDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (std::isdigit(static_cast<unsigned char>(c)) == 0) return false;
  return true;
}

bool ParseLocalDate(const std::string& text, std::int64_t& wallMs) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  char sep = 0;
  int used = 0;
  const int got = std::sscanf(text.c_str(), "%4d-%2d-%2d%n%c%2d:%2d%n:%2d%n", &year, &month, &day, &used,
                              &sep, &hour, &minute, &used, &second, &used);
  if (got != 3 && got != 6 && got != 7) return false;
  if (static_cast<std::size_t>(used) != text.size()) return false;
  if (got > 3 && sep != 'T' && sep != ' ') return false;
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) return false;
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;
  const std::time_t t = std::mktime(&tm);
  if (t == static_cast<std::time_t>(-1)) return false;
  wallMs = static_cast<std::int64_t>(t) * 1000;
  return true;
}

}  // namespace

bool ParseReportTime(const std::string& text, std::int64_t nowMs, std::int64_t& wallMs) {
  if (text == "now") {
    wallMs = nowMs;
    return true;
  }
  if (text.size() >= 2 && AllDigits(text.substr(0, text.size() - 1)) && text.size() <= 8) {
    const std::int64_t n = std::stoll(text.substr(0, text.size() - 1));
    std::int64_t unit = 0;
    switch (text.back()) {
      case 'm': unit = 60'000; break;
      case 'h': unit = 3'600'000; break;
      case 'd': unit = 86'400'000; break;
      case 'w': unit = 7 * 86'400'000LL; break;
      default: return false;
    }
    wallMs = nowMs - n * unit;
    return true;
  }
  return ParseLocalDate(text, wallMs);
}

std::string ParseReportArguments(const std::vector<std::string>& args, std::int64_t nowMs,
                                 ReportRequest& request) {
  request = ReportRequest{};
  request.span = {nowMs - 86'400'000, nowMs};
  // The end is exclusive: "now" includes what was written this millisecond.
  bool untilGiven = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (option == "--help" || option == "-h") {
      request.help = true;
      continue;
    }
    if (i + 1 >= args.size()) return option + " needs a value";
    const std::string& value = args[++i];
    if (option == "--since") {
      if (!ParseReportTime(value, nowMs, request.span.fromMs)) return "--since: not a time: " + value;
    } else if (option == "--until") {
      if (!ParseReportTime(value, nowMs, request.span.toMs)) return "--until: not a time: " + value;
      untilGiven = true;
    } else if (option == "--format") {
      if (value == "text")
        request.format = ReportFormat::kText;
      else if (value == "csv")
        request.format = ReportFormat::kCsv;
      else if (value == "json")
        request.format = ReportFormat::kJson;
      else if (value == "png")
        request.format = ReportFormat::kPng;
      else
        return "--format: one of text, csv, json, png: " + value;
    } else if (option == "--output") {
      request.output = value;
    } else {
      return "unknown option " + option;
    }
  }
  if (!untilGiven || request.span.toMs == nowMs) request.span.toMs += 1;
  if (request.span.toMs <= request.span.fromMs) return "the span ends before it begins";
  if (request.format == ReportFormat::kPng && request.output.empty())
    return "--format png needs --output FILE";
  return {};
}

int WriteReport(const ReportRequest& request, platform::IHistoryStore& store, std::ostream& out,
                std::ostream& err) {
  std::ofstream file;
  std::ostream* sink = &out;
  if (!request.output.empty() && request.format != ReportFormat::kPng) {
    file.open(request.output, std::ios::binary | std::ios::trunc);
    if (!file) {
      err << "quorvane: cannot write " << request.output << "\n";
      return 1;
    }
    sink = &file;
  }
  SpanAccumulator accumulator;
  std::optional<Chart> chart;
  if (request.format == ReportFormat::kPng) chart.emplace(request.span);
  const bool csv = request.format == ReportFormat::kCsv;
  if (csv) WriteCsvHeader(*sink);
  const std::string error = store.Read(request.span.fromMs, request.span.toMs, [&](const HistoryRecord& r) {
    if (csv) {
      WriteCsvRow(*sink, r);
      return;
    }
    accumulator.Add(r);
    if (chart) chart->Add(r);
  });
  if (!error.empty()) {
    err << "quorvane: " << error << "\n";
    return 1;
  }
  const SpanStats stats = accumulator.Finish();
  switch (request.format) {
    case ReportFormat::kText: WriteText(*sink, request.span, stats); break;
    case ReportFormat::kJson: WriteJson(*sink, request.span, stats); break;
    case ReportFormat::kCsv: break;
    case ReportFormat::kPng:
      try {
        TBitmap bitmap;
        chart->Draw(bitmap, stats);
        png::SaveToFile(bitmap, request.output);
      } catch (const Exception& e) {
        err << "quorvane: " << e.Message() << "\n";
        return 1;
      }
      break;
  }
  sink->flush();
  if (!*sink) {
    err << "quorvane: cannot write the report\n";
    return 1;
  }
  return 0;
}

int RunReport(const std::vector<std::string>& args, std::int64_t nowMs, platform::IHistoryStore& store,
              const std::function<std::string()>& open, std::ostream& out, std::ostream& err) {
  ReportRequest request;
  if (const std::string error = ParseReportArguments(args, nowMs, request); !error.empty()) {
    err << "quorvane: " << error << "\n" << kReportUsage;
    return 2;
  }
  if (request.help) {
    out << kReportUsage;
    return 0;
  }
  if (const std::string error = open(); !error.empty()) {
    err << "quorvane: " << error << "\n";
    return 1;
  }
  return WriteReport(request, store, out, err);
}

std::string WriteChartAndCsv(const std::vector<platform::HistoryRecord>& records, const ReportSpan& span,
                             const std::string& base) {
  std::ofstream csv(base + ".csv", std::ios::binary | std::ios::trunc);
  if (!csv) return "cannot write " + base + ".csv";
  WriteCsvHeader(csv);
  SpanAccumulator accumulator;
  Chart chart(span);
  for (const HistoryRecord& r : records) {
    if (r.time.wallMs < span.fromMs || r.time.wallMs >= span.toMs) continue;
    WriteCsvRow(csv, r);
    accumulator.Add(r);
    chart.Add(r);
  }
  csv.flush();
  if (!csv) return "cannot write " + base + ".csv";
  try {
    TBitmap bitmap;
    chart.Draw(bitmap, accumulator.Finish());
    png::SaveToFile(bitmap, base + ".png");
  } catch (const Exception& e) {
    return e.Message();
  }
  return {};
}

}  // namespace qv::history
