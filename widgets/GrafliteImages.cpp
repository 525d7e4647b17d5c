#include "widgets/GrafliteImages.h"

#include <array>
#include <map>
#include <memory>

#include "toolkit/Colors.h"

namespace qv {

namespace {

constexpr int kLargeSide = 17;
constexpr int kSmallSide = 15;

// Pattern letters. Large set: g ground, r rim, h highlight, c body.
// Small set: '.' corner, k rim, m a rim pixel in dark red, c body,
// h white and s light-grey highlight, d dark-grey glint.
constexpr std::array<const char*, kLargeSide> kLargePattern = {
    "ggggggggggggggggg",  // 0
    "ggggggggggggggggg",  // 1
    "ggggggrrrrrgggggg",  // 2
    "ggggrrcccccrrgggg",  // 3
    "gggrcccccccccrggg",  // 4
    "gggrcchhhccccrggg",  // 5
    "ggrcchhhccccccrgg",  // 6
    "ggrcchhcccccccrgg",  // 7
    "ggrcchccccccccrgg",  // 8
    "ggrcccccccccccrgg",  // 9
    "ggrcccccccccccrgg",  // 10
    "gggrcccccccccrggg",  // 11
    "gggrcccccccccrggg",  // 12
    "ggggrrcccccrrgggg",  // 13
    "ggggggrrrrrrggggg",  // 14
    "ggggggggggggggggg",  // 15
    "ggggggggggggggggg",  // 16
};

constexpr std::array<const char*, kSmallSide> kSmallPattern = {
    "...............",  // 0
    ".....kkkkk.....",  // 1
    "...mkccccckm...",  // 2
    "..kkcchsccckk..",  // 3
    "..kchhsccccck..",  // 4
    ".kcshsccccccck.",  // 5
    ".kccsccccccccm.",  // 6
    ".kccccccccccck.",  // 7
    ".kcccccccccdck.",  // 8
    ".mcccccccccdck.",  // 9
    "..kcccccccdck..",  // 10
    "..kkcccccdckk..",  // 11
    "...kkccccckk...",  // 12
    ".....kmkkk.....",  // 13
    "...............",  // 14
};

// A white body would swallow the highlight: the white lamp carries two short
// rim-coloured strokes instead, one across the highlight, one at lower right.
struct Pixel {
  int x, y;
};
constexpr std::array<Pixel, 8> kWhiteLampStrokes = {
    {{8, 4}, {7, 5}, {6, 6}, {5, 7}, {4, 8}, {11, 9}, {10, 10}, {9, 11}}};

constexpr TColor kGround = RGB(192, 192, 192);
constexpr TColor kLargeRim = RGB(128, 128, 128);
constexpr TColor kHighlight = RGB(255, 255, 255);
constexpr TColor kSmallRim = RGB(0, 0, 0);
constexpr TColor kRimFleck = RGB(128, 0, 0);
constexpr TColor kSmallHighlight = RGB(192, 192, 192);
constexpr TColor kGlint = RGB(128, 128, 128);
constexpr TColor kDarkSocket = RGB(0, 0, 0);

enum class LampSet { kLarge, kSmall };

struct LampRecipe {
  const char* name;
  LampSet set;
  TColor body;
  TColor corner;  // small set only
  bool whiteStrokes;
};

// Bright small lamps sit on the light-grey ground of the window, dark ones in
// a black socket, so an unlit lamp shows only its highlight and glint.
constexpr std::array<LampRecipe, 32> kLamps = {{
    {"RED", LampSet::kLarge, RGB(255, 0, 0), kGround, false},
    {"DARK_RED", LampSet::kLarge, RGB(128, 0, 0), kGround, false},
    {"BLUE", LampSet::kLarge, RGB(0, 0, 255), kGround, false},
    {"DARK_BLUE", LampSet::kLarge, RGB(0, 0, 128), kGround, false},
    {"GREEN", LampSet::kLarge, RGB(0, 255, 0), kGround, false},
    {"DARK_GREEN", LampSet::kLarge, RGB(0, 128, 0), kGround, false},
    {"YELLOW", LampSet::kLarge, RGB(255, 255, 0), kGround, false},
    {"DARK_YELLOW", LampSet::kLarge, RGB(128, 128, 0), kGround, false},
    {"MANGENTA", LampSet::kLarge, RGB(255, 0, 255), kGround, false},
    {"DARK_MANGENTA", LampSet::kLarge, RGB(128, 0, 128), kGround, false},
    {"GRAY", LampSet::kLarge, RGB(192, 192, 192), kGround, false},
    {"DARK_GRAY", LampSet::kLarge, RGB(128, 128, 128), kGround, false},
    {"CYAN", LampSet::kLarge, RGB(0, 255, 255), kGround, false},
    {"DARK_CYAN", LampSet::kLarge, RGB(0, 128, 128), kGround, false},
    {"WHITE", LampSet::kLarge, RGB(255, 255, 255), kGround, true},
    {"BLACK", LampSet::kLarge, RGB(0, 0, 0), kGround, false},

    {"RED_LITE", LampSet::kSmall, RGB(255, 0, 0), kGround, false},
    {"DARK_RED_LITE", LampSet::kSmall, RGB(0, 0, 0), kDarkSocket, false},
    {"BLUE_LITE", LampSet::kSmall, RGB(0, 0, 255), kGround, false},
    {"DARK_BLUE_LITE", LampSet::kSmall, RGB(0, 0, 128), kDarkSocket, false},
    {"GREEN_LITE", LampSet::kSmall, RGB(0, 255, 0), kGround, false},
    {"DARK_GREEN_LITE", LampSet::kSmall, RGB(0, 0, 0), kDarkSocket, false},
    {"YELLOW_LITE", LampSet::kSmall, RGB(255, 255, 0), kGround, false},
    {"DARK_YELLOW_LITE", LampSet::kSmall, RGB(0, 0, 0), kDarkSocket, false},
    {"MANGENTA_LITE", LampSet::kSmall, RGB(255, 0, 255), kGround, false},
    {"DARK_MANGENTA_LITE", LampSet::kSmall, RGB(128, 0, 128), kDarkSocket, false},
    {"GRAY_LITE", LampSet::kSmall, RGB(192, 192, 192), kGround, false},
    {"DARK_GRAY_LITE", LampSet::kSmall, RGB(128, 128, 128), kDarkSocket, false},
    {"CYAN_LITE", LampSet::kSmall, RGB(0, 255, 255), kGround, false},
    {"DARK_CYAN_LITE", LampSet::kSmall, RGB(0, 128, 128), kDarkSocket, false},
    {"WHITE_LITE", LampSet::kSmall, RGB(255, 255, 255), kGround, false},
    {"DARK_WHITE_LITE", LampSet::kSmall, RGB(0, 0, 0), kDarkSocket, false},
}};

TColor LargeColor(char letter, TColor body) {
  switch (letter) {
    case 'r': return kLargeRim;
    case 'h': return kHighlight;
    case 'c': return body;
    default: return kGround;
  }
}

TColor SmallColor(char letter, const LampRecipe& lamp) {
  switch (letter) {
    case 'k': return kSmallRim;
    case 'm': return kRimFleck;
    case 'c': return lamp.body;
    case 'h': return kHighlight;
    case 's': return kSmallHighlight;
    case 'd': return kGlint;
    default: return lamp.corner;
  }
}

std::unique_ptr<TBitmap> BuildLamp(const LampRecipe& lamp) {
  auto image = std::make_unique<TBitmap>();
  // Every colour of both sets is one of the 16 standard colours, so the
  // 4-bit default palette holds them exactly.
  image->SetPixelFormat(pf4bit);
  const bool large = lamp.set == LampSet::kLarge;
  const int side = large ? kLargeSide : kSmallSide;
  image->SetSize(side, side);
  for (int y = 0; y < side; ++y) {
    const char* row =
        large ? kLargePattern[static_cast<std::size_t>(y)] : kSmallPattern[static_cast<std::size_t>(y)];
    for (int x = 0; x < side; ++x) {
      image->PutPixelRGB(x, y, large ? LargeColor(row[x], lamp.body) : SmallColor(row[x], lamp));
    }
  }
  if (lamp.whiteStrokes) {
    for (const Pixel& p : kWhiteLampStrokes) image->PutPixelRGB(p.x, p.y, kLargeRim);
  }
  return image;
}

using LampLibrary = std::map<std::string, std::unique_ptr<TBitmap>, std::less<>>;

const LampLibrary& Library() {
  // Built in one go under the guarantee of a function-local static, so the
  // first paint from any thread sees a complete set.
  static const LampLibrary library = [] {
    LampLibrary built;
    for (const LampRecipe& lamp : kLamps) built.emplace(lamp.name, BuildLamp(lamp));
    return built;
  }();
  return library;
}

}  // namespace

const TBitmap* FindLampImage(std::string_view name) {
  const LampLibrary& library = Library();
  const auto it = library.find(name);
  return it == library.end() ? nullptr : it->second.get();
}

const std::vector<std::string>& LampImageNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> all;
    for (const LampRecipe& lamp : kLamps) all.emplace_back(lamp.name);
    return all;
  }();
  return names;
}

}  // namespace qv
