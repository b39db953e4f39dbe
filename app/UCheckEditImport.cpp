// TFmCheckEdit: the rule-file import. The work lives in app/import/RuleImport.
#include "app/UCheckEdit.h"

#include "app/Texts.h"
#include "check/RuleImport.h"

void TFmCheckEdit::btnReadXMLClick() {
  const std::optional<QString> file = platform::dialogs().openFileName(this, dlgOpenPlan);
  if (!file) return;
  try {
    // Into the working tables as they stand; the lists are emptied on failure.
    ruleimport::importRuleFile(*file, qry1, {FormulaSqlList, ElementSqlList}, &NewIdText);
  } catch (...) {
    // Whatever the cause (file, format or database), and no check follows.
    ShowErrorMessage(this, texts::kBadImportFormat, texts::kHint);
    return;
  }
  RunChecks();
  ShowInfoMessage(this, texts::kInsertDone, texts::kHint);
}

void TFmCheckEdit::ImportCheckPlan(const QString& fileName) {
  ruleimport::importCheckPlan(fileName, qry1, {FormulaSqlList, ElementSqlList}, &NewIdText);
}
