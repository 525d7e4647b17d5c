// The main window: start-up, settings, event log and the watches.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/LogLineReader.h"
#include "platform/Locale.h"
#include "toolkit/Dialogs.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Forms.h"
#include "toolkit/Menus.h"
#include "toolkit/StdCtrls.h"
#include "toolkit/Timer.h"
#include "widgets/Gauges.h"
#include "widgets/Graflite.h"
#include "widgets/Scope.h"

namespace qv {

class TTessalyReg;
class TSpinEdit;
class TExplorerButton;
class TKZTransImage;
class TOnlyIfRunning;
class TWindowList;
class TTrayIcon;
class TGoToWeb;
class TNorvikEasyThread;
class TEasyThreadThread;
class TPing;
namespace history {
class Recorder;
}

class TForm1 : public TForm {
 public:
  // Creates every component from the stored layout, then runs FormCreate.
  explicit TForm1(TComponent* owner);
  ~TForm1() override;

  // --- program-wide state ---------------------------------------------------
  std::string ProgramDir;
  std::string SysLogPath;
  std::string VersionBanner;
  bool AppFound = false;
  // Why the desktop's window list could not be read at the latest presence
  // check; empty when it could. Nothing is started while it cannot be read.
  std::string WindowListProblem;
  bool Connected = false;
  // 64 bits: a log beyond 2 GB keeps its true size (see docs/DEVIATIONS.md).
  std::int64_t WatchedLogSize = 0;
  // The newest line read from the watched log file, over all reads so far.
  std::string LastLine;
  bool HaveLastLine = false;
  bool RestorePending = false;
  std::int32_t SavedLeft = 0, SavedTop = 0;
  std::int32_t SavedPingInterval = 0;
  // Drag state of the borderless window.
  std::intptr_t IcmpHandle = 0;  // handle of the running echo cycle
  bool Dragging = false;
  std::int32_t DragStartX = 0, DragStartY = 0, DragLeft = 0, DragTop = 0;

  // --- event log --------------------------------------------------------------
  // Safe from any thread; lines keep the order of the calls.
  void LogEvent(const std::string& message);
  void AppendToSysLog(const std::string& line);

  // --- handlers wired by the layout -------------------------------------------
  void FormCreate(TObject* Sender);
  void ExplorerButton4Click(TObject* Sender);  // "Watch": hide the panel and save
  void ExplorerButton1Click(TObject* Sender);  // "X": confirmed shutdown
  void Timer4Timer(TObject* Sender);           // heartbeat
  void Timer1Timer(TObject* Sender);           // watch timer
  void Timer3Timer(TObject* Sender);           // ping timer
  void pingintervaltimeChange(TObject* Sender);
  void Edit2Change(TObject* Sender);
  void OnlyIfRunning1ApplicationFound(TObject* Sender, const std::string& FoundApp);
  void OnlyIfRunning1ApplicationNotFound(TObject* Sender);
  void OnlyIfRunning1WindowListUnavailable(TObject* Sender, const std::string& Reason);
  void Label4DblClick(TObject* Sender);  // manual start, also "Exec PGM"
  void Panel9Click(TObject* Sender);     // "Select" a log file to watch
  // "Select" a file for a field of the settings panel.
  void Panel6Click(TObject* Sender);    // the program to start
  void Panel7Click(TObject* Sender);    // the restart sound
  void Panel10Click(TObject* Sender);   // the log sound
  void Panel20Click(TObject* Sender);   // the ping sound
  void Panel22Click(TObject* Sender);   // the echo sound
  void Panel23Click(TObject* Sender);   // the time-out sound
  void reconsndClick(TObject* Sender);  // the reconnect sound
  void Panel8Click(TObject* Sender);    // "Test" the restart sound
  void Panel11Click(TObject* Sender);   // "Test" the log sound
  void Button1Click(TObject* Sender);   // diagnostic: list the windows, close the watched ones
  void PingActiveClick(TObject* Sender);
  void colorsbuttonClick(TObject* Sender);
  void NorvikEasyThread1Exec(TObject* Sender, TEasyThreadThread* Thread);
  void RandomTimerClick(TObject* Sender);
  void randomizertimerTimer(TObject* Sender);
  void Panel25Click(TObject* Sender);  // URL to IP
  void Ping1DnsLookupDone(TObject* Sender, std::uint16_t Error);
  void Panel19Click(TObject* Sender);  // ping sound
  void Panel21Click(TObject* Sender);  // echo sound
  void Panel14Click(TObject* Sender);  // time-out sound
  void Panel1Click(TObject* Sender);   // reconnect sound

