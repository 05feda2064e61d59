#include "gridlib/dialogs/kqfiltereval.h"

#include "gridlib/core/Kqintl.h"
#include "gridlib/core/kqbde.h"
#include "gridlib/core/kqfieldlists.h"
#include "gridlib/core/kqlookup.h"
#include "platform/core/SysFormat.h"
#include "platform/core/SysUtils.h"
#include "platform/vcl/Canvas.h"
#include "platform/vcl/Edges.h"
#include <QApplication>
#include "platform/vcl/Forms.h"

#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <cmath>

namespace {

enum TKind { kString, kInteger, kFloat, kDate, kTime, kDateTime, kBlob, kOther };

TKind KindOf(TFieldType t)
{
    switch (t) {
    case ftString: case ftFixedChar: case ftWideString: return kString;
    case ftSmallint: case ftInteger: case ftWord: case ftAutoInc: case ftLargeint: return kInteger;
    case ftFloat: case ftCurrency: case ftBCD: case ftFMTBcd: return kFloat;
    case ftDate: return kDate;
    case ftTime: return kTime;
    case ftDateTime: case ftTimeStamp: return kDateTime;
    default: return IsBlobFieldType(t) ? kBlob : kOther;
    }
}

bool ReadBound(TKind kind, const QString& text, double& value)
{
    switch (kind) {
    case kInteger: {
        qint64 i = 0;
        if (!TryStrToInt64(text.trimmed(), i)) return false;
        value = double(i);
        return true;
    }
    case kFloat: return TryStrToFloat(text.trimmed(), value);
    case kDate: return TryStrToDate(text.trimmed(), value);
    case kTime: return TryStrToTime(text.trimmed(), value);
    case kDateTime: return TryStrToDateTime(text.trimmed(), value);
    default: return false;
    }
}

} // namespace

// A criterion made ready for the record loop.
struct TkqDummyForm::TPrepared {
    TkqFieldInfo Info;
    TField* Field = nullptr;
    TKind Kind = kOther;
    bool RichText = false;
    bool Range = false;
    bool OrList = false;
    // The value's parts (upper-cased when case does not count), with their null-word flag and,
    // for number and date fields, their value.
    QStringList Parts;
    std::vector<char> IsNullWord;
    std::vector<char> HasNumber;
    std::vector<double> Numbers;
    // Range bounds.
    bool HasMin = false, HasMax = false;
    QString MinText, MaxText;
    double MinValue = 0, MaxValue = 0;
    bool MaxWholeDay = false;
};

TkqDummyForm::TkqDummyForm(TkqFilterDialog* dialog) : QWidget(nullptr), FDialog(dialog)
{
    setObjectName(QStringLiteral("kqDummyForm"));
    hide();
}

TkqDummyForm::~TkqDummyForm() = default;

void TkqDummyForm::Invalidate()
{
    FPrepared.clear();
    FPreparedFor = nullptr;
}

TParam* TkqDummyForm::FieldAsParam(const QString& fieldName)
{
    if (auto* bde = dynamic_cast<TkqBDEDataSet*>(FDataSet)) return bde->FieldAsParam(fieldName);
    TField* field = FDataSet ? FDataSet->FindField(fieldName) : nullptr;
    if (!field) DatabaseErrorFmt(QStringLiteral("Field '%s' not found"), {fieldName});
    FParam.SetDataType(field->DataType());
    FParam.SetValue(field->IsNull() ? TVariant::Null() : field->Value());
    return &FParam;
}

