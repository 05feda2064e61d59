#include "treestatus/qeTreeView.h"

#include "platform/vcl/Forms.h"
#include "platform/vcl/SysUtils.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMouseEvent>

namespace {
// Case differences of a-z only, as the tree compares node texts.
QString UpperAscii(const QString& s)
{
    QString r = s;
    for (QChar& c : r)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) c = QChar(c.unicode() - 32);
    return r;
}
} // namespace

// =============================================================================================
// TqeTreeNode

TqeTreeNode::TqeTreeNode(TqeTreeNodes* owner) : QTreeWidgetItem(QTreeWidgetItem::UserType), FOwner(owner) {}

TqeTreeNode::~TqeTreeNode() = default;

TqeTreeView* TqeTreeNode::TreeView() const { return FOwner ? FOwner->Owner() : nullptr; }

void TqeTreeNode::SetImageIndex(int index)
{
    FImageIndex = index;
    if (TqeTreeView* tree = TreeView()) setIcon(0, tree->ImageOf(index));
}

TqeTreeNode* TqeTreeNode::Parent() const { return static_cast<TqeTreeNode*>(parent()); }

int TqeTreeNode::Level() const
{
    int level = 0;
    for (QTreeWidgetItem* p = parent(); p; p = p->parent()) ++level;
    return level;
}

int TqeTreeNode::Index() const
{
    // The view's index remembers the row it found last, so walking siblings stays linear;
    // searching the parent's children would make every walk over a wide level quadratic.
    if (TqeTreeView* tree = TreeView(); tree && treeWidget() == tree) return tree->indexFromItem(this).row();
    if (QTreeWidgetItem* p = parent()) return p->indexOfChild(const_cast<TqeTreeNode*>(this));
    return -1;
}

TqeTreeNode* TqeTreeNode::Item(int index) const
{
    if (index < 0 || index >= childCount())
        throw ETreeViewError(Format(QStringLiteral("List index out of bounds (%d)"), {index}));
    return static_cast<TqeTreeNode*>(child(index));
}

TqeTreeNode* TqeTreeNode::GetNextSibling() const
{
    const int i = Index();
    if (QTreeWidgetItem* p = parent()) return i + 1 < p->childCount() ? static_cast<TqeTreeNode*>(p->child(i + 1)) : nullptr;
    QTreeWidget* tree = treeWidget();
    return tree && i + 1 < tree->topLevelItemCount() ? static_cast<TqeTreeNode*>(tree->topLevelItem(i + 1)) : nullptr;
}

TqeTreeNode* TqeTreeNode::GetPrevSibling() const
{
    const int i = Index();
    if (i <= 0) return nullptr;
    if (QTreeWidgetItem* p = parent()) return static_cast<TqeTreeNode*>(p->child(i - 1));
    return static_cast<TqeTreeNode*>(treeWidget()->topLevelItem(i - 1));
}

TqeTreeNode* TqeTreeNode::GetNext() const
{
    if (childCount()) return static_cast<TqeTreeNode*>(child(0));
    for (const TqeTreeNode* n = this; n; n = n->Parent())
        if (TqeTreeNode* s = n->GetNextSibling()) return s;
    return nullptr;
}

TqeTreeNode* TqeTreeNode::GetNextVisible() const
{
    if (!IsVisible()) return nullptr;
    if (childCount() && isExpanded()) return static_cast<TqeTreeNode*>(child(0));
    for (const TqeTreeNode* n = this; n; n = n->Parent())
        if (TqeTreeNode* s = n->GetNextSibling()) return s;
    return nullptr;
}

int TqeTreeNode::AbsoluteIndex() const
{
    int i = 0;
    for (TqeTreeNode* n = FOwner->GetFirstNode(); n; n = n->GetNext(), ++i)
        if (n == this) return i;
    return -1;
}

