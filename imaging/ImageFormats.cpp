#include "imaging/ImageFormats.h"

#include <memory>

#include "imaging/Icon.h"
#include "toolkit/Picture.h"

namespace qv {

void RegisterImageFormats() {
  TPicture::RegisterFileFormat("ico", "Icon",
                               [] { return std::unique_ptr<TGraphic>(std::make_unique<TIcon>()); });
}

}  // namespace qv
