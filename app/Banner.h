#pragma once
// The banner of the main window: JPEG artwork built into the program, decoded
// with libjpeg, and the banner's layout (art on the left, filler to the right,
// an edge strip at the bottom, the five command tiles anchored top right).
#include <QByteArray>
#include <QImage>
#include <QString>

#include <array>

class QWidget;
class TPicture;

namespace banner {

// The width the banner was designed for; the tiles keep their distance to the
// right edge that they have at this width.
inline constexpr int kDesignedWidth = 1149;

// The banner pictures in their order: Image1, img1, img2, then the five
// command tiles imgCheckUnit, imgJH, imgExport, imgPrint, Image4.
using Pictures = std::array<TPicture*, 8>;

// Gives the pictures (children of panel) their decoded artwork and places
// them; the layout follows the panel's size from then on.
void loadArtwork(QWidget& panel, const Pictures& pictures);

// The built-in picture of that name ("Image1", "img1", ... "Image4"),
// decoded; a null image when there is none or it does not decode.
QImage picture(const QString& name);

}  // namespace banner
