// Tree nodes and the node collection: the program-side object of every item, the collection's
// adding, finding and clearing, and the "Data" stream of the whole node tree.
#include "treestatus/qeTreeView.h"

#include <QDataStream>
#include <QIODevice>

namespace {
QString UpperAZ(const QString& s)
{
    QString out = s;
    for (QChar& c : out)
        if (c.unicode() >= 'a' && c.unicode() <= 'z') c = QChar(c.unicode() - 32);
    return out;
}

// The UTF-8 bytes of a text cut to at most max bytes at a character boundary.
QByteArray CutUtf8(const QString& text, int max)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.size() <= max) return bytes;
    int n = max;
    while (n > 0 && (quint8(bytes[n]) & 0xC0) == 0x80) --n;   // never inside a character
    return bytes.left(n);
}

void PutInt(QByteArray& image, int offset, qint32 v)
{
    for (int i = 0; i < 4; ++i) image[offset + i] = char((quint32(v) >> (8 * i)) & 0xFF);
}

qint32 GetInt(const QByteArray& image, int offset)
{
    quint32 v = 0;
    for (int i = 0; i < 4; ++i) v |= quint32(quint8(image[offset + i])) << (8 * i);
    return qint32(v);
}
} // namespace

// ---- TqeTreeNode ----

TqeTreeNode::TqeTreeNode(TqeTreeNodes* owner) : FOwner(owner) {}

TqeTreeNode::~TqeTreeNode() = default;

TqeCustomTreeView* TqeTreeNode::TreeView() const { return FOwner->Owner(); }

void TqeTreeNode::SetText(const QString& text)
{
    FText = text;
    TqeCustomTreeView* tree = TreeView();
    tree->InvalidateNode(this);
    if ((tree->FSortType == qestText || tree->FSortType == qestBoth) && FInTree) tree->ResortSiblingsOf(this);
}

void TqeTreeNode::SetData(qint32 data)
{
    FData = data;
    TqeCustomTreeView* tree = TreeView();
    if ((tree->FSortType == qestData || tree->FSortType == qestBoth) && tree->OnCompare && !FDeleting && FInTree)
        tree->ResortSiblingsOf(this);
}

void TqeTreeNode::SetImageIndex(int index)
{
    FImageIndex = index;
    TreeView()->InvalidateNode(this);
}

void TqeTreeNode::SetSelectedIndex(int index)
{
    FSelectedIndex = index;
    TreeView()->InvalidateNode(this);
}

void TqeTreeNode::SetOverlayIndex(int index)
{
    FOverlayIndex = index;
    TreeView()->InvalidateNode(this);
}

void TqeTreeNode::SetStateIndex(int index)
{
    if (index == 0) index = -1;
    if (FCheckboxType == cbtCheckbox && index != -1 && index != 1) return;
    FStateIndex = index;
    FItemStateImage = index > 0 ? index : 0;
    TreeView()->InvalidateNode(this);
}

void TqeTreeNode::SetCheckboxType(TqeCheckboxType kind)
{
    if (kind == FCheckboxType) return;
    FCheckboxType = kind;
    SetStateIndex(kind == cbtNone ? -1 : 1);
}

void TqeTreeNode::SetChecked(bool value)
{
    if (value == FChecked) return;
    FChecked = value;
    TqeCustomTreeView* tree = TreeView();
    if (FCheckboxType == cbtRadioButton) {
        if (!value) return;
        for (TqeTreeNode* s = FParent ? FParent->FFirstChild : tree->FFirstRoot; s; s = s->FNext)
            if (s != this) {
                s->SetChecked(false);
                s->Invalidate();
            }
    } else if (tree->MultiSelectCheckboxApplies(this) && FMultiSelected != value) {
        tree->SetNodeMultiSelected(this, value, true);
    }
    Invalidate();
    tree->DoToggleCheckbox(this);
}

