#include "gridlib/dialogs/kqriched.h"

#include "gridlib/core/kqgroupbox.h"
#include "platform/vcl/Printers.h"

#include <QPainter>
#include <cmath>

namespace {

constexpr double CentimetresPerInch = 2.537;
// The markers' pictures are 11 pixels square; half a marker is 5.
constexpr int MarkerSize = 11;

// A marker's picture: an outlined triangle pointing up (standing on the bottom edge) or down
// (hanging from the top edge), on a background colour the marker leaves transparent.
TBitmap MarkerBitmap(bool up)
{
    QImage image(MarkerSize, MarkerSize, QImage::Format_RGB32);
    image.fill(QColor(255, 0, 255));
    QPainter p(&image);
    QPolygon shape;
    if (up) shape << QPoint(5, 0) << QPoint(10, 5) << QPoint(10, 9) << QPoint(0, 9) << QPoint(0, 5);
    else shape << QPoint(0, 0) << QPoint(10, 0) << QPoint(10, 4) << QPoint(5, 9) << QPoint(0, 4);
    p.setPen(Qt::black);
    p.setBrush(QColor(192, 192, 192));
    p.drawPolygon(shape);
    p.end();
    return TBitmap(image);
}

} // namespace

TkqRulerPanel::TkqRulerPanel(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Ruler"));
    setAutoFillBackground(false);
}

int TkqRulerPanel::Resolution() const { return FRichEdit ? FRichEdit->ScreenPixelsPerInch() : 96; }

double TkqRulerPanel::PixelsPerUnit() const
{
    const double ppi = Resolution();
    return FRichEdit && FRichEdit->MeasurementUnits == muCentimeters ? ppi / CentimetresPerInch : ppi;
}

int TkqRulerPanel::TwipsFromPixels(int pixels) const { return pixels * 1440 / Resolution(); }
int TkqRulerPanel::PixelsFromTwips(int twips) const { return twips * Resolution() / 1440; }

void TkqRulerPanel::CreateMarkers()
{
    auto make = [this](const char* name, bool up) {
        auto* marker = new TkqTrackIcon(this);
        marker->setObjectName(QLatin1String(name));
        marker->SetBitmap(MarkerBitmap(up));
        marker->OnEndDrag = [this](QObject* sender) { MarkerEndDrag(static_cast<TkqTrackIcon*>(sender)); };
        marker->show();
        return marker;
    };
    FLeftMarker = make("LeftMarker", true);
    FRightMarker = make("RightMarker", true);
    FFirstMarker = make("FirstLineMarker", false);
    const int half = MarkerSize / 2;
    for (TkqTrackIcon* m : {FLeftMarker, FRightMarker, FFirstMarker}) {
        m->MinValue = InnerRect().Left - half;
        m->MaxValue = InnerRect().Right - half;
    }
    FLeftMarker->move(FLeftMarker->MinValue, InnerRect().Bottom - MarkerSize + 4);
    FRightMarker->move(InnerRect().Right - half, InnerRect().Bottom - MarkerSize + 4);
    FFirstMarker->move(FFirstMarker->MinValue + 10, InnerRect().Top - 2);
}

// Inches of the printer page less the side margins.
static double PrintableInches(const TkqCustomRichEdit* edit)
{
    TPrinter& printer = Printer();
    const int twips = int(qint64(printer.PhysicalPageSize().width()) * 1440 / qMax(printer.XResolution(), 1));
    double margins = edit->PrintMargins()->Left + edit->PrintMargins()->Right;
    if (edit->MeasurementUnits == muCentimeters) margins /= CentimetresPerInch;
    return twips / 1440.0 - margins;
}

double TkqRulerPanel::Extent() const
{
    if (FRichEdit && FRichEdit->IsPrinterWidth()) {
        const double inches = PrintableInches(FRichEdit);
        return FRichEdit->MeasurementUnits == muCentimeters ? inches * CentimetresPerInch : inches;
    }
    return (width() - 12) / PixelsPerUnit();
}

void TkqRulerPanel::SetPrinterWidth()
{
    if (!FRichEdit) return;
    resize(int(Resolution() * PrintableInches(FRichEdit)) + 12, height());
    for (TkqTrackIcon* m : {FLeftMarker, FRightMarker, FFirstMarker})
        if (m) m->MaxValue = InnerRect().Right - m->width() / 2;
}

void TkqRulerPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    TCanvas canvas(painter);
    canvas.Brush.Color = clBtnFace;
    canvas.FillRect(TRect(0, 0, width(), height()));
    const TRect inner = InnerRect();
    const int L = inner.Left, T = inner.Top, R = inner.Right, B = inner.Bottom;
    canvas.Brush.Color = clWhite;
    canvas.FillRect(inner);
    auto line = [&](TColor color, std::initializer_list<QPoint> points) {
        canvas.Pen.Color = color;
        canvas.Polyline(points);
    };
    line(clBtnShadow, {{L - 1, B}, {L - 1, T}, {R + 1, T}});
    line(clBlack, {{L, B}, {L, T + 1}, {R + 1, T + 1}});
    line(clBtnFace, {{L - 1, B}, {R + 1, B}, {R + 1, T}});
    line(clBtnHighlight, {{L - 1, B + 1}, {R + 2, B + 1}, {R + 2, T}});

    const double extent = Extent();
    const double ppu = PixelsPerUnit();
    const int n = FRichEdit && FRichEdit->MeasurementUnits == muCentimeters ? 4 : 8;
    QFont numbers = font();
    numbers.setPixelSize(9);
    canvas.Font = TFont(numbers, clBlack);
    canvas.Brush.Style = bsClear;
    canvas.Pen.Color = clBlack;
    for (int r = 0; r <= int(extent) + 1 && r < extent; ++r) {
        if (r > 0) {
            const QString number = QString::number(r);
            canvas.TextOut(int(r * ppu + L - canvas.TextWidth(number) / 2.0), T + 3, number);
        }
        for (int i = 1; i < n; ++i) {
            const double position = r + double(i) / n;
            if (position >= extent) break;
            const int x = int(position * ppu) + L;
            if (i == n / 2) line(clBlack, {{x, T + 7}, {x, B - 5}});
            else line(clBlack, {{x, T + 8}, {x, B - 7}});
        }
    }
}

void TkqRulerPanel::UpdateMarkers()
{
    if (!FRichEdit || !FLeftMarker) return;
    int offset = 0, right = 0, start = 0;
    FRichEdit->GetParaIndents(offset, right, start);
    const int L = InnerRect().Left;
    FLeftMarker->move(L + PixelsFromTwips(start + offset) - FLeftMarker->width() / 2, FLeftMarker->y());
    FRightMarker->move(width() - PixelsFromTwips(right) - FRightMarker->width(), FRightMarker->y());
    FFirstMarker->move(L + PixelsFromTwips(start) - FFirstMarker->width() / 2, FFirstMarker->y());
}

// Where the marker lands when its centre snaps to the nearest tick at or below it.
int TkqRulerPanel::Snapped(const TkqTrackIcon* marker) const
{
    const double ppu = PixelsPerUnit();
    const int n = FRichEdit && FRichEdit->MeasurementUnits == muCentimeters ? 4 : 8;
    int thousandths = int((marker->x() + marker->width() / 2) / ppu * 1000);
    thousandths -= thousandths % (1000 / n);
    const int left = int(thousandths / 1000.0 * ppu + 1);
    return qMin(left, marker->MaxValue);
}

void TkqRulerPanel::MarkerEndDrag(TkqTrackIcon* marker)
{
    if (!FRichEdit || !FLeftMarker) return;
    const int leftCandidate = Snapped(FLeftMarker);
    const int rightCandidate = Snapped(FRightMarker);
    const int firstCandidate = Snapped(FFirstMarker);
    // the indent markers stay 48 pixels clear of the right one
    if (marker == FLeftMarker) FLeftMarker->move(qMin(leftCandidate, rightCandidate - 48), FLeftMarker->y());
    else if (marker == FFirstMarker) FFirstMarker->move(qMin(firstCandidate, rightCandidate - 48), FFirstMarker->y());
    else FRightMarker->move(qMax(rightCandidate, qMax(leftCandidate, firstCandidate) + 48), FRightMarker->y());

    const int left = TwipsFromPixels(FLeftMarker->x() - FLeftMarker->MinValue);
    const int first = TwipsFromPixels(FFirstMarker->x() - FFirstMarker->MinValue);
    if (marker == FLeftMarker || marker == FFirstMarker) {
        FRichEdit->SetParaFormat(0x14, QString(), false, left - first, 0, first, 0, nullptr, 0, 0, 0, 0);
    } else {
        const int w = FRightMarker->width();
        const int pixels = FRichEdit->IsPrinterWidth()
                               ? FRightMarker->MaxValue - FRichEdit->GutterWidth() - 4 - FRightMarker->x() + 2 * (w / 2)
                               : FRichEdit->width() - FRichEdit->GutterWidth() - 4 - FRightMarker->x() + w / 2;
        FRichEdit->SetParaFormat(0x08, QString(), false, 0, TwipsFromPixels(pixels), 0, 0, nullptr, 0, 0, 0, 0);
    }
}
