// Program entry: wires the real backends and runs the main window.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/Unit1.h"
#include "imaging/GIFImage.h"
#include "imaging/ImageFormats.h"
#include "platform/Dialogs.h"
#include "platform/Services.h"
#include "platform/linux/CanberraSound.h"
#include "platform/linux/LinuxFiles.h"
#include "platform/linux/LinuxIcmp.h"
#include "platform/linux/LinuxLocale.h"
#include "platform/linux/LinuxResolver.h"
#include "platform/linux/LinuxSystemInfo.h"
#include "platform/linux/LinuxThreads.h"
#include "platform/linux/SqliteRegistryStore.h"
#include "platform/qt/QtBackend.h"
#include "platform/qt/QtFontEngine.h"
#include "toolkit/Application.h"

namespace {

// With QUORVANE_DIALOG_LOG set, every message box text is appended to that file
// before the box shows, so end-to-end tests can see what the user is asked.
class RecordingDialogs final : public qv::platform::IDialogs {
 public:
  RecordingDialogs(qv::platform::IDialogs& inner, std::string path) : inner_(inner), path_(std::move(path)) {}
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override {
    if (std::FILE* f = std::fopen(path_.c_str(), "ab")) {
      std::fprintf(f, "%s\n", text.c_str());
      std::fclose(f);
    }
    return inner_.MessageBox(text, caption, flags);
  }
  bool OpenFile(const qv::platform::FileDialogRequest& request, std::string& chosen) override {
    return inner_.OpenFile(request, chosen);
  }
  void Beep() override { inner_.Beep(); }

 private:
  qv::platform::IDialogs& inner_;
  std::string path_;
};

}  // namespace

int main(int argc, char** argv) {
  using namespace qv;
  platform::qt::QtBackend backend(argc, argv);
  platform::LinuxFileSystem files;
  platform::LinuxLocale locale;
  platform::LinuxSystemInfo system;
  platform::qt::QtFontEngine fonts;
  platform::SqliteRegistryStore registry;
  platform::LinuxIcmp icmp;
  platform::CanberraSound sounds;
  platform::LinuxThreads threads;
  // After the backend: the resolver posts to its loop and must go first.
  platform::LinuxResolver resolver;

  platform::Services& services = platform::Current();
  services.loop = &backend.Loop();
  services.windows = &backend.Windows();
  services.dialogs = &backend.Dialogs();
  std::unique_ptr<RecordingDialogs> recording;
  if (const char* log = std::getenv("QUORVANE_DIALOG_LOG"); log != nullptr && *log != '\0') {
    recording = std::make_unique<RecordingDialogs>(backend.Dialogs(), log);
    services.dialogs = recording.get();
  }
  services.files = &files;
  services.locale = &locale;
  services.system = &system;
  services.fonts = &fonts;
  services.registry = &registry;
  services.icmp = &icmp;
  services.resolver = &resolver;
  services.sounds = &sounds;
  services.threads = &threads;

  TApplication application;
  Application->Initialize();
  // Every picture of the program can load the image formats of the imaging library.
  RegisterImageFormats();
  RegisterGIFFormat();
  Application->SetTitle("Quorvane");
  // A damaged or unreadable store is left as it is: the settings keep their
  // defaults for this run and every save reports that it could not write.
  if (const std::string error = registry.Open(); !error.empty()) Application->ShowException(Exception(error));
  int exitCode = 0;
  {
    auto form = std::make_unique<TForm1>(nullptr);
    form->ShowForm();
    exitCode = Application->Run();
  }
  services = platform::Services{};
  return exitCode;
}
