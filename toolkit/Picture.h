// TPicture: holds one picture of any registered class and turns file names into
// the right class by their extension.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/Bitmap.h"
#include "toolkit/Graphic.h"

namespace qv {

using TGraphicFactory = std::function<std::unique_ptr<TGraphic>()>;

struct TFileFormat {
  std::string extension;  // lower case, without the dot: "bmp"
  std::string description;
  TGraphicFactory factory;
};

class TPicture : public TObject {
 public:
  TPicture();
  ~TPicture() override;

  // The held picture, or null.
  TGraphic* Graphic() const { return graphic_.get(); }
  // Holds a copy of `graphic`; null empties the picture.
  void SetGraphic(const TGraphic* graphic);
  // Holds `graphic` itself.
  void AdoptGraphic(std::unique_ptr<TGraphic> graphic);

  // The picture as a bitmap. A picture of another class is converted (drawn at
  // its size) and from then on holds the bitmap; an empty picture gets an empty
  // bitmap.
  TBitmap& Bitmap();

  int Width() const { return graphic_ ? graphic_->Width() : 0; }
  int Height() const { return graphic_ ? graphic_->Height() : 0; }

  void Assign(const TPicture& other) { SetGraphic(other.Graphic()); }

  // Picks the class by the file's extension. An unknown extension raises
  // EInvalidGraphic; a file that fails to load leaves the picture as it was.
  void LoadFromFile(const std::string& fileName);
  // Writes the held picture in its own form; an empty picture writes nothing.
  void SaveToFile(const std::string& fileName);

  // Makes pictures of files with `extension` with `factory`. A later
  // registration of the same extension replaces the earlier one. "bmp" is
  // registered from the start.
  static void RegisterFileFormat(const std::string& extension, const std::string& description,
                                 TGraphicFactory factory);
  static void UnregisterFileFormat(const std::string& extension);
  static std::vector<TFileFormat> FileFormats();

  TNotifyEvent OnChange;

 private:
  void Changed();
  void Hold(std::unique_ptr<TGraphic> graphic);

  std::unique_ptr<TGraphic> graphic_;
};

}  // namespace qv
