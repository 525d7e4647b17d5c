// The base of every picture class (bitmaps, icons, GIF and animated-cursor
// images): something with a size that can draw itself into a rectangle of a
// canvas and be read from and written to a byte stream.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>

#include "toolkit/Classes.h"
#include "toolkit/Types.h"

namespace qv {

class TCanvas;

class TGraphic : public TObject {
 public:
  ~TGraphic() override = default;

  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void SetWidth(int width) = 0;
  virtual void SetHeight(int height) = 0;
  virtual bool Empty() const = 0;

  // When set, Draw leaves the picture's transparent pixels out.
  bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool value);

  // Draws the picture scaled into `rect` (logical coordinates of the canvas).
  virtual void Draw(TCanvas& canvas, const TRect& rect) = 0;

  // Reads one picture from the stream's current position; on failure the picture
  // keeps what it held and the error is raised.
  virtual void LoadFromStream(std::istream& stream) = 0;
  virtual void SaveToStream(std::ostream& stream) = 0;
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName);

  // Copies `source` into this picture; null empties it. The base handles nothing
  // but asking the source (AssignTo) and otherwise raises EConvertError.
  virtual void Assign(const TGraphic* source);
  // Lets a source convert itself into a destination of another class; returns
  // false when it does not know how.
  virtual bool AssignTo(TGraphic& destination) const;

  // A new picture of the same class holding a copy of this one.
  virtual std::unique_ptr<TGraphic> Clone() const = 0;

  // Name of the picture class for messages ("TBitmap").
  virtual std::string GraphicClassName() const;

  TNotifyEvent OnChange;

 protected:
  TGraphic() = default;
  // Tells listeners that the picture's content or size changed.
  void Changed();
  // Raises the customary "Cannot assign a %s to a %s" error.
  [[noreturn]] void AssignError(const TGraphic* source) const;

 private:
  bool transparent_ = false;
};

}  // namespace qv
