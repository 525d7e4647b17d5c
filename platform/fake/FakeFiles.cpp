#include "platform/fake/FakeFiles.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace qv::platform::fake {
namespace {

constexpr unsigned kAnyAccess = kGenericRead | kGenericWrite;
constexpr unsigned kAnyShare = kFileShareRead | kFileShareWrite;

FileStatus Failure(int error, const std::string& operation, const std::string& path = {}) {
  std::string message = operation;
  if (!path.empty()) message += " \"" + path + "\"";
  message += ": " + std::generic_category().message(error);
  return FileStatus::Failure(error, std::move(message));
}

// A file system may keep any block of zeros as a hole: here every whole,
// aligned block of kHoleBlock zero bytes is one, so that code stepping over
// holes meets them in every test whose texts hold such runs.
constexpr std::size_t kHoleBlock = 512;

// The first byte at or after `offset` outside a hole; false past the last data.
bool NextData(const std::string& data, std::int64_t offset, std::int64_t& found) {
  if (offset < 0 || static_cast<std::size_t>(offset) >= data.size()) return false;
  std::size_t at = static_cast<std::size_t>(offset);
  for (std::size_t block = at / kHoleBlock * kHoleBlock; block + kHoleBlock <= data.size();
       block += kHoleBlock) {
    const auto begin = data.begin() + static_cast<std::ptrdiff_t>(block);
    if (std::any_of(begin, begin + kHoleBlock, [](char c) { return c != 0; })) break;
    at = block + kHoleBlock;
  }
  if (at >= data.size()) return false;
  found = static_cast<std::int64_t>(at);
  return true;
}

int Index(FileCall call) {
  return static_cast<int>(call);
}

}  // namespace

std::optional<FileStatus> FakeFileSystem::Intercept(FileCall call) {
  ++calls_[Index(call)];
  FailureSwitch& fail = switches_[Index(call)];
  if (fail.error == 0 || fail.times == 0) return std::nullopt;
  if (fail.times > 0) --fail.times;
  return Failure(fail.error, "injected failure");
}

FakeFileSystem::OpenFile* FakeFileSystem::Find(const FileHandle& file) {
  if (file.Owner() != this) return nullptr;
  auto it = open_.find(file.Id());
  return it == open_.end() ? nullptr : &it->second;
}

FakeFileSystem::OpenFile* FakeFileSystem::Begin(FileCall call, const FileHandle& file, const char* what,
                                                FileStatus* status) {
  if (auto failed = Intercept(call)) {
    *status = *failed;
    return nullptr;
  }
  OpenFile* open = Find(file);
  if (open == nullptr) *status = Failure(EBADF, what);
  return open;
}

std::shared_ptr<FakeFileSystem::Node> FakeFileSystem::NewNode() {
  auto node = std::make_shared<Node>();
  node->serial = nextSerial_++;
  return node;
}

FileHandle FakeFileSystem::Register(std::shared_ptr<Node> node, bool canRead, bool canWrite) {
  if (canWrite) ++node->ourWriters;
  const std::int64_t id = nextId_++;
  open_[id] = OpenFile{std::move(node), canRead, canWrite, 0};
  return FileHandle(this, id);
}

FileResult<FileHandle> FakeFileSystem::CreateOrTruncate(const std::string& path) {
  std::lock_guard lock(mutex_);
  FileResult<FileHandle> result;
  if (auto failed = Intercept(FileCall::kCreate)) {
    result.status = *failed;
    return result;
  }
  std::shared_ptr<Node>& node = files_[path];
  if (!node) {
    node = NewNode();
  } else if (node->readOnly) {
    result.status = Failure(EACCES, "open", path);
    return result;
  }
  node->data.clear();
  result.value = Register(node, false, true);
  return result;
}

FileResult<FileHandle> FakeFileSystem::Open(const std::string& path, unsigned access, unsigned share,
                                            FileDisposition disposition) {
  std::lock_guard lock(mutex_);
  FileResult<FileHandle> result;
  if (auto failed = Intercept(FileCall::kOpen)) {
    result.status = *failed;
    return result;
  }
  if (access == 0 || (access & ~kAnyAccess) != 0 || (share & ~kAnyShare) != 0 ||
      (disposition != kOpenExisting && disposition != kCreateAlways) ||
      (disposition == kCreateAlways && (access & kGenericWrite) == 0)) {
    result.status = Failure(EINVAL, "open", path);
    return result;
  }
  const bool writes = (access & kGenericWrite) != 0;
  auto it = files_.find(path);
  if (it == files_.end()) {
    if (disposition == kOpenExisting) {
      result.status = Failure(ENOENT, "open", path);
      return result;
    }
    it = files_.emplace(path, NewNode()).first;
  } else {
    const Node& node = *it->second;
    // The same order as on disk: sharing first, then the read-only refusal.
    if ((share & kFileShareWrite) == 0 && (node.heldByOtherWriter || node.ourWriters > 0)) {
      result.status = FileStatus::Failure(
          EBUSY, "open \"" + path + "\": the file is held open for writing by another program");
      return result;
    }
    if (writes && node.readOnly) {
      result.status = Failure(EACCES, "open", path);
      return result;
    }
    if (disposition == kCreateAlways) it->second->data.clear();
  }
  result.value = Register(it->second, (access & kGenericRead) != 0, writes);
  return result;
}

