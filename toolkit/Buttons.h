// The speed button: a small windowless push button that shows a glyph centred
// on a raised face. It looks pressed while the left button is held with the
// pointer over it and clicks when the button is released over it.
#pragma once

#include <memory>

#include "toolkit/Bitmap.h"
#include "toolkit/Controls.h"

namespace qv {

enum class TButtonState { bsUp, bsDisabled, bsDown };

class TSpeedButton : public TGraphicControl {
 public:
  explicit TSpeedButton(TComponent* owner);
  ~TSpeedButton() override;

  // The picture on the face; the colour of its bottom-left pixel is left out.
  const TBitmap& Glyph() const { return *glyph_; }
  // Copies `glyph`; null empties the face.
  void SetGlyph(const TBitmap* glyph);
  TButtonState State() const { return state_; }
  // A left press began on the button and has not been released.
  bool Dragging() const { return dragging_; }

  void Paint(TCanvas& canvas) override;

 protected:
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void EnabledChanged() override;

 private:
  void SetState(TButtonState state);
  void DrawGlyph(TCanvas& canvas, int x, int y) const;

  std::unique_ptr<TBitmap> glyph_;
  TButtonState state_ = TButtonState::bsUp;
  bool dragging_ = false;
};

// The dotted focus rectangle: every other pixel of the frame of `rect` is
// inverted, so drawing it a second time takes it away.
void DrawFocusRect(TCanvas& canvas, const TRect& rect);

}  // namespace qv
