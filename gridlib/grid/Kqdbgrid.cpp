// The published grid: construction, the column layout from the Selected list, program-fixed
// columns, the application's small operations, and the layout kept in a settings file.

#include "gridlib/grid/Kqdbgrid.h"

#include "gridlib/core/Kqintl.h"
#include "gridlib/core/Kqstr.h"
#include "platform/core/IniFiles.h"
#include "platform/core/SysUtils.h"
#include "platform/vcl/Dialogs.h"

#include <QCoreApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QStandardPaths>

// =============================================================================================
// TkqIniAttributes

TkqIniAttributes::TkqIniAttributes(TkqDBGrid* grid) : QObject(grid), FGrid(grid) {}

QString TkqIniAttributes::FileName() const
{
    if (!FFileName.isEmpty()) return FFileName;
    const TkqIntl* intl = KqIntl();
    if (!intl->Connected()) return {};
    if (!intl->IniFileName.isEmpty()) return intl->IniFileName;
    if (FSaveToRegistry) return {};
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName() + QStringLiteral(".ini");
}

QString TkqIniAttributes::SectionName() const
{
    if (!FSectionName.isEmpty()) return FSectionName;
    return FFormName + (FGrid ? FGrid->objectName() : QString());
}

QString TkqIniAttributes::RegistryKeyFile(const QString& keyPath)
{
    // Each key of the path is a folder, the last one the file; nothing climbs out of the folder.
    QStringList parts;
    for (const QString& part : QString(keyPath).replace(QLatin1Char('\\'), QLatin1Char('/')).split(QLatin1Char('/'))) {
        const QString trimmed = part.trimmed();
        if (trimmed.isEmpty() || trimmed == QLatin1String(".") || trimmed == QLatin1String("..")) continue;
        parts << trimmed;
    }
    if (parts.isEmpty()) return {};
    QString base = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    if (base.isEmpty()) base = QDir::homePath() + QStringLiteral("/.config");
    return base + QLatin1Char('/') + parts.join(QLatin1Char('/')) + QStringLiteral(".ini");
}

// =============================================================================================
// Construction

TkqDBGrid::TkqDBGrid(QWidget* parent) : TkqCustomDBGrid(parent)
{
    FIniAttributes = std::make_unique<TkqIniAttributes>(this);
    FIniAttributes->SetDelimiter(QStringLiteral(";;"));
    FExportOptions = std::make_unique<TkqExportOptions>(this);
}

TkqDBGrid::~TkqDBGrid()
{
    FDestroying = true;
    if (FIniAttributes->Enabled()) {
        try {
            SaveLayout();
        } catch (...) {
            // A layout that cannot be written is lost; the grid still goes.
        }
    }
    HideCellHint();
    ClearSelectedBookmarks();
    if (FCellPicker) delete FCellPicker.data();
}

// =============================================================================================
// Layout

void TkqDBGrid::RefreshLayout()
{
    if (FLayoutRunning || !DataSource() || !DataSet()) return;
    ClearBaseWidths();
    if (Options().Contains(dgProportionalColResize)) LayoutChanged();
    PrepareCustomControls();
    TDataSet* ds = DataSet();
    ds->DisableControls();
    auto done = qScopeGuard([&] {
        ds->EnableControls();
        FLayoutRunning = false;
        FLayoutAppliedOnce = true;
    });
    FCurrentCellControl = nullptr;
    if (ControlInfoInDataset()) {
        QStringList lookupFields, lookupLinks, controlType;
        const bool hasLookupFields = GetLookupFieldsList(ds, lookupFields);
        const bool hasLookupLinks = GetLookupLinksList(ds, lookupLinks);
        if (GetControlTypeList(ds, controlType)) {
            PurgeMissingFieldEntries(ds, hasLookupFields ? &lookupFields : nullptr, hasLookupLinks ? &lookupLinks : nullptr,
                                     &controlType);
            SetStringListProperty(ds, "ControlType", controlType);
            if (hasLookupFields) SetStringListProperty(ds, "LookupFields", lookupFields);
            if (hasLookupLinks) SetStringListProperty(ds, "LookupLinks", lookupLinks);
        }
    }
    FLayoutRunning = true;
    if (!Selected().isEmpty()) {
        bool calculated = false;
        for (TField* f : ds->Fields())
            if (f->Calculated()) calculated = true;
        if (!calculated) ApplySelected();
    }
}

