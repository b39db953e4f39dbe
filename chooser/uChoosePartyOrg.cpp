#include "chooser/uChoosePartyOrg.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>
#include <QWindow>

#include <memory>
#include <stdexcept>

#include "chooser/UFastTree.h"
#include "platform/database.h"
#include "platform/dialogs.h"
#include "platform/fonts.h"

const QString TfrmChoosePartyOrg::kOrganisationSql =
    QStringLiteral("select D0107,D0127,D0101 from D01 where useful='0' ORDER BY D0107");

namespace {

const QString kCaption = QStringLiteral("选择党组织");
const QString kOkCaption = QStringLiteral("确  定");
const QString kCancelCaption = QStringLiteral("取  消");
const QString kCascadeCaption = QStringLiteral("级联选择");
const QString kCheckNodeAndChildren = QStringLiteral("选中本节点及下级节点");
const QString kCheckLevel = QStringLiteral("选中本级所有节点");

// State images: 0 a document (never shown, index 0 means none), 1 a ticked
// box, 2 an empty box.
enum StateImage { kDocumentImage = 0, kTickedImage = 1, kEmptyImage = 2 };

QIcon boxImage(bool ticked) {
  QPixmap pm(14, 14);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.fillRect(QRect(1, 1, 12, 12), Qt::white);
  p.setPen(QPen(Qt::black, 1));
  p.drawRect(QRect(1, 1, 11, 11));
  if (ticked) {
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(Qt::black, 2));
    const QPointF tick[] = {{3.5, 7.0}, {6.0, 9.5}, {10.5, 4.0}};
    p.drawPolyline(tick, 3);
  }
  p.end();
  return QIcon(pm);
}

QIcon documentImage() {
  QPixmap pm(14, 14);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.fillRect(QRect(2, 1, 10, 12), Qt::white);
  p.setPen(Qt::darkGray);
  p.drawRect(QRect(2, 1, 9, 11));
  for (int y = 4; y <= 10; y += 2) p.drawLine(4, y, 9, y);
  p.end();
  return QIcon(pm);
}

// "宋体", height -12.
QFont songFont() { return platform::songFont(12); }

}  // namespace

TfrmChoosePartyOrg::TfrmChoosePartyOrg(QWidget* parent) : QDialog(parent) {
  createComponents();
  FormCreate();
}

TfrmChoosePartyOrg::~TfrmChoosePartyOrg() { FormDestroy(); }

void TfrmChoosePartyOrg::createComponents() {
  setWindowTitle(kCaption);
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  platform::offerOnlyTheCloseBox(*this);
  setFixedSize(296, 432);
  QFont formFont(QStringLiteral("MS Sans Serif"));
  formFont.setPixelSize(11);
  setFont(formFont);

  btnOK = new QPushButton(kOkCaption, this);
  btnOK->setGeometry(120, 400, 75, 25);
  btnOK->setFont(songFont());
  btnCancel = new QPushButton(kCancelCaption, this);
  btnCancel->setGeometry(216, 400, 75, 25);
  btnCancel->setFont(songFont());

  Panel1 = new QFrame(this);
  Panel1->setGeometry(0, 0, 296, 393);
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  CheckBox1 = new QCheckBox(kCascadeCaption, Panel1);
  CheckBox1->setGeometry(8, 5, 81, 17);
  CheckBox1->setFont(songFont());
  CheckBox1->hide();
  Panel2 = new QFrame(Panel1);
  Panel2->setGeometry(1, 29, 294, 363);
  Panel2->setFrameStyle(QFrame::Panel | QFrame::Sunken);

  PopupMenu1 = new QMenu(this);
  N1 = PopupMenu1->addAction(kCheckNodeAndChildren);
  N2 = PopupMenu1->addAction(kCheckLevel);

  connect(btnOK, &QPushButton::clicked, this, &TfrmChoosePartyOrg::btnOKClick);
  connect(btnCancel, &QPushButton::clicked, this, &TfrmChoosePartyOrg::btnCancelClick);
  // toggled, not clicked: unticking the box from the menu commands must turn
  // the cascade off as a click would.
  connect(CheckBox1, &QCheckBox::toggled, this, &TfrmChoosePartyOrg::CheckBox1Click);
  connect(N1, &QAction::triggered, this, &TfrmChoosePartyOrg::N1Click);
  connect(N2, &QAction::triggered, this, &TfrmChoosePartyOrg::N2Click);

  // Neither button is the default one: Enter does nothing (Qt would otherwise
  // make the auto-default button after the focused OK, Cancel, the default and
  // drop the user's choice). Escape still closes the dialog as Cancel.
  btnOK->setAutoDefault(false);
  btnCancel->setAutoDefault(false);

  setTabOrder(btnOK, btnCancel);
  btnOK->setFocus();
}

