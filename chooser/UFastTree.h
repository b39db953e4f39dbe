#pragma once
// TFastTreeView: a tree control that builds a whole hierarchy in one go from a
// flat list of coded items, keeps a check box on every node and an index from
// item code to node.
//
// The check state of a node is its state image index (an index into the
// tree's state-image list, 0 = no state image) compared against the indexes
// the options name; there is no separate flag to keep in step.
//
// Typical life: set CheckedOption and RootParentId, QueueItem every item in
// the order it should appear, BuildTree once, then the check operations.
#include <QIcon>
#include <QList>
#include <QString>
#include <QTreeWidget>

#include <functional>
#include <list>
#include <memory>
#include <utility>

class TFastTreeView;

// The record hung on each node. Codes compare exactly (case-sensitive).
struct TNodeDataItem {
  QString Caption;
  QString ParentCode;  // RootParentId of the tree for a top-level item
  QString Code;
  QString LevelText;   // the node's depth as text; filled by callers, never by the tree
  bool InitiallyChecked = false;

  void SetCaption(const QString& v) { Caption = v; }
  void SetParentCode(const QString& v) { ParentCode = v; }
  void SetCode(const QString& v) { Code = v; }
  void SetLevelText(const QString& v) { LevelText = v; }
};

// The check-box settings of one tree. Setters only store: nodes that already
// exist keep their state images.
class TCheckedOption {
 public:
  explicit TCheckedOption(TFastTreeView* owner = nullptr) : OwnerTree(owner) {}

  int CheckedImageIndex() const { return CheckedImageIndex_; }
  void SetCheckedImageIndex(int v) { CheckedImageIndex_ = v; }
  int UnCheckedImageIndex() const { return UnCheckedImageIndex_; }
  void SetUnCheckedImageIndex(int v) { UnCheckedImageIndex_ = v; }
  bool AutoCheckedChildren() const { return AutoCheckedChildren_; }
  void SetAutoCheckedChildren(bool v) { AutoCheckedChildren_ = v; }
  bool AutoCheckedParent() const { return AutoCheckedParent_; }
  void SetAutoCheckedParent(bool v) { AutoCheckedParent_ = v; }
  bool ShowCheckBox() const { return ShowCheckBox_; }
  void SetShowCheckBox(bool v) { ShowCheckBox_ = v; }

  TFastTreeView* ownerTree() const { return OwnerTree; }

  // Copies the two indexes and the two cascade switches (not ShowCheckBox,
  // the owner or OnChange) into dest, then tells dest's listener.
  void AssignTo(TCheckedOption& dest) const;
  // Calls OnChange with this object; nothing when it is unset.
  void Changed();

  std::function<void(TCheckedOption*)> OnChange;

 private:
  bool AutoCheckedParent_ = false;
  bool AutoCheckedChildren_ = false;
  int CheckedImageIndex_ = 0;
  int UnCheckedImageIndex_ = 0;
  TFastTreeView* OwnerTree;
  bool ShowCheckBox_ = false;
};

// The queue in which items wait to be attached: a list with a cursor that
// starts before the first item. Removing the current item steps the cursor
// back, so the next MoveNext lands on the item that followed it and a
// traversal that removes as it goes skips nothing. The queue owns its items
// until they are taken out.
//   Rewind(); while (MoveNext()) { work on Current(); maybe RemoveCurrent/TakeCurrent }
class TLinkList {
 public:
  TLinkList() : Cursor(Links.end()) {}
  TLinkList(const TLinkList&) = delete;
  TLinkList& operator=(const TLinkList&) = delete;

  // Appends the item; the cursor moves onto it.
  void Append(std::unique_ptr<TNodeDataItem> item);
  void Rewind() { Cursor = Links.end(); }
  // False at the last item (cursor unchanged), else steps on.
  bool MoveNext();
  // The item under the cursor; nullptr when rewound.
  TNodeDataItem* Current() const;
  // Drops the current item (freed); nothing when rewound.
  void RemoveCurrent() { TakeCurrent(); }
  // Takes the current item out of the queue; nullptr when rewound.
  std::unique_ptr<TNodeDataItem> TakeCurrent();
  bool IsEmpty() const { return Links.empty(); }
  int Count() const { return static_cast<int>(Links.size()); }

 private:
  using Links_t = std::list<std::unique_ptr<TNodeDataItem>>;
  Links_t Links;
  Links_t::iterator Cursor;  // end() stands for the position before the first item
};

