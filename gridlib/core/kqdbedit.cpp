#include "gridlib/core/kqdbedit.h"

#include "gridlib/core/Kqintl.h"
#include "gridlib/core/Kqpict.h"
#include "gridlib/core/kqSystem.h"
#include "gridlib/core/kqcommon.h"
#include "gridlib/core/kqdbservices.h"
#include "gridlib/core/kqfieldlists.h"
#include "platform/vcl/Forms.h"
#include "platform/core/SysFormat.h"

#include <QApplication>
#include <QFocusEvent>
#include <QFontMetrics>
#include <cmath>

// ---------------------------------------------------------------------------------------------
// Picture settings

TkqDBPicture::TkqDBPicture(TkqCustomMaskEdit* owner) : QObject(owner), FOwner(owner) {}

QObject* TkqDBPicture::MaskDataSet(QString* fieldName) const
{
    if (!FFromDataSet) return nullptr;
    auto* edit = qobject_cast<TkqDBCustomEdit*>(FOwner);
    if (!edit || !edit->DataSource() || !edit->DataSource()->DataSet() || edit->DataField().isEmpty()) return nullptr;
    TDataSet* dataSet = edit->DataSource()->DataSet();
    QStringList list;
    if (!GetPictureMaskList(dataSet, list)) return nullptr;
    if (fieldName) *fieldName = edit->DataField();
    return dataSet;
}

QString TkqDBPicture::PictureMask() const
{
    QString field;
    if (QObject* ds = MaskDataSet(&field)) {
        QStringList list;
        GetPictureMaskList(ds, list);
        return FindPictureMask(list, field).Mask;
    }
    return FMask;
}

void TkqDBPicture::SetPictureMask(const QString& mask)
{
    FMask = mask;
    QString field;
    if (QObject* ds = MaskDataSet(&field)) StorePictureMask(ds, field, mask, FAutoFill, true, true, false, false);
}

bool TkqDBPicture::AutoFill() const
{
    QString field;
    if (QObject* ds = MaskDataSet(&field)) {
        QStringList list;
        GetPictureMaskList(ds, list);
        const TkqPictureMaskEntry entry = FindPictureMask(list, field);
        return entry.Mask.isEmpty() ? FAutoFill : entry.AutoFill;
    }
    return FAutoFill;
}

void TkqDBPicture::SetAutoFill(bool value)
{
    FAutoFill = value;
    QString field;
    if (QObject* ds = MaskDataSet(&field)) StorePictureMask(ds, field, QString(), value, true, false, true, false);
}

bool TkqDBPicture::AllowInvalidExit() const
{
    return MaskDataSet() ? false : FAllowInvalidExit;
}

void TkqDBPicture::SetAllowInvalidExit(bool value)
{
    if (!MaskDataSet()) FAllowInvalidExit = value;
}

void TkqDBPicture::Assign(const TkqDBPicture& source)
{
    if (&source == this) return;
    SetPictureMask(source.PictureMask());
    SetAutoFill(source.AutoFill());
}

// ---------------------------------------------------------------------------------------------
// Mask edit

TkqCustomMaskEdit::TkqCustomMaskEdit(QWidget* parent)
    : QLineEdit(parent), FPicture(new TkqDBPicture(this)), FFrame(new TkqEditFrame(this))
{
    setFrame(false);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setAttribute(Qt::WA_MacShowFocusRect, false);
    setMaxLength(32767);
    connect(this, &QLineEdit::textChanged, this, [this] { TApplication::Guard([this] { Change(); }); });
    resize(121, 21);
    ApplyAutoSize();
    SetEditRect();
}

TkqCustomMaskEdit::~TkqCustomMaskEdit() = default;

QSize TkqCustomMaskEdit::sizeHint() const
{
    const int border = GetSystemMetrics(SM_CYBORDER);
    int extra = FBorderStyle == 0 ? 6 : border * (FCtl3D ? 8 : 6);
    if (FFrame->Enabled()) extra += FFrame->AutoSizeHeightAdjust;
    return QSize(121, QFontMetrics(font()).height() + extra);
}

