// The navigator's glyphs: one enabled and one disabled picture per style, 18 x 18, drawn here in
// the few colours of the old 16-colour bitmaps (the disabled ones as grey outlines with a white
// relief).

#include "gridlib/dialogs/kqnavigator.h"
#include "platform/vcl/ImgList.h"

#include <QPainter>
#include <QPainterPath>
#include <memory>

namespace {

constexpr int Side = 18;

QPainterPath Triangle(double x, double y, double w, double h, bool right)
{
    QPainterPath p;
    if (right) {
        p.moveTo(x, y);
        p.lineTo(x + w, y + h / 2);
        p.lineTo(x, y + h);
    } else {
        p.moveTo(x + w, y);
        p.lineTo(x, y + h / 2);
        p.lineTo(x + w, y + h);
    }
    p.closeSubpath();
    return p;
}

QPainterPath Box(double x, double y, double w, double h)
{
    QPainterPath p;
    p.addRect(x, y, w, h);
    return p;
}

// The shapes of a style: solid parts and line parts.
void Shapes(TkqNavButtonStyle style, QPainterPath& solid, QPainterPath& lines)
{
    switch (style) {
    case nbsFirst: solid.addPath(Box(4, 4, 2, 10)); solid.addPath(Triangle(7, 4, 6, 10, false)); break;
    case nbsPrior: solid.addPath(Triangle(6, 4, 6, 10, false)); break;
    case nbsNext: solid.addPath(Triangle(6, 4, 6, 10, true)); break;
    case nbsLast: solid.addPath(Triangle(5, 4, 6, 10, true)); solid.addPath(Box(12, 4, 2, 10)); break;
    case nbsInsert: solid.addPath(Box(4, 8, 10, 2)); solid.addPath(Box(8, 4, 2, 10)); break;
    case nbsDelete: solid.addPath(Box(4, 8, 10, 2)); break;
    case nbsEdit: {
        QPainterPath t;
        t.moveTo(4, 13);
        t.lineTo(9, 5);
        t.lineTo(14, 13);
        t.closeSubpath();
        solid.addPath(t);
        break;
    }
    case nbsPost: lines.moveTo(4, 9); lines.lineTo(7.5, 13); lines.lineTo(14, 5); break;
    case nbsCancel: lines.moveTo(5, 5); lines.lineTo(13, 13); lines.moveTo(13, 5); lines.lineTo(5, 13); break;
    case nbsRefresh:
        lines.arcMoveTo(4, 4, 10, 10, 60);
        lines.arcTo(4, 4, 10, 10, 60, 280);
        solid.addPath(Triangle(10, 2, 4, 5, true));
        break;
    case nbsPriorPage: solid.addPath(Triangle(3, 4, 5, 10, false)); solid.addPath(Triangle(9, 4, 5, 10, false)); break;
    case nbsNextPage: solid.addPath(Triangle(4, 4, 5, 10, true)); solid.addPath(Triangle(10, 4, 5, 10, true)); break;
    case nbsSaveBookmark:
        lines.addRect(4, 3, 9, 12);
        solid.addPath(Box(10, 3, 2, 8));
        break;
    case nbsRestoreBookmark:
        lines.moveTo(2, 5); lines.lineTo(9, 6); lines.lineTo(16, 5); lines.lineTo(16, 14); lines.lineTo(9, 15);
        lines.lineTo(2, 14); lines.closeSubpath();
        lines.moveTo(9, 6); lines.lineTo(9, 15);
        solid.addPath(Triangle(11, 8, 3, 4, true));
        break;
    case nbsFilterDialog: case nbsRecordViewDialog: case nbsLocateDialog: case nbsSearchDialog:
        lines.addRect(2, 2, 13, 13);
        solid.addPath(Box(2, 2, 13, 2));
        if (style == nbsRecordViewDialog) {
            for (int y : {7, 9, 11, 13}) {
                lines.moveTo(4, y);
                lines.lineTo(13, y);
            }
        } else {
            if (style == nbsLocateDialog) { lines.moveTo(4, 7); lines.lineTo(13, 7); }
            if (style == nbsSearchDialog) {
                lines.moveTo(4, 7); lines.lineTo(13, 7); lines.moveTo(4, 10); lines.lineTo(13, 10);
                lines.moveTo(8, 5); lines.lineTo(8, 15);
            }
            lines.addEllipse(8, 9, 5, 5);
            lines.moveTo(12.5, 13.5);
            lines.lineTo(16, 17);
        }
        break;
    case nbsCustom: break;
    }
}

QImage Glyph(TkqNavButtonStyle style, bool enabled)
{
    QImage image(Side, Side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath solid, lines;
    Shapes(style, solid, lines);
    auto draw = [&](const QColor& ink, const QPointF& offset, bool outline) {
        p.save();
        p.translate(offset);
        p.setPen(QPen(ink, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(outline ? QBrush(Qt::NoBrush) : QBrush(ink));
        p.drawPath(solid);
        p.setBrush(Qt::NoBrush);
        p.drawPath(lines);
        p.restore();
    };
    if (enabled) {
        const QColor ink = style == nbsPost ? QColor(0, 128, 0) : style == nbsCancel ? QColor(128, 0, 0) : QColor(0, 0, 0);
        draw(ink, {0, 0}, false);
    } else {
        draw(QColor(255, 255, 255), {1, 1}, true);
        draw(QColor(128, 128, 128), {0, 0}, true);
    }
    return image;
}

} // namespace

TImageList* NavigatorImages()
{
    static const std::unique_ptr<TImageList> images = [] {
        auto list = std::make_unique<TImageList>(Side, Side);
        for (int s = nbsFirst; s < nbsCustom; ++s)
            for (const bool enabled : {true, false}) list->AddImage(Glyph(TkqNavButtonStyle(s), enabled));
        return list;
    }();
    return images.get();
}
