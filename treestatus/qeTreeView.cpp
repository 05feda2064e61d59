// The tree control: items, rows and scrolling, selection and expansion with their
// notifications, sorting, label editing, keys and mouse, multi-selection and check boxes,
// links, hints and dragging. Drawing is in qeTreeDraw.cpp.
#include "treestatus/qeTreeView.h"

#include "platform/vcl/Forms.h"
#include "platform/vcl/Shell.h"
#include "treestatus/qeCommon.h"

#include <QApplication>
#include <QDateTime>
#include <QDrag>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace {
TMouseButton ButtonOf(Qt::MouseButton b)
{
    return b == Qt::RightButton ? mbRight : b == Qt::MiddleButton ? mbMiddle : mbLeft;
}

// The window that shows a node's whole text over a cut-off one.
class TqeTreeHintWindow : public QWidget {
public:
    TqeTreeHintWindow(TqeCustomTreeView* tree, TqeTreeNode* node)
        : QWidget(tree, Qt::ToolTip | Qt::FramelessWindowHint), FTree(tree), FNode(node)
    {
        setAttribute(Qt::WA_ShowWithoutActivating);
        setFocusPolicy(Qt::NoFocus);
    }
    QString Text;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        TCanvas canvas(painter);
        canvas.Brush.Color = clInfoBk;
        canvas.FillRect(TRect(0, 0, width(), height()));
        canvas.Brush.Color = clBlack;
        canvas.FrameRect(TRect(0, 0, width(), height()));
        canvas.Font = TFont(FTree->font(), clInfoText);
        if (FTree->Options().Contains(tvoAutoURL) && !FNode->LinkText().isEmpty()) {
            canvas.Font.Color = RGBToColor(0, 0, 255);
            canvas.Font.Font.setUnderline(true);
        }
        canvas.Brush.Style = bsClear;
        TRect r(2, 2, width(), height());
        canvas.DrawText(Text, r, DT_WORDBREAK | DT_NOPREFIX);
    }

private:
    TqeCustomTreeView* FTree;
    TqeTreeNode* FNode;
};
} // namespace

// ---- TqeTVMultiSelectAttributes ----

void TqeTVMultiSelectAttributes::SetEnabled(bool value)
{
    if (value == FEnabled) return;
    if (FEnabled && !value)
        for (TqeTreeNode* n = FTree->FFirstRoot; n; n = n->GetNext())
            if (n->FStateIndex == 1 && n->FCheckboxType == cbtNone && FTree->IsMultiSelectLevel(n->Level())) n->SetStateIndex(-1);
    FEnabled = value;
    FTree->viewport()->update();
}

void TqeTVMultiSelectAttributes::SetMultiSelectCheckbox(bool value)
{
    if (value == FCheckbox) return;
    FCheckbox = value;
    if (!value) FTree->ResetMultiSelectChecks();
    FTree->viewport()->update();
}

void TqeTVMultiSelectAttributes::SetMultiSelectLevel(int value)
{
    if (value == FLevel) return;
    FLevel = value;
    FTree->ClearMultiSelection(nullptr);
    if (value >= 0) FTree->ResetMultiSelectChecks();
    FTree->viewport()->update();
}

void TqeTVMultiSelectAttributes::Assign(const TqeTVMultiSelectAttributes& source)
{
    SetEnabled(source.FEnabled);
    SetMultiSelectCheckbox(source.FCheckbox);
    SetMultiSelectLevel(source.FLevel);
}

// ---- construction ----

TqeCustomTreeView::TqeCustomTreeView(QWidget* parent)
    : QAbstractScrollArea(parent), FItems(std::make_unique<TqeTreeNodes>(this)),
      FMultiSelect(std::make_unique<TqeTVMultiSelectAttributes>(this))
{
    resize(121, 97);
    setFocusPolicy(Qt::StrongFocus);
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setAcceptDrops(true);
    FChangeTimer.setSingleShot(false);
    FChangeTimer.setInterval(0);
    connect(&FChangeTimer, &QTimer::timeout, this, [this] { TApplication::Guard([this] { ChangeTimerTick(); }); });
    FEditTimer.setSingleShot(true);
    connect(&FEditTimer, &QTimer::timeout, this, [this] {
        TApplication::Guard([this] {
            if (FSelected && FSelected == FPressNode) EditLabel(FSelected);
        });
    });
    verticalScrollBar()->setSingleStep(1);
    RecalcItemHeight();
}

TqeCustomTreeView::~TqeCustomTreeView()
{
    HideNodeHint();
    FChangeTimer.stop();
    SetImages(nullptr);
    SetStateImages(nullptr);
    OnDeletion = nullptr;
    FItems->FDestroying = true;
    FItems->Clear();
}

TqeTreeNode* TqeCustomTreeView::CreateNode() { return new TqeTreeNode(FItems.get()); }

// ---- items and rows ----

void TqeCustomTreeView::AdjustRows(TqeTreeNode* parent, int delta)
{
    FLayoutDirty = true;
    for (TqeTreeNode* p = parent; p; p = p->FParent) {
        p->FChildRows += delta;
        if (!p->FExpanded) return;
        p->FSubtreeRows += delta;
    }
    FTotalRows += delta;
}

void TqeCustomTreeView::LinkItem(TqeTreeNode* node, TqeTreeNode* parent, TqeTreeNode* after, bool first)
{
    TqeTreeNode*& head = parent ? parent->FFirstChild : FFirstRoot;
    TqeTreeNode*& tail = parent ? parent->FLastChild : FLastRoot;
    node->FParent = parent;
    if (first || !after) {
        node->FPrev = nullptr;
        node->FNext = head;
        if (head) head->FPrev = node;
        head = node;
        if (!tail) tail = node;
    } else {
        node->FPrev = after;
        node->FNext = after->FNext;
        if (after->FNext) after->FNext->FPrev = node;
        after->FNext = node;
        if (tail == after) tail = node;
    }
    if (parent) ++parent->FChildCount;
    else ++FRootCount;
    // Nodes moved with their subtrees bring their rows and counts along.
    int nodes = 1;
    for (TqeTreeNode* n = node->FFirstChild; n; n = n->GetNext()) {
        if (!n->IsDescendantOf(node)) break;
        ++nodes;
    }
    FNodeCount += nodes;
    AdjustRows(parent, node->FSubtreeRows);
}

