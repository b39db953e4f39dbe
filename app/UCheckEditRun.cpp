// TFmCheckEdit: the check command and the check run. The work lives in
// check/ (WorkingTables, FormulaCheck, ProblemStore, BuiltinRules).
#include "app/UCheckEdit.h"

#include <exception>

#include "app/Texts.h"
#include "cell/TCell.h"
#include "check/BuiltinRules.h"
#include "check/FormulaCheck.h"
#include "check/ProblemStore.h"
#include "check/WorkingTables.h"
#include "check/RuleImport.h"
#include "check/RunLock.h"
#include "app/uProgressBar.h"
#include "platform/guid.h"

void TFmCheckEdit::btnCheckClick() {
  if (!reconnectIfLost()) return;
  const check::RunLock lock(conMain);
  if (!lock.acquired()) {
    ShowInfoMessage(this, texts::kWorkingTablesInUse, texts::kHint);
    return;
  }
  // A failure of the preparation leaves here for the default handler; the
  // run is then not started.
  PrepareCheckTables();
  RunChecks();
}

void TFmCheckEdit::PrepareCheckTables() {
  ProgressWindow progress(this);
  check::prepareWorkingTables(qry1, progress, ProgramDir, [this](const QString& path) {
    // A failed file is reported and the next one still imported; a lost
    // connection ends the command instead.
    try {
      ruleimport::importRuleFile(path, qry1, {FormulaSqlList, ElementSqlList}, &NewIdText,
                                 &LastImportSql);
    } catch (...) {
      if (conMain.lost()) throw;
      // The last rule statement sent, when there was one: a file that failed
      // before any statement of any file was sent has nothing to show there.
      if (!LastImportSql.isEmpty()) platform::dialogs().plainMessage(LastImportSql);
      ShowErrorMessage(this, texts::kImportFailed, texts::kHint);
    }
  });
}

namespace {

void showRefusedRow(const QString& message) { platform::dialogs().plainMessage(message); }

// Sends the rows found before a failure, so that they stay stored as they
// would row by row; a second failure adds nothing to the first.
void flushAfterFailure(check::ProblemBatch& rows) {
  try {
    rows.flush();
  } catch (...) {
  }
}

}  // namespace

void TFmCheckEdit::RunChecks() {
  // The choice of organisations is read once: a choice confirmed while the run
  // pumps messages must not mix into this run.
  const QStringList orgCodes = SelectedOrgCodes;
  QString failure;
  {
    ProgressWindow progress(this);
    check::startCheckProgress(progress);
    Cell1->SetRowCount(3, 0);
    // ValuetoDate queues the run's rows; they all reach TMP_CONTENT before
    // the register is filled from it.
    check::ProblemBatch rows(qry2, &showRefusedRow);
    check::ProblemBatch* const outer = RunRows;
    RunRows = &rows;
    try {
      check::runFormulaChecks(
          qry1, orgCodes,
          [this](const QString& rptId, const QString& label, const QString& text,
                 const QString& category, const QString& reply) {
            ValuetoDate(rptId, label, text, category, reply);
          },
          progress, check::runBuiltinRules, [this, &rows, &progress] {
            rows.flush();
            Datetocell([&progress] { progress.pump(); });
          });
    } catch (...) {
      failure = failureMessage(std::current_exception());
      if (!conMain.lost()) flushAfterFailure(rows);
    }
    RunRows = outer;
  }
  // Shown once the progress window is gone, so that it does not cover the
  // message; a failed run must not look like one that found nothing. The
  // message names the step that failed, or says that the connection is gone.
  if (!failure.isNull()) platform::dialogs().showFailure(failure);
}

void TFmCheckEdit::ValuetoDate(const QString& rptId, const QString& rptLabel, const QString& text,
                               const QString& category, const QString& reply) {
  if (RunRows)
    RunRows->add(rptId, rptLabel, text, category, reply);
  else
    check::storeProblem(qry2, rptId, rptLabel, text, category, reply, &showRefusedRow);
}

QString TFmCheckEdit::NewIdText() { return platform::newGuidText(); }

QString TFmCheckEdit::SubText(const QString& text, int start, int count) {
  if (start < 1) start = 1;
  if (count <= 0 || start > text.size()) return QString();
  return text.mid(start - 1, count);
}
