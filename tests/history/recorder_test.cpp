// The recorder on the memory store: batches in order, one message for a store
// that cannot be used while recording goes on, retention, the summaries.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "history/Recorder.h"
#include "platform/fake/MemoryHistoryStore.h"

namespace qv::testing {
namespace {

using platform::fake::ManualClock;
using platform::fake::MemoryHistoryStore;

struct Problems {
  std::mutex mutex;
  std::vector<std::string> messages;
  std::function<void(const std::string&)> Sink() {
    return [this](const std::string& m) {
      std::lock_guard lock(mutex);
      messages.push_back(m);
    };
  }
};

TEST(HistoryRecorder, RecordsFromSeveralThreadsReachTheStoreInBatchesInOrder) {
  MemoryHistoryStore store;
  ManualClock clock;
  Problems problems;
  history::RecorderOptions options;
  options.batchMax = 64;
  {
    history::Recorder recorder(&store, clock, options, problems.Sink());
    std::thread worker([&] {
      for (int i = 0; i < 500; ++i) recorder.RecordEcho("127.0.0.1", true, 0, i);
    });
    for (int i = 0; i < 20; ++i) recorder.RecordStart(i % 2 == 0, "prog", 33);
    recorder.RecordLogChange("/var/log/x.log");
    worker.join();
    recorder.Flush();
    EXPECT_TRUE(recorder.Persistent());
  }
  const auto records = store.Records();
  ASSERT_EQ(records.size(), 521u);
  EXPECT_GT(store.Batches(), 1);
  EXPECT_LT(store.Batches(), 521);
  int next = 0;
  for (const auto& r : records) {
    EXPECT_EQ(r.run, 1);
    if (r.kind == platform::HistoryKind::kEcho) {
      EXPECT_EQ(r.roundTripMs, next++);  // the worker's own order
    }
  }
  EXPECT_TRUE(problems.messages.empty());
}

TEST(HistoryRecorder, AStoreThatCannotBeUsedIsReportedOnceAndRecordingGoesOnInMemory) {
  for (const bool damaged : {true, false}) {
    MemoryHistoryStore store;
    if (damaged)
      store.openError = "History /x cannot be opened: file is not a database";
    else
      store.readOnly = true;
    ManualClock clock;
    Problems problems;
    history::Recorder recorder(&store, clock, {}, problems.Sink());
    for (int i = 0; i < 3; ++i) {
      recorder.RecordEcho("127.0.0.1", i != 1, 11010, 4);
      clock.Advance(1000);
      recorder.Flush();
    }
    ASSERT_EQ(problems.messages.size(), 1u) << damaged;
    EXPECT_NE(problems.messages[0].find(damaged ? "not a database" : "read-only"), std::string::npos);
    EXPECT_FALSE(recorder.Persistent());
    EXPECT_EQ(recorder.Recent().size(), 3u);
    EXPECT_NE(recorder.Summary().find("Last hour: 3 cycles, loss 33.33 %"), std::string::npos)
        << recorder.Summary();
    EXPECT_TRUE(store.Records().empty());
  }
}

TEST(HistoryRecorder, AFailedWriteIsReportedOnceAndTheStoreIsLeftAlone) {
  MemoryHistoryStore store;
  ManualClock clock;
  Problems problems;
  history::Recorder recorder(&store, clock, {}, problems.Sink());
  recorder.RecordEcho("127.0.0.1", true, 0, 1);
  recorder.Flush();
  store.readOnly = true;  // the disk went read-only under the program
  for (int i = 0; i < 3; ++i) {
    recorder.RecordEcho("127.0.0.1", true, 0, 1);
    recorder.Flush();
  }
  EXPECT_EQ(problems.messages.size(), 1u);
  EXPECT_EQ(store.Records().size(), 1u);
  EXPECT_EQ(recorder.Recent().size(), 4u);
}

TEST(HistoryRecorder, OldRecordsArePrunedAFewAtATimeByAgeAndBySize) {
  MemoryHistoryStore store;
  ManualClock clock;
  history::RecorderOptions options;
  options.keepMs = 10'000;
  options.pruneRecords = 2;
  options.maxBytes = 1'000'000;
  history::Recorder recorder(&store, clock, options, nullptr);
  for (int i = 0; i < 10; ++i) recorder.RecordEcho("a", true, 0, i);
  recorder.Flush();
  EXPECT_EQ(store.Records().size(), 10u);
  clock.Advance(20'000);  // now all ten are too old: two go per batch
  recorder.RecordEcho("a", true, 0, 99);
  recorder.Flush();
  EXPECT_EQ(store.Records().size(), 9u);
  EXPECT_EQ(store.Records().front().roundTripMs, 2);
  store.bytesPerRecord = 1'000'000;  // now the size is over: the oldest go, whatever their age
  recorder.RecordEcho("a", true, 0, 100);
  recorder.Flush();
  EXPECT_EQ(store.Records().front().roundTripMs, 4);
}

TEST(HistoryRecorder, TheSummaryCoversTheLastHourAndDayIncludingEarlierRuns) {
  MemoryHistoryStore store;
  ManualClock clock;
  {
    history::Recorder first(&store, clock, {}, nullptr);
    for (int i = 0; i < 4; ++i) {
      first.RecordEcho("127.0.0.1", false, 11010, 0);
      clock.Advance(1000);
    }
    first.Flush();
  }
  clock.Advance(2 * history::kHourMs);
  history::Recorder second(&store, clock, {}, nullptr);
  second.RecordEcho("127.0.0.1", true, 0, 12);
  second.Flush();
  const std::string hint = second.Summary();
  EXPECT_NE(hint.find("Last hour: 1 cycles, loss 0.00 %"), std::string::npos) << hint;
  EXPECT_NE(hint.find("Last 24 hours: 5 cycles, loss 80.00 %"), std::string::npos) << hint;
  EXPECT_NE(hint.find("1 outage, longest 3 s"), std::string::npos) << hint;
  EXPECT_EQ(store.Records().back().run, 2);
}

}  // namespace
}  // namespace qv::testing
