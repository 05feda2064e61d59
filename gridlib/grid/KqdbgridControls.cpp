// The published grid's cell controls and cell input: controls of the form named in ControlType
// lines moved over the current cell and painted as images in the other rows, the date-time
// picker, cell texts (rich text, memo, links, mapped values), check-box toggling, the memo
// dialog, and the keys, characters and clicks that reach cell controls.

#include "gridlib/grid/Kqdbgrid.h"

#include "gridlib/core/Kqstr.h"
#include "gridlib/core/kqfieldlists.h"
#include "gridlib/core/kqradiogroup.h"
#include "gridlib/grid/kqexpand.h"

#include <QApplication>
#include <QDateTime>
#include <QIODevice>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QTextEdit>

namespace {

QString FirstItem(const QString& params) { return params.section(QLatin1Char(';'), 0, 0); }

bool IsDataInspector(const QObject* control) { return IsClassOrAncestorNamed(control, "TkqDataInspector"); }

void WriteNamed(QObject* object, const char* name, const QVariant& value)
{
    if (const QMetaProperty p = FindPublishedProperty(object, name); p.isValid() && p.isWritable()) p.write(object, value);
}

// The focus lies in the control or in a window inside it.
bool HoldsFocus(const QWidget* control)
{
    const QWidget* focus = QApplication::focusWidget();
    return focus && (focus == control || control->isAncestorOf(focus));
}

} // namespace

// =============================================================================================
// Finding controls

void TkqDBGrid::GetControlInfo(const QString& fieldName, QString& kind, QString& params) const
{
    TkqCustomDBGrid::GetControlInfo(fieldName, kind, params);
    if (EditControlOptions().Contains(ecoDisableCustomControls) && IsEditControlType(kind)) kind.clear();
}

QWidget* TkqDBGrid::FindNamedControl(const QString& name) const
{
    QWidget* root = EditControlOptions().Contains(ecoSearchOwnerForm) ? FindOwnerFormOrFrame(this) : FindOwnerForm(this);
    if (!root || name.isEmpty()) return nullptr;
    const int dot = int(name.indexOf(QLatin1Char('.')));
    if (dot < 0) return ::FindNamedControl(root, name);
    const QString before = name.left(dot), after = name.mid(dot + 1);
    if (after.isEmpty()) return nullptr;
    QObject* component = root->findChild<QObject*>(before);
    if (component && IsClassOrAncestorNamed(component, "TCustomFrame")) return component->findChild<QWidget*>(after);
    TDataSet* ds = DataSet();
    QObject* owner = ds ? ds->parent() : nullptr;
    return owner ? owner->findChild<QWidget*>(after) : nullptr;
}

bool TkqDBGrid::CustomControlsActive() const
{
    return !EditControlOptions().Contains(ecoDisableCustomControls) && Options().Contains(dgEditing) && !ReadOnly() &&
           !Options().Contains(dgRowSelect);
}

bool TkqDBGrid::IsExpandButton(const QWidget* control) const { return qobject_cast<const TkqExpandButton*>(control); }

QWidget* TkqDBGrid::FindFieldControl(const QString& fieldName) const
{
    QStringList items;
    for (const QString& line : ActiveControlTypeList()) {
        SplitToList(line, QLatin1Char(';'), items);
        if (items.size() < 2 || items.at(0) != fieldName) continue;
        if (!IsEditControlType(items.at(1))) continue;
        return FindNamedControl(items.value(2));
    }
    return nullptr;
}

QWidget* TkqDBGrid::FindCellControl(int col, int row) const
{
    if (EditControlOptions().Contains(ecoDisableCustomControls) || !IsDataCell(col, row)) return nullptr;
    TField* field = GetColumnField(DataColumn(col));
    if (!field) return nullptr;
    QWidget* control = FindFieldControl(field->FieldName());
    if (control && IsClassOrAncestorNamed(FindOwnerForm(control), "TkqRecordViewForm")) control = nullptr;
    if (control) return control;
    if (FCellPicker && !EditControlOptions().Contains(ecoDisableDateTimePicker) && qobject_cast<TDateTimeField*>(field))
        return FCellPicker;
    return nullptr;
}