void TqeCustomTreeView::UnlinkItem(TqeTreeNode* node)
{
    TqeTreeNode* parent = node->FParent;
    TqeTreeNode*& head = parent ? parent->FFirstChild : FFirstRoot;
    TqeTreeNode*& tail = parent ? parent->FLastChild : FLastRoot;
    if (node->FPrev) node->FPrev->FNext = node->FNext;
    else head = node->FNext;
    if (node->FNext) node->FNext->FPrev = node->FPrev;
    else tail = node->FPrev;
    if (parent) --parent->FChildCount;
    else --FRootCount;
    int nodes = 1;
    for (TqeTreeNode* n = node->FFirstChild; n; n = n->GetNext()) {
        if (!n->IsDescendantOf(node)) break;
        ++nodes;
    }
    FNodeCount -= nodes;
    AdjustRows(parent, -node->FSubtreeRows);
    if (FTopNode && (FTopNode == node || FTopNode->IsDescendantOf(node))) FTopNode = nullptr;
    node->FParent = node->FPrev = node->FNext = nullptr;
}

void TqeCustomTreeView::DeleteChildItems(TqeTreeNode* node)
{
    while (node->FLastChild) DeleteItem(node->FLastChild);
}

void TqeCustomTreeView::DeleteItem(TqeTreeNode* node)
{
    FItems->EmptyCache();
    node->FDeleting = true;
    DeleteChildItems(node);
    if (FAnchor == node) FAnchor = nullptr;
    if (node->FMultiSelected) {
        FMultiList.erase(std::remove(FMultiList.begin(), FMultiList.end(), node), FMultiList.end());
        node->FMultiSelected = false;
    }
    if (FDropTarget == node) FDropTarget = nullptr;
    if (FDropHilite == node) FDropHilite = nullptr;
    if (FHot == node) FHot = nullptr;
    if (FHintNode == node) HideNodeHint(), FHintNode = nullptr;
    if (FPressNode == node) FPressNode = nullptr;
    if (FPressSelected == node) FPressSelected = nullptr;
    if (FButtonNode == node) FButtonNode = nullptr;
    if (FRightClicked == node) FRightClicked = nullptr;
    if (FDragNode == node) FDragNode = nullptr;
    if (FEditNode == node) EndEdit(true);
    TqeTreeNode* parent = node->FParent;
    const bool wasSelected = FSelected == node;
    UnlinkItem(node);
    if (parent && !parent->FDeleting && !parent->FFirstChild) {
        if (parent->FExpanded) SetExpandedFlag(parent, false);
        parent->FHasChildrenFlag = false;
    }
    node->FInTree = false;
    FChangeTimer.stop();
    if (FChangeNode == node) FChangeNode = nullptr;
    if (wasSelected) {
        FSelected = nullptr;
        // The control selects a neighbour when the selected item goes, unless the tree is clearing.
        if (!FClearing && FItems->FUpdateCount == 0) {
            TqeTreeNode* next = parent;
            if (next || FFirstRoot) CtlSelect(next ? next : FFirstRoot);
        }
    }
    DoDeletion(node);
    node->FData = 0;
    delete node;
    if (FItems->FUpdateCount == 0) viewport()->update();
}

void TqeCustomTreeView::SetExpandedFlag(TqeTreeNode* node, bool expand)
{
    if (node->FExpanded == expand) return;
    const int delta = node->FChildRows;
    node->FExpanded = expand;
    node->FSubtreeRows += expand ? delta : -delta;
    // The parent's rows change only when every ancestor shows the node's subtree.
    TqeTreeNode* p = node->FParent;
    int d = expand ? delta : -delta;
    FLayoutDirty = true;
    for (; p; p = p->FParent) {
        p->FChildRows += d;
        if (!p->FExpanded) return;
        p->FSubtreeRows += d;
    }
    FTotalRows += d;
}

bool TqeCustomTreeView::CtlExpand(TqeTreeNode* node, bool expand)
{
    if (expand == node->FExpanded) return false;
    if (expand && !node->FHasChildrenFlag && !node->FFirstChild) return false;
    if (!FExpandLock) {
        if (!(expand ? CanExpand(node) : CanCollapse(node))) return false;
    }
    if (expand && !node->FFirstChild) {
        // Nothing to show after all (the expanding event emptied it).
        node->FHasChildrenFlag = false;
        viewport()->update();
        return false;
    }
    SetExpandedFlag(node, expand);
    if (!expand && FSelected && FSelected->IsDescendantOf(node)) CtlSelect(node);
    if (!FExpandLock) {
        if (expand) DoExpanded(node);
        else DoCollapsed(node);
    }
    if (expand && FAutoExpand && FItems->FUpdateCount == 0) {
        // A single-expand tree closes the node's expanded siblings.
        for (TqeTreeNode* s = node->FParent ? node->FParent->FFirstChild : FFirstRoot; s; s = s->FNext)
            if (s != node && s->FExpanded) CtlExpand(s, false);
    }
    viewport()->update();
    return true;
}

bool TqeCustomTreeView::CtlSelect(TqeTreeNode* node)
{
    if (node == FSelected) return true;
    if (!FClearing && !CanChange(node)) return false;
    TqeTreeNode* old = FSelected;
    FSelected = node;
    if (old) InvalidateNode(old);
    if (node) {
        for (TqeTreeNode* p = node->FParent; p; p = p->FParent)
            if (!p->FExpanded) {
                FExpandLock = false;
                CtlExpand(p, true);
            }
        ScrollToNode(node);
        InvalidateNode(node);
    }
    if (!FClearing) {
        if (FChangeTimer.interval() <= 0) DoChange(node);
        else {
            FChangeTimer.stop();
            FChangeNode = node;
            FChangeTimer.start();
        }
    }
    return true;
}

void TqeCustomTreeView::ChangeTimerTick()
{
    FChangeTimer.stop();
    DoChange(FChangeNode);
}

void TqeCustomTreeView::SortSiblings(TqeTreeNode* parent, const std::function<int(TqeTreeNode*, TqeTreeNode*)>& compare)
{
    std::vector<TqeTreeNode*> nodes;
    for (TqeTreeNode* n = parent ? parent->FFirstChild : FFirstRoot; n; n = n->FNext) nodes.push_back(n);
    if (nodes.size() < 2) return;
    std::stable_sort(nodes.begin(), nodes.end(), [&](TqeTreeNode* a, TqeTreeNode* b) { return compare(a, b) < 0; });
    FItems->EmptyCache();
    TqeTreeNode* prev = nullptr;
    for (TqeTreeNode* n : nodes) {
        n->FPrev = prev;
        n->FNext = nullptr;
        if (prev) prev->FNext = n;
        prev = n;
    }
    (parent ? parent->FFirstChild : FFirstRoot) = nodes.front();
    (parent ? parent->FLastChild : FLastRoot) = nodes.back();
    FLayoutDirty = true;
    viewport()->update();
}

void TqeCustomTreeView::ResortSiblingsOf(TqeTreeNode* node)
{
    SortSiblings(node->FParent, [this](TqeTreeNode* a, TqeTreeNode* b) { return DoCompare(a, b, 0); });
}

