// The log watch's line reader against the plain byte-at-a-time definition, on
// generated texts cut into random pieces and on files that grow, are rewritten
// and are replaced.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <string>

#include "app/LogLineReader.h"
#include "platform/fake/FakeFiles.h"
#include "platform/fake/TempDir.h"
#include "platform/linux/LinuxFiles.h"

namespace qv::testing {
namespace {

using platform::fake::FakeFileSystem;

// Texts made of the bytes that matter: line ends of every kind, Ctrl-Z, plain
// characters, and now and then a line past the length limit.
std::string RandomLog(std::mt19937& random) {
  std::string text;
  const int parts = std::uniform_int_distribution<int>(0, 40)(random);
  for (int i = 0; i < parts; ++i) {
    switch (std::uniform_int_distribution<int>(0, 11)(random)) {
      case 0: text += '\r'; break;
      case 1: text += '\n'; break;
      case 2: text += "\r\n"; break;
      case 3:
        if (std::uniform_int_distribution<int>(0, 9)(random) == 0) text += kEndOfText;
        break;
      case 4:
        if (std::uniform_int_distribution<int>(0, 7)(random) == 0)
          text.append(kMaxLogLine + std::uniform_int_distribution<std::size_t>(0, 3)(random), 'L');
        break;
      default:
        text.append(std::uniform_int_distribution<std::size_t>(1, 12)(random),
                    static_cast<char>('a' + std::uniform_int_distribution<int>(0, 25)(random)));
    }
  }
  return text;
}

std::optional<std::string> Scanned(const LogLineScanner& scanner) {
  if (const std::string* line = scanner.Newest()) return *line;
  return std::nullopt;
}

TEST(LogLineScannerTest, AgreesWithThePlainReaderHoweverTheTextIsCut) {
  std::mt19937 random(20261209);
  for (int round = 0; round < 1500; ++round) {
    const std::string text = RandomLog(random);
    // Short texts are checked at every cut, which is also a possible end of
    // the file; long ones only at their end.
    const bool everyCut = text.size() < 4096;
    LogLineScanner scanner;
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t limit = round % 3 == 0 ? 4 : text.size() - at + 1;
      const std::size_t piece = std::uniform_int_distribution<std::size_t>(0, 70000)(random) % limit;
      scanner.Feed(std::string_view(text).substr(at, piece));
      at += piece;
      if (everyCut || at == text.size()) {
        ASSERT_EQ(Scanned(scanner), PlainNewestLine(std::string_view(text).substr(0, at)))
            << "round " << round;
      }
    }
  }
}

TEST(LogLineScannerTest, FollowsTheLineRules) {
  EXPECT_EQ(PlainNewestLine(""), std::nullopt);
  EXPECT_EQ(PlainNewestLine("\x1A"
                            "hidden"),
            std::nullopt);
  EXPECT_EQ(PlainNewestLine("one\r\ntwo\r\n"), "two");  // the empty text after the last end is no line
  EXPECT_EQ(PlainNewestLine("one\r\n\r\n"), "");        // an empty line is a line
  EXPECT_EQ(PlainNewestLine("one\rtwo\nthree\r\n\x1A"
                            "four\r\n"),
            "three");
  EXPECT_EQ(PlainNewestLine("no line end"), "no line end");
  EXPECT_EQ(PlainNewestLine(std::string(kMaxLogLine + 5, 'x') + "\r\n"), std::string(kMaxLogLine, 'x'));

  LogLineScanner scanner;
  scanner.Feed("one\r");
  scanner.Feed("\ntwo\x1A");  // the LF of a CR LF cut in two is no second line end
  scanner.Feed("three\r\n");
  EXPECT_EQ(Scanned(scanner), "two");
  EXPECT_TRUE(scanner.Ended());
  EXPECT_EQ(scanner.Consumed(), 9);  // up to and including the Ctrl-Z
}

// Counts the bytes read, to tell a read that goes on from one that starts over.
class CountingFiles final : public platform::IFileSystem {
 public:
  explicit CountingFiles(platform::IFileSystem& inner) : inner_(inner) {}

