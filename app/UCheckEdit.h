#pragma once
// TFmCheckEdit: the program's one main window. It owns the database
// connection, the two query objects, the spreadsheet control with the problem
// register and the statement and organisation lists, and carries the commands.
// The heavy work lives in units that know nothing of this window: check/
// (working tables, formula checks, problem texts, built-in rules, problem
// rows, rule files), settings/ (statistics.ini, the connection string),
// app/ProblemRegister (the register's layout and rows); the methods here
// gather, call and report.
//
// Where the methods live:
//   UCheckEdit.cpp          window life: construction, FormCreate, FormShow,
//                           FormClose, ReadDatabaseSettings, UnscrambleSetting,
//                           the picture and close handlers, the information
//                           box, the command guard, reopening a lost connection
//   UCheckEditRegister.cpp  Datetocell, btnExportClick, btnPrintClick
//   UCheckEditRun.cpp       btnCheckClick, PrepareCheckTables, RunChecks,
//                           ValuetoDate, NewIdText, SubText
//   UCheckEditTexts.cpp     the six problem-text functions
//   UCheckEditImport.cpp    btnReadXMLClick, ImportCheckPlan
//   UCheckEditChoose.cpp    btnCheckUnitClick
#include <QString>
#include <QStringList>
#include <QWidget>

#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "settings/Settings.h"
#include "platform/database.h"
#include "platform/dialogs.h"

class QFrame;
class QPushButton;
namespace check {
class ProblemBatch;
}
class TCell;
class TPicture;

class TFmCheckEdit : public QWidget {
  Q_OBJECT
 public:
  // programDir: the folder that holds statistics.ini and the rule folder; empty
  // means the folder of the executable. Construction runs FormCreate.
  explicit TFmCheckEdit(const QString& programDir = QString(), QWidget* parent = nullptr);
  ~TFmCheckEdit() override;

  // ---- start-up and settings
  void FormCreate();
  void ReadDatabaseSettings(QString& Provider, QString& Driver, QString& ServerName,
                            QString& Database, QString& LogId, QString& Password, QString& Port,
                            QString& UserName, QString& VersionType);
  // On the setting's GBK bytes, as stored in statistics.ini.
  static std::string UnscrambleSetting(std::string bytes);
  static void ShowInfoMessage(QWidget* owner, const QString& text, const QString& caption);
  static void ShowErrorMessage(QWidget* owner, const QString& text, const QString& caption);
  // Writes a message the user is shown, then the reason behind it (when
  // there is one) on lines of its own, to standard error: for whoever sets up
  // the database or the printer.
  static void reportOnStandardError(const QString& message, const QString& reason);

  // ---- window life and commands
  void FormShow();
  void FormClose();
  void imgCheckUnitClick();
  void imgJHClick();
  void imgExportClick();
  void imgPrintClick();
  void btnCloseClick();
  void btnCheckUnitClick();
  void btnCheckClick();
  void btnExportClick();
  void btnPrintClick();
  void btnReadXMLClick();

  // ---- register
  // Fills the register from TMP_CONTENT; pump, when given, runs between rows.
  void Datetocell(const std::function<void()>& pump = {});

  // ---- check run
  void PrepareCheckTables();
  void RunChecks();
  void ValuetoDate(const QString& rptId, const QString& rptLabel, const QString& text,
                   const QString& category, const QString& reply);
  static QString NewIdText();
  static QString SubText(const QString& text, int start, int count);

  // ---- problem texts
  static QString CheckTypeCaption(const QString& checkType);
  static QString BuildProblemText(const QString& checkType, const QString& describe,
                                  const QString& orgName, const QString& value);
  static QString RenderExpression(const QString& checkType, const QString& expression,
                                  const QString& orgName);
  static QString RenderExpressionSide(const QString& checkType, const QString& side);
  static QString RenderCellRef(const QString& checkType, const QString& ref);
  static QString TableLabel(const QString& templateId);

  // ---- rule-file import
  void ImportCheckPlan(const QString& fileName);

  // ---- state, for the commands' collaborators and for tests
  const QString& programDir() const { return ProgramDir; }
  bool dbConnected() const { return DbConnected; }
  // Why the start-up connection failed: the driver's text and its SQLSTATE;
  // empty after a successful start-up.
  const QString& startupFailure() const { return StartupFailure; }
  platform::db::Connection& connection() { return conMain; }
  TCell& cell() { return *Cell1; }
  TPicture* picture(const char* name) const;  // "imgCheckUnit", "imgJH", ... "Image4"
  QStringList& selectedOrgCodes() { return SelectedOrgCodes; }
  QStringList& selectedOrgNames() { return SelectedOrgNames; }
  QStringList& formulaSqlList() { return FormulaSqlList; }
  QStringList& elementSqlList() { return ElementSqlList; }
  const QString& lastImportSql() const { return LastImportSql; }

 protected:
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void createComponents();
  // Runs one command; a failure that leaves it is shown as the framework's
  // default handler would show it, and never reaches the event loop.
  void guarded(const std::function<void()>& command);
  // The text shown for a failure: a lost connection says so before the
  // driver's text; any other failure shows its own message.
  static QString failureMessage(std::exception_ptr failure);
  // A failure as standard error gets it: its text, then a database's
  // SQLSTATE on a line of its own (a failed connect at start-up, a print).
  static QString failureReason(std::exception_ptr failure);
  // Reopens a lost connection (lost during an earlier command, or ended by
  // the server since), once, before a command that needs the database starts.
  // False, after one message, when the database cannot be reached; the next
  // such command tries again.
  bool reconnectIfLost();

  QString ProgramDir;
  bool DbConnected = false;
  QString StartupFailure;
  bool shown_ = false;

  platform::db::Connection conMain;
  platform::db::Query qry1{conMain};
  platform::db::Query qry2{conMain};
  // The rows of the check run under way, which ValuetoDate queues; none
  // outside a run, where ValuetoDate stores each row at once.
  check::ProblemBatch* RunRows = nullptr;

  // Components (owned by Qt's parent chain).
  QFrame* Panel1 = nullptr;
  TPicture* Image1 = nullptr;
  TPicture* img1 = nullptr;
  TPicture* img2 = nullptr;
  TPicture* imgCheckUnit = nullptr;
  TPicture* imgJH = nullptr;
  TPicture* imgExport = nullptr;
  TPicture* imgPrint = nullptr;
  TPicture* Image4 = nullptr;
  QPushButton* btnCheckUnit = nullptr;
  QPushButton* btnCheck = nullptr;
  QPushButton* btnExport = nullptr;
  QPushButton* btnPrint = nullptr;
  QFrame* Panel2 = nullptr;
  TCell* Cell1 = nullptr;
  QFrame* Panel3 = nullptr;
  QPushButton* btnClose = nullptr;
  QPushButton* btnReadXML = nullptr;
  platform::FileDialogOptions dlgSavePlan;
  platform::FileDialogOptions dlgOpenPlan;

  QStringList FormulaSqlList;
  QStringList ElementSqlList;
  QStringList SelectedOrgCodes;
  QStringList SelectedOrgNames;
  QString LastImportSql;
};

// Program entry: title, main window, start-up failure report, message loop.
// programDir as for TFmCheckEdit. Returns the exit code.
int ProgramMain(const QString& programDir = QString());
