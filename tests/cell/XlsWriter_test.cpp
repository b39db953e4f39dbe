// Excel export: read back by independent readers (xlrd, olefile: see
// tests/support/xls_dump.py) and by our own record reader (merges, sizes,
// fonts, formats); failures leave nothing behind.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "cell/CellTexts.h"
#include "cell/CompoundFile.h"
#include "cell/Sheet.h"
#include "cell/TCell.h"
#include "cell/XlsWriter.h"
#include "tests/cell/Register.h"
#include "tests/cell/XlsReader.h"
#include "tests/support/InChild.h"
#include "tests/support/XlsDump.h"

using celltest::Problem;

namespace {

QByteArray readAll(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

// The first worksheet of a workbook as the independent readers see it.
QJsonObject firstSheet(const QJsonObject& dump) { return dump.value(QStringLiteral("sheets")).toArray().at(0).toObject(); }

QString cellOf(const std::map<std::pair<int, int>, QString>& texts, int row, int column) {
  const auto it = texts.find({row, column});
  return it == texts.end() ? QString() : it->second;
}

QStringList filesIn(const QString& dir) { return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden); }

class ExportTest : public testing::Test {
 protected:
  void SetUp() override {
    if (const QString why = xlsdump::unavailable(); !why.isEmpty()) GTEST_SKIP() << why.toStdString();
    ASSERT_TRUE(dir_.isValid());
  }
  QString path(const QString& name) const { return dir_.filePath(name); }
  QTemporaryDir dir_;
};

}  // namespace

TEST_F(ExportTest, IndependentReaderReadsEveryTextInItsCell) {
  TCell c;
  const std::vector<Problem> problems = {
      {QStringLiteral("中组统1表"), QStringLiteral("党员总数（12）与分类合计（11）不符"), QStringLiteral("逻辑")},
      {QStringLiteral("中组统2表"), QStringLiteral("引号\"与逗号,都原样保留"), QStringLiteral("核实")},
      {QStringLiteral("T3"), QStringLiteral("Latin text, ÄÖÜ"), QString()},
  };
  celltest::fillRegister(c, problems);
  ASSERT_EQ(c.ExportExcel(path(QStringLiteral("登记表.xls"))), 1);

  const QJsonObject sheet = firstSheet(xlsdump::read(path(QStringLiteral("登记表.xls"))));
  const auto rows = xlsdump::texts(sheet);
  ASSERT_EQ(sheet.value(QStringLiteral("rows")).toInt(), 6);
  EXPECT_EQ(cellOf(rows, 0, 0), celltest::kTitle);
  const QString headers[] = {QStringLiteral("表号"), QStringLiteral("问题描述"), QStringLiteral("类别"),
                             QStringLiteral("回复情况")};
  for (int col = 0; col < 4; ++col) EXPECT_EQ(cellOf(rows, 1, col), headers[col]) << col;
  for (int i = 0; i < 3; ++i) {
    const Problem& p = problems[static_cast<std::size_t>(i)];
    EXPECT_EQ(cellOf(rows, 2 + i, 0), p.table) << i;
    EXPECT_EQ(cellOf(rows, 2 + i, 1), p.description) << i;
    EXPECT_EQ(cellOf(rows, 2 + i, 2), p.category) << i;
    EXPECT_EQ(cellOf(rows, 2 + i, 3), QString()) << i;
  }
  EXPECT_EQ(cellOf(rows, 5, 0), celltest::kSignature);
  EXPECT_EQ(filesIn(dir_.path()), QStringList{QStringLiteral("登记表.xls")}) << "no temporary file stays";
}