void TqeTreeNode::SetGrayed(bool value)
{
    if (value == FGrayed) return;
    FGrayed = value;
    if (FCheckboxType == cbtRadioButton) {
        TqeCustomTreeView* tree = TreeView();
        for (TqeTreeNode* s = FParent ? FParent->FFirstChild : tree->FFirstRoot; s; s = s->FNext)
            if (s != this) {
                s->FGrayed = value;
                s->Invalidate();
            }
    }
    Invalidate();
}

bool TqeTreeNode::Selected() const { return FInTree && TreeView()->FSelected == this; }

void TqeTreeNode::SetSelected(bool value)
{
    TqeCustomTreeView* tree = TreeView();
    if (value) tree->CtlSelect(this);
    else if (tree->FSelected == this) tree->CtlSelect(nullptr);
}

bool TqeTreeNode::Focused() const { return Selected(); }

void TqeTreeNode::SetFocused(bool value) { SetSelected(value); }

void TqeTreeNode::SetCut(bool value)
{
    if (value == FCut) return;
    FCut = value;
    Invalidate();
}

bool TqeTreeNode::DropTarget() const { return TreeView()->FDropHilite == this; }

void TqeTreeNode::SetDropTarget(bool value)
{
    TqeCustomTreeView* tree = TreeView();
    if (value) tree->SetDropHighlight(this);
    else if (tree->FDropHilite == this) tree->SetDropHighlight(nullptr);
}

void TqeTreeNode::SetHasChildren(bool value)
{
    if (value == FHasChildrenFlag) return;
    FHasChildrenFlag = value;
    Invalidate();
}

int TqeTreeNode::Level() const
{
    int level = 0;
    for (TqeTreeNode* p = FParent; p; p = p->FParent) ++level;
    return level;
}

int TqeTreeNode::Index() const
{
    int i = 0;
    for (TqeTreeNode* p = FPrev; p; p = p->FPrev) ++i;
    return i;
}

int TqeTreeNode::AbsoluteIndex() const
{
    if (FOwner->FCacheNode == this) return FOwner->FCacheIndex;
    int i = -1;
    for (const TqeTreeNode* n = this; n; n = n->GetPrev()) ++i;
    return i;
}

TqeTreeNode* TqeTreeNode::Item(int index) const
{
    if (index < 0 || index >= FChildCount)
        throw ETreeViewError(Format(QStringLiteral("List index out of bounds (%d)"), {index}));
    TqeTreeNode* n = FFirstChild;
    for (int i = 0; i < index; ++i) n = n->FNext;
    return n;
}

int TqeTreeNode::IndexOf(const TqeTreeNode* child) const
{
    int i = 0;
    for (TqeTreeNode* n = FFirstChild; n; n = n->FNext, ++i)
        if (n == child) return i;
    return -1;
}

TqeTreeNode* TqeTreeNode::GetNext() const
{
    if (FFirstChild) return FFirstChild;
    for (const TqeTreeNode* n = this; n; n = n->FParent)
        if (n->FNext) return n->FNext;
    return nullptr;
}

TqeTreeNode* TqeTreeNode::GetPrev() const
{
    if (FPrev) {
        TqeTreeNode* n = FPrev;
        while (n->FLastChild) n = n->FLastChild;
        return n;
    }
    return FParent;
}

bool TqeTreeNode::IsVisible() const
{
    if (!FInTree) return false;
    for (TqeTreeNode* p = FParent; p; p = p->FParent)
        if (!p->FExpanded) return false;
    return true;
}

TqeTreeNode* TqeTreeNode::GetNextVisible() const
{
    if (!IsVisible()) return nullptr;
    if (FExpanded && FFirstChild) return FFirstChild;
    for (const TqeTreeNode* n = this; n; n = n->FParent)
        if (n->FNext) return n->FNext;
    return nullptr;
}

TqeTreeNode* TqeTreeNode::GetPrevVisible() const
{
    if (!IsVisible()) return nullptr;
    if (FPrev) {
        TqeTreeNode* n = FPrev;
        while (n->FExpanded && n->FLastChild) n = n->FLastChild;
        return n;
    }
    return FParent;
}

