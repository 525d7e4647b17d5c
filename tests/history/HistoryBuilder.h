// Synthetic histories: echo cycles and other events on a clock the test moves.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/History.h"

namespace qv::testing {

class HistoryBuilder {
 public:
  explicit HistoryBuilder(std::int64_t stepMs = 1000) : stepMs_(stepMs) {}

  // One cycle `stepMs` after the previous record.
  HistoryBuilder& Reply(std::int32_t ms) { return Add(platform::HistoryKind::kEcho, 0, ms); }
  HistoryBuilder& Fail(std::int32_t status = 11010) { return Add(platform::HistoryKind::kEcho, status, -1); }
  HistoryBuilder& Replies(int n, std::int32_t ms) {
    for (int i = 0; i < n; ++i) Reply(ms);
    return *this;
  }
  HistoryBuilder& Fails(int n) {
    for (int i = 0; i < n; ++i) Fail();
    return *this;
  }
  HistoryBuilder& Start(bool automatic) {
    return Add(automatic ? platform::HistoryKind::kAutoStart : platform::HistoryKind::kManualStart, 33, -1,
               0);
  }
  HistoryBuilder& LogChange() { return Add(platform::HistoryKind::kLogChange, 0, -1, 0); }
  // Time passes with the watch running but no cycle (the next step comes on top).
  HistoryBuilder& Silence(std::int64_t ms) {
    now_.wallMs += ms;
    now_.monoMs += ms;
    return *this;
  }
  HistoryBuilder& Suspend(std::int64_t ms) {
    now_.wallMs += ms;
    now_.suspendMs += ms;
    return *this;
  }
  HistoryBuilder& StepWall(std::int64_t ms) {
    now_.wallMs += ms;
    return *this;
  }
  // The program ends and starts again `ms` later (a new run, a new boot).
  HistoryBuilder& Restart(std::int64_t ms) {
    ++run_;
    now_.wallMs += ms;
    now_.monoMs = 5'000;
    return *this;
  }

  std::vector<platform::HistoryRecord> records;

 private:
  HistoryBuilder& Add(platform::HistoryKind kind, std::int32_t status, std::int32_t ms,
                      std::int64_t step = -1) {
    const std::int64_t advance = step < 0 ? stepMs_ : step;
    now_.wallMs += advance;
    now_.monoMs += advance;
    platform::HistoryRecord r;
    r.run = run_;
    r.kind = kind;
    r.time = now_;
    r.status = status;
    r.roundTripMs = ms;
    r.subject = kind == platform::HistoryKind::kEcho ? "127.0.0.1" : "/usr/bin/true";
    records.push_back(r);
    return *this;
  }

  std::int64_t stepMs_;
  std::int64_t run_ = 1;
  platform::ClockReading now_{1'700'000'000'000, 1'000'000, 0};
};

}  // namespace qv::testing