QSize TkqCustomMaskEdit::minimumSizeHint() const
{
    return QSize(24, sizeHint().height());
}

void TkqCustomMaskEdit::SetWordWrap(bool value)
{
    if (value == FWordWrap) return;
    FWordWrap = value;
    RecreateWnd();
}

void TkqCustomMaskEdit::SetBorderStyle(int value)
{
    if (value == FBorderStyle) return;
    FBorderStyle = value;
    ApplyAutoSize();
    SetEditRect();
    update();
}

void TkqCustomMaskEdit::SetCtl3D(bool value)
{
    if (value == FCtl3D) return;
    FCtl3D = value;
    SetEditRect();
    update();
}

void TkqCustomMaskEdit::SetAutoSize(bool value)
{
    if (value == FAutoSize) return;
    FAutoSize = value;
    ApplyAutoSize();
}

void TkqCustomMaskEdit::SetColor(TColor color)
{
    if (color == FColor) return;
    FColor = color;
    QPalette p = palette();
    p.setColor(QPalette::Base, ColorToQColor(ColorToRGB(color)));
    setPalette(p);
    update();
}

void TkqCustomMaskEdit::SetFontColor(TColor color)
{
    if (color == FFontColor) return;
    FFontColor = color;
    QPalette p = palette();
    p.setColor(QPalette::Text, ColorToQColor(ColorToRGB(color)));
    setPalette(p);
    update();
}

void TkqCustomMaskEdit::SetMaxLength(int value)
{
    FMaxLength = std::max(0, value);
    setMaxLength(FMaxLength > 0 ? FMaxLength : 32767);
}

void TkqCustomMaskEdit::SetPasswordChar(QChar ch)
{
    FPasswordChar = ch;
    setEchoMode(ch.isNull() ? QLineEdit::Normal : QLineEdit::Password);
    update();
}

int TkqCustomMaskEdit::BorderWidth() const
{
    if (FBorderStyle == 0) return 0;
    return FCtl3D ? 2 : 1;
}

void TkqCustomMaskEdit::SetFormattingRect(const TRect& rect)
{
    FEditRect = rect;
    const int b = BorderWidth();
    // The line edit keeps its own small inner margins; the text starts where the rectangle does.
    setTextMargins(std::max(0, b + rect.Left - 1), std::max(0, b + rect.Top - 1), std::max(0, width() - b - rect.Right),
                   0);
}

void TkqCustomMaskEdit::SetEditRect()
{
    int left = FBorderStyle != 0 ? 0 : 1;
    int top = left;
    int right = ClientWidth() - 1;
    if (IsInGrid(this) && FBorderStyle == 0) {
        left = 2;
        top = 2;
        if (ParentIsNamed(this, "TkqDBGrid"))
            if (const TkqGridHost* host = ParentGridHost(this); host && !host->HasRowLines()) top = 1;
    } else if (FFrame->Enabled()) {
        FFrame->GetEditRectMargins(left, top, right);
    }
    SetFormattingRect(TRect(left, top, right, ClientHeight() + 1));
}

void TkqCustomMaskEdit::ApplyAutoSize()
{
    if (!FAutoSize || FLoading || IsInGrid(this)) return;
    FFrame->AdjustControlHeight();
}

void TkqCustomMaskEdit::FontChanged()
{
    ApplyAutoSize();
    if (!FLoading) SetEditRect();
}

void TkqCustomMaskEdit::RecreateWnd()
{
    SetTransparentStyle(this, PaintsTransparent() && FFrame->CreateTransparent && !hasFocus());
    SetEditRect();
    update();
}

bool TkqCustomMaskEdit::PaintsTransparent() const
{
    return FFrame->Transparent() && FFrame->IsInEffect() && !IsInDesigner(this);
}

bool TkqCustomMaskEdit::PictureInUse() const
{
    return FUsePictureMask && !FPicture->PictureMask().isEmpty();
}

void TkqCustomMaskEdit::DoCheckValue(bool passesPictureTest)
{
    if (OnCheckValue) OnCheckValue(this, passesPictureTest);
}

