// The borderless window's own behaviour: dragging it by its picture, the
// small, bonus and full views, minimising, the tray and the web link.
#include <utility>

#include "app/Unit1.h"
#include "desktop/GoToWeb.h"
#include "desktop/KZTransImg.h"
#include "desktop/TrayIcon.h"
#include "toolkit/Application.h"
#include "widgets/explbtn.h"

namespace qv {

namespace {
constexpr unsigned kBonusViewMs = 10000;
// The compact views sit this far above the screen's lower edge, clear of a taskbar.
constexpr int kCompactViewLift = 32;
}  // namespace

// --- dragging ------------------------------------------------------------------------

void TForm1::Image6MouseDown(TObject*, TMouseButton, TShiftState, int X, int Y) {
  DragStartX = X;
  DragStartY = Y;
  DragLeft = Left();
  DragTop = Top();
  Dragging = true;
}

void TForm1::Image6MouseMove(TObject*, TShiftState, int X, int Y) {
  if (!Dragging) return;
  // The picture moves with the window, so the pressed point stays under the pointer.
  SetLeft(DragLeft + X - DragStartX);
  DragLeft = Left();
  SetTop(DragTop + Y - DragStartY);
  DragTop = Top();
}

void TForm1::Image6MouseUp(TObject*, TMouseButton, TShiftState, int, int) {
  Dragging = false;
  if (RestorePending) {
    RestorePending = false;
    SetTop(SavedTop);
    SetLeft(SavedLeft);
  }
}

// --- views -----------------------------------------------------------------------------

void TForm1::ShowCompactView(TImage* picture) {
  SavedLeft = Left();
  SavedTop = Top();
  KZTransImage1->Picture().Assign(picture->Picture());
  RenewOutline();
  // The compact pictures are smaller than the full one but still overlap the
  // places of some of its controls: those must neither show on the picture
  // nor be reachable until the full view is back.
  if (!compactView_) {
    compactView_ = true;
    for (int i = 0; i < ControlCount(); ++i) {
      TControl* c = Controls(i);
      if (c == KZTransImage1 || !c->Visible()) continue;
      c->Hide();
      hiddenByCompactView_.push_back(c);
    }
  }
  SetTop(ScreenHeight() - Height() - kCompactViewLift);
  SetLeft(0);
  KZTransImage1->SetEnabled(true);
  ExplorerButton5->Hide();
  Label15->Hide();
}

void TForm1::ExplorerButton3Click(TObject*) {
  ShowCompactView(smallsize);
}

void TForm1::Image2Click(TObject*) {
  Timer2->SetInterval(kBonusViewMs);
  ShowCompactView(bonussize);
}

void TForm1::Timer2Timer(TObject* Sender) {
  ExplorerButton3Click(Sender);
  Timer2->SetInterval(0);
}

void TForm1::KZTransImage1DblClick(TObject*) {
  Timer2->SetInterval(0);
  KZTransImage1->Picture().Assign(fullsize->Picture());
  RenewOutline();
  compactView_ = false;
  for (TControl* c : std::exchange(hiddenByCompactView_, {})) c->Show();
  // The window goes back to where it was at the next release over the picture.
  RestorePending = true;
  ExplorerButton5->Show();
  Label15->Show();
}

// --- minimise, tray, web -------------------------------------------------------------------

void TForm1::ExplorerButton2Click(TObject*) {
  Application->Minimize();
}

void TForm1::panel3Click(TObject*) {
  systemtray->SendToTray();
}

void TForm1::FormHide(TObject*) {
  systemtray->SendToTray();
}

void TForm1::SystemTrayClick(TObject*) {
  systemtray->RestoreFromTray();
}

void TForm1::ShowOnSecondStart() {
  systemtray->RestoreFromTray();  // nothing when not in the notification area
  if (WindowState() == TWindowState::wsMinimized) Application->Restore();
  BringToFront();
}

void TForm1::Label3Click(TObject*) {
  GoToWeb1->Execute();
}

}  // namespace qv