bool TqeTreeNode::IsDescendantOf(const TqeTreeNode* node) const
{
    if (!node) return true;
    for (TqeTreeNode* p = FParent; p; p = p->FParent)
        if (p == node) return true;
    return false;
}

TRect TqeTreeNode::GetDisplayRect(bool textOnly) const
{
    TqeCustomTreeView* tree = TreeView();
    if (!IsVisible()) return TRect();
    const auto g = tree->Geometry(this);
    if (!textOnly) return TRect(0, g.Top, tree->viewport()->width(), g.Bottom);
    TRect r(g.TextLeft, g.Top, g.TextRight, g.Bottom);
    if (tree->FImages && FImageIndex == -2) r.Left -= tree->FImages->Width() + 1;
    return r;
}

namespace {
// The node, and with recurse every descendant after it in tree order.
void EachInSubtree(TqeTreeNode* node, bool recurse, const std::function<void(TqeTreeNode*)>& one)
{
    one(node);
    if (recurse)
        for (TqeTreeNode* n = node->GetNext(); n && n->IsDescendantOf(node); n = n->GetNext()) one(n);
}
} // namespace

void TqeTreeNode::ExpandStep(bool expand)
{
    TqeCustomTreeView* tree = TreeView();
    tree->FExpandLock = true;
    try {
        if (expand ? (HasChildren() && tree->CanExpand(this)) : tree->CanCollapse(this)) {
            if (expand) tree->DoExpanded(this);
            else tree->DoCollapsed(this);
            tree->CtlExpand(this, expand);
        }
    } catch (...) {
        tree->FExpandLock = false;
        throw;
    }
    tree->FExpandLock = false;
}

void TqeTreeNode::Expand(bool recurse)
{
    EachInSubtree(this, recurse, [](TqeTreeNode* n) { n->ExpandStep(true); });
}

void TqeTreeNode::Collapse(bool recurse)
{
    EachInSubtree(this, recurse, [](TqeTreeNode* n) { n->ExpandStep(false); });
}

void TqeTreeNode::SortChildren(std::function<int(TqeTreeNode*, TqeTreeNode*, qint32)> compare, qint32 data)
{
    TqeCustomTreeView* tree = TreeView();
    if (compare) tree->SortSiblings(this, [&](TqeTreeNode* a, TqeTreeNode* b) { return compare(a, b, data); });
    else tree->SortSiblings(this, [&](TqeTreeNode* a, TqeTreeNode* b) { return tree->DoCompare(a, b, data); });
}

void TqeTreeNode::MoveTo(TqeTreeNode* destination, TqeNodeAttachMode mode)
{
    TqeCustomTreeView* tree = TreeView();
    if (destination == this || (destination && destination->IsDescendantOf(this))) return;
    if (!destination && (mode == namInsert || mode == namInsertAfter)) return;
    auto changing = std::move(tree->OnChanging);
    auto change = std::move(tree->OnChange);
    tree->OnChanging = nullptr;
    tree->OnChange = nullptr;
    struct TRestore {
        TqeCustomTreeView* Tree;
        TqeTreeNode* Node;
        decltype(changing)& Changing;
        decltype(change)& Change;
        ~TRestore()
        {
            Tree->OnChanging = std::move(Changing);
            Tree->OnChange = std::move(Change);
            Tree->InvalidateNode(Node);
        }
    } restore{tree, this, changing, change};

    TqeTreeNode* parent = (mode == namAddChild || mode == namAddChildFirst) ? destination
                          : destination ? destination->FParent : nullptr;
    TqeTreeNode* after = nullptr;
    bool first = false;
    switch (mode) {
    case namAddFirst:
    case namAddChildFirst: first = true; break;
    case namAdd:
    case namAddChild: after = parent ? parent->FLastChild : tree->FLastRoot; break;
    case namInsert:
        if (destination->FPrev == this) return;
        after = destination->FPrev;
        first = !after;
        break;
    case namInsertAfter: after = destination; break;
    }
    if (after == this) return;
    const bool selected = tree->FSelected == this;
    TqeTreeNode* oldParent = FParent;
    tree->FItems->EmptyCache();
    tree->UnlinkItem(this);
    if (oldParent && !oldParent->FFirstChild) {
        oldParent->FHasChildrenFlag = false;
        if (oldParent->FExpanded) tree->SetExpandedFlag(oldParent, false);
    }
    tree->LinkItem(this, parent, after, first);
    if (parent) {
        parent->FHasChildrenFlag = true;
        if (!parent->FExpanded) tree->CtlExpand(parent, true);
    }
    if (selected) tree->FSelected = this;
    tree->viewport()->update();
}

