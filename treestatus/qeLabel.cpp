#include "treestatus/qeLabel.h"

#include <QEvent>
#include <QPainter>

TqeLabel::TqeLabel(QWidget* parent) : QWidget(parent) { resize(65, 17); }

void TqeLabel::SetCaption(const QString& caption)
{
    if (caption == FCaption) return;
    FCaption = caption;
    AdjustBounds();
    update();
}

void TqeLabel::SetFontColor(TColor color)
{
    FFontColor = color;
    update();
}

void TqeLabel::SetColor(TColor color)
{
    FColor = color;
    update();
}

void TqeLabel::SetTransparent(bool value)
{
    FTransparent = value;
    setAttribute(Qt::WA_TranslucentBackground, value);
    update();
}

void TqeLabel::SetAutoSize(bool value)
{
    if (value == FAutoSize) return;
    FAutoSize = value;
    AdjustBounds();
    update();
}

void TqeLabel::SetTextOptions(const TqeCaptionText& options)
{
    FTextOptions = options;
    AdjustBounds();
    update();
}

QString TqeLabel::ShownText() const
{
    if (!FTextOptions.ShowAccel) return FCaption;
    QString text = FCaption;
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return text;
}

int TqeLabel::Flags() const
{
    int flags = FTextOptions.WordWrap ? int(Qt::TextWordWrap) : 0;
    flags |= FTextOptions.Alignment == taCenter ? Qt::AlignHCenter : FTextOptions.Alignment == taRightJustify ? Qt::AlignRight : Qt::AlignLeft;
    flags |= FTextOptions.VAlignment == vaVCenter ? Qt::AlignVCenter : FTextOptions.VAlignment == vaBottom ? Qt::AlignBottom : Qt::AlignTop;
    return flags;
}

QRect TqeLabel::TextRect() const
{
    // The outline and the 3D styles take one pixel on every side.
    const int extra = FTextOptions.Style == qelsDefault ? 0 : 2;
    QRect r = fontMetrics().boundingRect(QRect(0, 0, FTextOptions.WordWrap ? width() : 100000, 100000), Flags(), ShownText());
    return QRect(0, 0, r.width() + extra, r.height() + extra);
}

QSize TqeLabel::sizeHint() const { return FAutoSize ? TextRect().size() : size(); }

void TqeLabel::AdjustBounds()
{
    if (!FAutoSize) return;
    const QSize s = TextRect().size();
    // A right-aligned label keeps its right edge.
    const int left = FTextOptions.Alignment == taRightJustify ? x() + width() - s.width() : x();
    setGeometry(left, y(), s.width(), s.height());
}

void TqeLabel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange) AdjustBounds();
    QWidget::changeEvent(event);
}

void TqeLabel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (!FTransparent) p.fillRect(rect(), ColorToQColor(FColor));
    p.setFont(font());
    const QString text = ShownText();
    const QRect r = rect().adjusted(1, 1, -1, -1);
    const int flags = Flags();
    const QColor face = isEnabled() ? ColorToQColor(FFontColor) : palette().color(QPalette::Disabled, QPalette::WindowText);
    switch (FTextOptions.Style) {
    case qelsOutline:
        p.setPen(ColorToQColor(FTextOptions.OutlineColor));
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                if (dx || dy) p.drawText(r.translated(dx, dy), flags, text);
        break;
    case qelsLowered:
    case qelsRaised: {
        const bool raised = FTextOptions.Style == qelsRaised;
        p.setPen(ColorToQColor(raised ? FTextOptions.HighlightColor : FTextOptions.ShadeColor));
        p.drawText(r.translated(-1, -1), flags, text);
        p.setPen(ColorToQColor(raised ? FTextOptions.ShadeColor : FTextOptions.HighlightColor));
        p.drawText(r.translated(1, 1), flags, text);
        break;
    }
    default: break;
    }
    p.setPen(face);
    p.drawText(r, flags, text);
}
