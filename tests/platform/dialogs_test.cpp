#include <QAbstractButton>
#include <QAbstractProxyModel>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QTreeView>
#include <QHeaderView>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/dialogs.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/QStringPrint.h"
#include "tests/support/ScriptedDialogs.h"

TEST(Dialogs, FilterBecomesQtForm) {
  EXPECT_EQ(platform::qtFileFilter(QStringLiteral("报表校核情况(.xls)|*.xls")),
            QStringLiteral("报表校核情况(.xls) (*.xls)"));
  EXPECT_EQ(platform::qtFileFilter(QStringLiteral("a|*.a;*.b|c|*.c")),
            QStringLiteral("a (*.a *.b);;c (*.c)"));
}

TEST(Dialogs, ScopedDoubleIsInForceForItsLifetimeOnly) {
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

// The start-up box of a failed connection, on the real Qt dialogs: the one
// sentence with its caption, no icon, no owner, only OK; the reason behind
// the details button.
TEST(Dialogs, StartupMessageCarriesTheReasonInItsDetails) {
  const QString reason = QStringLiteral("connection to server failed: timeout expired\nSQLSTATE 08001");
  for (const QString& details : {reason, QString()}) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      seen = true;
      EXPECT_EQ(box->windowTitle(), QStringLiteral("提示"));
      EXPECT_EQ(box->text(), QStringLiteral("由于数据库未启动，程序无法使用！"));
      EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
      EXPECT_EQ(box->parentWidget(), nullptr);
      EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
      EXPECT_EQ(box->detailedText(), details);
      box->button(QMessageBox::Ok)->click();
    });
    platform::dialogs().startupMessage(QStringLiteral("由于数据库未启动，程序无法使用！"),
                                       QStringLiteral("提示"), details);
    EXPECT_TRUE(seen);
  }
}

// The start-up box's details show the driver's reason in lines as long as
// the reason's own, within the screen, its tab as a blank, its text as it
// came; a reason longer than the screen is wide wraps in a box as wide as
// the screen.
TEST(Dialogs, StartupDetailsAreAsWideAsTheReasonWithinTheScreen) {
  const QString reason = QStringLiteral(
      "connection to server at \"127.0.0.1\", port 54321 failed: Connection refused\n"
      "\tIs the server running on that host and accepting TCP/IP connections?\nSQLSTATE 08001");
  const QString tooLong = QStringLiteral("could not translate host name to address: ").repeated(12);
  for (const QString& details : {reason, tooLong}) {
    SCOPED_TRACE(details.size());
    bool seen = false;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      seen = true;
      auto* pane = box->findChild<QTextEdit*>();
      ASSERT_NE(pane, nullptr);
      for (QAbstractButton* b : box->buttons())
        if (box->buttonRole(b) == QMessageBox::ActionRole) b->click();
      QApplication::processEvents();
      ASSERT_TRUE(pane->isVisible());
      const QRect screen = box->screen()->availableGeometry();
      EXPECT_TRUE(screen.contains(box->frameGeometry())) << box->frameGeometry().width() << " of " << screen.width();
      EXPECT_EQ(box->text(), QStringLiteral("由于数据库未启动，程序无法使用！"));
      EXPECT_EQ(box->detailedText(), details);
      const QFontMetrics metrics(pane->font());
      EXPECT_EQ(pane->tabStopDistance(), metrics.horizontalAdvance(QLatin1Char(' '))) << "a tab one blank wide";
      const int room = pane->viewport()->width() - 2 * static_cast<int>(pane->document()->documentMargin());
      if (details == reason) {
        for (const QString& line : details.split(u'\n'))
          EXPECT_LE(metrics.horizontalAdvance(QString(line).replace(u'\t', u' ')), room) << line.toStdString();
        EXPECT_EQ(pane->horizontalScrollBar()->maximum(), 0);
        EXPECT_EQ(pane->verticalScrollBar()->maximum(), 0) << "three lines, nothing to scroll";
      } else {
        EXPECT_GE(box->frameGeometry().width(), screen.width() - 2) << "as wide as the screen allows";
        EXPECT_EQ(pane->horizontalScrollBar()->maximum(), 0) << "wrapped, not scrolled sideways";
      }
      box->button(QMessageBox::Ok)->click();
    });
    platform::dialogs().startupMessage(QStringLiteral("由于数据库未启动，程序无法使用！"), QStringLiteral("提示"),
                                       details);
    EXPECT_TRUE(seen);
  }
}

