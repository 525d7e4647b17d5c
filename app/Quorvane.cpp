// Program entry: wires the real backends and runs the main window.
#include <memory>
#include <string>
#include <vector>

#include "app/Pictures.h"
#include "app/RealServices.h"
#include "app/Unit1.h"
#include "imaging/GIFImage.h"
#include "imaging/IconCodec.h"
#include "imaging/ImageFormats.h"
#include "imaging/ImgList.h"
#include "toolkit/Application.h"

int main(int argc, char** argv) {
  using namespace qv;
  if (argc > 1 && std::string(argv[1]) == "--report") return RunReportCommand({argv + 2, argv + argc});
  RealServices services(argc, argv);
  TApplication application;
  Application->Initialize();
  // Every picture of the program can load the image formats of the imaging library.
  RegisterImageFormats();
  RegisterGIFFormat();
  // The indicator picture is the program's icon (shown in the notification area).
  TPicture indicator;
  LoadPicture(indicator, PictureId::Indicator);
  ApplicationIcon().LoadFromBytes(EncodeIconFile(indicator.Bitmap()));
  Application->SetTitle("Quorvane");
  // A damaged or unreadable store is left as it is: the settings keep their
  // defaults for this run and every save reports that it could not write.
  if (const std::string error = services.OpenRegistry(); !error.empty())
    Application->ShowException(Exception(error));
  auto form = std::make_unique<TForm1>(nullptr);
  if (Application->ShowMainForm()) form->ShowForm();
  const int exitCode = Application->Run();
  form.reset();
  return exitCode;
}
