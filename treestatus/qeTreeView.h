#pragma once
// The tree view: a scrolling control that keeps its nodes itself (hierarchy, sibling order,
// expanded and selected states), lays out one row per visible node, draws every row through
// one off-screen bitmap, and adds check boxes and radio buttons, multi-selection by mouse and
// keys, a delayed change event, sorting, label editing, link nodes, hints for cut-off texts and
// drag images. Every visible-row operation costs in proportion to the rows on screen, not to
// the number of nodes: rows are counted per subtree and kept current on every change.

#include "platform/vcl/Canvas.h"
#include "platform/vcl/Controls.h"
#include "platform/vcl/ImgList.h"
#include "platform/core/SysUtils.h"
#include "treestatus/qeCanvas.h"

#include <QAbstractScrollArea>
#include <QByteArray>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

class QLineEdit;
class TqeCustomTreeView;
class TqeTreeNodes;

class ETreeViewError : public Exception { public: using Exception::Exception; };

enum TqeCheckboxType : quint8 { cbtNone, cbtCheckbox, cbtRadioButton };
enum TqeNodeAttachMode { namAdd, namAddFirst, namAddChild, namAddChildFirst, namInsert, namInsertAfter };
enum TqeSortType { qestNone, qestData, qestText, qestBoth };
enum TqeItemState { isSelected, isGrayed, isDisabled, isChecked, isFocused, isDefault, isHot, isMarked, isIndeterminate };
using TqeItemStates = TSet<TqeItemState>;
enum THitTest {
    hitAbove, hitBelow, hitNowhere, hitOnItem, hitOnButton, hitOnIcon, hitOnIndent, hitOnLabel, hitOnRight,
    hitOnStateIcon, hitToLeft, hitToRight
};
using THitTests = TSet<THitTest>;
enum TqeTreeViewOption {
    tvoExpandOnDblClk, tvoExpandButtons3D, tvoFlatCheckBoxes, tvoHideSelection, tvoRowSelect, tvoShowButtons,
    tvoShowLines, tvoShowRoot, tvoHotTrack, tvoAutoURL, tvoToolTips, tvoEditText, tvo3StateCheckbox
};
using TqeTreeViewOptions = TSet<TqeTreeViewOption>;
enum TDragMode { dmManual, dmAutomatic };
enum TTreeBorderStyle { bsNone, bsSingle };

class TqeTreeNode {
public:
    explicit TqeTreeNode(TqeTreeNodes* owner);
    virtual ~TqeTreeNode();
    TqeTreeNode(const TqeTreeNode&) = delete;
    TqeTreeNode& operator=(const TqeTreeNode&) = delete;

    TqeTreeNodes* Owner() const { return FOwner; }
    TqeCustomTreeView* TreeView() const;
    QString Text() const { return FText; }
    void SetText(const QString& text);
    QString LinkText() const { return FLinkText; }
    void SetLinkText(const QString& text) { FLinkText = text; }
    QString ExtraText() const { return FExtraText; }
    void SetExtraText(const QString& text) { FExtraText = text; }
    qint32 Data() const { return FData; }
    void SetData(qint32 data);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int index);
    int SelectedIndex() const { return FSelectedIndex; }
    void SetSelectedIndex(int index);
    int OverlayIndex() const { return FOverlayIndex; }
    void SetOverlayIndex(int index);
    int StateIndex() const { return FStateIndex; }
    void SetStateIndex(int index);
    TqeCheckboxType CheckboxType() const { return FCheckboxType; }
    void SetCheckboxType(TqeCheckboxType kind);
    bool Checked() const { return FChecked; }
    void SetChecked(bool value);
    bool Grayed() const { return FGrayed; }
    void SetGrayed(bool value);
    bool MultiSelected() const { return FMultiSelected; }
    bool Deleting() const { return FDeleting; }
    bool InTree() const { return FInTree; }
    // The control's item for the node; none while it is not in the control.
    const void* ItemHandle() const { return FInTree ? this : nullptr; }

    bool Selected() const;
    void SetSelected(bool value);
    bool Focused() const;
    void SetFocused(bool value);
    bool Cut() const { return FCut; }
    void SetCut(bool value);
    bool DropTarget() const;
    void SetDropTarget(bool value);
    bool Expanded() const { return FExpanded; }
    void SetExpanded(bool value) { value ? Expand(false) : Collapse(false); }
    bool HasChildren() const { return FHasChildrenFlag; }
    void SetHasChildren(bool value);

    TqeTreeNode* Parent() const { return FParent; }
    int Level() const;
    int Index() const;
    int AbsoluteIndex() const;
    int Count() const { return FChildCount; }
    // The child at a position; a bad position raises "List index out of bounds (%d)".
    TqeTreeNode* Item(int index) const;
    int IndexOf(const TqeTreeNode* child) const;
    TqeTreeNode* GetFirstChild() const { return FFirstChild; }
    TqeTreeNode* GetLastChild() const { return FLastChild; }
    TqeTreeNode* GetNextSibling() const { return FNext; }
    TqeTreeNode* GetPrevSibling() const { return FPrev; }
    TqeTreeNode* GetNext() const;
    TqeTreeNode* GetPrev() const;
    TqeTreeNode* GetNextVisible() const;
    TqeTreeNode* GetPrevVisible() const;
    bool IsDescendantOf(const TqeTreeNode* node) const;
    bool IsVisible() const;
    // The row, or with textOnly the text, as the tree draws it (client coordinates).
    TRect GetDisplayRect(bool textOnly) const;

    void Expand(bool recurse = false);
    void Collapse(bool recurse = false);
    void SortChildren(std::function<int(TqeTreeNode*, TqeTreeNode*, qint32)> compare = nullptr, qint32 data = 0);
    void AlphaSort() { SortChildren(); }
    void MoveTo(TqeTreeNode* destination, TqeNodeAttachMode mode);
    void Assign(const TqeTreeNode& source);
    void EndLabelEdit(bool cancel);
    void DeleteChildren();
    void Invalidate();
    // Frees the node with its subtree.
    void Delete();
    virtual int GetRecordSize() const { return 294; }

