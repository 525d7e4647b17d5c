#include "app/Pictures.h"

#include <memory>
#include <sstream>
#include <string>

// The bitmaps are linked into the program as they are, so the window never
// depends on files beside the executable.
#define QV_STR2(x) #x
#define QV_STR(x) QV_STR2(x)
#define QV_EMBED(symbol, file)                                                                              \
  __asm__(".section .rodata\n.balign 16\n.global " #symbol "_begin\n" #symbol "_begin:\n.incbin \"" QV_STR( \
      QV_PICTURE_DIR) "/" file "\"\n.global " #symbol "_end\n" #symbol "_end:\n.previous\n");               \
  extern "C" const std::uint8_t symbol##_begin[];                                                           \
  extern "C" const std::uint8_t symbol##_end[];

QV_EMBED(qv_pic_fullsize, "fullsize.bmp")
QV_EMBED(qv_pic_smallsize, "smallsize.bmp")
QV_EMBED(qv_pic_bonussize, "bonussize.bmp")
QV_EMBED(qv_pic_options, "options.bmp")
QV_EMBED(qv_pic_indicator, "indicator.bmp")
QV_EMBED(qv_pic_bonuslink, "bonuslink.bmp")
QV_EMBED(qv_pic_settings, "settings.bmp")
QV_EMBED(qv_pic_watch, "watch.bmp")
QV_EMBED(qv_pic_smallview, "smallview.bmp")
QV_EMBED(qv_pic_minimise, "minimise.bmp")
QV_EMBED(qv_pic_minimise_disabled, "minimise_disabled.bmp")

namespace qv {

std::span<const std::uint8_t> PictureBytes(PictureId id) {
  auto span = [](const std::uint8_t* b, const std::uint8_t* e) {
    return std::span<const std::uint8_t>(b, static_cast<size_t>(e - b));
  };
  switch (id) {
    case PictureId::FullView: return span(qv_pic_fullsize_begin, qv_pic_fullsize_end);
    case PictureId::SmallView: return span(qv_pic_smallsize_begin, qv_pic_smallsize_end);
    case PictureId::BonusView: return span(qv_pic_bonussize_begin, qv_pic_bonussize_end);
    case PictureId::Options: return span(qv_pic_options_begin, qv_pic_options_end);
    case PictureId::Indicator: return span(qv_pic_indicator_begin, qv_pic_indicator_end);
    case PictureId::BonusLink: return span(qv_pic_bonuslink_begin, qv_pic_bonuslink_end);
    case PictureId::SettingsButton: return span(qv_pic_settings_begin, qv_pic_settings_end);
    case PictureId::WatchButton: return span(qv_pic_watch_begin, qv_pic_watch_end);
    case PictureId::SmallViewButton: return span(qv_pic_smallview_begin, qv_pic_smallview_end);
    case PictureId::MinimiseButton: return span(qv_pic_minimise_begin, qv_pic_minimise_end);
    case PictureId::MinimiseButtonDisabled:
      return span(qv_pic_minimise_disabled_begin, qv_pic_minimise_disabled_end);
  }
  return {};
}

void LoadBitmap(TBitmap& bitmap, PictureId id) {
  const auto bytes = PictureBytes(id);
  std::istringstream in(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  bitmap.LoadFromStream(in);
}

void LoadPicture(TPicture& picture, PictureId id) {
  auto bitmap = std::make_unique<TBitmap>();
  LoadBitmap(*bitmap, id);
  picture.AdoptGraphic(std::move(bitmap));
}

}  // namespace qv
