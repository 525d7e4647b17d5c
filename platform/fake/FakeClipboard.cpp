#include "platform/fake/FakeClipboard.h"

namespace qv::platform {

unsigned FakeClipboard::RegisterFormat(const std::string& name) {
  const auto found = names_.find(name);
  if (found != names_.end()) return found->second;
  const unsigned id = kFirstRegisteredFormat + static_cast<unsigned>(names_.size());
  names_.emplace(name, id);
  return id;
}

bool FakeClipboard::HasFormat(unsigned format) const {
  return content_.count(format) != 0;
}

std::optional<std::vector<std::uint8_t>> FakeClipboard::GetData(unsigned format) const {
  const auto found = content_.find(format);
  if (found == content_.end()) return std::nullopt;
  return found->second;
}

void FakeClipboard::Clear() {
  content_.clear();
  ++clearCount_;
}

void FakeClipboard::SetData(unsigned format, std::vector<std::uint8_t> data) {
  content_[format] = std::move(data);
}

}  // namespace qv::platform
