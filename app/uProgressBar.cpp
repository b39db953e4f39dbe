#include "app/uProgressBar.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include "platform/fonts.h"

namespace {

// How long a new progress window waits for the window manager to put it on
// the screen before the step goes on regardless.
constexpr int kExposeWaitMs = 300;

ProgressWindow::Observer& observer() {
  static ProgressWindow::Observer o;
  return o;
}
}  // namespace

TGauge::TGauge(QWidget* parent) : QWidget(parent) {}

int TGauge::clamp(int v) const { return v < min_ ? min_ : (v > max_ ? max_ : v); }

void TGauge::setMinValue(int v) {
  min_ = v;
  progress_ = clamp(progress_);
  update();
}

void TGauge::setMaxValue(int v) {
  max_ = v;
  progress_ = clamp(progress_);
  update();
}

void TGauge::setProgress(int v) {
  const int shown = percentDone();
  progress_ = clamp(v);
  // The gauge draws the whole percentage only: most steps of a long run leave
  // it as it is, and those need no painting.
  if (percentDone() != shown) update();
}

int TGauge::percentDone() const {
  if (max_ <= min_) return 0;
  return static_cast<int>((static_cast<long long>(progress_ - min_) * 100) / (max_ - min_));
}

void TGauge::setShowText(bool show) {
  showText_ = show;
  update();
}

void TGauge::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect r = rect().adjusted(0, 0, -1, -1);
  p.fillRect(r, Qt::white);
  const int filled = r.width() * percentDone() / 100;
  p.fillRect(QRect(r.left(), r.top(), filled, r.height()), Qt::blue);
  p.setPen(Qt::gray);
  p.drawRect(r);
  if (!showText_) return;
  p.setFont(platform::songFont(16));
  const QString text = QStringLiteral("%1%").arg(percentDone());
  // Blue text on the white part, white on the blue part, as the gauge draws it.
  p.setPen(Qt::blue);
  p.drawText(r, Qt::AlignCenter, text);
  p.setClipRect(QRect(r.left(), r.top(), filled, r.height()));
  p.setPen(Qt::white);
  p.drawText(r, Qt::AlignCenter, text);
}

TFmProgressBar::TFmProgressBar(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setFixedSize(401, 93);
  QFont windowFont(QStringLiteral("MS Sans Serif"));
  windowFont.setPixelSize(11);
  setFont(windowFont);

  Panel1 = new QFrame(this);
  Panel1->setGeometry(0, 0, 401, 93);
  Panel1->setFrameStyle(QFrame::Box | QFrame::Plain);
  Panel1->setLineWidth(2);

  LabInfo = new QLabel(Panel1);
  LabInfo->setGeometry(16, 16, 369, 25);

  Gauge1 = new TGauge(Panel1);
  Gauge1->setGeometry(16, 51, 369, 23);

  Timer1 = new QTimer(this);
  Timer1->setInterval(300);
  QObject::connect(Timer1, &QTimer::timeout, this, &TFmProgressBar::Timer1Timer);
}

TFmProgressBar::~TFmProgressBar() = default;

void TFmProgressBar::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  FormShow();
}

void TFmProgressBar::closeEvent(QCloseEvent* e) {
  FormClose();
  QWidget::closeEvent(e);
}

void TFmProgressBar::FormShow() {
  if (!MarqueeBar) MarqueeBar = new QProgressBar(Panel1);
  MarqueeBar->hide();
  MarqueeBar->resize(50, MarqueeBar->height());
  MarqueeBar->setMaximum(40);
  MarqueeBar->setValue(40);
  MarqueeBar->setTextVisible(false);
  MarqueeBar->raise();
  Timer1->stop();
  if (Marquee) {
    MarqueeBar->setGeometry(Gauge1->x(), Gauge1->y(), MarqueeBar->width(), Gauge1->height());
    MarqueeBar->show();
    Gauge1->setShowText(false);
    Timer1->start();
  }
}

void TFmProgressBar::Timer1Timer() {
  if (!MarqueeBar) return;
  const int step = Gauge1->width() / 7;
  const int left = MarqueeBar->x() + step;
  if (left > Gauge1->x() + Gauge1->width() - MarqueeBar->width())
    MarqueeBar->move(Gauge1->x(), MarqueeBar->y());
  else
    MarqueeBar->move(left, MarqueeBar->y());
}

void TFmProgressBar::FormClose() { Timer1->stop(); }

ProgressWindow::ProgressWindow(QWidget* owner) : window_(std::make_unique<TFmProgressBar>(owner)) {
  // Centred over the owner once it is on screen, else over the screen.
  QRect area;
  if (owner && owner->isVisible())
    area = owner->frameGeometry();
  else if (QScreen* s = QGuiApplication::primaryScreen())
    area = s->availableGeometry();
  if (area.isValid()) window_->move(area.center() - window_->rect().center());
  window_->show();
  // Under a window manager the window is mapped some time after show(); the
  // step that follows may block the thread (a connection attempt), so the
  // window must be on the screen before it, or the user sees nothing.
  QElapsedTimer waited;
  waited.start();
  for (;;) {
    QCoreApplication::processEvents();
    const QWindow* handle = window_->windowHandle();
    if ((handle && handle->isExposed()) || waited.elapsed() >= kExposeWaitMs) break;
    QThread::msleep(5);
  }
  window_->repaint();
}

ProgressWindow::~ProgressWindow() = default;

// Each change the user can see is painted at once: the caller may block
// right after it. A step that leaves the whole percentage as it was changes
// nothing on screen and paints nothing.
void ProgressWindow::setMessage(const QString& text) {
  window_->LabInfo->setText(text);
  window_->LabInfo->repaint();
}
void ProgressWindow::setMinimum(int minimum) {
  window_->Gauge1->setMinValue(minimum);
  window_->Gauge1->repaint();
}
void ProgressWindow::setMaximum(int maximum) {
  window_->Gauge1->setMaxValue(maximum);
  window_->Gauge1->repaint();
}
void ProgressWindow::setProgress(int value) {
  const int shown = window_->Gauge1->percentDone();
  window_->Gauge1->setProgress(value);
  if (window_->Gauge1->percentDone() != shown) window_->Gauge1->repaint();
}
int ProgressWindow::progress() const { return window_->Gauge1->progress(); }

void ProgressWindow::pump() {
  if (observer()) observer()(*window_);
  const int percent = window_->Gauge1->percentDone();
  const QString& message = window_->LabInfo->text();
  if (lastPass_.isValid() && lastPass_.elapsed() < 15 && percent == lastPercent_ && message == lastMessage_)
    return;
  lastPercent_ = percent;
  lastMessage_ = message;
  lastPass_.start();
  QCoreApplication::processEvents();
}

void ProgressWindow::setObserver(Observer o) { observer() = std::move(o); }
