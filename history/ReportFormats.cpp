#include "history/ReportFormats.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "platform/Latin1.h"

namespace qv::history {

namespace {

std::string Fixed(double value, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
  return buf;
}

std::tm Broken(std::int64_t wallMs, bool local) {
  const std::time_t seconds = static_cast<std::time_t>(wallMs >= 0 ? wallMs / 1000 : (wallMs - 999) / 1000);
  std::tm tm{};
  if (local)
    localtime_r(&seconds, &tm);
  else
    gmtime_r(&seconds, &tm);
  return tm;
}

bool ValidUtf8(const std::string& s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (extra < 0 || i + static_cast<std::size_t>(extra) >= s.size()) return false;
    for (int k = 1; k <= extra; ++k)
      if ((static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]) >> 6) != 2) return false;
    i += static_cast<std::size_t>(extra) + 1;
  }
  return true;
}

std::string JsonString(const std::string& bytes) {
  std::string out = "\"";
  for (char ch : DisplayUtf8(bytes)) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

template <typename T>
std::string JsonOptional(const std::optional<T>& value, int decimals) {
  return value ? Fixed(static_cast<double>(*value), decimals) : "null";
}

const char* EndName(OutageEnd end) {
  switch (end) {
    case OutageEnd::kReply: return "reply";
    case OutageEnd::kNoData: return "no data";
    case OutageEnd::kOpen: return "open";
  }
  return "";
}

// "3 outages, longest 5 min 12 s"
std::string OutageLine(const SpanStats& s) {
  if (s.outages.empty()) return "no outage";
  return std::to_string(s.outages.size()) + (s.outages.size() == 1 ? " outage" : " outages") + ", longest " +
         Duration(s.longestOutageMs);
}

std::string RoundTripLine(const SpanStats& s) {
  if (!s.roundTrip) return "no reply";
  const RoundTrip& rt = *s.roundTrip;
  std::string line = "min " + std::to_string(rt.minMs) + ", mean " + Fixed(rt.meanMs, 1) + ", 95 % " +
                     std::to_string(rt.p95Ms) + ", max " + std::to_string(rt.maxMs) + " ms";
  if (s.jitterMs) line += "; jitter " + Fixed(*s.jitterMs, 1) + " ms";
  return line;
}

}  // namespace

std::string IsoUtc(std::int64_t wallMs) {
  const std::tm tm = Broken(wallMs, false);
  char buf[96];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900, tm.tm_mon + 1,
                tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                static_cast<int>(((wallMs % 1000) + 1000) % 1000));
  return buf;
}

std::string LocalTime(std::int64_t wallMs) {
  const std::tm tm = Broken(wallMs, true);
  char buf[40];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}

std::string Duration(std::int64_t ms) {
  if (ms < 1000) return std::to_string(ms) + " ms";
  const std::int64_t s = ms / 1000;
  char buf[64];
  if (s < 60)
    std::snprintf(buf, sizeof buf, "%lld s", static_cast<long long>(s));
  else if (s < 3600)
    std::snprintf(buf, sizeof buf, "%lld min %02lld s", static_cast<long long>(s / 60),
                  static_cast<long long>(s % 60));
  else if (s < 86400)
    std::snprintf(buf, sizeof buf, "%lld h %02lld min", static_cast<long long>(s / 3600),
                  static_cast<long long>(s / 60 % 60));
  else
    std::snprintf(buf, sizeof buf, "%lld d %02lld h", static_cast<long long>(s / 86400),
                  static_cast<long long>(s / 3600 % 24));
  return buf;
}

std::string DisplayUtf8(const std::string& bytes) {
  return ValidUtf8(bytes) ? bytes : platform::Latin1ToUtf8(bytes);
}

std::string PercentText(const std::optional<double>& value) {
  return value ? Fixed(*value, 2) + " %" : "-";
}

std::string KindName(HistoryKind kind) {
  switch (kind) {
    case HistoryKind::kEcho: return "echo";
    case HistoryKind::kAutoStart: return "automatic start";
    case HistoryKind::kManualStart: return "manual start";
    case HistoryKind::kLogChange: return "log change";
  }
  return "unknown";
}

std::string SummaryHint(const SpanStats& hour, const SpanStats& day) {
  auto block = [](const char* title, const SpanStats& s) {
    std::string text = std::string(title) + ": ";
    if (s.cycles == 0) return text + "no echo cycles";
    text += std::to_string(s.cycles) + " cycles, loss " + PercentText(s.lossPercent) + ", availability " +
            PercentText(s.availabilityPercent) + "\n  round trip " + RoundTripLine(s) + "\n  " +
            OutageLine(s);
    return text;
  };
  return block("Last hour", hour) + "\n" + block("Last 24 hours", day);
}

