// Files as the watchdog uses them: the system log it empties and appends to, and
// the watched log file it measures and reads. The opening modes follow the
// Windows CreateFile model because the program's behaviour depends on them: a
// file opened "shared with readers only" cannot be opened while another program
// is writing it. Nothing here throws; every call reports success or the error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace qv::platform {

// Access, share and disposition values keep the Windows numbers so callers can
// combine them as the program's own description does.
enum FileAccess : unsigned {
  kGenericRead = 0x80000000u,
  kGenericWrite = 0x40000000u,
};

enum FileShare : unsigned {
  kFileShareNone = 0x0u,
  kFileShareRead = 0x1u,
  // Without this bit the open fails while anyone holds the file open for writing.
  kFileShareWrite = 0x2u,
};

enum FileDisposition : unsigned {
  kCreateAlways = 2,  // create, or empty an existing file
  kOpenExisting = 3,  // never creates: a missing file fails the open
};

// kData: the first byte at or after the offset that is not in a hole of a
// sparse file (a hole reads as zeros). Where the file has no holes, or its file
// system cannot tell, that is the offset itself; past the last data, ENXIO.
enum class SeekOrigin { kBegin, kCurrent, kEnd, kData };

// Success, or the system error number (errno values) with a readable text.
struct FileStatus {
  int error = 0;
  std::string message;

  bool Ok() const { return error == 0; }
  static FileStatus Success() { return {}; }
  static FileStatus Failure(int error, std::string message) { return {error, std::move(message)}; }
};

// Which file an open handle reaches. Two handles of the same file give equal
// ids; a file put in the place of a renamed or deleted one gives another id.
struct FileId {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;

  bool operator==(const FileId&) const = default;
};

// A value, valid only when `status` is Ok.
template <typename T>
struct FileResult {
  FileStatus status;
  T value{};

  bool Ok() const { return status.Ok(); }
};

class IFileSystem;

// An open file of one IFileSystem. Move-only. Close it through the file system
// to learn whether closing succeeded; a handle dropped while still open is closed
// quietly, so error paths never leak descriptors.
class FileHandle {
 public:
  FileHandle() = default;
  FileHandle(IFileSystem* owner, std::int64_t id) : owner_(owner), id_(id) {}
  FileHandle(FileHandle&& other) noexcept : owner_(other.owner_), id_(other.id_) {
    other.owner_ = nullptr;
    other.id_ = -1;
  }
  FileHandle& operator=(FileHandle&& other) noexcept;
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle();

  bool IsOpen() const { return owner_ != nullptr; }
  IFileSystem* Owner() const { return owner_; }
  // The backend's number for the open file (a descriptor for the real one).
  std::int64_t Id() const { return id_; }

  // Forgets the file without closing it; the backend calls this from Close.
  void Detach() {
    owner_ = nullptr;
    id_ = -1;
  }

 private:
  IFileSystem* owner_ = nullptr;
  std::int64_t id_ = -1;
};

class IFileSystem {
 public:
  virtual ~IFileSystem() = default;

  // Opens `path` for writing only, creating it or emptying an existing file.
  // A file that nobody may write (no write permission bits) is refused with EACCES.
  virtual FileResult<FileHandle> CreateOrTruncate(const std::string& path) = 0;

  // Opens `path` with `access` (kGenericRead and/or kGenericWrite), `share`
  // (kFileShare* bits) and `disposition`. A write-open of a file without any
  // write permission bit fails with EACCES, whoever runs the program. Without
  // kFileShareWrite the open fails with EBUSY while the file is held open for
  // writing, by another program or by another handle of this one.
  virtual FileResult<FileHandle> Open(const std::string& path, unsigned access, unsigned share,
                                      FileDisposition disposition) = 0;

  // Writes all of `bytes` at the current position.
  virtual FileStatus Write(const FileHandle& file, std::string_view bytes) = 0;
  // Reads up to buffer.size() bytes; 0 bytes read means the end of the file.
  virtual FileResult<std::size_t> Read(const FileHandle& file, std::span<char> buffer) = 0;
  // Moves the position; returns the new position from the start of the file.
  virtual FileResult<std::int64_t> Seek(const FileHandle& file, std::int64_t offset, SeekOrigin origin) = 0;
  // Size of the open file in bytes.
  virtual FileResult<std::int64_t> Size(const FileHandle& file) = 0;
  // Which file the handle reaches, to notice a file replaced under the same name.
  virtual FileResult<FileId> Identity(const FileHandle& file) = 0;
  // Closes the file. The handle is closed afterwards even when an error is reported.
  virtual FileStatus Close(FileHandle& file) = 0;

  FileResult<std::int64_t> SeekToEnd(const FileHandle& file) { return Seek(file, 0, SeekOrigin::kEnd); }

  // Reads from the current position to the end of the file.
  FileResult<std::string> ReadToEnd(const FileHandle& file) {
    FileResult<std::string> result;
    char chunk[8192];
    for (;;) {
      FileResult<std::size_t> got = Read(file, chunk);
      if (!got.Ok()) {
        result.status = std::move(got.status);
        return result;
      }
      if (got.value == 0) return result;
      result.value.append(chunk, got.value);
    }
  }
};

inline FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    if (owner_ != nullptr) owner_->Close(*this);
    owner_ = std::exchange(other.owner_, nullptr);
    id_ = std::exchange(other.id_, -1);
  }
  return *this;
}

inline FileHandle::~FileHandle() {
  if (owner_ != nullptr) owner_->Close(*this);
}

}  // namespace qv::platform
