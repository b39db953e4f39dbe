#pragma once
// The banner of the main window: JPEG artwork built into the program, decoded
// with libjpeg, and the banner's layout (art on the left, filler to the right,
// an edge strip at the bottom, the five command tiles anchored top right).
#include <QByteArray>
#include <QImage>
#include <QString>

#include <initializer_list>

class QWidget;
class TPicture;

namespace banner {

// The width the banner was designed for; the tiles keep their distance to the
// right edge that they have at this width.
inline constexpr int kDesignedWidth = 1149;

// Places the banner pictures (Image1, img1, img2, then the five command tiles
// imgCheckUnit, imgJH, imgExport, imgPrint, Image4; all children of one
// banner panel) and gives them their decoded artwork. The layout follows the
// panel's size from then on.
void loadArtwork(QWidget& window, std::initializer_list<TPicture*> pictures);

// The built-in picture of that name ("Image1", "img1", ... "Image4"),
// decoded; a null image when there is none or it does not decode.
QImage picture(const QString& name);

}  // namespace banner