void TqeTreeNode::Assign(const TqeTreeNode& source)
{
    SetText(source.FText);
    SetData(source.FData);
    SetCheckboxType(source.FCheckboxType);
    FLinkText = source.FLinkText;
    FExtraText = source.FExtraText;
    SetImageIndex(source.FImageIndex);
    SetSelectedIndex(source.FSelectedIndex);
    SetStateIndex(source.FStateIndex);
    SetOverlayIndex(source.FOverlayIndex);
    SetFocused(source.Focused());
    SetDropTarget(source.DropTarget());
    SetCut(source.FCut);
    SetHasChildren(source.FHasChildrenFlag);
    SetChecked(source.FChecked);
}

void TqeTreeNode::EndLabelEdit(bool cancel)
{
    TqeCustomTreeView* tree = TreeView();
    if (tree->FEditNode == this) tree->EndEdit(cancel);
}

void TqeTreeNode::DeleteChildren()
{
    TqeCustomTreeView* tree = TreeView();
    tree->FItems->EmptyCache();
    if (FExpanded) tree->SetExpandedFlag(this, false);
    tree->DeleteChildItems(this);
    FHasChildrenFlag = false;
    tree->viewport()->update();
}

void TqeTreeNode::Invalidate() { TreeView()->InvalidateNode(this); }

void TqeTreeNode::Delete()
{
    TqeCustomTreeView* tree = TreeView();
    if (FInTree) tree->DeleteItem(this);
    else delete this;
}

void TqeTreeNode::WriteData(QDataStream& stream, QByteArray& image) const
{
    image.fill(0);
    const QByteArray text = CutUtf8(FText, 255);
    const QByteArray link = FLinkText.toUtf8(), extra = FExtraText.toUtf8();
    PutInt(image, 0, FImageIndex);
    PutInt(image, 4, FSelectedIndex);
    PutInt(image, 8, FStateIndex);
    PutInt(image, 12, FOverlayIndex);
    image[16] = char(FCheckboxType);
    image[17] = char((FChecked ? 1 : 0) | (FGrayed ? 2 : 0));
    PutInt(image, 22, FData);
    PutInt(image, 26, qint32(link.size()));
    PutInt(image, 30, qint32(extra.size()));
    PutInt(image, 34, FChildCount);
    image[38] = char(text.size());
    for (int i = 0; i < text.size(); ++i) image[39 + i] = text[i];
    const qint32 size = 39 + qint32(text.size());
    stream << size;
    stream.writeRawData(image.constData(), size);
    if (!link.isEmpty()) stream.writeRawData(link.constData(), int(link.size()));
    if (!extra.isEmpty()) stream.writeRawData(extra.constData(), int(extra.size()));
    for (TqeTreeNode* c = FFirstChild; c; c = c->FNext) c->WriteData(stream, image);
}

