// TFmCheckEdit: window life, start-up, the picture commands and the close command.
#include "app/UCheckEdit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QVBoxLayout>

#include <cstdio>
#include <exception>
#include <utility>

#include "app/Banner.h"
#include "app/ProblemRegister.h"
#include "app/TPicture.h"
#include "app/Texts.h"
#include "cell/TCell.h"
#include "app/uProgressBar.h"
#include "check/SqlText.h"
#include "platform/codepage.h"
#include "platform/fonts.h"

TFmCheckEdit::TFmCheckEdit(const QString& programDir, QWidget* parent)
    : QWidget(parent), ProgramDir(programDir) {
  createComponents();
  // A failure outside the connection attempt is shown as any other; the
  // connection then stays closed and the entry reports that as well.
  guarded([this] { FormCreate(); });
}

TFmCheckEdit::~TFmCheckEdit() = default;

void TFmCheckEdit::createComponents() {
  setWindowTitle(texts::kMainCaption);
  resize(1149, 649);
  // Centred on the screen: where the window comes up until it is maximised,
  // and where it stays on a desktop without a window manager.
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  setFont(platform::songFont(13));

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  Panel1 = new QFrame(this);
  Panel1->setFixedHeight(121);
  Panel1->setAutoFillBackground(true);
  QPalette red = Panel1->palette();
  red.setColor(QPalette::Window, Qt::red);
  Panel1->setPalette(red);
  layout->addWidget(Panel1);

  Image1 = new TPicture(Panel1);
  img1 = new TPicture(Panel1);
  img2 = new TPicture(Panel1);
  imgCheckUnit = new TPicture(Panel1);
  imgJH = new TPicture(Panel1);
  imgExport = new TPicture(Panel1);
  imgPrint = new TPicture(Panel1);
  Image4 = new TPicture(Panel1);
  banner::loadArtwork(*Panel1, {Image1, img1, img2, imgCheckUnit, imgJH, imgExport, imgPrint, Image4});

  auto hidden = [](QWidget* parent, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->hide();
    return b;
  };
  btnCheckUnit = hidden(Panel1, QStringLiteral("选择单位"));
  btnCheck = hidden(Panel1, QStringLiteral("校核"));
  btnExport = hidden(Panel1, QStringLiteral("导出Excel"));
  btnPrint = hidden(Panel1, QStringLiteral("打印"));

  Panel2 = new QFrame(this);
  layout->addWidget(Panel2, 1);
  auto* sheetLayout = new QVBoxLayout(Panel2);
  sheetLayout->setContentsMargins(0, 0, 0, 0);
  Cell1 = new TCell(Panel2);
  sheetLayout->addWidget(Cell1);

  Panel3 = new QFrame(this);
  Panel3->setFixedHeight(39);
  Panel3->hide();
  layout->addWidget(Panel3);
  btnClose = hidden(Panel3, QStringLiteral("关闭"));
  btnReadXML = hidden(Panel3, QStringLiteral("读取xml"));

  dlgSavePlan.filter = texts::kSaveFilter;
  // "xls", not the designer's "sav": a bare name must become a workbook.
  dlgSavePlan.defaultExtension = QStringLiteral("xls");
  dlgSavePlan.confirmOverwrite = true;
  dlgOpenPlan.filter = texts::kOpenFilter;

  // Each picture runs the click action of its hidden button; each button runs
  // its command under the guard that shows a failure.
  using Handler = void (TFmCheckEdit::*)();
  const struct {
    TPicture* picture;
    Handler click;
  } pictureCommands[] = {{imgCheckUnit, &TFmCheckEdit::imgCheckUnitClick},
                         {imgJH, &TFmCheckEdit::imgJHClick},
                         {imgExport, &TFmCheckEdit::imgExportClick},
                         {imgPrint, &TFmCheckEdit::imgPrintClick},
                         {Image4, &TFmCheckEdit::btnCloseClick}};
  for (const auto& c : pictureCommands) connect(c.picture, &TPicture::clicked, this, c.click);

  const struct {
    QPushButton* button;
    Handler click;
  } buttonCommands[] = {{btnCheckUnit, &TFmCheckEdit::btnCheckUnitClick},
                        {btnCheck, &TFmCheckEdit::btnCheckClick},
                        {btnExport, &TFmCheckEdit::btnExportClick},
                        {btnPrint, &TFmCheckEdit::btnPrintClick},
                        {btnClose, &TFmCheckEdit::btnCloseClick},
                        {btnReadXML, &TFmCheckEdit::btnReadXMLClick}};
  for (const auto& c : buttonCommands)
    connect(c.button, &QPushButton::clicked, this,
            [this, click = c.click] { guarded([this, click] { (this->*click)(); }); });
}

TPicture* TFmCheckEdit::picture(const char* name) const {
  const struct {
    const char* name;
    TPicture* picture;
  } pictures[] = {{"Image1", Image1},       {"img1", img1},   {"img2", img2},
                  {"imgCheckUnit", imgCheckUnit}, {"imgJH", imgJH}, {"imgExport", imgExport},
                  {"imgPrint", imgPrint},   {"Image4", Image4}};
  for (const auto& p : pictures)
    if (qstrcmp(p.name, name) == 0) return p.picture;
  return nullptr;
}

void TFmCheckEdit::guarded(const std::function<void()>& command) {
  try {
    command();
  } catch (...) {
    platform::dialogs().showFailure(failureMessage(std::current_exception()));
  }
}