TEST_F(ExportTest, LongTextsAcrossContinueRecordsReadBackWhole) {
  // Strings long enough that the string table spans several records and one
  // string is split across two of them.
  std::vector<Problem> problems;
  for (int i = 0; i < 40; ++i)
    problems.push_back({QStringLiteral("表%1").arg(i),
                        QStringLiteral("长描述%1：").arg(i) + QStringLiteral("数据不符合").repeated(40 + i * 7),
                        QStringLiteral("类%1").arg(i % 3)});
  problems.push_back({QStringLiteral("长表"), QStringLiteral("甲乙丙戊").repeated(2500), QStringLiteral("超长")});
  TCell c;
  celltest::fillRegister(c, problems);
  c.ExportExcel(path(QStringLiteral("long.xls")));

  const QJsonObject sheet = firstSheet(xlsdump::read(path(QStringLiteral("long.xls"))));
  const auto rows = xlsdump::texts(sheet);
  ASSERT_EQ(sheet.value(QStringLiteral("rows")).toInt(), static_cast<int>(problems.size()) + 3);
  for (std::size_t i = 0; i < problems.size(); ++i) {
    EXPECT_EQ(cellOf(rows, static_cast<int>(i) + 2, 0), problems[i].table) << i;
    EXPECT_EQ(cellOf(rows, static_cast<int>(i) + 2, 1), problems[i].description) << i;
    EXPECT_EQ(cellOf(rows, static_cast<int>(i) + 2, 2), problems[i].category) << i;
  }
}

// Characters whose UTF-16 low byte is 0 or 1 (不一致, 丁) and pairs beyond the
// BMP, read back by both readers.
TEST_F(ExportTest, EveryCharacterSurvivesInTheStringTable) {
  std::vector<Problem> problems = {
      {QStringLiteral("丁表"), QStringLiteral("党员人数不一致"), QStringLiteral("一般")},
      {QStringLiteral("𠀀"), QStringLiteral("beyond the BMP: 𠀀𪚥"), QStringLiteral("plain ASCII")},
      {QStringLiteral("长"), QStringLiteral("不一致，").repeated(3000), QStringLiteral("丁")},  // spans CONTINUE records
  };
  TCell c;
  celltest::fillRegister(c, problems);
  const QString file = path(QStringLiteral("t.xls"));
  c.ExportExcel(file);
  const xlsread::Workbook wb = xlsread::decode(readAll(file));
  EXPECT_EQ(wb.texts.at({0, 0}), celltest::kTitle);
  for (int i = 0; i < 3; ++i) {
    const Problem& p = problems[static_cast<std::size_t>(i)];
    EXPECT_EQ(wb.texts.at({2 + i, 0}), p.table) << i;
    EXPECT_EQ(wb.texts.at({2 + i, 1}), p.description) << i;
    EXPECT_EQ(wb.texts.at({2 + i, 2}), p.category) << i;
    EXPECT_EQ(wb.texts.count({2 + i, 3}), 0u) << i;
  }
  EXPECT_EQ(wb.texts.at({5, 0}), celltest::kSignature);

  const auto independent = xlsdump::texts(firstSheet(xlsdump::read(file)));
  for (const auto& [at, text] : wb.texts) EXPECT_EQ(cellOf(independent, at.first, at.second), text);
  EXPECT_EQ(independent.size(), wb.texts.size());
}

