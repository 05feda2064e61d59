#pragma once
// The tree view and its nodes. A node keeps its text, image indexes and a data value; the
// tree lists its nodes through Items (add, find, clear, bracket refills with
// BeginUpdate/EndUpdate). The expanding event may refuse an expansion and may refill the
// node's children first (a placeholder child gives a node its expand button until then).

#include "platform/vcl/Controls.h"
#include "platform/vcl/SysUtils.h"

#include <QIcon>
#include <QList>
#include <QMenu>
#include <QPointer>
#include <QTreeWidget>
#include <functional>

class TqeTreeView;
class TqeTreeNodes;

class ETreeViewError : public Exception { public: using Exception::Exception; };

class TqeTreeNode : public QTreeWidgetItem {
public:
    explicit TqeTreeNode(TqeTreeNodes* owner);
    ~TqeTreeNode() override;

    TqeTreeNodes* Owner() const { return FOwner; }
    TqeTreeView* TreeView() const;
    QString Text() const { return text(0); }
    void SetText(const QString& text) { setText(0, text); }
    qintptr Data() const { return FData; }
    void SetData(qintptr data) { FData = data; }
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int index);
    int SelectedIndex() const { return FSelectedIndex; }
    void SetSelectedIndex(int index) { FSelectedIndex = index; }

    TqeTreeNode* Parent() const;
    int Level() const;
    // Number of previous siblings.
    int Index() const;
    int Count() const { return childCount(); }
    // A child by position; a bad position raises ETreeViewError "List index out of bounds (%d)".
    TqeTreeNode* Item(int index) const;
    TqeTreeNode* GetFirstChild() const { return childCount() ? Item(0) : nullptr; }
    TqeTreeNode* GetLastChild() const { return childCount() ? Item(childCount() - 1) : nullptr; }
    TqeTreeNode* GetNextSibling() const;
    TqeTreeNode* GetPrevSibling() const;
    // The next node in tree order (first child, else next sibling, else an ancestor's).
    TqeTreeNode* GetNext() const;
    TqeTreeNode* GetNextVisible() const;
    int AbsoluteIndex() const;
    bool HasChildren() const { return childCount() > 0 || FHasChildren; }
    void SetHasChildren(bool value);
    bool Expanded() const { return isExpanded(); }
    void Expand(bool recurse = false);
    void Collapse(bool recurse = false);
    bool Selected() const;
    void SetSelected(bool value);
    // Every ancestor is expanded.
    bool IsVisible() const;
    bool IsDescendantOf(const TqeTreeNode* node) const;
    // Deletes the children (the deletion event fires for each) and clears HasChildren.
    void DeleteChildren();
    // Deletes the node with its children.
    void Delete();

private:
    friend class TqeTreeNodes;
    friend class TqeTreeView;
    TqeTreeNodes* FOwner;
    qintptr FData = 0;
    int FImageIndex = 0;
    int FSelectedIndex = 0;
    bool FHasChildren = false;
};

class TqeTreeNodes {
public:
    explicit TqeTreeNodes(TqeTreeView* tree) : FTree(tree) {}
    TqeTreeView* Owner() const { return FTree; }
    // A new last child of parent (a top-level node for none).
    TqeTreeNode* AddChild(TqeTreeNode* parent, const QString& text);
    TqeTreeNode* AddChildObject(TqeTreeNode* parent, const QString& text, qintptr data);
    // A new last sibling of sibling (a top-level node for none).
    TqeTreeNode* Add(TqeTreeNode* sibling, const QString& text);
    // All nodes of the tree.
    int Count() const;
    // The node at a position in tree order; a bad index raises ETreeViewError "Invalid index".
    TqeTreeNode* Item(int index) const;
    TqeTreeNode* GetItem(int index) const { return Item(index); }
    TqeTreeNode* GetFirstNode() const;
    // The first node whose text equals text ignoring the case of a-z; with visibleOnly only
    // nodes whose ancestors are all expanded.
    TqeTreeNode* FindNodeByText(const QString& text, bool visibleOnly) const;
    void Clear();
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

private:
    TqeTreeView* FTree;
    int FUpdateCount = 0;
};

enum TqeTreeViewOption {
    tvoExpandOnDblClk, tvoExpandButtons3D, tvoFlatCheckBoxes, tvoHideSelection, tvoRowSelect, tvoShowButtons,
    tvoShowLines, tvoShowRoot, tvoHotTrack, tvoAutoURL, tvoToolTips, tvoEditText, tvo3StateCheckbox
};
using TqeTreeViewOptions = TSet<TqeTreeViewOption>;

class TqeTreeView : public QTreeWidget {
    Q_OBJECT
public:
    explicit TqeTreeView(QWidget* parent = nullptr);
    ~TqeTreeView() override;

    TqeTreeNodes& Items() { return FItems; }
    TqeTreeNode* Selected() const;
    void SetSelected(TqeTreeNode* node);
    TqeTreeNode* TopItem() const;
    void SetTopItem(TqeTreeNode* node);
    // The node under a client point; none when there is none.
    TqeTreeNode* GetNodeAt(int x, int y) const;
    QList<QIcon> Images() const { return FImages; }
    void SetImages(const QList<QIcon>& images);
    int Indent() const { return indentation(); }
    void SetIndent(int indent) { setIndentation(indent); }
    TqeTreeViewOptions Options() const { return FOptions; }
    void SetOptions(TqeTreeViewOptions options);
    bool RightClickSelects() const { return FRightClickSelects; }
    void SetRightClickSelects(bool value) { FRightClickSelects = value; }
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value) { FReadOnly = value; }
    QMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(QMenu* menu) { FPopupMenu = menu; }

    std::function<void(TqeTreeView*, TqeTreeNode*)> OnChange;
    std::function<void(TqeTreeView*, TqeTreeNode*, bool& allow)> OnExpanding;
    std::function<void(TqeTreeView*, TqeTreeNode*)> OnExpanded;
    std::function<void(TqeTreeView*, TqeTreeNode*, bool& allow)> OnCollapsing;
    std::function<void(TqeTreeView*, TqeTreeNode*)> OnCollapsed;
    std::function<void(TqeTreeView*, TqeTreeNode*)> OnDeletion;
    std::function<void(QObject*)> OnClick;
    std::function<void(QObject*)> OnDblClick;
    std::function<void(QObject*, TMouseButton, TShiftState, int x, int y)> OnMouseDown;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    friend class TqeTreeNode;
    friend class TqeTreeNodes;
    void ItemExpanded(QTreeWidgetItem* item);
    void ItemCollapsed(QTreeWidgetItem* item);
    void Deleting(TqeTreeNode* node);
    QIcon ImageOf(int index) const;

    TqeTreeNodes FItems;
    QList<QIcon> FImages;
    TqeTreeViewOptions FOptions;
    QPointer<QMenu> FPopupMenu;
    bool FRightClickSelects = false;
    bool FReadOnly = false;
    bool FExpandLock = false;
    bool FClearing = false;
};