void TqeTreeNode::ReadData(QDataStream& stream, QByteArray& image)
{
    qint32 size = 0;
    stream >> size;
    if (stream.status() != QDataStream::Ok || size < 0) throw ETreeViewError(QStringLiteral("Invalid node data"));
    image.fill(0);
    const int take = std::min<int>(size, image.size());
    if (stream.readRawData(image.data(), take) != take) throw ETreeViewError(QStringLiteral("Invalid node data"));
    if (size > take && stream.skipRawData(size - take) != size - take) throw ETreeViewError(QStringLiteral("Invalid node data"));
    auto readString = [&](qint32 length) {
        if (length <= 0) return QString();
        QByteArray bytes(length, '\0');
        if (stream.readRawData(bytes.data(), length) != length) throw ETreeViewError(QStringLiteral("Invalid node data"));
        return QString::fromUtf8(bytes);
    };
    const QString link = readString(GetInt(image, 26));
    const QString extra = readString(GetInt(image, 30));
    const int textLength = std::min(quint8(image[38]), quint8(std::max(0, take - 39)));
    SetText(QString::fromUtf8(image.constData() + 39, textLength));
    SetImageIndex(GetInt(image, 0));
    SetSelectedIndex(GetInt(image, 4));
    SetStateIndex(GetInt(image, 8));
    SetOverlayIndex(GetInt(image, 12));
    SetData(GetInt(image, 22));
    SetCheckboxType(TqeCheckboxType(std::min(2, int(quint8(image[16])))));
    const quint8 flags = quint8(image[17]);
    SetChecked(flags & 1);
    SetGrayed(flags & 2);
    FLinkText = link;
    FExtraText = extra;
    const qint32 children = GetInt(image, 34);
    if (children < 0) throw ETreeViewError(QStringLiteral("Invalid node data"));
    for (qint32 i = 0; i < children; ++i) {
        if (stream.atEnd()) throw ETreeViewError(QStringLiteral("Invalid node data"));
        FOwner->AddChild(this, QString())->ReadData(stream, image);
    }
}

// ---- TqeTreeNodes ----

TqeTreeNodes::~TqeTreeNodes()
{
    FDestroying = true;
    Clear();
}

int TqeTreeNodes::Count() const { return FTree->FNodeCount; }

TqeTreeNode* TqeTreeNodes::InternalAdd(TqeTreeNode* parent, TqeTreeNode* after, bool first, const QString& text,
                                       qint32 data)
{
    TqeTreeNode* node = FTree->CreateNode();
    node->FData = data;
    node->FText = text;
    FTree->FChangeTimer.stop();
    EmptyCache();
    FTree->LinkItem(node, parent, after, first);
    node->FInTree = true;
    node->FItemStateImage = 1;   // the control gives new items the first state image
    if (parent) parent->FHasChildrenFlag = true;
    if (FUpdateCount == 0) FTree->viewport()->update();
    if (!FTree->MultiSelectCheckboxApplies(node)) node->SetStateIndex(-1);
    return node;
}

TqeTreeNode* TqeTreeNodes::AddChild(TqeTreeNode* parent, const QString& text) { return AddChildObject(parent, text, 0); }

TqeTreeNode* TqeTreeNodes::AddChildObject(TqeTreeNode* parent, const QString& text, qint32 data)
{
    return InternalAdd(parent, parent ? parent->FLastChild : FTree->FLastRoot, false, text, data);
}

TqeTreeNode* TqeTreeNodes::Add(TqeTreeNode* sibling, const QString& text)
{
    TqeTreeNode* parent = sibling ? sibling->FParent : nullptr;
    return InternalAdd(parent, parent ? parent->FLastChild : FTree->FLastRoot, false, text, 0);
}

TqeTreeNode* TqeTreeNodes::AddFirst(TqeTreeNode* sibling, const QString& text)
{
    return InternalAdd(sibling ? sibling->FParent : nullptr, nullptr, true, text, 0);
}

TqeTreeNode* TqeTreeNodes::Insert(TqeTreeNode* sibling, const QString& text)
{
    if (!sibling) return Add(nullptr, text);
    return InternalAdd(sibling->FParent, sibling->FPrev, sibling->FPrev == nullptr, text, 0);
}