void TkqDummyForm::Prepare()
{
    FPrepared.clear();
    FPreparedFor = FDataSet;
    const TkqFieldOperators& ops = *FDialog->FieldOperators();
    for (const TkqFieldInfo& c : FDialog->Criteria()) {
        TPrepared p;
        p.Info = c;
        if (p.Info.FieldName.isEmpty() || !FDataSet->FindField(p.Info.FieldName))
            p.Info.FieldName = FieldNameFromDisplayLabel(FDataSet, p.Info.DisplayLabel);
        p.Field = FDataSet->FindField(p.Info.FieldName);
        if (!p.Field) DatabaseErrorFmt(QStringLiteral("Field '%s' not found"), {p.Info.FieldName});
        p.Kind = KindOf(p.Field->DataType());
        p.RichText = p.Kind == kBlob && IsRichTextField(p.Field, false);
        p.Range = c.MatchType == fdMatchRange;
        if (!p.Range) {
            const TkqFilterValueParts parts = ParseFilterValue(c.FilterValue, ops);
            p.OrList = parts.Operator == TkqFilterValueParts::opOr;
            for (const QString& part : parts.Parts) {
                const bool nullWord = part.compare(ops.NullChar(), Qt::CaseInsensitive) == 0;
                double number = 0;
                const bool hasNumber = !nullWord && ReadBound(p.Kind, part, number);
                p.Parts << (c.CaseSensitive ? part : part.toUpper());
                p.IsNullWord.push_back(nullWord);
                p.HasNumber.push_back(hasNumber);
                p.Numbers.push_back(number);
            }
        } else {
            p.HasMin = !c.MinValue.isEmpty();
            p.HasMax = !c.MaxValue.isEmpty();
            if (p.Kind == kString) {
                p.MinText = c.CaseSensitive ? c.MinValue : c.MinValue.toUpper();
                const QString upper = PadUpperBound(c.MaxValue, p.Field->Size(), ushort(FDialog->UpperRangePadChar));
                p.MaxText = c.CaseSensitive ? upper : upper.toUpper();
            } else if (p.Kind != kBlob && p.Kind != kOther) {
                // A bound that is no value of the field's type was refused by the window; one
                // given in code does not narrow the range.
                if (p.HasMin && !ReadBound(p.Kind, c.MinValue, p.MinValue)) p.HasMin = false;
                if (p.HasMax && !ReadBound(p.Kind, c.MaxValue, p.MaxValue)) p.HasMax = false;
                if (p.Kind == kDateTime && p.HasMax) {
                    const QChar dateSep = FormatSettings.DateSeparator, timeSep = FormatSettings.TimeSeparator;
                    if (!c.MaxValue.contains(timeSep))
                        p.MaxWholeDay = true;
                    else if (dateSep == timeSep && p.MaxValue == std::floor(p.MaxValue))
                        p.MaxWholeDay = true;
                    if (p.MaxWholeDay) p.MaxValue = std::floor(p.MaxValue) + 1;
                }
            }
        }
        FPrepared.push_back(std::move(p));
    }
}

bool TkqDummyForm::EvaluateCriterion(int index)
{
    if (FPreparedFor != FDataSet || FPrepared.size() != size_t(FDialog->Criteria().size())) Prepare();
    return EvaluatePrepared(FPrepared[size_t(index)]);
}

bool TkqDummyForm::EvaluatePrepared(TPrepared& p)
{
    TField* f = p.Field;
    const bool cs = p.Info.CaseSensitive;
    bool result = p.OrList ? false : true;
    const bool isNull = f->IsNull();

    if (p.Range) {
        // An empty field has no value that a bound could hold.
        if (isNull) return !(p.HasMin || p.HasMax);
        switch (p.Kind) {
        case kString: {
            const QString text = cs ? f->AsString() : f->AsString().toUpper();
            if (p.HasMin && QStringView(text).compare(p.MinText) < 0) return false;
            if (p.HasMax && QStringView(text).compare(p.MaxText) > 0) return false;
            return true;
        }
        case kInteger: {
            const double v = double(f->AsLargeInt());
            return !(p.HasMin && v < p.MinValue) && !(p.HasMax && v > p.MaxValue);
        }
        case kFloat: {
            const double v = f->AsFloat();
            return !(p.HasMin && v < p.MinValue) && !(p.HasMax && v > p.MaxValue);
        }
        case kDate: case kTime: {
            const double v = f->AsDateTime();
            return !(p.HasMin && v < p.MinValue) && !(p.HasMax && v > p.MaxValue);
        }
        case kDateTime: {
            const double v = f->AsDateTime();
            if (p.HasMin && v < p.MinValue) return false;
            if (p.HasMax && (p.MaxWholeDay ? v >= p.MaxValue : v > p.MaxValue)) return false;
            return true;
        }
        default: return true;
        }
    }

    // Integers compared exactly need no text: a part that is a number equals by value.
    if (p.Kind == kInteger && p.Info.MatchType == fdMatchExact && !isNull && !dynamic_cast<TkqBDEDataSet*>(FDataSet)) {
        const double v = double(f->AsLargeInt());
        for (size_t i = 0; i < size_t(p.Parts.size()); ++i) {
            const bool match = !p.IsNullWord[i] && p.HasNumber[i] && v == p.Numbers[i];
            if (p.OrList && match) return true;
            if (!p.OrList && !match) return false;
        }
        return result;
    }
    QString text;
    if (p.Kind == kBlob) {
        if (p.Info.MatchType == fdMatchEnd || p.Info.MatchType == fdMatchNone) return result;
        text = isNull ? QString() : f->AsString();
        if (p.RichText && !text.isEmpty())
            text = RichTextToPlainText(this, f->AsString().toLatin1(), FRichReader);
    } else if (isNull) {
        text.clear();
    } else if (p.Kind == kString) {
        text = f->AsString();
    } else if (p.Kind == kDate) {
        text = DateToStr(f->AsDateTime());
    } else if (p.Kind == kTime) {
        text = TimeToStr(f->AsDateTime());
    } else if (p.Kind == kDateTime) {
        text = DateTimeToStr(f->AsDateTime());
    } else if (p.Kind == kInteger && !dynamic_cast<TkqBDEDataSet*>(FDataSet)) {
        text = QString::number(f->AsLargeInt());
    } else {
        text = VarToStr(FieldAsParam(p.Info.FieldName)->Value());
    }
    // The parts are upper-cased once; the record's text is compared ignoring case.
    const Qt::CaseSensitivity sense = cs ? Qt::CaseSensitive : Qt::CaseInsensitive;

    for (qsizetype i = 0; i < p.Parts.size(); ++i) {
        const QString& part = p.Parts[i];
        bool match;
        if (p.IsNullWord[size_t(i)] && text.isEmpty()) {
            match = true;
        } else {
            switch (p.Info.MatchType) {
            case fdMatchStart: match = text.startsWith(part, sense); break;
            case fdMatchAny: match = text.contains(part, sense); break;
            case fdMatchEnd: match = text.endsWith(part, sense); break;
            case fdMatchExact:
                if (p.Kind == kBlob) {
                    match = text.size() == part.size() && text.contains(part, sense);
                } else {
                    match = text.compare(part, sense) == 0;
                    // By value for numbers and dates (1.0 equals 1); a blank never equals a
                    // non-blank and the null word never equals by value.
                    if (!match && !text.isEmpty() && !part.isEmpty() && p.HasNumber[size_t(i)] &&
                        (p.Kind == kInteger || p.Kind == kFloat || p.Kind == kDate || p.Kind == kTime ||
                         p.Kind == kDateTime)) {
                        const double v = p.Kind == kInteger ? double(f->AsLargeInt())
                                         : p.Kind == kFloat ? f->AsFloat()
                                                            : double(f->AsDateTime());
                        match = v == p.Numbers[size_t(i)];
                    }
                }
                break;
            default: return result;
            }
        }
        if (p.OrList && match) return true;
        if (!p.OrList && !match) return false;
    }
    return result;
}

