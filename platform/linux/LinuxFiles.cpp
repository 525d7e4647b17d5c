#include "platform/linux/LinuxFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace qv::platform {
namespace {

constexpr unsigned kAnyAccess = kGenericRead | kGenericWrite;
constexpr unsigned kAnyShare = kFileShareRead | kFileShareWrite;
constexpr mode_t kAnyWriteBit = S_IWUSR | S_IWGRP | S_IWOTH;
constexpr mode_t kNewFileMode = 0666;  // narrowed by the user's umask
// Another process may create the file between our "open existing" and our
// "create new"; a few rounds settle that race.
constexpr int kCreateAttempts = 4;

std::string ErrorText(int error) {
  return std::generic_category().message(error);
}

FileStatus Failure(int error, std::string_view operation, const std::string& path = {}) {
  std::string message(operation);
  if (!path.empty()) message += " \"" + path + "\"";
  message += ": " + ErrorText(error);
  return FileStatus::Failure(error, std::move(message));
}

int OpenRetrying(const std::string& path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

void CloseQuietly(int fd) {
  int saved = errno;
  ::close(fd);
  errno = saved;
}

// Opens with `flags`; with `create` a missing file is made and an existing one
// emptied, which happens only after the read-only rule has been applied so that a
// refused file keeps its content.
FileResult<FileHandle> OpenDescriptor(IFileSystem* owner, const std::string& path, int flags, bool create) {
  FileResult<FileHandle> result;
  int fd = -1;
  bool created = false;
  if (create) {
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
      fd = OpenRetrying(path, flags);
      if (fd >= 0 || errno != ENOENT) break;
      fd = OpenRetrying(path, flags | O_CREAT | O_EXCL, kNewFileMode);
      if (fd >= 0) {
        created = true;
        break;
      }
      if (errno != EEXIST) break;
    }
  } else {
    fd = OpenRetrying(path, flags);
  }
  if (fd < 0) {
    result.status = Failure(errno, "open", path);
    return result;
  }

  const bool writes = (flags & O_ACCMODE) != O_RDONLY;
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    result.status = Failure(errno, "stat", path);
    CloseQuietly(fd);
    return result;
  }
  // Root may write anything on Linux; a Windows read-only file refuses every
  // writer, and the watchdog's failure paths depend on that refusal.
  if (writes && !created && (info.st_mode & kAnyWriteBit) == 0) {
    CloseQuietly(fd);
    result.status = Failure(EACCES, "open", path);
    return result;
  }
  if (create && !created && S_ISREG(info.st_mode) && ::ftruncate(fd, 0) != 0) {
    result.status = Failure(errno, "truncate", path);
    CloseQuietly(fd);
    return result;
  }
  result.value = FileHandle(owner, fd);
  return result;
}

}  // namespace

bool LinuxFileSystem::HeldOpenForWriting(const std::string& path) {
  // O_NONBLOCK: a FIFO must not block the probe, and a file under another
  // process's write lease answers EWOULDBLOCK at once instead of after the lease
  // break time; that process has the file to itself, so it counts as held.
  int fd = OpenRetrying(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return errno == EWOULDBLOCK;
  bool held = false;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    // A read lease is granted only while no descriptor has the file open for
    // writing; we drop it at once, we only wanted the answer.
    if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
      ::fcntl(fd, F_SETLEASE, F_UNLCK);
    } else {
      held = errno == EAGAIN || errno == EWOULDBLOCK;
      // EACCES (not the owner) and EINVAL (no lease support) cannot tell us
      // anything, so they do not stop the open.
    }
  }
  CloseQuietly(fd);
  return held;
}

FileResult<FileHandle> LinuxFileSystem::CreateOrTruncate(const std::string& path) {
  return OpenDescriptor(this, path, O_WRONLY | O_CLOEXEC | O_NOCTTY, true);
}