bool TkqCustomMaskEdit::PassesPictureTest(const QString& text)
{
    const QString mask = FPicture->PictureMask();
    bool passes = true;
    if (!text.isEmpty() && !mask.isEmpty()) {
        TkqPictureValidator validator(mask, FPicture->AutoFill());
        QString copy = text;
        passes = validator.Picture(copy, false) == prComplete;
    }
    DoCheckValue(passes);
    return passes;
}

void TkqCustomMaskEdit::ApplyPictureAutoFill()
{
    const QString mask = FPicture->PictureMask();
    if (mask.isEmpty()) return;
    TkqPictureValidator validator(mask, FPicture->AutoFill());
    QString t = text();
    validator.Picture(t, FPicture->AutoFill());
    if (t != text()) SetTextMarkingModified(t);
}

bool TkqCustomMaskEdit::IsMaskedTextEmpty() const
{
    if (MaskStoreLiteralTemplate || PictureInUse() || FEditMask.isEmpty()) return false;
    // "mask;store literals;blank": the mask part, its blank character.
    const QStringList parts = FEditMask.split(QLatin1Char(';'));
    const QString mask = parts.value(0);
    const QChar blank = parts.size() > 2 && !parts[2].isEmpty() ? parts[2][0] : QLatin1Char('_');
    // Literal positions of the mask: "\x" escapes, and characters that are not mask letters.
    static const QString maskChars = QStringLiteral("!><LlAaCc09#:/");
    QList<bool> literal;
    for (int i = 0; i < mask.size(); ++i) {
        if (mask[i] == QLatin1Char('\\') && i + 1 < mask.size()) {
            literal.append(true);
            ++i;
        } else if (mask[i] == QLatin1Char('!') || mask[i] == QLatin1Char('>') || mask[i] == QLatin1Char('<')) {
            continue;
        } else {
            literal.append(!maskChars.contains(mask[i]) || mask[i] == QLatin1Char(':') || mask[i] == QLatin1Char('/'));
        }
    }
    QString rest;
    const QString t = text();
    for (int i = 0; i < t.size(); ++i)
        if (i >= literal.size() || !literal[i]) rest.append(t[i]);
    if (mask.startsWith(QLatin1Char('!'))) {
        while (!rest.isEmpty() && rest.front() == blank) rest.remove(0, 1);
    } else {
        while (!rest.isEmpty() && rest.back() == blank) rest.chop(1);
    }
    if (blank != QLatin1Char(' ')) rest.replace(blank, QLatin1Char(' '));
    while (!rest.isEmpty() && rest.back() == QLatin1Char(' ')) rest.chop(1);
    return rest.isEmpty();
}

void TkqCustomMaskEdit::SetTextMarkingModified(const QString& value)
{
    const bool was = FMarkModifiedOnChange;
    FMarkModifiedOnChange = true;
    setText(value);
    FMarkModifiedOnChange = was;
    setModified(true);
}

void TkqCustomMaskEdit::Change()
{
    if (FMarkModifiedOnChange) setModified(true);
    if (OnChange) OnChange(this);
}

void TkqCustomMaskEdit::ExitValidation()
{
    FExitFailed = false;
    if (!PictureInUse() || !isModified() || FPicture->AllowInvalidExit()) return;
    if (PassesPictureTest(text())) return;
    selectAll();
    TakeFocusBack(this);
    setModified(true);
    QApplication::beep();
    FExitFailed = true;
}

// ---------------------------------------------------------------------------------------------
// The data-aware edit

TkqDBCustomEdit::TkqDBCustomEdit(QWidget* parent) : TkqCustomMaskEdit(parent)
{
    BehaviourFlags = {false, false, true, false};
    FDataLink.SetControl(this);
    FDataLink.OnDataChange = [this](TFieldDataLink*) { DataChange(); };
    FDataLink.OnEditingChange = [this](TFieldDataLink*) { EditingChange(); };
    FDataLink.OnUpdateData = [this](TFieldDataLink*) { UpdateData(); };
    setMouseTracking(true);
}

