// A sound player that plays nothing and remembers what it was asked to play.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/Sound.h"

namespace qv::platform::fake {

class RecordingSound final : public ISoundPlayer {
 public:
  bool PlayAsync(const std::string& path) override;

  // Script: false stands for a machine without a sound device.
  bool available = true;

  std::vector<std::string> Played() const;  // every request, in order
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> played_;
};

}  // namespace qv::platform::fake