TEST_F(ExportTest, RecordsCarryMergesSizesFontsAndFormats) {
  TCell c;
  celltest::fillRegister(c, celltest::numberedProblems(2));
  const QString file = path(QStringLiteral("r.xls"));
  c.ExportExcel(file);
  const xlsread::Workbook wb = xlsread::decode(readAll(file));

  ASSERT_EQ(wb.bofOffsets.size(), 2u);
  EXPECT_EQ(wb.sheetBofOffset, wb.bofOffsets[1]);
  EXPECT_EQ(wb.merges, (std::vector<xlsread::Merge>{{0, 0, 0, 3}, {4, 4, 0, 3}}));

  ASSERT_EQ(wb.columnWidths.size(), 4u);
  EXPECT_NEAR(double(wb.columnWidths.at(1)) / wb.columnWidths.at(0), 1150.0 / 350, 0.01);
  EXPECT_EQ(wb.columnWidths.at(0), wb.columnWidths.at(3));
  EXPECT_EQ(wb.rowTwips.at(0), 850);  // 15 mm
  EXPECT_EQ(wb.rowTwips.at(4), 567);  // 10 mm, the signature row
  EXPECT_GE(wb.rowTwips.at(2), 200);

  auto xfAt = [&](int row, int column) { return wb.xfs.at(static_cast<std::size_t>(wb.cellXf.at({row, column}))); };
  auto font = [&](const xlsread::Xf& x) { return wb.fontTwips.at(static_cast<std::size_t>(x.font)); };
  const xlsread::Xf title = xfAt(0, 0);
  EXPECT_EQ(font(title), 400);
  EXPECT_EQ(title.hAlign, 2);
  EXPECT_EQ(title.vAlign, 1);
  const xlsread::Xf header = xfAt(1, 1);
  EXPECT_EQ(font(header), 240);
  EXPECT_TRUE(header.left && header.right && header.top && header.bottom);
  const xlsread::Xf description = xfAt(2, 1);
  EXPECT_TRUE(description.wrap);
  EXPECT_EQ(description.hAlign, 1);
  EXPECT_EQ(font(description), 200);
  EXPECT_FALSE(xfAt(2, 0).wrap);
  EXPECT_TRUE(xfAt(3, 3).left && xfAt(3, 3).bottom) << "the empty reply cell keeps its grid";
  const xlsread::Xf signature = xfAt(4, 0);
  EXPECT_EQ(signature.hAlign, 3);
  EXPECT_EQ(font(signature), 240);
  EXPECT_TRUE(signature.top);
  EXPECT_FALSE(signature.left);
  EXPECT_FALSE(xfAt(4, 3).right);
  EXPECT_FALSE(xfAt(4, 1).left) << "no inner lines inside the signature row";
}

TEST_F(ExportTest, AnExistingWorkbookIsReplaced) {
  const QString file = path(QStringLiteral("old.xls"));
  {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("old contents");
  }
  TCell c;
  celltest::fillRegister(c, celltest::numberedProblems(1));
  c.ExportExcel(file);
  EXPECT_EQ(cellOf(xlsdump::texts(firstSheet(xlsdump::read(file))), 0, 0), celltest::kTitle);
}

