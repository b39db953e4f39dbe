#include "platform/fonts.h"

#include <algorithm>

namespace platform {

QStringList songFamilies() {
  return {QString::fromUtf8(kSongFace), QStringLiteral("SimSun"), QString::fromUtf8(kSongSubstitute),
          QStringLiteral("Noto Serif CJK SC"), QStringLiteral("WenQuanYi Micro Hei"),
          QStringLiteral("Noto Sans CJK SC")};
}

QFont songFont(int pixelSize) {
  QFont font;
  // A list, not one family with substitutes: the font database then takes
  // the first of them that is installed, on every machine the same way.
  font.setFamilies(songFamilies());
  font.setPixelSize(std::max(pixelSize, 1));
  return font;
}

}  // namespace platform
