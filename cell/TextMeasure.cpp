#include "cell/TextMeasure.h"

#include <algorithm>

namespace cell {

QFont layoutFace(QFont font, float points, QFont::StyleStrategy merging) {
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(points * kUnitsPerPoint))));
  font.setHintingPreference(QFont::PreferNoHinting);
  font.setStyleStrategy(QFont::StyleStrategy(QFont::PreferOutline | merging));
  return font;
}

}  // namespace cell