protected:
    friend class TqeTreeNodes;
    friend class TqeCustomTreeView;
    friend class TqeTVMultiSelectAttributes;
    virtual void ReadData(QDataStream& stream, QByteArray& image);
    // One program expand or collapse: the tree's event first, the control's notifications locked.
    void ExpandStep(bool expand);
    virtual void WriteData(QDataStream& stream, QByteArray& image) const;

private:
    TqeTreeNodes* FOwner;
    bool FMultiSelected = false;
    TqeCheckboxType FCheckboxType = cbtNone;
    bool FChecked = false;
    QString FText;
    QString FLinkText;
    QString FExtraText;
    qint32 FData = 0;
    int FImageIndex = 0;
    int FSelectedIndex = 0;
    int FOverlayIndex = -1;
    int FStateIndex = -1;
    bool FDeleting = false;
    bool FInTree = false;
    bool FGrayed = false;
    // The control's item.
    TqeTreeNode* FParent = nullptr;
    TqeTreeNode* FFirstChild = nullptr;
    TqeTreeNode* FLastChild = nullptr;
    TqeTreeNode* FNext = nullptr;
    TqeTreeNode* FPrev = nullptr;
    int FChildCount = 0;
    bool FExpanded = false;
    bool FHasChildrenFlag = false;
    bool FCut = false;
    int FItemStateImage = 0;
    int FSubtreeRows = 1;   // rows the node and its visible descendants take
    int FChildRows = 0;     // rows of the children's subtrees, expanded or not
};

class TqeTreeNodes {
public:
    explicit TqeTreeNodes(TqeCustomTreeView* tree) : FTree(tree) {}
    ~TqeTreeNodes();
    TqeCustomTreeView* Owner() const { return FTree; }
    int Count() const;
    TqeTreeNode* AddChild(TqeTreeNode* parent, const QString& text);
    TqeTreeNode* AddChildObject(TqeTreeNode* parent, const QString& text, qint32 data);
    TqeTreeNode* Add(TqeTreeNode* sibling, const QString& text);
    TqeTreeNode* AddFirst(TqeTreeNode* sibling, const QString& text);
    TqeTreeNode* Insert(TqeTreeNode* sibling, const QString& text);
    // The node at an absolute index in tree order; "Invalid index" when there is none.
    TqeTreeNode* GetItem(int index) const;
    TqeTreeNode* Item(int index) const { return GetItem(index); }
    TqeTreeNode* operator[](int index) const { return GetItem(index); }
    TqeTreeNode* GetFirstNode() const;
    TqeTreeNode* GetNodeFromItem(const void* item) const;
    void Clear();
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }
    // The first node whose text equals text with a-z upper-cased on both sides.
    TqeTreeNode* FindNodeByText(const QString& text, bool visibleOnly) const;
    void Assign(const TqeTreeNodes& source);
    // The "Data" property: every node as records, depth first.
    QByteArray WriteData() const;
    void ReadData(const QByteArray& data);