bool TkqDBGrid::IsCustomControlCell(int col, int row) const
{
    if (!IsDataCell(col, row)) return false;
    TField* field = GetColumnField(DataColumn(col));
    if (!field) return false;
    QString kind, params;
    GetControlInfo(field->FieldName(), kind, params);
    if (kind == QLatin1String("Bitmap") || kind == QLatin1String("ImageIndex") || kind == QLatin1String("CheckBox"))
        return true;
    if (IsEditControlType(kind)) return FindNamedControl(FirstItem(params)) != nullptr;
    // Date cells edit in the picker, when the program has one.
    return !EditControlOptions().Contains(ecoDisableDateTimePicker) && qobject_cast<TDateTimeField*>(field) &&
           (FCellPicker || IsControlClassRegistered(QStringLiteral("TkqDBDateTimePicker")));
}

bool TkqDBGrid::FindRichEditControl(int col, int row, QWidget*& control) const
{
    control = nullptr;
    if (!IsDataCell(col, row)) return false;
    TField* field = GetColumnField(DataColumn(col));
    if (!field) return false;
    QStringList items;
    for (const QString& line : ActiveControlTypeList()) {
        SplitToList(line, QLatin1Char(';'), items);
        if (items.size() >= 2 && items.at(0) == field->FieldName() && items.at(1) == QLatin1String("RichEdit")) {
            control = FindNamedControl(items.value(2));
            return true;
        }
    }
    return false;
}

void TkqDBGrid::BuildColumnInfoCache()
{
    TkqCustomDBGrid::BuildColumnInfoCache();
    auto& cache = const_cast<std::vector<TkqCacheColInfoItem>&>(ColumnInfoCache());
    for (int col = 0; col < int(cache.size()); ++col) {
        TField* f = GetColumnField(DataColumn(col));
        if (!f) continue;
        TkqCacheColInfoItem& item = cache[size_t(col)];
        GetControlInfo(f->FieldName(), item.ControlKind, item.Params);
        if (!IsEditControlType(item.ControlKind)) continue;
        item.ShowAlways = item.Params.section(QLatin1Char(';'), 1, 1) == QLatin1String("T");
        QWidget* control = FindCellControl(col, TitleOffset());
        if (control && control != FCellPicker) {
            item.Control = control;
        } else {
            item.ShowAlways = false;
            item.ControlKind.clear();
        }
    }
}

// =============================================================================================
// Binding controls

void TkqDBGrid::AdoptControl(QWidget* control, const QString& fieldName, bool withFont)
{
    control->hide();
    if (control->parentWidget() != viewport()) control->setParent(viewport());
    SetControlDataSource(control, DataSource());
    SetControlDataField(control, fieldName);
    WriteNamed(control, "Ctl3D", false);
    if (withFont) control->setFont(font());
    if (!IsDataInspector(control)) SetControlBorderStyle(control, false);
    else WriteNamed(control, "ScrollBars", 0);
}

void TkqDBGrid::SetControlType(const QString& fieldName, int code, const QString& params)
{
    QString kind;
    switch (code) {
    case 2: kind = QStringLiteral("CheckBox"); break;
    case 3: case 5: case 6: kind = QStringLiteral("CustomEdit"); break;
    case 4: kind = QStringLiteral("Bitmap"); break;
    case 7: kind = QStringLiteral("RichEdit"); break;
    case 8: kind = QStringLiteral("ImageIndex"); break;
    case 9: kind = QStringLiteral("URL-Link"); break;
    default: break;
    }
    if (code == 3 || code == 5 || code == 6 || code == 7) {
        QWidget* control = FindNamedControl(params);
        if (control && (CustomControlsActive() || IsExpandButton(control))) AdoptControl(control, fieldName, code != 7);
    }
    TDataSet* ds = DataSet();
    QStringList list;
    if (ControlInfoInDataset() && ds && GetControlTypeList(ds, list)) {
        StoreControlTypeEntry(ds, fieldName, kind, params);
    } else {
        list = ControlType();
        StoreControlTypeEntry(list, fieldName, kind, params);
        TkqCustomDBGrid::SetControlType(list);
    }
    // Painting reads the controls of the columns from the cache.
    BuildColumnInfoCache();
    InvalidateGrid();
}