TkqDBCustomEdit::~TkqDBCustomEdit()
{
    FDataLink.OnDataChange = nullptr;
    FDataLink.OnEditingChange = nullptr;
    FDataLink.OnUpdateData = nullptr;
}

void TkqDBCustomEdit::SetDataSource(TDataSource* source)
{
    if (source == FDataLink.DataSource()) return;
    FDataLink.SetDataSource(source);
    if (source) setReadOnly(!FDataLink.Editing());
}

void TkqDBCustomEdit::SetDataField(const QString& name)
{
    if (name == FDataLink.FieldName()) return;
    // A length taken from the old string field goes: the new field brings its own.
    if (TField* old = FDataLink.Field(); old && (old->DataType() == ftString || old->DataType() == ftWideString)
                                         && MaxLength() == old->Size())
        SetMaxLength(0);
    FDataLink.SetFieldName(name);
}

void TkqDBCustomEdit::SetReadOnly(bool value)
{
    FDataLink.SetReadOnly(value);
    if ((!FDataLink.Field() || !value) && !FLoading) setReadOnly(value || (FDataLink.DataSource() && !FDataLink.Editing()));
}

void TkqDBCustomEdit::SetUnboundAlignment(TAlignment value)
{
    FUnboundAlignment = value;
    update();
}

void TkqDBCustomEdit::SetEditAlignment(TkqEditAlignment value)
{
    FEditAlignment = value;
    UpdateLineEditAlignment();
    update();
}