// A message far longer than the screen holds keeps its OK button on screen,
// with the whole text still at hand in the box's details; this for each box
// the program shows, on the real Qt dialogs.
TEST(Dialogs, LongMessageKeepsOkOnScreenAndTheWholeTextInDetails) {
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

namespace {

template <class T>
T* visibleWindow() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* t = qobject_cast<T*>(w); t && t->isVisible()) return t;
  return nullptr;
}

// The file dialog's list of details, found as the program finds it: the
// tree view that shows the dialog's proxy model.
QTreeView* detailList(QFileDialog& dialog) {
  for (QTreeView* view : dialog.findChildren<QTreeView*>())
    if (view->model() == dialog.proxyModel()) return view;
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
TEST(Dialogs, QtsOwnTextsAreChinese) {
  ASSERT_TRUE(platform::prepareChineseDesktop(*QCoreApplication::instance()));

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
                nullptr, {QStringLiteral("报表校核情况(.xls)|*.xls"), QStringLiteral("sav"), true, QString()}),
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

namespace {

// Whether the text holds a Chinese character.
bool chinese(const QString& text) {
  return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF; });
}

const QString kSaveFilter = QStringLiteral("报表校核情况(.xls)|*.xls");

// Runs the save dialog with the options and hands it, in its detail view,
// with its list of details to look every 20 ms until look is done (true);
// the dialog is then cancelled. A dialog whose list is not found, or that is
// still open after 20 seconds, fails the test and is closed.
void lookAtSaveDialog(const platform::FileDialogOptions& options,
                      const std::function<bool(QFileDialog&, QTreeView&)>& look) {
  QElapsedTimer running;
  running.start();
  QTimer poll;
  poll.setInterval(20);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* save = visibleWindow<QFileDialog>();
    if (!save) return;
    QTreeView* details = detailList(*save);
    if (!details || running.elapsed() > 20000) {
      ADD_FAILURE() << "the dialog's list of details (the tree view of its proxy model) is not found, or never filled";
      save->reject();
      return;
    }
    save->setViewMode(QFileDialog::Detail);
    if (look(*save, *details)) save->reject();
  });
  poll.start();
  EXPECT_EQ(platform::dialogs().saveFileName(nullptr, options), std::nullopt);
}

// Whether the list shows at least the given number of entries, each with its type
// and date (the dialog reads a folder in the background).
bool listed(const QTreeView& details, int entries) {
  const QAbstractItemModel* list = details.model();
  const QModelIndex root = details.rootIndex();
  if (list->rowCount(root) < entries) return false;
  for (int row = 0; row < entries; ++row)
    if (list->index(row, 2, root).data().toString().isEmpty() || list->index(row, 3, root).data().toString().isEmpty())
      return false;
  return true;
}

}  // namespace

