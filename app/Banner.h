#pragma once
// The banner artwork of the main window: JPEG pictures built into the program.
#include <initializer_list>

class QWidget;
class TPicture;

namespace banner {

// Places the banner pictures (Image1, img1, img2, then the five command tiles
// imgCheckUnit, imgJH, imgExport, imgPrint, Image4) in the banner panel and
// gives them their decoded artwork.
void loadArtwork(QWidget& window, std::initializer_list<TPicture*> pictures);

}  // namespace banner
