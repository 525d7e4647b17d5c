// Playing a sound file in the background, as the watchdog's events do.
#pragma once

#include <string>

namespace qv::platform {

class ISoundPlayer {
 public:
  virtual ~ISoundPlayer() = default;

  // Starts playing the file at `path` and returns at once; a sound still playing
  // is cut off. A file that cannot be found plays the system's default sound.
  // Returns false when nothing could be played (no sound device or server):
  // that is not an error the caller reports.
  virtual bool PlayAsync(const std::string& path) = 0;
};

}  // namespace qv::platform
