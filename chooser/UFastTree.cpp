#include "chooser/UFastTree.h"

#include <QFontMetrics>
#include <QHash>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QStyle>

#include <vector>

namespace {

constexpr int kStateIndexRole = Qt::UserRole + 1;
constexpr int kImageIndexRole = Qt::UserRole + 2;
constexpr int kSelectedIndexRole = Qt::UserRole + 3;
constexpr int kFastNodeType = QTreeWidgetItem::UserType + 1;

// A node that owns its data item and takes its index entry with it when it
// goes. The tree pointer is guarded: a node taken out of the tree may outlive it.
class FastTreeNode final : public QTreeWidgetItem {
 public:
  FastTreeNode(QTreeWidgetItem* parent, TFastTreeView* tree, std::unique_ptr<TNodeDataItem> data)
      : QTreeWidgetItem(parent, kFastNodeType), tree_(tree), data_(std::move(data)) {}
  FastTreeNode(TFastTreeView* tree, std::unique_ptr<TNodeDataItem> data)
      : QTreeWidgetItem(tree, kFastNodeType), tree_(tree), data_(std::move(data)) {}
  ~FastTreeNode() override {
    if (tree_) tree_->DeleteIndexEntry(this);
  }
  TNodeDataItem* item() const { return data_.get(); }

 private:
  QPointer<TFastTreeView> tree_;
  std::unique_ptr<TNodeDataItem> data_;
};

}  // namespace

// ---- TCheckedOption

void TCheckedOption::AssignTo(TCheckedOption& dest) const {
  dest.AutoCheckedParent_ = AutoCheckedParent_;
  dest.AutoCheckedChildren_ = AutoCheckedChildren_;
  dest.CheckedImageIndex_ = CheckedImageIndex_;
  dest.UnCheckedImageIndex_ = UnCheckedImageIndex_;
  dest.Changed();
}

void TCheckedOption::Changed() {
  if (OnChange) OnChange(this);
}

// ---- TLinkList

void TLinkList::Append(std::unique_ptr<TNodeDataItem> item) {
  Links.push_back(std::move(item));
  Cursor = std::prev(Links.end());
}

bool TLinkList::MoveNext() {
  if (Links.empty()) return false;
  if (Cursor == Links.end()) {
    Cursor = Links.begin();
    return true;
  }
  if (std::next(Cursor) == Links.end()) return false;  // at the tail
  ++Cursor;
  return true;
}

TNodeDataItem* TLinkList::Current() const {
  return Cursor == Links.end() ? nullptr : Cursor->get();
}

std::unique_ptr<TNodeDataItem> TLinkList::TakeCurrent() {
  if (Cursor == Links.end()) return nullptr;
  std::unique_ptr<TNodeDataItem> item = std::move(*Cursor);
  const auto previous = Cursor == Links.begin() ? Links.end() : std::prev(Cursor);
  Links.erase(Cursor);
  Cursor = previous;
  return item;
}

// ---- TFastTreeView

TFastTreeView::TFastTreeView(QWidget* owner)
    : QTreeWidget(owner), CheckedOption_(std::make_unique<TCheckedOption>(this)) {
  setHeaderHidden(true);
  setColumnCount(1);
  setSelectionMode(QAbstractItemView::SingleSelection);
  connect(this, &QTreeWidget::currentItemChanged, this, &TFastTreeView::selectionMoved);
}

TFastTreeView::~TFastTreeView() {
  // Nodes go while the index still exists; their entries are no longer kept.
  tearingDown_ = true;
  clear();
}

void TFastTreeView::SetCheckedOption(std::unique_ptr<TCheckedOption> option) {
  if (option) CheckedOption_ = std::move(option);
}

void TFastTreeView::SetStateImages(QList<QIcon> images) {
  StateImages = std::move(images);
  setIconSize(QSize(StateImages.isEmpty() ? 0 : 14, 14));
}

void TFastTreeView::SetImages(QList<QIcon> images) {
  Images = std::move(images);
  setIconSize(QSize((StateImages.isEmpty() ? 0 : 14) + (Images.isEmpty() ? 0 : 16), 16));
}

void TFastTreeView::QueueItem(std::unique_ptr<TNodeDataItem> item) {
  if (item) PendingItems.Append(std::move(item));
}

