#include "treestatus/qeStatusBar.h"

#include "platform/vcl/Forms.h"
#include "platform/vcl/SysFormat.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QStyle>

TqeStatusPanel::TqeStatusPanel(TqeStatusBar* bar) : FBar(bar), FFont(bar ? bar->font() : QFont()) {}

int TqeStatusPanel::Index() const { return FBar ? FBar->FPanels.IndexOf(this) : -1; }

void TqeStatusPanel::SetName(const QString& name)
{
    if (name == FName) return;
    if (FBar)
        if (TqeStatusPanel* other = FBar->FPanels.FindPanel(name); other && other != this)
            throw Exception(Format(QStringLiteral("A panel named %s already exists."), {name}));
    FName = name;
}

void TqeStatusPanel::SetText(const QString& text)
{
    if (text == FText) return;
    FText = text;
    if (OnTextChanged) OnTextChanged(this, text);
    Repaint();
}

void TqeStatusPanel::SetWidth(const QString& width)
{
    if (width == FWidth) return;
    int value = 0;
    bool percent = false;
    if (!TryStrToInt(width, value) || value == -1) {
        const QString digits = width.endsWith(QLatin1Char('%')) ? width.left(width.size() - 1) : QString();
        if (digits.isEmpty() || !TryStrToInt(digits, value) || value == -1)
            throw Exception(QStringLiteral("Width must be a valid, positive integer, or must be an integer followed by a \"%\" sign."));
        percent = true;
    }
    FWidth = width;
    FWidthValue = value;
    FPercent = percent;
    FPixelWidth = percent ? 0 : value;
    if (FBar) FBar->UpdatePanels();
}

void TqeStatusPanel::SetFont(const QFont& font)
{
    FFont = font;
    Repaint();
}

void TqeStatusPanel::SetAlignment(TAlignment alignment)
{
    FAlignment = alignment;
    Repaint();
}

void TqeStatusPanel::SetEnabled(bool enabled)
{
    FEnabled = enabled;
    Repaint();
}

void TqeStatusPanel::SetStyle(TqeStatusPanelStyle style)
{
    FStyle = style;
    Repaint();
}

void TqeStatusPanel::SetBevel(TqeStatusPanelBevel bevel)
{
    FBevel = bevel;
    Repaint();
}

void TqeStatusPanel::SetIndent(int indent)
{
    FIndent = indent;
    Repaint();
}

QRect TqeStatusPanel::GetRect() const
{
    if (!FBar) return {};
    int left = 0;
    const int index = Index();
    for (int i = 0; i < index; ++i) left += FBar->FPanels.Items(i)->FPixelWidth;
    const bool last = index == FBar->FPanels.Count() - 1;
    const int right = last ? FBar->width() : left + FPixelWidth;
    return QRect(left, 0, qMax(0, right - left), FBar->height());
}

void TqeStatusPanel::Repaint()
{
    if (FBar) FBar->update(GetRect());
}

QString TqeStatusPanel::ShownText() const
{
    const TDateTime now = Now();
    switch (FStyle) {
    case psDateTime: return FormatDateTime(FormatSettings.ShortDateFormat + QLatin1Char(' ') + FormatSettings.ShortTimeFormat, now);
    case psDate: return FormatDateTime(FormatSettings.ShortDateFormat, now);
    case psTime: return FormatDateTime(FormatSettings.ShortTimeFormat, now);
    case psHint: case psHintContainerOnly: return Application() ? Application()->Hint() : QString();
    default: return FText;
    }
}

// ---------------------------------------------------------------------------------------------

TqeStatusPanel* TqeStatusPanels::Items(int index) const
{
    if (index < 0 || index >= Count()) throw EListError(Format(QStringLiteral("List index out of bounds (%d)"), {index}));
    return FItems[size_t(index)].get();
}

TqeStatusPanel* TqeStatusPanels::Add()
{
    auto panel = std::make_unique<TqeStatusPanel>(FBar);
    for (int n = 0;; ++n) {
        const QString name = QStringLiteral("Panel%1").arg(n);
        if (!FindPanel(name)) {
            panel->FName = name;
            break;
        }
    }
    FItems.push_back(std::move(panel));
    if (FBar) FBar->UpdatePanels();
    return FItems.back().get();
}

TqeStatusPanel* TqeStatusPanels::FindPanel(const QString& name) const
{
    for (const auto& p : FItems)
        if (p->FName == name) return p.get();
    return nullptr;
}

void TqeStatusPanels::Delete(int index)
{
    Items(index);
    FItems.erase(FItems.begin() + index);
    if (FBar) FBar->UpdatePanels();
}

void TqeStatusPanels::Clear()
{
    FItems.clear();
    if (FBar) FBar->UpdatePanels();
}

int TqeStatusPanels::IndexOf(const TqeStatusPanel* panel) const
{
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].get() == panel) return int(i);
    return -1;
}

// ---------------------------------------------------------------------------------------------