void TkqDBGrid::PrepareCustomControls()
{
    if (FCustomControlsPrepared || !DataSource() || !DataSet() || EditControlOptions().Contains(ecoDisableCustomControls))
        return;
    QStringList items;
    for (const QString& line : ActiveControlTypeList()) {
        SplitToList(line, QLatin1Char(';'), items);
        if (items.size() < 3 || !IsEditControlType(items.at(1))) continue;
        if (QWidget* control = FindNamedControl(items.at(2))) AdoptControl(control, items.at(0), true);
    }
    FCustomControlsPrepared = true;
}

void TkqDBGrid::RefreshCustomControls()
{
    FCustomControlsPrepared = false;
    PrepareCustomControls();
    LayoutChanged();
}

TRect TkqDBGrid::CurrentCellControlRect() const
{
    TRect r = GetCellRectDefaultHeight(Col(), Row());
    if (layoutDirection() == Qt::RightToLeft) {
        const int w = r.Width();
        r.Right = ClientWidth() - r.Left;
        r.Left = r.Right - w + 1;
    }
    return r;
}

void TkqDBGrid::BindControlToCurrentCell(QWidget* control)
{
    TField* field = GetCurrentField();
    if (control->parentWidget() != viewport()) control->setParent(viewport());
    if (GetControlDataSource(control) != DataSource()) SetControlDataSource(control, DataSource());
    if (field && !EqualIgnoringCase(GetControlDataField(control), field->FieldName()))
        SetControlDataField(control, field->FieldName());
    WriteNamed(control, "Ctl3D", false);
    if (!IsDataInspector(control)) SetControlBorderStyle(control, false);
    else WriteNamed(control, "ScrollBars", 0);
    QWidget* current = FindCellControl(Col(), Row());
    if (current && (CustomControlsActive() || IsExpandButton(current))) {
        FCurrentCellControl = current;
        if (current->parentWidget() == viewport()) {
            const TRect r = CurrentCellControlRect();
            const QRect g = current->geometry();
            if (g.top() != r.Top || g.left() != r.Left || g.right() + 1 != r.Right) current->setGeometry(r.ToQRect());
        }
    }
}

void TkqDBGrid::PlaceDateTimePicker()
{
    if (Options().Contains(dgRowSelect) || !DataLink()->Active()) return;
    QWidget* own = FindCellControl(Col(), Row());
    if (own && own != FCellPicker && (CustomControlsActive() || IsExpandButton(own))) {
        BindControlToCurrentCell(own);
        return;
    }
    TField* field = GetCurrentField();
    if (EditControlOptions().Contains(ecoDisableDateTimePicker) || !qobject_cast<TDateTimeField*>(field)) return;
    if (!FCellPicker) {
        FCellPicker = CreateDateTimePicker();
        if (!FCellPicker) return;
        DoCreateDateTimePicker();
    }
    WriteNamed(FCellPicker, "ReadOnly", field->ReadOnly() || GetColumn(DataColumn(Col()))->ReadOnly());
    FCellPicker->hide();
    BindControlToCurrentCell(FCellPicker);
}

QWidget* TkqDBGrid::CreateDateTimePicker() { return CreateRegisteredControl(QStringLiteral("TkqDBDateTimePicker"), this); }

void TkqDBGrid::DoCreateDateTimePicker()
{
    if (OnCreateDateTimePicker) OnCreateDateTimePicker(this, FCellPicker);
}

// =============================================================================================
// Placing and hiding the current cell's control

bool TkqDBGrid::CanEditShow()
{
    bool show = TkqCustomDBGrid::CanEditShow();
    TInplaceEdit* editor = InplaceEditor();
    if (Options().Contains(dgAlwaysShowEditor) && !GridFocused() && editor && !editor->isVisible()) show = false;
    if (IsCustomControlCell(Col(), Row()) || IsMemoCell(Col(), Row())) show = false;
    return show;
}

void TkqDBGrid::paintEvent(QPaintEvent* event)
{
    TkqCustomDBGrid::paintEvent(event);
    UpdateCellEditor();
}

void TkqDBGrid::Paint()
{
    if (!ShowVertScrollBar() && !(VertScrollInfo() == TScrollInfo())) SetVertScrollInfo(TScrollInfo());
    QWidget* control = FCurrentCellControl;
    if (control && control->isVisible() && IsDataSetActive()) {
        const QString name = GetControlDataField(control);
        if (!name.isEmpty()) {
            bool shown;
            if (UseTFields()) {
                TField* f = DataSet()->FindField(name);
                shown = f && f->Visible();
            } else {
                shown = FindSelectedEntry(Selected(), name) >= 0;
            }
            if (!shown) HideCustomEdit();
        }
    }
    FPlacedByPaint = false;
    TkqCustomDBGrid::Paint();
}

