// A temporary directory for tests that touch the real file system; it and
// everything in it are removed when the object goes.
#pragma once

#include <string>

namespace qv::platform::fake {

class TempDir {
 public:
  // Made under $TMPDIR (or /tmp) with a unique name; throws std::runtime_error
  // when no directory can be made.
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory, without a trailing "/".
  const std::string& Path() const { return path_; }
  // Path() + "/" + name; the file is not created.
  std::string File(const std::string& name) const;
  // Writes `contents` to the named file (created or replaced) and returns its path.
  std::string WriteFile(const std::string& name, const std::string& contents) const;
  // The whole content of a file in the directory; empty when it cannot be read.
  std::string ReadFile(const std::string& name) const;

 private:
  std::string path_;
};

}  // namespace qv::platform::fake