// Centred on the screen by its frame, as the user sees it. A window manager
// frames the window only when it maps it, and without moving the client area,
// so the window is centred once more when it first appears, frame measured.
void TfrmChoosePartyOrg::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (e->spontaneous()) return;
  centreOnScreen();
  if (QWindow* handle = windowHandle(); handle && !centring_) {
    centring_ = true;
    handle->installEventFilter(this);
  }
}

bool TfrmChoosePartyOrg::eventFilter(QObject* watched, QEvent* e) {
  if (centring_ && watched == windowHandle() && e->type() == QEvent::Expose &&
      windowHandle()->isExposed()) {
    centring_ = false;
    windowHandle()->removeEventFilter(this);
    centreOnScreen();
  }
  return QDialog::eventFilter(watched, e);
}

void TfrmChoosePartyOrg::centreOnScreen() {
  const QScreen* s = screen();
  if (!s) return;
  // The margins come from the window itself: the widget's own frame size may
  // still be the one from before the window manager framed it, and move()
  // places the frame by that size. So the client area is placed, inside the
  // frame that is centred.
  const QWindow* handle = windowHandle();
  const QMargins margins = handle ? handle->frameMargins() : QMargins();
  const QSize frame = size().grownBy(margins);
  const QPoint corner = s->geometry().center() - QPoint(frame.width() / 2, frame.height() / 2);
  setGeometry(QRect(corner + QPoint(margins.left(), margins.top()), size()));
}

void TfrmChoosePartyOrg::FormCreate() {
  Tree = new TFastTreeView(Panel2);
  auto* layout = new QVBoxLayout(Panel2);
  layout->setContentsMargins(Panel2->frameWidth(), Panel2->frameWidth(), Panel2->frameWidth(),
                             Panel2->frameWidth());
  layout->addWidget(Tree);
  Tree->setIndentation(19);
  // Names are Chinese: the tree keeps its own CJK face rather than the form's.
  Tree->setFont(songFont());
  Tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Tree->SetStateImages({documentImage(), boxImage(true), boxImage(false)});
  setTabOrder(btnCancel, Tree);

  TCheckedOption& o = Tree->CheckedOption();
  o.SetCheckedImageIndex(kTickedImage);
  o.SetUnCheckedImageIndex(kEmptyImage);
  o.SetAutoCheckedChildren(false);
  o.SetAutoCheckedParent(false);
  o.SetShowCheckBox(true);

  connect(Tree, &QAbstractItemView::clicked, this, &TfrmChoosePartyOrg::trvPartyOrgClick);
  connect(Tree, &TFastTreeView::mouseDown, this,
          [this](Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint pos) {
            trvPartyOrgMouseDown(button, shift, pos.x(), pos.y());
          });
  connect(Tree, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    PopupMenu1->popup(Tree->viewport()->mapToGlobal(pos));
  });
}

bool TfrmChoosePartyOrg::Execute(bool MultiSelect, bool CollectCodes) {
  CollectCodes_ = CollectCodes;
  CodeList_ = QStringList();
  NameList_ = QStringList();
  Tree->setContextMenuPolicy(MultiSelect ? Qt::CustomContextMenu : Qt::NoContextMenu);
  CheckBox1->setVisible(MultiSelect);
  MultiSelect_ = MultiSelect;
  LoadOrganisations();
  return exec() == QDialog::Accepted;
}

void TfrmChoosePartyOrg::LoadOrganisations() {
  if (!Connection) throw std::logic_error("organisation chooser: no database connection");
  platform::db::Query query(*Connection);  // closed and freed on every way out
  // The nodes go, and with them whatever pointed into the old tree.
  LastClicked = nullptr;
  SelectedData_ = nullptr;
  LevelList_.clear();
  Tree->clear();
  query.setSql(kOrganisationSql);
  query.open();
  Tree->SetRootParentId(QString());
  while (!query.eof()) {
    auto item = std::make_unique<TNodeDataItem>();
    item->SetCode(query.fieldByName(QStringLiteral("D0107")));
    item->SetParentCode(query.fieldByName(QStringLiteral("D0127")));
    item->SetCaption(query.fieldByName(QStringLiteral("D0101")));
    query.next();
    Tree->QueueItem(std::move(item));
  }
  Tree->BuildTree();
  if (QTreeWidgetItem* first = Tree->topLevelItem(0)) {
    Tree->scrollToItem(first);
    first->setExpanded(true);
  }
}