void TqeTreeNode::SetHasChildren(bool value)
{
    FHasChildren = value;
    setChildIndicatorPolicy(value ? QTreeWidgetItem::ShowIndicator : QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

void TqeTreeNode::Expand(bool recurse)
{
    if (HasChildren() && !isExpanded()) setExpanded(true);
    if (recurse)
        for (int i = 0; i < childCount(); ++i) Item(i)->Expand(true);
}

void TqeTreeNode::Collapse(bool recurse)
{
    if (recurse)
        for (int i = 0; i < childCount(); ++i) Item(i)->Collapse(true);
    if (isExpanded()) setExpanded(false);
}

bool TqeTreeNode::Selected() const { return TreeView() && TreeView()->currentItem() == this; }

void TqeTreeNode::SetSelected(bool value)
{
    TqeTreeView* tree = TreeView();
    if (!tree) return;
    if (value) tree->SetSelected(this);
    else if (Selected()) tree->SetSelected(nullptr);
}

bool TqeTreeNode::IsVisible() const
{
    if (isHidden()) return false;
    for (QTreeWidgetItem* p = parent(); p; p = p->parent())
        if (!p->isExpanded() || p->isHidden()) return false;
    return true;
}

bool TqeTreeNode::IsDescendantOf(const TqeTreeNode* node) const
{
    if (!node) return true;
    for (const TqeTreeNode* p = Parent(); p; p = p->Parent())
        if (p == node) return true;
    return false;
}

void TqeTreeNode::DeleteChildren()
{
    while (childCount()) Item(childCount() - 1)->Delete();
    SetHasChildren(false);
}

void TqeTreeNode::Delete()
{
    while (childCount()) Item(childCount() - 1)->Delete();
    if (TqeTreeView* tree = TreeView()) tree->Deleting(this);
    delete this;
}

// =============================================================================================
// TqeTreeNodes

TqeTreeNode* TqeTreeNodes::AddChildObject(TqeTreeNode* parent, const QString& text, qintptr data)
{
    auto* node = new TqeTreeNode(this);
    node->FData = data;
    node->setText(0, text);
    node->setIcon(0, FTree->ImageOf(node->FImageIndex));
    if (parent) {
        parent->addChild(node);
        parent->FHasChildren = true;
    } else {
        FTree->addTopLevelItem(node);
    }
    return node;
}

TqeTreeNode* TqeTreeNodes::AddChild(TqeTreeNode* parent, const QString& text) { return AddChildObject(parent, text, 0); }

TqeTreeNode* TqeTreeNodes::Add(TqeTreeNode* sibling, const QString& text)
{
    return AddChild(sibling ? sibling->Parent() : nullptr, text);
}

int TqeTreeNodes::Count() const
{
    int n = 0;
    for (TqeTreeNode* node = GetFirstNode(); node; node = node->GetNext()) ++n;
    return n;
}

TqeTreeNode* TqeTreeNodes::Item(int index) const
{
    if (index >= 0)
        for (TqeTreeNode* node = GetFirstNode(); node; node = node->GetNext(), --index)
            if (index == 0) return node;
    throw ETreeViewError(QStringLiteral("Invalid index"));
}

TqeTreeNode* TqeTreeNodes::GetFirstNode() const
{
    return FTree->topLevelItemCount() ? static_cast<TqeTreeNode*>(FTree->topLevelItem(0)) : nullptr;
}

TqeTreeNode* TqeTreeNodes::FindNodeByText(const QString& text, bool visibleOnly) const
{
    const QString key = UpperAscii(text);
    for (TqeTreeNode* node = GetFirstNode(); node; node = visibleOnly ? node->GetNextVisible() : node->GetNext())
        if (UpperAscii(node->Text()) == key) return node;
    return nullptr;
}

void TqeTreeNodes::Clear()
{
    FTree->FClearing = true;
    BeginUpdate();
    FTree->setCurrentItem(nullptr);
    while (FTree->topLevelItemCount())
        static_cast<TqeTreeNode*>(FTree->topLevelItem(FTree->topLevelItemCount() - 1))->Delete();
    FTree->FClearing = false;
    EndUpdate();
}

void TqeTreeNodes::BeginUpdate()
{
    if (FUpdateCount++ == 0) FTree->setUpdatesEnabled(false);
}

void TqeTreeNodes::EndUpdate()
{
    if (FUpdateCount == 0) return;
    if (--FUpdateCount == 0) {
        FTree->setUpdatesEnabled(true);
        FTree->viewport()->update();
    }
}

// =============================================================================================
// TqeTreeView

TqeTreeView::TqeTreeView(QWidget* parent)
    : QTreeWidget(parent), FItems(this),
      FOptions({tvoExpandOnDblClk, tvoHideSelection, tvoShowButtons, tvoShowLines, tvoShowRoot, tvoToolTips})
{
    setHeaderHidden(true);
    setColumnCount(1);
    setSelectionMode(QAbstractItemView::SingleSelection);
    header()->setStretchLastSection(true);
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { ItemExpanded(item); });
    connect(this, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) { ItemCollapsed(item); });
    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current, QTreeWidgetItem* previous) {
        if (auto* old = static_cast<TqeTreeNode*>(previous)) old->setIcon(0, ImageOf(old->FImageIndex));
        auto* node = static_cast<TqeTreeNode*>(current);
        if (node) node->setIcon(0, ImageOf(node->FSelectedIndex));
        if (!FClearing && OnChange) TApplication::Guard([&] { OnChange(this, node); });
    });
    SetOptions(FOptions);
}