void TqeCustomTreeView::AlphaSort()
{
    SortSiblings(nullptr, [this](TqeTreeNode* a, TqeTreeNode* b) { return DoCompare(a, b, 0); });
    for (TqeTreeNode* n = FFirstRoot; n; n = n->GetNext())
        if (n->FFirstChild) SortSiblings(n, [this](TqeTreeNode* a, TqeTreeNode* b) { return DoCompare(a, b, 0); });
}

void TqeCustomTreeView::SetSortType(TqeSortType value)
{
    if (value == FSortType) return;
    FSortType = value;
    if (value == qestText || value == qestBoth || ((value == qestData) && OnCompare)) AlphaSort();
}

int TqeCustomTreeView::RowOf(const TqeTreeNode* node) const
{
    int row = 0;
    for (const TqeTreeNode* n = node; n; n = n->FParent) {
        for (TqeTreeNode* s = n->FPrev; s; s = s->FPrev) row += s->FSubtreeRows;
        if (n->FParent) row += 1;
    }
    return row;
}

TqeTreeNode* TqeCustomTreeView::NodeAtRow(int row) const
{
    if (row < 0 || row >= FTotalRows) return nullptr;
    // Near the top row: walk from it.
    if (FTopNode && !FLayoutDirty && row >= FTopRow && row - FTopRow <= 2 * VisibleRows() + 2) {
        TqeTreeNode* n = FTopNode;
        for (int r = FTopRow; n && r < row; ++r) n = n->GetNextVisible();
        return n;
    }
    TqeTreeNode* n = FFirstRoot;
    while (n) {
        if (row < n->FSubtreeRows) {
            if (row == 0) return n;
            --row;
            n = n->FFirstChild;
        } else {
            row -= n->FSubtreeRows;
            n = n->FNext;
        }
    }
    return nullptr;
}

int TqeCustomTreeView::VisibleRows() const { return std::max(1, viewport()->height() / std::max(1, FItemHeight)); }

void TqeCustomTreeView::EnsureLayout() const
{
    if (!FLayoutDirty) return;
    FLayoutDirty = false;
    if (FTopNode && !FTopNode->IsVisible()) {
        TqeTreeNode* n = FTopNode;
        while (n && !n->IsVisible()) n = n->FParent;
        FTopNode = n;
    }
    const int maxTop = std::max(0, FTotalRows - VisibleRows());
    if (FTopNode) FTopRow = RowOf(FTopNode);
    if (!FTopNode || FTopRow > maxTop) {
        FTopRow = std::clamp(FTopRow, 0, maxTop);
        FTopNode = NodeAtRow(FTopRow);
    }
    UpdateScrollBars();
}

void TqeCustomTreeView::UpdateScrollBars() const
{
    QScrollBar* v = verticalScrollBar();
    const QSignalBlocker block(v);
    v->setRange(0, std::max(0, FTotalRows - VisibleRows()));
    v->setPageStep(VisibleRows());
    v->setValue(FTopRow);
    QScrollBar* h = horizontalScrollBar();
    const QSignalBlocker blockH(h);
    h->setRange(0, std::max(0, FMaxRight + horizontalScrollBar()->value() - viewport()->width()));
    h->setPageStep(viewport()->width());
}

void TqeCustomTreeView::scrollContentsBy(int, int)
{
    const int value = verticalScrollBar()->value();
    EnsureLayout();
    if (value != FTopRow) {
        // Short moves walk from the old top row; long ones descend through the row counts.
        TqeTreeNode* n = FTopNode;
        const int delta = value - FTopRow;
        if (n && std::abs(delta) <= 4 * VisibleRows()) {
            for (int i = 0; i < delta && n; ++i) n = n->GetNextVisible();
            for (int i = 0; i > delta && n; --i) n = n->GetPrevVisible();
        } else {
            n = nullptr;
        }
        FTopRow = value;
        FTopNode = n ? n : NodeAtRow(value);
    }
    HideNodeHint();
    viewport()->update();
}

void TqeCustomTreeView::ScrollToNode(TqeTreeNode* node)
{
    if (!node || !node->IsVisible() || FItems->FUpdateCount > 0) return;
    EnsureLayout();
    // A node on the page is found by walking the page; others by their row.
    int row = -1;
    TqeTreeNode* n = FTopNode;
    for (int r = FTopRow; n && r <= FTopRow + VisibleRows(); ++r, n = n->GetNextVisible())
        if (n == node) {
            row = r;
            break;
        }
    if (row < 0) row = RowOf(node);
    const int page = VisibleRows();
    int top = FTopRow;
    if (row < top) top = row;
    else if (row >= top + page) top = row - page + 1;
    if (top != FTopRow) {
        FTopRow = top;
        FTopNode = row == top ? node : NodeAtRow(top);
        UpdateScrollBars();
        viewport()->update();
    }
}

void TqeCustomTreeView::MakeVisible(TqeTreeNode* node)
{
    if (!node) return;
    for (TqeTreeNode* p = node->FParent; p; p = p->FParent)
        if (!p->FExpanded) CtlExpand(p, true);
    ScrollToNode(node);
}

TqeTreeNode* TqeCustomTreeView::TopItem() const
{
    EnsureLayout();
    return FTopNode;
}

void TqeCustomTreeView::SetTopItem(TqeTreeNode* node)
{
    if (!node || !node->IsVisible()) return;
    EnsureLayout();
    FTopRow = std::min(RowOf(node), std::max(0, FTotalRows - VisibleRows()));
    FTopNode = NodeAtRow(FTopRow);
    UpdateScrollBars();
    viewport()->update();
}

void TqeCustomTreeView::SetSelected(TqeTreeNode* node) { CtlSelect(node); }

void TqeCustomTreeView::SetDropHighlight(TqeTreeNode* node)
{
    if (node == FDropHilite) return;
    if (FDropHilite) InvalidateNode(FDropHilite);
    FDropHilite = node;
    if (node) InvalidateNode(node);
}

void TqeCustomTreeView::RecalcItemHeight()
{
    int h = QFontMetrics(font()).height() + 2;
    if (FImages) h = std::max(h, FImages->Height());
    h = std::max(h, FStateImages ? FStateImages->Height() : 16);
    FItemHeight = h + (h % 2);
    FLayoutDirty = true;
}

TqeCustomTreeView::TRowGeometry TqeCustomTreeView::Geometry(const TqeTreeNode* node) const
{
    EnsureLayout();
    TRowGeometry g;
    // The page is found by walking from the top row; other rows by their counts.
    int row = -1;
    const TqeTreeNode* n = FTopNode;
    for (int r = FTopRow; n && r <= FTopRow + VisibleRows() + 1; ++r, n = n->GetNextVisible())
        if (n == node) {
            row = r;
            break;
        }
    if (row < 0) row = RowOf(node);
    g.Top = (row - FTopRow) * FItemHeight;
    g.Bottom = g.Top + FItemHeight;
    const int hs = horizontalScrollBar()->value();
    g.IndentRight = (node->Level() + (FOptions.Contains(tvoShowRoot) ? 1 : 0)) * FIndent - hs;
    g.ImageLeft = g.IndentRight + (ItemHasStateImage(node) ? StateSlotWidth() : 0);
    g.TextLeft = g.ImageLeft + (FImages ? FImages->Width() + 1 : 0);
    g.TextRight = g.TextLeft + QFontMetrics(font()).horizontalAdvance(node->FText) + 4;
    return g;
}