// The queue during a build: the items in queue order, linked through those
// still waiting, and for each parent code the positions of the items that
// name it. A pass over the queue attaches nothing until it meets an item whose
// parent code is its node's own (the node attached last is unset until then,
// and again after a failed walk), so it can jump from one such item to the
// next and leave the rest of the queue alone.
struct TFastTreeView::PendingIndex {
  explicit PendingIndex(TLinkList& queue) : queue_(queue) {
    queue.Rewind();
    while (queue.MoveNext()) {
      byParent[queue.Current()->ParentCode].push_back(static_cast<int>(items.size()));
      items.push_back(queue.TakeCurrent());
    }
    const int n = static_cast<int>(items.size());
    next.resize(items.size());
    prev.resize(items.size());
    for (int i = 0; i < n; ++i) {
      next[static_cast<size_t>(i)] = i + 1 < n ? i + 1 : -1;
      prev[static_cast<size_t>(i)] = i - 1;
    }
    waiting = n;
  }
  // What is still waiting goes back into the queue, in its order.
  ~PendingIndex() {
    for (std::unique_ptr<TNodeDataItem>& item : items)
      if (item) queue_.Append(std::move(item));
    queue_.Rewind();
  }
  PendingIndex(const PendingIndex&) = delete;
  PendingIndex& operator=(const PendingIndex&) = delete;

  bool isWaiting(int i) const { return items[static_cast<size_t>(i)] != nullptr; }
  const TNodeDataItem& at(int i) const { return *items[static_cast<size_t>(i)]; }
  int after(int i) const { return next[static_cast<size_t>(i)]; }

  std::unique_ptr<TNodeDataItem> take(int i) {
    const size_t k = static_cast<size_t>(i);
    if (prev[k] >= 0) next[static_cast<size_t>(prev[k])] = next[k];
    if (next[k] >= 0) prev[static_cast<size_t>(next[k])] = prev[k];
    --waiting;
    return std::move(items[k]);
  }

  std::vector<std::unique_ptr<TNodeDataItem>> items;  // nullptr once attached
  std::vector<int> next, prev;                        // -1 past either end
  QHash<QString, std::vector<int>> byParent;          // positions in queue order
  int waiting = 0;

 private:
  TLinkList& queue_;
};

void TFastTreeView::BuildTree() {
  TNodeDataItem top;
  top.Code = RootParentId_;
  setUpdatesEnabled(false);
  AttachPending(nullptr, top);
  setUpdatesEnabled(true);
}

void TFastTreeView::AttachPending(QTreeWidgetItem* parentNode, const TNodeDataItem& parentData) {
  PendingIndex pending(PendingItems);
  AttachPass(parentNode, parentData, pending);
}

void TFastTreeView::AttachPass(QTreeWidgetItem* parentNode, const TNodeDataItem& parentData,
                               PendingIndex& pending) {
  // Every waiting item that names this node's code is attached in this pass,
  // so its positions are done with afterwards.
  const auto direct = pending.byParent.find(parentData.Code);
  if (direct != pending.byParent.end()) {
    const std::vector<int> positions = std::move(*direct);
    pending.byParent.erase(direct);
    // The node attached most recently: an item ordered by code has its parent
    // on Last's ancestor line, so no lookup is needed while the run lasts.
    QTreeWidgetItem* last = nullptr;
    int at = -1;  // queue position reached
    for (const int start : positions) {
      if (start <= at || !pending.isWaiting(start)) continue;
      int i = start;
      for (; i >= 0;) {
        const int following = pending.after(i);
        const TNodeDataItem& item = pending.at(i);
        QTreeWidgetItem* target = nullptr;
        bool found = item.ParentCode == parentData.Code;
        if (found) {
          target = parentNode;
        } else {
          for (QTreeWidgetItem* n = last; n && !found; n = n->parent()) {
            const TNodeDataItem* d = NodeDataOf(n);
            if (d && d->Code == item.ParentCode) {
              found = true;
              target = n;
            }
          }
        }
        if (!found) break;  // Last is unset until the next direct match
        last = AttachNode(target, pending.take(i));
        i = following;
      }
      if (i < 0) break;  // the run reached the end of the queue
      at = i;
    }
  }
  if (pending.waiting == 0) return;

  if (!parentNode) {
    for (int i = 0; i < topLevelItemCount(); ++i) {
      QTreeWidgetItem* top = topLevelItem(i);
      if (const TNodeDataItem* d = NodeDataOf(top)) AttachPass(top, *d, pending);
    }
  } else {
    // Children that the passes below add to this node are not visited again.
    const int count = parentNode->childCount();
    for (int i = 0; i < count; ++i) {
      QTreeWidgetItem* child = parentNode->child(i);
      if (const TNodeDataItem* d = NodeDataOf(child)) AttachPass(child, *d, pending);
    }
  }
}

