#pragma once
// The speed button: a push button with a glyph and a caption that can latch down in a group,
// repeat its click while held, look flat until the mouse is over it, grey its glyph while
// inactive and drop down a popup menu. The glyph images of the button states are made on
// demand and shared between all buttons through a cache of image lists by image size.

#include "platform/vcl/Canvas.h"
#include "platform/vcl/Controls.h"
#include "platform/vcl/ImgList.h"
#include "platform/vcl/Menus.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class QAction;
class QTimer;

enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
enum TButtonStyle { bsAutoDetect, bsWin31, bsNew };
enum TVzDropDownMenuPos { dmpBottom, dmpRight };

// An image list of one image size whose slots are reserved and released one by one; a
// released slot keeps its image until it is reused.
class TGlyphList : public TImageList {
public:
    TGlyphList(int width, int height) : TImageList(width, height) {}
    // Reserves a slot and puts the image there, the pixels of the mask colour left out.
    int AddGlyph(const TBitmap& image, TColor maskColor);
    void ReleaseGlyph(int index);
    int UsedCount() const { return FUsedCount; }

private:
    std::vector<bool> FUsed;
    int FUsedCount = 0;
};

// The shared image lists, one per image size.
class TGlyphCache {
public:
    // The list of exactly that size; a new one when there is none.
    TGlyphList* GetList(int width, int height);
    // Frees the list when no slot of it is used any more.
    void ReturnList(TGlyphList* list);
    bool Empty() const { return FLists.empty(); }
    int Count() const { return int(FLists.size()); }

private:
    std::vector<std::unique_ptr<TGlyphList>> FLists;
};
// The program's one cache; null while no glyph object or list exists.
TGlyphCache* GlyphCache();

// The glyph of a button: the source bitmap (up to five cells in state order) and the images
// made from it.
class TVzButtonGlyph {
public:
    TVzButtonGlyph();
    ~TVzButtonGlyph();
    TVzButtonGlyph(const TVzButtonGlyph&) = delete;
    TVzButtonGlyph& operator=(const TVzButtonGlyph&) = delete;

    // The source bitmap; changing it in place (then calling its Changed) rebuilds the images.
    TBitmap& Glyph() { return FOriginal; }
    void SetGlyph(const TBitmap& glyph);
    int NumGlyphs() const { return FNumGlyphs; }
    void SetNumGlyphs(int value);
    TColor TransparentColor() const { return FTransparentColor; }
    TAlignment Alignment = taCenter;
    bool WordWrap = false;
    std::function<void()> OnChange;

    // The image of a state, made when first asked for; -1 without a glyph.
    int CreateButtonGlyph(TButtonState state);
    TGlyphList* GlyphList() const { return FGlyphList; }
    // Drops every image (they are made again when needed).
    void Invalidate();

    struct TLayout {
        QPoint GlyphPos;
        QSize GlyphSize;
        TRect TextBounds;       // including the drop-down mark's room when the mark follows the text
        QString Caption;        // the caption as fitted
        bool MarkAfterText = false;
    };
    TLayout CalcButtonLayout(TCanvas& canvas, const TRect& client, const QString& caption, TButtonLayout layout,
                             int margin, int spacing, bool dropDownMark, unsigned textFlags,
                             const TImageList* images = nullptr, int imageIndex = -1) const;
    // Draws glyph, caption and drop-down mark; returns the rectangle of the caption.
    TRect Draw(TCanvas& canvas, const TRect& client, const QString& caption, TButtonLayout layout, int margin,
               int spacing, bool dropDownMark, TButtonState state, unsigned textFlags,
               const TImageList* images = nullptr, int imageIndex = -1);

    // A colour as the inactive glyph shows it.
    static TColor GreyColor(TColor color, TColor transparent);

private:
    void GlyphChanged();
    TBitmap FOriginal;
    int FNumGlyphs = 1;
    TColor FTransparentColor = clFuchsia;
    TGlyphList* FGlyphList = nullptr;
    int FIndexes[5] = {-1, -1, -1, -1, -1};
    std::map<std::pair<const TImageList*, int>, QImage> FGreyImages;
};

class TVzSpeedButton : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool Down READ Down WRITE SetDown)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(int GroupIndex READ GroupIndex WRITE SetGroupIndex)
    Q_PROPERTY(bool AllowAllUp READ AllowAllUp WRITE SetAllowAllUp)
    Q_PROPERTY(bool Flat READ Flat WRITE SetFlat)

