#include "app/Banner.h"

#include "app/TPicture.h"

namespace banner {

void loadArtwork(QWidget&, std::initializer_list<TPicture*> pictures) {
  // Placeholder geometry until the artwork arrives.
  int x = 623;
  int i = 0;
  for (TPicture* p : pictures) {
    if (i++ >= 3) {
      p->setGeometry(x, 24, 88, 88);
      x += 106;
    }
  }
}

}  // namespace banner
