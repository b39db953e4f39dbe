// TFmCheckEdit: the choice of organisations.
#include "app/UCheckEdit.h"

#include <utility>

#include "chooser/uChoosePartyOrg.h"

void TFmCheckEdit::btnCheckUnitClick() {
  if (!reconnectIfLost()) return;
  // The dialog belongs to this command and goes on every way out, also when
  // loading its tree fails; the earlier choice then stays.
  TfrmChoosePartyOrg chooser;
  chooser.SetConnection(conMain);
  if (!chooser.Execute(true, true)) return;
  SelectedOrgCodes = std::move(chooser.CodeList());
  SelectedOrgNames = std::move(chooser.NameList());
}
