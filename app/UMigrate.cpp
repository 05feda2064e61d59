#include "app/UMigrate.h"

#include "app/UGeneral.h"
#include "app/URestructure.h"
#include "gridlib/core/kqclient.h"
#include "gridlib/core/kqradiogroup.h"
#include "gridlib/grid/Kqdbgrid.h"
#include "memtable/zohMemTable.h"
#include "platform/client/ClientCopy.h"
#include "platform/client/ClientDataSet.h"
#include "platform/client/ClientLocate.h"
#include "platform/tables/AccessTables.h"
#include "platform/tables/LocalTables.h"
#include "platform/core/CodePages.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"
#include "platform/core/SysUtils.h"
#include "treestatus/qeStatusBar.h"
#include "utilities/ToolEdit.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <ctime>
#include <memory>
#include <utility>
#include <vector>

namespace {
const QString ConnectionTemplate =
    QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=DummyMSAccess.mdb;Persist Security Info=False");
const QString AccessPlaceholder = QStringLiteral("DummyMSAccess.mdb");

const QString SourceFilter = QStringLiteral(
    "ClientDataSet Files (*.cds)|*.cds|XML (*.xml)|*.xml|Data (*.dat)|*.dat|Paradox Files (*.db)|*.db|"
    "DBase Files (*.dbf)|*.dbf|MS Access (*.mdb)|*.mdb|"
    "All Files (*.cds;*.xml;*.dat;*.db;*.dbf;*.mdb)|*.cds;*.xml;*.dat;*.db;*.dbf;*.mdb");
const QString DestFilter = QStringLiteral(
    "ClientDataSet Files (*.cds)|*.cds|XML (*.xml)|*.xml|Data (*.dat)|*.dat|"
    "All Files (*.cds;*.xml;*.dat)|*.cds;*.xml;*.dat");

// Long runs let pending events through this often, not once per record: a million calls into
// the event loop would cost more than the copying.
constexpr int PumpIntervalMs = 20;

// Milliseconds on the system's coarse clock (a few milliseconds' grain), which is read far more
// cheaply than the precise one: a run asks it once per record.
qint64 CoarseMs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &t);
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

bool IsLocalTableExt(const QString& upperExt) { return upperExt == QLatin1String(".DB") || upperExt == QLatin1String(".DBF"); }
bool IsAccessExt(const QString& upperExt) { return upperExt == QLatin1String(".MDB"); }

QString UpperExt(const QString& fileName) { return ExtractFileExt(fileName).toUpper(); }

// A file name as the user typed it: blanks around it and enclosing quotes dropped.
QString TypedFileName(const QString& text)
{
    QString name = text.trimmed();
    if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"'))) name = name.mid(1, name.size() - 2);
    return name;
}

// The value of "Data Source" in a connection string; quoted when the name would end it early.
QString ConnectionValue(const QString& fileName)
{
    if (!fileName.contains(QLatin1Char(';')) && fileName.trimmed() == fileName && !fileName.startsWith(QLatin1Char('"'))
        && !fileName.startsWith(QLatin1Char('\'')))
        return fileName;
    return fileName.contains(QLatin1Char('"')) ? QLatin1Char('\'') + fileName + QLatin1Char('\'')
                                               : QLatin1Char('"') + fileName + QLatin1Char('"');
}

// The code page of a dataset's 8-bit text (its first text field that is not in Windows-1252).
int TextCodePageOf(const TDataSet* dataSet)
{
    for (TField* f : dataSet->Fields()) {
        int codePage = 0;
        if (f->DataType() == ftString || f->DataType() == ftFixedChar) {
            if (auto* s = qobject_cast<TStringField*>(f)) codePage = s->CodePage();
        } else if (f->DataType() == ftMemo || f->DataType() == ftFmtMemo) {
            if (auto* b = qobject_cast<TBlobField*>(f)) codePage = b->CodePage();
        }
        if (codePage != 0 && codePage != 1252 && codePage != TBlobField::WideTextCodePage) return codePage;
    }
    return 1252;
}

// A Windows locale whose ANSI code page is the given one; 0 for Windows-1252 and pages no
// locale has.
quint32 LocaleOfCodePage(int codePage)
{
    switch (codePage) {
    case 874: return 0x041E;    // Thai
    case 932: return 0x0411;    // Japanese
    case 936: return 0x0804;    // Chinese (PRC)
    case 949: return 0x0412;    // Korean
    case 950: return 0x0404;    // Chinese (Taiwan)
    case 1250: return 0x0405;   // Czech
    case 1251: return 0x0419;   // Russian
    case 1253: return 0x0408;   // Greek
    case 1254: return 0x041F;   // Turkish
    case 1255: return 0x040D;   // Hebrew
    case 1256: return 0x0401;   // Arabic
    case 1257: return 0x0425;   // Estonian
    case 1258: return 0x042A;   // Vietnamese
    default: return 0;
    }
}

// The code page of a source field's 8-bit text when it is not the given one (0 otherwise, and
// for fields that hold no 8-bit text).
int ForeignTextCodePage(const TDataSet* source, const QString& fieldName, int codePage)
{
    const TField* f = source && source->Active() ? source->FindField(fieldName) : nullptr;
    int own = 0;
    if (const auto* s = qobject_cast<const TStringField*>(f); s && !qobject_cast<const TWideStringField*>(f)) own = s->CodePage();
    else if (const auto* b = qobject_cast<const TBlobField*>(f); b && (f->DataType() == ftMemo || f->DataType() == ftFmtMemo))
        own = b->CodePage();
    if (own == 0 || own == codePage || own == TBlobField::WideTextCodePage) return 0;
    return own;
}

// A value the destination field cannot hold stops the run: 8-bit text takes only the
// characters of its code page, and a "?" in place of one would be silent loss.
void CheckTextHeld(const TField* to, const TField* from, const TVariant& value)
{
    int codePage = 0;
    if (const auto* s = qobject_cast<const TStringField*>(to); s && !qobject_cast<const TWideStringField*>(to))
        codePage = s->CodePage();
    else if (const auto* b = qobject_cast<const TBlobField*>(to); b && (to->DataType() == ftMemo || to->DataType() == ftFmtMemo))
        codePage = b->CodePage();
    if (codePage == 0 || codePage == TBlobField::WideTextCodePage) return;
    if (value.Type() == varString && value.CodePage() == codePage) return;
    if (value.Type() != varString && value.Type() != varUString) return;
    const QString text = value.AsString();
    bool lossless = true;
    const QByteArray encoded = EncodeCodePage(text, codePage, &lossless);
    if (lossless) return;
    // The first character the code page lacks, for the message.
    QString missing;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        bool ok = true;
        EncodeCodePage(QStringView(text).mid(i, n), codePage, &ok);
        if (!ok) {
            missing = text.mid(i, n);
            break;
        }
        i += n - 1;
    }
    throw Exception(Format(QStringLiteral("the destination field '%s' (code page %d) cannot hold the character \"%s\" "
                                          "of the source field '%s'"),
                           {to->FieldName(), codePage, missing, from->FieldName()}));
}