private:
    friend class TqeTreeNode;
    friend class TqeCustomTreeView;
    TqeTreeNode* InternalAdd(TqeTreeNode* parent, TqeTreeNode* after, bool first, const QString& text, qint32 data);
    void EmptyCache() const
    {
        FCacheNode = nullptr;
        FCacheIndex = -1;
    }

    TqeCustomTreeView* FTree;
    int FUpdateCount = 0;
    mutable TqeTreeNode* FCacheNode = nullptr;
    mutable int FCacheIndex = -1;
    bool FDestroying = false;
};

class TqeTVMultiSelectAttributes {
public:
    explicit TqeTVMultiSelectAttributes(TqeCustomTreeView* tree) : FTree(tree) {}
    bool AutoUnselect() const { return FAutoUnselect; }
    void SetAutoUnselect(bool value) { FAutoUnselect = value; }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    int MultiSelectLevel() const { return FLevel; }
    void SetMultiSelectLevel(int value);
    bool MultiSelectCheckbox() const { return FCheckbox; }
    void SetMultiSelectCheckbox(bool value);
    void Assign(const TqeTVMultiSelectAttributes& source);

private:
    TqeCustomTreeView* FTree;
    bool FAutoUnselect = true;
    bool FEnabled = false;
    int FLevel = 0;
    bool FCheckbox = true;
};