void TkqDBCustomEdit::UpdateLineEditAlignment()
{
    setAlignment((FEditAlignment == eaRightAlignEditing ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
}

bool TkqDBCustomEdit::IsDateField() const
{
    const TField* f = FDataLink.Field();
    return f ? f->DataType() == ftDate : FUnboundDataType == kqEdtDate;
}

bool TkqDBCustomEdit::IsTimeField() const
{
    const TField* f = FDataLink.Field();
    return f ? f->DataType() == ftTime : FUnboundDataType == kqEdtTime;
}

bool TkqDBCustomEdit::IsDateTimeField() const
{
    const TField* f = FDataLink.Field();
    return f ? f->DataType() == ftDateTime || f->DataType() == ftTimeStamp : FUnboundDataType == kqEdtDateTime;
}

bool TkqDBCustomEdit::IsMemoField() const
{
    const TField* f = FDataLink.Field();
    return f && (f->DataType() == ftMemo || f->DataType() == ftFmtMemo);
}

TAlignment TkqDBCustomEdit::DisplayAlignment() const
{
    if (IsInInspector(this)) return taLeftJustify;
    if (FDataLink.Field()) return FAlignment;
    return FUnboundAlignment;
}

bool TkqDBCustomEdit::IsAutoEditOff() const
{
    const TDataSource* source = FDataLink.DataSource();
    if (!source || source->AutoEdit()) return false;
    const TDataSet* ds = source->DataSet();
    return !(ds && (ds->State() == dsEdit || ds->State() == dsInsert));
}

void TkqDBCustomEdit::EnterEditState()
{
    if (!IsAutoEditOff()) FDataLink.Edit();
}

void TkqDBCustomEdit::MarkModified(bool value)
{
    if (value) {
        const TField* field = FDataLink.Field();
        if (field && (FDataLink.ReadOnly() || field->ReadOnly())) return;
        if (FDataLink.DataSource() && FDataLink.DataSource()->State() != dsBrowse) FDataLink.Modified();
    }
    setModified(value);
}

bool TkqDBCustomEdit::EditCanModify()
{
    TField* field = FDataLink.Field();
    if (!field) return true;
    if (FDataLink.Edit()) return true;
    if (IsCalculatedOrLookup(field) && !field->ReadOnly() && !FDataLink.ReadOnly()) {
        const TDataSet* ds = field->DataSet();
        return ds && ds->CanModify();
    }
    return false;
}

void TkqDBCustomEdit::DoValidationError(TField* field)
{
    KqIntl()->ReportValidationError(this, field);
}

void TkqDBCustomEdit::DataChange()
{
    TField* field = FDataLink.Field();
    if (!field) {
        FAlignment = taLeftJustify;
        SetEditMask(QString());
        setText(QString());
        return;
    }
    if (FAlignment != field->Alignment()) {
        setText(QString());
        FAlignment = field->Alignment();
    }
    if (!PictureInUse()) SetEditMask(field->EditMask());
    if ((field->DataType() == ftString || field->DataType() == ftWideString) && MaxLength() == 0 && !FLoading)
        SetMaxLength(field->Size());
    const bool editable = (FFocused || IsMemoField()) && FDataLink.CanModify();
    const QString shown = IsMemoField() ? field->AsString() : editable ? field->EditText() : field->DisplayText();
    // The same text again is no change: the selection stays, so typing over it still replaces
    // it when the record goes into edit state on the first key.
    if (shown != text()) setText(shown);
    update();
}

void TkqDBCustomEdit::EditingChange()
{
    if (FDataLink.DataSource()) setReadOnly(!FDataLink.Editing());
}

void TkqDBCustomEdit::Change()
{
    if (FLoading) return;
    if (!FDataLink.Field()) setModified(true);
    TkqCustomMaskEdit::Change();
    if (PaintsTransparent() && !FFocused) Frame()->RefreshTransparentBackground(false, true);
}

void TkqDBCustomEdit::UpdateData()
{
    if (isReadOnly()) return;
    TField* field = FDataLink.Field();
    if (!field) return;
    if (!Picture()->PictureMask().isEmpty() && !PassesPictureTest(text())) {
        TDataSet* ds = field->DataSet();
        if (const TkqInvalidValueEvent handler = GetOnInvalidValueHandler(ds)) handler(ds, field);
        else DoValidationError(field);
    }
    if (!isModified()) return;
    const QString stored = GetStoredText();
    if (IsMemoField()) {
        field->SetAsString(stored);
        return;
    }
    if (!FDataLink.Editing() && !IsCalculatedOrLookup(field)) return;
    if (stored.isEmpty()) {
        field->SetEditText(QString());
        return;
    }
    if (field->DataType() == ftDate || field->DataType() == ftTime || field->DataType() == ftDateTime
        || field->DataType() == ftTimeStamp) {
        if (IsValidDateText(text())) {
            TDateTime date = 0;
            ParseDateTextPivot(text(), date, EpochYear ? EpochYear : DefaultPivotYear);
            TDateTime whole = 0;
            const double time = TryStrToDateTime(text(), whole) ? whole - std::floor(whole) : 0.0;
            field->SetAsDateTime(date + time);
            return;
        }
    }
    if (IsMaskedTextEmpty()) {
        field->Clear();
        return;
    }
    const auto* numeric = qobject_cast<const TNumericField*>(field);
    if (numeric && !numeric->DisplayFormat().isEmpty()) {
        double value = 0;
        if (!ParseDisplayedFloat(text(), value, numeric->DisplayFormat())) return;
        if (IsFloatFieldType(field->DataType())) field->SetAsFloat(value);
        else field->SetAsInteger(int(std::nearbyint(value)));
        return;
    }
    field->SetEditText(stored);
}

void TkqDBCustomEdit::UpdateFieldFromEdit()
{
    const bool modified = isModified();
    try {
        FDataLink.UpdateRecord();
    } catch (...) {
        selectAll();
        TakeFocusBack(this);
        setModified(modified);
        throw;
    }
}

void TkqDBCustomEdit::Reset()
{
    if (FDataLink.Field()) FDataLink.Reset();
    else setText(FUnboundEnterText);
    selectAll();
    MarkModified(false);
    if (OnCheckValue) PassesPictureTest(text());
}

void TkqDBCustomEdit::SetFocused(bool value)
{
    if (FFocused == value) return;
    FFocused = value;
    if (DisplayAlignment() != taLeftJustify && EditMask().isEmpty()) update();
    if (FDataLink.Field()) FDataLink.Reset();
    else if (value) FUnboundEnterText = text();
}

void TkqDBCustomEdit::DoEnter()
{
    // The picture settings may have changed in the dataset meanwhile: nothing is cached.
    if (ParentIsNamed(this, "TkqDBGrid")) selectAll();
    if (!FDataLink.Field()) setModified(false);
    if (OnEnter) OnEnter(this);
}

void TkqDBCustomEdit::DoExit()
{
    if (OnExit) OnExit(this);
}

void TkqDBCustomEdit::focusInEvent(QFocusEvent* event)
{
    const bool windowSwitch = IsWindowSwitchFocus(event);
    QLineEdit::focusInEvent(event);
    if (windowSwitch && FFocused) return;
    SetEditRect();
    SetFocused(true);
    if (AutoSelect && !(QApplication::mouseButtons() & Qt::LeftButton)) selectAll();
    if (PaintsTransparent()) {
        Frame()->CreateTransparent = false;
        SetTransparentStyle(this, false);
    }
    update();
    DoEnter();
}

void TkqDBCustomEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (IsWindowSwitchFocus(event) || FInExit) return;
    FInExit = true;
    struct TClear {
        bool& Flag;
        ~TClear() { Flag = false; }
    } clear{FInExit};
    UpdateFieldFromEdit();
    ExitValidation();
    if (!FExitFailed) {
        SetFocused(false);
        setCursorPosition(0);
    }
    if (PaintsTransparent()) {
        Frame()->CreateTransparent = true;
        RecreateWnd();
        InvalidateBehindControl(this);
    }
    update();
    DoExit();
}

void TkqDBCustomEdit::mousePressEvent(QMouseEvent* event)
{
    SetControlState(this, GetControlState(this).With(csLButtonDown, true));
    QLineEdit::mousePressEvent(event);
    SetControlState(this, GetControlState(this).With(csLButtonDown, false));
}

void TkqDBCustomEdit::DoMouseEnter()
{
    try {
        if (OnMouseEnter) OnMouseEnter(this);
    } catch (...) {
        return;
    }
    if (!FFocused && Frame()->IsInEffect() && Frame()->MouseEnterSameAsFocus) update();
}

void TkqDBCustomEdit::DoMouseLeave()
{
    try {
        if (OnMouseLeave) OnMouseLeave(this);
    } catch (...) {
        return;
    }
    if (!FFocused && Frame()->IsInEffect() && Frame()->MouseEnterSameAsFocus) {
        if (PaintsTransparent()) Frame()->CreateTransparent = true;
        RecreateWnd();
    }
}

void TkqDBCustomEdit::enterEvent(QEnterEvent* event)
{
    QLineEdit::enterEvent(event);
    FMouseOver = true;
    DoMouseEnter();
}

void TkqDBCustomEdit::leaveEvent(QEvent* event)
{
    QLineEdit::leaveEvent(event);
    // Moving onto a child (the spin button) still counts as inside.
    if (rect().contains(mapFromGlobal(QCursor::pos()))) return;
    FMouseOver = false;
    DoMouseLeave();
}

void TkqDBCustomEdit::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    SetEditRect();
}

void TkqDBCustomEdit::FontChanged()
{
    TkqCustomMaskEdit::FontChanged();
}

void TkqDBCustomEdit::changeEvent(QEvent* event)
{
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange) FontChanged();
    if (event->type() == QEvent::EnabledChange) update();
}

void TkqDBCustomEdit::SetEditRect()
{
    if (IsInInspector(this) && BorderStyle() == 0) {
        SetFormattingRect(TRect(1, 1, ClientWidth() - 1, ClientHeight() + 1));
        return;
    }
    TkqCustomMaskEdit::SetEditRect();
}

TRect TkqDBCustomEdit::GetEditRect() const
{
    TRect r(0, 0, ClientWidth(), ClientHeight());
    if (GetShowButton()) r.Right -= GetButtonWidth() + (Frame()->Enabled() ? 1 : 0);
    return r;
}
