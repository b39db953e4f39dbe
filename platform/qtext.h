#pragma once
// Bridges between QString and the program's ANSI code page (GBK).
#include <QString>

#include <string>
#include <string_view>

namespace platform {

QString fromAnsi(std::string_view ansi);                       // invalid bytes -> U+FFFD
std::string toAnsi(const QString& text, bool* lost = nullptr);  // unmappable -> "?"

}  // namespace platform
