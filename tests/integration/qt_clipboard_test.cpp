// The desktop clipboard on a real X server: what we put there other programs
// (xclip) can take, what they put there we can read, and a GIF survives copy
// and paste.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QEventLoop>
#include <QImage>
#include <QProcess>
#include <QTimer>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "QtSession.h"
#include "imaging/GIFImage.h"
#include "platform/Services.h"
#include "platform/qt/QtBackend.h"
#include "platform/qt/QtClipboard.h"
#include "toolkit/Bitmap.h"

namespace qv::platform::qt {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Runs xclip on the clipboard selection while our loop keeps answering the
// selection requests it makes; its standard output.
QByteArray Xclip(const QStringList& arguments) {
  QProcess process;
  QEventLoop wait;
  QObject::connect(&process, &QProcess::finished, &wait, &QEventLoop::quit);
  QTimer::singleShot(10000, &wait, &QEventLoop::quit);
  process.start("xclip", QStringList{"-selection", "clipboard"} + arguments);
  if (process.waitForStarted(5000) && process.state() == QProcess::Running) wait.exec();
  process.kill();
  process.waitForFinished(1000);
  return process.readAllStandardOutput();
}

Bytes BmpOf(TBitmap& bitmap) {
  std::ostringstream out;
  bitmap.SaveToStream(out);
  const std::string s = out.str();
  return Bytes(s.begin(), s.end());
}

std::unique_ptr<TBitmap> Colours(int width, int height) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(pf24bit);
  bitmap->SetSize(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) bitmap->SetPixel(x, y, RGB(40 * x, 60 * y, 200));
  return bitmap;
}

class QtClipboardTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (PrepareDisplay()) backend_ = new QtBackend(QtArguments::argc, QtArguments::argv);
  }
  static void TearDownTestSuite() {
    delete backend_;
    backend_ = nullptr;
  }
  void SetUp() override {
    if (backend_ == nullptr) GTEST_SKIP() << "no X display";
    if (std::system("command -v xclip >/dev/null") != 0) GTEST_SKIP() << "xclip is not installed";
  }
  static QtClipboard& Clipboard() { return static_cast<QtClipboard&>(backend_->Clipboard()); }

  static inline QtBackend* backend_ = nullptr;
};

TEST_F(QtClipboardTest, OtherProgramsTakeTheBitmapAndTheNamedFormat) {
  const Bytes bmp = BmpOf(*Colours(3, 2));
  const unsigned gifFormat = Clipboard().RegisterFormat("GIF Image");
  EXPECT_EQ(Clipboard().RegisterFormat("GIF Image"), gifFormat);
  const Bytes named = {4, 0, 0, 0, 'G', 'I', 'F', '!'};
  Clipboard().Clear();
  Clipboard().SetData(IClipboard::kBitmapFormat, bmp);
  Clipboard().SetData(gifFormat, named);

  const QByteArray targets = Xclip({"-t", "TARGETS", "-o"});
  EXPECT_TRUE(targets.contains("image/bmp")) << targets.toStdString();
  EXPECT_TRUE(targets.contains("image/png")) << targets.toStdString();
  const std::string type = Clipboard().MimeType(gifFormat);
  EXPECT_EQ(type, "application/x-qt-windows-mime;value=\"GIF Image\"");
  EXPECT_TRUE(targets.contains(type.c_str())) << targets.toStdString();

  const QByteArray bmpOut = Xclip({"-t", "image/bmp", "-o"});
  EXPECT_EQ(Bytes(bmpOut.begin(), bmpOut.end()), bmp);
  const QByteArray namedOut = Xclip({"-t", QString::fromStdString(type), "-o"});
  EXPECT_EQ(Bytes(namedOut.begin(), namedOut.end()), named);
  const QImage png = QImage::fromData(Xclip({"-t", "image/png", "-o"}), "PNG");
  ASSERT_EQ(png.size(), QSize(3, 2));
  EXPECT_EQ(png.pixel(2, 1), qRgb(80, 60, 200));

  // In this program the content reads back as it was put.
  EXPECT_EQ(Clipboard().GetData(gifFormat), named);
  EXPECT_EQ(Clipboard().GetData(IClipboard::kBitmapFormat), bmp);
  Clipboard().Clear();
  EXPECT_FALSE(Clipboard().HasFormat(gifFormat));
  EXPECT_FALSE(Clipboard().GetData(Clipboard().RegisterFormat("never offered")).has_value());
}

TEST_F(QtClipboardTest, AnotherProgramsPictureArrivesAsABmpFile) {
  QImage image(4, 3, QImage::Format_RGB32);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) image.setPixel(x, y, qRgb(50 * x, 70 * y, 11));
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  ASSERT_TRUE(image.save(&buffer, "PNG"));

  // xclip stays in the foreground (-quiet) and serves the picture until killed.
  QProcess owner;
  owner.start("xclip", {"-selection", "clipboard", "-quiet", "-t", "image/png", "-i"});
  ASSERT_TRUE(owner.waitForStarted(5000));
  owner.write(png);
  owner.closeWriteChannel();
  for (int i = 0; i < 100 && !Clipboard().HasFormat(IClipboard::kBitmapFormat); ++i) {
    QEventLoop wait;
    QTimer::singleShot(50, &wait, &QEventLoop::quit);
    wait.exec();
  }
  const auto bmp = Clipboard().GetData(IClipboard::kBitmapFormat);
  owner.kill();
  owner.waitForFinished(1000);
  ASSERT_TRUE(bmp.has_value());
  TBitmap pasted;
  std::istringstream in(std::string(bmp->begin(), bmp->end()));
  pasted.LoadFromStream(in);
  ASSERT_EQ(pasted.Width(), 4);
  ASSERT_EQ(pasted.Height(), 3);
  EXPECT_EQ(pasted.GetPixel(3, 2), RGB(150, 140, 11));
  EXPECT_EQ(pasted.GetPixel(0, 0), RGB(0, 0, 11));
}

TEST_F(QtClipboardTest, AGifCopiedAndPastedKeepsItsFrames) {
  Services services;
  backend_->Install(services);
  ASSERT_EQ(services.clipboard, &backend_->Clipboard());

  TGIFImage gif;
  auto first = Colours(5, 4);
  auto second = Colours(5, 4);
  second->SetPixel(1, 1, RGB(255, 255, 0));
  gif.AddFrame(first.get());
  gif.AddFrame(second.get());
  std::ostringstream encoded;  // writing encodes the frames, so the GIF goes beside the bitmap
  gif.SaveToStream(encoded);
  gif.SaveToClipboard(Clipboard());

  const QByteArray fromOutside = Xclip(
      {"-t", QString::fromStdString(Clipboard().MimeType(Clipboard().RegisterFormat(kGIFClipboardFormat))),
       "-o"});
  ASSERT_GT(fromOutside.size(), 10);
  EXPECT_EQ(fromOutside.mid(4, 3), QByteArray("GIF"));  // after the 32-bit length

  TGIFImage pasted;
  pasted.LoadFromClipboard(Clipboard());
  ASSERT_EQ(pasted.FrameCount(), 2);
  EXPECT_EQ(pasted.Frames(1).Bitmap().GetPixel(1, 1), RGB(255, 255, 0));
  EXPECT_EQ(pasted.Frames(0).Bitmap().GetPixel(4, 3), first->GetPixel(4, 3));
}

}  // namespace
}  // namespace qv::platform::qt