void TkqDBGrid::ApplySelected()
{
    ClearBaseWidths();
    if (UseTFields()) {
        if (!DataSource() || !DataSet()) return;
        ApplySelectedToFields(DataSet(), Selected());
        if (!Selected().isEmpty()) LayoutChanged();
    } else {
        RefreshCustomControls();
    }
    PlaceDateTimePicker();
}

void TkqDBGrid::SetColumnWidths()
{
    ApplyFixedCols();
    TkqCustomDBGrid::SetColumnWidths();
    if (DataLink()->Active()) {
        for (int dc = 0; dc < GetFieldCount(); ++dc) {
            TField* f = GetField(dc);
            const int col = dc + IndicatorOffset();
            if (!f || !f->Calculated()) continue;
            const QString& kind = ColInfo(col).ControlKind;
            if (FindCellControl(col, TitleOffset()) || IsSelectionCheckBoxColumn(col) || kind == QLatin1String("Bitmap") ||
                kind == QLatin1String("ImageIndex"))
                SetTabStops(col, true);
        }
        // Tab passes the program-fixed columns.
        for (int col = IndicatorOffset(); col < TCustomGrid::FixedCols() && col < ColCount(); ++col) SetTabStops(col, false);
    }
    PlaceDateTimePicker();
}

void TkqDBGrid::SetFixedCols(int count)
{
    FFixedColsValue = count;
    LayoutChanged();
}

void TkqDBGrid::ApplyFixedCols()
{
    const int n = IndicatorOffset() + FFixedColsValue;
    if (n == TCustomGrid::FixedCols() || !IsDataSetActive() || n >= ColCount() || FFixedColsValue < 0) return;
    TCustomGrid::SetFixedCols(n);
    FAppliedFixedCols = FFixedColsValue;
    if (Options().Contains(dgFixedEditable) && LeftCol() == n) SelectColumn(0);
}

void TkqDBGrid::LinkActive(bool value)
{
    QScopedValueRollback<bool> reacting(FLinkReaction, true);
    if (FCellPicker) SetControlDataField(FCellPicker, QString());
    if (!value) {
        FShiftSelecting = false;
        FShiftAnchor = TBookmark();
    }
    TkqCustomDBGrid::LinkActive(value);
    if (value) RefreshLayout();
}

void TkqDBGrid::SetMemoAttributes(TkqMemoAttributes attributes)
{
    FMemoAttributes = attributes;
    RefreshLayout();
}

void TkqDBGrid::showEvent(QShowEvent* event)
{
    TkqCustomDBGrid::showEvent(event);
    if (!FFirstShowPending) return;
    FFirstShowPending = false;
    if (QWidget* form = FindOwnerForm(this); form && form != this) FIniAttributes->SetFormName(form->objectName());
    if (FIniAttributes->Enabled()) LoadLayout();
}

// =============================================================================================
// Application operations

TGridCoord TkqDBGrid::MouseCoord(int x, int y) const { return TCustomGrid::MouseCoord(x, y); }

int TkqDBGrid::GetDataRow() const { return Options().Contains(dgTitles) ? Row() - 1 : Row(); }

void TkqDBGrid::SetDataRow(int index)
{
    // The record shown on that row becomes the current one; the rows stay where they are.
    TDataSet* ds = DataSet();
    const int count = DataLink()->RecordCount();
    if (!DataLink()->Active() || !ds || count <= 0) return;
    const int target = std::clamp(index + RowOffset(), 0, count - 1);
    if (target != DataLink()->ActiveRecord()) ds->MoveBy(target - DataLink()->ActiveRecord());
    InvalidateGrid();
}

TField* TkqDBGrid::GetCurrentField() const { return GetColumnField(DataColumn(Col())); }

void TkqDBGrid::SelectFieldByName(const QString& name)
{
    if (!DataLink()->Active()) return;
    const QString wanted = name.toLower();
    for (int dc = 0; dc < GetFieldCount(); ++dc) {
        TField* f = GetField(dc);
        if (f && f->FieldName().toLower() == wanted) {
            SelectColumn(dc);
            return;
        }
    }
}

void TkqDBGrid::contextMenuEvent(QContextMenuEvent* event)
{
    FPopupPoint = viewport()->mapFromGlobal(event->globalPos());
    if (FPopupMenu) FPopupMenu->popup(event->globalPos());
    event->accept();
}

// =============================================================================================
// Layout persistence

