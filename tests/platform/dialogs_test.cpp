#include <QApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFont>
#include <QFontInfo>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

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

namespace {

template <class T>
T* visibleWindow() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* t = qobject_cast<T*>(w); t && t->isVisible()) return t;
  return nullptr;
}

QStringList buttonTexts(const QWidget& w) {
  QStringList out;
  for (const QPushButton* b : w.findChildren<QPushButton*>())
    if (b->isVisible()) out << b->text();
  return out;
}

}  // namespace

// The program's own dialogs are Chinese, and so are Qt's standard ones once
// the start-up has loaded Qt's translation: the save dialog, its question
// before replacing a file, and the OK of every message box.
TEST(dialogs, QtsOwnTextsAreChineseAndTheSongFaceIsAMingFont) {
  const QStringList substitutesBefore = QFont::substitutes(QStringLiteral("宋体"));
  ASSERT_TRUE(platform::prepareChineseDesktop(*QCoreApplication::instance()));
  EXPECT_EQ(QFontInfo(QFont(QStringLiteral("宋体"))).family(), platform::kSongSubstitute);
  for (const QString& s : substitutesBefore)
    EXPECT_TRUE(QFont::substitutes(QStringLiteral("宋体")).contains(s)) << s.toStdString();

  QTemporaryDir dir;
  const QString existing = dir.filePath(QStringLiteral("register.xls"));
  QFile(existing).open(QIODevice::WriteOnly);
  QString title, question;
  QStringList saveButtons, labels, questionButtons;
  int step = 0;
  bool saving = false;  // a click on Save is under way
  QElapsedTimer running;
  running.start();
  QTimer poll;
  poll.setInterval(20);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* save = visibleWindow<QFileDialog>();
    if (!save) return;
    auto* box = visibleWindow<QMessageBox>();
    if (running.elapsed() > 20000) {  // never hang: close what is open and fail
      ADD_FAILURE() << "stuck at step " << step;
      if (box) box->reject();
      save->reject();
      return;
    }
    if (step == 0) {
      title = save->windowTitle();
      saveButtons = buttonTexts(*save);
      for (const QLabel* l : save->findChildren<QLabel*>())
        if (l->isVisible() && !l->text().isEmpty()) labels << l->text();
      save->setDirectory(dir.path());
      step = 1;
    } else if (step == 1 && box) {
      question = box->text();
      questionButtons = buttonTexts(*box);
      step = 2;
      box->button(QMessageBox::No)->click();
    } else if (step == 1 && !saving) {
      // The name typed and Save clicked later, as the question runs a loop of
      // its own in which this timer must fire. Until the dialog has read its
      // folder, reading it may clear the name: then both are done again.
      saving = true;
      QTimer::singleShot(0, save, [&, save] {
        save->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QFileInfo(existing).fileName());
        save->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save)->click();
        saving = false;
      });
    } else if (step == 2 && !box) {
      save->reject();
    }
  });
  poll.start();
  EXPECT_EQ(platform::dialogs().saveFileName(
                nullptr, {QStringLiteral("报表校核情况(.xls)|*.xls"), QStringLiteral("sav"), true}),
            std::nullopt);
  EXPECT_EQ(title, "另存为");
  EXPECT_EQ(saveButtons, (QStringList{"保存(&S)", "取消"}));
  EXPECT_TRUE(labels.contains("查找范围：")) << labels.join('|').toStdString();
  EXPECT_TRUE(labels.contains("文件名称(&N)：")) << labels.join('|').toStdString();
  EXPECT_TRUE(question.startsWith("register.xls") && question.contains("替换"))
      << question.toStdString();
  EXPECT_EQ(questionButtons, (QStringList{"是(&Y)", "否(&N)"}));

  QStringList okButtons;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (auto* box = visibleWindow<QMessageBox>()) {
      okButtons << buttonTexts(*box);
      box->accept();
    }
  });
  platform::dialogs().plainMessage(QStringLiteral("m"));
  platform::dialogs().informationBox(nullptr, QStringLiteral("m"), QStringLiteral("提示"));
  EXPECT_EQ(okButtons, (QStringList{"确定", "确定"}));
}