void TkqDBGrid::DrawCell(int col, int row, const TRect& rect, TGridDrawState state)
{
    if (FDrawCellRunning) return;
    QScopedValueRollback<bool> running(FDrawCellRunning, true);
    if (col == Col() && row == Row() && IsDataCell(col, row)) {
        QWidget* control = FindCellControl(col, row);
        if (control && (CustomControlsActive() || IsExpandButton(control))) {
            FCurrentCellControl = control;
            FPlacedByPaint = true;
            bool shows = state.Contains(gdSelected) ||
                         (DataRow(row) + TitleOffset() == Row() && PaintOptions()->ActiveRecordColor() != clNone);
            if (!Options().Contains(dgAlwaysShowSelection) && (!GridFocused() || FocusInExpandedDetail())) shows = false;
            if (state.Contains(gdSelected)) {
                const TRect cell = CurrentCellControlRect();
                if (control->parentWidget() == viewport() && HoldsFocus(control)) {
                    const QRect g = control->geometry();
                    if (g.left() != cell.Left || g.right() + 1 != cell.Right) control->setGeometry(cell.ToQRect());
                } else if (shows && IsActiveControl()) {
                    const bool bound = GetControlDataSource(control) != nullptr;
                    if (auto* edit = qobject_cast<QLineEdit*>(control); edit && !bound) {
                        const int saved = DataLink()->ActiveRecord();
                        DataLink()->SetActiveRecord(DataRow(row) + RowOffset());
                        auto restore = qScopeGuard([&] { DataLink()->SetActiveRecord(saved); });
                        QString text;
                        if (IsClassOrAncestorNamed(control, "TkqDBCustomLookupCombo")) {
                            if (TField* f = GetColumnField(DataColumn(col))) text = f->AsString();
                        } else {
                            GetCellText(DataColumn(col), text);
                        }
                        edit->setText(text);
                    }
                    if (control->parentWidget() != viewport()) {
                        control->setParent(viewport());
                        WriteNamed(control, "Ctl3D", false);
                        if (!IsDataInspector(control)) SetControlBorderStyle(control, false);
                    }
                    if (control->geometry() != cell.ToQRect()) control->setGeometry(cell.ToQRect());
                    return;
                }
            }
        }
    }
    TkqCustomDBGrid::DrawCell(col, row, rect, state);
}

bool TkqDBGrid::DrawEmbeddedControlCell(int col, int dataCol, int dataRow, const TRect& cellRect, TGridDrawState state)
{
    QWidget* control = ColInfo(col).Control;
    if (!control || control == FCellPicker) return false;
    const bool imaged = ColInfo(col).ShowAlways || IsClassOrAncestorNamed(control, "TkqExpandButton") ||
                        IsClassOrAncestorNamed(control, "TkqRadioGroup") || IsClassOrAncestorNamed(control, "TkqCheckbox") ||
                        IsClassOrAncestorNamed(control, "TkqMonthCalendar");
    if (!imaged) return false;
    const int row = dataRow + TitleOffset();
    const bool current = col == Col() && row == Row();
    if (current && control->isVisible()) return true;
    if (control->width() != cellRect.Width() || control->height() != cellRect.Height())
        control->resize(cellRect.Width(), cellRect.Height());
    TCanvas& c = *Canvas();
    const int saved = DataLink()->ActiveRecord();
    DataLink()->SetActiveRecord(dataRow + RowOffset());
    auto restore = qScopeGuard([&] { DataLink()->SetActiveRecord(saved); });
    TField* field = GetColumnField(dataCol);
    QString text;
    bool highlight = false;
    SetUpControlCellColors(field, dataCol, dataRow, state, text, cellRect, highlight);
    try {
        DoDrawDataCell(cellRect, field, state);
    } catch (...) {
        return true;
    }
    if (FChangedBrush) c.FillRect(cellRect);
    auto* button = qobject_cast<TkqExpandButton*>(control);
    const bool expandedHere = button && current && button->Grid() && button->Grid()->isVisible();
    if (expandedHere) button->PaintExpanded = true;
    auto unmark = qScopeGuard([&] {
        if (button) button->PaintExpanded = false;
    });
    const int inset = ControlHasBorder(control) ? 1 : 0;
    c.Brush.Style = bsClear;
    PaintControlCopy(control, c, cellRect.Left + inset, cellRect.Top + inset);
    c.Brush.Style = bsSolid;
    return true;
}