  platform::FileResult<platform::FileHandle> CreateOrTruncate(const std::string& path) override {
    return inner_.CreateOrTruncate(path);
  }
  platform::FileResult<platform::FileHandle> Open(const std::string& path, unsigned access, unsigned share,
                                                  platform::FileDisposition disposition) override {
    return inner_.Open(path, access, share, disposition);
  }
  platform::FileStatus Write(const platform::FileHandle& file, std::string_view bytes) override {
    return inner_.Write(file, bytes);
  }
  platform::FileResult<std::size_t> Read(const platform::FileHandle& file, std::span<char> buffer) override {
    auto got = inner_.Read(file, buffer);
    if (got.Ok()) bytesRead += got.value;
    return got;
  }
  platform::FileResult<std::int64_t> Seek(const platform::FileHandle& file, std::int64_t offset,
                                          platform::SeekOrigin origin) override {
    return inner_.Seek(file, offset, origin);
  }
  platform::FileResult<std::int64_t> Size(const platform::FileHandle& file) override {
    return inner_.Size(file);
  }
  platform::FileResult<platform::FileId> Identity(const platform::FileHandle& file) override {
    return inner_.Identity(file);
  }
  platform::FileStatus Close(platform::FileHandle& file) override { return inner_.Close(file); }

  std::size_t bytesRead = 0;

 private:
  platform::IFileSystem& inner_;
};

class LogLineReaderTest : public ::testing::Test {
 protected:
  LogLineReader::Result ReadLog(std::int64_t limit = LogLineReader::kNoLimit) {
    auto opened =
        files.Open("log", platform::kGenericRead, platform::kFileShareWrite, platform::kOpenExisting);
    EXPECT_TRUE(opened.Ok());
    counting.bytesRead = 0;
    LogLineReader::Result result = reader.Read(counting, opened.value, {}, limit);
    files.Close(opened.value);
    return result;
  }
  // Writes the file anew in place: the same file, other bytes.
  void Rewrite(const std::string& text) {
    auto opened = files.Open("log", platform::kGenericWrite,
                             platform::kFileShareRead | platform::kFileShareWrite, platform::kCreateAlways);
    ASSERT_TRUE(opened.Ok());
    ASSERT_TRUE(files.Write(opened.value, text).Ok());
    files.Close(opened.value);
  }

