// One set of expectations run against the real file system and the in-memory
// double, so that components tested on the double behave the same on disk.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <optional>

#include "platform/Files.h"
#include "platform/fake/FakeFiles.h"
#include "platform/fake/TempDir.h"
#include "platform/linux/LinuxFiles.h"

namespace qv::platform {
namespace {

using fake::FakeFileSystem;
using fake::FileCall;
using fake::TempDir;

// The modes the watchdog uses: appending to its log and probing a file's size,
// and the watch's read that lets the owner go on writing.
constexpr unsigned kReadWrite = kGenericRead | kGenericWrite;

FileResult<FileHandle> OpenForAppend(IFileSystem& files, const std::string& path) {
  return files.Open(path, kReadWrite, kFileShareRead, kOpenExisting);
}

FileResult<FileHandle> OpenForWatching(IFileSystem& files, const std::string& path) {
  return files.Open(path, kGenericRead, kFileShareWrite, kOpenExisting);
}

// A separate process that keeps a file open for writing until told to stop.
class WriterProcess {
 public:
  explicit WriterProcess(const std::string& path) {
    int ready[2];
    int release[2];
    if (::pipe(ready) != 0 || ::pipe(release) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      // Only async-signal-safe calls between fork and exit.
      ::close(ready[0]);
      ::close(release[1]);
      int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
      char byte = fd >= 0 ? 'y' : 'n';
      (void)!::write(ready[1], &byte, 1);
      (void)!::read(release[0], &byte, 1);  // returns when the parent closes its end
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    releaseFd_ = release[1];
    char byte = 0;
    opened_ = ::read(ready[0], &byte, 1) == 1 && byte == 'y';
    ::close(ready[0]);
  }
  ~WriterProcess() { Stop(); }

  bool Opened() const { return opened_; }
  void Stop() {
    if (releaseFd_ >= 0) ::close(releaseFd_);
    releaseFd_ = -1;
    if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int releaseFd_ = -1;
  bool opened_ = false;
};

class DiskFiles {
 public:
  IFileSystem& Files() { return files_; }
  std::string PathOf(const std::string& name) { return dir_.File(name); }
  void Put(const std::string& name, const std::string& contents) { dir_.WriteFile(name, contents); }
  std::optional<std::string> Get(const std::string& name) {
    if (::access(PathOf(name).c_str(), F_OK) != 0) return std::nullopt;
    return dir_.ReadFile(name);
  }
  void MakeReadOnly(const std::string& name) { ASSERT_EQ(::chmod(PathOf(name).c_str(), 0444), 0); }
  bool HoldForWriting(const std::string& name) {
    writer_ = std::make_unique<WriterProcess>(PathOf(name));
    return writer_->Opened();
  }
  void ReleaseWriter() { writer_.reset(); }

 private:
  TempDir dir_;
  LinuxFileSystem files_;
  std::unique_ptr<WriterProcess> writer_;
};

class MemoryFiles {
 public:
  IFileSystem& Files() { return files_; }
  std::string PathOf(const std::string& name) { return "/mem/" + name; }
  void Put(const std::string& name, const std::string& contents) { files_.SetFile(PathOf(name), contents); }
  std::optional<std::string> Get(const std::string& name) { return files_.Contents(PathOf(name)); }
  void MakeReadOnly(const std::string& name) { files_.SetReadOnly(PathOf(name), true); }
  bool HoldForWriting(const std::string& name) {
    files_.SetHeldByOtherWriter(PathOf(name), true);
    held_ = name;
    return true;
  }
  void ReleaseWriter() { files_.SetHeldByOtherWriter(PathOf(held_), false); }

 private:
  FakeFileSystem files_;
  std::string held_;
};

template <typename Backend>
class FileContract : public ::testing::Test {
 protected:
  Backend backend;
  IFileSystem& files = backend.Files();
};

using Backends = ::testing::Types<DiskFiles, MemoryFiles>;
TYPED_TEST_SUITE(FileContract, Backends);

TYPED_TEST(FileContract, CreateOrTruncateEmptiesAnOldFileAndMakesAMissingOne) {
  this->backend.Put("old.log", "yesterday's lines\r\n");
  for (const char* name : {"old.log", "new.log"}) {
    auto created = this->files.CreateOrTruncate(this->backend.PathOf(name));
    ASSERT_TRUE(created.Ok()) << created.status.message;
    EXPECT_EQ(this->backend.Get(name), std::string()) << name;
    EXPECT_TRUE(this->files.Write(created.value, "first\r\n").Ok());
    EXPECT_TRUE(this->files.Close(created.value).Ok());
    EXPECT_EQ(this->backend.Get(name), "first\r\n");
  }
}

TYPED_TEST(FileContract, CreatedFileIsWriteOnly) {
  auto created = this->files.CreateOrTruncate(this->backend.PathOf("sys.log"));
  ASSERT_TRUE(created.Ok());
  char buffer[4];
  EXPECT_EQ(this->files.Read(created.value, buffer).status.error, EBADF);
}

TYPED_TEST(FileContract, AppendOpenOfAMissingFileFailsAndCreatesNothing) {
  auto opened = OpenForAppend(this->files, this->backend.PathOf("gone.log"));
  EXPECT_FALSE(opened.Ok());
  EXPECT_EQ(opened.status.error, ENOENT);
  EXPECT_FALSE(opened.value.IsOpen());
  EXPECT_FALSE(this->backend.Get("gone.log").has_value());
  EXPECT_EQ(OpenForWatching(this->files, this->backend.PathOf("gone.log")).status.error, ENOENT);
}

TYPED_TEST(FileContract, AppendWritesAfterTheExistingContent) {
  this->backend.Put("sys.log", "one\r\n");
  auto opened = OpenForAppend(this->files, this->backend.PathOf("sys.log"));
  ASSERT_TRUE(opened.Ok()) << opened.status.message;
  auto end = this->files.SeekToEnd(opened.value);
  ASSERT_TRUE(end.Ok());
  EXPECT_EQ(end.value, 5);
  ASSERT_TRUE(this->files.Write(opened.value, "two\r\n").Ok());
  EXPECT_EQ(this->files.Size(opened.value).value, 10);
  ASSERT_TRUE(this->files.Close(opened.value).Ok());
  EXPECT_FALSE(opened.value.IsOpen());
  EXPECT_EQ(this->backend.Get("sys.log"), "one\r\ntwo\r\n");
}

TYPED_TEST(FileContract, ReadsFromThePositionToTheEnd) {
  this->backend.Put("watched.log", "line 1\rline 2\r\n");
  auto opened = OpenForWatching(this->files, this->backend.PathOf("watched.log"));
  ASSERT_TRUE(opened.Ok());
  EXPECT_EQ(this->files.ReadToEnd(opened.value).value, "line 1\rline 2\r\n");
  EXPECT_EQ(this->files.ReadToEnd(opened.value).value, "");  // at the end already
  ASSERT_EQ(this->files.Seek(opened.value, 7, SeekOrigin::kBegin).value, 7);
  char two[2];
  auto got = this->files.Read(opened.value, two);
  ASSERT_TRUE(got.Ok());
  EXPECT_EQ(std::string(two, got.value), "li");
  EXPECT_EQ(this->files.Seek(opened.value, -1, SeekOrigin::kCurrent).value, 8);
  EXPECT_EQ(this->files.Write(opened.value, "x").error, EBADF);  // opened for reading
}

TYPED_TEST(FileContract, FileHeldOpenForWritingRefusesReaderOnlySharing) {
  this->backend.Put("busy.log", "0123456789");
  ASSERT_TRUE(this->backend.HoldForWriting("busy.log"));
  const std::string path = this->backend.PathOf("busy.log");

  auto probe = OpenForAppend(this->files, path);
  EXPECT_EQ(probe.status.error, EBUSY) << probe.status.message;
  EXPECT_FALSE(probe.value.IsOpen());
  // The watch's read shares writing and so still works, and sees the size.
  auto watch = OpenForWatching(this->files, path);
  ASSERT_TRUE(watch.Ok()) << watch.status.message;
  EXPECT_EQ(this->files.Size(watch.value).value, 10);
  EXPECT_TRUE(this->files.Close(watch.value).Ok());

  this->backend.ReleaseWriter();
  auto again = OpenForAppend(this->files, path);
  EXPECT_TRUE(again.Ok()) << again.status.message;
}

TYPED_TEST(FileContract, OurOwnWriterCountsAsAWriterToo) {
  // The kernel cannot tell our descriptors from another program's, and Windows
  // sharing does not either: a second reader-only open fails while we write.
  this->backend.Put("sys.log", "");
  const std::string path = this->backend.PathOf("sys.log");
  auto writer = this->files.CreateOrTruncate(path);
  ASSERT_TRUE(writer.Ok());
  EXPECT_EQ(OpenForAppend(this->files, path).status.error, EBUSY);
  ASSERT_TRUE(this->files.Close(writer.value).Ok());
  EXPECT_TRUE(OpenForAppend(this->files, path).Ok());
}

TYPED_TEST(FileContract, ADroppedHandleIsClosed) {
  this->backend.Put("sys.log", "");
  const std::string path = this->backend.PathOf("sys.log");
  { auto writer = this->files.CreateOrTruncate(path); }
  EXPECT_TRUE(OpenForAppend(this->files, path).Ok());
  FileHandle moved;
  {
    auto writer = this->files.CreateOrTruncate(path);
    moved = std::move(writer.value);
  }
  EXPECT_EQ(OpenForAppend(this->files, path).status.error, EBUSY);
  moved = FileHandle();
  EXPECT_TRUE(OpenForAppend(this->files, path).Ok());
}

TYPED_TEST(FileContract, ReadOnlyFileRefusesEveryWriterEvenRoot) {
  this->backend.Put("locked.log", "keep me");
  this->backend.MakeReadOnly("locked.log");
  const std::string path = this->backend.PathOf("locked.log");

  EXPECT_EQ(OpenForAppend(this->files, path).status.error, EACCES);
  EXPECT_EQ(this->files.Open(path, kGenericWrite, kFileShareWrite, kOpenExisting).status.error, EACCES);
  EXPECT_EQ(this->files.CreateOrTruncate(path).status.error, EACCES);
  EXPECT_EQ(this->files.Open(path, kGenericWrite, kFileShareRead, kCreateAlways).status.error, EACCES);
  EXPECT_EQ(this->backend.Get("locked.log"), "keep me");
  // Reading stays possible: the watch goes on working on such a file.
  auto watch = OpenForWatching(this->files, path);
  ASSERT_TRUE(watch.Ok()) << watch.status.message;
  EXPECT_EQ(this->files.Size(watch.value).value, 7);
}

TYPED_TEST(FileContract, HandlesAreCheckedAndCloseReportsAStaleHandle) {
  this->backend.Put("a.log", "abc");
  auto opened = OpenForWatching(this->files, this->backend.PathOf("a.log"));
  ASSERT_TRUE(opened.Ok());
  ASSERT_TRUE(this->files.Close(opened.value).Ok());
  EXPECT_EQ(this->files.Close(opened.value).error, EBADF);
  EXPECT_EQ(this->files.Size(opened.value).status.error, EBADF);
  FileHandle never;
  EXPECT_EQ(this->files.Write(never, "x").error, EBADF);
}

// Real-disk behaviour the double does not model.

TEST(LinuxFiles, SizeIsSixtyFourBit) {
  TempDir dir;
  const std::string path = dir.WriteFile("big.log", "");
  constexpr off_t kFiveGiB = 5LL << 30;
  ASSERT_EQ(::truncate(path.c_str(), kFiveGiB), 0);  // sparse: no disk space used
  LinuxFileSystem files;
  auto opened = OpenForAppend(files, path);
  ASSERT_TRUE(opened.Ok()) << opened.status.message;
  EXPECT_EQ(files.Size(opened.value).value, kFiveGiB);
  EXPECT_EQ(files.SeekToEnd(opened.value).value, kFiveGiB);
}

TEST(LinuxFiles, DevicesAndDirectoriesAreNotProbedForWriters) {
  // Leases exist only for regular files; the probe must not turn that into a refusal.
  EXPECT_FALSE(LinuxFileSystem::HeldOpenForWriting("/dev/null"));
  LinuxFileSystem files;
  auto null = OpenForAppend(files, "/dev/null");
  ASSERT_TRUE(null.Ok()) << null.status.message;
  EXPECT_TRUE(files.Write(null.value, "discarded").Ok());
  TempDir dir;
  EXPECT_FALSE(LinuxFileSystem::HeldOpenForWriting(dir.Path()));
  EXPECT_EQ(OpenForAppend(files, dir.Path()).status.error, EISDIR);
}

TEST(LinuxFiles, TruncationKeepsThePermissionsOfTheOldFile) {
  TempDir dir;
  const std::string path = dir.WriteFile("sys.log", "old");
  ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
  LinuxFileSystem files;
  ASSERT_TRUE(files.CreateOrTruncate(path).Ok());
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(info.st_size, 0);
}

// The double's own switches.

TEST(FakeFiles, InjectedFailuresCountDownAndClear) {
  FakeFileSystem files;
  files.FailCalls(FileCall::kCreate, ENOSPC, 1);
  EXPECT_EQ(files.CreateOrTruncate("/log").status.error, ENOSPC);
  EXPECT_FALSE(files.Exists("/log"));
  auto created = files.CreateOrTruncate("/log");  // the retry succeeds
  ASSERT_TRUE(created.Ok());

  files.FailCalls(FileCall::kWrite, EIO);
  EXPECT_EQ(files.Write(created.value, "a").error, EIO);
  EXPECT_EQ(files.Write(created.value, "b").error, EIO);
  files.FailCalls(FileCall::kWrite, 0);
  EXPECT_TRUE(files.Write(created.value, "c").Ok());
  EXPECT_EQ(files.Contents("/log"), "c");

  files.FailCalls(FileCall::kClose, EIO, 1);
  EXPECT_EQ(files.Close(created.value).error, EIO);
  EXPECT_FALSE(created.value.IsOpen());  // closed all the same
  EXPECT_EQ(files.OpenHandleCount(), 0);
  EXPECT_EQ(files.CallCount(FileCall::kWrite), 3);
  EXPECT_EQ(files.CallCount(FileCall::kCreate), 2);
}

TEST(FakeFiles, RemovedFileStaysReadableThroughOpenHandles) {
  FakeFileSystem files;
  files.SetFile("/watched", "abc");
  auto opened = files.Open("/watched", kGenericRead, kFileShareWrite, kOpenExisting);
  ASSERT_TRUE(opened.Ok());
  files.Remove("/watched");
  EXPECT_FALSE(files.Exists("/watched"));
  EXPECT_EQ(files.ReadToEnd(opened.value).value, "abc");
  EXPECT_EQ(OpenForAppend(files, "/watched").status.error, ENOENT);
}

}  // namespace
}  // namespace qv::platform
