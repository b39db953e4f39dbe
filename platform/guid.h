#pragma once
#include <QString>

namespace platform {

// A new GUID in its standard text form without braces: 8-4-4-4-12 upper-case hex digits.
QString newGuidText();

}  // namespace platform
