// The application watch: the presence watcher's reports.
#include "app/Unit1.h"

namespace qv {

// The reports only record and show the state; starting the program is the
// watch timer's business.
void TForm1::OnlyIfRunning1ApplicationFound(TObject*, const std::string&) {
  AppFound = true;
  Image3->Show();
  Label1->SetCaption(AppMonitorActive->Checked() ? Edit2->Text() + " up and running"
                                                 : "Application monitoring suspended");
}

void TForm1::OnlyIfRunning1ApplicationNotFound(TObject*) {
  Label1->SetCaption(AppMonitorActive->Checked()
                         ? Edit2->Text() + " not active - trying to start: " + Edit1->Text()
                         : "Application monitoring suspended");
  AppFound = false;
  Image3->Hide();
}

}  // namespace qv
