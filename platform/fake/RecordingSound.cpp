#include "platform/fake/RecordingSound.h"

namespace qv::platform::fake {

bool RecordingSound::PlayAsync(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  played_.push_back(path);
  return available;
}

std::vector<std::string> RecordingSound::Played() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return played_;
}

void RecordingSound::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  played_.clear();
}

}  // namespace qv::platform::fake