bool TqeCustomTreeView::ShowsStateImage(const TqeTreeNode* node) const
{
    if (MultiSelectCheckboxApplies(node)) return true;
    if (node->FCheckboxType != cbtNone) return node->FStateIndex >= 1;
    return FStateImages && node->FStateIndex >= 1 && node->FStateIndex % 16 != 0 && node->FStateIndex < FStateImages->Count();
}

THitTests TqeCustomTreeView::CtlHitTest(int x, int y, TqeTreeNode** nodeOut) const
{
    if (nodeOut) *nodeOut = nullptr;
    THitTests hit;
    const int w = viewport()->width(), h = viewport()->height();
    if (x < 0) hit.Include(hitToLeft);
    else if (x >= w) hit.Include(hitToRight);
    if (y < 0) hit.Include(hitAbove);
    else if (y >= h) hit.Include(hitBelow);
    if (!hit.IsEmpty()) return hit;
    EnsureLayout();
    TqeTreeNode* node = NodeAtRow(FTopRow + y / FItemHeight);
    if (!node) return THitTests{hitNowhere};
    if (nodeOut) *nodeOut = node;
    const TRowGeometry g = Geometry(node);
    if (x < g.IndentRight) {
        const bool button = FOptions.Contains(tvoShowButtons) && node->FHasChildrenFlag && x >= g.IndentRight - FIndent;
        return THitTests{button ? hitOnButton : hitOnIndent};
    }
    if (x < g.ImageLeft) return THitTests{hitOnStateIcon, hitOnItem};
    if (x < g.TextLeft) return THitTests{hitOnIcon, hitOnItem};
    if (x < g.TextRight) return THitTests{hitOnLabel, hitOnItem};
    return THitTests{hitOnRight};
}

TqeTreeNode* TqeCustomTreeView::GetNodeAt(int x, int y) const
{
    TqeTreeNode* node = nullptr;
    const THitTests hit = CtlHitTest(x, y, &node);
    return hit.Contains(hitNowhere) ? nullptr : node;
}

THitTests TqeCustomTreeView::GetHitTestInfoAt(int x, int y) const
{
    TqeTreeNode* node = nullptr;
    THitTests hit = CtlHitTest(x, y, &node);
    if (hit.Contains(hitOnItem) && FImages && node && node->FImageIndex == -2) {
        const TRect t = node->GetDisplayRect(true);
        if (x >= t.Left && x < t.Right && hit.Contains(hitOnIcon)) hit = hit.With(hitOnIcon, false).With(hitOnLabel, true);
    }
    return hit;
}

void TqeCustomTreeView::InvalidateNode(const TqeTreeNode* node)
{
    if (!node || !node->FInTree || FItems->FUpdateCount > 0 || !node->IsVisible()) return;
    EnsureLayout();
    // Only rows on the page are repainted.
    const TqeTreeNode* n = FTopNode;
    for (int r = 0; n && r <= VisibleRows(); ++r, n = n->GetNextVisible())
        if (n == node) {
            viewport()->update(0, r * FItemHeight, viewport()->width(), FItemHeight);
            return;
        }
}

void TqeCustomTreeView::SetIndent(int indent)
{
    if (indent == FIndent) return;
    FIndent = std::max(0, indent);
    viewport()->update();
}

void TqeCustomTreeView::SetOptions(TqeTreeViewOptions options)
{
    if (options == FOptions) return;
    FOptions = options;
    viewport()->update();
}

void TqeCustomTreeView::SetBorderStyle(TTreeBorderStyle value)
{
    if (value == FBorderStyle) return;
    FBorderStyle = value;
    setFrameStyle(value == bsSingle ? (QFrame::StyledPanel | QFrame::Sunken) : QFrame::NoFrame);
}

void TqeCustomTreeView::SetColor(TColor color)
{
    if (color == FColor) return;
    FColor = color;
    viewport()->update();
}

void TqeCustomTreeView::SetFontColor(TColor color)
{
    if (color == FFontColor) return;
    FFontColor = color;
    viewport()->update();
}

void TqeCustomTreeView::SetLineColor(TColor color)
{
    if (color == FLineColor) return;
    FLineColor = color;
    viewport()->update();
}

void TqeCustomTreeView::SetInactiveFocusColor(TColor color)
{
    if (color == FInactiveFocusColor) return;
    FInactiveFocusColor = color;
    viewport()->update();
}

void TqeCustomTreeView::SetImages(TImageList* images) { SetImageList(FImages, FImagesKeys, images); }

void TqeCustomTreeView::SetStateImages(TImageList* images) { SetImageList(FStateImages, FStateImagesKeys, images); }

void TqeCustomTreeView::SetImageList(TImageList*& list, int (&keys)[2], TImageList* images)
{
    if (images == list) return;
    if (list) {
        list->RemoveChangeListener(keys[0]);
        list->RemoveFreeListener(keys[1]);
    }
    list = images;
    if (list) {
        keys[0] = list->AddChangeListener([this] { RecalcItemHeight(); viewport()->update(); });
        keys[1] = list->AddFreeListener([this, &list] {
            list = nullptr;
            RecalcItemHeight();
            viewport()->update();
        });
    }
    RecalcItemHeight();
    viewport()->update();
}

// ---- events of the tree ----

void TqeCustomTreeView::DoGetImageIndex(TqeTreeNode* node)
{
    if (OnGetImageIndex) OnGetImageIndex(this, node);
}

void TqeCustomTreeView::DoGetSelectedIndex(TqeTreeNode* node)
{
    if (OnGetSelectedIndex) OnGetSelectedIndex(this, node);
}

void TqeCustomTreeView::DoDrawText(TqeTreeNode* node, const TRect& r, TqeItemStates state, bool& defaultDrawing)
{
    if (OnDrawText) OnDrawText(this, node, r, state, defaultDrawing);
}

int TqeCustomTreeView::DoCompare(TqeTreeNode* a, TqeTreeNode* b, qint32 data)
{
    if (OnCompare) {
        int result = 0;
        OnCompare(this, a, b, data, result);
        return result;
    }
    return QString::localeAwareCompare(a->Text(), b->Text());
}

void TqeCustomTreeView::DoCalcNodeAttributes(TqeTreeNode* node, TqeItemStates state)
{
    if (OnCalcNodeAttributes) OnCalcNodeAttributes(this, node, state);
}

void TqeCustomTreeView::DoToggleCheckbox(TqeTreeNode* node)
{
    if (OnToggleCheckbox) OnToggleCheckbox(this, node);
}