public:
    explicit TVzSpeedButton(QWidget* parent = nullptr);
    ~TVzSpeedButton() override;

    QString Caption() const { return FCaption; }
    void SetCaption(const QString& caption);
    // The source bitmap the program assigned (not the images made from it).
    const TBitmap& GetGlyph() const { return const_cast<TVzButtonGlyph&>(FGlyph).Glyph(); }
    TBitmap& Glyph() { return FGlyph.Glyph(); }
    void SetGlyph(const TBitmap& glyph);
    void SetGlyph(const QImage& glyph) { SetGlyph(TBitmap(glyph)); }
    TVzButtonGlyph& ButtonGlyph() { return FGlyph; }
    int NumGlyphs() const { return FGlyph.NumGlyphs(); }
    void SetNumGlyphs(int value);

    bool Down() const { return FDown; }
    void SetDown(bool value);
    int GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int value);
    bool AllowAllUp() const { return FAllowAllUp; }
    void SetAllowAllUp(bool value);
    bool Flat() const { return FFlat; }
    void SetFlat(bool value);
    TPopupMenu* DropDownMenu() const { return FDropDownMenu; }
    void SetDropDownMenu(TPopupMenu* menu);
    TVzDropDownMenuPos MenuPosition = dmpBottom;
    bool MarkDropDown() const { return FMarkDropDown; }
    void SetMarkDropDown(bool value);
    bool GrayedInactive() const { return FGrayedInactive; }
    void SetGrayedInactive(bool value);
    bool AllowTimer() const { return FAllowTimer; }
    void SetAllowTimer(bool value);
    int InitPause = 500;
    int RepeatInterval = 100;
    TButtonLayout Layout() const { return FLayout; }
    void SetLayout(TButtonLayout value);
    int Margin() const { return FMargin; }
    // Values below -1 are refused.
    void SetMargin(int value);
    int Spacing() const { return FSpacing; }
    void SetSpacing(int value);
    TButtonStyle Style() const { return FStyle; }
    void SetStyle(TButtonStyle value);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);
    TAlignment Alignment() const { return FGlyph.Alignment; }
    void SetAlignment(TAlignment value);
    bool WordWrap() const { return FGlyph.WordWrap; }
    void SetWordWrap(bool value);
    int ModalResult = 0;
    QAction* Action() const { return FAction; }
    void SetAction(QAction* action);

    TButtonState State() const { return FState; }
    bool MouseInControl() const { return FMouseInControl; }
    // The state the button is drawn in: inactive for a flat button away from the mouse.
    TButtonState DrawnState() const;
    // Whether the point (client coordinates) counts as on the button: the bottom row does.
    bool Inside(const QPoint& p) const { return p.x() >= 0 && p.x() < width() && p.y() >= 0 && p.y() <= height(); }
    // The client point the drop-down menu opens at.
    QPoint DropDownPoint() const;

    // The click: the form's modal result, then OnClick or the action.
    virtual void Click();
    // One tick of the repeat timer (the timer calls it; tests may too).
    void RepeatTimerTick();
    QTimer* RepeatTimer() const { return FRepeatTimer; }
    // Asks the mouse where it is and updates the mouse-in-control state.
    void UpdateTracking();

    std::function<void(QObject*)> OnClick;
    std::function<void(QObject*)> OnDblClick;
    std::function<void(QObject*)> OnMouseEnter;
    std::function<void(QObject*)> OnMouseLeave;
    std::function<void(QObject*, TMouseButton, TShiftState, int, int)> OnMouseDown;
    std::function<void(QObject*, TMouseButton, TShiftState, int, int)> OnMouseUp;

    QSize sizeHint() const override { return QSize(25, 25); }

protected:
    virtual void PaintGlyph(TCanvas& canvas, const TRect& rect, TButtonState state, bool drawMark);
    // Draws the whole button into the canvas (the off-screen picture).
    virtual void PaintButton(TCanvas& canvas);
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    // The release handling (also run at once after a drop-down menu closes).
    void DoMouseUp(Qt::MouseButton button, const QPoint& pos);

private:
    void UpdateExclusive();
    void ButtonPressed(int groupIndex, TVzSpeedButton* sender);
    void SetMouseInControl(bool value);
    void ActionChanged();
    void MakeStateImage();
    TVzButtonGlyph FGlyph;
    QString FCaption;
    int FShortcutId = 0;
    TButtonState FState = bsUp;
    bool FDown = false;
    int FGroupIndex = 0;
    bool FAllowAllUp = false;
    bool FFlat = false;
    bool FMarkDropDown = true;
    bool FGrayedInactive = true;
    bool FAllowTimer = false;
    TButtonLayout FLayout = blGlyphTop;
    int FMargin = -1;
    int FSpacing = 1;
    TButtonStyle FStyle = bsAutoDetect;
    bool FTransparent = false;
    bool FDragging = false;
    bool FPressed = false;
    bool FMouseInControl = false;
    bool FMenuTracking = false;
    QPointer<TPopupMenu> FDropDownMenu;
    QPointer<QAction> FAction;
    QTimer* FRepeatTimer = nullptr;
};