QStringList FieldNamesOf(TClientDataSet* list)
{
    QStringList names;
    if (!list->Active()) return names;
    const TBookmark here = list->GetBookmark();
    TControlsDisabled disabled(list);
    TField* name = list->FieldByName(QStringLiteral("Name"));
    for (list->First(); !list->Eof(); list->Next()) names << name->AsString();
    if (here) list->GotoBookmark(here);
    return names;
}

void CreateFieldList(TClientDataSet* list)
{
    list->Close();
    list->FieldDefs().Clear();
    // Access names reach 64 characters; the list must hold every name a source can have.
    list->FieldDefs().Add(QStringLiteral("Name"), ftWideString, 128);
    list->FieldDefs().Add(QStringLiteral("Type"), ftWideString, 60);
    list->FieldDefs().Add(QStringLiteral("Size"), ftWideString, 20);
    list->CreateDataSet();
    list->FieldByName(QStringLiteral("Name"))->SetDisplayWidth(30);
    list->FieldByName(QStringLiteral("Type"))->SetDisplayWidth(16);
    list->FieldByName(QStringLiteral("Size"))->SetDisplayWidth(10);
}

TkqDBGrid* NewFieldGrid(QWidget* parent, const char* name, TDataSource* source)
{
    auto* grid = new TkqDBGrid(parent);
    grid->setObjectName(QLatin1String(name));
    grid->SetOptions({dgTitles, dgIndicator, dgColumnResize, dgColLines, dgRowLines, dgTabs, dgRowSelect,
                      dgAlwaysShowSelection});
    grid->SetFixedCols(0);
    grid->SetReadOnly(true);
    grid->SetDataSource(source);
    return grid;
}

QToolButton* NewButton(QWidget* parent, const char* name, const QString& hint, const QIcon& icon)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(hint);
    button->setIcon(icon);
    button->setAutoRaise(true);
    return button;
}
} // namespace

// One field pair of a run, resolved to the fields; a nested pair carries the nested fields
// matched by name.
struct TFrmMigrate::TPair {
    TField* Source = nullptr;
    TField* Dest = nullptr;
    TDataSet* NestedSource = nullptr;
    TDataSet* NestedDest = nullptr;
    std::vector<std::pair<TField*, TField*>> Nested;   // destination, source
    bool LeftEmpty = false;   // its values are in a file that is missing
};

struct TFrmMigrate::TRun {
    int Mode = umAppend;
    QString DestFile;
    TDataSet* Source = nullptr;
    std::vector<TPair> Pairs;
    bool Locate = false;
    TField* SourceLocate = nullptr;
    QString DestLocateName;
    // Lookups through a hash of the destination's locate field; where the field cannot be
    // hashed, a second cursor on the destination ordered by it: lookups by halving.
    std::unique_ptr<TLocateHash> Hash;
    std::unique_ptr<TClientDataSet> Finder;
    // Updates of records found through the hash, cell to cell where the source is a client
    // dataset (a record whose values need the fields goes through an edit).
    std::unique_ptr<TRecordUpdater> Updater;
    bool Created = false;   // Copy made the destination
    bool Touched = false;   // records of the destination changed
    bool Saving = false;
    int Counter = 0;
    int SourceRecord = 0;   // the source record being copied, from 1
    // Source fields whose values are in a missing blob or memo file: left empty.
    QStringList EmptyFields;
    // A run writes the source's values also where the destination marks a field read-only
    // (an automatic number): the marks are for later edits, not for the copy.
    std::vector<QPointer<TField>> Unlocked;
    ~TRun()
    {
        for (const QPointer<TField>& f : Unlocked)
            if (f) f->SetReadOnly(true);
    }
};

TFrmMigrate::TFrmMigrate(QWidget* parent) : TMigrateWindowBase(parent)
{
    setObjectName(QStringLiteral("FrmMigrate"));
    SetCaption(QStringLiteral("Migrate"));
    SetFormSize(790, 590);
    CreateDataSets();
    CreateControls();
    UpdateActions();
}

TFrmMigrate::~TFrmMigrate()
{
    // The children go one by one from here on: none may call back into this form.
    disconnect(LBoxResult->model(), nullptr, this, nullptr);
    EdtToDoSource->OnChange = nullptr;
    EdtToDoDest->OnChange = nullptr;
    grdSource->OnRowChanged = nullptr;
    grdDest->OnRowChanged = nullptr;
    rgUpdateMode->OnClick = nullptr;
    // Nothing may be written back by the datasets' own destruction.
    try {
        CloseDestination();
    } catch (...) {
    }
}

void TFrmMigrate::CreateDataSets()
{
    auto named = [](auto* ds, const char* name) {
        ds->setObjectName(QLatin1String(name));
        return ds;
    };
    auto newCds = [&](const char* name) { return named(new TClientDataSet(this), name); };
    // Data files are read and written through the library's dataset class.
    auto newFileCds = [&](const char* name) { return named(new TkqClientDataSet(this), name); };
    cdsSourceFields = newCds("cdsSourceFields");
    cdsDestFields = newCds("cdsDestFields");
    CreateFieldList(cdsSourceFields);
    CreateFieldList(cdsDestFields);
    dsSourceFields = new TDataSource(this);
    dsSourceFields->SetDataSet(cdsSourceFields);
    dsDestFields = new TDataSource(this);
    dsDestFields->SetDataSet(cdsDestFields);

    cdsSource = newFileCds("cdsSource");
    cdsTemp = newFileCds("cdsTemp");
    // Sources are only read: closing them never writes a file.
    cdsSource->SetReadOnly(true);
    cdsTemp->SetReadOnly(true);
    cdsDest = newFileCds("cdsDest");
    zohSource = new TzohMemTable(this);
    zohSource->setObjectName(QStringLiteral("zohSource"));
    zohSource->Close();
    zohTemp = new TzohMemTable(this);
    zohTemp->setObjectName(QStringLiteral("zohTemp"));
    zohTemp->Close();
    bdeSource = new TTable(this);
    bdeSource->setObjectName(QStringLiteral("bdeSource"));
    bdeTemp = new TTable(this);
    bdeTemp->setObjectName(QStringLiteral("bdeTemp"));
    ADOConnection = new TADOConnection(this);
    ADOConnection->setObjectName(QStringLiteral("ADOConnection"));
    ADOConnection->SetConnectionString(ConnectionTemplate);
    adoSource = new TADOTable(this);
    adoSource->setObjectName(QStringLiteral("adoSource"));
    adoSource->SetConnection(ADOConnection);
    adoTemp = new TADOTable(this);
    adoTemp->setObjectName(QStringLiteral("adoTemp"));
    adoTemp->SetConnection(ADOConnection);
}