// Failures raise and leave the folder as it was.
TEST_F(ExportTest, FailuresRaiseAndLeaveNothing) {
  TCell c;
  celltest::fillRegister(c, celltest::numberedProblems(3));
  const QString folder = path(QStringLiteral("sub"));
  ASSERT_TRUE(QDir().mkpath(folder));
  ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/a folder.xls")));
  {
    QFile f(folder + QStringLiteral("/plain"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  const QStringList before = filesIn(folder);
  const QString cases[] = {
      folder + QStringLiteral("/missing/out.xls"),  // folder does not exist
      folder + QStringLiteral("/plain/out.xls"),    // a file where the folder should be
      folder + QStringLiteral("/a folder.xls"),     // a folder where the workbook should go
  };
  for (const QString& target : cases) {
    EXPECT_THROW(c.ExportExcel(target), TCellError) << target.toStdString();
    EXPECT_EQ(filesIn(folder), before) << target.toStdString();
  }
}

namespace {

// What path names (links followed); mode 0 when nothing.
struct stat statOf(const QString& path) {
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0) st.st_mode = 0;
  return st;
}

bool isCompoundFile(const QString& path) { return readAll(path).startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"); }

}  // namespace

// The export writes over regular files only, whoever runs it (these tests may
// run as root, who may write any file): anything else is refused before a
// byte is written, with the reason, and stays as it was. Each export runs in
// a child process under a bound, so one that waits on a FIFO fails instead
// of hanging. A workbook that is replaced keeps its permission bits, and a
// link to one is followed.
TEST_F(ExportTest, OnlyARegularFileThatMayBeWrittenIsReplaced) {
  TCell c;
  celltest::fillRegister(c, celltest::numberedProblems(2));
  const QByteArray old = "old contents";
  auto oldFile = [&](const QString& name, mode_t mode) {
    QFile f(path(name));
    if (!f.open(QIODevice::WriteOnly) || f.write(old) != old.size()) return false;
    f.close();
    return ::chmod(QFile::encodeName(path(name)).constData(), mode) == 0;
  };
  struct Case {
    const char* what;
    QString target;
    std::function<QString()> make;  // makes the target; a reason to skip the case, or empty
    QString refusal;                // the reason in the failure; empty: written
    mode_t mode;                    // of what stands there afterwards (with the type)
  };
  const QString kNotRegular = QStringLiteral("Not a regular file");
  const Case cases[] = {
      {"a FIFO", path(QStringLiteral("fifo.xls")),
       [&] { return ::mkfifo(QFile::encodeName(path(QStringLiteral("fifo.xls"))).constData(), 0644) == 0
                        ? QString() : QStringLiteral("mkfifo failed"); },
       kNotRegular, S_IFIFO | 0644},
      {"a character device (the null device's numbers)", path(QStringLiteral("null.xls")),
       [&] {
         if (::mknod(QFile::encodeName(path(QStringLiteral("null.xls"))).constData(), S_IFCHR | 0644,
                     makedev(1, 3)) != 0)
           return QStringLiteral("cannot make a device node here (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)));
         return QString();
       },
       kNotRegular, S_IFCHR | 0644},
      {"a read-only workbook", path(QStringLiteral("readonly.xls")),
       [&] { return oldFile(QStringLiteral("readonly.xls"), 0444) ? QString() : QStringLiteral("no file"); },
       qt_error_string(EACCES), S_IFREG | 0444},
      {"a workbook of mode 640", path(QStringLiteral("group.xls")),
       [&] { return oldFile(QStringLiteral("group.xls"), 0640) ? QString() : QStringLiteral("no file"); }, QString(),
       S_IFREG | 0640},
      {"a link to a workbook of mode 604", path(QStringLiteral("link.xls")),
       [&] {
         if (!oldFile(QStringLiteral("linked.xls"), 0604)) return QStringLiteral("no file");
         return QFile::link(QStringLiteral("linked.xls"), path(QStringLiteral("link.xls"))) ? QString()
                                                                                             : QStringLiteral("no link");
       },
       QString(), S_IFREG | 0604},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    if (const QString why = k.make(); !why.isEmpty()) {
      std::printf("[  SKIPPED ] %s: %s\n", k.what, why.toLocal8Bit().constData());
      continue;
    }
    const QStringList before = filesIn(dir_.path());
    const int result = testsupport::inChild(
        [&] {
          try {
            cell::writeXls(c.sheet(), k.target);
          } catch (const TCellError& e) {
            return QString::fromUtf8(e.what()) == cell::texts::kCannotCreate.arg(k.target, k.refusal) ? 10 : 11;
          }
          return 0;
        },
        std::chrono::seconds(10));
    ASSERT_NE(result, -1) << "the export waited (killed after 10 s) or crashed";
    EXPECT_EQ(result, k.refusal.isEmpty() ? 0 : 10) << "0 written, 10 refused with the reason, 11 another failure";
    EXPECT_EQ(filesIn(dir_.path()), before) << "no file left behind";
    const struct stat after = statOf(k.target);
    EXPECT_EQ(after.st_mode, k.mode) << std::oct << after.st_mode;
    if (k.refusal.isEmpty()) {
      EXPECT_TRUE(isCompoundFile(k.target));
    } else if (S_ISREG(k.mode)) {
      EXPECT_EQ(readAll(k.target), old);
    }
  }
  // The link is still a link, to the replaced workbook.
  EXPECT_TRUE(QFileInfo(path(QStringLiteral("link.xls"))).isSymLink());
  EXPECT_TRUE(isCompoundFile(path(QStringLiteral("linked.xls"))));
}

// Root may give the new workbook the old one's owner and group.
TEST_F(ExportTest, AWorkbookReplacedByRootKeepsItsOwner) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root may give a file away";
  const QString file = path(QStringLiteral("theirs.xls"));
  {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  ASSERT_EQ(::chown(QFile::encodeName(file).constData(), 65534, 65534), 0);
  TCell c;
  celltest::fillRegister(c, celltest::numberedProblems(1));
  c.ExportExcel(file);
  const struct stat st = statOf(file);
  EXPECT_EQ(st.st_uid, 65534u);
  EXPECT_EQ(st.st_gid, 65534u);
  EXPECT_TRUE(isCompoundFile(file));
}

// A write that fails raises with the system's reason and leaves nothing:
// a full disk (a small tmpfs, where this process may mount one) and a file
// size limit (EFBIG instead of the signal).
TEST_F(ExportTest, AWriteThatFailsRaisesWithTheReasonAndLeavesNothing) {
  std::vector<Problem> problems;  // distinct texts: about 150 kB of strings
  for (int i = 0; i < 600; ++i)
    problems.push_back({QStringLiteral("表"), QStringLiteral("描述%1").arg(i).repeated(20), QStringLiteral("类")});
  TCell c;
  celltest::fillRegister(c, problems);

  auto exportFails = [&](const QString& folder, int expectedErrno) {
    const QString file = folder + QStringLiteral("/big.xls");
    QString message;
    try {
      c.ExportExcel(file);
    } catch (const TCellError& e) {
      message = QString::fromUtf8(e.what());
    }
    EXPECT_TRUE(message.contains(file)) << message.toStdString();
    EXPECT_TRUE(message.contains(qt_error_string(expectedErrno))) << message.toStdString();
    EXPECT_FALSE(message.contains(QStringLiteral("Unknown error"))) << message.toStdString();
    EXPECT_TRUE(filesIn(folder).isEmpty()) << filesIn(folder).join(u' ').toStdString();
  };

  {
    SCOPED_TRACE("full disk");
    const QString mountPoint = path(QStringLiteral("full"));
    ASSERT_TRUE(QDir().mkpath(mountPoint));
    if (mount("tmpfs", mountPoint.toLocal8Bit().constData(), "tmpfs", 0, "size=64k") == 0) {
      exportFails(mountPoint, ENOSPC);
      EXPECT_EQ(umount2(mountPoint.toLocal8Bit().constData(), MNT_DETACH), 0);
    } else {
      std::printf("[  SKIPPED ] full disk: cannot mount a tmpfs here (%s)\n", std::strerror(errno));
    }
  }
  {
    SCOPED_TRACE("file size limit");
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 8192;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const QString folder = path(QStringLiteral("limited"));
    ASSERT_TRUE(QDir().mkpath(folder));
    exportFails(folder, EFBIG);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
  }
}

TEST(CompoundFile, AStreamPast109FatSectorsReadsBackThroughTheDifat) {
  // 109 FAT sectors map about 7 MB; a larger stream needs DIFAT sectors.
  QByteArray data(8 * 1024 * 1024 + 123, '\0');
  for (qsizetype i = 0; i < data.size(); ++i) data[i] = static_cast<char>((i * 7919) >> 5);
  const QByteArray file = cell::compoundFile(QStringLiteral("Workbook"), data);
  EXPECT_EQ(file.size() % 512, 0);
  const QByteArray back = xlsread::stream(file, QStringLiteral("Workbook"));
  ASSERT_EQ(back.size(), (data.size() + 511) / 512 * 512);
  EXPECT_TRUE(back.startsWith(data));
}

TEST(CompoundFile, AShortStreamIsPaddedOutOfTheMiniStream) {
  const QByteArray file = cell::compoundFile(QStringLiteral("Workbook"), QByteArray("abc"));
  const QByteArray back = xlsread::stream(file, QStringLiteral("Workbook"));
  EXPECT_EQ(back.size(), 4096);
  EXPECT_TRUE(back.startsWith("abc"));
}

TEST(XlsExport, ASheetPastTheWorksheetLimitsRaises) {
  cell::Sheet s;
  s.setColumnCount(258);
  EXPECT_THROW(cell::workbookStream(s), TCellError);
}

TEST(XlsExport, ATextLongerThanACellHoldsRaises) {
  cell::Sheet s;
  s.setText(1, 1, QString(32767, QChar(u'长')));
  EXPECT_NO_THROW(cell::workbookStream(s));
  s.setText(1, 1, QString(70000, QLatin1Char('x')));  // would wrap the 16-bit length
  EXPECT_THROW(cell::workbookStream(s), TCellError);
}