void TkqDBGrid::UpdateCellEditor()
{
    TInplaceEdit* editor = InplaceEditor();
    if (hasFocus() && !ShowEditorSuppressed() && !IsMemoCell(Col(), Row()) && Options().Contains(dgAlwaysShowEditor) &&
        !IsCustomControlCell(Col(), Row())) {
        FCurrentCellControl = nullptr;
        if (!(editor && editor->hasFocus()) && !(editor && editor->isVisible() && EditorMode())) ShowCellEditor();
        return;
    }
    QWidget* control = FCurrentCellControl;
    if (!control && editor && editor->hasFocus()) return;
    if (!control || !GridFocused()) return;
    if (control->isHidden()) {
        if (!FPlacedByPaint) control->move(width() + 10, control->y());
        control->show();
        WriteNamed(control, "Modified", false);
    }
    if (FPlacedByPaint) {
        if (Options().Contains(dgAlwaysShowEditor) && !ExpandedButton() && !HoldsFocus(control)) {
            bool give;
            if (IsDataInspector(control)) {
                QWidget* focus = QApplication::focusWidget();
                give = !(focus && focus->parentWidget() == control);
            } else {
                give = window()->isActiveWindow() || QApplication::activeWindow() == nullptr;
            }
            if (give && control->focusPolicy() != Qt::NoFocus) {
                control->setFocus(Qt::OtherFocusReason);
                // An edit that selects its text on entry does so here too, also when a click
                // on the cell brought it: typing replaces the value.
                auto* edit = qobject_cast<QLineEdit*>(control);
                const QMetaProperty autoSelect = FindPublishedProperty(control, "AutoSelect");
                if (edit && autoSelect.isValid() && autoSelect.read(control).toBool()) edit->selectAll();
            }
        }
        control->update();
    }
    if (editor && editor->isVisible()) HideEditor();
}

void TkqDBGrid::HideCustomEdit()
{
    QWidget* control = FCurrentCellControl;
    if (!control || !control->isVisible() || control->parentWidget() != viewport()) return;
    if (HoldsFocus(control)) {
        control->move(ClientWidth() + 10, control->y());
        setFocus(Qt::OtherFocusReason);
    }
    control->hide();
}

void TkqDBGrid::PlaceCellControl()
{
    // The current cell is painted at once: the paint places its control.
    InvalidateCell(Col(), Row());
    Update();
    UpdateCellEditor();
}

// =============================================================================================
// Cell text

void TkqDBGrid::GetCellText(int dataColumn, QString& text)
{
    text.clear();
    TField* field = GetColumnField(dataColumn);
    if (!field) return;
    const int col = dataColumn + IndicatorOffset();
    QWidget* richEdit = nullptr;
    if (field->IsBlob() && FindRichEditControl(col, TitleOffset(), richEdit)) {
        const QByteArray value = field->AsBytes();
        QByteArray head = value.left(5);
        head.append(QByteArray(5 - head.size(), ' '));
        if (head == "{\\rtf") {
            text = RichTextToPlainText(this, value, FRichTextReader, FLoadAllRTF ? 0 : RichTextPreviewPieceLimit);
            if (!FLoadAllRTF) text = text.section(QLatin1Char('\n'), 0, 1);
        } else {
            text = field->AsString();
        }
        return;
    }
    // A formatted memo shown in the grid shows the plain text of its stored rich text, on one line.
    if (field->DataType() == ftFmtMemo && FMemoAttributes.Contains(mGridShow) && IsRichTextField(field, true)) {
        text = RichTextToPlainText(this, field->AsBytes(), FRichTextReader, RichTextPreviewPieceLimit)
                   .replace(QLatin1Char('\n'), QLatin1Char(' '));
        return;
    }
    if (field->DataType() == ftMemo || field->DataType() == ftOraClob) {
        TDataSet* ds = DataSet();
        if (ds && ds->Bof() && ds->Eof() && ds->State() != dsInsert) return;
        if (!FMemoAttributes.Contains(mGridShow)) {
            text = QStringLiteral("(Memo)");
            return;
        }
        try {
            text = field->AsString();
        } catch (...) {
            text = QStringLiteral("(Memo)");
        }
        return;
    }
    const TkqCacheColInfoItem& info = ColInfo(col);
    if (info.ControlKind == QLatin1String("URL-Link")) {
        QString link;
        SplitURLLink(field->AsString(), text, link);
        return;
    }
    QWidget* control = IsEditControlType(info.ControlKind) ? info.Control.data() : nullptr;
    if (control && !EditControlOptions().Contains(ecoDisableCustomControls)) {
        if (auto* map = dynamic_cast<TkqCellTextMap*>(control)) {
            const QString mapped = map->MapStoredToDisplay(field->AsString());
            if (!mapped.isNull()) {
                text = mapped;
                FTextWasMapped = true;
                return;
            }
        } else if (auto* radio = qobject_cast<TkqRadioGroup*>(control)) {
            text = radio->GetCaptionForValue(field->AsString());
            return;
        }
    }
    text = field->DisplayText();
}