bool TqeCustomTreeView::CanEdit(TqeTreeNode* node)
{
    bool allow = true;
    if (OnEditing) OnEditing(this, node, allow);
    return allow;
}

bool TqeCustomTreeView::CanChange(TqeTreeNode* node)
{
    bool allow = true;
    if (OnChanging) OnChanging(this, node, allow);
    return allow;
}

bool TqeCustomTreeView::CanExpand(TqeTreeNode* node)
{
    bool allow = true;
    if (OnExpanding) OnExpanding(this, node, allow);
    if (IsEditing() && FSelected && (FSelected == node || FSelected->IsDescendantOf(node))) {
        EndEdit(false);
        return false;
    }
    return allow;
}

bool TqeCustomTreeView::CanCollapse(TqeTreeNode* node)
{
    bool allow = true;
    if (OnCollapsing) OnCollapsing(this, node, allow);
    if (IsEditing() && FSelected && (FSelected == node || FSelected->IsDescendantOf(node))) {
        EndEdit(false);
        return false;
    }
    return allow;
}

void TqeCustomTreeView::DoChange(TqeTreeNode* node)
{
    if (OnChange) OnChange(this, node);
}

void TqeCustomTreeView::DoExpanded(TqeTreeNode* node)
{
    if (OnExpanded) OnExpanded(this, node);
}

void TqeCustomTreeView::DoCollapsed(TqeTreeNode* node)
{
    if (OnCollapsed) OnCollapsed(this, node);
}

void TqeCustomTreeView::DoDeletion(TqeTreeNode* node)
{
    if (OnDeletion) OnDeletion(this, node);
}

// ---- label editing ----

bool TqeCustomTreeView::IsEditing() const { return FEditor && FEditor->isVisible(); }

void TqeCustomTreeView::EditLabel(TqeTreeNode* node)
{
    if (!node || !node->FInTree || FReadOnly || !FOptions.Contains(tvoEditText) || FDragStarted) return;
    if (IsEditing()) EndEdit(false);
    if (!CanEdit(node)) return;
    MakeVisible(node);
    if (!FEditor) {
        FEditor = new QLineEdit(viewport());
        FEditor->setFrame(true);
        FEditor->installEventFilter(this);
    }
    FEditNode = node;
    const TRect t = node->GetDisplayRect(true);
    FEditor->setFont(font());
    FEditor->setText(node->Text());
    FEditor->selectAll();
    const int width = std::max(t.Width() + 20, 60);
    FEditor->setGeometry(std::max(0, t.Left), t.Top - 2, width, FItemHeight + 4);
    FEditor->show();
    FEditor->setFocus();
}

void TqeCustomTreeView::EndEdit(bool cancel)
{
    if (!FEditor || !FEditNode) return;
    const QString text = FEditor->text();
    FEditor->hide();
    setFocus();
    DoEdited(cancel, text);
}

void TqeCustomTreeView::DoEdited(bool cancelled, QString text)
{
    TqeTreeNode* node = FEditNode;
    FEditNode = nullptr;
    if (cancelled || !node) return;
    if (OnEdited) OnEdited(this, node, text);
    node->SetText(text);
}

bool TqeCustomTreeView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == FEditor) {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
            auto* ke = static_cast<QKeyEvent*>(event);
            int key = KeyEventToVirtualKey(ke);
            const TShiftState shift = ShiftStateFromModifiers(ke->modifiers());
            if (event->type() == QEvent::KeyPress) {
                if (OnKeyDown && key) {
                    OnKeyDown(this, key, shift);
                    if (key == 0) return true;
                }
                if (!ke->text().isEmpty() && OnKeyPress) {
                    QChar c = ke->text().at(0);
                    OnKeyPress(this, c);
                    if (c.isNull()) return true;
                }
                if (ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter) {
                    EndEdit(false);
                    return true;
                }
                if (ke->key() == Qt::Key_Escape) {
                    EndEdit(true);
                    return true;
                }
            } else if (OnKeyUp && key) {
                OnKeyUp(this, key, shift);
                if (key == 0) return true;
            }
        } else if (event->type() == QEvent::FocusOut && FEditNode) {
            TApplication::Guard([this] { EndEdit(false); });
        }
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

// ---- multi-selection and check boxes ----

bool TqeCustomTreeView::IsMultiSelectLevel(int level) const
{
    return level == FMultiSelect->MultiSelectLevel() || FMultiSelect->MultiSelectLevel() == -1;
}

bool TqeCustomTreeView::MultiSelectCheckboxApplies(const TqeTreeNode* node) const
{
    return node && FMultiSelect->Enabled() && FMultiSelect->MultiSelectCheckbox() && IsMultiSelectLevel(node->Level());
}

bool TqeCustomTreeView::HasCheckbox(const TqeTreeNode* node) const
{
    return MultiSelectCheckboxApplies(node) || (node && node->FCheckboxType != cbtNone);
}

bool TqeCustomTreeView::IsNodeInView(TqeTreeNode* node, bool byTop) const
{
    const TRect r = node->GetDisplayRect(true);
    const int edge = byTop ? r.Top : r.Bottom;
    return node->IsVisible() && edge < viewport()->height() - 2 * GetSystemMetrics(SM_CXBORDER) && r.Bottom > 0;
}

void TqeCustomTreeView::SetNodeMultiSelected(TqeTreeNode* node, bool value, bool repaint)
{
    if (!node || !IsMultiSelectLevel(node->Level())) return;
    if (FMultiSelect->MultiSelectCheckbox()) node->SetChecked(value);
    if (node->FMultiSelected == value) return;
    if (value) FMultiList.push_back(node);
    else FMultiList.erase(std::remove(FMultiList.begin(), FMultiList.end(), node), FMultiList.end());
    node->FMultiSelected = value;
    if (repaint && IsNodeInView(node, true)) InvalidateNode(node);
}

void TqeCustomTreeView::ClearMultiSelection(TqeTreeNode* except)
{
    const std::vector<TqeTreeNode*> list = FMultiList;
    for (TqeTreeNode* n : list) {
        if (n == except) continue;
        n->FMultiSelected = false;
        if (FMultiSelect->MultiSelectCheckbox()) n->SetChecked(false);
        if (IsNodeInView(n, true)) InvalidateNode(n);
    }
    FMultiList.clear();
    if (except) FMultiList.push_back(except);
}

void TqeCustomTreeView::ResetMultiSelectChecks()
{
    const bool checkbox = FMultiSelect->MultiSelectCheckbox();
    for (TqeTreeNode* n = FFirstRoot; n; n = n->GetNext()) {
        const bool selectable = IsMultiSelectLevel(n->Level());
        if (checkbox ? !selectable : selectable) {
            n->SetChecked(false);
            n->SetStateIndex(-1);
        }
    }
}