void TkqDummyForm::FilterRecord(TDataSet* dataSet, bool& accept)
{
    FDataSet = dataSet;
    accept = true;
    bool defaultFiltering = true;
    FDialog->DoAcceptFilterRecord(dataSet, accept, defaultFiltering);
    if (!accept || !defaultFiltering) return;
    if (FPreparedFor != dataSet || FPrepared.size() != size_t(FDialog->Criteria().size())) Prepare();
    for (TPrepared& p : FPrepared) {
        bool r = EvaluatePrepared(p);
        if (p.Info.NonMatching && !p.Range) r = !r;
        accept = r;
        if (!accept) return;
    }
}

// --- Summary ------------------------------------------------------------------------------------

namespace {
QString WithoutAmpersand(QString text) { return text.remove(QLatin1Char('&')); }
} // namespace

QList<QStringList> FilterSummaryRows(const TkqFilterDialog* dialog, const TkqFieldInfoList& criteria)
{
    const TkqFilterDialogIntl* texts = KqIntl()->FilterDialog;
    QList<QStringList> rows;
    for (const TkqFieldInfo& c : criteria) {
        QStringList row;
        switch (c.MatchType) {
        case fdMatchStart: case fdMatchAny: case fdMatchExact: {
            const QString kind = c.MatchType == fdMatchStart ? texts->MatchStartLabel
                                 : c.MatchType == fdMatchAny ? texts->MatchAnyLabel
                                                             : texts->MatchExactLabel;
            QString value = c.FilterValue;
            if (c.NonMatching) {
                const bool listed = ParseFilterValue(c.FilterValue, *dialog->FieldOperators()).Operator !=
                                    TkqFilterValueParts::opNone;
                value = listed ? texts->ViewSummaryNotText + QStringLiteral(" (") + value + QLatin1Char(')')
                               : texts->ViewSummaryNotText + QLatin1Char(' ') + value;
            }
            row << c.DisplayLabel << WithoutAmpersand(kind) << value;
            break;
        }
        case fdMatchRange: {
            QString value;
            if (!c.MinValue.isEmpty()) value = QStringLiteral(">=") + c.MinValue;
            if (!c.MinValue.isEmpty() && !c.MaxValue.isEmpty()) value += QStringLiteral(", ");
            if (!c.MaxValue.isEmpty()) value += QStringLiteral("<=") + c.MaxValue;
            row << c.DisplayLabel << WithoutAmpersand(texts->ByRangeLabel) << value;
            break;
        }
        default: row << QString() << QString() << QString(); break;
        }
        rows << row;
    }
    return rows;
}

TkqSummaryGrid::TkqSummaryGrid(QWidget* parent) : QAbstractScrollArea(parent)
{
    setObjectName(QStringLiteral("StringGrid1"));
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    FRows << QStringList{QString(), QString(), QString()};
}

