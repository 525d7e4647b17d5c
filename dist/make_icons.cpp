// Writes the program's icon into an icon theme folder, in the theme's sizes,
// from the indicator picture that the program itself shows in the
// notification area: <folder>/<size>x<size>/apps/<id>.png.
#include <QDir>
#include <QImage>
#include <cstdio>
#include <string>

#include "app/Pictures.h"
#include "toolkit/Bitmap.h"
#include "toolkit/Picture.h"

namespace {

constexpr int kSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

QImage IndicatorArt() {
  qv::TPicture indicator;
  qv::LoadPicture(indicator, qv::PictureId::Indicator);
  const qv::TBitmap& bitmap = indicator.Bitmap();
  QImage art(bitmap.Width(), bitmap.Height(), QImage::Format_RGB32);
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int x = 0; x < bitmap.Width(); ++x) {
      const qv::TColor c = bitmap.GetPixel(x, y);  // 0x00BBGGRR
      art.setPixel(x, y,
                   qRgb(static_cast<int>(c & 0xFF), static_cast<int>(c >> 8 & 0xFF),
                        static_cast<int>(c >> 16 & 0xFF)));
    }
  }
  return art;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s THEME-FOLDER APPLICATION-ID\n", argv[0]);
    return 2;
  }
  const QImage art = IndicatorArt();
  for (const int size : kSizes) {
    // Whole multiples keep the pixel art sharp; other sizes are smoothed.
    const bool whole = size % art.width() == 0;
    const QImage icon = art.scaled(size, size, Qt::IgnoreAspectRatio,
                                   whole ? Qt::FastTransformation : Qt::SmoothTransformation);
    const QString folder = QString("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
    if (!QDir().mkpath(folder) ||
        !icon.save(folder + "/" + QString::fromLocal8Bit(argv[2]) + ".png", "PNG")) {
      std::fprintf(stderr, "cannot write the %dx%d icon into %s\n", size, size, qPrintable(folder));
      return 1;
    }
  }
  return 0;
}