TqeTreeNode* TqeTreeNodes::GetItem(int index) const
{
    if (index < 0) throw ETreeViewError(QStringLiteral("Invalid index"));
    TqeTreeNode* node = nullptr;
    if (FCacheNode && std::abs(index - FCacheIndex) <= 1) {
        node = index == FCacheIndex ? FCacheNode : index < FCacheIndex ? FCacheNode->GetPrev() : FCacheNode->GetNext();
    } else {
        node = FTree->FFirstRoot;
        for (int i = 0; i < index && node; ++i) node = node->GetNext();
    }
    if (!node) throw ETreeViewError(QStringLiteral("Invalid index"));
    FCacheNode = node;
    FCacheIndex = index;
    return node;
}

TqeTreeNode* TqeTreeNodes::GetFirstNode() const { return FTree->FFirstRoot; }

TqeTreeNode* TqeTreeNodes::GetNodeFromItem(const void* item) const
{
    for (TqeTreeNode* n = FTree->FFirstRoot; n; n = n->GetNext())
        if (n == item) return n;
    return nullptr;
}

void TqeTreeNodes::Clear()
{
    EmptyCache();
    if (!FTree->FFirstRoot) return;
    FTree->FClearing = true;
    BeginUpdate();
    FTree->FSelected = nullptr;
    FTree->FTopNode = FTree->FFirstRoot;
    TqeTreeNode* last = FTree->FLastRoot;
    while (last->FLastChild) last = last->FLastChild;
    for (TqeTreeNode* n = last; n;) {
        TqeTreeNode* prev = n->GetPrev();
        FTree->DeleteItem(n);
        n = prev;
    }
    FTree->FClearing = false;
    if (!FDestroying) EndUpdate();
}

void TqeTreeNodes::BeginUpdate()
{
    if (FUpdateCount++ == 0) FTree->viewport()->setUpdatesEnabled(false);
}

void TqeTreeNodes::EndUpdate()
{
    if (FUpdateCount == 0) return;
    if (--FUpdateCount == 0) {
        FTree->viewport()->setUpdatesEnabled(true);
        FTree->FLayoutDirty = true;
        FTree->viewport()->update();
    }
}

TqeTreeNode* TqeTreeNodes::FindNodeByText(const QString& text, bool visibleOnly) const
{
    const QString key = UpperAZ(text);
    for (TqeTreeNode* n = FTree->FFirstRoot; n; n = visibleOnly ? n->GetNextVisible() : n->GetNext())
        if (UpperAZ(n->FText) == key) return n;
    return nullptr;
}

QByteArray TqeTreeNodes::WriteData() const
{
    FTree->FStreamVersion = 1;
    QByteArray out;
    QDataStream stream(&out, QIODevice::WriteOnly);
    stream.setByteOrder(QDataStream::LittleEndian);
    stream << qint32(FTree->FRootCount);
    QByteArray image(294, '\0');
    for (TqeTreeNode* n = FTree->FFirstRoot; n; n = n->FNext) n->WriteData(stream, image);
    return out;
}

void TqeTreeNodes::ReadData(const QByteArray& data)
{
    QDataStream stream(data);
    stream.setByteOrder(QDataStream::LittleEndian);
    QByteArray image(294, '\0');
    Clear();
    qint32 roots = 0;
    stream >> roots;
    if (stream.status() != QDataStream::Ok || roots < 0) throw ETreeViewError(QStringLiteral("Invalid node data"));
    BeginUpdate();
    try {
        for (qint32 i = 0; i < roots; ++i) AddChild(nullptr, QString())->ReadData(stream, image);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
    FTree->FStreamVersion = 1;
}

void TqeTreeNodes::Assign(const TqeTreeNodes& source)
{
    EmptyCache();
    FTree->FBitmap = QImage();
    FTree->FStreamVersion = 1;
    const QByteArray data = source.WriteData();
    Clear();
    ReadData(data);
    if (FTree->FFirstRoot) FTree->SetSelected(FTree->FFirstRoot);
    FTree->viewport()->update();
}
