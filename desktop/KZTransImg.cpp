#include "desktop/KZTransImg.h"

#include <cstdint>
#include <cstring>

#include "toolkit/Forms.h"

namespace qv {

TKZTransImage::TKZTransImage(TComponent* owner) : TImage(owner) {
  adjustFormSize_ = true;
  transColor_ = clWhite;
  SetAlign(TAlign::alClient);
}

namespace {

// Appends the runs of one row. `same(x)` tells whether pixel x has the key colour.
template <typename IsKey>
void AppendRuns(std::vector<TRect>& out, int y, int width, IsKey same) {
  int x = 0;
  while (x < width) {
    while (x < width && same(x)) ++x;
    if (x >= width) break;
    const int start = x;
    while (x < width && !same(x)) ++x;
    out.push_back(Rect(start, y, x, y + 1));
    ++x;  // the key pixel that ended the run
  }
}

}  // namespace

std::optional<std::vector<TRect>> BuildShapeRegion(const TBitmap* bitmap, TColor key) {
  if (bitmap == nullptr || bitmap->Empty()) return std::nullopt;
  const TColor rgb = ColorToRGB(key);
  const std::uint8_t r = GetRValue(rgb), g = GetGValue(rgb), b = GetBValue(rgb);
  const int w = bitmap->Width(), h = bitmap->Height();
  // Every pixel is compared as 32 bits B, G, R, unused; other depths are read
  // through a 32-bit copy so that each pixel reads the same way.
  TBitmap converted;
  const TBitmap* source = bitmap;
  if (bitmap->PixelFormat() != pf32bit && bitmap->PixelFormat() != pf24bit) {
    converted.Assign(bitmap);
    converted.SetPixelFormat(pf32bit);
    source = &converted;
  }
  std::vector<TRect> rects;
  rects.reserve(static_cast<size_t>(h) * 2);
  if (source->PixelFormat() == pf32bit) {
    const std::uint32_t k = static_cast<std::uint32_t>(b) | static_cast<std::uint32_t>(g) << 8 |
                            static_cast<std::uint32_t>(r) << 16;
    for (int y = 0; y < h; ++y) {
      const std::uint8_t* row = source->ScanLine(y);
      AppendRuns(rects, y, w, [row, k](int x) {
        std::uint32_t px;
        std::memcpy(&px, row + 4 * x, 4);
        return (px & 0x00FFFFFFu) == k;
      });
    }
  } else {
    for (int y = 0; y < h; ++y) {
      const std::uint8_t* row = source->ScanLine(y);
      AppendRuns(rects, y, w, [row, r, g, b](int x) {
        const std::uint8_t* p = row + 3 * x;
        return p[0] == b && p[1] == g && p[2] == r;
      });
    }
  }
  return rects;
}

void TKZTransImage::UpdateShape() {
  TWinControl* parent = Parent();
  if (parent == nullptr) return;
  auto* form = dynamic_cast<TForm*>(parent);
  if (form != nullptr) {
    form->SetBorderStyle(TFormBorderStyle::bsNone);
    if (adjustFormSize_) {
      SetAlign(TAlign::alClient);
      SetAutoSize(true);
      form->SetBounds(form->Left(), form->Top(), Picture().Width(), Picture().Height());
    }
  }
  const TBitmap* bitmap = Picture().Graphic() != nullptr ? &Picture().Bitmap() : nullptr;
  std::optional<std::vector<TRect>> region = BuildShapeRegion(bitmap, transColor_);
  if (form != nullptr) {
    if (region)
      form->SetShape(std::move(*region));
    else
      form->ClearShape();
  } else if (parent->Peer() != nullptr) {
    // Any other windowed parent takes the outline on its own window.
    if (region) {
      std::vector<platform::PeerRect> rects;
      rects.reserve(region->size());
      for (const TRect& rc : *region) rects.push_back({rc.Left, rc.Top, rc.Right, rc.Bottom});
      parent->Peer()->SetShape(rects);
    } else {
      parent->Peer()->ClearShape();
    }
  }
}

}  // namespace qv