FileResult<FileHandle> LinuxFileSystem::Open(const std::string& path, unsigned access, unsigned share,
                                             FileDisposition disposition) {
  FileResult<FileHandle> result;
  if (access == 0 || (access & ~kAnyAccess) != 0 || (share & ~kAnyShare) != 0 ||
      (disposition != kOpenExisting && disposition != kCreateAlways) ||
      (disposition == kCreateAlways && (access & kGenericWrite) == 0)) {
    result.status = Failure(EINVAL, "open", path);
    return result;
  }
  // Checked before our own descriptor exists: a writer of ours would count too.
  if ((share & kFileShareWrite) == 0 && HeldOpenForWriting(path)) {
    result.status = FileStatus::Failure(
        EBUSY, "open \"" + path + "\": the file is held open for writing by another program");
    return result;
  }
  int flags = O_CLOEXEC | O_NOCTTY;
  if (access == kAnyAccess) {
    flags |= O_RDWR;
  } else if (access == kGenericWrite) {
    flags |= O_WRONLY;
  } else {
    flags |= O_RDONLY;
  }
  return OpenDescriptor(this, path, flags, disposition == kCreateAlways);
}

FileStatus LinuxFileSystem::Write(const FileHandle& file, std::string_view bytes) {
  if (file.Owner() != this) return Failure(EBADF, "write");
  const int fd = static_cast<int>(file.Id());
  const char* next = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    ssize_t written = ::write(fd, next, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return Failure(errno, "write");
    }
    if (written == 0) return Failure(EIO, "write");  // would loop forever otherwise
    next += written;
    left -= static_cast<std::size_t>(written);
  }
  return FileStatus::Success();
}

FileResult<std::size_t> LinuxFileSystem::Read(const FileHandle& file, std::span<char> buffer) {
  FileResult<std::size_t> result;
  if (file.Owner() != this) {
    result.status = Failure(EBADF, "read");
    return result;
  }
  ssize_t got;
  do {
    got = ::read(static_cast<int>(file.Id()), buffer.data(), buffer.size());
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    result.status = Failure(errno, "read");
  } else {
    result.value = static_cast<std::size_t>(got);
  }
  return result;
}

FileResult<std::int64_t> LinuxFileSystem::Seek(const FileHandle& file, std::int64_t offset,
                                               SeekOrigin origin) {
  FileResult<std::int64_t> result;
  if (file.Owner() != this) {
    result.status = Failure(EBADF, "seek");
    return result;
  }
  int whence = SEEK_SET;
  if (origin == SeekOrigin::kCurrent) whence = SEEK_CUR;
  if (origin == SeekOrigin::kEnd) whence = SEEK_END;
  if (origin == SeekOrigin::kData) whence = SEEK_DATA;
  off_t position = ::lseek(static_cast<int>(file.Id()), static_cast<off_t>(offset), whence);
  if (position < 0) {
    result.status = Failure(errno, "seek");
  } else {
    result.value = static_cast<std::int64_t>(position);
  }
  return result;
}

namespace {

// fstat of an open file of `owner`, for the calls that report what it says.
FileResult<struct stat> StatOf(const IFileSystem* owner, const FileHandle& file) {
  FileResult<struct stat> result;
  if (file.Owner() != owner) {
    result.status = Failure(EBADF, "stat");
  } else if (::fstat(static_cast<int>(file.Id()), &result.value) != 0) {
    result.status = Failure(errno, "stat");
  }
  return result;
}

}  // namespace

FileResult<std::int64_t> LinuxFileSystem::Size(const FileHandle& file) {
  auto info = StatOf(this, file);
  return {std::move(info.status), static_cast<std::int64_t>(info.value.st_size)};
}

FileResult<FileId> LinuxFileSystem::Identity(const FileHandle& file) {
  auto info = StatOf(this, file);
  return {std::move(info.status), FileId{static_cast<std::uint64_t>(info.value.st_dev),
                                         static_cast<std::uint64_t>(info.value.st_ino)}};
}

FileStatus LinuxFileSystem::Close(FileHandle& file) {
  if (file.Owner() != this) return Failure(EBADF, "close");
  const int fd = static_cast<int>(file.Id());
  file.Detach();
  // Linux frees the descriptor even when close is interrupted, and retrying
  // could close a descriptor another thread has just been given.
  if (::close(fd) != 0 && errno != EINTR) return Failure(errno, "close");
  return FileStatus::Success();
}

}  // namespace qv::platform
