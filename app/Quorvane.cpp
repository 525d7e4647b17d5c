// Program entry: wires the real backends and runs the main window.
#include <memory>
#include <string>

#include "app/RealServices.h"
#include "app/Unit1.h"
#include "imaging/GIFImage.h"
#include "imaging/ImageFormats.h"
#include "toolkit/Application.h"

int main(int argc, char** argv) {
  using namespace qv;
  RealServices services(argc, argv);
  TApplication application;
  Application->Initialize();
  // Every picture of the program can load the image formats of the imaging library.
  RegisterImageFormats();
  RegisterGIFFormat();
  Application->SetTitle("Quorvane");
  // A damaged or unreadable store is left as it is: the settings keep their
  // defaults for this run and every save reports that it could not write.
  if (const std::string error = services.OpenRegistry(); !error.empty())
    Application->ShowException(Exception(error));
  auto form = std::make_unique<TForm1>(nullptr);
  form->ShowForm();
  const int exitCode = Application->Run();
  form.reset();
  return exitCode;
}