FileStatus FakeFileSystem::Write(const FileHandle& file, std::string_view bytes) {
  std::lock_guard lock(mutex_);
  if (auto failed = Intercept(FileCall::kWrite)) return *failed;
  OpenFile* open = Find(file);
  if (open == nullptr || !open->canWrite) return Failure(EBADF, "write");
  std::string& data = open->node->data;
  const auto position = static_cast<std::size_t>(open->position);
  if (data.size() < position + bytes.size()) data.resize(position + bytes.size(), '\0');
  data.replace(position, bytes.size(), bytes);
  open->position += static_cast<std::int64_t>(bytes.size());
  return FileStatus::Success();
}

FileResult<std::size_t> FakeFileSystem::Read(const FileHandle& file, std::span<char> buffer) {
  std::lock_guard lock(mutex_);
  FileResult<std::size_t> result;
  OpenFile* open = Begin(FileCall::kRead, file, "read", &result.status);
  if (open != nullptr && !open->canRead) result.status = Failure(EBADF, "read");
  if (open == nullptr || !open->canRead) return result;
  const std::string& data = open->node->data;
  const auto position = static_cast<std::size_t>(open->position);
  if (position >= data.size()) return result;
  const std::size_t count = std::min(buffer.size(), data.size() - position);
  data.copy(buffer.data(), count, position);
  open->position += static_cast<std::int64_t>(count);
  result.value = count;
  return result;
}

FileResult<std::int64_t> FakeFileSystem::Seek(const FileHandle& file, std::int64_t offset,
                                              SeekOrigin origin) {
  std::lock_guard lock(mutex_);
  FileResult<std::int64_t> result;
  OpenFile* open = Begin(FileCall::kSeek, file, "seek", &result.status);
  if (open == nullptr) return result;
  std::int64_t base = 0;
  if (origin == SeekOrigin::kCurrent) base = open->position;
  if (origin == SeekOrigin::kEnd) base = static_cast<std::int64_t>(open->node->data.size());
  if (origin == SeekOrigin::kData) {
    if (!NextData(open->node->data, offset, open->position)) {
      result.status = Failure(ENXIO, "seek");
      return result;
    }
    result.value = open->position;
    return result;
  }
  if (base + offset < 0) {
    result.status = Failure(EINVAL, "seek");
    return result;
  }
  open->position = base + offset;
  result.value = open->position;
  return result;
}

FileResult<std::int64_t> FakeFileSystem::Size(const FileHandle& file) {
  std::lock_guard lock(mutex_);
  FileResult<std::int64_t> result;
  OpenFile* open = Begin(FileCall::kSize, file, "stat", &result.status);
  if (open == nullptr) return result;
  result.value = static_cast<std::int64_t>(open->node->data.size());
  return result;
}

FileResult<FileId> FakeFileSystem::Identity(const FileHandle& file) {
  std::lock_guard lock(mutex_);
  FileResult<FileId> result;
  // A stat call like Size, so the same switch makes it fail.
  OpenFile* open = Begin(FileCall::kSize, file, "stat", &result.status);
  if (open == nullptr) return result;
  result.value = FileId{0, open->node->serial};
  return result;
}

FileStatus FakeFileSystem::Close(FileHandle& file) {
  std::lock_guard lock(mutex_);
  auto it = file.Owner() == this ? open_.find(file.Id()) : open_.end();
  if (it == open_.end()) {
    ++calls_[Index(FileCall::kClose)];
    return Failure(EBADF, "close");
  }
  if (it->second.canWrite) --it->second.node->ourWriters;
  open_.erase(it);
  file.Detach();
  // Like close(2): the handle is gone even when an error is reported.
  if (auto failed = Intercept(FileCall::kClose)) return *failed;
  return FileStatus::Success();
}

void FakeFileSystem::SetFile(const std::string& path, std::string contents) {
  std::lock_guard lock(mutex_);
  auto node = NewNode();
  node->data = std::move(contents);
  files_[path] = std::move(node);
}

std::optional<std::string> FakeFileSystem::Contents(const std::string& path) const {
  std::lock_guard lock(mutex_);
  auto it = files_.find(path);
  if (it == files_.end()) return std::nullopt;
  return it->second->data;
}

bool FakeFileSystem::Exists(const std::string& path) const {
  std::lock_guard lock(mutex_);
  return files_.count(path) != 0;
}

void FakeFileSystem::Remove(const std::string& path) {
  std::lock_guard lock(mutex_);
  files_.erase(path);
}

void FakeFileSystem::SetReadOnly(const std::string& path, bool readOnly) {
  std::lock_guard lock(mutex_);
  auto it = files_.find(path);
  if (it != files_.end()) it->second->readOnly = readOnly;
}

void FakeFileSystem::SetHeldByOtherWriter(const std::string& path, bool held) {
  std::lock_guard lock(mutex_);
  auto it = files_.find(path);
  if (it != files_.end()) it->second->heldByOtherWriter = held;
}

void FakeFileSystem::FailCalls(FileCall call, int error, int times) {
  std::lock_guard lock(mutex_);
  switches_[Index(call)] = FailureSwitch{error, error == 0 ? 0 : times};
}

int FakeFileSystem::OpenHandleCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(open_.size());
}

int FakeFileSystem::CallCount(FileCall call) const {
  std::lock_guard lock(mutex_);
  return calls_[Index(call)];
}

}  // namespace qv::platform::fake