// =============================================================================================
// Check-box cells and the memo dialog

bool TkqDBGrid::CheckBoxCellValues(int col, int row, QString& checked, QString& unchecked) const
{
    return GetCheckBoxValues(col, row, unchecked, checked);
}

void TkqDBGrid::ToggleCheckBoxCell(int col, int row)
{
    QString checked, unchecked;
    if (!CheckBoxCellValues(col, row, checked, unchecked)) return;
    const int dataCol = DataColumn(col);
    TField* field = GetColumnField(dataCol);
    if (!field || field->ReadOnly() || GetColumn(dataCol)->ReadOnly()) return;
    if (field->Calculated() && EqualIgnoringCase(field->FieldName(), QStringLiteral("selected"))) {
        if (IsCurrentRecordSelected()) UnselectRecord();
        else SelectRecord();
        return;
    }
    TDataSource* source = DataSource();
    TDataSet* ds = DataSet();
    if (!source) return;
    const TDataSetState state = source->State();
    if (!(source->AutoEdit() || state == dsEdit || state == dsInsert)) return;
    if (ds && !ds->CanModify()) return;
    if (!KeyOptions().Contains(dgAllowInsert) && ds && ds->Eof() && state == dsBrowse) return;
    DataLink()->Edit();
    if (!DataLink()->Editing()) return;
    QString text;
    GetCellText(dataCol, text);
    if (dataCol < GetFieldCount()) field->SetText(EqualIgnoringCase(text, checked) ? unchecked : checked);
    InvalidateCell(col, row);
}

void TkqDBGrid::OpenMemoDialog()
{
    if (FMemoAttributes.Contains(mDisableDialog)) return;
    TField* field = GetCurrentField();
    if (!field) return;
    auto finish = qScopeGuard([this] {
        InvalidateCell(Col(), Row());
        SetEditorMode(false);
    });
    TkqMemoDialog dialog(this);
    dialog.SetDataSource(DataSource());
    dialog.SetDataField(field->FieldName());
    TkqMemoAttributes attributes = FMemoAttributes;
    if (!CanEdit() || field->ReadOnly()) attributes.Include(mViewOnly);
    dialog.SetMemoAttributes(attributes);
    dialog.SetCaption(field->DisplayLabel().replace(QLatin1Char('~'), QLatin1Char(' ')));
    dialog.SetFont(Font());
    dialog.DlgLeft = -1;
    if (OnMemoOpen) OnMemoOpen(this, &dialog);
    const bool accepted = dialog.Execute();
    if (OnMemoClose) OnMemoClose(this, !accepted);
}

// =============================================================================================
// Keys, characters and clicks