TqeTreeView::~TqeTreeView()
{
    FClearing = true;
    OnDeletion = nullptr;
}

QIcon TqeTreeView::ImageOf(int index) const { return index >= 0 && index < FImages.size() ? FImages[index] : QIcon(); }

void TqeTreeView::SetImages(const QList<QIcon>& images)
{
    FImages = images;
    for (TqeTreeNode* n = FItems.GetFirstNode(); n; n = n->GetNext())
        n->setIcon(0, ImageOf(n->Selected() ? n->FSelectedIndex : n->FImageIndex));
}

void TqeTreeView::SetOptions(TqeTreeViewOptions options)
{
    FOptions = options;
    setRootIsDecorated(options.Contains(tvoShowRoot) || options.Contains(tvoShowButtons));
    setExpandsOnDoubleClick(options.Contains(tvoExpandOnDblClk));
    setEditTriggers(options.Contains(tvoEditText) ? QAbstractItemView::EditKeyPressed : QAbstractItemView::NoEditTriggers);
}

TqeTreeNode* TqeTreeView::Selected() const { return static_cast<TqeTreeNode*>(currentItem()); }

void TqeTreeView::SetSelected(TqeTreeNode* node)
{
    if (!node) {
        setCurrentItem(nullptr);
        clearSelection();
        return;
    }
    setCurrentItem(node);
}

TqeTreeNode* TqeTreeView::TopItem() const { return static_cast<TqeTreeNode*>(itemAt(0, 0)); }

void TqeTreeView::SetTopItem(TqeTreeNode* node)
{
    if (node) scrollToItem(node, QAbstractItemView::PositionAtTop);
}

TqeTreeNode* TqeTreeView::GetNodeAt(int x, int y) const
{
    const QPoint p = viewport()->mapFrom(this, QPoint(x, y));
    return static_cast<TqeTreeNode*>(itemAt(p));
}

void TqeTreeView::ItemExpanded(QTreeWidgetItem* item)
{
    if (FExpandLock) return;
    auto* node = static_cast<TqeTreeNode*>(item);
    bool allow = true;
    try {
        if (OnExpanding) OnExpanding(this, node, allow);
    } catch (const std::exception& e) {
        allow = false;
        if (Application()) Application()->ShowException(e);
    }
    FExpandLock = true;
    if (!allow || !node->childCount()) node->setExpanded(false);
    FExpandLock = false;
    if (allow && node->isExpanded() && OnExpanded) TApplication::Guard([&] { OnExpanded(this, node); });
}

void TqeTreeView::ItemCollapsed(QTreeWidgetItem* item)
{
    if (FExpandLock) return;
    auto* node = static_cast<TqeTreeNode*>(item);
    bool allow = true;
    if (OnCollapsing) TApplication::Guard([&] { OnCollapsing(this, node, allow); });
    if (!allow) {
        FExpandLock = true;
        node->setExpanded(true);
        FExpandLock = false;
        return;
    }
    if (OnCollapsed) TApplication::Guard([&] { OnCollapsed(this, node); });
}

void TqeTreeView::Deleting(TqeTreeNode* node)
{
    if (OnDeletion) TApplication::Guard([&] { OnDeletion(this, node); });
}

void TqeTreeView::mousePressEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::RightButton && FRightClickSelects)
        if (auto* node = static_cast<TqeTreeNode*>(itemAt(p))) setCurrentItem(node);
    QTreeWidget::mousePressEvent(event);
    const QPoint cp = viewport()->mapTo(this, p);
    if (OnMouseDown) {
        const TMouseButton b = event->button() == Qt::RightButton ? mbRight : event->button() == Qt::MiddleButton ? mbMiddle : mbLeft;
        TApplication::Guard([&] { OnMouseDown(this, b, ShiftStateFromModifiers(event->modifiers(), event->buttons()), cp.x(), cp.y()); });
    }
    if (event->button() == Qt::LeftButton && OnClick) TApplication::Guard([&] { OnClick(this); });
}

void TqeTreeView::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTreeWidget::mouseDoubleClickEvent(event);
    if (OnDblClick) TApplication::Guard([&] { OnDblClick(this); });
}

void TqeTreeView::contextMenuEvent(QContextMenuEvent* event)
{
    if (FPopupMenu) FPopupMenu->popup(event->globalPos());
    event->accept();
}
