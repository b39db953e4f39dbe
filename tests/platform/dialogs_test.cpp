#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/dialogs.h"
#include "tests/support/ScriptedDialogs.h"

TEST(dialogs, FilterBecomesQtForm) {
  EXPECT_EQ(platform::qtFileFilter(QStringLiteral("报表校核情况(.xls)|*.xls")),
            QStringLiteral("报表校核情况(.xls) (*.xls)"));
  EXPECT_EQ(platform::qtFileFilter(QStringLiteral("a|*.a;*.b|c|*.c")),
            QStringLiteral("a (*.a *.b);;c (*.c)"));
}

TEST(dialogs, ScopedDoubleIsInForceForItsLifetimeOnly) {
  platform::Dialogs* real = &platform::dialogs();
  {
    ScriptedDialogs scripted;
    EXPECT_EQ(&platform::dialogs(), &scripted);
    scripted.fileAnswers.push_back(QStringLiteral("/tmp/x.xls"));
    EXPECT_EQ(platform::dialogs().saveFileName(nullptr, {}), QStringLiteral("/tmp/x.xls"));
    EXPECT_EQ(platform::dialogs().saveFileName(nullptr, {}), std::nullopt);  // queue empty: cancel
    platform::dialogs().plainMessage(QStringLiteral("m"));
    EXPECT_EQ(scripted.texts(DialogCall::Plain), std::vector<QString>{QStringLiteral("m")});
  }
  EXPECT_EQ(&platform::dialogs(), real);
}

// A message far longer than the screen holds keeps its OK button on screen,
// with the whole text still at hand in the box's details; this for each box
// the program shows, on the real Qt dialogs.
TEST(dialogs, LongMessageKeepsOkOnScreenAndTheWholeTextInDetails) {
  const QString longLine = QString(10000, QChar(0x5F02));             // one line of 异
  const QString manyLines = QStringLiteral("SQL已异常: x\n").repeated(400);
  const QString unbroken = QString(10000, QLatin1Char('x'));         // no place to wrap
  const std::vector<std::pair<const char*, std::function<void(const QString&)>>> boxes = {
      {"information box", [](const QString& t) { platform::dialogs().informationBox(nullptr, t, "c"); }},
      {"plain message", [](const QString& t) { platform::dialogs().plainMessage(t); }},
      {"start-up message", [](const QString& t) { platform::dialogs().startupMessage(t, "c"); }},
      {"failure", [](const QString& t) { platform::dialogs().showFailure(t); }},
  };
  // A refused problem row as the program reports it: shown whole.
  const QString refusedRow = QStringLiteral(
      "SQL已异常: insert into TMP_CONTENT (id,RPTID,RPTSCR,CONTENTSCR,CONTENTTYPE,CONTENTREVERT) "
      "values ('0B3E5C1A-2D4F-4E6A-8B9C-0D1E2F3A4B5C','18000700000','第70表','东川市委一支部长',"
      "'不应为零(应该有数据)','')");
  const std::vector<std::pair<QString, bool>> texts = {
      {longLine, false}, {manyLines, false}, {unbroken, false}, {refusedRow, true}, {"short", true}};
  for (const auto& [name, show] : boxes) {
    for (const auto& [text, whole] : texts) {
      SCOPED_TRACE(std::string(name) + " " + std::to_string(text.size()));
      bool seen = false;
      QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen = true;
        const QRect screen = box->screen()->availableGeometry();
        QAbstractButton* ok = box->button(QMessageBox::Ok);
        ASSERT_NE(ok, nullptr);
        const auto onScreen = [&] {
          const QRect r(ok->mapToGlobal(QPoint(0, 0)), ok->size());
          return screen.contains(r) && screen.contains(box->frameGeometry());
        };
        EXPECT_TRUE(onScreen()) << "box " << box->frameGeometry().height() << " of " << screen.height();
        if (!whole) {
          EXPECT_TRUE(box->detailedText() == text);
          // Showing the details keeps the box on screen as well.
          for (QAbstractButton* b : box->buttons())
            if (box->buttonRole(b) == QMessageBox::ActionRole) b->click();
          QApplication::processEvents();
          EXPECT_TRUE(onScreen()) << "with details";
        } else {
          EXPECT_EQ(box->text(), text);
          EXPECT_TRUE(box->detailedText().isEmpty());
        }
        ok->click();
      });
      show(text);
      EXPECT_TRUE(seen);
    }
  }
}
