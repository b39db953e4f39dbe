#pragma once
// A picture that scales its image to its size and reports clicks while enabled.
#include <QImage>
#include <QWidget>

class TPicture : public QWidget {
  Q_OBJECT
 public:
  explicit TPicture(QWidget* parent = nullptr);
  void setImage(const QImage& image);
  const QImage& image() const { return image_; }
  // Runs the click action, as a click of the mouse does; ignored while disabled.
  void click();

 signals:
  void clicked();

 protected:
  void paintEvent(QPaintEvent*) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  QImage image_;
};