// Started in a process whose locale is C.UTF-8, the program's save dialog is
// Chinese throughout: its texts, the file list's types and dates (in the
// Chinese form, wide enough to read), and the file type once, by its name.
TEST(Dialogs, SaveDialogIsChineseInACProcess) {
  if (!testsupport::inChildProcess("Dialogs.SaveDialogIsChineseInACProcess",
                                   {{"LC_ALL", "C.UTF-8"}, {"LANG", "C.UTF-8"}, {"LANGUAGE", ""}}))
    return;
  ASSERT_EQ(QLocale::system().language(), QLocale::C);
  ASSERT_TRUE(platform::prepareChineseDesktop(*QCoreApplication::instance()));
  QTemporaryDir dir;
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
  QFile file(dir.filePath(QStringLiteral("register.xls")));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("x");
  ASSERT_TRUE(file.flush());  // the write would touch the time again
  const QDateTime modified(QDate(2016, 12, 31), QTime(9, 5));
  ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
  file.close();

  QStringList texts, narrow, fileTypes;
  std::map<QString, std::pair<QString, QString>> rows;  // name -> type, date
  lookAtSaveDialog({kSaveFilter, QStringLiteral("sav"), true, dir.path()}, [&](QFileDialog& save, QTreeView& details) {
    if (!listed(details, 2)) return false;
    const QAbstractItemModel* list = details.model();
    const QModelIndex root = details.rootIndex();
    for (int row = 0; row < list->rowCount(root); ++row)
      rows[list->index(row, 0, root).data().toString()] = {list->index(row, 2, root).data().toString(),
                                                          list->index(row, 3, root).data().toString()};
    QApplication::processEvents();
    for (int column = 0; column < list->columnCount(root); ++column) {
      texts << list->headerData(column, Qt::Horizontal).toString();
      const QAbstractItemView* view = &details;  // the width its texts need: public through the base
      if (details.header()->sectionSize(column) < view->sizeHintForColumn(column)) narrow << texts.back();
    }
    for (const QLabel* l : save.findChildren<QLabel*>())
      if (l->isVisible()) texts << l->text();
    for (const QAbstractButton* b : save.findChildren<QAbstractButton*>())
      if (b->isVisible()) texts << (b->text().isEmpty() ? b->toolTip() : b->text());
    auto* combo = save.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    for (int i = 0; combo && i < combo->count(); ++i) fileTypes << combo->itemText(i);
    texts << save.windowTitle();
    return true;
  });

  EXPECT_EQ(fileTypes, QStringList{QStringLiteral("报表校核情况(.xls)")});
  ASSERT_EQ(rows.size(), 2u) << "the folder and the workbook";
  EXPECT_EQ(rows[QStringLiteral("folder")].first, QStringLiteral("文件夹"));
  EXPECT_TRUE(chinese(rows[QStringLiteral("register.xls")].first)) << rows[QStringLiteral("register.xls")].first.toStdString();
  EXPECT_EQ(rows[QStringLiteral("register.xls")].second, QStringLiteral("2016/12/31 09:05"));
  EXPECT_TRUE(narrow.isEmpty()) << "columns too narrow for their texts: " << narrow.join(u'|').toStdString();
  ASSERT_GT(texts.size(), 10);
  for (const QString& t : texts) EXPECT_TRUE(chinese(t)) << t.toStdString();
}

// The save dialog opens in the folder it is given (the program's last
// export), else in the working folder; at its opening size its list shows
// every column whole: each as wide as its texts, none cut by the list's edge.
TEST(Dialogs, SaveDialogOpensInItsFolderWithItsColumnsWhole) {
  ASSERT_TRUE(platform::prepareChineseDesktop(*QCoreApplication::instance()));
  QTemporaryDir dir;
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
  QFile file(dir.filePath(QStringLiteral("登记表.xls")));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(QByteArray(123456, 'x'));
  file.close();
  const QString gone = dir.filePath(QStringLiteral("gone"));

  const struct {
    QString folder;
    QString opensIn;
  } cases[] = {{dir.path(), dir.path()}, {QString(), QDir::currentPath()}, {gone, QDir::currentPath()}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder.toStdString());
    QString openedIn;
    QStringList cut;
    int sideways = -1;
    bool filled = false;  // the columns take the list's width, no more
    lookAtSaveDialog({kSaveFilter, QStringLiteral("xls"), true, c.folder}, [&](QFileDialog& save, QTreeView& details) {
      if (openedIn.isNull()) openedIn = save.directory().absolutePath();
      if (c.opensIn != dir.path()) return true;
      if (!listed(details, 2)) return false;
      QApplication::processEvents();
      const QAbstractItemView* view = &details;  // the width its texts need: public through the base
      const QHeaderView* header = details.header();
      for (int column = 0; column < header->count(); ++column)
        if (header->sectionSize(column) < std::max(view->sizeHintForColumn(column), header->sectionSizeHint(column)))
          cut << details.model()->headerData(column, Qt::Horizontal).toString();
      sideways = details.horizontalScrollBar()->maximum();
      filled = header->length() == details.viewport()->width();
      return true;
    });
    EXPECT_EQ(openedIn, QDir(c.opensIn).absolutePath());
    if (c.opensIn == dir.path()) {
      EXPECT_TRUE(cut.isEmpty()) << "columns narrower than their texts: " << cut.join(u'|').toStdString();
      EXPECT_EQ(sideways, 0) << "the list scrolls sideways";
      EXPECT_TRUE(filled);
    }
  }
}
