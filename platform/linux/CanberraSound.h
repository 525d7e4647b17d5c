// Sounds through libcanberra, which talks to the desktop's sound server (or
// straight to ALSA). The player keeps one context and one sound at a time.
#pragma once

#include <mutex>
#include <string>

#include "platform/Sound.h"

struct ca_context;

namespace qv::platform {

class CanberraSound final : public ISoundPlayer {
 public:
  CanberraSound();
  ~CanberraSound() override;

  bool PlayAsync(const std::string& path) override;

  // What a request is turned into: the file itself, or the theme's default
  // sound when there is no such file.
  struct Choice {
    bool isFile = false;
    std::string value;  // the path, or the sound theme's event name
  };
  static Choice Choose(const std::string& path);

  static constexpr const char* kDefaultSound = "bell";

 private:
  bool Play(const Choice& choice);

  std::mutex mutex_;
  ca_context* context_ = nullptr;
  bool opened_ = false;  // the library refuses a second open of one context
};

}  // namespace qv::platform
