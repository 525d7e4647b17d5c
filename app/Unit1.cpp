// The main window's start-up, settings and its small handlers.
#include "app/Unit1.h"

#include <array>

#include "desktop/KZTransImg.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "platform/Locale.h"
#include "platform/Services.h"
#include "platform/SystemInfo.h"
#include "presence/onlyrun.h"
#include "settings/TessalyReg.h"
#include "toolkit/Application.h"
#include "widgets/Spin.h"

namespace qv {

TForm1* Form1 = nullptr;

namespace {

// The 18 settings: what each is, the control it is loaded into and saved from,
// and the text that stands in for an empty stored text. The rows are in the
// read order; `saveRank` gives the write order, which puts the texts first.
enum class SettingKind { Spin, Check, Text };

using ControlOfForm = TControl* (*)(TForm1&);
template <auto Member>
TControl* ControlOf(TForm1& form) {
  return form.*Member;
}

struct SettingRow {
  const char* name;
  SettingKind kind;
  ControlOfForm control;
  const char* fallback;  // text settings: used when the stored text is empty
  int saveRank;          // 1 is written first
};

constexpr const char* kRingOut = "c:\\winnt\\media\\ringout.wav";
constexpr const char* kDefaultLog = "c:\\program files\\dcplus\\logs\\downloads.log";
constexpr const char* kDefaultProgram = "c:\\program files\\dcplus\\DCPlusPlus.exe";

constexpr SettingRow kSettings[] = {
    {"pingintervaltime", SettingKind::Spin, &ControlOf<&TForm1::pingintervaltime>, nullptr, 13},
    {"ipalarmsound", SettingKind::Check, &ControlOf<&TForm1::ipalarmsound>, nullptr, 18},
    {"pongsound", SettingKind::Check, &ControlOf<&TForm1::pongsound>, nullptr, 17},
    {"pingsound", SettingKind::Check, &ControlOf<&TForm1::pingsound>, nullptr, 16},
    {"WatchAppCaption", SettingKind::Text, &ControlOf<&TForm1::Edit2>, "DC++ ", 3},
    {"reconsound", SettingKind::Text, &ControlOf<&TForm1::reconsound>, kRingOut, 2},
    {"testurl", SettingKind::Text, &ControlOf<&TForm1::testurl>, defaults::kTestHost, 11},
    {"ipalarm", SettingKind::Text, &ControlOf<&TForm1::ipalarm>, kRingOut, 10},
    {"URL", SettingKind::Text, &ControlOf<&TForm1::edIpAddr>, defaults::kPingHost, 4},
    {"Sound", SettingKind::Text, &ControlOf<&TForm1::Edit3>, kRingOut, 6},
    {"Execute", SettingKind::Text, &ControlOf<&TForm1::Edit1>, kDefaultProgram, 5},
    {"log", SettingKind::Text, &ControlOf<&TForm1::logfile>, kDefaultLog, 7},
    {"pingfile", SettingKind::Text, &ControlOf<&TForm1::pingfile>, "c:\\winnt\\media\\ping.wav", 8},
    {"pongfile", SettingKind::Text, &ControlOf<&TForm1::pongfile>, "c:\\winnt\\media\\pong.wav", 9},
    {"logsound", SettingKind::Text, &ControlOf<&TForm1::Edit4>, kRingOut, 1},
    {"interval", SettingKind::Spin, &ControlOf<&TForm1::SpinEdit1>, nullptr, 12},
    {"AppMonitorActive", SettingKind::Check, &ControlOf<&TForm1::AppMonitorActive>, nullptr, 15},
    {"PingActive", SettingKind::Check, &ControlOf<&TForm1::PingActive>, nullptr, 14},
};
constexpr std::size_t kSettingCount = std::size(kSettings);
static_assert(kSettingCount == 18);

// Row indexes in the write order; every rank is used once, texts before integers.
constexpr std::array<std::size_t, kSettingCount> SaveOrder() {
  std::array<std::size_t, kSettingCount> order{};
  std::size_t texts = 0;
  for (const SettingRow& row : kSettings) texts += row.kind == SettingKind::Text;
  std::array<bool, kSettingCount> used{};
  for (std::size_t i = 0; i < kSettingCount; ++i) {
    const int rank = kSettings[i].saveRank;
    const bool textRank = rank >= 1 && static_cast<std::size_t>(rank) <= texts;
    if (rank < 1 || static_cast<std::size_t>(rank) > kSettingCount || used[rank - 1] ||
        textRank != (kSettings[i].kind == SettingKind::Text))
      throw "each setting needs its own save rank, the texts first";  // fails the constant evaluation
    used[rank - 1] = true;
    order[rank - 1] = i;
  }
  return order;
}
constexpr std::array<std::size_t, kSettingCount> kSaveOrder = SaveOrder();

constexpr const char* kRegistryWriteFailed = "IRG0001 Code=0  Final Write access to registry failed";

}  // namespace

std::string ProgramDirOf(const std::string& executablePath) {
  const size_t cut = executablePath.find_last_of("/:");
  std::string dir = cut == std::string::npos ? std::string() : executablePath.substr(0, cut + 1);
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

TForm1::TForm1(TComponent* owner) : TForm(owner) {
  Form1 = this;
  if (platform::Current().locale != nullptr) formats_ = platform::Current().locale->Formats();
  CreateLayout();
  DoCreate();
  StartHistory();
}

TForm1::~TForm1() {
  if (Form1 == this) Form1 = nullptr;
}

void TForm1::RenewOutline() {
  KZTransImage1->UpdateShape();
}

// --- start-up --------------------------------------------------------------------

void TForm1::OpenSysLog() {
  platform::IFileSystem* files = platform::Current().files;
  auto attempt = [&]() -> platform::FileStatus {
    if (files == nullptr) return platform::FileStatus::Failure(5, "no file system");
    auto created = files->CreateOrTruncate(SysLogPath);
    if (!created.Ok()) return created.status;
    return files->Close(created.value);
  };
  if (attempt().Ok()) return;
  Application->MessageBox("Error during open SYSLOG", Application->Title(), platform::kMbOk);
  const platform::FileStatus again = attempt();
  if (!again.Ok())
    throw EInOutError(Format("Cannot create %s: %s", SysLogPath.c_str(), again.message.c_str()));
}

void TForm1::FormCreate(TObject*) {
  // 1. Where the executable lies, and the system log: beside it, unless that
  // folder is not writable (an installed program), where the platform names a per-user place.
  std::string exe;
  if (platform::Current().system != nullptr) exe = platform::Current().system->ExecutablePath();
  ProgramDir = ProgramDirOf(exe);
  SysLogPath = platform::Current().system != nullptr
                   ? platform::Current().system->SystemLogPath(ProgramDir, defaults::kSysLogName)
                   : ProgramDir + defaults::kSysLogName;

  // 2. Every start begins a new system log. A log that cannot be had is
  // reported, and the start-up goes on: the watches and the settings matter more.
  RunGuarded([this] { OpenSysLog(); });

  // 3. The settings panel's place; it stays hidden.
  opts->SetBounds(122, 154, opts->Width(), opts->Height());

  // 4. The full picture, and the window's size and outline from it.
  fullsize->Picture().Assign(KZTransImage1->Picture());
  RenewOutline();

  // 5.
  RestorePending = false;
  SavedLeft = Left();
  SavedTop = Top();
  Connected = false;

  // 6.
  Timer3->SetInterval(IntervalMs(*pingintervaltime));

  // 7. A store that cannot be opened is reported; the settings then keep their
  // defaults and nothing is written over what the store holds.
  RunGuarded([this] { TessalyReg1->SetOpened(true); });

  // 8.
  LoadSettings();

  // 9.
  VersionBanner = defaults::kVersionBanner;
  LogEvent(VersionBanner + " started");

  // 10.
  MeasureWatchedLog();

  // 11.
  AppFound = false;
  Image3->Hide();

  // 12.
  Timer1->SetInterval(IntervalMs(*SpinEdit1));
}

void TForm1::LoadSettings() {
  for (const SettingRow& row : kSettings) {
    TControl* target = row.control(*this);
    // A setting that cannot be read is reported through the standard error
    // report and takes the default of its row; the others still load, so the
    // next save does not write design values over the user's settings.
    std::int32_t number = 0;
    std::string text;
    try {
      if (row.kind == SettingKind::Text)
        text = TessalyReg1->ReadString(row.name);
      else
        number = TessalyReg1->ReadInteger(row.name);
    } catch (const std::exception& e) {
      Application->HandleException(e);
      number = 0;
      text.clear();
    }
    switch (row.kind) {
      case SettingKind::Spin: static_cast<TSpinEdit*>(target)->SetValue(number); break;
      case SettingKind::Check: static_cast<TCheckBox*>(target)->SetChecked(number == 1); break;
      case SettingKind::Text:
        target->SetText(text);
        if (target->Text().empty()) target->SetText(row.fallback);
        break;
    }
  }
}

void TForm1::MeasureWatchedLog() {
  const std::string path = logfile->Text();
  platform::IFileSystem* files = platform::Current().files;
  bool measured = false;
  std::int64_t size = 0;
  if (files != nullptr) {
    auto opened = files->Open(path, platform::kGenericRead | platform::kGenericWrite,
                              platform::kFileShareRead, platform::kOpenExisting);
    if (opened.Ok()) {
      auto got = files->Size(opened.value);
      const platform::FileStatus closed = files->Close(opened.value);
      if (got.Ok() && closed.Ok()) {
        size = got.value;
        measured = true;
      }
    }
  }
  if (measured) {
    WatchedLogSize = size;
    LogEvent("Monitoring file " + path + ", Size=" + std::to_string(size) + "b");
    // The size just measured is the base now, whatever was waiting.
    watchedLog_->changePending = false;
    ReadLogInBackground(path, std::make_shared<LogLineReader>());
  } else {
    LogEvent("File to monitor not found (" + path + ")");
  }
}

// --- saving and shutdown ----------------------------------------------------------

void TForm1::SaveSettings() {
  TessalyReg1->SetOpened(true);
  for (const std::size_t index : kSaveOrder) {
    const SettingRow& row = kSettings[index];
    TControl* source = row.control(*this);
    switch (row.kind) {
      case SettingKind::Spin:
        TessalyReg1->WriteInteger(row.name, static_cast<TSpinEdit*>(source)->Value());
        break;
      case SettingKind::Check:
        TessalyReg1->WriteInteger(row.name, static_cast<TCheckBox*>(source)->Checked() ? 1 : 0);
        break;
      case SettingKind::Text: TessalyReg1->WriteString(row.name, source->Text()); break;
    }
  }
  TessalyReg1->SetOpened(false);
}

void TForm1::ExplorerButton4Click(TObject*) {
  opts->Hide();
  OnlyIfRunning1->AppTitles().Clear();
  OnlyIfRunning1->AppTitles().Add(Edit2->Text());
  try {
    SaveSettings();
  } catch (const std::exception&) {
    Application->MessageBox(kRegistryWriteFailed, Application->Title(), platform::kMbOk);
  }
}

void TForm1::ExplorerButton1Click(TObject* Sender) {
  Timer3->SetInterval(0);
  SetFormStyle(TFormStyle::fsNormal);
  RenewOutline();
  const int answer = Application->MessageBox("Sure you want to stop monitoring ?",
                                             "Confirm Monitoring Shutdown", platform::kMbOkCancel);
  if (answer == platform::kIdOk) {
    ExplorerButton4Click(Sender);
    Timer3->SetInterval(0);
    Application->Terminate(0);
  }
  SetFormStyle(TFormStyle::fsStayOnTop);
  Timer3->SetInterval(IntervalMs(*pingintervaltime));
  RenewOutline();
}

// --- handlers that later watches complete ------------------------------------------

void TForm1::colorsbuttonClick(TObject*) {
  opts->Show();
}

void TForm1::Edit2Change(TObject*) {
  OnlyIfRunning1->AppTitles().Clear();
  OnlyIfRunning1->AppTitles().Add(Edit2->Text());
}

}  // namespace qv