class TqeCustomTreeView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TqeCustomTreeView(QWidget* parent = nullptr);
    ~TqeCustomTreeView() override;

    TqeTreeNodes& Items() { return *FItems; }
    TqeTreeNode* Selected() const { return FSelected; }
    void SetSelected(TqeTreeNode* node);
    TqeTreeNode* TopItem() const;
    void SetTopItem(TqeTreeNode* node);
    TqeTreeNode* DropHighlight() const { return FDropHilite ? FDropHilite : FDropTarget; }
    void SetDropHighlight(TqeTreeNode* node);
    TqeTreeNode* GetNodeAt(int x, int y) const;
    THitTests GetHitTestInfoAt(int x, int y) const;
    bool IsEditing() const;
    void AlphaSort();
    // Makes the node visible: expands its ancestors and scrolls it into view.
    void MakeVisible(TqeTreeNode* node);
    // Starts editing the node's label.
    void EditLabel(TqeTreeNode* node);

    bool AutoExpand() const { return FAutoExpand; }
    void SetAutoExpand(bool value) { FAutoExpand = value; }
    TTreeBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TTreeBorderStyle value);
    int ChangeDelay() const { return FChangeTimer.interval(); }
    void SetChangeDelay(int ms) { FChangeTimer.setInterval(ms); }
    TColor Color() const { return FColor; }
    void SetColor(TColor color);
    TColor FontColor() const { return FFontColor; }
    void SetFontColor(TColor color);
    TColor LineColor() const { return FLineColor; }
    void SetLineColor(TColor color);
    TColor InactiveFocusColor() const { return FInactiveFocusColor; }
    void SetInactiveFocusColor(TColor color);
    TImageList* Images() const { return FImages; }
    void SetImages(TImageList* images);
    TImageList* StateImages() const { return FStateImages; }
    void SetStateImages(TImageList* images);
    int Indent() const { return FIndent; }
    void SetIndent(int indent);
    TqeTVMultiSelectAttributes& MultiSelectAttributes() { return *FMultiSelect; }
    const std::vector<TqeTreeNode*>& MultiSelection() const { return FMultiList; }
    TqeTreeNode* MultiSelectAnchor() const { return FAnchor; }
    TqeTreeViewOptions Options() const { return FOptions; }
    void SetOptions(TqeTreeViewOptions options);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value) { FReadOnly = value; }
    bool RightClickSelects() const { return FRightClickSelects; }
    void SetRightClickSelects(bool value) { FRightClickSelects = value; }
    TqeSortType SortType() const { return FSortType; }
    void SetSortType(TqeSortType value);
    TDragMode DragMode() const { return FDragMode; }
    void SetDragMode(TDragMode mode) { FDragMode = mode; }
    QMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(QMenu* menu) { FPopupMenu = menu; }
    // The height of one row.
    int ItemHeight() const { return FItemHeight; }

    // Multi-selection (see MultiSelectAttributes).
    virtual void SetNodeMultiSelected(TqeTreeNode* node, bool value, bool repaint);
    void ClearMultiSelection(TqeTreeNode* except);
    void ResetMultiSelectChecks();
    bool IsMultiSelectLevel(int level) const;
    bool MultiSelectCheckboxApplies(const TqeTreeNode* node) const;
    bool HasCheckbox(const TqeTreeNode* node) const;
    virtual bool IsNodeInView(TqeTreeNode* node, bool byTop) const;

    // Hints for cut-off texts.
    virtual void HideNodeHint();
    QWidget* HintWindow() const { return FHintWindow; }
    TqeTreeNode* HintedNode() const { return FHintNode; }
    // One tick of the hint timer (callable directly).
    void HintTimerTick();
    // The change-delay timer fired (callable directly).
    void ChangeTimerTick();

    // Dragging: the image made for the node (empty when none could be made) and the drag
    // notifications as the drag reports them.
    QImage DragImage() const { return FDragImage; }
    QPoint DragHotSpot() const { return QPoint(2, 2); }
    void BeginDragNode(TqeTreeNode* node);
    void DragOverAt(int x, int y);
    void DragLeft();
    void DragDropped();

    // The off-screen picture the last paint made (tests probe it).
    const QImage& PaintedImage() const { return FBitmap; }
    // The rows the last paint drew.
    int PaintedCount() const { return FPaintedCount; }

    // "Data" and "StreamVersion" as a form stream holds them.
    QByteArray Data() const { return FItems->WriteData(); }
    void SetData(const QByteArray& data) { FItems->ReadData(data); }
    int StreamVersion() const { return FStreamVersion; }

    std::function<void(TqeCustomTreeView*, TqeTreeNode*)> OnChange;
    std::function<void(TqeCustomTreeView*, TqeTreeNode*, bool& allow)> OnChanging;
    std::function<void(TqeCustomTreeView*, TqeTreeNode*, bool& allow)> OnCollapsing;
    std::function<void(TqeCustomTreeView*, TqeTreeNode*)> OnCollapsed;
    std::function<void(TqeCustomTreeView*, TqeTreeNode*, TqeTreeNode*, qint32 data, int& compare)> OnCompare;
    std::function<void(TqeCustomTreeView*, TqeTreeNode*, TMouseButton, TShiftState, int x, int y)> OnTreeDblClick;
    std::function<void(TqeCustomTreeView*, TqeTreeNode*, TMouseButton, TShiftState, int x, int y)> OnMouseDown;
    std::function<void(TqeCustomTreeView*, TqeTreeNode*, TMouseButton, TShiftState, int x, int y)> OnMouseUp;
    std::function<void(TqeCustomTreeView*, TqeTreeNode*, TShiftState, int x, int y)> OnMouseMove;
    std::function<void(TqeCustomTreeView*, TqeTreeNode*)> OnDeletion;
    std::function<void(TqeCustomTreeView*, TqeTreeNode*, QString& s)> OnEdited;
    std::function<void(TqeCustomTreeView*, TqeTreeNode*, bool& allow)> OnEditing;
    std::function<void(TqeCustomTreeView*, TqeTreeNode*, bool& allow)> OnExpanding;
    std::function<void(TqeCustomTreeView*, TqeTreeNode*)> OnExpanded;
    std::function<void(TqeCustomTreeView*, TqeTreeNode*)> OnGetImageIndex;
    std::function<void(TqeCustomTreeView*, TqeTreeNode*)> OnGetSelectedIndex;
    std::function<void(TqeCustomTreeView*, TqeTreeNode*)> OnToggleCheckbox;
    std::function<void(TqeCustomTreeView*, TqeTreeNode*, TqeItemStates)> OnCalcNodeAttributes;
    std::function<void(TqeCustomTreeView*, TqeTreeNode*, TRect, TqeItemStates, bool& defaultDrawing)> OnDrawText;
    // The framework's events.
    std::function<void(QObject*)> OnClick;
    std::function<void(QObject*)> OnDblClick;
    std::function<void(QObject*, int& key, TShiftState)> OnKeyDown;
    std::function<void(QObject*, QChar& key)> OnKeyPress;
    std::function<void(QObject*, int& key, TShiftState)> OnKeyUp;
    std::function<void(QObject*)> OnEnter;
    std::function<void(QObject*)> OnExit;
    std::function<void(QObject* sender, QObject* source, int x, int y, bool& accept)> OnDragOver;
    std::function<void(QObject* sender, QObject* source, int x, int y)> OnDragDrop;
    std::function<void(QObject* sender)> OnStartDrag;
    std::function<void(QObject* sender, QObject* target, int x, int y)> OnEndDrag;

