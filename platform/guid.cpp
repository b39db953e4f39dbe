#include "platform/guid.h"

#include <QRandomGenerator>

#include <array>
#include <cstring>

namespace platform {

// A random (version 4) GUID, as the system's GUID generator makes them. The
// bits come from Qt's generator seeded once from the system's entropy: asking
// the system for them on every call cost more than the rest of a problem row's
// work, and a check run takes one identifier per problem row.
QString newGuidText() {
  std::array<quint32, 4> words;
  QRandomGenerator::global()->fillRange(words.data(), words.size());
  std::array<unsigned char, 16> b;
  std::memcpy(b.data(), words.data(), b.size());
  b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40);  // version 4
  b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80);  // the standard variant
  static constexpr char16_t kHex[] = u"0123456789ABCDEF";
  QString text(36, Qt::Uninitialized);
  QChar* out = text.data();
  for (size_t i = 0; i < b.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) *out++ = QLatin1Char('-');
    *out++ = QChar(kHex[b[i] >> 4]);
    *out++ = QChar(kHex[b[i] & 0x0F]);
  }
  return text;
}

}  // namespace platform