void TkqSummaryGrid::SetRow(int row, const QStringList& cells)
{
    if (row >= FRows.size()) SetRowCount(row + 1);
    FRows[row] = cells;
    viewport()->update();
}

void TkqSummaryGrid::SetRowCount(int rows)
{
    while (FRows.size() < rows) FRows << QStringList{QString(), QString(), QString()};
    while (FRows.size() > rows && FRows.size() > 1) FRows.removeLast();
    UpdateScroll();
}

void TkqSummaryGrid::SetColWidths(const QList<int>& widths)
{
    FColWidths = widths;
    viewport()->update();
}

void TkqSummaryGrid::UpdateScroll()
{
    const int visible = qMax(1, viewport()->height() / (FRowHeight + 1) - 1);
    verticalScrollBar()->setRange(0, qMax(0, int(FRows.size()) - 1 - visible));
    verticalScrollBar()->setPageStep(visible);
    viewport()->update();
}

void TkqSummaryGrid::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScroll();
}

void TkqSummaryGrid::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    TCanvas canvas(painter);
    canvas.Font = TFont(font());
    const int first = verticalScrollBar()->value();
    const int lineWidth = 1;
    int y = 0;
    for (int r = 0; r < FRows.size() && y < viewport()->height(); ++r) {
        if (r > 0 && r <= first) continue;   // the header row stays fixed
        int x = 0;
        for (int c = 0; c < FColWidths.size(); ++c) {
            TRect cell(x, y, x + FColWidths[c], y + FRowHeight);
            if (r == 0) {
                canvas.Brush.Color = clBtnFace;
                canvas.FillRect(cell);
                TRect edge = cell;
                DrawEdge(canvas, edge, BDR_RAISEDINNER, BF_RECT);
                canvas.Font.Color = clBtnText;
            } else {
                canvas.Brush.Color = clWhite;
                canvas.FillRect(cell);
                canvas.Font.Color = clBlack;
            }
            canvas.TextRect(cell, cell.Left + 2, cell.Top + 2, FRows[r].value(c));
            canvas.Pen.Color = clSilver;
            canvas.MoveTo(x + FColWidths[c], y);
            canvas.LineTo(x + FColWidths[c], y + FRowHeight + lineWidth);
            x += FColWidths[c] + lineWidth;
        }
        canvas.Pen.Color = clSilver;
        canvas.MoveTo(0, y + FRowHeight);
        canvas.LineTo(x, y + FRowHeight);
        y += FRowHeight + lineWidth;
    }
}

TkqFilterDialogView::TkqFilterDialogView(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("kqFilterDialogView"));
    setWindowTitle(QStringLiteral("Show Search Summary"));
    const int ppi = logicalDpiX() > 0 ? logicalDpiX() : 96;
    auto scale = [ppi](int v) { return v * ppi / 96; };
    StringGrid1 = new TkqSummaryGrid(this);
    const TkqFilterDialogIntl* texts = KqIntl()->FilterDialog;
    StringGrid1->SetRow(0, {texts->SummaryFieldLabel, texts->SummarySearchLabel, texts->SummaryValueLabel});
    StringGrid1->SetColWidths({scale(120), scale(140), scale(197)});
    StringGrid1->setGeometry(scale(8), scale(8), scale(464), scale(160));
    // Below the visible area so that Escape closes the window.
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setGeometry(scale(8), scale(1000), scale(75), scale(25));
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    OKButton = qobject_cast<QPushButton*>(CreateDialogButton(this, 1));
    if (!OKButton) {
        OKButton = new QPushButton(QStringLiteral("OK"), this);
        connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    }
    const int width = scale(489);
    OKButton->resize(scale(75), scale(25));
    OKButton->move((width - OKButton->width()) / 2, StringGrid1->geometry().bottom() + 1 + scale(9));
    OKButton->show();
    OKButton->setDefault(true);
    setFixedSize(width, OKButton->geometry().bottom() + 1 + scale(9));
}

void TkqFilterDialogView::showEvent(QShowEvent* event)
{
    ApplyDialogFontStyle(this);
    QDialog::showEvent(event);
    OKButton->setFocus();
}

void ShowFilterSummary(TkqFilterDialog* dialog, const TkqFieldInfoList& criteria)
{
    TkqFilterDialogView view(QApplication::activeModalWidget());
    const TkqFilterDialogIntl* texts = KqIntl()->FilterDialog;
    if (!texts->SummaryCaption.isEmpty()) view.setWindowTitle(texts->SummaryCaption);
    const QList<QStringList> rows = FilterSummaryRows(dialog, criteria);
    view.StringGrid1->SetRowCount(int(rows.size()) + 1);
    for (int i = 0; i < rows.size(); ++i) view.StringGrid1->SetRow(i + 1, rows[i]);
    view.exec();
}