TqeStatusBar::TqeStatusBar(QWidget* parent) : QStatusBar(parent), FPanels(this)
{
    setFixedHeight(20);
}

TqeStatusBar::~TqeStatusBar() = default;

void TqeStatusBar::SetSimplePanel(bool value)
{
    FSimplePanel = value;
    update();
}

void TqeStatusBar::SetSimpleText(const QString& text)
{
    FSimpleText = text;
    update();
}

void TqeStatusBar::UpdatePanels()
{
    const int total = width();
    int used = 0;
    for (int i = 0; i < FPanels.Count(); ++i) {
        TqeStatusPanel* p = FPanels.Items(i);
        if (p->FPercent) {
            p->FPixelWidth = -1;
            continue;
        }
        // Negative widths take no room.
        p->FPixelWidth = qMax(0, qMin(total - used, p->FWidthValue));
        used += p->FPixelWidth;
    }
    const int rest = total - used;
    for (int i = 0; i < FPanels.Count(); ++i) {
        TqeStatusPanel* p = FPanels.Items(i);
        if (p->FPixelWidth == -1) p->FPixelWidth = rest > 0 ? qMax(0, p->FWidthValue * rest / 100) : 0;
    }
    update();
}

TqeStatusPanel* TqeStatusBar::GetPanelAt(int x, int y) const
{
    for (int i = 0; i < FPanels.Count(); ++i)
        if (FPanels.Items(i)->GetRect().contains(x, y)) return FPanels.Items(i);
    return nullptr;
}

void TqeStatusBar::DrawPanel(QPainter& painter, TqeStatusPanel* panel, const QRect& rect)
{
    painter.fillRect(rect, palette().color(QPalette::Button));
    if (panel->FBevel != pbNone) {
        const QRect frame = rect.adjusted(0, 1, -2, -1);
        const bool lowered = panel->FBevel == pbLowered;
        painter.setPen(palette().color(lowered ? QPalette::Dark : QPalette::Light));
        painter.drawLine(frame.topLeft(), frame.topRight());
        painter.drawLine(frame.topLeft(), frame.bottomLeft());
        painter.setPen(palette().color(lowered ? QPalette::Light : QPalette::Dark));
        painter.drawLine(frame.bottomLeft(), frame.bottomRight());
        painter.drawLine(frame.topRight(), frame.bottomRight());
    }
    QString text = panel->ShownText();
    bool enabled = panel->FEnabled;
    if (panel->OnDrawText && !panel->FInDrawText) {
        const QScopedValueRollback drawing(panel->FInDrawText, true);
        panel->OnDrawText(panel, text, enabled);
    }
    panel->FDrawnText = text;
    QRect textRect = rect.adjusted(2 + panel->FIndent, 0, -4, 0);
    painter.setFont(panel->FFont);
    painter.setPen(palette().color(enabled ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    Qt::Alignment align = Qt::AlignVCenter;
    align |= panel->FAlignment == taCenter ? Qt::AlignHCenter : panel->FAlignment == taRightJustify ? Qt::AlignRight : Qt::AlignLeft;
    painter.drawText(textRect, int(align), painter.fontMetrics().elidedText(text, Qt::ElideRight, textRect.width()));
    if (OnDrawPanel) OnDrawPanel(this, panel, rect);
}

void TqeStatusBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Button));
    if (FSimplePanel || FPanels.Count() == 0) {
        painter.drawText(rect().adjusted(4, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft, FSimpleText);
        return;
    }
    for (int i = 0; i < FPanels.Count(); ++i) {
        TqeStatusPanel* p = FPanels.Items(i);
        QRect r = p->GetRect();
        // The last part leaves room for the size grip.
        if (i == FPanels.Count() - 1 && isSizeGripEnabled()) r.setRight(r.right() - qMin(23, style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 1));
        if (r.width() <= 0) continue;
        TApplication::Guard([&] { DrawPanel(painter, p, r); });
    }
}

void TqeStatusBar::resizeEvent(QResizeEvent* event)
{
    QStatusBar::resizeEvent(event);
    UpdatePanels();
}

void TqeStatusBar::mousePressEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    if (TqeStatusPanel* panel = GetPanelAt(p.x(), p.y()); panel && panel->OnClick && event->button() == Qt::LeftButton)
        TApplication::Guard([&] { panel->OnClick(panel); });
    QStatusBar::mousePressEvent(event);
}

void TqeStatusBar::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    if (TqeStatusPanel* panel = GetPanelAt(p.x(), p.y()); panel && panel->OnDblClick)
        TApplication::Guard([&] { panel->OnDblClick(panel); });
    QStatusBar::mouseDoubleClickEvent(event);
}

bool TqeStatusBar::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (TqeStatusPanel* panel = GetPanelAt(help->pos().x(), help->pos().y()); panel && !panel->Hint.isEmpty())
            setToolTip(panel->Hint);
        else
            setToolTip(QString());
    }
    return QStatusBar::event(event);
}