QTreeWidgetItem* TFastTreeView::AttachNode(QTreeWidgetItem* target, std::unique_ptr<TNodeDataItem> data) {
  const QString code = data->Code;
  const bool initiallyChecked = data->InitiallyChecked;
  const QString caption = data->Caption;
  QTreeWidgetItem* node = target ? new FastTreeNode(target, this, std::move(data))
                                 : new FastTreeNode(this, std::move(data));
  node->setText(0, caption);
  CodeIndex_.append({code, node});
  if (CheckedOption_->ShowCheckBox())
    SetStateIndex(node, initiallyChecked ? CheckedOption_->CheckedImageIndex()
                                         : CheckedOption_->UnCheckedImageIndex());
  return node;
}

bool TFastTreeView::IsNodeChecked(const QTreeWidgetItem* node) const {
  return node && CheckedOption_->ShowCheckBox() &&
         StateIndex(node) == CheckedOption_->CheckedImageIndex();
}

void TFastTreeView::SetNodeChecked(QTreeWidgetItem* node, bool checked) {
  if (!node || !CheckedOption_->ShowCheckBox()) return;
  SetStateIndex(node, checked ? CheckedOption_->CheckedImageIndex()
                              : CheckedOption_->UnCheckedImageIndex());
  // Ancestors first, then the subtree.
  if (CheckedOption_->AutoCheckedParent()) SyncAncestors(node, checked);
  if (CheckedOption_->AutoCheckedChildren()) CheckSubtree(node, checked);
}

void TFastTreeView::CheckSubtree(QTreeWidgetItem* node, bool checked) {
  if (!node) return;
  const int index =
      checked ? CheckedOption_->CheckedImageIndex() : CheckedOption_->UnCheckedImageIndex();
  const int count = node->childCount();
  for (int i = 0; i < count; ++i) {
    QTreeWidgetItem* child = node->child(i);
    SetStateIndex(child, index);
    CheckSubtree(child, checked);
  }
}

void TFastTreeView::SyncAncestors(QTreeWidgetItem* node, bool checked) {
  if (!node) return;
  if (checked) {
    for (QTreeWidgetItem* p = node->parent(); p; p = p->parent())
      SetStateIndex(p, CheckedOption_->CheckedImageIndex());
    return;
  }
  // An ancestor is cleared only when none of its children is still marked.
  const int unchecked = CheckedOption_->UnCheckedImageIndex();
  for (QTreeWidgetItem* p = node->parent(); p; p = p->parent()) {
    for (int i = 0; i < p->childCount(); ++i)
      if (StateIndex(p->child(i)) != unchecked) return;
    SetStateIndex(p, unchecked);
  }
}

TNodeDataItem* TFastTreeView::NodeDataOf(const QTreeWidgetItem* node) {
  if (!node || node->type() != kFastNodeType) return nullptr;
  return static_cast<const FastTreeNode*>(node)->item();
}

int TFastTreeView::StateIndex(const QTreeWidgetItem* node) {
  const QVariant v = node->data(0, kStateIndexRole);
  return v.isValid() ? v.toInt() : 0;
}

void TFastTreeView::SetStateIndex(QTreeWidgetItem* node, int index) {
  node->setData(0, kStateIndexRole, index);
  refreshIcon(node);
}

int TFastTreeView::ImageIndex(const QTreeWidgetItem* node) {
  const QVariant v = node->data(0, kImageIndexRole);
  return v.isValid() ? v.toInt() : -1;
}

int TFastTreeView::SelectedIndex(const QTreeWidgetItem* node) {
  const QVariant v = node->data(0, kSelectedIndexRole);
  return v.isValid() ? v.toInt() : -1;
}