void TfrmChoosePartyOrg::btnOKClick() {
  Found = false;
  QTreeWidgetItem* selected = Tree->Selected();
  if (!selected) return;
  bool success = false;
  if (MultiSelect_) {
    LevelList_.clear();
    QStringList codes;
    QStringList names;
    for (QTreeWidgetItemIterator it(Tree); *it; ++it) {
      QTreeWidgetItem* node = *it;
      if (!Tree->IsNodeChecked(node)) continue;
      TNodeDataItem* data = TFastTreeView::NodeDataOf(node);
      if (!data) continue;
      Found = true;
      if (CollectCodes_) {
        codes << data->Code;
        names << data->Caption;
      } else {
        int depth = 0;
        for (QTreeWidgetItem* p = node->parent(); p; p = p->parent()) ++depth;
        data->SetLevelText(QString::number(depth));
        LevelList_.append({data->Code, data});
      }
    }
    if (Found && CollectCodes_) {
      CodeList_ << codes;
      NameList_ << names;
    }
    success = Found;
  } else if (Tree->IsNodeChecked(selected)) {
    SelectedData_ = TFastTreeView::NodeDataOf(selected);
    success = true;
  }
  if (success) accept();
}

void TfrmChoosePartyOrg::btnCancelClick() { reject(); }

void TfrmChoosePartyOrg::CheckBox1Click() {
  Tree->CheckedOption().SetAutoCheckedChildren(CheckBox1->isChecked());
}

void TfrmChoosePartyOrg::trvPartyOrgMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers,
                                              int X, int Y) {
  const QPoint pos(X, Y);
  if (button == Qt::LeftButton) {
    // Only a press on a node's item, which the press has just selected.
    QTreeWidgetItem* node = Tree->HitTestItem(pos);
    if (!node || Tree->Selected() != node) return;
    Tree->SetNodeChecked(node, !Tree->IsNodeChecked(node));
    if (!MultiSelect_ && LastClicked && LastClicked != node) Tree->SetNodeChecked(LastClicked, false);
    if (CollectCodes_ && !Tree->IsNodeChecked(node)) {
      // No ancestor stays checked above an unchecked node; the ancestors'
      // other children keep their states.
      TCheckedOption& o = Tree->CheckedOption();
      const bool cascade = o.AutoCheckedChildren();
      o.SetAutoCheckedChildren(false);
      for (QTreeWidgetItem* p = node->parent(); p; p = p->parent()) Tree->SetNodeChecked(p, false);
      o.SetAutoCheckedChildren(cascade);
    }
    LastClicked = node;
  } else if (button == Qt::RightButton) {
    // The menu commands act on the node under the pointer.
    if (QTreeWidgetItem* node = Tree->NodeAt(pos)) Tree->setCurrentItem(node);
  }
}

void TfrmChoosePartyOrg::N1Click() {
  QTreeWidgetItem* selected = Tree->Selected();
  if (!selected) return;
  CheckBox1->setChecked(false);
  Tree->SetNodeChecked(selected, true);
  if (selected->childCount() > 0) CheckLevel(selected->child(0));
}

void TfrmChoosePartyOrg::N2Click() {
  CheckBox1->setChecked(false);
  CheckLevel(Tree->Selected());
}

void TfrmChoosePartyOrg::CheckLevel(QTreeWidgetItem* node) {
  if (!node) return;
  QTreeWidgetItem* parent = node->parent();
  auto sibling = [&](int i) { return parent ? parent->child(i) : Tree->topLevelItem(i); };
  const int count = parent ? parent->childCount() : Tree->topLevelItemCount();
  const int at = parent ? parent->indexOfChild(node) : Tree->indexOfTopLevelItem(node);
  Tree->SetNodeChecked(node, true);
  for (int i = at + 1; i < count; ++i) Tree->SetNodeChecked(sibling(i), true);
  for (int i = at - 1; i >= 0; --i) Tree->SetNodeChecked(sibling(i), true);
}