void TqeCustomTreeView::ToggleCheck(TqeTreeNode* node)
{
    if (node->FCheckboxType == cbtRadioButton) {
        node->SetGrayed(false);
        node->SetChecked(true);
    } else if (FOptions.Contains(tvo3StateCheckbox) && node->FChecked && !node->FGrayed) {
        node->SetGrayed(true);
    } else {
        node->SetChecked(!node->FChecked);
        node->SetGrayed(false);
    }
}

void TqeCustomTreeView::CheckboxAndMultiSelectPress(TqeTreeNode* node, THitTests hit, TShiftState shift, int x)
{
    if (FPressNode == node && hit.Contains(hitOnStateIcon) && HasCheckbox(node) && !FReadOnly) {
        ToggleCheck(node);
        return;
    }
    if (!FMultiSelect->Enabled()) return;
    const bool counts = GetRowSelect() ? x >= NodeIndentRect(node).Left + FIndent
                                       : (hit.Contains(hitOnItem) || hit.Contains(hitOnLabel));
    const bool range = shift.Contains(ssShift) && FAnchor && FAnchor->FParent == node->FParent;
    if (counts) {
        const bool autoUnselect = FMultiSelect->AutoUnselect();
        if (!shift.Contains(ssCtrl) && autoUnselect) {
            if (range) ClearMultiSelection(FAnchor);
            else if (IsMultiSelectLevel(node->Level())) ClearMultiSelection(nullptr);
        }
        if (shift.Contains(ssShift)) {
            if (range) {
                if (node->Index() > FAnchor->Index()) {
                    if (!autoUnselect) SetNodeMultiSelected(FAnchor, true, true);
                    for (TqeTreeNode* s = FAnchor->FNext; s; s = s->FNext) {
                        SetNodeMultiSelected(s, true, true);
                        if (s == node) break;
                    }
                } else {
                    for (TqeTreeNode* s = node; s && s != FAnchor; s = s->FNext) SetNodeMultiSelected(s, true, true);
                    if (!autoUnselect) SetNodeMultiSelected(FAnchor, true, true);
                }
                if (FSelected != node) CtlSelect(node);
            }
        } else if (autoUnselect || shift.Contains(ssCtrl)) {
            SetNodeMultiSelected(node, !node->FMultiSelected, true);
            if (FSelected != node) CtlSelect(node);
        }
    }
    if (!shift.Contains(ssShift)) FAnchor = node;
}

// ---- hints ----

void TqeCustomTreeView::HideNodeHint()
{
    FHintTicks = 0;
    delete FHintWindow;
    FHintWindow = nullptr;
    if (FHintTimer) FHintTimer->stop();
}

void TqeCustomTreeView::CreateHintWindow(TqeTreeNode* node)
{
    auto* window = new TqeTreeHintWindow(this, node);
    window->setFont(font());
    FHintWindow = window;
}

void TqeCustomTreeView::UpdateHint(TqeTreeNode* node)
{
    if (!node || node == FEditNode || node == FHintNode) return;
    HideNodeHint();
    delete FHintTimer;
    FHintTimer = nullptr;
    const TRect r = node->GetDisplayRect(true);
    const QFontMetrics fm(font());
    const int textWidth = fm.horizontalAdvance(node->Text());
    if (viewport()->width() - 4 >= r.Left + textWidth) {
        FHintNode = nullptr;
        return;
    }
    const QPoint at = viewport()->mapToGlobal(QPoint(r.Left - 1, r.Top - 2));
    FHintTimer = new QTimer(this);
    FHintTimer->setInterval(250);
    connect(FHintTimer, &QTimer::timeout, this, [this] { TApplication::Guard([this] { HintTimerTick(); }); });
    FHintTimer->start();
    FHintNode = node;
    CreateHintWindow(node);
    static_cast<TqeTreeHintWindow*>(FHintWindow)->Text = node->Text();
    FHintWindow->setGeometry(at.x(), at.y(), textWidth + 6, fm.height() + 2);
    FHintWindow->show();
}

void TqeCustomTreeView::HintTimerTick()
{
    const QRect client(viewport()->mapToGlobal(QPoint(0, 0)), viewport()->size());
    if (!client.contains(GetCursorPosition())) {
        HideNodeHint();
        FHintNode = nullptr;
        return;
    }
    if (++FHintTicks > 16) HideNodeHint();
}

// ---- dragging ----

void TqeCustomTreeView::BeginDragNode(TqeTreeNode* node)
{
    FDragImage = QImage();
    if (!node) node = FDragNode ? FDragNode : GetNodeAt(FPressPos.x(), FPressPos.y());
    FDragNode = nullptr;
    FDragStarted = false;
    if (OnStartDrag) OnStartDrag(this);
    if (!node || !node->IsVisible()) return;
    // The item's picture: its image and text as drawn, at most the drag list's 32 x 32 cell wide.
    const TRect t = node->GetDisplayRect(true);
    if (t.Width() <= 0) return;
    const QImage page = viewport()->grab().toImage();
    FDragImage = page.copy(QRect(std::max(0, t.Left - (FImages ? FImages->Width() + 1 : 0)), t.Top,
                                 t.Width() + (FImages ? FImages->Width() + 1 : 0), t.Height()));
}

void TqeCustomTreeView::DragOverAt(int x, int y)
{
    TqeTreeNode* node = GetNodeAt(x, y);
    if (node && node != FDropHilite) SetDropHighlight(node);
    FDropTarget = nullptr;
}

void TqeCustomTreeView::DragLeft()
{
    FDropTarget = FDropHilite;
    SetDropHighlight(nullptr);
}

void TqeCustomTreeView::DragDropped()
{
    FDropTarget = nullptr;
    SetDropHighlight(nullptr);
}

void TqeCustomTreeView::StartDragFromPress()
{
    TqeTreeNode* node = FPressNode;
    if (!node) return;
    CtlSelect(node);
    BeginDragNode(node);
    auto* drag = new QDrag(this);
    auto* mime = new QMimeData;
    mime->setText(node->Text());
    drag->setMimeData(mime);
    if (!FDragImage.isNull()) {
        drag->setPixmap(QPixmap::fromImage(FDragImage));
        drag->setHotSpot(DragHotSpot());
    }
    drag->exec(Qt::MoveAction | Qt::CopyAction);
    FDropTarget = nullptr;
    SetDropHighlight(nullptr);
    if (OnEndDrag) OnEndDrag(this, nullptr, 0, 0);
}

void TqeCustomTreeView::dragEnterEvent(QDragEnterEvent* event)
{
    bool accept = false;
    const QPoint p = viewport()->mapFrom(this, event->position().toPoint());
    if (OnDragOver) OnDragOver(this, event->source(), p.x(), p.y(), accept);
    if (accept) event->acceptProposedAction();
    else event->ignore();
}

