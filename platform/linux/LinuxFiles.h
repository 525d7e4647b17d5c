// The real file system: POSIX descriptors, with the Windows sharing rule that
// matters to the watchdog ("nobody else is writing this file") checked through a
// read lease, and read-only files refused for writing even to root.
#pragma once

#include "platform/Files.h"

namespace qv::platform {

class LinuxFileSystem final : public IFileSystem {
 public:
  FileResult<FileHandle> CreateOrTruncate(const std::string& path) override;
  FileResult<FileHandle> Open(const std::string& path, unsigned access, unsigned share,
                              FileDisposition disposition) override;
  FileStatus Write(const FileHandle& file, std::string_view bytes) override;
  FileResult<std::size_t> Read(const FileHandle& file, std::span<char> buffer) override;
  FileResult<std::int64_t> Seek(const FileHandle& file, std::int64_t offset, SeekOrigin origin) override;
  FileResult<std::int64_t> Size(const FileHandle& file) override;
  FileResult<FileId> Identity(const FileHandle& file) override;
  FileStatus Close(FileHandle& file) override;

  // True when some descriptor anywhere on the system has `path` open for
  // writing. False also when the kernel cannot tell us: the file is not a
  // regular file, we are not its owner (leases are the owner's privilege), or
  // the file system has no leases. Exposed for tests and diagnostics.
  static bool HeldOpenForWriting(const std::string& path);
};

}  // namespace qv::platform
