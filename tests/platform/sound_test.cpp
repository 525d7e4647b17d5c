// Sounds through libcanberra. The choice between the file and the theme's
// default is checked directly; real playing goes to ALSA's null device from a
// temporary home, so the test is silent and needs no sound server.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/fake/TempDir.h"
#include "platform/linux/CanberraSound.h"

namespace qv::platform {
namespace {

// A valid 8 kHz mono 8-bit WAV file of `samples` samples of silence.
std::string SilentWav(std::uint32_t samples) {
  auto le32 = [](std::uint32_t v) {
    return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 24)};
  };
  auto le16 = [](std::uint16_t v) { return std::string{static_cast<char>(v), static_cast<char>(v >> 8)}; };
  std::string wav = "RIFF" + le32(36 + samples) + "WAVEfmt " + le32(16) + le16(1) + le16(1) + le32(8000) +
                    le32(8000) + le16(1) + le16(8) + "data" + le32(samples);
  wav.append(samples, static_cast<char>(0x80));
  return wav;
}

TEST(CanberraSoundChoice, PlaysTheFileWhenItExistsAndTheBellOtherwise) {
  fake::TempDir dir;
  const std::string wav = dir.WriteFile("ping.wav", SilentWav(80));
  EXPECT_TRUE(CanberraSound::Choose(wav).isFile);
  EXPECT_EQ(CanberraSound::Choose(wav).value, wav);
  for (const std::string& missing :
       {dir.File("absent.wav"), dir.Path(), std::string(), std::string("c:\\winnt\\media\\ringout.wav")}) {
    const auto choice = CanberraSound::Choose(missing);
    EXPECT_FALSE(choice.isFile) << missing;
    EXPECT_EQ(choice.value, "bell") << missing;
  }
}

// Points libcanberra at ALSA and ALSA at its null device, for this process.
class NullAlsa {
 public:
  NullAlsa() {
    dir_.WriteFile(".asoundrc", "pcm.!default { type null }\nctl.!default { type hw card 0 }\n");
    Save("HOME");
    Save("CANBERRA_DRIVER");
    ::setenv("HOME", dir_.Path().c_str(), 1);
    ::setenv("CANBERRA_DRIVER", "alsa", 1);
  }
  ~NullAlsa() {
    for (const auto& [name, value] : saved_)
      if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
      else
        ::unsetenv(name.c_str());
  }
  const fake::TempDir& Dir() const { return dir_; }

 private:
  void Save(const char* name) {
    const char* value = std::getenv(name);
    saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
  }
  fake::TempDir dir_;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(CanberraSound, PlaysFilesOneAtATimeOnTheNullDevice) {
  NullAlsa alsa;
  const std::string first = alsa.Dir().WriteFile("first.wav", SilentWav(8000));
  const std::string second = alsa.Dir().WriteFile("second.wav", SilentWav(80));
  CanberraSound sounds;
  if (!sounds.PlayAsync(first)) GTEST_SKIP() << "libcanberra has no ALSA driver here";
  // A second sound cuts off the first instead of failing or queueing.
  EXPECT_TRUE(sounds.PlayAsync(second));
  EXPECT_TRUE(sounds.PlayAsync(first));
}

TEST(CanberraSound, AFileThatIsNoSoundFallsBackWithoutError) {
  NullAlsa alsa;
  const std::string junk = alsa.Dir().WriteFile("junk.wav", "this is not a sound");
  CanberraSound sounds;
  // Whether the theme's bell exists depends on the machine; the call must
  // simply return.
  sounds.PlayAsync(junk);
  sounds.PlayAsync(alsa.Dir().File("missing.wav"));
  SUCCEED();
}

TEST(CanberraSound, NoSoundDeviceMeansQuietFailure) {
  NullAlsa alsa;
  ::setenv("CANBERRA_DRIVER", "no-such-driver", 1);
  CanberraSound sounds;
  EXPECT_FALSE(sounds.PlayAsync(alsa.Dir().WriteFile("a.wav", SilentWav(80))));
}

}  // namespace
}  // namespace qv::platform
