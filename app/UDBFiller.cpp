#include "app/UDBFiller.h"

#include "app/UGeneral.h"
#include "gridlib/core/kqclient.h"
#include "gridlib/core/kqradiogroup.h"
#include "gridlib/editors/kqdbcombo.h"
#include "gridlib/grid/Kqdbgrid.h"
#include "platform/client/ClientDataSet.h"
#include "platform/core/ScopeExit.h"
#include "platform/vcl/Forms.h"
#include "utilities/Placemnt.h"
#include "utilities/VZCtrls.h"
#include "utilities/VZSpin.h"
#include "utilities/VzMenus.h"

#include <QAction>
#include <QDateTime>
#include <QGroupBox>
#include <QHash>
#include <QHBoxLayout>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QUuid>
#include <QVBoxLayout>
#include <functional>
#include <optional>

// ---------------------------------------------------------------------------------------------
// Random numbers

namespace {
quint64 SplitMix(quint64& x)
{
    quint64 z = (x += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

inline quint64 Rotl(quint64 x, int k) { return (x << k) | (x >> (64 - k)); }
} // namespace

void TRandomGenerator::SetSeed(quint64 seed)
{
    for (quint64& s : FState) s = SplitMix(seed);
}

void TRandomGenerator::Randomize()
{
    SetSeed(quint64(QDateTime::currentMSecsSinceEpoch()) ^ (quint64(QDateTime::currentDateTime().time().msec()) << 40) ^
            quint64(reinterpret_cast<quintptr>(this)));
}

quint64 TRandomGenerator::Next()
{
    const quint64 result = Rotl(FState[1] * 5, 7) * 9;
    const quint64 t = FState[1] << 17;
    FState[2] ^= FState[0];
    FState[3] ^= FState[1];
    FState[1] ^= FState[2];
    FState[0] ^= FState[3];
    FState[2] ^= t;
    FState[3] = Rotl(FState[3], 45);
    return result;
}

int TRandomGenerator::Random(int range)
{
    if (range <= 0) return 0;
    return int(((Next() >> 32) * quint64(range)) >> 32);
}

double TRandomGenerator::Random() { return double(Next() >> 11) * (1.0 / 9007199254740992.0); }

// ---------------------------------------------------------------------------------------------
// Fixed texts

const QStringList FillMethods = {QStringLiteral("No Value"), QStringLiteral("Increment"), QStringLiteral("Random"),
                                 QStringLiteral("Single"),   QStringLiteral("List"),      QStringLiteral("GUID")};

namespace {
QString ValueItem(const char* category, const char* values)
{
    const QString list = QString::fromLatin1(values);
    return QString::fromLatin1(category) + QLatin1Char('=') + list + QLatin1Char('\t') + list;
}
} // namespace

const QStringList FillValueItems = {
    ValueItem("FIRST NAME", "Anna;Ben;Clara;Daniel;Eva;Felix;Grace;Hugo;Irene;Jonas;Karla;Leon;Mara;Nils;Olga;Paul;"
                            "Rita;Simon;Tanja;Ulrich;Vera;Walter;Yvonne;Zeno;Bruno;Celia;Dora;Emil"),
    ValueItem("LAST NAME", "Abbott;Berger;Castell;Dunmore;Eskew;Falkner;Garrow;Holloway;Ingram;Jessop;Kettle;"
                           "Lindqvist;Marsh;Nettleton;Orwin;Pemberton;Quayle;Rudge;Stroud;Tolley;Upton;Varga;Whitlock;Yardley"),
    ValueItem("ADDRESS", "12 Mill Lane;4 Harbour Road;78 Orchard Street;231 Station Avenue;9 Church Walk;56 Quarry Hill;"
                         "17 Meadow Close;302 King Street;45 Riverside Drive;8 Chapel Row;120 Market Square;"
                         "63 Elm Grove;27 Bridge End;91 Park Terrace;14 Willow Way;5 Castle Gate"),
    ValueItem("COUNTRY", "Argentina;Australia;Austria;Belgium;Brazil;Canada;Chile;Denmark;Egypt;Finland;France;Germany;"
                         "Greece;India;Ireland;Italy;Japan;Kenya;Mexico;Norway;Peru;Portugal;Spain;Sweden;Turkey;Uruguay"),
    ValueItem("POSTAL CODE", "1010;2040;30159;4051;50667;6020;70173;8001;90402;10115;21335;38100;44135;55116;64283;"
                             "72072;80331;93047;1200;3011"),
    ValueItem("TITLE", "Mr;Ms;Mrs;Miss;Dr;Prof"),
    ValueItem("OCCUPATION", "Programmer;Doctor;Engineer;Farmer;Chef;Cashier;Teacher;Nurse;Pilot;Carpenter;Lawyer;"
                            "Plumber;Baker;Architect;Librarian;Electrician;Gardener;Accountant;Journalist;Mechanic"),
    ValueItem("PHONE", "555-0100;555-0117;555-0123;555-0138;555-0142;555-0156;555-0161;555-0175;555-0189;555-0194;"
                       "(020) 555 0147;(030) 555 0182;(040) 555 0119;(069) 555 0163;(089) 555 0131"),
};

QString FillerDefinitionsFileName()
{
    return ExtractFilePath(SettingsFileName()) + QStringLiteral("FillerSaveDef.dat");
}

// ---------------------------------------------------------------------------------------------
// The dialog

namespace {
const QString FieldNameField = QStringLiteral("FieldName");
const QString MethodField = QStringLiteral("Method");
const QString ValueField = QStringLiteral("Value");
const QString TableNameField = QStringLiteral("TableName");
const QString LinkField = QStringLiteral("Link");

// Rows are few; their tables hold wide text so that any field name and value survives.
void CreateRowsTable(TClientDataSet* table)
{
    table->Close();
    table->FieldDefs().Clear();
    table->FieldDefs().Add(FieldNameField, ftWideString, 100);
    table->FieldDefs().Add(MethodField, ftWideString, 25);
    table->FieldDefs().Add(ValueField, ftWideString, 255);
    table->CreateDataSet();
    table->SetLogChanges(false);
}

bool IsTextType(int type)
{
    return type == ftString || type == ftMemo || type == ftFixedChar || type == ftWideString;
}

} // namespace

TfrmDBFiller::TfrmDBFiller(QWidget* parent) : QDialog(parent), FRandom(std::make_unique<TRandomGenerator>())
{
    setObjectName(QStringLiteral("frmDBFiller"));
    setWindowTitle(QStringLiteral("Table Filler"));
    resize(900, 520);
    // First among the children, so that it is destroyed while the controls it stores still live.
    FormStorage = new TFormStorage(this);
    FormStorage->setObjectName(QStringLiteral("FormStorage"));
    FormStorage->SetIniFileName(SettingsFileName());
    FormStorage->SetIniSection(QStringLiteral("DBFiller"));
    FormStorage->SetOptions(fpPosition);
    FormStorage->SetStoredProps({QStringLiteral("EdtNoFill.Value"), QStringLiteral("rgAppendUpdate.ItemIndex"),
                                 QStringLiteral("EdtDetailNoFill.Value")});
    CreateTables();
    CreateControls();

    OpenDefinitions();
}

TfrmDBFiller::~TfrmDBFiller()
{
    // The grid and the combos let go of the rows before the tables die.
    grdFiller->SetDataSource(nullptr);
    EdtMethod->SetDataSource(nullptr);
    EdtValue->SetDataSource(nullptr);
}

void TfrmDBFiller::SetRandomSource(std::unique_ptr<TFillRandom> source)
{
    if (source) FRandom = std::move(source);
}

void TfrmDBFiller::CreateTables()
{
    cdsFiller = new TkqClientDataSet(this);
    cdsFiller->setObjectName(QStringLiteral("cdsFiller"));
    cdsFiller->SetValidateWithMask(true);
    // The grid takes its cell editors from the rows table.
    cdsFiller->SetControlType(
        QStringList{QStringLiteral("Method;CustomEdit;EdtMethod;F"), QStringLiteral("Value;CustomEdit;EdtValue;F")});
    CreateRowsTable(cdsFiller);
    struct TColumnLook {
        const QString& Name;
        const char* Title;
        int Width;
    };
    for (const TColumnLook& c : {TColumnLook{FieldNameField, "Field Name Type(Length)", 30},
                                 TColumnLook{MethodField, "Fill Method", 15}, TColumnLook{ValueField, "Fill Value", 62}}) {
        TField* f = cdsFiller->FieldByName(c.Name);
        f->SetDisplayLabel(QString::fromLatin1(c.Title));
        f->SetDisplayWidth(c.Width);
    }
    cdsFillerDetail = new TkqClientDataSet(this);
    cdsFillerDetail->setObjectName(QStringLiteral("cdsFillerDetail"));
    CreateRowsTable(cdsFillerDetail);
    dsFiller = new TDataSource(this);
    dsFiller->setObjectName(QStringLiteral("dsFiller"));
    dsFiller->SetDataSet(cdsFiller);
}

void TfrmDBFiller::CreateControls()
{
    QLayout* top = CreateSettingsRow();
    QWidget* progress = CreateProgress();
    CreateCellEditors();
    CreateGrid();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(progress);
    layout->addWidget(grdFiller, 1);

    FromTop1->OnClick = [this](QObject*) { TApplication::Guard([this] { FromTop1Click(); }); };
    FromCurrentRecord1->OnClick = [this](QObject*) { TApplication::Guard([this] { FromCurrentRecord1Click(); }); };
    connect(btnCancel, &QPushButton::clicked, this, [this] { TApplication::Guard([this] { btnCancelClick(); }); });
    connect(btnCountTabSQL, &QPushButton::clicked, this,
            [this] { TApplication::Guard([this] { btnCountTabSQLClick(); }); });
}

// The counts, the fill type, Fill with its menu and Close.
QLayout* TfrmDBFiller::CreateSettingsRow()
{
    auto* fillCount = new QGroupBox(QStringLiteral("Fill Count"), this);
    EdtNoFill = new TVzSpinEdit(fillCount);
    EdtNoFill->setObjectName(QStringLiteral("EdtNoFill"));
    EdtNoFill->SetMinValue(1);
    EdtNoFill->SetMaxValue(1000000);
    EdtNoFill->SetIntValue(10);
    btnCountTabSQL = new QPushButton(QStringLiteral("Count"), fillCount);
    btnCountTabSQL->setObjectName(QStringLiteral("btnCountTabSQL"));
    btnCountTabSQL->setToolTip(QStringLiteral("Count the records for the current table"));
    auto* fillCountLayout = new QHBoxLayout(fillCount);
    fillCountLayout->addWidget(EdtNoFill, 1);
    fillCountLayout->addWidget(btnCountTabSQL);

    auto* detailCount = new QGroupBox(QStringLiteral("Detail Fill Count"), this);
    EdtDetailNoFill = new TVzSpinEdit(detailCount);
    EdtDetailNoFill->setObjectName(QStringLiteral("EdtDetailNoFill"));
    EdtDetailNoFill->SetMinValue(1);
    EdtDetailNoFill->SetMaxValue(1000000);
    EdtDetailNoFill->SetIntValue(10);
    auto* detailLayout = new QHBoxLayout(detailCount);
    detailLayout->addWidget(EdtDetailNoFill);

    rgAppendUpdate = new TkqRadioGroup(this);
    rgAppendUpdate->setObjectName(QStringLiteral("rgAppendUpdate"));
    rgAppendUpdate->SetCaption(QStringLiteral("Fill Type"));
    rgAppendUpdate->SetColumns(2);
    rgAppendUpdate->SetItems({QStringLiteral("Append"), QStringLiteral("Update")});
    rgAppendUpdate->SetItemIndex(0);
    rgAppendUpdate->OnClick = [this](QObject*) { rgAppendUpdateClick(); };

    VzPopupMenu = new TVzPopupMenu(this);
    VzPopupMenu->setObjectName(QStringLiteral("VzPopupMenu"));
    FromTop1 = VzPopupMenu->Items()->AddItem(QStringLiteral("From Top"));
    FromTop1->setObjectName(QStringLiteral("FromTop1"));
    FromCurrentRecord1 = VzPopupMenu->Items()->AddItem(QStringLiteral("From Current Record"));
    FromCurrentRecord1->setObjectName(QStringLiteral("FromCurrentRecord1"));
    btnFill = new TVzSpeedButton(this);
    btnFill->setObjectName(QStringLiteral("btnFill"));
    btnFill->SetCaption(QStringLiteral("Fill"));
    btnFill->SetDropDownMenu(VzPopupMenu);
    btnFill->SetLayout(blGlyphLeft);
    btnFill->setFixedSize(80, 28);

    btnCancel = new QPushButton(QStringLiteral("&Close"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setDefault(true);
    btnCancel->setToolTip(QStringLiteral("Cancel the Fill process"));
    // The one control that must work while a fill runs.
    TApplication::SetAllowedWhileBusy(btnCancel);

    auto* top = new QHBoxLayout;
    top->addWidget(fillCount, 2);
    top->addWidget(detailCount, 1);
    top->addWidget(rgAppendUpdate, 2);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(btnFill);
    buttons->addWidget(btnCancel);
    top->addLayout(buttons);
    return top;
}

QWidget* TfrmDBFiller::CreateProgress()
{
    auto* progress = new QGroupBox(QStringLiteral("Fill Progress"), this);
    Gauge = new QProgressBar(progress);
    Gauge->setObjectName(QStringLiteral("Gauge"));
    Gauge->setRange(0, 100);
    Gauge->setValue(0);
    QPalette blue = Gauge->palette();
    blue.setColor(QPalette::Highlight, QColor(0, 0, 255));
    Gauge->setPalette(blue);
    auto* progressLayout = new QHBoxLayout(progress);
    progressLayout->addWidget(Gauge);
    return progress;
}

// The method and value editors of the grid's cells.
void TfrmDBFiller::CreateCellEditors()
{
    EdtMethod = new TkqDBComboBox(this);
    EdtMethod->setObjectName(QStringLiteral("EdtMethod"));
    EdtMethod->SetStyle(csDropDownList);
    EdtMethod->SetItems(FillMethods);
    EdtMethod->SetAutoDropDown(true);
    EdtMethod->SetDropDownCount(8);
    EdtMethod->hide();

    EdtValue = new TkqDBComboBox(this);
    EdtValue->setObjectName(QStringLiteral("EdtValue"));
    EdtValue->SetStyle(csDropDown);
    EdtValue->SetMapList(true);
    EdtValue->SetItems(FillValueItems);
    EdtValue->SetDropDownCount(8);
    EdtValue->hide();
    // Closing the list comes before the pick lands in the combo; the row takes the text after.
    EdtValue->OnCloseUp = [this](QObject*) { PostCall(this, [this] { EdtValueCloseUp(); }); };
}

// The grid of the fields' fill rules, with its menu that sets every method at once.
void TfrmDBFiller::CreateGrid()
{
    grdFiller = new TkqDBGrid(this);
    grdFiller->setObjectName(QStringLiteral("grdFiller"));
    grdFiller->SetOptions({dgEditing, dgTitles, dgIndicator, dgColLines, dgRowLines, dgTabs, dgConfirmDelete,
                           dgCancelOnExit, dgWordWrap});
    grdFiller->SetKeyOptions({});
    grdFiller->SetDataSource(dsFiller);
    grdFiller->OnCellChanged = [this](QObject*) { grdFillerCellChanged(); };

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    QMenu* changeAll = PopupMenu1->addMenu(QStringLiteral("Change all Methods to"));
    changeAll->setObjectName(QStringLiteral("ChangeallMethodsto1"));
    struct TMethodItem {
        QAction** Action;
        const char* Name;
        int Method;
    };
    for (const TMethodItem& item :
         {TMethodItem{&mnuNoValue, "mnuNoValue", 0}, TMethodItem{&mnuIncrement, "mnuIncrement", 1},
          TMethodItem{&mnuRandom, "mnuRandom", 2}, TMethodItem{&mnuSingle, "mnuSingle", 3},
          TMethodItem{&mnuList, "mnuList", 4}}) {
        QAction* a = changeAll->addAction(FillMethods[item.Method]);
        a->setObjectName(QString::fromLatin1(item.Name));
        *item.Action = a;
        const QString method = FillMethods[item.Method];
        connect(a, &QAction::triggered, this,
                [this, method] { TApplication::Guard([&] { SetAllMethods(cdsFiller, method); }); });
    }
    grdFiller->SetPopupMenu(PopupMenu1);
}

// ---------------------------------------------------------------------------------------------
// Saved definitions

void TfrmDBFiller::OpenDefinitions()
{
    cdsFillerSaveDef = new TClientDataSet(this);
    cdsFillerSaveDef->setObjectName(QStringLiteral("cdsFillerSaveDef"));
    const auto createEmpty = [this] {
        cdsFillerSaveDef->Close();
        cdsFillerSaveDef->FieldDefs().Clear();
        cdsFillerSaveDef->FieldDefs().Add(TableNameField, ftWideString, 255);
        TFieldDef* link = cdsFillerSaveDef->FieldDefs().Add(LinkField, ftDataSet);
        link->ChildDefs()->Add(FieldNameField, ftWideString, 100);
        link->ChildDefs()->Add(MethodField, ftWideString, 20);
        link->ChildDefs()->Add(ValueField, ftWideString, 255);
        cdsFillerSaveDef->CreateDataSet();
    };
    const QString path = FillerDefinitionsFileName();
    try {
        if (FileExists(path)) {
            cdsFillerSaveDef->LoadFromFile(path);
            // Another program's file of that name is no store of ours.
            auto* link = qobject_cast<TDataSetField*>(cdsFillerSaveDef->FindField(LinkField));
            TDataSet* detail = link ? link->NestedDataSet() : nullptr;
            if (!cdsFillerSaveDef->FindField(TableNameField) || !detail || !detail->FindField(FieldNameField) ||
                !detail->FindField(MethodField) || !detail->FindField(ValueField))
                DatabaseErrorFmt(QStringLiteral("%s holds no saved fill definitions"), {path});
        } else {
            createEmpty();
        }
    } catch (const Exception& e) {
        // The file stays as it is; this use of the dialog works without saved definitions.
        FDefinitionsUsable = false;
        createEmpty();
        if (Application()) Application()->ShowException(e);
    }
    cdsFillerSaveDef->SetLogChanges(false);
    cdsFillerSaveDefDetail = static_cast<TDataSetField*>(cdsFillerSaveDef->FieldByName(LinkField))->NestedDataSet();
    cdsFillerSaveDefDetail->setObjectName(QStringLiteral("cdsFillerSaveDefDetail"));
}

void TfrmDBFiller::RestoreRows()
{
    if (!FDataSet) return;
    const QString tableName = FDataSet->FileName();
    TField* name = cdsFillerSaveDef->FieldByName(TableNameField);
    bool found = false;
    for (cdsFillerSaveDef->First(); !cdsFillerSaveDef->Eof(); cdsFillerSaveDef->Next())
        if (name->AsString() == tableName) {
            found = true;
            break;
        }
    if (!found) return;
    QHash<QString, int> rowOf;
    TField* rowName = cdsFiller->FieldByName(FieldNameField);
    for (cdsFiller->First(); !cdsFiller->Eof(); cdsFiller->Next()) rowOf.insert(rowName->AsString(), cdsFiller->RecNo());
    TDataSet* saved = cdsFillerSaveDefDetail;
    TField* savedName = saved->FieldByName(FieldNameField);
    TField* savedMethod = saved->FieldByName(MethodField);
    TField* savedValue = saved->FieldByName(ValueField);
    for (saved->First(); !saved->Eof(); saved->Next()) {
        const auto it = rowOf.constFind(savedName->AsString());
        if (it == rowOf.constEnd()) continue;
        cdsFiller->SetRecNo(*it);
        cdsFiller->Edit();
        cdsFiller->FieldByName(MethodField)->SetAsString(savedMethod->AsString());
        cdsFiller->FieldByName(ValueField)->SetAsString(savedValue->AsString());
        cdsFiller->Post();
    }
}

void TfrmDBFiller::SaveRows()
{
    if (!FDataSet || !FDefinitionsUsable) return;
    cdsFiller->CheckBrowseMode();
    const QString tableName = FDataSet->FileName();
    TField* name = cdsFillerSaveDef->FieldByName(TableNameField);
    TDataSet* saved = cdsFillerSaveDefDetail;
    for (cdsFillerSaveDef->First(); !cdsFillerSaveDef->Eof(); cdsFillerSaveDef->Next())
        if (name->AsString() == tableName) {
            saved->First();
            while (!saved->IsEmpty()) saved->Delete();
            cdsFillerSaveDef->Delete();
            break;
        }
    cdsFillerSaveDef->Append();
    name->SetAsString(tableName);
    cdsFillerSaveDef->Post();
    TField* savedName = saved->FieldByName(FieldNameField);
    TField* savedMethod = saved->FieldByName(MethodField);
    TField* savedValue = saved->FieldByName(ValueField);
    TField* rowName = cdsFiller->FieldByName(FieldNameField);
    TField* rowMethod = cdsFiller->FieldByName(MethodField);
    TField* rowValue = cdsFiller->FieldByName(ValueField);
    cdsFiller->DisableControls();
    TScopeExit enable([this] { cdsFiller->EnableControls(); });
    for (cdsFiller->First(); !cdsFiller->Eof(); cdsFiller->Next()) {
        saved->Append();
        savedName->SetAsString(rowName->AsString());
        savedMethod->SetAsString(rowMethod->AsString());
        savedValue->SetAsString(rowValue->AsString());
        saved->Post();
    }
    cdsFillerSaveDef->CheckBrowseMode();
    cdsFillerSaveDef->SaveToFile(FillerDefinitionsFileName(), dfBinary);
}

// ---------------------------------------------------------------------------------------------
// Handlers

void TfrmDBFiller::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) TApplication::Guard([this] { FormShow(); });
}

void TfrmDBFiller::FormShow()
{
    FRandom->Randomize();
    Gauge->setValue(0);
    if (FDataSet && FDataSet->Active()) {
        BuildFillerRows(FDataSet, cdsFiller);
        RestoreRows();
    }
    cdsFiller->First();
}

void TfrmDBFiller::done(int result)
{
    // A running fill ends first; the dialog closes when asked again.
    if (Filling()) {
        FCancelRequest = true;
        return;
    }
    FormClose();
    // Closing a dialog by its result sends no close event; the settings are saved here.
    FormStorage->SaveSettings();
    QDialog::done(result);
}

void TfrmDBFiller::FormClose()
{
    // A definitions file that cannot be written is reported; the dialog still closes.
    try {
        SaveRows();
    } catch (const Exception& e) {
        if (Application()) Application()->ShowException(e);
    }
}

void TfrmDBFiller::FromTop1Click()
{
    if (!FDataSet) return;
    FDataSet->First();
    FillRecords(FDataSet, cdsFiller, true, EdtNoFill->GetIntValue());
}

void TfrmDBFiller::FromCurrentRecord1Click()
{
    if (!FDataSet) return;
    FillRecords(FDataSet, cdsFiller, true, EdtNoFill->GetIntValue());
}

void TfrmDBFiller::btnCancelClick()
{
    FCancelRequest = true;
    if (!Filling()) reject();
}

void TfrmDBFiller::btnCountTabSQLClick()
{
    if (FDataSet) EdtNoFill->SetIntValue(FDataSet->RecordCount());
}

void TfrmDBFiller::EdtValueCloseUp()
{
    if (cdsFiller->IsEmpty()) return;
    const QString text = EdtValue->currentText();
    const int eq = text.indexOf(QLatin1Char('='));
    cdsFiller->Edit();
    cdsFiller->FieldByName(ValueField)->SetAsString(text.mid(eq + 1));
}

void TfrmDBFiller::grdFillerCellChanged()
{
    TField* field = grdFiller->GetSelectedField();
    if (!field || field->FieldName() != ValueField) return;
    EdtValue->SetDisableDropDownList(cdsFiller->FieldByName(MethodField)->AsString() != FillMethods[4]);
}

// ---------------------------------------------------------------------------------------------
// Rows

void TfrmDBFiller::BuildFillerRows(TDataSet* dataSet, TClientDataSet* rows)
{
    rows->DisableControls();
    TScopeExit enable([rows] { rows->EnableControls(); });
    rows->EmptyDataSet();
    dataSet->FieldDefs().Update();
    TField* name = rows->FieldByName(FieldNameField);
    TField* method = rows->FieldByName(MethodField);
    const TFieldDefs& defs = dataSet->FieldDefs();
    for (int i = 0; i < defs.Count(); ++i) {
        const TFieldDef* def = defs[i];
        rows->Append();
        name->SetAsString(def->Name() + QLatin1Char(' ') + FieldTypeName(def->DataType()) + QLatin1Char('(') +
                          QString::number(def->Size()) + QLatin1Char(')'));
        method->SetAsString(FillMethods[0]);
        rows->Post();
    }
}

void TfrmDBFiller::SetAllMethods(TClientDataSet* rows, const QString& method)
{
    TField* field = rows->FieldByName(MethodField);
    for (rows->First(); !rows->Eof(); rows->Next()) {
        rows->Edit();
        field->SetAsString(method);
    }
    rows->CheckBrowseMode();
}

std::vector<TfrmDBFiller::TFillRow> TfrmDBFiller::ReadRows(TDataSet* dataSet, TClientDataSet* rows)
{
    dataSet->FieldDefs().Update();
    rows->CheckBrowseMode();
    const int keep = rows->RecNo();
    rows->DisableControls();
    TScopeExit restore([rows, keep] {
        if (keep > 0) rows->SetRecNo(keep);
        rows->EnableControls();
    });
    TField* method = rows->FieldByName(MethodField);
    TField* value = rows->FieldByName(ValueField);
    const TFieldDefs& defs = dataSet->FieldDefs();
    std::vector<TFillRow> result;
    int n = 0;
    for (rows->First(); !rows->Eof(); rows->Next(), ++n) {
        TFillRow row;
        row.Method = TFillRow::TMethod(qMax(0, int(FillMethods.indexOf(method->AsString()))));
        row.Value = value->AsString();
        if (n >= defs.Count()) row.Method = TFillRow::fmNone;   // a row without a field fills nothing
        if (row.Method == TFillRow::fmNone) continue;
        const TFieldDef* def = defs[n];
        row.DataType = def->DataType();
        row.Size = def->Size();
        row.Field = dataSet->Fields().FieldByNumber(n + 1);
        if (!row.Field) continue;
        if (qobject_cast<TWideStringField*>(row.Field)) row.WideText = true;
        else if (auto* blob = qobject_cast<TBlobField*>(row.Field))
            row.WideText = blob->CodePage() == TBlobField::WideTextCodePage;
        if (row.Method == TFillRow::fmList) SplitDelimited(row.Value, QStringLiteral(";"), row.Items);
        if (row.Method == TFillRow::fmIncrement) row.Start = StrToIntDef(row.Value, 0);
        result.push_back(std::move(row));
    }
    return result;
}

// ---------------------------------------------------------------------------------------------
// The run

void TfrmDBFiller::SetFillingButton(bool filling)
{
    btnCancel->setText(filling ? QStringLiteral("&Cancel") : QStringLiteral("&Close"));
}

void TfrmDBFiller::LetMessagesThrough(bool progress, int position)
{
    // Before every record, as far as the clock allows: a million records must not wait on a
    // million trips through the event loop.
    if (FSinceEvents.isValid() && FSinceEvents.elapsed() < 8) return;
    if (progress) Gauge->setValue(position);
    if (Application()) Application()->ProcessMessages();
    else QCoreApplication::processEvents();
    FSinceEvents.start();
    // Reading the clock with its time zone costs more than a record; a few milliseconds are
    // no difference to a date days away.
    FNow = Now();
}

void TfrmDBFiller::FillRecords(TDataSet* dataSet, TClientDataSet* rows, bool progress, int count)
{
    const bool outer = FFillDepth == 0;
    std::optional<TBusyGuard> busy;
    if (outer) {
        // A cancelled run does not stop the next one.
        FCancelRequest = false;
        FNestedRows.clear();
        FSinceEvents.invalidate();
        busy.emplace();
    }
    ++FFillDepth;
    SetFillingButton(true);
    TScopeExit finish([this, outer] {
        --FFillDepth;
        if (outer) {
            SetFillingButton(false);
            FNestedRows.clear();
            FNestedDataSet = nullptr;
        }
    });
    const std::vector<TFillRow> plan = ReadRows(dataSet, rows);
    if (progress) Gauge->setRange(0, qMax(1, count - 1));

    const int filled = RunFill(dataSet, plan, progress, count);
    if (progress) Gauge->setValue(filled >= count - 1 ? Gauge->maximum() : qMax(0, filled));
}

int TfrmDBFiller::RunFill(TDataSet* dataSet, const std::vector<TFillRow>& plan, bool progress, int count)
{
    const bool update = rgAppendUpdate->ItemIndex() == 1;
    dataSet->DisableControls();
    TScopeExit enable([dataSet] { dataSet->EnableControls(); });
    int filled = -1;
    for (int k = 0; k < count; ++k) {
        LetMessagesThrough(progress, k);
        if (FCancelRequest) break;
        filled = k;
        // A value the field refuses, a failed post or an empty list costs this record only.
        try {
            if (update) dataSet->Edit();
            else dataSet->Append();
            const bool newRecord = dataSet->State() == dsInsert;
            for (const TFillRow& row : plan) {
                switch (row.Method) {
                case TFillRow::fmIncrement: FillIncrement(row, k); break;
                case TFillRow::fmRandom: FillRandom(row); break;
                case TFillRow::fmSingle: FillSingle(row, newRecord); break;
                case TFillRow::fmList: FillFromList(row); break;
                case TFillRow::fmGuid: FillGuid(row); break;
                case TFillRow::fmNone: break;
                }
            }
            dataSet->Post();
            if (update) dataSet->Next();
        } catch (const Exception&) {
        }
    }
    return filled;
}

const std::vector<TfrmDBFiller::TFillRow>& TfrmDBFiller::NestedRows(TDataSet* nested)
{
    auto it = FNestedRows.find(nested);
    if (it != FNestedRows.end()) return it->second;
    // The first nested level uses the dialog's detail rows; a deeper one may not overwrite
    // the rows of the level that is running it.
    TClientDataSet* table = cdsFillerDetail;
    const int level = FFillDepth;   // 1 while the target's records are filled
    if (level > 1) {
        const size_t i = size_t(level - 2);
        while (FDeepRows.size() <= i) {
            FDeepRows.push_back(std::make_unique<TClientDataSet>());
            CreateRowsTable(FDeepRows.back().get());
        }
        table = FDeepRows[i].get();
    }
    BuildFillerRows(nested, table);
    SetAllMethods(table, FillMethods[2]);
    return FNestedRows.emplace(nested, ReadRows(nested, table)).first->second;
}

void TfrmDBFiller::FillNested(TField* field)
{
    auto* dataSetField = qobject_cast<TDataSetField*>(field);
    TDataSet* nested = dataSetField ? dataSetField->NestedDataSet() : nullptr;
    if (!nested) return;
    FNestedDataSet = nested;
    const std::vector<TFillRow>& plan = NestedRows(nested);
    ++FFillDepth;
    TScopeExit finish([this] { --FFillDepth; });
    RunFill(nested, plan, false, EdtDetailNoFill->GetIntValue());
}

// ---------------------------------------------------------------------------------------------
// Methods

void TfrmDBFiller::FillIncrement(const TFillRow& row, int k)
{
    row.Field->SetAsString(QString::number(row.Start + k));
}

void TfrmDBFiller::FillSingle(const TFillRow& row, bool newRecord)
{
    if (!row.Value.isEmpty()) row.Field->SetAsString(row.Value);
    else if (newRecord) {
        if (row.DataType == ftBlob || row.DataType == ftMemo || row.DataType == ftFmtMemo)
            row.Field->SetAsString(QStringLiteral(" "));
        else row.Field->Clear();
    }
}

void TfrmDBFiller::FillRandom(const TFillRow& row)
{
    switch (row.DataType) {
    case ftString:
    case ftMemo:
    case ftFixedChar:
    case ftWideString: {
        const int length = quint16(row.Size);
        if (row.WideText) {
            QString text(length, Qt::Uninitialized);
            for (QChar& c : text) c = QChar(ushort(32 + FRandom->Random(101)));
            row.Field->SetAsString(text);
        } else {
            // Codes above 127 are bytes of the field's code page, kept as they are.
            QByteArray bytes(length, Qt::Uninitialized);
            for (char& c : bytes) c = char(32 + FRandom->Random(101));
            row.Field->SetAsBytes(bytes);
        }
        break;
    }
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftBCD:
    case ftLargeint: row.Field->SetAsInteger(FRandom->Random(1000)); break;
    case ftBoolean: row.Field->SetAsBoolean(FRandom->Random(2) == 1); break;
    case ftFloat:
    case ftCurrency: row.Field->SetAsFloat(FRandom->Random() * 1000.0); break;
    case ftDate:
    case ftTime:
    case ftDateTime: {
        const int r = FRandom->Random(100);
        const int d = FRandom->Random(1000);
        row.Field->SetAsDateTime(r <= 50 ? FNow - d : FNow + d);
        break;
    }
    case ftBytes:
    case ftVarBytes:
    case ftAutoInc: break;
    case ftReference:
    case ftDataSet: FillNested(row.Field); break;
    default: row.Field->SetAsString(QString()); break;
    }
}

void TfrmDBFiller::FillFromList(const TFillRow& row)
{
    if (row.Items.isEmpty()) throw EListError(Format(QStringLiteral("List index out of bounds (%d)"), {0}));
    row.Field->SetAsString(row.Items[FRandom->Random(int(row.Items.size()))]);
}

void TfrmDBFiller::FillGuid(const TFillRow& row)
{
    // A GUID field takes one too: leaving it empty under this method could be nobody's wish.
    if (!IsTextType(row.DataType) && row.DataType != ftGuid) return;
    row.Field->SetAsString(QUuid::createUuid().toString(QUuid::WithBraces).toUpper());
}