QTreeWidgetItem* TFastTreeView::Selected() const {
  const QList<QTreeWidgetItem*> items = selectedItems();
  return items.isEmpty() ? nullptr : items.first();
}

QTreeWidgetItem* TFastTreeView::HitTestItem(const QPoint& pos) const {
  const QModelIndex index = indexAt(pos);
  if (!index.isValid() || index.column() != 0) return nullptr;
  QTreeWidgetItem* node = itemFromIndex(index);
  // visualRect starts after the indent and the expand button; the item ends
  // where its label does.
  const QRect rect = visualRect(index);
  const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
  int right = rect.left();
  if (!node->icon(0).isNull()) right += iconSize().width() + 2 * margin;
  // A node without a font of its own is drawn in the tree's font; its
  // font(0) would give the application's.
  const QVariant own = node->data(0, Qt::FontRole);
  const QFont labelFont = own.isValid() ? own.value<QFont>() : font();
  right += QFontMetrics(labelFont).horizontalAdvance(node->text(0)) + 2 * margin;
  return pos.x() >= rect.left() && pos.x() < right ? node : nullptr;
}

void TFastTreeView::DeleteIndexEntry(QTreeWidgetItem* node) {
  if (tearingDown_) return;
  for (qsizetype i = 0; i < CodeIndex_.size(); ++i) {
    if (CodeIndex_[i].second == node) {
      CodeIndex_.removeAt(i);
      return;
    }
  }
}

QItemSelectionModel::SelectionFlags TFastTreeView::selectionCommand(const QModelIndex& index,
                                                                   const QEvent* event) const {
  const QItemSelectionModel::SelectionFlags flags = QTreeWidget::selectionCommand(index, event);
  if (!index.isValid()) return QItemSelectionModel::NoUpdate;
  const bool selected = selectionModel() && selectionModel()->isSelected(index);
  if (flags.testFlag(QItemSelectionModel::Deselect) || (flags.testFlag(QItemSelectionModel::Toggle) && selected))
    return QItemSelectionModel::NoUpdate;
  return flags;
}

void TFastTreeView::mousePressEvent(QMouseEvent* event) {
  pressed_ = true;
  QTreeWidget::mousePressEvent(event);
  emit mouseDown(event->button(), event->modifiers(), event->position().toPoint());
}

// Qt delivers the second press of a double click here instead of as a press;
// it is a mouse-down all the same. The control opens or closes the node.
void TFastTreeView::mouseDoubleClickEvent(QMouseEvent* event) {
  pressed_ = false;
  QTreeWidget::mouseDoubleClickEvent(event);
  // The control treats a double click on another item than the first press
  // as a press, which has then been reported already.
  if (!pressed_) emit mouseDown(event->button(), event->modifiers(), event->position().toPoint());
}

void TFastTreeView::selectionMoved(QTreeWidgetItem* current, QTreeWidgetItem* previous) {
  // Image 0 is the picture of an unselected node, image 1 that of the selected one.
  if (Images.isEmpty()) return;
  if (previous) {
    previous->setData(0, kImageIndexRole, 0);
    previous->setData(0, kSelectedIndexRole, 0);
    refreshIcon(previous);
  }
  if (current) {
    current->setData(0, kImageIndexRole, 1);
    current->setData(0, kSelectedIndexRole, 1);
    refreshIcon(current);
  }
}

void TFastTreeView::refreshIcon(QTreeWidgetItem* node) {
  const int state = StateIndex(node);
  const int image = ImageIndex(node);
  const bool hasState = state > 0 && state < StateImages.size();
  const bool hasImage = image >= 0 && image < Images.size();
  if (!hasState && !hasImage) {
    node->setIcon(0, QIcon());
    return;
  }
  if (hasState && !hasImage) {
    node->setIcon(0, StateImages[state]);
    return;
  }
  if (!hasState) {
    node->setIcon(0, Images[image]);
    return;
  }
  // Both: the state image left of the ordinary image, as one picture.
  QPixmap both(iconSize());
  both.fill(Qt::transparent);
  QPainter p(&both);
  p.drawPixmap(0, 1, StateImages[state].pixmap(14, 14));
  p.drawPixmap(14, 0, Images[image].pixmap(16, 16));
  p.end();
  node->setIcon(0, QIcon(both));
}