void TkqDBGrid::KeyDown(int& key, TShiftState shift)
{
    QWidget* control = FCurrentCellControl;
    if (key == VK_DOWN && shift == TShiftState{ssAlt} && control && control->isVisible()) {
        control->setFocus(Qt::OtherFocusReason);
        PostKeystrokeWithModifier(control, VK_DOWN, VK_MENU);
        key = 0;
        return;
    }
    const int pressed = key;
    TkqCustomDBGrid::KeyDown(key, shift);
    if (!DataLink()->Active() || !CanGridAcceptKey(pressed, shift)) return;
    if (Options().Contains(dgRowSelect)) {
        if (pressed == VK_SPACE) {
            if (IsCurrentRecordSelected()) UnselectRecord();
            else SelectRecord();
            key = 0;
        }
        return;
    }
    const int col = Col(), row = Row();
    if (!(IsMemoCell(col, row) || CanEdit() || IsSelectionCheckBoxColumn(col))) return;
    QString checked, unchecked;
    QWidget* richEdit = nullptr;
    if (CheckBoxCellValues(col, row, checked, unchecked)) {
        if (pressed == VK_SPACE) {
            ToggleCheckBoxCell(col, row);
            key = 0;
        }
    } else if (FindRichEditControl(col, row, richEdit)) {
        if (pressed == VK_F2 && richEdit) {
            QKeyEvent f2(QEvent::KeyPress, Qt::Key_F2, Qt::NoModifier);
            QCoreApplication::sendEvent(richEdit, &f2);
            InvalidateCell(col, row);
        }
    } else if (QWidget* cellControl = FindCellControl(col, row)) {
        if (pressed == VK_F2 && cellControl->isVisible()) cellControl->setFocus(Qt::OtherFocusReason);
    } else if (IsMemoCell(col, row)) {
        if (pressed == VK_F2) {
            OpenMemoDialog();
            InvalidateCell(col, row);
        }
    } else if (CanEdit() && pressed == VK_DELETE && !IsCustomControlCell(col, row)) {
        ShowCellEditor();
        if (TInplaceEdit* editor = InplaceEditor(); editor && editor->isVisible()) {
            QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
            QCoreApplication::sendEvent(editor, &del);
            key = 0;
        }
    }
}

void TkqDBGrid::keyPressEvent(QKeyEvent* event)
{
    // A character typed on a memo or control cell goes to the cell's control, or nowhere: it is
    // never typed into the grid's own editor.
    const QString typed = event->text();
    const bool character = !typed.isEmpty() && (typed.at(0).unicode() == 8 || typed.at(0).unicode() >= 32) &&
                           !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (!character || !DataLink()->Active() || !CanEdit() ||
        !(IsMemoCell(Col(), Row()) || IsCustomControlCell(Col(), Row()))) {
        TkqCustomDBGrid::keyPressEvent(event);
        return;
    }
    int key = KeyEventToVirtualKey(event);
    if (key) {
        KeyDown(key, ShiftStateFromModifiers(event->modifiers()));
        if (!key) {
            event->accept();
            return;
        }
    }
    event->accept();
    QWidget* control = FindCellControl(Col(), Row());
    if (!control || !control->isVisible()) return;
    QChar ch = typed.at(0);
    if (OnKeyPress) OnKeyPress(this, ch);
    if (ch.isNull()) return;
    control->setFocus(Qt::OtherFocusReason);
    QWidget* target = control->focusProxy() ? control->focusProxy() : control;
    if (QWidget* focus = QApplication::focusWidget(); focus && (focus == control || control->isAncestorOf(focus))) target = focus;
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, event->key(), event->modifiers(), QString(ch)));
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, event->key(), event->modifiers(), QString(ch)));
}

void TkqDBGrid::KeyPress(QChar& key) { TkqCustomDBGrid::KeyPress(key); }

void TkqDBGrid::DblClick()
{
    TkqCustomDBGrid::DblClick();
    const TGridCoord cell = MouseCoord(FLastMouseDown.x(), FLastMouseDown.y());
    QWidget* richEdit = nullptr;
    if (FindRichEditControl(cell.X, cell.Y, richEdit)) {
        if (richEdit) {
            QKeyEvent f2(QEvent::KeyPress, Qt::Key_F2, Qt::NoModifier);
            QCoreApplication::sendEvent(richEdit, &f2);
        }
    } else if (IsMemoCell(cell.X, cell.Y)) {
        OpenMemoDialog();
    }
}

