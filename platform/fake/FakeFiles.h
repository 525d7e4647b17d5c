// An in-memory file system for tests: files are texts under exact path strings,
// with switches that make calls fail and a way to pretend that another program
// holds a file open for writing. The sharing and read-only rules are those of
// the real backend, so code that passes here behaves the same on disk. Whole
// aligned blocks of 512 zero bytes are holes to SeekOrigin::kData.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/Files.h"

namespace qv::platform::fake {

enum class FileCall { kCreate, kOpen, kRead, kWrite, kSeek, kSize, kClose };

class FakeFileSystem final : public IFileSystem {
 public:
  // Handles must be closed or dropped before the file system goes.
  FileResult<FileHandle> CreateOrTruncate(const std::string& path) override;
  FileResult<FileHandle> Open(const std::string& path, unsigned access, unsigned share,
                              FileDisposition disposition) override;
  FileStatus Write(const FileHandle& file, std::string_view bytes) override;
  FileResult<std::size_t> Read(const FileHandle& file, std::span<char> buffer) override;
  FileResult<std::int64_t> Seek(const FileHandle& file, std::int64_t offset, SeekOrigin origin) override;
  FileResult<std::int64_t> Size(const FileHandle& file) override;
  // Each file the fake creates has its own id; SetFile makes a new file.
  FileResult<FileId> Identity(const FileHandle& file) override;
  FileStatus Close(FileHandle& file) override;

  // Creates or replaces a file (writable, not held by anyone).
  void SetFile(const std::string& path, std::string contents);
  std::optional<std::string> Contents(const std::string& path) const;
  bool Exists(const std::string& path) const;
  // Deletes the path; handles still open keep reading and writing the old file.
  void Remove(const std::string& path);
  // A read-only file refuses every write-open with EACCES.
  void SetReadOnly(const std::string& path, bool readOnly);
  // Pretends another program has the file open for writing (or no longer).
  void SetHeldByOtherWriter(const std::string& path, bool held);

  // Makes the next `times` calls of `call` fail with `error` (an errno value);
  // times < 0 means until cleared, error 0 clears.
  void FailCalls(FileCall call, int error, int times = -1);

  int OpenHandleCount() const;
  // How many calls of each kind were made, failed ones included.
  int CallCount(FileCall call) const;

 private:
  struct Node {
    std::string data;
    bool readOnly = false;
    bool heldByOtherWriter = false;
    int ourWriters = 0;
    std::uint64_t serial = 0;
  };
  struct OpenFile {
    std::shared_ptr<Node> node;
    bool canRead = false;
    bool canWrite = false;
    std::int64_t position = 0;
  };
  struct FailureSwitch {
    int error = 0;
    int times = 0;
  };
  static constexpr int kCallKinds = 7;

  // Counts the call and tells whether a switch makes it fail; needs the lock.
  std::optional<FileStatus> Intercept(FileCall call);
  OpenFile* Find(const FileHandle& file);
  // Intercept and Find for a call on an open file: the file, or null with
  // `status` set to the injected failure or EBADF.
  OpenFile* Begin(FileCall call, const FileHandle& file, const char* what, FileStatus* status);
  std::shared_ptr<Node> NewNode();
  FileHandle Register(std::shared_ptr<Node> node, bool canRead, bool canWrite);

  mutable std::mutex mutex_;
  std::map<std::string, std::shared_ptr<Node>> files_;
  std::map<std::int64_t, OpenFile> open_;
  std::int64_t nextId_ = 1;
  std::uint64_t nextSerial_ = 1;
  FailureSwitch switches_[kCallKinds];
  int calls_[kCallKinds] = {};
};

}  // namespace qv::platform::fake
