#pragma once
// The data grid's paint options: a background picture and how it is drawn, the colours of
// alternating rows and of the active record, and which parts of the grid are tinted over the
// picture. The painter renders the picture once per change into the grid-sized paint bitmap
// and prepares tinted copies; the grid's painting copies cell backgrounds out of them.

#include "gridlib/core/kqbitmap.h"
#include "platform/vcl/Canvas.h"
#include "platform/vcl/Controls.h"

#include <QObject>
#include <memory>

class QWidget;

enum TkqBackgroundDrawStyle { bdsTile, bdsStretch, bdsTopLeft, bdsCenter };
enum TkqAlternatingRowRegion { arrFixedColumns, arrDataColumns, arrActiveDataColumn };
using TkqAlternatingRowRegions = TSet<TkqAlternatingRowRegion>;
Q_DECLARE_METATYPE(TkqAlternatingRowRegions)
enum TkqBackgroundOption { coFillDataCells, coBlendFixedRow, coBlendFixedColumn, coBlendActiveRecord, coBlendAlternatingRow };
using TkqBackgroundOptions = TSet<TkqBackgroundOption>;
Q_DECLARE_METATYPE(TkqBackgroundOptions)

// Published (by name) as the grid's PaintOptions; owned by the grid's code, not by a parent.
class TkqGridPaintOptions : public QObject {
    Q_OBJECT
    Q_PROPERTY(int BackgroundDrawStyle READ BackgroundDrawStyleValue WRITE SetBackgroundDrawStyleValue)
    Q_PROPERTY(TkqAlternatingRowRegions AlternatingRowRegions READ AlternatingRowRegions WRITE SetAlternatingRowRegions)
    Q_PROPERTY(bool FastRecordScrolling READ FastRecordScrolling WRITE SetFastRecordScrolling)
    Q_PROPERTY(int AlternatingRowColor READ AlternatingRowColor WRITE SetAlternatingRowColor)
    Q_PROPERTY(int ActiveRecordColor READ ActiveRecordColor WRITE SetActiveRecordColor)
    Q_PROPERTY(TkqBackgroundOptions BackgroundOptions READ BackgroundOptions WRITE SetBackgroundOptions)

public:
    // The grid (a TCustomGrid offering TkqGridHost, or none) and its paint bitmap, which stays
    // the grid's.
    TkqGridPaintOptions(QWidget* grid, TBitmap* paintBitmap);
    virtual ~TkqGridPaintOptions();
    TkqGridPaintOptions(const TkqGridPaintOptions&) = delete;
    TkqGridPaintOptions& operator=(const TkqGridPaintOptions&) = delete;

    // The background picture (any picture format, held decoded); set by copy.
    const TBitmap& BackgroundBitmap() const { return FBackgroundBitmap; }
    // For loading a picture in place; that does not by itself ask for new copies.
    TBitmap& BackgroundBitmap() { return FBackgroundBitmap; }
    virtual void SetBackgroundBitmap(const TBitmap& picture);
    TkqBackgroundDrawStyle BackgroundDrawStyle() const { return FBackgroundDrawStyle; }
    virtual void SetBackgroundDrawStyle(TkqBackgroundDrawStyle style);
    TkqAlternatingRowRegions AlternatingRowRegions() const { return FAlternatingRowRegions; }
    virtual void SetAlternatingRowRegions(TkqAlternatingRowRegions regions);
    bool FastRecordScrolling() const { return FFastRecordScrolling; }
    void SetFastRecordScrolling(bool value) { FFastRecordScrolling = value; }
    TColor AlternatingRowColor() const { return FAlternatingRowColor; }
    virtual void SetAlternatingRowColor(TColor color);
    TColor ActiveRecordColor() const { return FActiveRecordColor; }
    virtual void SetActiveRecordColor(TColor color);
    TkqBackgroundOptions BackgroundOptions() const { return FBackgroundOptions; }
    virtual void SetBackgroundOptions(TkqBackgroundOptions options);

    // The tint colours of the fixed columns and of the title row (the grid keeps them at its
    // title colour).
    TColor FixedColumnTint() const { return FFixedColumnTint; }
    void SetFixedColumnTint(TColor color) { FFixedColumnTint = color; }
    TColor TitleRowTint() const { return FTitleRowTint; }
    void SetTitleRowTint(TColor color) { FTitleRowTint = color; }

    // The prepared copies; null until needed.
    const TBitmap* BackgroundCopy() const { return FBackgroundCopy.get(); }
    const TkqBitmap* ActiveRecordCopy() const { return FActiveRecordCopy.get(); }
    const TkqBitmap* AlternatingRowCopy() const { return FAlternatingRowCopy.get(); }
    const TkqBitmap* FixedColumnCopy() const { return FFixedColumnCopy.get(); }
    const TkqBitmap* TitleRowCopy() const { return FTitleRowCopy.get(); }

    bool InitBlendBitmapsFlag() const { return FInitBlendBitmaps; }
    void SetInitBlendBitmapsFlag(bool value) { FInitBlendBitmaps = value; }
    // Renders the picture and prepares the copies when forced or asked for.
    void PrepareBackground(bool force);
    // A canvas on the paint bitmap, for the time of one paint.
    virtual std::unique_ptr<TCanvas> GetPaintCanvas();
    // A picture is set and data cells show it.
    virtual bool FillsDataCells() const;

    QWidget* Grid() const { return FGrid; }
    TBitmap* PaintBitmap() const { return FPaintBitmap; }

    // Colour depth of the screen (tests may pretend a palette display).
    static int ScreenColorDepth();
    static void SetScreenColorDepthForTesting(int bits);

private:
    int BackgroundDrawStyleValue() const { return int(FBackgroundDrawStyle); }
    void SetBackgroundDrawStyleValue(int v) { SetBackgroundDrawStyle(TkqBackgroundDrawStyle(v)); }
    void Changed(bool rebuild);
    void RenderPicture(TCanvas& canvas, const TRect& r);

    QWidget* FGrid;
    TBitmap* FPaintBitmap;
    TBitmap FBackgroundBitmap;
    TkqBackgroundDrawStyle FBackgroundDrawStyle = bdsTile;
    TkqAlternatingRowRegions FAlternatingRowRegions{arrFixedColumns, arrDataColumns, arrActiveDataColumn};
    bool FFastRecordScrolling = true;
    TColor FAlternatingRowColor = clNone;
    TColor FActiveRecordColor = clNone;
    TkqBackgroundOptions FBackgroundOptions;
    TColor FFixedColumnTint = clNone;
    TColor FTitleRowTint = clNone;
    std::unique_ptr<TBitmap> FBackgroundCopy;
    std::unique_ptr<TkqBitmap> FActiveRecordCopy;
    std::unique_ptr<TkqBitmap> FAlternatingRowCopy;
    std::unique_ptr<TkqBitmap> FFixedColumnCopy;
    std::unique_ptr<TkqBitmap> FTitleRowCopy;
    bool FInitBlendBitmaps = false;
};
