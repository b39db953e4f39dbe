#pragma once
// TfrmChoosePartyOrg: the modal dialog in which the user picks organisations
// (the D01 rows in use) in a check-box tree of the organisation hierarchy.
//
// One dialog serves one choice: create it, SetConnection, Execute, read the
// results, let it go. Execute(true, true) fills CodeList and NameList with
// the checked organisations in tree order; the other modes give LevelList
// (multi-select without collecting codes) or SelectedData (single select),
// whose data items belong to the tree and go with the dialog.
#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

class QCheckBox;
class QFrame;
class QMenu;
class QAction;
class QPushButton;
class QTreeWidgetItem;
class TFastTreeView;
struct TNodeDataItem;

namespace platform::db {
class Connection;
}

class TfrmChoosePartyOrg : public QDialog {
  Q_OBJECT
 public:
  // The organisations in use, in code order.
  static const QString kOrganisationSql;

  explicit TfrmChoosePartyOrg(QWidget* parent = nullptr);
  ~TfrmChoosePartyOrg() override;

  // The connection LoadOrganisations queries; not owned. Needed before Execute.
  void SetConnection(platform::db::Connection& connection) { Connection = &connection; }
  // Loads the tree (a failure leaves as an exception before the dialog shows),
  // runs the dialog modally, and is true when a successful OK closed it.
  bool Execute(bool MultiSelect, bool CollectCodes);

  // Results. Execute starts both lists empty; a successful OK in the
  // code-collecting multi-select mode fills them, index for index. The caller
  // may move them out.
  QStringList& CodeList() { return CodeList_; }
  QStringList& NameList() { return NameList_; }
  // (Code, data item) of every checked node; multi-select without codes.
  const QList<std::pair<QString, TNodeDataItem*>>& LevelList() const { return LevelList_; }
  // The checked selected node's data item; single select.
  TNodeDataItem* SelectedData() const { return SelectedData_; }

  TFastTreeView& tree() const { return *Tree; }
  QCheckBox& cascadeBox() const { return *CheckBox1; }
  QPushButton& okButton() const { return *btnOK; }
  QPushButton& cancelButton() const { return *btnCancel; }
  QMenu& popupMenu() const { return *PopupMenu1; }

  // Handlers.
  void FormCreate();
  void FormDestroy() {}
  void btnOKClick();
  void btnCancelClick();
  void CheckBox1Click();
  void trvPartyOrgClick() {}
  void trvPartyOrgMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int X, int Y);
  void N1Click();
  void N2Click();

 protected:
  void showEvent(QShowEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void createComponents();
  void centreOnScreen();
  void LoadOrganisations();
  void CheckLevel(QTreeWidgetItem* node);

  QPushButton* btnOK = nullptr;
  QPushButton* btnCancel = nullptr;
  QFrame* Panel1 = nullptr;
  QCheckBox* CheckBox1 = nullptr;
  QFrame* Panel2 = nullptr;
  QMenu* PopupMenu1 = nullptr;
  QAction* N1 = nullptr;
  QAction* N2 = nullptr;

  TFastTreeView* Tree = nullptr;  // owned by Panel2
  TNodeDataItem* SelectedData_ = nullptr;
  QList<std::pair<QString, TNodeDataItem*>> LevelList_;
  bool MultiSelect_ = false;
  QTreeWidgetItem* LastClicked = nullptr;
  bool CollectCodes_ = false;
  bool Found = false;
  platform::db::Connection* Connection = nullptr;
  QStringList CodeList_;
  QStringList NameList_;
  bool centring_ = false;  // shown, not yet on the screen with its frame
};