void TqeCustomTreeView::dragMoveEvent(QDragMoveEvent* event)
{
    const QPoint p = viewport()->mapFrom(this, event->position().toPoint());
    DragOverAt(p.x(), p.y());
    bool accept = false;
    if (OnDragOver) OnDragOver(this, event->source(), p.x(), p.y(), accept);
    if (accept) event->acceptProposedAction();
    else event->ignore();
}

void TqeCustomTreeView::dragLeaveEvent(QDragLeaveEvent*) { DragLeft(); }

void TqeCustomTreeView::dropEvent(QDropEvent* event)
{
    const QPoint p = viewport()->mapFrom(this, event->position().toPoint());
    if (OnDragDrop) TApplication::Guard([&] { OnDragDrop(this, event->source(), p.x(), p.y()); });
    DragDropped();
    event->acceptProposedAction();
}

// ---- keys ----

bool TqeCustomTreeView::CtlKeyDown(int key, TShiftState shift, const QString& text)
{
    TqeTreeNode* sel = FSelected;
    auto go = [this](TqeTreeNode* n) {
        if (n) CtlSelect(n);
        return true;
    };
    switch (key) {
    case VK_UP: return go(sel ? sel->GetPrevVisible() : FFirstRoot);
    case VK_DOWN: return go(sel ? sel->GetNextVisible() : FFirstRoot);
    case VK_HOME: return go(FFirstRoot);
    case VK_END: {
        TqeTreeNode* n = FLastRoot;
        while (n && n->FExpanded && n->FLastChild) n = n->FLastChild;
        return go(n);
    }
    case VK_PRIOR:
    case VK_NEXT: {
        if (!sel) return go(FFirstRoot);
        TqeTreeNode* n = sel;
        for (int i = 0; i < VisibleRows() - 1; ++i) {
            TqeTreeNode* next = key == VK_NEXT ? n->GetNextVisible() : n->GetPrevVisible();
            if (!next) break;
            n = next;
        }
        return go(n);
    }
    case VK_LEFT:
        if (!sel) return true;
        if (sel->FExpanded) CtlExpand(sel, false);
        else if (sel->FParent) CtlSelect(sel->FParent);
        return true;
    case VK_RIGHT:
        if (!sel) return true;
        if (!sel->FExpanded && sel->FHasChildrenFlag) CtlExpand(sel, true);
        else if (sel->FExpanded && sel->FFirstChild) CtlSelect(sel->FFirstChild);
        return true;
    case VK_F2:
        if (sel) EditLabel(sel);
        return true;
    default: break;
    }
    Q_UNUSED(shift);
    if (text == QLatin1String("+") && sel) return CtlExpand(sel, true), true;
    if (text == QLatin1String("-") && sel) return CtlExpand(sel, false), true;
    if (text == QLatin1String("*") && sel) {
        CtlExpand(sel, true);
        for (TqeTreeNode* n = sel->FFirstChild ? sel->GetNext() : nullptr; n && n->IsDescendantOf(sel); n = n->GetNext())
            CtlExpand(n, true);
        return true;
    }
    if (!text.isEmpty() && text.at(0).isPrint() && !shift.Contains(ssCtrl) && !shift.Contains(ssAlt)) {
        // Type-ahead: the next visible node whose text starts with what was typed lately.
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        if (now - FTypeAheadTime > 1000) FTypeAhead.clear();
        FTypeAheadTime = now;
        FTypeAhead += text;
        TqeTreeNode* start = sel ? (FTypeAhead.size() == 1 ? sel->GetNextVisible() : sel) : FFirstRoot;
        for (int pass = 0; pass < 2; ++pass) {
            for (TqeTreeNode* n = pass == 0 ? start : FFirstRoot; n; n = n->GetNextVisible()) {
                if (pass == 1 && n == start) break;
                if (n->Text().startsWith(FTypeAhead, Qt::CaseInsensitive)) return go(n);
            }
        }
        return true;
    }
    return false;
}

void TqeCustomTreeView::keyPressEvent(QKeyEvent* event)
{
    int key = KeyEventToVirtualKey(event);
    const TShiftState shift = ShiftStateFromModifiers(event->modifiers());
    if (OnKeyDown) {
        OnKeyDown(this, key, shift);
        if (key == 0) return;
    }
    if (key == VK_SPACE && FSelected && !IsEditing()) {
        const bool multi = FMultiSelect->Enabled();
        if (!multi || FMultiSelect->MultiSelectCheckbox() || !IsMultiSelectLevel(FSelected->Level())) {
            if (!FReadOnly) ToggleCheck(FSelected);
            return;   // consumed: the control never toggles state images itself
        }
        if (shift.Contains(ssCtrl)) SetNodeMultiSelected(FSelected, !FSelected->FMultiSelected, true);
    }
    QString text = event->text();
    if (!text.isEmpty() && OnKeyPress) {
        QChar c = text.at(0);
        OnKeyPress(this, c);
        if (c.isNull()) return;
        text = QString(c);
    }
    if (key == VK_SPACE) return;
    if (!CtlKeyDown(key, shift, text)) QAbstractScrollArea::keyPressEvent(event);
}

void TqeCustomTreeView::keyReleaseEvent(QKeyEvent* event)
{
    int key = KeyEventToVirtualKey(event);
    if (OnKeyUp) OnKeyUp(this, key, ShiftStateFromModifiers(event->modifiers()));
    QAbstractScrollArea::keyReleaseEvent(event);
}

// ---- mouse ----

void TqeCustomTreeView::HandleMouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    TqeTreeNode* node = GetNodeAt(x, y);
    if (OnMouseDown) OnMouseDown(this, node, button, shift, x, y);
    if (shift.Contains(ssDouble)) {
        if (OnTreeDblClick) OnTreeDblClick(this, node, button, shift, x, y);
        if (OnDblClick) OnDblClick(this);
    }
    if (!node) return;
    if (button == mbLeft && shift.Contains(ssDouble)) return;
    if (button == mbRight && !FRightClickSelects) return;
    const THitTests hit = GetHitTestInfoAt(x, y);
    if (button == mbLeft && node == FPressSelected && hit.Contains(hitOnLabel) && FOptions.Contains(tvoEditText)) {
        HideNodeHint();
        FHintNode = nullptr;
        if (node->FImageIndex == -2 && FImages) EditLabel(node);
    }
    if (button == mbLeft) CheckboxAndMultiSelectPress(node, hit, shift, x);
}