protected:
    friend class TqeTreeNode;
    friend class TqeTreeNodes;
    friend class TqeTVMultiSelectAttributes;
    virtual TqeTreeNode* CreateNode();
    virtual void DoGetImageIndex(TqeTreeNode* node);
    virtual void DoGetSelectedIndex(TqeTreeNode* node);
    virtual void DoDrawText(TqeTreeNode* node, const TRect& r, TqeItemStates state, bool& defaultDrawing);
    virtual int DoCompare(TqeTreeNode* a, TqeTreeNode* b, qint32 data);
    virtual void DoCalcNodeAttributes(TqeTreeNode* node, TqeItemStates state);
    virtual QString GetNodeText(TqeTreeNode* node) const { return node->Text(); }
    virtual bool GetRowSelect() const { return FOptions.Contains(tvoRowSelect); }
    virtual void BeginCustomDraw();
    virtual void EndCustomDraw();
    virtual void BeforeDrawNode(TqeTreeNode*, const TRect&, TqeItemStates) {}
    virtual void DrawNode(TqeTreeNode* node, TRect r, TqeItemStates state);
    virtual void AfterDrawNode(TqeTreeNode*, const TRect&, TqeItemStates) {}
    virtual void DoToggleCheckbox(TqeTreeNode* node);
    virtual void CreateHintWindow(TqeTreeNode* node);
    virtual bool CanEdit(TqeTreeNode* node);
    virtual bool CanChange(TqeTreeNode* node);
    virtual bool CanCollapse(TqeTreeNode* node);
    virtual bool CanExpand(TqeTreeNode* node);
    virtual void DoChange(TqeTreeNode* node);
    virtual void DoCollapsed(TqeTreeNode* node);
    virtual void DoDeletion(TqeTreeNode* node);
    virtual void DoEdited(bool cancelled, QString text);
    virtual void DoExpanded(TqeTreeNode* node);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // ---- the control: items, rows and states ----
    void LinkItem(TqeTreeNode* node, TqeTreeNode* parent, TqeTreeNode* after, bool first);
    void UnlinkItem(TqeTreeNode* node);
    void AdjustRows(TqeTreeNode* parent, int delta);
    void DeleteItem(TqeTreeNode* node);
    void DeleteChildItems(TqeTreeNode* node);
    // The control's expand or collapse, with its notifications unless the lock is set.
    bool CtlExpand(TqeTreeNode* node, bool expand);
    void SetExpandedFlag(TqeTreeNode* node, bool expand);
    // The control's selection change, with its notifications; false when refused.
    bool CtlSelect(TqeTreeNode* node);
    void SortSiblings(TqeTreeNode* parent, const std::function<int(TqeTreeNode*, TqeTreeNode*)>& compare);
    void ResortSiblingsOf(TqeTreeNode* node);
    int RowOf(const TqeTreeNode* node) const;
    TqeTreeNode* NodeAtRow(int row) const;
    void EnsureLayout() const;
    void UpdateScrollBars() const;
    void ScrollToNode(TqeTreeNode* node);
    int VisibleRows() const;
    // The row's geometry in client coordinates.
    struct TRowGeometry {
        int Top = 0, Bottom = 0;
        int IndentRight = 0;   // where the state slot starts
        int ImageLeft = 0;
        int TextLeft = 0, TextRight = 0;
    };
    TRowGeometry Geometry(const TqeTreeNode* node) const;
    THitTests CtlHitTest(int x, int y, TqeTreeNode** node) const;
    void InvalidateNode(const TqeTreeNode* node);
    int StateSlotWidth() const { return FStateImages ? FStateImages->Width() : 16; }
    bool HasImage(const TqeTreeNode* node) const { return FImages && node->FImageIndex != -2; }
    bool ShowsStateImage(const TqeTreeNode* node) const;
    bool ItemHasStateImage(const TqeTreeNode* node) const { return node->FItemStateImage > 0; }
    void RecalcItemHeight();
    // Images and StateImages: the tree listens to the list's changes and its freeing.
    void SetImageList(TImageList*& list, int (&keys)[2], TImageList* images);

    // ---- drawing ----
    TRect NodeIndentRect(const TqeTreeNode* node) const;
    int LineX(const TqeTreeNode* node) const;
    void SetCanvasColors(TqeTreeNode* node, TqeItemStates state);
    void DrawLinesAndButton(TqeTreeNode* node);
    void DrawButton(TqeTreeNode* node, QPoint p, int size);
    void DrawNodeImages(TqeTreeNode* node, TqeItemStates state);
    TqeItemStates StateOf(const TqeTreeNode* node) const;

    // ---- input ----
    void HandleMouseDown(TMouseButton button, TShiftState shift, int x, int y);
    void CheckboxAndMultiSelectPress(TqeTreeNode* node, THitTests hit, TShiftState shift, int x);
    void ToggleCheck(TqeTreeNode* node);
    bool CtlKeyDown(int key, TShiftState shift, const QString& text);
    void TrackButtonMove(const QPoint& p);
    void UpdateHint(TqeTreeNode* node);
    void EndEdit(bool cancel);
    void StartDragFromPress();

    std::unique_ptr<TqeTreeNodes> FItems;
    std::unique_ptr<TqeTVMultiSelectAttributes> FMultiSelect;
    TqeTreeNode* FFirstRoot = nullptr;
    TqeTreeNode* FLastRoot = nullptr;
    int FRootCount = 0;
    int FNodeCount = 0;
    int FTotalRows = 0;
    TqeTreeNode* FSelected = nullptr;
    TqeTreeNode* FDropHilite = nullptr;
    TqeTreeNode* FDropTarget = nullptr;   // remembered while a drag is outside
    TqeTreeNode* FHot = nullptr;
    mutable TqeTreeNode* FTopNode = nullptr;
    mutable int FTopRow = 0;
    mutable bool FLayoutDirty = true;
    mutable int FMaxRight = 0;
    int FItemHeight = 16;
    int FIndent = 19;
    bool FAutoExpand = false;
    TTreeBorderStyle FBorderStyle = bsSingle;
    TColor FColor = clWindow;
    TColor FFontColor = clWindowText;
    TColor FLineColor = clBtnShadow;
    TColor FInactiveFocusColor = clBtnFace;
    TImageList* FImages = nullptr;
    TImageList* FStateImages = nullptr;
    int FImagesKeys[2] = {0, 0};
    int FStateImagesKeys[2] = {0, 0};
    TqeTreeViewOptions FOptions{tvoExpandOnDblClk, tvoHideSelection, tvoShowButtons, tvoShowLines, tvoShowRoot, tvoToolTips};
    bool FReadOnly = false;
    bool FRightClickSelects = false;
    TqeSortType FSortType = qestNone;
    TDragMode FDragMode = dmManual;
    QPointer<QMenu> FPopupMenu;
    QTimer FChangeTimer;
    TqeTreeNode* FChangeNode = nullptr;
    bool FClearing = false;
    bool FExpandLock = false;
    int FStreamVersion = 0;
    // Label editing.
    QLineEdit* FEditor = nullptr;
    TqeTreeNode* FEditNode = nullptr;
    QTimer FEditTimer;
    // Mouse.
    TqeTreeNode* FPressSelected = nullptr;
    TqeTreeNode* FPressNode = nullptr;
    QPoint FPressPos;
    bool FPressLeft = false;
    TqeTreeNode* FButtonNode = nullptr;
    bool FButtonPressed = false;
    TqeTreeNode* FRightClicked = nullptr;
    // Multi-selection.
    std::vector<TqeTreeNode*> FMultiList;
    TqeTreeNode* FAnchor = nullptr;
    // Hints.
    QWidget* FHintWindow = nullptr;
    QTimer* FHintTimer = nullptr;
    int FHintTicks = 0;
    TqeTreeNode* FHintNode = nullptr;
    // Dragging.
    QImage FDragImage;
    TqeTreeNode* FDragNode = nullptr;
    bool FDragStarted = false;
    // Painting.
    QImage FBitmap;
    std::unique_ptr<TCanvas> FCanvas;
    int FPaintedCount = 0;
    bool FPainting = false;
    QString FTypeAhead;
    qint64 FTypeAheadTime = 0;
};

// The tree as forms place it.
class TqeTreeView : public TqeCustomTreeView {
    Q_OBJECT
public:
    explicit TqeTreeView(QWidget* parent = nullptr) : TqeCustomTreeView(parent) {}
};