void TFrmMigrate::CreateControls()
{
    CreateActions();
    QWidget* files = CreateFilesPanel();
    QLayout* lists = CreateFieldLists();
    QLayout* bottom = CreateModeRow();
    StatusBar = new TqeStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    TqeStatusPanel* counter = StatusBar->Panels().Add();
    counter->SetText(QStringLiteral("Rec:"));
    counter->SetWidth(QStringLiteral("100"));
    StatusBar->Panels().Add()->SetWidth(QStringLiteral("50"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(files);
    layout->addLayout(lists, 1);
    layout->addLayout(bottom);
    layout->addWidget(StatusBar);
    ConnectControls();
}

// The commands of the copy-structure and pair-list buttons and of Start.
void TFrmMigrate::CreateActions()
{
    actCopySourceStruct = NewAction(this, "actCopySourceStruct", QStringLiteral("Copy Source Structure to Destination Structure"), QString(),
style()->standardIcon(QStyle::SP_FileDialogNewFolder));
    actSelectedFieldListDelete = NewAction(this, "actSelectedFieldListDelete", QStringLiteral("Delete Item from Selected List"), QString(),
style()->standardIcon(QStyle::SP_DialogDiscardButton));
    actSelectedFieldListDeleteAll = NewAction(this, "actSelectedFieldListDeleteAll", QStringLiteral("Delete All Items from Selected List"), QString(),
style()->standardIcon(QStyle::SP_TrashIcon));
    actSelectedFieldListMigrate = NewAction(this, "actSelectedFieldListMigrate", QStringLiteral("Start the Migration"), QStringLiteral("Start the Migration"),
style()->standardIcon(QStyle::SP_MediaPlay));
    actSelectedFieldListMigrate->setText(QStringLiteral("Start"));
    connect(actCopySourceStruct, &QAction::triggered, this, [this] { TApplication::Guard([this] { actCopySourceStructExecute(); }); });
    connect(actSelectedFieldListDelete, &QAction::triggered, this,
            [this] { TApplication::Guard([this] { actSelectedFieldListDeleteExecute(); }); });
    connect(actSelectedFieldListDeleteAll, &QAction::triggered, this,
            [this] { TApplication::Guard([this] { actSelectedFieldListDeleteAllExecute(); }); });
    connect(actSelectedFieldListMigrate, &QAction::triggered, this,
            [this] { TApplication::Guard([this] { actSelectedFieldListMigrateExecute(); }); });
}

// Source file and table, the copy-structure button, and the destination file.
QWidget* TFrmMigrate::CreateFilesPanel()
{
    auto* files = new QWidget(this);
    files->setObjectName(QStringLiteral("panFiles"));
    auto* sourceLabel = new QLabel(QStringLiteral("Source:"), files);
    EdtToDoSource = new TFilenameEdit(files);
    EdtToDoSource->setObjectName(QStringLiteral("EdtToDoSource"));
    EdtToDoSource->SetFilter(SourceFilter);
    EdtToDoSource->SetDialogOptions({ofHideReadOnly, ofFileMustExist});
    sourceLabel->setBuddy(EdtToDoSource);
    auto* tableLabel = new QLabel(QStringLiteral("Table:"), files);
    EdtSourceTable = new QComboBox(files);
    EdtSourceTable->setObjectName(QStringLiteral("EdtSourceTable"));
    EdtSourceTable->setMinimumWidth(160);
    EdtSourceTable->setEnabled(false);
    tableLabel->setBuddy(EdtSourceTable);
    btnCopyStruct = new QToolButton(files);
    btnCopyStruct->setObjectName(QStringLiteral("btnCopyStruct"));
    btnCopyStruct->setDefaultAction(actCopySourceStruct);
    btnCopyStruct->setAutoRaise(true);
    auto* destLabel = new QLabel(QStringLiteral("Destination:"), files);
    EdtToDoDest = new TFilenameEdit(files);
    EdtToDoDest->setObjectName(QStringLiteral("EdtToDoDest"));
    EdtToDoDest->SetFilter(DestFilter);
    EdtToDoDest->SetDefaultExt(QStringLiteral("cds"));
    // Copy goes into a file that does not exist yet: the dialog takes new names.
    EdtToDoDest->SetDialogKind(dkSave);
    destLabel->setBuddy(EdtToDoDest);
    auto* filesLayout = new QGridLayout(files);
    filesLayout->setContentsMargins(4, 4, 4, 2);
    filesLayout->addWidget(sourceLabel, 0, 0);
    filesLayout->addWidget(EdtToDoSource, 0, 1);
    filesLayout->addWidget(tableLabel, 0, 2);
    filesLayout->addWidget(EdtSourceTable, 0, 3);
    filesLayout->addWidget(btnCopyStruct, 0, 4);
    filesLayout->addWidget(destLabel, 1, 0);
    filesLayout->addWidget(EdtToDoDest, 1, 1, 1, 3);
    filesLayout->setColumnStretch(1, 1);
    return files;
}

// The source and destination field lists with the pair list and its buttons between them.
QLayout* TFrmMigrate::CreateFieldLists()
{
    grdSource = NewFieldGrid(this, "grdSource", dsSourceFields);
    grdDest = NewFieldGrid(this, "grdDest", dsDestFields);
    labSource = new QLabel(QStringLiteral("Rec:"), this);
    labSource->setObjectName(QStringLiteral("labSource"));
    labDest = new QLabel(QStringLiteral("Rec:"), this);
    labDest->setObjectName(QStringLiteral("labDest"));

    auto* pairPanel = new QWidget(this);
    pairPanel->setObjectName(QStringLiteral("panSelected"));
    btnAdd = NewButton(pairPanel, "btnAdd", QStringLiteral("Copy Selected Source and Destination Fields to Selected Fields"),
                       style()->standardIcon(QStyle::SP_ArrowRight));
    btnAddAll = NewButton(pairPanel, "btnAddAll", QStringLiteral("Copy All Source and Destination Fields to Selected Fields"),
                          style()->standardIcon(QStyle::SP_MediaSeekForward));
    btnDelete = new QToolButton(pairPanel);
    btnDelete->setObjectName(QStringLiteral("btnDelete"));
    btnDelete->setDefaultAction(actSelectedFieldListDelete);
    btnDelete->setAutoRaise(true);
    btnDeleteAll = new QToolButton(pairPanel);
    btnDeleteAll->setObjectName(QStringLiteral("btnDeleteAll"));
    btnDeleteAll->setDefaultAction(actSelectedFieldListDeleteAll);
    btnDeleteAll->setAutoRaise(true);
    connect(btnAdd, &QToolButton::clicked, this, [this] { TApplication::Guard([this] { btnAddClick(); }); });
    connect(btnAddAll, &QToolButton::clicked, this, [this] { TApplication::Guard([this] { btnAddAllClick(); }); });
    auto* selectedLabel = new QLabel(QStringLiteral("Selected Fields"), pairPanel);
    LBoxResult = new QListWidget(pairPanel);
    LBoxResult->setObjectName(QStringLiteral("LBoxResult"));
    LBoxResult->setSelectionMode(QAbstractItemView::SingleSelection);
    selectedLabel->setBuddy(LBoxResult);
    auto* pairButtons = new QHBoxLayout;
    pairButtons->setSpacing(1);
    for (QToolButton* b : {btnAdd, btnAddAll, btnDelete, btnDeleteAll}) pairButtons->addWidget(b);
    pairButtons->addStretch(1);
    auto* pairLayout = new QVBoxLayout(pairPanel);
    pairLayout->setContentsMargins(0, 0, 0, 0);
    pairLayout->setSpacing(2);
    pairLayout->addLayout(pairButtons);
    pairLayout->addWidget(selectedLabel);
    pairLayout->addWidget(LBoxResult, 1);

    auto* lists = new QHBoxLayout;
    lists->setContentsMargins(4, 0, 4, 0);
    auto* sourceColumn = new QVBoxLayout;
    sourceColumn->addWidget(new QLabel(QStringLiteral("Source Fields"), this));
    sourceColumn->addWidget(grdSource, 1);
    sourceColumn->addWidget(labSource);
    auto* destColumn = new QVBoxLayout;
    destColumn->addWidget(new QLabel(QStringLiteral("Destination Fields"), this));
    destColumn->addWidget(grdDest, 1);
    destColumn->addWidget(labDest);
    lists->addLayout(sourceColumn, 5);
    lists->addWidget(pairPanel, 3);
    lists->addLayout(destColumn, 5);
    return lists;
}

// The update mode, the locate fields and Start.
QLayout* TFrmMigrate::CreateModeRow()
{
    rgUpdateMode = new TkqRadioGroup(this);
    rgUpdateMode->setObjectName(QStringLiteral("rgUpdateMode"));
    rgUpdateMode->SetCaption(QStringLiteral("Update Mode"));
    rgUpdateMode->SetColumns(3);
    rgUpdateMode->SetItems({QStringLiteral("Append"), QStringLiteral("Insert"), QStringLiteral("Update"),
                            QStringLiteral("Append Update"), QStringLiteral("Delete"), QStringLiteral("Copy")});
    rgUpdateMode->SetItemIndex(umAppend);
    auto* locateBox = new QGroupBox(QStringLiteral("Locate Fields"), this);
    locateBox->setObjectName(QStringLiteral("gbLocate"));
    EdtSourceField = new QComboBox(locateBox);
    EdtSourceField->setObjectName(QStringLiteral("EdtSourceField"));
    EdtDestField = new QComboBox(locateBox);
    EdtDestField->setObjectName(QStringLiteral("EdtDestField"));
    for (QComboBox* c : {EdtSourceField, EdtDestField}) {
        c->setEditable(false);
        c->setMinimumWidth(150);
        c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    }
    auto* locateSourceLabel = new QLabel(QStringLiteral("Source"), locateBox);
    locateSourceLabel->setBuddy(EdtSourceField);
    auto* locateDestLabel = new QLabel(QStringLiteral("Destination:"), locateBox);
    locateDestLabel->setBuddy(EdtDestField);
    auto* locateLayout = new QGridLayout(locateBox);
    locateLayout->setContentsMargins(6, 4, 6, 4);
    locateLayout->addWidget(locateSourceLabel, 0, 0);
    locateLayout->addWidget(EdtSourceField, 0, 1);
    locateLayout->addWidget(locateDestLabel, 1, 0);
    locateLayout->addWidget(EdtDestField, 1, 1);
    btnMigrate = new QToolButton(this);
    btnMigrate->setObjectName(QStringLiteral("btnMigrate"));
    btnMigrate->setDefaultAction(actSelectedFieldListMigrate);
    btnMigrate->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    btnMigrate->setMinimumSize(90, 40);
    auto* bottom = new QHBoxLayout;
    bottom->setContentsMargins(4, 0, 4, 2);
    bottom->addWidget(rgUpdateMode, 3);
    bottom->addWidget(locateBox, 2);
    bottom->addWidget(btnMigrate, 0, Qt::AlignVCenter);
    return bottom;
}

void TFrmMigrate::ConnectControls()
{
    EdtToDoSource->OnChange = [this](QObject*) {
        UpdateActions();
        EdtToDoSourceChange();
    };
    EdtToDoDest->OnChange = [this](QObject*) {
        UpdateActions();
        EdtToDoDestChange();
    };
    connect(EdtSourceTable, &QComboBox::currentIndexChanged, this,
            [this] { TApplication::Guard([this] { EdtSourceTableChange(); }); });
    grdSource->OnRowChanged = [this](QObject*) { grdSourceRowChanged(); };
    grdDest->OnRowChanged = [this](QObject*) { grdDestRowChanged(); };
    connect(LBoxResult->model(), &QAbstractItemModel::rowsInserted, this, [this] { UpdateActions(); });
    connect(LBoxResult->model(), &QAbstractItemModel::rowsRemoved, this, [this] { UpdateActions(); });
    connect(LBoxResult->model(), &QAbstractItemModel::modelReset, this, [this] { UpdateActions(); });
}

void TFrmMigrate::FormShow() { OuterWindow()->setMinimumHeight(475); }

void TFrmMigrate::FormClose()
{
    CloseSources();
    CloseDestination();
}

// ---------------------------------------------------------------------------------------------
// Files

QString TFrmMigrate::SourceFile() const { return EdtToDoSource->GetFileName(); }

QString TFrmMigrate::DestinationFile() const { return TypedFileName(EdtToDoDest->Text()); }

void TFrmMigrate::SetDestination(const QString& path)
{
    FDestination = path;
    // Read as a change of the edit would read it, at the same boundary.
    if (EdtToDoDest->Text() == path)
        TApplication::Guard([this] { EdtToDoDestChange(); });
    else
        EdtToDoDest->SetText(path);
}

int TFrmMigrate::SourceKindOf(const QString& fileName) const
{
    const QString ext = UpperExt(fileName);
    if (IsLocalTableExt(ext)) return mskParadoxDBase;
    if (IsAccessExt(ext)) return mskAccess;
    return DetectDataFileKind(fileName);
}

TDataSet* TFrmMigrate::SourceComponent(int kind) const
{
    switch (kind) {
    case dfkClientDataSet: return cdsSource;
    case dfkMemTable: return zohSource;
    case mskParadoxDBase: return bdeSource;
    case mskAccess: return adoSource;
    default: return nullptr;
    }
}

void TFrmMigrate::ConnectAccess(const QString& fileName)
{
    adoSource->Close();
    adoTemp->Close();
    ADOConnection->Close();
    // Always from the template: a second database replaces the first.
    QString connection = ConnectionTemplate;
    connection.replace(AccessPlaceholder, ConnectionValue(fileName));
    ADOConnection->SetConnectionString(connection);
    ADOConnection->Open();
}

int TFrmMigrate::ReadSourceStructure(const QString& fileName, TClientDataSet* list, int side)
{
    const QString ext = UpperExt(fileName);
    if (side == 1 && IsLocalTableExt(ext)) {
        bdeTemp->Close();
        bdeTemp->SetTableName(fileName);
        bdeTemp->Open();
        try {
            FillFieldList(bdeTemp->FieldDefs(), list, side);
        } catch (...) {
            bdeTemp->Close();
            throw;
        }
        bdeTemp->Close();
        return mskParadoxDBase;
    }
    if (side == 1 && IsAccessExt(ext)) {
        ConnectAccess(fileName);
        QStringList tables;
        ADOConnection->GetTableNames(tables, false);
        {
            const QSignalBlocker block(EdtSourceTable);
            EdtSourceTable->clear();
            EdtSourceTable->addItems(tables);
            EdtSourceTable->setCurrentIndex(tables.isEmpty() ? -1 : 0);
        }
        if (tables.isEmpty()) throw EDatabaseError(Format(QStringLiteral("The database %s has no tables"), {fileName}));
        adoTemp->Close();
        adoTemp->SetTableName(tables.first());
        adoTemp->Open();
        try {
            FillFieldList(adoTemp->FieldDefs(), list, side);
        } catch (...) {
            adoTemp->Close();
            throw;
        }
        adoTemp->Close();
        return mskAccess;
    }
    const int kind = DetectDataFileKind(fileName);
    if (kind == dfkClientDataSet) {
        // The header alone: the records are read once, by the source or destination itself.
        cdsTemp->Close();
        ReadFileFieldDefs(fileName, cdsTemp->FieldDefs());
        FillFieldList(cdsTemp->FieldDefs(), list, side);
        return kind;
    }
    if (kind == dfkMemTable && side == 1) {
        zohTemp->Close();
        zohTemp->LoadBinaryFile(fileName);
        try {
            FillFieldList(zohTemp->FieldDefs(), list, side);
        } catch (...) {
            zohTemp->Close();
            throw;
        }
        zohTemp->Close();
        return kind;
    }
    if (kind == dfkMemTable)
        throw Exception(Format(QStringLiteral("%s is a memory-table file: records can be migrated only into a data file"), {fileName}));
    ShowMessage(NotADataFileMessage(fileName));
    Abort();
}

void TFrmMigrate::FillFieldList(const TFieldDefs& defs, TClientDataSet* list, int side)
{
    QComboBox* locate = side == 1 ? EdtSourceField : EdtDestField;
    locate->clear();
    list->DisableControls();
    try {
        list->EmptyDataSet();
        TField* name = list->FieldByName(QStringLiteral("Name"));
        TField* type = list->FieldByName(QStringLiteral("Type"));
        TField* size = list->FieldByName(QStringLiteral("Size"));
        for (int i = 0; i < defs.Count(); ++i) {
            const TFieldDef* def = defs.Items(i);
            list->Append();
            name->SetAsString(def->Name());
            type->SetAsString(FieldTypeName(def->DataType()));
            size->SetAsString(QString::number(def->Size()));
            list->Post();
            locate->addItem(def->Name());
        }
        list->MergeChangeLog();
        list->First();
    } catch (...) {
        if (list->State() == dsInsert) list->Cancel();
        list->EnableControls();
        locate->setCurrentIndex(-1);
        throw;
    }
    list->EnableControls();
    locate->setCurrentIndex(-1);
    ShowRecordCounter(list, side == 1 ? labSource : labDest);
}

void TFrmMigrate::CloseSources()
{
    cdsSource->Close();
    zohSource->Close();
    bdeSource->Close();
    adoSource->Close();
    FSourceFile.clear();
    FSourceKind = 0;
}

void TFrmMigrate::OpenSourceComponent(int kind, const QString& fileName)
{
    switch (kind) {
    case dfkClientDataSet:
        cdsSource->Close();
        cdsSource->FieldDefs().Clear();
        cdsSource->SetFileName(fileName);
        cdsSource->Open();
        break;
    case dfkMemTable:
        zohSource->Close();
        zohSource->LoadBinaryFile(fileName);
        break;
    case mskParadoxDBase:
        bdeSource->Close();
        bdeSource->SetTableName(fileName);
        bdeSource->Open();
        break;
    case mskAccess:
        adoSource->Close();
        adoSource->SetTableName(EdtSourceTable->currentText());
        adoSource->Open();
        break;
    default:
        break;
    }
}

void TFrmMigrate::EdtToDoSourceChange()
{
    const QString file = SourceFile();
    // While a name is being typed there is nothing to read yet.
    if (file.isEmpty() || !QFileInfo(file).isFile()) return;
    EdtSourceTable->setEnabled(false);
    LBoxResult->clear();
    CloseSources();
    const int kind = ReadSourceStructure(file, cdsSourceFields, 1);
    if (kind == mskAccess) EdtSourceTable->setEnabled(true);
    OpenSourceComponent(kind, file);
    FSourceFile = file;
    FSourceKind = kind;
}

void TFrmMigrate::EdtSourceTableChange()
{
    if (!IsAccessExt(UpperExt(SourceFile())) || FSourceKind != mskAccess) return;
    const QString table = EdtSourceTable->currentText();
    if (table.isEmpty()) return;
    adoTemp->Close();
    adoTemp->SetTableName(table);
    adoTemp->Open();
    try {
        FillFieldList(adoTemp->FieldDefs(), cdsSourceFields, 1);
    } catch (...) {
        adoTemp->Close();
        throw;
    }
    adoTemp->Close();
    // The run reads the table whose fields the list shows.
    adoSource->Close();
    adoSource->SetTableName(table);
    adoSource->Open();
}

void TFrmMigrate::EdtToDoDestChange()
{
    const QString file = DestinationFile();
    if (file.isEmpty() || !QFileInfo(file).isFile()) return;
    ReadSourceStructure(file, cdsDestFields, 2);
    OpenDestination(file);
}

// ---------------------------------------------------------------------------------------------
// The destination dataset

void TFrmMigrate::CloseDestination()
{
    // Every run saves what it did; a close never writes the file (after a failed run the
    // dataset may still hold what the run left in it).
    cdsDest->SetFileName(QString());
    cdsDest->Close();
    FDestFile.clear();
    FDestSize = -1;
    FDestModified = QDateTime();
}

void TFrmMigrate::OpenDestination(const QString& fileName)
{
    CloseDestination();
    // The definitions of the last file must not stand for this one.
    cdsDest->FieldDefs().Clear();
    cdsDest->SetFileName(fileName);
    try {
        cdsDest->Open();
    } catch (...) {
        cdsDest->SetFileName(QString());
        throw;
    }
    RememberDestinationStamp(fileName);
}

void TFrmMigrate::RememberDestinationStamp(const QString& fileName)
{
    const QFileInfo info(fileName);
    FDestFile = fileName;
    FDestSize = info.size();
    FDestModified = info.lastModified();
}

bool TFrmMigrate::DestinationIsCurrent(const QString& fileName) const
{
    if (!cdsDest->Active() || FDestFile != fileName) return false;
    const QFileInfo info(fileName);
    return info.size() == FDestSize && info.lastModified() == FDestModified;
}

// ---------------------------------------------------------------------------------------------
// Pairs

void TFrmMigrate::btnAddClick()
{
    if (cdsSourceFields->IsEmpty() || cdsDestFields->IsEmpty()) return;
    const QString line = cdsSourceFields->FieldByName(QStringLiteral("Name"))->AsString() + QLatin1Char('=')
                         + cdsDestFields->FieldByName(QStringLiteral("Name"))->AsString();
    for (int i = 0; i < LBoxResult->count(); ++i)
        if (LBoxResult->item(i)->text().compare(line, Qt::CaseInsensitive) == 0) return;
    LBoxResult->addItem(line);
}

QStringList TFrmMigrate::AllPairs(bool copyMode)
{
    const QStringList source = FieldNamesOf(cdsSourceFields);
    const QStringList dest = copyMode ? QStringList() : FieldNamesOf(cdsDestFields);
    QStringList lines;
    if (!copyMode && dest.isEmpty()) return lines;
    for (int i = 0; i < source.size(); ++i)
        lines << source[i] + QLatin1Char('=') + (copyMode ? source[i] : dest[std::min<qsizetype>(i, dest.size() - 1)]);
    return lines;
}

void TFrmMigrate::btnAddAllClick()
{
    const QStringList lines = AllPairs(rgUpdateMode->ItemIndex() == umCopy);
    LBoxResult->clear();
    LBoxResult->addItems(lines);
}

void TFrmMigrate::actSelectedFieldListDeleteExecute()
{
    const QList<QListWidgetItem*> selected = LBoxResult->selectedItems();
    if (selected.isEmpty()) return;
    delete LBoxResult->takeItem(LBoxResult->row(selected.first()));
}

void TFrmMigrate::actSelectedFieldListDeleteAllExecute() { LBoxResult->clear(); }

void TFrmMigrate::UpdateActions()
{
    const bool lines = LBoxResult->count() > 0;
    actSelectedFieldListDelete->setEnabled(lines && !FRunning);
    actSelectedFieldListDeleteAll->setEnabled(lines && !FRunning);
    actSelectedFieldListMigrate->setEnabled(lines && !FRunning && !EdtToDoSource->GetFileName().isEmpty()
                                            && !DestinationFile().isEmpty());
    actCopySourceStruct->setEnabled(!EdtToDoSource->Text().isEmpty() && !FRunning);
}

void TFrmMigrate::ShowRecordCounter(TClientDataSet* list, QLabel* label)
{
    const int count = list->Active() ? list->RecordCount() : 0;
    const int row = count > 0 ? list->RecNo() : 0;
    label->setText(Format(QStringLiteral("Rec: %d / %d"), {row, count}));
}

void TFrmMigrate::grdSourceRowChanged() { ShowRecordCounter(cdsSourceFields, labSource); }

void TFrmMigrate::grdDestRowChanged() { ShowRecordCounter(cdsDestFields, labDest); }

// ---------------------------------------------------------------------------------------------
// Copy source structure

void TFrmMigrate::actCopySourceStructExecute()
{
    const QString source = SourceFile();
    if (source.isEmpty()) return;
    const QString folder = ExtractFilePath(QFileInfo(source).absoluteFilePath());
    QString name;
    if (IsAccessExt(UpperExt(source))) {
        name = EdtSourceTable->currentText();
        // A table name is no path.
        name.replace(QLatin1Char('/'), QLatin1Char('_'));
        name += QStringLiteral(".cds");
    } else {
        name = ChangeFileExt(ExtractFileName(source), QStringLiteral(".cds"));
    }
    while (FileExists(folder + name)) name.prepend(QStringLiteral("Copy of "));

    TClientDataSet created;
    TField* nameField = cdsSourceFields->FieldByName(QStringLiteral("Name"));
    TField* typeField = cdsSourceFields->FieldByName(QStringLiteral("Type"));
    TField* sizeField = cdsSourceFields->FieldByName(QStringLiteral("Size"));
    // The new file's 8-bit text is in the default code page; the source's text in another one
    // goes into wide strings, and its memos make the file's code page theirs, so that no
    // character turns into "?".
    const TDataSet* sourceData = SourceComponent(FSourceKind);
    int memoCodePage = 0;
    {
        const TBookmark here = cdsSourceFields->GetBookmark();
        TControlsDisabled disabled(cdsSourceFields);
        for (cdsSourceFields->First(); !cdsSourceFields->Eof(); cdsSourceFields->Next()) {
            // Sizes are characters for wide strings as for every other string here.
            const QString size = sizeField->AsString().trimmed();
            TFieldType type = TFieldType(FieldTypeFromName(typeField->AsString()));
            const int codePage = ForeignTextCodePage(sourceData, nameField->AsString(), DefaultCodePage());
            if (codePage != 0 && (type == ftString || type == ftFixedChar)) type = ftWideString;
            if (codePage != 0 && (type == ftMemo || type == ftFmtMemo) && memoCodePage == 0) memoCodePage = codePage;
            created.FieldDefs().Add(nameField->AsString(), type, size.isEmpty() ? 0 : StrToIntDef(size, 0));
        }
        if (here) cdsSourceFields->GotoBookmark(here);
    }
    if (memoCodePage != 0) created.SetCreateLocale(LocaleOfCodePage(memoCodePage));
    created.CreateDataSet();
    created.SaveToFile(folder + name);
    created.Close();
    EdtToDoDest->SetText(folder + name);
}

// ---------------------------------------------------------------------------------------------
// The run

void TFrmMigrate::actSelectedFieldListMigrateExecute() { MigrateRecords(); }

void TFrmMigrate::EnableControls(bool enabled)
{
    for (QWidget* w : std::initializer_list<QWidget*>{EdtToDoSource, EdtToDoDest, btnCopyStruct, grdSource, grdDest,
                                                      btnAdd, btnAddAll, LBoxResult, EdtSourceField, EdtDestField,
                                                      rgUpdateMode})
        w->setEnabled(enabled);
    EdtSourceTable->setEnabled(enabled && FSourceKind == mskAccess);
    UpdateActions();
}

void TFrmMigrate::ShowCounter(int counter)
{
    StatusBar->Panels()[0]->SetText(Format(QStringLiteral("Rec: %d"), {counter}));
}

void TFrmMigrate::PrepareRun(TRun& run)
{
    run.Pairs.clear();
    for (int i = 0; i < LBoxResult->count(); ++i) {
        const QString line = LBoxResult->item(i)->text();
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0) throw Exception(Format(QStringLiteral("The field pair \"%s\" has no \"=\""), {line}));
        const QString s = line.left(eq);
        const QString d = line.mid(eq + 1);
        TPair pair;
        pair.Source = run.Source->FindField(s);
        if (!pair.Source) throw Exception(Format(QStringLiteral("The source has no field '%s'"), {s}));
        pair.LeftEmpty = run.EmptyFields.contains(pair.Source->FieldName(), Qt::CaseInsensitive);
        pair.Dest = cdsDest->FindField(d);
        if (!pair.Dest) throw Exception(Format(QStringLiteral("The destination has no field '%s'"), {d}));
        auto* nestedSource = qobject_cast<TDataSetField*>(pair.Source);
        auto* nestedDest = qobject_cast<TDataSetField*>(pair.Dest);
        if (nestedDest || nestedSource) {
            if (!nestedDest || !nestedSource || !nestedSource->NestedDataSet() || !nestedDest->NestedDataSet())
                throw Exception(Format(QStringLiteral("The fields '%s' and '%s' must both be nested datasets to be paired"), {s, d}));
            pair.NestedSource = nestedSource->NestedDataSet();
            pair.NestedDest = nestedDest->NestedDataSet();
            const TFieldDefs& defs = pair.NestedDest->FieldDefs();
            for (int k = 0; k < defs.Count(); ++k) {
                const QString name = defs.Items(k)->Name();
                if (!pair.NestedSource->FieldDefs().Contains(name)) continue;
                TField* to = pair.NestedDest->FindField(name);
                TField* from = pair.NestedSource->FindField(name);
                if (to && from) pair.Nested.emplace_back(to, from);
            }
        }
        // The pairs say what is written, in every mode: a read-only destination field (an
        // auto-increment key above all) takes the source's values, as it does in mode Copy.
        {
            std::vector<TField*> written{pair.Dest};
            for (const auto& nested : pair.Nested) written.push_back(nested.first);
            for (TField* f : written)
                if (f->ReadOnly()) {
                    f->SetReadOnly(false);
                    run.Unlocked.push_back(f);
                }
        }
        run.Pairs.push_back(std::move(pair));
    }

    const QString sourceLocate = EdtSourceField->currentIndex() >= 0 ? EdtSourceField->currentText() : QString();
    const QString destLocate = EdtDestField->currentIndex() >= 0 ? EdtDestField->currentText() : QString();
    const bool matching = run.Mode == umUpdate || run.Mode == umAppendUpdate || run.Mode == umDelete;
    run.Locate = matching && (!sourceLocate.isEmpty() || !destLocate.isEmpty());
    if (!run.Locate) return;
    if (sourceLocate.isEmpty() || destLocate.isEmpty())
        throw Exception(QStringLiteral("Choose a locate field on both sides, Source and Destination, or on neither"));
    run.SourceLocate = run.Source->FindField(sourceLocate);
    if (!run.SourceLocate) throw Exception(Format(QStringLiteral("The source has no field '%s'"), {sourceLocate}));
    TField* destField = cdsDest->FindField(destLocate);
    if (!destField) throw Exception(Format(QStringLiteral("The destination has no field '%s'"), {destLocate}));
    run.DestLocateName = destField->FieldName();
    try {
        run.Hash = std::make_unique<TLocateHash>(*cdsDest, destField);
        PrepareUpdater(run, destField);
        return;
    } catch (const Exception&) {
        run.Hash.reset();
    }
    run.Finder = std::make_unique<TClientDataSet>();
    try {
        run.Finder->CloneCursor(cdsDest, true);
        run.Finder->SetIndexFieldNames(run.DestLocateName);
    } catch (const Exception&) {
        // A field no index can order (a blob): lookups scan instead.
        run.Finder.reset();
    }
}

void TFrmMigrate::PrepareUpdater(TRun& run, TField* destLocate)
{
    auto* source = qobject_cast<TClientDataSet*>(run.Source);
    if (!source || (run.Mode != umUpdate && run.Mode != umAppendUpdate)) return;
    std::vector<TRecordUpdater::TPair> pairs;
    for (const TPair& pair : run.Pairs) {
        if (pair.NestedDest || pair.LeftEmpty) return;
        pairs.emplace_back(pair.Dest, pair.Source);
    }
    if (!TRecordUpdater::Supports(*cdsDest, pairs)) return;
    run.Updater = std::make_unique<TRecordUpdater>(*source, *cdsDest, pairs, TRecordUpdater::TPair{destLocate, run.SourceLocate});
    if (!run.Updater->KeyTravels()) {
        run.Updater.reset();
        return;
    }
    // Update adds no record: every source key's record can be found, and its new version made,
    // before the run.
    if (run.Mode == umUpdate) {
        run.Updater->FindAll(*run.Hash);
        run.Updater->PrepareAll(*run.Hash);
    }
}

void TFrmMigrate::TransferRecords(TRun& run)
{
    TDataSet* source = run.Source;
    const bool byLocate = run.Locate;
    auto find = [&run, this]() {
        const TVariant key = run.SourceLocate->Value();
        if (run.Hash) {
            const TRecordId id = run.Hash->Find(key);
            if (id == NoRecord) return false;
            cdsDest->GotoBookmark(TBookmark(id));
            return true;
        }
        if (!run.Finder) return cdsDest->Locate(run.DestLocateName, key);
        if (!run.Finder->Locate(run.DestLocateName, key)) return false;
        cdsDest->GotoBookmark(run.Finder->GetBookmark());
        return true;
    };
    auto assign = [](TField* to, const TField* from) {
        const TVariant value = from->Value();
        CheckTextHeld(to, from, value);
        to->SetValue(value);
    };
    auto copyValues = [&run, &assign] {
        for (const TPair& pair : run.Pairs) {
            if (pair.LeftEmpty) continue;
            if (!pair.NestedDest) {
                assign(pair.Dest, pair.Source);
                continue;
            }
            for (pair.NestedSource->First(); !pair.NestedSource->Eof(); pair.NestedSource->Next()) {
                pair.NestedDest->Append();
                for (const auto& [to, from] : pair.Nested) assign(to, from);
                pair.NestedDest->Post();
            }
        }
    };

    qint64 pumped = CoarseMs();
    source->First();
    cdsDest->First();
    run.Touched = true;
    while (!source->Eof()) {
        ++run.SourceRecord;
        bool again;
        do {
            again = false;
            if (CoarseMs() - pumped >= PumpIntervalMs) {
                ShowCounter(run.Counter);
                if (Application()) Application()->ProcessMessages();
                pumped = CoarseMs();
            }
            ++run.Counter;
            bool prepared = true;
            switch (run.Mode) {
            case umInsert:
                cdsDest->Insert();
                break;
            case umUpdate:
            case umAppendUpdate:
                if (run.Updater) run.Updater->ReadAhead(*run.Hash);
                if (run.Updater && run.Updater->PostPrepared()) {
                    prepared = false;
                    break;
                }
                if (run.Updater && run.Updater->Take()) {
                    const TRecordId id = run.Updater->Find(*run.Hash);
                    if (id != NoRecord) {
                        run.Updater->Post(id);
                        prepared = false;
                    } else {
                        run.Updater->Drop();
                        if (run.Mode == umUpdate) prepared = false;
                        else cdsDest->Append();
                    }
                    break;
                }
                if (run.Mode == umAppendUpdate) {
                    if (!byLocate || find())
                        cdsDest->Edit();
                    else
                        cdsDest->Append();
                    break;
                }
                if (!byLocate || find())
                    cdsDest->Edit();
                else
                    prepared = false;
                break;
            case umDelete:
                // Every destination record that matches goes, one lookup at a time.
                if (find()) {
                    cdsDest->Delete();
                    again = true;
                }
                prepared = false;
                break;
            default:
                cdsDest->Append();
                break;
            }
            if (!prepared) continue;
            copyValues();
            cdsDest->Post();
            if ((run.Mode == umUpdate || run.Mode == umAppendUpdate) && !byLocate) cdsDest->Next();
        } while (again);
        source->Next();
    }
    // Records updated cell to cell changed under the cursor.
    if (run.Updater) cdsDest->Resync();
    ShowCounter(run.Counter);
}

void TFrmMigrate::MigrateRecords()
{
    if (FRunning) return;
    TRun run;
    run.Mode = rgUpdateMode->ItemIndex() < 0 ? umAppend : rgUpdateMode->ItemIndex();
    const QString sourceFile = SourceFile();
    const int kind = SourceKindOf(sourceFile);
    if (kind == dfkUnknown) {
        ShowMessage(NotADataFileMessage(sourceFile));
        Abort();
    }
    run.Source = SourceComponent(kind);
    if (!run.Source || !run.Source->Active() || !SamePath(FSourceFile, sourceFile))
        throw Exception(Format(QStringLiteral("The source %s is not open: choose it again"), {sourceFile}));
    run.DestFile = DestinationFile();
    if (run.Mode == umDelete && EdtSourceField->currentIndex() < 0 && EdtDestField->currentIndex() < 0)
        throw Exception(QStringLiteral("Delete has no fields to match: choose the Source and Destination locate fields"));
    if (run.Mode == umCopy) {
        if (FileExists(run.DestFile))
            throw Exception(Format(QStringLiteral("Copy makes a new file, and %s exists: choose a new destination name"), {run.DestFile}));
    } else {
        if (!FileExists(run.DestFile)) throw Exception(Format(QStringLiteral("The destination %s does not exist"), {run.DestFile}));
        const QString window = EditableDataWindowCaption(run.DestFile);
        if (!window.isEmpty())
            throw Exception(Format(QStringLiteral("The destination %s is open for editing in the window \"%s\": "
                                                  "close that window first"),
                                   {run.DestFile, window}));
        // The run works on what the file holds now.
        if (!DestinationIsCurrent(run.DestFile)) OpenDestination(run.DestFile);
    }

    // A table whose blob or memo file is missing gives its other fields; said once, here.
    if (auto* table = qobject_cast<TTableDataSet*>(run.Source); table && !table->MissingCompanionFile().isEmpty()) {
        const QStringList needing = table->CompanionFields();
        // Copy pairs every field; the other modes the listed pairs.
        if (run.Mode == umCopy) run.EmptyFields = needing;
        for (int i = 0; i < LBoxResult->count() && run.Mode != umCopy; ++i) {
            const QString s = LBoxResult->item(i)->text().section(QLatin1Char('='), 0, 0);
            for (const QString& name : needing)
                if (name.compare(s, Qt::CaseInsensitive) == 0 && !run.EmptyFields.contains(name)) run.EmptyFields << name;
        }
        if (!run.EmptyFields.isEmpty())
            MessageDlg(Format(QStringLiteral("The file %s is missing: the fields %s stay empty; the other fields are migrated."),
                              {table->MissingCompanionFile(), run.EmptyFields.join(QStringLiteral(", "))}),
                       mtWarning, {mbOK});
    }

    TBusyCursor hourglass;
    TBusyGuard busy;
    FRunning = true;
    EnableControls(false);
    struct TEnd {
        TFrmMigrate* Form;
        ~TEnd()
        {
            Form->FRunning = false;
            Form->EnableControls(true);
        }
    } end{this};

    try {
        if (run.Mode == umCopy) {
            CloseDestination();
            cdsDest->FieldDefs().Clear();
            cdsDest->FieldDefs().Assign(run.Source->FieldDefs());
            // The new file keeps 8-bit text in the source's code page: no character is lost.
            cdsDest->SetCreateLocale(LocaleOfCodePage(TextCodePageOf(run.Source)));
            cdsDest->CreateDataSet();
            run.Created = true;
            cdsDest->SetFileName(run.DestFile);
            LBoxResult->clear();
            LBoxResult->addItems(AllPairs(true));
        }
        PrepareRun(run);
        TransferRecords(run);
        run.Updater.reset();
        run.Hash.reset();
        run.Finder.reset();
        run.Saving = true;
        cdsDest->SaveToFile(run.DestFile);
        RememberDestinationStamp(run.DestFile);
        // The made file is the destination now: its fields are listed as a chosen one's are.
        if (run.Created) FillFieldList(cdsDest->FieldDefs(), cdsDestFields, 2);
    } catch (const std::exception& e) {
        const auto* ex = dynamic_cast<const Exception*>(&e);
        QString message = ex ? ex->Message() : QString::fromUtf8(e.what());
        const int failedAt = run.SourceRecord;
        run.Updater.reset();
        run.Hash.reset();
        run.Finder.reset();
        // Back to what the file holds: a made destination goes, a changed one is read again.
        if (run.Created) {
            cdsDest->Cancel();
            CloseDestination();
        } else if (run.Touched) {
            try {
                OpenDestination(run.DestFile);
            } catch (const std::exception&) {
                CloseDestination();
            }
        }
        if (dynamic_cast<const EAbort*>(&e)) throw;
        if (failedAt > 0 && !run.Saving)
            message = Format(QStringLiteral("The migration stopped at source record %d: %s"), {failedAt, message});
        if (run.Touched || run.Created) message += QStringLiteral("\nThe destination was left as it was.");
        throw Exception(message);
    }
}
