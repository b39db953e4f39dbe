// TFmCheckEdit: the rule-file import. The work lives in check/RuleImport.
#include "app/UCheckEdit.h"

#include "app/Texts.h"
#include "check/RuleImport.h"
#include "check/RunLock.h"

void TFmCheckEdit::btnReadXMLClick() {
  const std::optional<QString> file = platform::dialogs().openFileName(this, dlgOpenPlan);
  if (!file) return;
  // After the dialog: a session that the server ended while the user chose
  // the file is reopened here, as before a check.
  if (!reconnectIfLost()) return;
  {
    const check::RunLock lock(conMain);
    if (!lock.acquired()) {
      ShowInfoMessage(this, texts::kWorkingTablesInUse, texts::kHint);
      return;
    }
    try {
      // Into the working tables as they stand; the lists are emptied on failure.
      ruleimport::importRuleFile(*file, qry1, {FormulaSqlList, ElementSqlList}, &NewIdText);
    } catch (...) {
      // A lost connection is no fault of the file: it ends the command with its
      // own message. Any other cause (file, format or database) gives this one,
      // and no check follows.
      if (conMain.lost()) throw;
      ShowErrorMessage(this, texts::kBadImportFormat, texts::kHint);
      return;
    }
    RunChecks();
  }
  // A run ended by a lost connection has said so; nothing was completed.
  if (conMain.lost()) return;
  ShowInfoMessage(this, texts::kInsertDone, texts::kHint);
}

void TFmCheckEdit::ImportCheckPlan(const QString& fileName) {
  ruleimport::importCheckPlan(fileName, qry1, {FormulaSqlList, ElementSqlList}, &NewIdText);
}