  // --- the window itself (Unit1Window.cpp) ------------------------------------
  void Image6MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void Image6MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void Image6MouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void ExplorerButton3Click(TObject* Sender);   // small view
  void Image2Click(TObject* Sender);            // bonus view
  void Timer2Timer(TObject* Sender);            // end of the bonus view
  void KZTransImage1DblClick(TObject* Sender);  // full view
  void ExplorerButton2Click(TObject* Sender);   // minimise
  void panel3Click(TObject* Sender);            // send to the tray
  void FormHide(TObject* Sender);
  void SystemTrayClick(TObject* Sender);
  // Another start of the program: the window comes back from the
  // notification area or the taskbar, to the front.
  void ShowOnSecondStart();
  void Label3Click(TObject* Sender);  // the web page

  // Renews the window's size and outline from the picture it shows.
  void RenewOutline();
  // Bytes of the watched log that the next change need not read again.
  std::int64_t WatchedLogBytesKnown() const { return watchedLog_->reader.Resumable(); }
  // The watched log is being read in the background.
  bool WatchedLogReading() const { return watchedLog_->reading != 0; }

  // --- connection history (Unit1History.cpp) -----------------------------------
  // Starts recording when the platform keeps a history; the scope and the
  // lamp then show the last hour and day as their hint.
  void StartHistory();
  // Each records one event; nothing without a history. GUI thread.
  void HistoryEcho(const std::string& destination, bool reply, std::uint32_t status,
                   std::uint32_t roundTripMs);
  void HistoryStart(bool automatic, const std::string& command, unsigned result);
  void HistoryLogChange(const std::string& path);
  void ConnectionReport1Click(TObject* Sender);  // "Connection report..."
  std::shared_ptr<history::Recorder> History;    // null: history off
  TTimer* HistoryHintTimer = nullptr;

  // --- components, in form order ----------------------------------------------
  TKZTransImage* KZTransImage1 = nullptr;
  TImage* fullsize = nullptr;
  TImage* smallsize = nullptr;
  TImage* bonussize = nullptr;
  TExplorerButton* colorsbutton = nullptr;
  TExplorerButton* ExplorerButton4 = nullptr;
  TExplorerButton* ExplorerButton3 = nullptr;
  TExplorerButton* OfficeButton2 = nullptr;
  TExplorerButton* ExplorerButton2 = nullptr;
  TExplorerButton* ExplorerButton1 = nullptr;
  TLabel* Label3 = nullptr;
  TImage* Image2 = nullptr;
  TLabel* Label14 = nullptr;
  TListBox* ListBox1 = nullptr;
  TListBox* ListBox2 = nullptr;
  TImage* Image3 = nullptr;
  TLabel* Label1 = nullptr;
  TLabel* icmpinfo = nullptr;
  TScope* Scope1 = nullptr;
  TPanel* Panel12 = nullptr;
  TGauge* Gauge1 = nullptr;
  TGraphicLight* GraphicLight1 = nullptr;
  TLabel* Label16 = nullptr;
  TCheckBox* PingActive = nullptr;
  TCheckBox* AppMonitorActive = nullptr;

  // Settings panel.
  TPanel* opts = nullptr;
  TImage* Image1 = nullptr;
  TPanel* Panel15 = nullptr;
  TPanel* Panel18 = nullptr;
  TEdit* Edit2 = nullptr;
  TSpinEdit* SpinEdit1 = nullptr;
  TPanel* Panel2 = nullptr;  // "Exec PGM"
  TLabel* Label4 = nullptr;  // "this program: --->"
  TEdit* Edit1 = nullptr;
  TPanel* Panel6 = nullptr;
  TExplorerButton* ExplorerButton5 = nullptr;
  TLabel* Label15 = nullptr;
  TEdit* testurl = nullptr;
  TPanel* Panel8 = nullptr;
  TEdit* Edit3 = nullptr;
  TPanel* Panel7 = nullptr;
  TPanel* Panel25 = nullptr;
  TCheckBox* ipalarmsound = nullptr;
  TPanel* Panel14 = nullptr;
  TEdit* ipalarm = nullptr;
  TPanel* Panel23 = nullptr;
  TEdit* edIpAddr = nullptr;
  TCheckBox* pingsound = nullptr;
  TPanel* Panel19 = nullptr;
  TEdit* pingfile = nullptr;
  TPanel* Panel20 = nullptr;
  TSpinEdit* pingintervaltime = nullptr;
  TCheckBox* pongsound = nullptr;
  TPanel* Panel21 = nullptr;
  TEdit* pongfile = nullptr;
  TPanel* Panel22 = nullptr;
  TCheckBox* RandomTimer = nullptr;
  TEdit* logfile = nullptr;
  TPanel* Panel9 = nullptr;
  TPanel* Panel11 = nullptr;
  TEdit* Edit4 = nullptr;
  TPanel* Panel10 = nullptr;
  TPanel* Panel1 = nullptr;
  TEdit* reconsound = nullptr;
  TPanel* reconsnd = nullptr;
  TImage* green = nullptr;
  TImage* red = nullptr;
  TPanel* Button1 = nullptr;

