#include "app/Banner.h"

#include <QEvent>
#include <QFile>
#include <QWidget>

#include <algorithm>
#include <array>

#include "app/Jpeg.h"
#include "app/TPicture.h"

// The resources live in the static app library: keep their initialiser linked.
static void initBannerResources() { Q_INIT_RESOURCE(resources); }

namespace banner {
namespace {

// The pictures in loadArtwork's order, with their designed place in the panel.
// Tiles are placed by their left edge at the designed width.
struct Slot {
  const char* name;
  int left;  // tiles only
};
constexpr std::array<Slot, std::tuple_size_v<Pictures>> kSlots = {{{"Image1", 0},
                                         {"img1", 0},
                                         {"img2", 0},
                                         {"imgCheckUnit", 623},
                                         {"imgJH", 729},
                                         {"imgExport", 834},
                                         {"imgPrint", 940},
                                         {"Image4", 1046}}};
constexpr int kArtWidth = 936;
constexpr int kEdgeHeight = 9;
constexpr int kTileTop = 24;
constexpr int kTileSize = 88;

// Lays the pictures out whenever the banner panel changes size.
class Layout : public QObject {
 public:
  Layout(QWidget* panel, const Pictures& pictures)
      : QObject(panel), panel_(panel), pictures_(pictures) {
    panel->installEventFilter(this);
    apply();
  }

  bool eventFilter(QObject* watched, QEvent* e) override {
    if (watched == panel_ && e->type() == QEvent::Resize) apply();
    return false;
  }

 private:
  void apply() {
    const int w = panel_->width();
    const int h = panel_->height();
    for (size_t i = 0; i < pictures_.size(); ++i) {
      TPicture* p = pictures_[i];
      switch (i) {
        case 0:  // art, left
          p->setGeometry(0, 0, kArtWidth, h - kEdgeHeight);
          break;
        case 1:  // filler, the rest of the width above the edge
          p->setGeometry(kArtWidth, 0, std::max(0, w - kArtWidth), h - kEdgeHeight);
          break;
        case 2:  // edge strip along the bottom
          p->setGeometry(0, h - kEdgeHeight, w, kEdgeHeight);
          break;
        default:  // tiles: anchored top and right
          p->setGeometry(w - (kDesignedWidth - kSlots[i].left), kTileTop, kTileSize, kTileSize);
          p->raise();
          break;
      }
    }
  }

  QWidget* panel_;
  Pictures pictures_;
};

}  // namespace

QImage picture(const QString& name) {
  initBannerResources();
  QFile f(QStringLiteral(":/banner/%1.jpg").arg(name));
  if (!f.open(QIODevice::ReadOnly)) return QImage();
  return decodeJpeg(f.readAll());
}

void loadArtwork(QWidget& panel, const Pictures& pictures) {
  for (size_t i = 0; i < pictures.size(); ++i)
    pictures[i]->setImage(picture(QString::fromLatin1(kSlots[i].name)));
  new Layout(&panel, pictures);  // owned by the panel
}

}  // namespace banner
