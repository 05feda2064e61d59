#pragma once
// The popup menu of the utility library: besides the plain style it draws its items itself,
// with images from an image list or with per-item pictures, check marks or sunken boxes for
// checked items, selected items as lowered or raised buttons, and a coloured margin strip
// along the left edge. Selecting an item sets the application's hint (and the menu's cursor).

#include "platform/vcl/Canvas.h"
#include "platform/vcl/ImgList.h"
#include "platform/vcl/Menus.h"

#include <functional>

enum TVzMenuStyle { msStandard, msOwnerDraw, msBtnLowered, msBtnRaised };

class TVzPopupMenu : public TPopupMenu {
    Q_OBJECT
public:
    explicit TVzPopupMenu(QObject* owner = nullptr);
    ~TVzPopupMenu() override;

    TVzMenuStyle Style() const { return FStyle; }
    void SetStyle(TVzMenuStyle value);
    TImageList* Images() const { return FImages; }
    void SetImages(TImageList* images);
    bool ShowCheckMarks = true;
    unsigned LeftMargin = 0;
    unsigned MinTextOffset = 0;
    // A cursor number (the library's crVzHand or crVzDrag); 0 leaves the cursor alone.
    int Cursor = 0;
    bool OwnerDraw() const { return FOwnerDraw; }
    // The canvas items are drawn on while a drawing event runs.
    TCanvas* Canvas() const { return FCanvas; }

    std::function<void(TVzPopupMenu*, TMenuItem*, TOwnerDrawState, int& imageIndex)> OnGetImageIndex;
    std::function<void(TVzPopupMenu*, TMenuItem*, const TRect&, TOwnerDrawState)> OnDrawItem;
    std::function<void(TVzPopupMenu*, const TRect&)> OnDrawMargin;
    std::function<void(TVzPopupMenu*, TMenuItem*, TOwnerDrawState, TFont& font, TColor& color,
                       const TGraphic*& graphic, int& numGlyphs)>
        OnGetItemParams;
    std::function<void(TVzPopupMenu*, TMenuItem*, int& width, int& height)> OnMeasureItem;

    QSize MeasureItem(TMenuItem* item) override;
    void DrawItem(TCanvas& canvas, TMenuItem* item, const TRect& rect, TOwnerDrawState state) override;
    void ItemSelected(TMenuItem* item, bool byMouse, QWidget* window) override;

    // Whether the style or the images ask for drawing by the menu itself.
    bool WantsOwnerDraw() const;
    // The button style code of the drawing: 1 lowered, 2 raised, 0 otherwise.
    int ButtonStyleCode() const { return FStyle == msBtnLowered ? 1 : FStyle == msBtnRaised ? 2 : 0; }
    // The offset of a check mark's column: 30% of the check-mark width.
    static int CheckOffset();

protected:
    void DoPopup() override;
    virtual void PaintLeftMargin(const TRect& rect);
    virtual void SetOwnerDrawState(bool value);
    virtual void GetImageIndex(TMenuItem* item, TOwnerDrawState state, int& imageIndex);
    virtual void GetItemParams(TMenuItem* item, TOwnerDrawState state, TFont& font, TColor& color,
                               const TGraphic*& graphic, int& numGlyphs);
    virtual void DoMeasureItem(TMenuItem* item, int& width, int& height);

private:
    bool IsTopLevel(const TMenuItem* item) const { return item->Parent() == Items(); }
    void DrawContent(TCanvas& canvas, TMenuItem* item, TRect rect, TOwnerDrawState state, int imageIndex,
                     int numGlyphs, const TGraphic* graphic);
    void ImagesChanged();
    TVzMenuStyle FStyle = msStandard;
    TImageList* FImages = nullptr;
    int FImagesChangeKey = 0;
    int FImagesFreeKey = 0;
    bool FOwnerDraw = false;
    TCanvas* FCanvas = nullptr;
};
