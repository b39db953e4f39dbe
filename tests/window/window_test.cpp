// The main window: the register after FormShow, the picture commands, the
// banner's layout and a screenshot of the filled window.
#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>

#include "app/Banner.h"
#include "app/TPicture.h"
#include "app/Texts.h"
#include "tests/window/WindowFixture.h"

namespace {

using cell::Edge;
using cell::HAlign;
using cell::Range;

TEST_F(WindowTest, FormShowLaysOutTitleAndHeaderRowsOnly) {
  EXPECT_EQ(window->windowTitle(), texts::kMainCaption);
  EXPECT_EQ(window->cell().GetRowCount(0), 3);
  EXPECT_TRUE(window->cell().WorkbookReadonly());

  EXPECT_EQ(sheet().text(1, 1), texts::kRegisterTitle);
  EXPECT_EQ(sheet().mergeAt(1, 1), (Range{0, 1, 4, 1}));
  EXPECT_EQ(sheet().mergeAt(4, 1), (Range{0, 1, 4, 1}));
  EXPECT_EQ(sheet().hAlign(1, 1), HAlign::Centre);
  EXPECT_FLOAT_EQ(sheet().fontSize(1, 1), 20.0f);
  EXPECT_EQ(sheet().rowHeight(1), 150);

  EXPECT_EQ(rowText(2), QStringLiteral("表号|问题描述|类别|回复情况"));
  for (int c = 1; c <= 4; ++c) {
    EXPECT_FLOAT_EQ(sheet().fontSize(c, 2), 12.0f);
    EXPECT_EQ(sheet().hAlign(c, 2), HAlign::Centre);
    for (Edge e : {Edge::Left, Edge::Top, Edge::Right, Edge::Bottom})
      EXPECT_TRUE(sheet().border(c, 2, e)) << "header column " << c;
  }
  EXPECT_EQ(sheet().columnWidth(1), 350);
  EXPECT_EQ(sheet().columnWidth(2), 1150);
  EXPECT_EQ(sheet().columnWidth(3), 650);
  EXPECT_EQ(sheet().columnWidth(4), 350);
  EXPECT_EQ(sheet().fixedRows(), 2);
  EXPECT_FALSE(sheet().topLabelVisible());
  EXPECT_FALSE(sheet().sideLabelVisible());
  EXPECT_TRUE(window->selectedOrgCodes().isEmpty());
  EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(WindowTest, RegisterIgnoresKeyboardAndMouseEdits) {
  const QStringList before = snapshot();
  // Aim at every widget of the control: double-click into the header row's
  // area, then type and delete.
  QList<QWidget*> targets = window->cell().findChildren<QWidget*>();
  targets << &window->cell();
  for (QWidget* w : targets) {
    const QPointF at(w->width() / 3.0, w->height() / 4.0);
    QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, at, w->mapToGlobal(at), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QApplication::sendEvent(w, &dbl);
    for (int key : {int(Qt::Key_A), int(Qt::Key_Delete), int(Qt::Key_Backspace), int(Qt::Key_Return)}) {
      QKeyEvent k(QEvent::KeyPress, key, Qt::NoModifier, key == Qt::Key_A ? QStringLiteral("a") : QString());
      QApplication::sendEvent(QApplication::focusWidget() ? QApplication::focusWidget() : w, &k);
    }
  }
  QApplication::processEvents();
  EXPECT_EQ(snapshot(), before);
}

TEST_F(WindowTest, ClosePictureClosesTheWindowWithoutAQuestion) {
  ASSERT_TRUE(window->isVisible());
  window->picture("Image4")->click();
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(WindowTest, CheckPictureIgnoresASecondClickWhileItsCommandRuns) {
  QPushButton* btnCheck = nullptr;
  for (QPushButton* b : window->findChildren<QPushButton*>())
    if (b->text() == QStringLiteral("校核")) btnCheck = b;
  ASSERT_NE(btnCheck, nullptr);
  ASSERT_TRUE(btnCheck->isHidden());

  TPicture* imgJH = window->picture("imgJH");
  int runs = 0;
  bool enabledDuringRun = true;
  // Runs inside the command's click, after the window's own handler: the
  // second click arrives while the check picture is still held off.
  QObject::connect(btnCheck, &QPushButton::clicked, window.get(), [&] {
    ++runs;
    enabledDuringRun = imgJH->isEnabled();
    imgJH->click();
  });
  imgJH->click();
  EXPECT_EQ(runs, 1);
  EXPECT_FALSE(enabledDuringRun);
  EXPECT_TRUE(imgJH->isEnabled()) << "enabled again when the command returns";
}

TEST_F(WindowTest, BannerKeepsTheTilesAtTheirDistanceFromTheRightEdge) {
  const struct {
    const char* name;
    int designedLeft;
  } tiles[] = {{"imgCheckUnit", 623}, {"imgJH", 729}, {"imgExport", 834}, {"imgPrint", 940},
               {"Image4", 1046}};
  for (const int width : {banner::kDesignedWidth, 1400, 1920}) {
    window->resize(width, 649);
    QApplication::processEvents();
    const int panelWidth = window->picture("Image1")->parentWidget()->width();
    ASSERT_EQ(panelWidth, width);
    for (const auto& t : tiles) {
      const QRect g = window->picture(t.name)->geometry();
      EXPECT_EQ(g, QRect(t.designedLeft + width - banner::kDesignedWidth, 24, 88, 88))
          << t.name << " at width " << width;
      EXPECT_FALSE(window->picture(t.name)->image().isNull()) << t.name;
    }
    EXPECT_EQ(window->picture("Image1")->geometry(), QRect(0, 0, 936, 112));
    EXPECT_EQ(window->picture("img1")->geometry(), QRect(936, 0, width - 936, 112));
    EXPECT_EQ(window->picture("img2")->geometry(), QRect(0, 112, width, 9));
    // The register fills the rest under the banner.
    const QRect cellArea(window->cell().mapTo(window.get(), QPoint(0, 0)), window->cell().size());
    EXPECT_EQ(cellArea.top(), 121);
    EXPECT_EQ(cellArea.width(), width);
    EXPECT_EQ(cellArea.bottom(), window->height() - 1);
  }
}

TEST_F(WindowTest, ScreenshotOfTheFilledRegister) {
  createProblemTable();
  addProblems({
      {QStringLiteral("17000001"), QStringLiteral("第1表"),
       QStringLiteral("XX市委组织部：第1表中第3行第2列的值（12）应等于第4行第2列与第5行第2列之和（10）"),
       QStringLiteral("表内审核")},
      {QStringLiteral("17000001"), QStringLiteral("第1表"),
       QStringLiteral("XX县委：党员总数为0"), QStringLiteral("逻辑性审核")},
      {QStringLiteral("17000003"), QStringLiteral("第3表"),
       QStringLiteral("XX街道党工委：第3表与第1表的党员人数不一致，第3表为 1,204 人，第1表为 1,240 "
                      "人，请核对后重新上报。这是一个很长的问题描述，用来看折行与行高是否合适。"),
       QStringLiteral("表间审核")},
      {QStringLiteral("17000007"), QStringLiteral("第7表"),
       QStringLiteral("XX乡党委：发展党员数大于入党积极分子数"), QStringLiteral("合理性审核")},
  });
  window->Datetocell();
  window->resize(1280, 720);
  QApplication::processEvents();
  const QImage shot = window->grab().toImage();
  ASSERT_FALSE(shot.isNull());

  const QString dirName = qEnvironmentVariable("RC_ARTIFACT_DIR", QDir::tempPath());
  ASSERT_TRUE(QDir().mkpath(dirName));
  const QString file = dirName + QStringLiteral("/main_window.png");
  ASSERT_TRUE(shot.save(file, "PNG")) << file.toStdString();
  std::cout << "screenshot: " << file.toStdString() << "\n";

  // The banner is red where it has no picture content, and the tiles are drawn.
  const QRgb banner = shot.pixel(1000 + 1280 - 1149 - 30, 5);
  EXPECT_GT(qRed(banner), 150);
  EXPECT_LT(qGreen(banner), 90);
}

}  // namespace