class TFastTreeView : public QTreeWidget {
  Q_OBJECT
 public:
  explicit TFastTreeView(QWidget* owner = nullptr);
  ~TFastTreeView() override;

  const QString& RootParentId() const { return RootParentId_; }
  void SetRootParentId(const QString& v) { RootParentId_ = v; }
  TCheckedOption& CheckedOption() { return *CheckedOption_; }
  // Takes the given options object in place of the current one.
  void SetCheckedOption(std::unique_ptr<TCheckedOption> option);

  // The state-image list (index 0 means "no state image" and is never drawn)
  // and the ordinary image list (image 0 unselected, 1 selected).
  void SetStateImages(QList<QIcon> images);
  void SetImages(QList<QIcon> images);
  bool HasImages() const { return !Images.isEmpty(); }

  // Queues an item for the next BuildTree; the tree owns it from now on.
  void QueueItem(std::unique_ptr<TNodeDataItem> item);
  // Attaches every queued item whose parent can be found; the others stay
  // queued for a later build.
  void BuildTree();
  // One pass over the queue below parentNode (nullptr: the top level), whose
  // direct children carry parentData's Code as ParentCode, then recursion.
  // The passes look the queued items up by parent code, so a build costs in
  // proportion to the items and nodes however many items stay queued.
  void AttachPending(QTreeWidgetItem* parentNode, const TNodeDataItem& parentData);
  int PendingCount() const { return PendingItems.Count(); }

  bool IsNodeChecked(const QTreeWidgetItem* node) const;
  void SetNodeChecked(QTreeWidgetItem* node, bool checked);
  void CheckSubtree(QTreeWidgetItem* node, bool checked);
  void SyncAncestors(QTreeWidgetItem* node, bool checked);
  // The node's data item; nullptr when it has none.
  static TNodeDataItem* NodeDataOf(const QTreeWidgetItem* node);

  // State image index of a node; 0 when it has none.
  static int StateIndex(const QTreeWidgetItem* node);
  void SetStateIndex(QTreeWidgetItem* node, int index);
  // Ordinary image index and selected-image index; -1 when unset.
  static int ImageIndex(const QTreeWidgetItem* node);
  static int SelectedIndex(const QTreeWidgetItem* node);

  // The selected node; nullptr when none.
  QTreeWidgetItem* Selected() const;
  // The node whose item (state image, icon or label) lies at pos in viewport
  // coordinates; nullptr on the indent, the expand button, right of the label
  // or on empty space.
  QTreeWidgetItem* HitTestItem(const QPoint& pos) const;
  // Any node at the height of pos, wherever on its row; nullptr below the last.
  QTreeWidgetItem* NodeAt(const QPoint& pos) const { return itemAt(pos); }

  // (code, node), one entry per attached node, in the order of attachment.
  using CodeIndexEntry = std::pair<QString, QTreeWidgetItem*>;
  const QList<CodeIndexEntry>& CodeIndex() const { return CodeIndex_; }
  // Drops the index entry of a node that is going away.
  void DeleteIndexEntry(QTreeWidgetItem* node);

 signals:
  // A mouse press, after the control has moved the selection (pos in viewport
  // coordinates); the second press of a double click too.
  void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);

 protected:
  // As in the framework's tree view, the selection only ever moves to
  // another node: a press beside the nodes, or a Ctrl+press (or Ctrl+Space)
  // on the selected one, leaves it where it is.
  QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                       const QEvent* event = nullptr) const override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  struct PendingIndex;
  void AttachPass(QTreeWidgetItem* parentNode, const TNodeDataItem& parentData, PendingIndex& pending);
  QTreeWidgetItem* AttachNode(QTreeWidgetItem* target, std::unique_ptr<TNodeDataItem> data);

  void selectionMoved(QTreeWidgetItem* current, QTreeWidgetItem* previous);
  void refreshIcon(QTreeWidgetItem* node);

  QString RootParentId_;
  std::unique_ptr<TCheckedOption> CheckedOption_;
  QList<CodeIndexEntry> CodeIndex_;
  TLinkList PendingItems;
  QList<QIcon> StateImages;
  QList<QIcon> Images;
  bool tearingDown_ = false;
  bool pressed_ = false;  // mousePressEvent ran (the double click may pass its press on)
};