bool TkqDBGrid::LayoutStoreUsable(bool destroying, bool saving) const
{
    const TkqIniAttributes& a = *FIniAttributes;
    const QString file = a.FileName();
    const auto warn = [](const QString& text) { MessageDlg(text, mtWarning, {mbOK}); };
    const auto folderMissing = [&] {
        if (a.SaveToRegistry() || file.isEmpty()) return false;
        const QString folder = QFileInfo(file).path();
        return file.contains(QLatin1Char('/')) && !folder.isEmpty() && !QFileInfo(folder).isDir();
    };
    if (a.SaveToRegistry() && file.isEmpty()) {
        if (!saving || !destroying) warn(QStringLiteral("FileName required when saving to registry"));
        return false;
    }
    if (saving && folderMissing()) {
        if (!destroying) warn(QStringLiteral("Directory does not exist"));
        return false;
    }
    if (a.Delimiter().isEmpty()) {
        warn(QStringLiteral("Key delimiter required"));
        return false;
    }
    if (!saving && folderMissing()) {
        warn(QStringLiteral("Directory does not exist"));
        return false;
    }
    return true;
}

std::unique_ptr<TCustomIniFile> TkqDBGrid::OpenLayoutStore() const
{
    const QString file = FIniAttributes->FileName();
    if (FIniAttributes->SaveToRegistry()) {
        const QString path = TkqIniAttributes::RegistryKeyFile(file);
        if (path.isEmpty()) return nullptr;
        QDir().mkpath(QFileInfo(path).path());
        return std::make_unique<TIniFile>(path);
    }
    return std::make_unique<TIniFile>(file);
}

void TkqDBGrid::SaveLayout()
{
    if (!LayoutStoreUsable(FDestroying, true)) return;
    const QString d = FIniAttributes->Delimiter();
    const QString section = FIniAttributes->SectionName();
    QStringList keys, values;
    if (UseTFields()) {
        for (int i = 0; i < GetFieldCount(); ++i) {
            TField* f = GetField(i);
            if (!f) continue;
            const bool readOnly = f->ReadOnly() || GetColumn(i)->ReadOnly();
            keys << f->FieldName();
            values << QString::number(f->DisplayWidth()) + d + f->DisplayLabel() + d + BoolToTF(readOnly);
        }
    } else {
        QStringList parts;
        for (const QString& line : Selected()) {
            SplitToList(line, QLatin1Char('\t'), parts);
            while (parts.size() < 3) parts << QString();
            QString value = parts.at(1) + d + parts.at(2) + d + (parts.size() >= 4 ? parts.at(3) : QStringLiteral("F"));
            if (parts.size() == 5 && !parts.at(4).isEmpty()) value += d + parts.at(4);
            keys << parts.at(0);
            values << value;
        }
    }
    if (keys.isEmpty()) return;
    std::unique_ptr<TCustomIniFile> store = OpenLayoutStore();
    if (!store) return;
    auto* ini = dynamic_cast<TIniFile*>(store.get());
    if (ini) ini->BeginUpdate();
    store->EraseSection(section);
    for (int i = 0; i < keys.size(); ++i) store->WriteString(section, keys.at(i), values.at(i));
    if (ini) ini->EndUpdate();
}

void TkqDBGrid::LoadLayout()
{
    if (!LayoutStoreUsable(FDestroying, false)) return;
    const QString d = FIniAttributes->Delimiter();
    const QString section = FIniAttributes->SectionName();
    const QStringList old = Selected();
    std::unique_ptr<TCustomIniFile> store = OpenLayoutStore();
    if (!store) return;
    const QStringList keys = store->ReadSection(section);
    if (keys.isEmpty()) return;
    QStringList lines;
    for (const QString& key : keys) {
        const QString value = store->ReadString(section, key, QString());
        if (!value.contains(d)) {
            MessageDlg(QStringLiteral("Key Delimiter Not Found"), mtWarning, {mbOK});
            SetSelected(UseTFields() ? QStringList() : old);
            return;
        }
        QString replaced;
        for (int at = 0; at < value.size();) {
            if (value.mid(at, d.size()) == d) {
                replaced += QLatin1Char('\t');
                at += int(d.size());
            } else {
                replaced += value.at(at++);
            }
        }
        lines << key + QLatin1Char('\t') + replaced;
    }
    if (FIniAttributes->CheckNewFields()) {
        for (const QString& line : old) {
            const QString name = SelectedPart(line, 0);
            bool found = false;
            for (const QString& taken : lines)
                if (EqualIgnoringCase(SelectedPart(taken, 0), name)) found = true;
            if (!found) lines << line;
        }
    }
    SetSelected(lines);
    ApplySelected();
}
