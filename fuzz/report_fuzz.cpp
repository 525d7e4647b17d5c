// The connection report: its options and times as a user types them, and the
// figures and rows it writes for records whatever they hold. Besides not
// crashing, every CSV row must read back as its seven fields and no control
// character may reach the JSON unescaped.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "history/ReportCommand.h"
#include "history/ReportFormats.h"
#include "history/Statistics.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

constexpr std::int64_t kNowMs = 1'780'000'000'000;  // a fixed "now" in 2026

// The fields of one CSV row (RFC 4180 quoting), without its CR LF.
std::vector<std::string> CsvFields(const std::string& row) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (std::size_t i = 0; i < row.size(); ++i) {
    const char c = row[i];
    if (quoted) {
      if (c == '"' && i + 1 < row.size() && row[i + 1] == '"') {
        fields.back() += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        fields.back() += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  Check(!quoted);
  return fields;
}

template <typename T>
T Take(const std::string& bytes, std::size_t& at) {
  T value{};
  if (at + sizeof value <= bytes.size()) std::memcpy(&value, bytes.data() + at, sizeof value);
  at += sizeof value;
  return value;
}

void Options(const std::string& text) {
  std::vector<std::string> args;
  std::string word;
  for (char c : text) {
    if (c == '\n') {
      args.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  args.push_back(word);
  qv::history::ReportRequest request;
  const std::string problem = qv::history::ParseReportArguments(args, kNowMs, request);
  if (problem.empty() && !request.help) Check(request.span.fromMs <= request.span.toMs);
  std::int64_t wallMs = 0;
  qv::history::ParseReportTime(text, kNowMs, wallMs);
}

void Records(const std::string& bytes) {
  std::vector<qv::history::HistoryRecord> records;
  std::size_t at = 0;
  while (at + 16 <= bytes.size() && records.size() < 200) {
    qv::history::HistoryRecord r;
    r.kind = static_cast<qv::platform::HistoryKind>(Take<std::uint8_t>(bytes, at) % 4);
    r.run = Take<std::uint8_t>(bytes, at) % 3;
    r.time.wallMs = kNowMs + Take<std::int32_t>(bytes, at);
    r.time.monoMs = Take<std::uint32_t>(bytes, at);
    r.time.suspendMs = Take<std::uint8_t>(bytes, at) * 1000;
    r.status = Take<std::int8_t>(bytes, at);
    r.roundTripMs = Take<std::int16_t>(bytes, at);
    const std::size_t length = Take<std::uint8_t>(bytes, at) % 24;
    r.subject = bytes.substr(std::min(at, bytes.size()), length);
    at += length;
    records.push_back(r);
  }
  const qv::history::SpanStats stats = qv::history::Summarize(records);
  const qv::history::ReportSpan span{kNowMs - 86'400'000, kNowMs + 86'400'000};
  std::ostringstream text, json;
  qv::history::WriteText(text, span, stats);
  qv::history::WriteJson(json, span, stats);
  for (const char c : json.str()) Check(static_cast<unsigned char>(c) >= 0x20 || c == '\n');
  for (const auto& r : records) {
    std::ostringstream row;
    qv::history::WriteCsvRow(row, r);
    std::string line = row.str();
    Check(line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0);
    line.resize(line.size() - 2);
    Check(CsvFields(line).size() == 7);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] & 1)
    Options(rest);
  else
    Records(rest);
  return 0;
}
