#include "desktop/KZTransImg.h"

#include <map>
#include <utility>

#include "toolkit/Forms.h"

namespace qv {

TKZTransImage::TKZTransImage(TComponent* owner) : TImage(owner) {}

std::vector<TRect> OutlineRects(TBitmap& bitmap, TColor transparent) {
  const TColor key = ColorToRGB(transparent);
  std::vector<TRect> done;
  // Runs open on the previous row, keyed by (left, right), with their top row.
  std::map<std::pair<int, int>, int> open;
  const int w = bitmap.Width(), h = bitmap.Height();
  for (int y = 0; y <= h; ++y) {
    std::map<std::pair<int, int>, int> next;
    if (y < h) {
      int x = 0;
      while (x < w) {
        while (x < w && bitmap.GetPixel(x, y) == key) ++x;
        if (x >= w) break;
        const int start = x;
        while (x < w && bitmap.GetPixel(x, y) != key) ++x;
        const auto run = std::make_pair(start, x);
        auto it = open.find(run);
        next[run] = it != open.end() ? it->second : y;
      }
    }
    for (const auto& [run, top] : open)
      if (!next.count(run)) done.push_back(Rect(run.first, top, run.second, y));
    open = std::move(next);
  }
  return done;
}

void TKZTransImage::UpdateShape() {
  auto* form = dynamic_cast<TForm*>(Owner());
  if (form == nullptr) return;
  if (Picture().Graphic() == nullptr || Picture().Width() <= 0) {
    form->SetShape({});
    return;
  }
  if (adjustFormSize_) {
    SetBounds(0, 0, Picture().Width(), Picture().Height());
    form->SetClientSize(Picture().Width(), Picture().Height());
  }
  form->SetShape(OutlineRects(Picture().Bitmap(), transColor_));
}

}  // namespace qv
