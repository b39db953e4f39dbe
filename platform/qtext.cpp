#include "platform/qtext.h"

#include "platform/codepage.h"

namespace platform {

QString fromAnsi(std::string_view ansi) {
  const std::u16string w = codepage::ansiToWide(ansi);
  return QString::fromUtf16(w.data(), static_cast<qsizetype>(w.size()));
}

std::string toAnsi(const QString& text, bool* lost) {
  return codepage::wideToAnsi(
      std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), text.size()), lost);
}

}  // namespace platform
