// The main window's stored form description, written as code: every component
// is created in form order and its design values are set in their stored
// order inside the loading bracket.
#include "app/Pictures.h"
#include "app/Unit1.h"
#include "desktop/GoToWeb.h"
#include "desktop/KZTransImg.h"
#include "desktop/TrayIcon.h"
#include "net/Ping.h"
#include "presence/WindowList.h"
#include "presence/onlyrun.h"
#include "settings/TessalyReg.h"
#include "widgets/Spin.h"
#include "widgets/explbtn.h"
#include "worker/easythrd.h"

namespace qv {

namespace {

// Colours of the window, chosen to read well on its picture.
constexpr TColor kLogBackground = RGB(74, 77, 74);
constexpr TColor kTraceRed = RGB(255, 0, 82);
constexpr TColor kStatusText = RGB(214, 223, 239);
constexpr TColor kPanelFace = RGB(214, 223, 239);
constexpr TColor kCaptionGrey = RGB(68, 68, 68);

template <typename T>
T* Make(TComponent* owner, TWinControl* parent, const char* name) {
  T* c = new T(owner);
  c->SetName(name);
  if constexpr (std::is_base_of_v<TControl, T>) {
    if (parent != nullptr) c->SetParent(parent);
  }
  return c;
}

void SetFont(TControl* c, const char* name, int height, TColor color, unsigned style = 0) {
  c->Font().SetName(name);
  c->Font().SetHeight(height);
  c->Font().SetColor(color);
  c->Font().SetStyle(style);
  c->FontChanged();
}

// A small flat panel with a caption that acts as a button ("Select", "Test").
TPanel* SmallPanel(TComponent* owner, TWinControl* parent, const char* name, const char* caption, int left,
                   int top, TColor color = clSilver, int width = 38) {
  auto* p = Make<TPanel>(owner, parent, name);
  p->SetBounds(left, top, width, 21);
  p->SetCaption(caption);
  p->SetColor(color);
  p->SetBevelOuter(TPanelBevel::bvRaised);
  p->SetCursor(1);
  return p;
}

TLabel* PanelLabel(TComponent* owner, TWinControl* parent, const char* name, const char* caption, int left,
                   int top) {
  auto* l = Make<TLabel>(owner, parent, name);
  l->SetBounds(left, top, 0, 13);
  l->SetCaption(caption);
  l->SetTransparent(true);
  return l;
}

TEdit* PathEdit(TComponent* owner, TWinControl* parent, const char* name, int left, int top, int width,
                const char* text) {
  auto* e = Make<TEdit>(owner, parent, name);
  e->SetBounds(left, top, width, 21);
  e->SetText(text);
  return e;
}

TCheckBox* Check(TComponent* owner, TWinControl* parent, const char* name, const char* caption, int left,
                 int top, int width, TColor color) {
  auto* c = Make<TCheckBox>(owner, parent, name);
  c->SetBounds(left, top, width, 17);
  c->SetCaption(caption);
  c->SetColor(color);
  return c;
}

constexpr const char* kDesignSound = "c:\\winnt\\media\\chimes.wav";

// The picture buttons always show their main picture; the caption-only ones
// keep the grey-picture option they were made with, though they have no picture.
constexpr TExplorerButtonOptions kPictureButton{boPopupMark, boShowBevel};
constexpr TExplorerButtonOptions kCaptionButton{boMonoDisplay, boPopupMark, boShowBevel};

void SetButtonPicture(TExplorerButton* button, PictureId id) {
  TBitmap picture;
  LoadBitmap(picture, id);
  button->SetBitmap(&picture);
}

}  // namespace

void TForm1::CreateLayout() {
  SetName("Form1");
  BeginLoading();

  // The window: 770 x 597 at design, resized to its picture at start-up.
  SetBounds(144, 60, 770, 597);
  SetBorderStyle(TFormBorderStyle::bsNone);
  SetCaption("Quorvane");
  SetColor(clWhite);
  SetFont(this, "MS Sans Serif", -11, clWindowText);
  SetFormStyle(TFormStyle::fsStayOnTop);
  SetPosition(TPosition::poScreenCenter);

  PopupMenu2 = Make<TPopupMenu>(this, nullptr, "PopupMenu2");
  PopupMenu1 = Make<TPopupMenu>(this, nullptr, "PopupMenu1");

  KZTransImage1 = Make<TKZTransImage>(this, this, "KZTransImage1");
  KZTransImage1->SetBounds(0, 0, 764, 581);
  KZTransImage1->SetTransColor(clRed);
  KZTransImage1->SetAdjustFormSize(true);
  LoadPicture(KZTransImage1->Picture(), PictureId::FullView);
  KZTransImage1->SetPopupMenu(PopupMenu2);

  fullsize = Make<TImage>(this, this, "fullsize");
  fullsize->SetBounds(8, 600, 33, 33);
  fullsize->SetVisible(false);
  smallsize = Make<TImage>(this, this, "smallsize");
  smallsize->SetBounds(48, 600, 98, 125);
  smallsize->SetVisible(false);
  LoadPicture(smallsize->Picture(), PictureId::SmallView);
  bonussize = Make<TImage>(this, this, "bonussize");
  bonussize->SetBounds(152, 600, 151, 358);
  bonussize->SetVisible(false);
  LoadPicture(bonussize->Picture(), PictureId::BonusView);

  // The window's buttons: white captions while the pointer is elsewhere.
  colorsbutton = Make<TExplorerButton>(this, this, "colorsbutton");
  colorsbutton->SetBounds(51, 218, 46, 46);
  SetButtonPicture(colorsbutton, PictureId::SettingsButton);
  colorsbutton->SetCaption("Settings");
  colorsbutton->SetOptions(kPictureButton);
  colorsbutton->SetShadingType(TExplorerButtonShadingType::stLight);
  colorsbutton->SetUnselectedFontColor(clWhite);
  SetFont(colorsbutton, "MS Sans Serif", -11, clAqua);
  ExplorerButton4 = Make<TExplorerButton>(this, this, "ExplorerButton4");
  ExplorerButton4->SetBounds(51, 274, 46, 46);
  SetButtonPicture(ExplorerButton4, PictureId::WatchButton);
  ExplorerButton4->SetCaption("Watch");
  ExplorerButton4->SetOptions(kPictureButton);
  ExplorerButton4->SetShadingType(TExplorerButtonShadingType::stLight);
  ExplorerButton4->SetUnselectedFontColor(clWhite);
  SetFont(ExplorerButton4, "MS Sans Serif", -11, clAqua);
  ExplorerButton3 = Make<TExplorerButton>(this, this, "ExplorerButton3");
  ExplorerButton3->SetBounds(588, 55, 36, 36);
  SetButtonPicture(ExplorerButton3, PictureId::SmallViewButton);
  ExplorerButton3->SetOptions(kPictureButton);
  ExplorerButton3->SetUnselectedFontColor(clWhite);
  OfficeButton2 = Make<TExplorerButton>(this, this, "OfficeButton2");
  OfficeButton2->SetBounds(629, 55, 36, 36);
  OfficeButton2->SetCaption(".");
  OfficeButton2->SetOptions(kCaptionButton);
  OfficeButton2->SetUnselectedFontColor(clWhite);
  SetFont(OfficeButton2, "Arial", -28, clBlack, fsBold);
  ExplorerButton2 = Make<TExplorerButton>(this, this, "ExplorerButton2");
  ExplorerButton2->SetBounds(671, 55, 36, 36);
  ExplorerButton2->SetCaption("_");
  ExplorerButton2->SetOptions(kCaptionButton);
  ExplorerButton2->SetUnselectedFontColor(clWhite);
  SetFont(ExplorerButton2, "Arial", -20, clBlack, fsBold);
  ExplorerButton1 = Make<TExplorerButton>(this, this, "ExplorerButton1");
  ExplorerButton1->SetBounds(712, 57, 36, 36);
  ExplorerButton1->SetCaption("X");
  ExplorerButton1->SetOptions(kCaptionButton);
  ExplorerButton1->SetUnselectedFontColor(clWhite);
  SetFont(ExplorerButton1, "Arial", -14, clBlack, fsBold);

  Label3 = Make<TLabel>(this, this, "Label3");
  Label3->SetBounds(137, 163, 0, 14);
  Label3->SetCaption(defaults::kWebAddress);
  Label3->SetTransparent(true);
  SetFont(Label3, "Arial", -12, clAqua, fsUnderline);
  Label3->SetCursor(2);

  Image2 = Make<TImage>(this, this, "Image2");
  Image2->SetBounds(355, 170, 35, 17);
  Image2->SetHint("Click me for a bonus !");
  Image2->SetShowHint(true);
  LoadPicture(Image2->Picture(), PictureId::BonusLink);

  Label14 = Make<TLabel>(this, this, "Label14");
  Label14->SetBounds(134, 412, 0, 16);
  Label14->SetCaption("Message Log");
  Label14->SetTransparent(true);
  SetFont(Label14, "Arial", -13, kCaptionGrey, fsBold);

  ListBox1 = Make<TListBox>(this, this, "ListBox1");
  ListBox1->SetBounds(134, 444, 349, 97);
  ListBox1->SetColor(kLogBackground);
  SetFont(ListBox1, "MS Sans Serif", -11, kTraceRed);

  Image3 = Make<TImage>(this, this, "Image3");
  Image3->SetBounds(59, 496, 32, 32);
  Image3->SetTransparent(true);
  LoadPicture(Image3->Picture(), PictureId::Indicator);

  Label1 = Make<TLabel>(this, this, "Label1");
  Label1->SetAutoSize(false);
  Label1->SetBounds(532, 538, 225, 29);
  Label1->SetCaption("Monitoring is starting up...");
  Label1->SetTransparent(true);
  Label1->SetWordWrap(true);
  SetFont(Label1, "MS Sans Serif", -11, kStatusText);

  // Baseline and grid size come before the colours, so the first grid is drawn
  // in the constructor's colours, as a stored layout does it.
  Scope1 = Make<TScope>(this, this, "Scope1");
  Scope1->SetBounds(228, 222, 233, 113);
  Scope1->SetBaseline(50);
  Scope1->SetGridsize(14);
  Scope1->SetActive(false);
  Scope1->SetPosition(100);
  Scope1->SetInterval(50);
  Scope1->SetColor(clBlack);
  Scope1->SetGridcolor(clSilver);
  Scope1->SetLinecolor(kTraceRed);
  Scope1->SetBasecolor(clBlack);

  icmpinfo = Make<TLabel>(this, this, "icmpinfo");
  icmpinfo->SetAutoSize(false);
  icmpinfo->SetBounds(226, 366, 287, 13);
  icmpinfo->SetCaption("IcmpInfo");
  icmpinfo->SetColor(clBlack);
  SetFont(icmpinfo, "MS Sans Serif", -11, clLime);

  Panel12 = Make<TPanel>(this, this, "Panel12");
  Panel12->SetBounds(540, 240, 33, 65);
  Panel12->SetBevelOuter(TPanelBevel::bvLowered);
  Panel12->SetColor(clBlack);

  Gauge1 = Make<TGauge>(this, Panel12, "Gauge1");
  Gauge1->SetBounds(3, 3, 27, 59);
  Gauge1->SetColor(kPanelFace);
  Gauge1->SetKind(gkVerticalBar);
  Gauge1->SetShowText(false);
  Gauge1->SetBorderStyle(TBorderStyle::bsNone);
  Gauge1->SetForeColor(kTraceRed);
  Gauge1->SetBackColor(kPanelFace);
  Gauge1->SetProgress(50);

  GraphicLight1 = Make<TGraphicLight>(this, this, "GraphicLight1");
  GraphicLight1->SetBounds(620, 261, 16, 16);
  GraphicLight1->SetActiveLight(alGreen);
  GraphicLight1->SetDarkLite(false);
  GraphicLight1->SetHeavyLite(false);

  Label16 = Make<TLabel>(this, this, "Label16");
  Label16->SetAutoSize(false);
  Label16->SetBounds(682, 240, 41, 65);
  Label16->SetAlignment(TAlignment::taRightJustify);
  Label16->SetCaption("IcmpInfo");
  Label16->SetTransparent(true);
  Label16->SetWordWrap(true);
  SetFont(Label16, "MS Sans Serif", -11, kStatusText);

  PingActive = Check(this, this, "PingActive", "Pinging", 636, 409, 112, kPanelFace);
  AppMonitorActive = Check(this, this, "AppMonitorActive", "App Monitoring", 636, 483, 112, kPanelFace);

  // --- the settings panel ------------------------------------------------------
  opts = Make<TPanel>(this, this, "opts");
  opts->SetBounds(164, 136, 624, 247);
  opts->SetBevelOuter(TPanelBevel::bvNone);
  opts->SetVisible(false);
  Image1 = Make<TImage>(this, opts, "Image1");
  Image1->SetBounds(0, 0, 624, 248);
  Image1->SetAlign(TAlign::alTop);
  LoadPicture(Image1->Picture(), PictureId::Options);

  Panel15 = Make<TPanel>(this, opts, "Panel15");
  Panel15->SetBounds(20, 38, 601, 144);
  Panel15->SetBevelOuter(TPanelBevel::bvNone);
  Panel15->SetColor(kPanelFace);
  TWinControl* p = Panel15;
  constexpr int kRow = 24, kTop = 2;
  auto row = [](int r) { return kTop + r * kRow; };

  // Row 1: the caption to watch and the restart delay.
  PanelLabel(this, p, "Label2", "Window Caption to monitor:", 4, row(0) + 4);
  Edit2 = PathEdit(this, p, "Edit2", 164, row(0), 73, "DC++ 0.176");
  PanelLabel(this, p, "Label5", "if missing, then after", 241, row(0) + 4);
  SpinEdit1 = Make<TSpinEdit>(this, p, "SpinEdit1");
  SpinEdit1->SetBounds(376, row(0), 54, 22);
  SpinEdit1->SetMaxValue(99999);
  SpinEdit1->SetMinValue(1);
  SpinEdit1->SetValue(15);
  PanelLabel(this, p, "Label6", "seconds I will try to start", 434, row(0) + 4);

  // Row 2: the program to start.
  Panel2 = SmallPanel(this, p, "Panel2", "Exec PGM", 4, row(1), clSilver, 56);
  Label4 = PanelLabel(this, p, "Label4", "this program: --->", 64, row(1) + 4);
  Label4->SetHint("double click to manually start the application...");
  Label4->SetShowHint(true);
  Edit1 = PathEdit(this, p, "Edit1", 176, row(1), 174, "c:\\program files\\dcplus\\DCPlusPlus.exe");
  Panel6 = SmallPanel(this, p, "Panel6", "Select", 354, row(1));
  ExplorerButton5 = Make<TExplorerButton>(this, p, "ExplorerButton5");
  ExplorerButton5->SetBounds(398, row(1), 22, 22);
  SetButtonPicture(ExplorerButton5, PictureId::MinimiseButton);
  {
    TBitmap disabled;
    LoadBitmap(disabled, PictureId::MinimiseButtonDisabled);
    ExplorerButton5->SetDisabledBitmap(&disabled);
  }
  ExplorerButton5->SetEnabled(false);
  ExplorerButton5->SetOptions(kPictureButton);
  ExplorerButton5->SetUnselectedFontColor(clWhite);
  Label15 = PanelLabel(this, p, "Label15", "http://", 424, row(1) + 4);
  testurl = PathEdit(this, p, "testurl", 468, row(1), 128, defaults::kTestHost);

  // Row 3: the restart sound and the URL-to-IP test.
  PanelLabel(this, p, "Label7", "and play this wav", 4, row(2) + 4);
  Panel8 = SmallPanel(this, p, "Panel8", "Test", 126, row(2));
  Edit3 = PathEdit(this, p, "Edit3", 168, row(2), 182, kDesignSound);
  Panel7 = SmallPanel(this, p, "Panel7", "Select", 354, row(2));
  Panel25 = SmallPanel(this, p, "Panel25", "URL2IP", 398, row(2), clRed, 60);
  Panel25->Font().SetColor(clWhite);
  Panel25->FontChanged();

  // Row 4: the time-out sound and the address to ping.
  ipalarmsound = Check(this, p, "ipalarmsound", "TimeOut msg", 4, row(3) + 2, 100, kPanelFace);
  Panel14 = SmallPanel(this, p, "Panel14", "Test", 126, row(3));
  ipalarm = PathEdit(this, p, "ipalarm", 168, row(3), 182, kDesignSound);
  Panel23 = SmallPanel(this, p, "Panel23", "Select", 354, row(3));
  PanelLabel(this, p, "Label8", "IP to PING", 398, row(3) + 4);
  edIpAddr = PathEdit(this, p, "edIpAddr", 462, row(3), 134, defaults::kPingAddress);

  // Row 5: the ping sound and the interval.
  pingsound = Check(this, p, "pingsound", "PING", 4, row(4) + 2, 100, kPanelFace);
  Panel19 = SmallPanel(this, p, "Panel19", "Test", 126, row(4));
  pingfile = PathEdit(this, p, "pingfile", 168, row(4), 182, kDesignSound);
  Panel20 = SmallPanel(this, p, "Panel20", "Select", 354, row(4));
  PanelLabel(this, p, "Label9", "Interval (secs)", 398, row(4) + 4);
  pingintervaltime = Make<TSpinEdit>(this, p, "pingintervaltime");
  pingintervaltime->SetBounds(494, row(4), 50, 22);
  pingintervaltime->SetMaxValue(15);
  pingintervaltime->SetMinValue(1);
  pingintervaltime->SetValue(4);

  // Row 6: the echo sound and random intervals.
  pongsound = Check(this, p, "pongsound", "Echo", 4, row(5) + 2, 100, kPanelFace);
  Panel21 = SmallPanel(this, p, "Panel21", "Test", 126, row(5));
  pongfile = PathEdit(this, p, "pongfile", 168, row(5), 182, kDesignSound);
  Panel22 = SmallPanel(this, p, "Panel22", "Select", 354, row(5));
  RandomTimer = Check(this, p, "RandomTimer", "Random Intervals", 398, row(5) + 2, 130, kPanelFace);

  Panel18 = Make<TPanel>(this, opts, "Panel18");
  Panel18->SetBounds(20, 180, 399, 69);
  Panel18->SetBevelOuter(TPanelBevel::bvNone);
  Panel18->SetColor(kPanelFace);
  p = Panel18;
  constexpr int kRow2 = 22;
  PanelLabel(this, p, "Label10", "monitor this LOG file --->", 4, 2 + 4);
  logfile = PathEdit(this, p, "logfile", 196, 2, 154, "c:\\program files\\dcplus\\Logs\\Download.log");
  Panel9 = SmallPanel(this, p, "Panel9", "Select", 354, 2);
  PanelLabel(this, p, "Label11", "on size change: play:", 4, 2 + kRow2 + 4);
  Panel11 = SmallPanel(this, p, "Panel11", "Test", 154, 2 + kRow2);
  Edit4 = PathEdit(this, p, "Edit4", 196, 2 + kRow2, 154, kDesignSound);
  Panel10 = SmallPanel(this, p, "Panel10", "Select", 354, 2 + kRow2);
  PanelLabel(this, p, "Label12", "on IP reconnect play", 4, 2 + 2 * kRow2 + 4);
  Panel1 = SmallPanel(this, p, "Panel1", "Test", 154, 2 + 2 * kRow2);
  reconsound = PathEdit(this, p, "reconsound", 196, 2 + 2 * kRow2, 154, kDesignSound);
  reconsnd = SmallPanel(this, p, "reconsnd", "Select", 354, 2 + 2 * kRow2);

  // Outside the panel's visible area.
  green = Make<TImage>(this, opts, "green");
  green->SetBounds(640, 8, 16, 16);
  red = Make<TImage>(this, opts, "red");
  red->SetBounds(660, 8, 16, 16);
  Button1 = SmallPanel(this, opts, "Button1", "Button1", 640, 40, clBtnFace, 75);

  // The hidden line list of the log watch, outside the picture.
  ListBox2 = Make<TListBox>(this, this, "ListBox2");
  ListBox2->SetBounds(800, 600, 50, 40);
  ListBox2->SetVisible(false);

  // --- non-visual components ----------------------------------------------------
  Timer1 = Make<TTimer>(this, nullptr, "Timer1");
  Timer1->SetInterval(10000);
  Timer3 = Make<TTimer>(this, nullptr, "Timer3");
  Timer3->SetInterval(5000);
  randomizertimer = Make<TTimer>(this, nullptr, "randomizertimer");
  randomizertimer->SetEnabled(false);
  randomizertimer->SetInterval(15000);
  Timer2 = Make<TTimer>(this, nullptr, "Timer2");
  Timer2->SetInterval(0);
  Timer4 = Make<TTimer>(this, nullptr, "Timer4");
  Timer4->SetInterval(180000);

  TessalyReg1 = Make<TTessalyReg>(this, nullptr, "TessalyReg1");
  TessalyReg1->SetApplication("Quorvane");
  TessalyReg1->SetAutoUser(true);
  TessalyReg1->SetCompany("Marrowfield");
  TessalyReg1->SetGroup("Software");
  TessalyReg1->SetRootKey(TRootKey::HKeyLocalMachine);
  TessalyReg1->SetUser("Administrator");

  OnlyIfRunning1 = Make<TOnlyIfRunning>(this, nullptr, "OnlyIfRunning1");
  OnlyIfRunning1->AppTitles().SetText("DC++");
  WindowList1 = Make<TWindowList>(this, nullptr, "WindowList1");

  NorvikEasyThread1 = Make<TNorvikEasyThread>(this, nullptr, "NorvikEasyThread1");
  NorvikEasyThread1->SetPriority(tpIdle);

  Ping1 = Make<TPing>(this, nullptr, "Ping1");
  Ping1->SetAddress(defaults::kPingHost);
  Ping1->SetSize(56);
  Ping1->SetTimeout(4000);
  Ping1->SetTTL(64);
  Ping1->SetFlags(0);

  systemtray = Make<TTrayIcon>(this, nullptr, "systemtray");
  systemtray->SetActive(false);
  systemtray->SetAnimate(false);
  systemtray->SetShowDesigning(false);
  systemtray->MinimizeApp = false;

  GoToWeb1 = Make<TGoToWeb>(this, nullptr, "GoToWeb1");
  GoToWeb1->SetUrl(defaults::kWebUrl);

  // The described filters stay first. Linux programs have no extension, and
  // desktop sounds are mostly Ogg Vorbis, which the sound backend plays beside
  // WAV: every dialog also offers all files. The folders are the Linux places of
  // such files; a dialog opens in its field's own folder when that exists.
  OpenDialog1 = Make<TOpenDialog>(this, nullptr, "OpenDialog1");
  OpenDialog1->SetFilter("Program Files|*.exe|All files (*)|*");
  OpenDialog1->SetInitialDir("/usr/bin");
  OpenDialog2 = Make<TOpenDialog>(this, nullptr, "OpenDialog2");
  OpenDialog2->SetFilter("Sound files|*.wav;*.oga;*.ogg|All files (*)|*");
  OpenDialog2->SetInitialDir("/usr/share/sounds");
  OpenDialog3 = Make<TOpenDialog>(this, nullptr, "OpenDialog3");
  OpenDialog3->SetFilter("Log files|*.log|All files (*)|*");
  OpenDialog3->SetInitialDir("/var/log");

  // --- menus ----------------------------------------------------------------------
  auto item = [this](TPopupMenu* menu, const char* name, const char* caption, TNotifyEvent handler) {
    auto* mi = Make<TMenuItem>(this, nullptr, name);
    mi->SetCaption(caption);
    mi->OnClick = std::move(handler);
    menu->Add(mi);
  };
  item(PopupMenu2, "Restore1", "Restore", [this](TObject* s) { KZTransImage1DblClick(s); });
  item(PopupMenu2, "SendtoTray1", "Send to Tray", [this](TObject* s) { panel3Click(s); });
  item(PopupMenu2, "N1", "-", nullptr);
  item(PopupMenu2, "MoreBonus1", "More Bonus", [this](TObject* s) { Image2Click(s); });
  item(PopupMenu2, "N2", "-", nullptr);
  item(PopupMenu2, "Exit1", "Exit", [this](TObject* s) { ExplorerButton1Click(s); });
  item(PopupMenu2, "N4", "-", nullptr);
  item(PopupMenu2, "ConnectionReport1", "Connection report...",
       [this](TObject* s) { ConnectionReport1Click(s); });
  item(PopupMenu1, "Restore2", "Restore", [this](TObject* s) { KZTransImage1DblClick(s); });
  item(PopupMenu1, "N3", "-", nullptr);
  item(PopupMenu1, "Exit2", "Exit", nullptr);

  // --- event wiring (stored with the form) -----------------------------------------
  OnCreate = [this](TObject* s) { FormCreate(s); };
  OnHide = [this](TObject* s) { FormHide(s); };
  KZTransImage1->OnMouseDown = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
    Image6MouseDown(s, b, sh, x, y);
  };
  KZTransImage1->OnMouseMove = [this](TObject* s, TShiftState sh, int x, int y) {
    Image6MouseMove(s, sh, x, y);
  };
  KZTransImage1->OnMouseUp = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
    Image6MouseUp(s, b, sh, x, y);
  };
  KZTransImage1->OnDblClick = [this](TObject* s) { KZTransImage1DblClick(s); };
  ExplorerButton3->OnClick = [this](TObject* s) { ExplorerButton3Click(s); };
  OfficeButton2->OnClick = [this](TObject* s) { panel3Click(s); };
  ExplorerButton2->OnClick = [this](TObject* s) { ExplorerButton2Click(s); };
  ExplorerButton5->OnClick = [this](TObject* s) { ExplorerButton2Click(s); };
  Image2->OnClick = [this](TObject* s) { Image2Click(s); };
  Label3->OnClick = [this](TObject* s) { Label3Click(s); };
  Timer2->SetOnTimer([this](TObject* s) { Timer2Timer(s); });
  // A single click on the tray icon restores the window too: desktops with
  // StatusNotifierItem hosts report no double click at all.
  systemtray->OnClick = [this](TObject* s) { SystemTrayClick(s); };
  colorsbutton->OnClick = [this](TObject* s) { colorsbuttonClick(s); };
  ExplorerButton4->OnClick = [this](TObject* s) { ExplorerButton4Click(s); };
  ExplorerButton1->OnClick = [this](TObject* s) { ExplorerButton1Click(s); };
  pingintervaltime->OnChange = [this](TObject* s) { pingintervaltimeChange(s); };
  Edit2->OnChange = [this](TObject* s) { Edit2Change(s); };
  OnlyIfRunning1->OnApplicationFound = [this](TObject* s, const std::string& app) {
    OnlyIfRunning1ApplicationFound(s, app);
  };
  OnlyIfRunning1->OnApplicationNotFound = [this](TObject* s, const std::string&) {
    OnlyIfRunning1ApplicationNotFound(s);
  };
  OnlyIfRunning1->OnWindowListUnavailable = [this](TObject* s, const std::string& reason) {
    OnlyIfRunning1WindowListUnavailable(s, reason);
  };
  PingActive->OnClick = [this](TObject* s) { PingActiveClick(s); };
  Timer1->SetOnTimer([this](TObject* s) { Timer1Timer(s); });
  Label4->OnDblClick = [this](TObject* s) { Label4DblClick(s); };
  Panel2->OnClick = [this](TObject* s) { Label4DblClick(s); };
  Panel9->OnClick = [this](TObject* s) { Panel9Click(s); };
  Timer3->SetOnTimer([this](TObject* s) { Timer3Timer(s); });
  Timer4->SetOnTimer([this](TObject* s) { Timer4Timer(s); });
  randomizertimer->SetOnTimer([this](TObject* s) { randomizertimerTimer(s); });
  RandomTimer->OnClick = [this](TObject* s) { RandomTimerClick(s); };
  NorvikEasyThread1->Exec = [this](TObject* s, TEasyThreadThread* t) { NorvikEasyThread1Exec(s, t); };
  Ping1->OnDnsLookupDone = [this](TObject* s, std::uint16_t e) { Ping1DnsLookupDone(s, e); };
  Panel25->OnClick = [this](TObject* s) { Panel25Click(s); };
  Panel19->OnClick = [this](TObject* s) { Panel19Click(s); };
  Panel21->OnClick = [this](TObject* s) { Panel21Click(s); };
  Panel14->OnClick = [this](TObject* s) { Panel14Click(s); };
  Panel1->OnClick = [this](TObject* s) { Panel1Click(s); };
  Panel6->OnClick = [this](TObject* s) { Panel6Click(s); };
  Panel7->OnClick = [this](TObject* s) { Panel7Click(s); };
  Panel10->OnClick = [this](TObject* s) { Panel10Click(s); };
  Panel20->OnClick = [this](TObject* s) { Panel20Click(s); };
  Panel22->OnClick = [this](TObject* s) { Panel22Click(s); };
  Panel23->OnClick = [this](TObject* s) { Panel23Click(s); };
  reconsnd->OnClick = [this](TObject* s) { reconsndClick(s); };
  Panel8->OnClick = [this](TObject* s) { Panel8Click(s); };
  Panel11->OnClick = [this](TObject* s) { Panel11Click(s); };
  Button1->OnClick = [this](TObject* s) { Button1Click(s); };

  EndLoading();
}

}  // namespace qv
