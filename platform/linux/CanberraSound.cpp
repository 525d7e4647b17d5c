#include "platform/linux/CanberraSound.h"

#include <canberra.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace qv::platform {

namespace {

// Every sound is played under one id, so cancelling it cuts off whatever plays.
constexpr std::uint32_t kSoundId = 1;

// Contexts of players that are gone. Destroying a context unloads its driver,
// and the ALSA driver does not wait for its playback threads: one still ending
// a sound would then run unloaded code. So a context is silenced and kept.
void Retire(ca_context* context) {
  static std::mutex mutex;
  static std::vector<ca_context*>* retired = new std::vector<ca_context*>();  // reachable, never freed
  std::lock_guard<std::mutex> lock(mutex);
  retired->push_back(context);
}

}  // namespace

CanberraSound::CanberraSound() = default;

CanberraSound::~CanberraSound() {
  if (context_ == nullptr) return;
  ca_context_cancel(context_, kSoundId);
  Retire(context_);
}

CanberraSound::Choice CanberraSound::Choose(const std::string& path) {
  struct stat info {};
  if (!path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
      ::access(path.c_str(), R_OK) == 0)
    return {true, path};
  return {false, kDefaultSound};
}

bool CanberraSound::Play(const Choice& choice) {
  // Only one of the two properties: given both, the library prefers the event
  // name and the file would never play.
  const int result =
      choice.isFile ? ca_context_play(context_, kSoundId, CA_PROP_MEDIA_FILENAME, choice.value.c_str(),
                                      CA_PROP_CANBERRA_CACHE_CONTROL, "never", nullptr)
                    : ca_context_play(context_, kSoundId, CA_PROP_EVENT_ID, choice.value.c_str(), nullptr);
  return result == CA_SUCCESS;
}

bool CanberraSound::PlayAsync(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (context_ == nullptr) {
    if (ca_context_create(&context_) != CA_SUCCESS) {
      context_ = nullptr;
      return false;
    }
    ca_context_change_props(context_, CA_PROP_APPLICATION_NAME, "Quorvane", nullptr);
  }
  // Without a sound server or device this fails every time; a later play tries
  // again, as the server may have come up meanwhile.
  if (!opened_) {
    if (ca_context_open(context_) != CA_SUCCESS) return false;
    opened_ = true;
  }
  ca_context_cancel(context_, kSoundId);

  const Choice choice = Choose(path);
  if (Play(choice)) return true;
  // A file that exists but cannot be played is treated like a missing one.
  if (choice.isFile) return Play({false, kDefaultSound});
  return false;
}

}  // namespace qv::platform
