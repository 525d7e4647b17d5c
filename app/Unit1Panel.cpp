// The settings panel: its "Select" file choosers, its "Test" sounds, the
// diagnostic behind Button1, and how its numeric fields become timer intervals.
#include <algorithm>
#include <cstdint>
#include <limits>

#include "app/Unit1.h"
#include "presence/WindowList.h"
#include "toolkit/SysUtils.h"
#include "widgets/Spin.h"

namespace qv {

namespace {
// The longest interval a timer holds, in whole seconds.
constexpr std::int64_t kMaxIntervalSeconds = std::numeric_limits<unsigned>::max() / 1000;
}  // namespace

unsigned IntervalMs(const TSpinEdit& seconds) {
  // The value as typed may lie outside the field's range until the field is
  // left: 0 would stop the timer for good, a negative or huge value wrap around.
  const std::int64_t value =
      std::clamp<std::int64_t>(seconds.ClampValue(seconds.Value()), 1, kMaxIntervalSeconds);
  return static_cast<unsigned>(value * 1000);
}

// --- "Select" ------------------------------------------------------------------------

bool TForm1::SelectFile(TOpenDialog& dialog, TEdit& field) {
  // The dialog opens on the field's own file: in its folder when that exists,
  // and a cancel leaves the field as it was, although one dialog serves several
  // fields and would otherwise offer the file last chosen for another one.
  dialog.SetFileName(field.Text());
  // A dialog over a stay-on-top window would hide behind it; changing the style
  // rebuilds the window, which loses its outline: it is renewed both ways, so
  // the window keeps its shape behind the dialog too.
  SetFormStyle(TFormStyle::fsNormal);
  RenewOutline();
  auto restore = [this] {
    SetFormStyle(TFormStyle::fsStayOnTop);
    RenewOutline();
  };
  bool chosen = false;
  try {
    chosen = dialog.Execute();
  } catch (...) {
    restore();
    throw;
  }
  restore();
  if (chosen && !dialog.FileName().empty()) field.SetText(dialog.FileName());
  return chosen;
}

void TForm1::Panel6Click(TObject*) {
  SelectFile(*OpenDialog1, *Edit1);
}
void TForm1::Panel7Click(TObject*) {
  SelectFile(*OpenDialog2, *Edit3);
}
void TForm1::Panel10Click(TObject*) {
  SelectFile(*OpenDialog2, *Edit4);
}
void TForm1::Panel20Click(TObject*) {
  SelectFile(*OpenDialog2, *pingfile);
}
void TForm1::Panel22Click(TObject*) {
  SelectFile(*OpenDialog2, *pongfile);
}
void TForm1::Panel23Click(TObject*) {
  SelectFile(*OpenDialog2, *ipalarm);
}
void TForm1::reconsndClick(TObject*) {
  SelectFile(*OpenDialog2, *reconsound);
}

// --- "Test": these two play whatever their box says; the others follow their
// check boxes and live with the echo cycle that uses them.

void TForm1::Panel8Click(TObject*) {
  PlaySoundFile(Edit3->Text());
}
void TForm1::Panel11Click(TObject*) {
  PlaySoundFile(Edit4->Text());
}

// --- the diagnostic -------------------------------------------------------------------

void TForm1::Button1Click(TObject*) {
  WindowList1->Refresh();
  // An empty caption field matches no window: it must not close the desktop.
  const std::string wanted = UpperCase(Edit2->Text());
  for (int i = 0; i < WindowList1->Count(); ++i) {
    const TWindowObject window = WindowList1->WindowAt(i);
    if (window.Caption.empty()) continue;
    LogEvent(window.Caption);
    if (!wanted.empty() && UpperCase(window.Caption).find(wanted) != std::string::npos)
      CloseWindowByHandle(window.Handle);
  }
}

}  // namespace qv