void TkqDBGrid::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    FLastMouseDown = QPoint(x, y);
    const TBookmark anchor = FShiftAnchor;
    const bool wasShiftSelecting = FShiftSelecting;
    TkqCustomDBGrid::MouseDown(button, shift, x, y);
    if (button == mbLeft) {
        Update();
        const TGridCoord cell = MouseCoord(x, y);
        if (IsDataCell(cell.X, cell.Y) && (CanEdit() || IsSelectionCheckBoxColumn(cell.X))) {
            const bool twice = shift.Contains(ssDouble);
            const bool single = EditControlOptions().Contains(ecoCheckboxSingleClick);
            if ((single && !twice) || (!single && twice)) {
                ToggleCheckBoxCell(cell.X, cell.Y);
                Update();
            }
        }
        if (cell == TGridCoord{Col(), Row()})
            if (QWidget* control = FindCellControl(cell.X, cell.Y); control && !control->isVisible()) {
                InvalidateCell(cell.X, cell.Y);
                Update();
            }
        TDataSet* ds = DataSet();
        if (Options().Contains(dgMultiSelect) && shift.Contains(ssShift) && wasShiftSelecting && ds && !anchor.IsNull() &&
            ds->BookmarkValid(anchor) && !IsSelectionCheckBoxColumn(cell.X))
            SelectRecordRange(ds->GetBookmark(), anchor);
    }
    if (QWidget* control = FCurrentCellControl; control && IsClassOrAncestorNamed(control, "TkqDBRichEdit"))
        WriteNamed(control, "GridClickTime", QDateTime::currentMSecsSinceEpoch());
}

// =============================================================================================
// Leaving, scrolling and moving

void TkqDBGrid::DoColEnter()
{
    PlaceDateTimePicker();
    TkqCustomDBGrid::DoColEnter();
}

void TkqDBGrid::DoColExit()
{
    QWidget* control = FCurrentCellControl;
    if (control && (IsActiveControl() || HoldsFocus(control) || HasFocusWithin())) {
        HideCustomEdit();
        FCurrentCellControl = nullptr;
    }
    TkqCustomDBGrid::DoColExit();
}

void TkqDBGrid::DoExit()
{
    HideCustomEdit();
    HideEditor();
    TkqCustomDBGrid::DoExit();
}

void TkqDBGrid::UpdateData() { TkqCustomDBGrid::UpdateData(); }

void TkqDBGrid::ColumnMoved(int fromIndex, int toIndex)
{
    HideCustomEdit();
    TkqCustomDBGrid::ColumnMoved(fromIndex, toIndex);
}

void TkqDBGrid::Scroll(int distance)
{
    QWidget* control = FCurrentCellControl;
    if (isVisible() && control && control->isVisible() && HoldsFocus(control) && CanFocus()) setFocus(Qt::OtherFocusReason);
    TkqCustomDBGrid::Scroll(distance);
}

void TkqDBGrid::TopLeftChanged()
{
    if (Options().Contains(dgRowSelect) && !FPinningTopRow && TopRow() != TitleOffset()) {
        QScopedValueRollback<bool> pinning(FPinningTopRow, true);
        SetTopRow(TitleOffset());
    }
    TkqCustomDBGrid::TopLeftChanged();
    QWidget* control = FCurrentCellControl;
    if (!control || !control->isVisible()) return;
    const TRect r = CurrentCellControlRect();
    if (r.IsEmpty()) {
        control->hide();
    } else if (control->geometry() != r.ToQRect()) {
        HideCustomEdit();
        InvalidateGrid();
    }
}

// =============================================================================================
// Expand buttons

bool TkqDBGrid::CurrentControlIsExpandButton(bool* expanded) const
{
    auto* button = qobject_cast<TkqExpandButton*>(FCurrentCellControl.data());
    if (expanded) *expanded = button && button->Checked();
    return button;
}

TkqExpandButton* TkqDBGrid::ExpandedButton() const
{
    for (TkqExpandButton* button : viewport()->findChildren<TkqExpandButton*>(Qt::FindDirectChildrenOnly))
        if (button->Checked() && button->Grid() && button->Grid()->isVisible()) return button;
    return nullptr;
}

bool TkqDBGrid::FocusInExpandedDetail() const
{
    TkqExpandButton* button = ExpandedButton();
    return button && HoldsFocus(button->Grid());
}

void TkqDBGrid::CollapseExpandButtons()
{
    for (TkqExpandButton* button : viewport()->findChildren<TkqExpandButton*>(Qt::FindDirectChildrenOnly)) {
        if (button->Toggling()) continue;
        if (button->Checked()) button->SetExpanded(false);
        else if (button->Grid() && button->Grid()->isVisible()) button->Click();
    }
}

void TkqDBGrid::ExpandCurrentButton()
{
    if (auto* button = qobject_cast<TkqExpandButton*>(FCurrentCellControl.data())) button->SetExpanded(true);
}