  FakeFileSystem files;
  CountingFiles counting{files};
  LogLineReader reader;
};

TEST_F(LogLineReaderTest, AGrowingLogIsReadOnlyWhereItGrew) {
  std::string text(200000, 'x');
  text += "\r\nfirst\r";
  files.SetFile("log", text);
  EXPECT_EQ(ReadLog().newest, "first");
  EXPECT_EQ(counting.bytesRead, text.size());

  text += "\nsecond";  // the LF completes the CR LF the last read ended on
  Rewrite(text);
  EXPECT_EQ(ReadLog().newest, "second");
  // The new bytes and the two stretches that show the file is the same one.
  EXPECT_LE(counting.bytesRead, 7 + 2 * LogLineReader::kCheckBytes);
  EXPECT_EQ(reader.Resumable(), static_cast<std::int64_t>(text.size()));

  // More than the limit to read: nothing read, the place kept for a read
  // without one.
  text += std::string(100000, 'y') + "\nthird";
  Rewrite(text);
  const LogLineReader::Result tooLong = ReadLog(99999);
  EXPECT_TRUE(tooLong.Ok() && tooLong.tooLong && !tooLong.newest);
  EXPECT_LE(counting.bytesRead, 2 * LogLineReader::kCheckBytes);
  EXPECT_EQ(ReadLog(100006).newest, "third");
  EXPECT_LE(counting.bytesRead, 100006 + 2 * LogLineReader::kCheckBytes);

  text +=
      "\x1A"
      "gone\r\n";
  Rewrite(text);
  EXPECT_EQ(ReadLog().newest, "third");
  text += "more after the end\r\n";
  Rewrite(text);
  EXPECT_EQ(ReadLog().newest, "third");
}

TEST_F(LogLineReaderTest, RewrittenTruncatedOrReplacedLogsAreReadAnew) {
  std::mt19937 random(7);
  std::string text;
  for (int round = 0; round < 300; ++round) {
    const int change = std::uniform_int_distribution<int>(0, 9)(random);
    const std::string more = RandomLog(random);
    if (change == 0) {
      text = more;  // a new file under the same name
      files.SetFile("log", text);
    } else if (change == 1 && !text.empty()) {
      // Rewritten in place, longer than before, one byte differing in a stretch
      // that is compared (a change between them is a known limit).
      std::size_t at = std::uniform_int_distribution<std::size_t>(0, LogLineReader::kCheckBytes - 1)(random);
      if (std::uniform_int_distribution<int>(0, 1)(random) == 0) at = text.size() - 1 - at;
      at = std::min(at, text.size() - 1);
      text[at] = "\r\n\x1Az"[std::uniform_int_distribution<int>(0, 3)(random)];
      text += more;
      Rewrite(text);
    } else if (change == 2) {
      text.resize(text.size() / 2);  // truncated
      Rewrite(text);
    } else {
      text += more;
      Rewrite(text);
    }
    const LogLineReader::Result result = ReadLog();
    ASSERT_TRUE(result.Ok());
    ASSERT_EQ(result.newest, PlainNewestLine(text)) << "round " << round << ", change " << change;
  }
}

TEST_F(LogLineReaderTest, AReplacedFileIsReadAnewEvenWhenItsEndsMatch) {
  // The checked stretches at both ends are the same; only the identity differs.
  const std::string filler(3 * LogLineReader::kCheckBytes, 'a');
  files.SetFile("log", filler + "\r\n" + filler + "\r\n");
  EXPECT_EQ(ReadLog().newest, filler);
  files.SetFile("log", filler + "\x1A\n" + filler + "\r\nnew\r\n");
  EXPECT_EQ(ReadLog().newest, filler);
}

TEST_F(LogLineReaderTest, AFailedReadIsReportedAndTheNextStartsOver) {
  files.SetFile("log", "one\r\ntwo\r\n");
  files.FailCalls(platform::fake::FileCall::kRead, EIO, 1);
  EXPECT_FALSE(ReadLog().Ok());
  EXPECT_EQ(reader.Resumable(), 0);
  EXPECT_EQ(ReadLog().newest, "two");
  files.FailCalls(platform::fake::FileCall::kSize, EIO, 1);  // the identity is a stat call too
  EXPECT_FALSE(ReadLog().Ok());
}

TEST(LogLineReaderSparseTest, HolesAreSteppedOverAndReadAsZeros) {
  platform::fake::TempDir dir;
  platform::LinuxFileSystem real;
  CountingFiles files(real);
  const std::string path = dir.File("sparse.log");
  std::mt19937 random(5);
  LogLineReader reader;
  std::string text;  // the file as it reads, holes as zeros
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  for (int round = 0; round < 40; ++round) {
    // Holes of whole blocks, at the start, inside lines, between them and at
    // the end (a file made longer); every fifth round the log starts anew.
    if (round % 5 == 0) {
      ASSERT_EQ(::ftruncate(fd, 0), 0);
      text.clear();
    }
    text.resize(text.size() + 4096 * std::uniform_int_distribution<std::size_t>(0, 300)(random), '\0');
    const std::string more = RandomLog(random);
    ASSERT_EQ(::pwrite(fd, more.data(), more.size(), static_cast<off_t>(text.size())),
              static_cast<ssize_t>(more.size()));
    text += more;
    if (round % 4 == 1) text.resize(text.size() + (1 << 20), '\0');
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(text.size())), 0);

    auto opened =
        files.Open(path, platform::kGenericRead, platform::kFileShareWrite, platform::kOpenExisting);
    ASSERT_TRUE(opened.Ok());
    const LogLineReader::Result result = reader.Read(files, opened.value);
    files.Close(opened.value);
    ASSERT_TRUE(result.Ok());
    ASSERT_EQ(result.newest, PlainNewestLine(text)) << "round " << round;
  }
  ::close(fd);

  // Gigabytes of hole cost the bytes around it, not the hole.
  ASSERT_EQ(::truncate(path.c_str(), 0), 0);
  ASSERT_EQ(::truncate(path.c_str(), std::int64_t{3} << 30), 0);
  std::FILE* log = std::fopen(path.c_str(), "ab");
  ASSERT_NE(log, nullptr);
  std::fputs("\r\nlast\r\n", log);
  std::fclose(log);
  auto opened = files.Open(path, platform::kGenericRead, platform::kFileShareWrite, platform::kOpenExisting);
  ASSERT_TRUE(opened.Ok());
  files.bytesRead = 0;
  EXPECT_EQ(reader.Read(files, opened.value).newest, "last");
  EXPECT_LE(files.bytesRead, 2 * LogLineReader::kCheckBytes + 4096);
  files.Close(opened.value);
}

}  // namespace
}  // namespace qv::testing
