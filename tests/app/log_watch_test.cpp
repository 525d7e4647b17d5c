// The watch timer's log-file half on real files: logs rotated, deleted and
// rewritten in place, and logs beyond the 32-bit sizes.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "AppFixture.h"

namespace qv::testing {
namespace {

constexpr const char* kNewContent =
    "$$$ The monitored application has written new content to the monitor file";
constexpr std::int64_t kGiB = std::int64_t{1} << 30;

class LogWatchTest : public AppFixture {
 protected:
  TForm1& StartWatching() {
    SeedString("log", Log());
    SeedInteger("AppMonitorActive", 1);
    return Start();
  }
  std::string Log() const { return dir.File("watched.log"); }
  // A tick, then the end of any read it handed to the background.
  void Tick() {
    form->Timer1Timer(form->Timer1);
    SettleLogRead();
  }
  // A tick that lets no posted event run: with the watched program up, the
  // tick's application half returns before it would pump the event loop, so
  // a read handed to the background cannot end inside the tick.
  void TickWithTheProgramUp() {
    form->OnlyIfRunning1ApplicationFound(nullptr, "");
    form->Timer1Timer(form->Timer1);
  }
  void Append(const std::string& text) {
    std::FILE* file = std::fopen(Log().c_str(), "ab");
    ASSERT_NE(file, nullptr);
    std::fputs(text.c_str(), file);
    std::fclose(file);
  }
  // A sparse file: `hole` bytes that take no disk, then `text`.
  std::string WriteSparse(const std::string& name, std::int64_t hole, const std::string& text) {
    const std::string path = dir.File(name);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::ftruncate(fd, hole), 0);
    EXPECT_EQ(::pwrite(fd, text.data(), text.size(), hole), static_cast<ssize_t>(text.size()));
    ::close(fd);
    return path;
  }
};

TEST_F(LogWatchTest, RotatedDeletedAndRewrittenLogs) {
  dir.WriteFile("watched.log", "one\r\ntwo\r\n");
  TForm1& f = StartWatching();
  Append("three\r\n");
  Tick();
  EXPECT_EQ(Count("$$$ ==> three"), 1);

  // Renamed away and replaced: a change when the size differs...
  ASSERT_EQ(std::rename(Log().c_str(), dir.File("watched.log.1").c_str()), 0);
  dir.WriteFile("watched.log", "fresh\r\n");
  Tick();
  EXPECT_EQ(Count("$$$ ==> fresh"), 1);
  EXPECT_EQ(f.WatchedLogSize, 7);
  // ...and nothing when it does not: only the size is compared.
  ASSERT_EQ(std::rename(Log().c_str(), dir.File("watched.log.2").c_str()), 0);
  dir.WriteFile("watched.log", "other\r\n");
  Tick();
  EXPECT_EQ(Count(kNewContent), 2);
  Append("next\r\n");
  Tick();
  EXPECT_EQ(Count("$$$ ==> next"), 1);

  // Rewritten in place to the same size between two ticks: not seen. A Ctrl-Z
  // now ends the text early, and the next change must not go by what the
  // earlier read saw.
  dir.WriteFile("watched.log", "other\x1A\nnext\r\n");
  Tick();
  EXPECT_EQ(Count(kNewContent), 3);
  Append("last\r\n");
  Tick();
  EXPECT_EQ(Count("$$$ ==> other"), 1);
  EXPECT_EQ(Count("$$$ ==> last"), 0);

  // Deleted: the failure line at every tick, the size kept.
  ASSERT_EQ(std::remove(Log().c_str()), 0);
  Tick();
  Tick();
  EXPECT_EQ(Count("File to monitor not found " + Log()), 2);
  EXPECT_EQ(f.WatchedLogSize, 19);
}

TEST_F(LogWatchTest, LongReadsRunInTheBackgroundAndTheChangeLogsItsLineWhenTheyEnd) {
  std::string text;
  for (int i = 0; i < 200000; ++i) text += "line " + std::to_string(i) + "\r\n";  // 2.3 MB
  dir.WriteFile("watched.log", text);
  TForm1& f = StartWatching();  // read ahead: a short growth reads only itself
  EXPECT_EQ(f.WatchedLogBytesKnown(), static_cast<std::int64_t>(text.size()));
  Append("appended\r\n");
  form->Timer1Timer(form->Timer1);
  EXPECT_FALSE(f.WatchedLogReading());
  EXPECT_EQ(Count("$$$ ==> appended"), 1);

  // A log replaced by a long one: announced at the tick, its line logged when
  // the background read ends, after what was logged meanwhile. A second tick
  // meanwhile does not announce the change again.
  ASSERT_EQ(std::rename(Log().c_str(), dir.File("watched.log.1").c_str()), 0);
  dir.WriteFile("watched.log", text + "the replacement\r\n");
  TickWithTheProgramUp();
  EXPECT_TRUE(f.WatchedLogReading());
  f.LogEvent("meanwhile");
  Append("later\r\n");
  TickWithTheProgramUp();
  SettleLogRead();
  const std::vector<std::string> all = Messages();
  const auto at = [&](const std::string& message) { return std::find(all.rbegin(), all.rend(), message); };
  EXPECT_GT(at(kNewContent), at("meanwhile"));
  EXPECT_GT(at("meanwhile"), at("$$$ ==> later"));
  EXPECT_EQ(Count(kNewContent), 2);
  EXPECT_EQ(Count("$$$ ==> the replacement"), 0);
  EXPECT_EQ(f.WatchedLogSize, static_cast<std::int64_t>(text.size() + 24));
  EXPECT_EQ(f.WatchedLogBytesKnown(), f.WatchedLogSize);

  // A newly chosen log that changes and vanishes before its read-ahead ends.
  const std::string other = dir.WriteFile("other.log", text);
  dialogs.files.push_back(other);
  f.Panel9Click(f.Panel9);
  std::FILE* file = std::fopen(other.c_str(), "ab");
  ASSERT_NE(file, nullptr);
  std::fputs("gone\r\n", file);
  std::fclose(file);
  TickWithTheProgramUp();
  ASSERT_EQ(std::remove(other.c_str()), 0);
  SettleLogRead();
  EXPECT_EQ(Messages().back(), "File to monitor not found " + other);
  EXPECT_EQ(Count("$$$ ==> gone"), 0);
}

TEST_F(LogWatchTest, SizesBeyondThirtyTwoBitsAreComparedWhole) {
  WriteSparse("watched.log", 4 * kGiB, "\r\nfirst\r\n");
  TForm1& f = StartWatching();
  EXPECT_EQ(Count("Monitoring file " + Log() + ", Size=4294967305b"), 1);
  EXPECT_EQ(f.WatchedLogSize, 4 * kGiB + 9);
  Tick();
  EXPECT_EQ(Count(kNewContent), 0);

  // Replaced by a file 4 GiB smaller: the same size in 32 bits, still a change.
  const std::string small = dir.WriteFile("small.log", "\r\nother\r\n");
  ASSERT_EQ(std::rename(small.c_str(), Log().c_str()), 0);
  Tick();
  EXPECT_EQ(Count("$$$ ==> other"), 1);
  EXPECT_EQ(f.WatchedLogSize, 9);

  // Beyond 2 GiB no negative size, beyond 4 GiB no wrapped one.
  for (const auto& [hole, sizeText] :
       {std::pair{3 * kGiB, "3221225480"}, std::pair{5 * kGiB, "5368709128"}}) {
    const std::string big = WriteSparse("big.log", hole, "\r\nlast\r\n");
    dialogs.files.push_back(big);
    f.Panel9Click(f.Panel9);
    EXPECT_EQ(Count("Monitoring file " + big + ", Size=" + sizeText + "b"), 1);
    EXPECT_EQ(f.WatchedLogSize, hole + 8);
    form->Timer1Timer(form->Timer1);  // not waiting for the read-ahead of gigabytes
    EXPECT_EQ(Count(kNewContent), 1);
  }
}

}  // namespace
}  // namespace qv::testing
