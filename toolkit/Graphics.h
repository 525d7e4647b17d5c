// The toolkit's raster graphics in one include: colours, pen/brush/font, the
// picture classes (TGraphic, TBitmap, TPicture) and the canvas.
#pragma once

#include "toolkit/Bitmap.h"
#include "toolkit/Canvas.h"
#include "toolkit/Colors.h"
#include "toolkit/Graphic.h"
#include "toolkit/GraphicsObjects.h"
#include "toolkit/Picture.h"
#include "toolkit/Types.h"
