#pragma once
// The one font configuration of the program: the Song face "宋体" that the
// windows, the progress gauge and the spreadsheet (on screen and in print)
// ask for, and the faces that stand in for it where it is not installed.
#include <QFont>
#include <QStringList>

namespace platform {

// The face the program's texts are designed in.
inline constexpr const char* kSongFace = "宋体";
// The Ming font that stands in for it on Linux (fonts-arphic-uming).
inline constexpr const char* kSongSubstitute = "AR PL UMing CN";

// The faces tried for 宋体, in order: 宋体 itself (under either of its
// names), then Song-style stand-ins, then any CJK face.
QStringList songFamilies();

// 宋体 at the given pixel size (at least 1).
QFont songFont(int pixelSize);

}  // namespace platform