  // Non-visual components.
  TTimer* Timer1 = nullptr;
  TTimer* Timer3 = nullptr;
  TTimer* randomizertimer = nullptr;
  TTimer* Timer2 = nullptr;
  TTimer* Timer4 = nullptr;
  TTessalyReg* TessalyReg1 = nullptr;
  TOnlyIfRunning* OnlyIfRunning1 = nullptr;
  TWindowList* WindowList1 = nullptr;
  TNorvikEasyThread* NorvikEasyThread1 = nullptr;
  TPing* Ping1 = nullptr;
  TTrayIcon* systemtray = nullptr;
  TGoToWeb* GoToWeb1 = nullptr;
  TOpenDialog* OpenDialog1 = nullptr;
  TOpenDialog* OpenDialog2 = nullptr;
  TOpenDialog* OpenDialog3 = nullptr;
  TPopupMenu* PopupMenu1 = nullptr;
  TPopupMenu* PopupMenu2 = nullptr;

 private:
  void CreateLayout();       // the stored form description (Unit1Layout.cpp)
  void LoadSettings();       // start-up step 8
  void SaveSettings();       // the guarded block of the save
  void MeasureWatchedLog();  // start-up step 10, and after a log file is chosen
  // Reads the watched log on from where `reader` stopped, off the GUI thread;
  // FinishLogRead takes the result back on the GUI thread.
  void ReadLogInBackground(const std::string& path, std::shared_ptr<LogLineReader> reader);
  void FinishLogRead(std::uint64_t read, LogLineReader&& reader, bool ok);
  // Lets the user choose a file for `field` in `dialog`, with the window
  // ordinary while the dialog is up; true when a file was chosen.
  bool SelectFile(TOpenDialog& dialog, TEdit& field);
  void WatchLogFile();  // the watch timer's log-file half
  // Logs the newest line of a changed log, or hands a long read to the
  // background; false when the file has no line or cannot be read.
  bool CopyNewestLogLine(platform::IFileSystem& files, const platform::FileHandle& file,
                         const std::string& path);
  void WatchApplication();  // the watch timer's application half
  // Starts the watched program; false when the system refused.
  bool StartWatchedProgram(const std::string& command, bool automatic);
  void OpenSysLog();  // start-up step 2
  // The small and bonus views: `picture` shown in the screen's lower left corner.
  void ShowCompactView(TImage* picture);
  // The full view's controls hidden while a compact view shows, to be shown again.
  std::vector<TControl*> hiddenByCompactView_;
  bool compactView_ = false;

  // Queued event log lines: taken in call order from any thread, written to the
  // list and the file on the GUI thread only.
  struct PendingLine {
    std::string listLine;
    std::string fileLine;
  };
  PendingLine StampLine(const std::string& message) const;
  void DrainLog();
  void WriteLogLine(const PendingLine& line);

  // The watched log, read as far as it is known (GUI thread only). What would
  // cost the GUI thread more than a short read is read in the background: a
  // newly chosen log, and a change that brings a new or much grown file. A
  // change that comes meanwhile logs its line when that read ends.
  struct WatchedLog {
    LogLineReader reader;        // with the background read while one runs
    std::uint64_t reads = 0;     // background reads started
    std::uint64_t reading = 0;   // the one running; 0: none
    bool changePending = false;  // a change announced, its line still to come
  };
  std::shared_ptr<WatchedLog> watchedLog_ = std::make_shared<WatchedLog>();
  std::jthread logReadThread_;  // after watchedLog_: stopped and joined first

  std::mutex logMutex_;
  std::deque<PendingLine> logQueue_;
  bool draining_ = false;              // GUI thread only
  platform::TimeDateFormats formats_;  // read once at start
};

// A spin edit's seconds as a timer interval in milliseconds: the value as typed
// brought into the field's range, and never 0 or beyond what the timer holds.
unsigned IntervalMs(const TSpinEdit& seconds);
// The scope's value for a round-trip time: whole fiftieths of a second.
std::int32_t ScaledRoundTrip(std::uint32_t roundTripMs);
// Plays a sound file without waiting; a missing file plays the default sound.
void PlaySoundFile(const std::string& path);

// The directory part of the executable's path, ending in "/".
std::string ProgramDirOf(const std::string& executablePath);

// The main window, set before its creation handler runs.
extern TForm1* Form1;

// Defaults of the settings and the product's fixed texts.
namespace defaults {
inline constexpr const char* kVersionBanner = "Quorvane Rel. 3.6";
inline constexpr const char* kSysLogName = "quorvane.log";
// Reachability-check hosts and a public resolver address (see README).
inline constexpr const char* kTestHost = "connectivity-check.ubuntu.com";
inline constexpr const char* kPingHost = "nmcheck.gnome.org";
inline constexpr const char* kPingAddress = "9.9.9.9";
inline constexpr const char* kWebAddress = "www.quorvane.example";
inline constexpr const char* kWebUrl = "https://www.quorvane.example/";
}  // namespace defaults

}  // namespace qv