void WriteText(std::ostream& out, const ReportSpan& span, const SpanStats& s) {
  out << "Quorvane connection report\n"
      << "Span:            " << LocalTime(span.fromMs) << " to " << LocalTime(span.toMs) << " (local time)\n";
  std::string destinations;
  for (const std::string& d : s.destinations)
    destinations += (destinations.empty() ? "" : ", ") + DisplayUtf8(d);
  out << "Destination:     " << (destinations.empty() ? "-" : destinations) << "\n"
      << "Echo cycles:     " << s.cycles << " (" << s.replies << " replies, " << s.failed << " failed)\n"
      << "Loss:            " << PercentText(s.lossPercent) << "\n"
      << "Round trip:      " << RoundTripLine(s) << "\n"
      << "Outages:         " << OutageLine(s) << "\n"
      << "Availability:    " << PercentText(s.availabilityPercent) << " (up " << Duration(s.upMs) << ", down "
      << Duration(s.downMs) << ", no data " << Duration(s.noDataMs) << ")\n"
      << "Program starts:  " << s.automaticStarts << " automatic, " << s.manualStarts << " manual\n"
      << "Log changes:     " << s.logChanges << "\n";
  if (s.outages.empty()) return;
  out << "\nOutages\n"
      << "  begin                end                  duration        failed cycles  ended by\n";
  for (const Outage& o : s.outages) {
    char line[200];
    std::snprintf(line, sizeof line, "  %-19s  %-19s  %-14s  %13lld  %s\n", LocalTime(o.startWallMs).c_str(),
                  o.end == OutageEnd::kOpen ? "(still going)" : LocalTime(o.endWallMs).c_str(),
                  Duration(o.durationMs).c_str(), static_cast<long long>(o.failedCycles), EndName(o.end));
    out << line;
  }
}

void WriteJson(std::ostream& out, const ReportSpan& span, const SpanStats& s) {
  out << "{\n  \"from\": \"" << IsoUtc(span.fromMs) << "\",\n  \"to\": \"" << IsoUtc(span.toMs) << "\",\n";
  out << "  \"destinations\": [";
  for (std::size_t i = 0; i < s.destinations.size(); ++i)
    out << (i ? ", " : "") << JsonString(s.destinations[i]);
  out << "],\n  \"cycles\": " << s.cycles << ",\n  \"replies\": " << s.replies
      << ",\n  \"failed\": " << s.failed << ",\n  \"loss_percent\": " << JsonOptional(s.lossPercent, 3)
      << ",\n  \"round_trip_ms\": ";
  if (s.roundTrip)
    out << "{\"min\": " << s.roundTrip->minMs << ", \"mean\": " << Fixed(s.roundTrip->meanMs, 3)
        << ", \"p95\": " << s.roundTrip->p95Ms << ", \"max\": " << s.roundTrip->maxMs << "}";
  else
    out << "null";
  out << ",\n  \"jitter_ms\": " << JsonOptional(s.jitterMs, 3)
      << ",\n  \"outage_count\": " << s.outages.size() << ",\n  \"longest_outage_ms\": " << s.longestOutageMs
      << ",\n  \"availability_percent\": " << JsonOptional(s.availabilityPercent, 3)
      << ",\n  \"up_ms\": " << s.upMs << ",\n  \"down_ms\": " << s.downMs
      << ",\n  \"no_data_ms\": " << s.noDataMs << ",\n  \"gaps\": " << s.gaps.size()
      << ",\n  \"automatic_starts\": " << s.automaticStarts << ",\n  \"manual_starts\": " << s.manualStarts
      << ",\n  \"log_changes\": " << s.logChanges << ",\n  \"outages\": [";
  for (std::size_t i = 0; i < s.outages.size(); ++i) {
    const Outage& o = s.outages[i];
    out << (i ? ",\n    " : "\n    ") << "{\"start\": \"" << IsoUtc(o.startWallMs) << "\", \"end\": ";
    if (o.end == OutageEnd::kOpen)
      out << "null";
    else
      out << "\"" << IsoUtc(o.endWallMs) << "\"";
    out << ", \"duration_ms\": " << o.durationMs << ", \"failed_cycles\": " << o.failedCycles
        << ", \"ended_by\": \"" << EndName(o.end) << "\"}";
  }
  out << (s.outages.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

void WriteCsvHeader(std::ostream& out) {
  out << "time_utc,wall_ms,run,kind,subject,status,round_trip_ms\r\n";
}

void WriteCsvRow(std::ostream& out, const HistoryRecord& r) {
  std::string subject = DisplayUtf8(r.subject);
  // Quoted when it must be; a leading formula sign is defused so that a
  // spreadsheet shows the text instead of running it.
  if (!subject.empty() && (subject[0] == '=' || subject[0] == '+' || subject[0] == '-' || subject[0] == '@'))
    subject.insert(subject.begin(), '\'');
  if (subject.find_first_of(",\"\r\n") != std::string::npos) {
    std::string quoted = "\"";
    for (char c : subject) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    subject = quoted + "\"";
  }
  out << IsoUtc(r.time.wallMs) << ',' << r.time.wallMs << ',' << r.run << ',' << KindName(r.kind) << ','
      << subject << ',' << r.status << ',';
  if (r.roundTripMs >= 0) out << r.roundTripMs;
  out << "\r\n";
}

}  // namespace qv::history
