// The main window's start-up, settings and its small handlers.
#include "app/Unit1.h"

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

// What a setting is and where it goes; the order is the read order.
enum class SettingKind { Spin, Check, Text };

struct SettingRow {
  const char* name;
  SettingKind kind;
  const char* fallback;  // text settings: used when the stored text is empty
};

constexpr SettingRow kSettings[] = {
    {"pingintervaltime", SettingKind::Spin, nullptr},
    {"ipalarmsound", SettingKind::Check, nullptr},
    {"pongsound", SettingKind::Check, nullptr},
    {"pingsound", SettingKind::Check, nullptr},
    {"WatchAppCaption", SettingKind::Text, "DC++ "},
    {"reconsound", SettingKind::Text, "c:\\winnt\\media\\ringout.wav"},
    {"testurl", SettingKind::Text, defaults::kTestHost},
    {"ipalarm", SettingKind::Text, "c:\\winnt\\media\\ringout.wav"},
    {"URL", SettingKind::Text, defaults::kPingHost},
    {"Sound", SettingKind::Text, "c:\\winnt\\media\\ringout.wav"},
    {"Execute", SettingKind::Text, "c:\\program files\\dcplus\\DCPlusPlus.exe"},
    {"log", SettingKind::Text, "c:\\program files\\dcplus\\logs\\downloads.log"},
    {"pingfile", SettingKind::Text, "c:\\winnt\\media\\ping.wav"},
    {"pongfile", SettingKind::Text, "c:\\winnt\\media\\pong.wav"},
    {"logsound", SettingKind::Text, "c:\\winnt\\media\\ringout.wav"},
    {"interval", SettingKind::Spin, nullptr},
    {"AppMonitorActive", SettingKind::Check, nullptr},
    {"PingActive", SettingKind::Check, nullptr},
};

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
  // 1. Where the executable lies, and the system log beside it.
  std::string exe;
  if (platform::Current().system != nullptr) exe = platform::Current().system->ExecutablePath();
  ProgramDir = ProgramDirOf(exe);
  SysLogPath = ProgramDir + defaults::kSysLogName;

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
  TControl* targets[] = {
      pingintervaltime, ipalarmsound, pongsound, pingsound, Edit2,    reconsound, testurl, ipalarm,
      edIpAddr,         Edit3,        Edit1,     logfile,   pingfile, pongfile,   Edit4,   SpinEdit1,
      AppMonitorActive, PingActive};
  static_assert(std::size(kSettings) == 18);
  for (size_t i = 0; i < std::size(kSettings); ++i) {
    const SettingRow& row = kSettings[i];
    TControl* target = targets[i];
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
    WatchedLogSize = static_cast<std::int32_t>(size);
    LogEvent("Monitoring file " + path + ", Size=" + IntToStr(static_cast<std::int32_t>(size)) + "b");
  } else {
    LogEvent("File to monitor not found (" + path + ")");
  }
}

// --- saving and shutdown ----------------------------------------------------------

void TForm1::SaveSettings() {
  TessalyReg1->SetOpened(true);
  const std::pair<const char*, TControl*> texts[] = {
      {"logsound", Edit4},    {"reconsound", reconsound}, {"WatchAppCaption", Edit2}, {"URL", edIpAddr},
      {"Execute", Edit1},     {"Sound", Edit3},           {"log", logfile},           {"pingfile", pingfile},
      {"pongfile", pongfile}, {"ipalarm", ipalarm},       {"testurl", testurl},
  };
  for (const auto& [name, control] : texts) TessalyReg1->WriteString(name, control->Text());
  TessalyReg1->WriteInteger("interval", SpinEdit1->Value());
  TessalyReg1->WriteInteger("pingintervaltime", pingintervaltime->Value());
  const std::pair<const char*, TCheckBox*> checks[] = {
      {"PingActive", PingActive}, {"AppMonitorActive", AppMonitorActive}, {"pingsound", pingsound},
      {"pongsound", pongsound},   {"ipalarmsound", ipalarmsound},
  };
  for (const auto& [name, box] : checks) TessalyReg1->WriteInteger(name, box->Checked() ? 1 : 0);
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