namespace {

// What a failure says: its text, and for a database failure its SQLSTATE and
// whether it ended the connection.
struct Failure {
  QString text;
  QString sqlState;
  bool connectionLost = false;
};

Failure describe(std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const platform::db::DbError& e) {
    return {e.message(), e.sqlState(), e.connectionLost()};
  } catch (const std::exception& e) {
    return {QString::fromUtf8(e.what()), QString(), false};
  } catch (...) {
  }
  return {QStringLiteral("Unknown failure"), QString(), false};
}

}  // namespace

QString TFmCheckEdit::failureMessage(std::exception_ptr failure) {
  const Failure f = describe(failure);
  return f.connectionLost ? texts::kConnectionLost + QLatin1Char('\n') + f.text : f.text;
}

QString TFmCheckEdit::failureReason(std::exception_ptr failure) {
  const Failure f = describe(failure);
  return f.sqlState.isEmpty() ? f.text : f.text + QStringLiteral("\nSQLSTATE ") + f.sqlState;
}

void TFmCheckEdit::reportOnStandardError(const QString& message, const QString& reason) {
  const QString report = reason.isEmpty() ? message : message + QLatin1Char('\n') + reason;
  std::fprintf(stderr, "%s\n", report.toUtf8().constData());
  std::fflush(stderr);
}

bool TFmCheckEdit::reconnectIfLost() {
  conMain.checkAlive();
  if (!conMain.lost()) return true;
  try {
    conMain.reopen();
    return true;
  } catch (const std::exception& e) {
    platform::dialogs().showFailure(texts::kReconnectFailed + QLatin1Char('\n') +
                                    QString::fromUtf8(e.what()));
    return false;
  }
}

void TFmCheckEdit::FormCreate() {
  DatabaseSettings s;
  ReadDatabaseSettings(s.Provider, s.Driver, s.ServerName, s.Database, s.LogId, s.Password,
                       s.Port, s.UserName, s.VersionType);
  ProgressWindow progress(this);
  progress.setMessage(texts::kStarting);
  progress.setMinimum(0);
  progress.setMaximum(150);
  progress.pump();
  progress.step(5);
  progress.pump();
  progress.setProgress(145);
  progress.pump();
  const QString connectionString = BuildConnectionString(s);
  try {
    // Literals carry backslashes verbatim only with standard strings on; a
    // server that refuses the setting fails the start-up like one that is down.
    conMain.open(connectionString, {check::kStandardStringsSql});
    DbConnected = true;
    progress.setProgress(148);
    progress.pump();
    QThread::msleep(100);
  } catch (...) {
    DbConnected = false;  // the entry reports it, with the reason kept here
    StartupFailure = failureReason(std::current_exception());
  }
}

void TFmCheckEdit::ReadDatabaseSettings(QString& Provider, QString& Driver, QString& ServerName,
                                        QString& Database, QString& LogId, QString& Password,
                                        QString& Port, QString& UserName, QString& VersionType) {
  ProgramDir = settings::programFolder(ProgramDir);
  DatabaseSettings s = settings::readDatabaseSettings(ProgramDir);
  Provider = std::move(s.Provider);
  Driver = std::move(s.Driver);
  ServerName = std::move(s.ServerName);
  Database = std::move(s.Database);
  LogId = std::move(s.LogId);
  Password = std::move(s.Password);
  Port = std::move(s.Port);
  UserName = std::move(s.UserName);
  VersionType = std::move(s.VersionType);
}

std::string TFmCheckEdit::UnscrambleSetting(std::string bytes) {
  return settings::unscramble(std::move(bytes));
}

void TFmCheckEdit::ShowInfoMessage(QWidget* owner, const QString& text, const QString& caption) {
  platform::dialogs().informationBox(owner, text, caption);
}

void TFmCheckEdit::ShowErrorMessage(QWidget* owner, const QString& text, const QString& caption) {
  platform::dialogs().informationBox(owner, text, caption);
}

void TFmCheckEdit::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  if (!shown_) {
    shown_ = true;
    guarded([this] { FormShow(); });
  }
}

void TFmCheckEdit::closeEvent(QCloseEvent* e) {
  FormClose();
  QWidget::closeEvent(e);
}

void TFmCheckEdit::FormShow() {
  FormulaSqlList.clear();
  ElementSqlList.clear();
  problem_register::layOut(*Cell1);
  SelectedOrgCodes.clear();
  SelectedOrgNames.clear();
}

void TFmCheckEdit::FormClose() {
  FormulaSqlList.clear();
  ElementSqlList.clear();
}

void TFmCheckEdit::imgCheckUnitClick() { btnCheckUnit->click(); }

void TFmCheckEdit::imgJHClick() {
  // Only the check picture is held off while its command runs: the run pumps
  // messages, so a second click would otherwise start a nested check.
  imgJH->setEnabled(false);
  btnCheck->click();
  imgJH->setEnabled(true);
}

void TFmCheckEdit::imgExportClick() { btnExport->click(); }
void TFmCheckEdit::imgPrintClick() { btnPrint->click(); }
void TFmCheckEdit::btnCloseClick() { close(); }

int ProgramMain(const QString& programDir) {
  QApplication::setApplicationName(texts::kApplicationTitle);
  // Settings, rule files and the register are GBK: without the converter
  // every such text would silently read as empty.
  if (!platform::codepage::available()) {
    platform::dialogs().startupMessage(texts::kNoCodePage, texts::kHint);
    return 1;
  }
  TFmCheckEdit main(programDir);
  if (!main.dbConnected()) {
    // The box keeps its one sentence; why it came is in its details and on
    // standard error, for whoever sets up the database.
    TFmCheckEdit::reportOnStandardError(texts::kDatabaseNotStarted, main.startupFailure());
    platform::dialogs().startupMessage(texts::kDatabaseNotStarted, texts::kHint,
                                       main.startupFailure());
    return 0;
  }
  main.showMaximized();
  return QApplication::exec();
}
