// TFmCheckEdit: the problem register, export and print.
#include "app/UCheckEdit.h"

#include <QFileInfo>

#include <exception>

#include "app/ProblemRegister.h"
#include "app/Texts.h"
#include "cell/TCell.h"

void TFmCheckEdit::Datetocell(const std::function<void()>& pump) {
  qry2.close();
  qry2.setSql(check::kSelectProblems);
  qry2.open(check::kRegisterFields);
  problem_register::fill(*Cell1, check::rowsOf(qry2), pump);
  // qry2 stays open.
}

void TFmCheckEdit::btnExportClick() {
  const std::optional<QString> fileName = platform::dialogs().saveFileName(this, dlgSavePlan);
  if (!fileName) return;
  // The next export of this session opens where this one went, as the
  // system's save dialog does.
  dlgSavePlan.folder = QFileInfo(*fileName).absolutePath();
  // A failure raises and goes to the command guard, which shows its message;
  // only a workbook that was written gets the completion message.
  Cell1->ExportExcel(*fileName);
  ShowInfoMessage(this, texts::kExportDone, texts::kHint);
}

void TFmCheckEdit::btnPrintClick() {
  try {
    Cell1->PrintSheet(0, 0, false);
  } catch (...) {
    // The box says only that printing failed; the reason (no printer, or
    // what the printer or CUPS said) goes to standard error.
    reportOnStandardError(texts::kPrintFailed, failureReason(std::current_exception()));
    ShowInfoMessage(this, texts::kPrintFailed, texts::kHint);
  }
}
