#include "treestatus/qeLabel.h"

#include <QEnterEvent>
#include <QImage>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>

TqeCustomLabel::TqeCustomLabel(QWidget* parent) : QWidget(parent), FFont(font(), clWindowText)
{
    FTextOptions = std::make_unique<TqeCaptionText>(
        TqeText::THooks{[this] { update(); }, [this] { UpdateShortcut(); AdjustBounds(); }, [this] { return GetTextEnabled(); }}, &FFont,
        nullptr);
    resize(65, 17);
}

TqeCustomLabel::~TqeCustomLabel() = default;

void TqeCustomLabel::SetCaption(const QString& caption)
{
    if (caption == FCaption) return;
    FCaption = caption;
    FTextOptions->SetText(caption);
    UpdateShortcut();
    AdjustBounds();
    update();
}

void TqeCustomLabel::SetFontColor(TColor color)
{
    if (color == FFont.Color) return;
    FFont.Color = color;
    update();
}

void TqeCustomLabel::SetColor(TColor color)
{
    if (color == FColor) return;
    FColor = color;
    update();
}

void TqeCustomLabel::SetTransparent(bool value)
{
    if (value == FTransparent) return;
    FTransparent = value;
    update();
}

void TqeCustomLabel::SetAutoSize(bool value)
{
    if (value == FAutoSize) return;
    FAutoSize = value;
    AdjustBounds();
    update();
}

void TqeCustomLabel::SetFocusControl(QWidget* control)
{
    FFocusControl = control;
    UpdateShortcut();
}

TRect TqeCustomLabel::MeasureText()
{
    // Measured on a canvas of its own, as on the screen's.
    QImage scratch(1, 1, QImage::Format_ARGB32_Premultiplied);
    TCanvas canvas(&scratch);
    canvas.Font = FFont;
    TCanvas* saved = FTextOptions->Canvas();
    FTextOptions->SetCanvas(&canvas);
    FTextOptions->SetText(GetLabelText());
    FTextOptions->SetBounds(TRect(0, 0, width(), height()));
    const TRect r = FTextOptions->CalcTextRectWithFont(true);
    FTextOptions->SetCanvas(saved);
    return r;
}

void TqeCustomLabel::AdjustBounds()
{
    if (!FAutoSize) return;
    const TRect r = MeasureText();
    FTextSize = QSize(r.Width(), r.Height());
    int left = x();
    if (FTextOptions->Alignment() == taRightJustify) left = x() + width() - r.Width();
    setGeometry(left, y(), r.Width(), r.Height());
    updateGeometry();
}

QSize TqeCustomLabel::sizeHint() const
{
    if (FAutoSize && FTextSize.isValid()) return FTextSize;
    return QWidget::sizeHint().isValid() ? QWidget::sizeHint() : QSize(65, 17);
}

void TqeCustomLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    TCanvas canvas(painter);
    canvas.Font = FFont;
    if (!FTransparent) {
        canvas.Brush.Color = FColor;
        canvas.Brush.Style = bsSolid;
        canvas.FillRect(TRect(0, 0, width(), height()));
    }
    canvas.Brush.Style = bsClear;
    FTextOptions->SetCanvas(&canvas);
    FTextOptions->SetText(GetLabelText());
    FTextOptions->SetBounds(TRect(0, 0, width(), height()));
    FTextOptions->Draw();
    FTextOptions->SetCanvas(nullptr);
}

void TqeCustomLabel::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        FFont.Font = font();
        AdjustBounds();
        update();
    } else if (event->type() == QEvent::EnabledChange) {
        update();
    }
}

void TqeCustomLabel::DoMouseEnter()
{
    if (OnMouseEnter) OnMouseEnter(this);
}

void TqeCustomLabel::DoMouseLeave()
{
    if (OnMouseLeave) OnMouseLeave(this);
}

void TqeCustomLabel::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    DoMouseEnter();
}

void TqeCustomLabel::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    DoMouseLeave();
}

void TqeCustomLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && OnClick) OnClick(this);
}

void TqeCustomLabel::UpdateShortcut()
{
    const QKeySequence key = QKeySequence::mnemonic(FCaption);
    const bool wanted = FFocusControl && FTextOptions->Options().Contains(toShowAccel) && !key.isEmpty();
    if (!wanted) {
        delete FShortcut;
        FShortcut = nullptr;
        return;
    }
    if (!FShortcut) {
        FShortcut = new QShortcut(this);
        FShortcut->setContext(Qt::WindowShortcut);
        connect(FShortcut, &QShortcut::activated, this, [this] { DialogChar(); });
    }
    FShortcut->setKey(key);
}

bool TqeCustomLabel::DialogChar()
{
    if (!FFocusControl || !isEnabled() || !FTextOptions->Options().Contains(toShowAccel)) return false;
    if (FFocusControl->isEnabled() && FFocusControl->isVisible() && FFocusControl->focusPolicy() != Qt::NoFocus) {
        FFocusControl->setFocus(Qt::ShortcutFocusReason);
        return true;
    }
    return false;
}

// ---- data-aware form ----

TqeDBCustomLabel::TqeDBCustomLabel(QWidget* parent)
    : TqeCustomLabel(parent), FDataLink(std::make_unique<TFieldDataLink>())
{
    FDataLink->SetControl(this);
    FDataLink->OnDataChange = [this](TFieldDataLink*) { DataChange(); };
}

TqeDBCustomLabel::~TqeDBCustomLabel()
{
    FDataLink->OnDataChange = nullptr;
}

void TqeDBCustomLabel::SetDataSource(TDataSource* source) { FDataLink->SetDataSource(source); }

QString TqeDBCustomLabel::FieldText() const
{
    TField* field = FDataLink->Field();
    if (!field) return Caption();
    if (field->DataType() == ftMemo) return field->AsString();
    return field->DisplayText();
}

void TqeDBCustomLabel::DataChange() { SetCaption(FieldText()); }
