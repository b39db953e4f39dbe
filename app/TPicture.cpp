#include "app/TPicture.h"

#include <QMouseEvent>
#include <QPainter>

TPicture::TPicture(QWidget* parent) : QWidget(parent) {}

void TPicture::setImage(const QImage& image) {
  image_ = image;
  update();
}

void TPicture::click() {
  if (isEnabled()) emit clicked();
}

void TPicture::paintEvent(QPaintEvent*) {
  if (image_.isNull()) return;
  QPainter p(this);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  p.drawImage(rect(), image_);
}

void TPicture::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) click();
  QWidget::mouseReleaseEvent(e);
}