void TqeCustomTreeView::mousePressEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    const TShiftState shift = ShiftStateFromModifiers(event->modifiers(), event->buttons());
    FEditTimer.stop();
    if (IsEditing()) EndEdit(false);
    setFocus(Qt::MouseFocusReason);
    FPressPos = p;
    TqeTreeNode* node = nullptr;
    const THitTests hit = CtlHitTest(p.x(), p.y(), &node);
    if (event->button() == Qt::LeftButton) {
        FPressSelected = FSelected;
        FPressNode = node;
        FPressLeft = true;
        if (hit.Contains(hitOnButton) && FOptions.Contains(tvoExpandButtons3D)) {
            // The button is tracked while pressed; the control never sees this press.
            FButtonNode = node;
            FButtonPressed = true;
            InvalidateNode(node);
            return;
        }
        if (!hit.Contains(hitOnButton)) viewport()->update();
        FDragStarted = false;
        FDragNode = nullptr;
        // The control: a button toggles, an item is selected.
        if (hit.Contains(hitOnButton)) {
            CtlExpand(node, !node->FExpanded);
        } else if (node && (hit.Contains(hitOnItem) || GetRowSelect())) {
            CtlSelect(node);
            if (node == FPressSelected && hit.Contains(hitOnLabel) && FOptions.Contains(tvoEditText) &&
                !(FImages && node->FImageIndex == -2))
                FEditTimer.start(QApplication::doubleClickInterval());
        }
        HandleMouseDown(mbLeft, shift, p.x(), p.y());
        return;
    }
    if (event->button() == Qt::RightButton) {
        viewport()->update();
        FRightClicked = node;
        HandleMouseDown(mbRight, shift, p.x(), p.y());
        return;
    }
    HandleMouseDown(ButtonOf(event->button()), shift, p.x(), p.y());
}

void TqeCustomTreeView::mouseDoubleClickEvent(QMouseEvent* event)
{
    FEditTimer.stop();
    const QPoint p = event->position().toPoint();
    TShiftState shift = ShiftStateFromModifiers(event->modifiers(), event->buttons());
    shift.Include(ssDouble);
    if (event->button() != Qt::LeftButton) {
        HandleMouseDown(ButtonOf(event->button()), shift, p.x(), p.y());
        return;
    }
    TqeTreeNode* node = nullptr;
    const THitTests hit = CtlHitTest(p.x(), p.y(), &node);
    if (FOptions.Contains(tvoExpandOnDblClk) && node && hit.Contains(hitOnItem)) CtlExpand(node, !node->FExpanded);
    else if (hit.Contains(hitOnButton) && !FOptions.Contains(tvoExpandButtons3D)) CtlExpand(node, !node->FExpanded);
    HandleMouseDown(mbLeft, shift, p.x(), p.y());
}

void TqeCustomTreeView::TrackButtonMove(const QPoint& p)
{
    TqeTreeNode* node = nullptr;
    const THitTests hit = CtlHitTest(p.x(), p.y(), &node);
    const bool on = hit.Contains(hitOnButton) && node == FButtonNode;
    if (on != FButtonPressed) {
        FButtonPressed = on;
        InvalidateNode(FButtonNode);
    }
}

void TqeCustomTreeView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    if (FButtonNode) {
        TrackButtonMove(p);
        return;
    }
    if (FPressLeft && FPressNode && FDragMode == dmAutomatic && (event->buttons() & Qt::LeftButton) &&
        (p - FPressPos).manhattanLength() >= QApplication::startDragDistance()) {
        FPressLeft = false;
        FDragStarted = true;
        FDragNode = FPressNode;
        StartDragFromPress();
        FDragStarted = false;
        return;
    }
    TqeTreeNode* node = GetNodeAt(p.x(), p.y());
    if (OnMouseMove) OnMouseMove(this, node, ShiftStateFromModifiers(event->modifiers(), event->buttons()), p.x(), p.y());
    if (FOptions.Contains(tvoHotTrack) && node != FHot) {
        InvalidateNode(FHot);
        FHot = node;
        InvalidateNode(FHot);
    }
    if (FOptions.Contains(tvoAutoURL)) {
        const bool link = node && !node->LinkText().isEmpty() && GetHitTestInfoAt(p.x(), p.y()).Contains(hitOnItem);
        viewport()->setCursor(link ? Qt::PointingHandCursor : Qt::ArrowCursor);
    }
    if (FOptions.Contains(tvoToolTips)) UpdateHint(node);
}

void TqeCustomTreeView::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    FPressLeft = false;
    if (FButtonNode && event->button() == Qt::LeftButton) {
        TqeTreeNode* node = FButtonNode;
        TrackButtonMove(p);
        const bool on = FButtonPressed;
        FButtonPressed = false;
        FButtonNode = nullptr;
        InvalidateNode(node);
        if (on) {
            if (node->FExpanded) {
                if (FAutoExpand) CtlSelect(node);
                CtlExpand(node, false);
            } else {
                CtlExpand(node, true);
            }
        }
        return;
    }
    TqeTreeNode* node = nullptr;
    if (OnMouseUp || FOptions.Contains(tvoAutoURL)) node = GetNodeAt(p.x(), p.y());
    const TShiftState shift = ShiftStateFromModifiers(event->modifiers(), event->buttons());
    if (OnMouseUp) OnMouseUp(this, node, ButtonOf(event->button()), shift, p.x(), p.y());
    if (FOptions.Contains(tvoAutoURL) && event->button() == Qt::LeftButton && node && !node->LinkText().isEmpty() &&
        GetHitTestInfoAt(p.x(), p.y()).Contains(hitOnItem)) {
        TBusyCursor busy;
        ShellOpen(node->LinkText());
    }
    if (event->button() == Qt::LeftButton && viewport()->rect().contains(p) && OnClick) OnClick(this);
}

void TqeCustomTreeView::contextMenuEvent(QContextMenuEvent* event)
{
    // A mouse's menu request comes through the viewport, in its coordinates; the keyboard's to the tree.
    const QPoint p = event->reason() == QContextMenuEvent::Mouse ? event->pos() : viewport()->mapFrom(this, event->pos());
    TqeTreeNode* node = GetNodeAt(p.x(), p.y());
    FRightClicked = node;
    if (node) {
        if (FRightClickSelects) CtlSelect(node);
        else InvalidateNode(node);
    }
    viewport()->update();
    if (FPopupMenu) FPopupMenu->popup(event->globalPos());
}

void TqeCustomTreeView::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
    if (OnEnter) OnEnter(this);
}

void TqeCustomTreeView::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
    if (OnExit && !(FEditor && FEditor->hasFocus())) OnExit(this);
}

void TqeCustomTreeView::leaveEvent(QEvent* event)
{
    QAbstractScrollArea::leaveEvent(event);
    if (FHot) {
        InvalidateNode(FHot);
        FHot = nullptr;
    }
    if (FRootCount == 1) InvalidateNode(FFirstRoot);
}

void TqeCustomTreeView::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        RecalcItemHeight();
        viewport()->update();
    }
}

void TqeCustomTreeView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    FLayoutDirty = true;
    EnsureLayout();
}

bool TqeCustomTreeView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::Leave) leaveEvent(event);
    return QAbstractScrollArea::viewportEvent(event);
}
