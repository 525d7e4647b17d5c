// Where the connection history is kept: one record per echo cycle, per start
// of the watched program and per change of the watched log file, in the order
// they happened. The real store is a database file; tests keep it in memory.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Clock.h"

namespace qv::platform {

enum class HistoryKind : std::uint8_t {
  kEcho = 0,         // status 0 with a reply, else the echo's error code
  kAutoStart = 1,    // status: the launcher's result (33 = started)
  kManualStart = 2,  // likewise
  kLogChange = 3,    // status 0
};

struct HistoryRecord {
  std::int64_t run = 0;  // which run of the program wrote it (the store numbers the runs)
  HistoryKind kind = HistoryKind::kEcho;
  ClockReading time;
  std::int32_t status = 0;
  std::int32_t roundTripMs = -1;  // echoes with a reply only
  std::string subject;            // echo: the destination; start: the command; log change: the file
  bool Reply() const { return kind == HistoryKind::kEcho && roundTripMs >= 0; }
};

class IHistoryStore {
 public:
  virtual ~IHistoryStore() = default;

  // Opens the store, creating it when it does not exist. An empty text on
  // success, else why not; a store that cannot be opened is left as it is.
  // An open store may still be read-only (Writable() false).
  virtual std::string Open() = 0;
  virtual bool Writable() const = 0;
  // Numbers a new run of the program; 0 when it cannot be written.
  virtual std::int64_t BeginRun(std::int64_t wallMs) = 0;
  // Writes all records or none (one transaction). Empty text on success.
  virtual std::string Append(const std::vector<HistoryRecord>& records) = 0;
  // Calls `visit` for every record whose wall time lies in [fromMs, toMs), in
  // the order they were written. The record is reused between calls. Empty
  // text on success.
  virtual std::string Read(std::int64_t fromMs, std::int64_t toMs,
                           const std::function<void(const HistoryRecord&)>& visit) = 0;
  // Removes up to `maxRecords` of the oldest records that are older than
  // `keepFromMs`, or the oldest ones while the store takes more than
  // `maxBytes`. Returns how many went.
  virtual std::int64_t Prune(std::int64_t keepFromMs, std::int64_t maxBytes, int maxRecords) = 0;
  // Bytes the records take (the file's pages in use).
  virtual std::int64_t SizeBytes() = 0;
};

}  // namespace qv::platform
