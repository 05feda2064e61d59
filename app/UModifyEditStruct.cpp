#include "app/UModifyEditStruct.h"

#include "app/SharedClipboards.h"
#include "app/UGeneral.h"
#include "app/UNewCDS.h"
#include "gridlib/core/Kqdbspin.h"
#include "gridlib/dialogs/kqnavigator.h"
#include "gridlib/editors/kqdbcombo.h"
#include "gridlib/editors/kqincsearch.h"
#include "gridlib/grid/Kqdbgrid.h"
#include "gridlib/grid/kqexpand.h"
#include "memtable/zohMemTable.h"
#include "platform/client/ClientDataSet.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"
#include "platform/core/SysFormat.h"
#include "treestatus/qeStatusBar.h"
#include "utilities/FileUtil.h"
#include "utilities/ToolEdit.h"

#include <QAction>
#include <QApplication>
#include <QScopedValueRollback>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSet>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

namespace {
const QString StructureCaption = QStringLiteral("Create/Modify Structure ");
const QString DataSetType = QStringLiteral("DataSet");
const QString ChangedQuestion = QStringLiteral("The structure has changed, Save now?");
const QString OneDataSetMessage = QStringLiteral("You can only have one DataSet type per File");
const QString TypeQuestion = QStringLiteral(
    "The New type differ from the Origional type.\r\nIf you go agead with the change, you might lose data.\r\n"
    "Go ahead with the change ?");
const QString SizeQuestion = QStringLiteral(
    "The New size is smaller than the Origional size.\r\nIf you go ahead with the change, you might lose data.\r\n"
    "Go ahead with the change ?");
const QString BorrowFilter = QStringLiteral(
    "ClientDataSet Files (*.cds)|*.cds|XML (*.xml)|*.xml|Data (*.dat)|*.dat|All Files (*.cds;*.xml;*.dat)|*.cds;*.xml;*.dat");

// Messages are let through at this interval while a restructure copies records.
constexpr int ResponsiveMsecs = 40;

bool HasChanges(const TClientDataSet* ds)
{
    return ds->Active() && (ds->ChangeCount() > 0 || (IsEditing(ds) && ds->Modified()));
}

QString FieldText(const TDataSet* ds, const char* name) { return ds->FieldByName(QLatin1String(name))->AsString(); }

// A field definition read from a file, before any table is touched.
struct TReadDef {
    int FieldNo;
    QString Name;
    QString Type;
    QString Size;
};

QList<TReadDef> ReadDefs(const TFieldDefs& defs)
{
    QList<TReadDef> list;
    for (int i = 0; i < defs.Count(); ++i) {
        const TFieldDef* d = defs.Items(i);
        list.append({d->FieldNo(), d->Name(), FieldTypeName(d->DataType()), QString::number(d->Size())});
    }
    return list;
}

QList<TReadDef> ReadDataFileDefs(const QString& path)
{
    TClientDataSet holder;
    ReadFileFieldDefs(path, holder.FieldDefs());
    return ReadDefs(holder.FieldDefs());
}

// The definition rows of a table in position order, read through a cursor of its own.
TFieldDefRows TableRows(TClientDataSet* table)
{
    TFieldDefRows rows;
    TClientDataSet cursor;
    cursor.CloneCursor(table, false, false);
    for (cursor.First(); !cursor.Eof(); cursor.Next())
        rows.append({FieldText(&cursor, "Name"), FieldText(&cursor, "OrgName"), FieldText(&cursor, "Type"),
                     FieldText(&cursor, "Size"), {}});
    cursor.Close();
    return rows;
}
} // namespace

// ---------------------------------------------------------------------------------------------
// File combo

TFileComboBox::TFileComboBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    lineEdit()->setReadOnly(true);
    lineEdit()->installEventFilter(this);
}

void TFileComboBox::SetText(const QString& text)
{
    const int index = findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    if (index >= 0) setCurrentIndex(index);
    else setCurrentIndex(-1);
    setEditText(text);
}

bool TFileComboBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lineEdit() && event->type() == QEvent::KeyPress) return true;
    return QComboBox::eventFilter(watched, event);
}

void TFileComboBox::keyPressEvent(QKeyEvent* event) { event->accept(); }

// ---------------------------------------------------------------------------------------------
// Undo steps

// Marks one user step on a table: Undo takes it back whole. Steps nest; the outermost counts.
class TFrmModifyEditStruct::TUndoStep {
public:
    TUndoStep(TFrmModifyEditStruct* form, TClientDataSet* table)
        : FForm(form), FTable(table), FMark(table->SavePoint())
    {
        ++FForm->FUndoDepth;
    }
    ~TUndoStep()
    {
        if (--FForm->FUndoDepth > 0) return;
        if (FTable->Active() && FTable->SavePoint() > FMark) FForm->UndoMarks(FTable).push_back(FMark);
    }
    TUndoStep(const TUndoStep&) = delete;
    TUndoStep& operator=(const TUndoStep&) = delete;

private:
    TFrmModifyEditStruct* FForm;
    TClientDataSet* FTable;
    int FMark;
};

std::vector<int>& TFrmModifyEditStruct::UndoMarks(TClientDataSet* table)
{
    return table == cdsDetail ? FDetailMarks : FMasterMarks;
}

void TFrmModifyEditStruct::ClearUndoMarks()
{
    FMasterMarks.clear();
    FDetailMarks.clear();
}

// ---------------------------------------------------------------------------------------------
// Creating the window

QStringList TFrmModifyEditStruct::TypeItems()
{
    return {QStringLiteral("String"),     QStringLiteral("Smallint"),   QStringLiteral("Integer"),
            QStringLiteral("Word"),       QStringLiteral("Boolean"),    QStringLiteral("Float"),
            QStringLiteral("Currency"),   QStringLiteral("BCD"),        QStringLiteral("Date"),
            QStringLiteral("Time"),       QStringLiteral("DateTime"),   QStringLiteral("Bytes"),
            QStringLiteral("VarBytes"),   QStringLiteral("AutoInc"),    QStringLiteral("Blob"),
            QStringLiteral("Memo"),       QStringLiteral("Graphic"),    QStringLiteral("FmtMemo"),
            QStringLiteral("ParadoxOle"), QStringLiteral("DBaseOle"),   QStringLiteral("TypedBinary"),
            QStringLiteral("FixedChar"),  QStringLiteral("WideString"), QStringLiteral("LargeInt"),
            QStringLiteral("Array"),      QStringLiteral("Reference"),  QStringLiteral("DataSet"),
            QStringLiteral("OraBlob"),    QStringLiteral("OraClob"),    QStringLiteral("Guid")};
}

TFrmModifyEditStruct::TFrmModifyEditStruct(QWidget* parent) : TStructureWindowBase(parent)
{
    setObjectName(QStringLiteral("FrmModifyEditStruct"));
    SetFormSize(620, 480);

    cdsFieldDefs = new TClientDataSet(this);
    cdsFieldDefs->setObjectName(QStringLiteral("cdsFieldDefs"));
    cdsDetail = new TClientDataSet(this);
    cdsDetail->setObjectName(QStringLiteral("cdsDetail"));
    CreateFieldDefsTable(cdsFieldDefs);
    CreateDetailTable(cdsDetail);
    dsFieldDefs = new TDataSource(this);
    dsFieldDefs->setObjectName(QStringLiteral("dsFieldDefs"));
    dsFieldDefs->SetDataSet(cdsFieldDefs);
    dsDetail = new TDataSource(this);
    dsDetail->setObjectName(QStringLiteral("dsDetail"));
    dsDetail->SetDataSet(cdsDetail);

    // The expand button stands for the nested row's Detail; the other rows show nothing there.
    cdsFieldDefs->FieldByName(QStringLiteral("Detail"))->OnGetText = [](TField* field, QString& text, bool) {
        text = field->AsInteger() == 1 ? QStringLiteral("+") : QString();
    };
    cdsFieldDefs->BeforePost = [this](TDataSet*) { cdsFieldDefsBeforePost(); };
    cdsFieldDefs->AfterPost = [this](TDataSet*) { cdsFieldDefsAfterPost(); };
    cdsDetail->BeforePost = [this](TDataSet*) { cdsDetailBeforePost(); };
    cdsDetail->AfterPost = [this](TDataSet*) { cdsDetailAfterPost(); };

    CreateControls();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setInterval(500);
    connect(Timer1, &QTimer::timeout, this, [this] { TApplication::Guard([this] { Timer1Timer(); }); });
    // The commands follow the window's state: checked again four times a second.
    FActionTimer.setInterval(250);
    connect(&FActionTimer, &QTimer::timeout, this, [this] { UpdateActions(); });
    FActionTimer.start();
    dsFieldDefs->OnStateChange = [this](TDataSource*) { UpdateActions(); };
    dsDetail->OnStateChange = [this](TDataSource*) { UpdateActions(); };
    UpdateActions();
}

TFrmModifyEditStruct::~TFrmModifyEditStruct()
{
    FActionTimer.stop();
    dsFieldDefs->OnStateChange = nullptr;
    dsDetail->OnStateChange = nullptr;
    // The type combos outlive this part of the window and report a last change while Qt deletes
    // them; by then the window is only a QWidget.
    EdtTypes->OnChange = nullptr;
    EdtTypes2->OnChange = nullptr;
}

void TFrmModifyEditStruct::CreateControls()
{
    CreateToolBar();
    QLayout* fileRow = CreateFileRow();
    QLayout* searchRow = CreateSearchRow();
    CreateCellEditors();
    CreatePopupMenu();
    CreateGrids();
    StatusBar = new TqeStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    TqeStatusPanel* date = StatusBar->Panels().Add();
    date->SetName(QStringLiteral("panFileDate"));
    date->SetWidth(QStringLiteral("180"));
    TqeStatusPanel* readOnly = StatusBar->Panels().Add();
    readOnly->SetName(QStringLiteral("panReadOnly"));
    readOnly->SetWidth(QStringLiteral("60"));
    StatusBar->Panels().Add()->SetWidth(QStringLiteral("50"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(ToolBar);
    layout->addLayout(fileRow);
    layout->addLayout(searchRow);
    layout->addWidget(grdFieldDefs, 1);
    layout->addWidget(StatusBar);
}

void TFrmModifyEditStruct::CreateToolBar()
{
    btnNew = NewAction(this, "btnNew", QStringLiteral("New Structure"), QStringLiteral("New Structure"), style()->standardIcon(QStyle::SP_FileDialogNewFolder));
    actReadOnlySave = NewAction(this, "actReadOnlySave", QStringLiteral("Save structure"), QStringLiteral("Save structure"), style()->standardIcon(QStyle::SP_DialogSaveButton));
    actPrintStructure = NewAction(this, "actPrintStructure", QStringLiteral("Print Structure"), QStringLiteral("Print Structure"), style()->standardIcon(QStyle::SP_FileDialogInfoView));
    // Printing needs the report, which this program does not have yet.
    actPrintStructure->setEnabled(false);
    actUndo = NewAction(this, "actUndo", QStringLiteral("Undo"), QStringLiteral("Undo"), style()->standardIcon(QStyle::SP_ArrowBack));
    actBorrow = NewAction(this, "actBorrow", QStringLiteral("Borrow"), QStringLiteral("Borrow from an already existing structure"), style()->standardIcon(QStyle::SP_DirOpenIcon));
    actViewData = NewAction(this, "actViewData", QStringLiteral("View Data"), QStringLiteral("View Data"), style()->standardIcon(QStyle::SP_FileDialogContentsView));
    connect(btnNew, &QAction::triggered, this, [this] { TApplication::Guard([this] { btnNewClick(); }); });
    connect(actReadOnlySave, &QAction::triggered, this, [this] { TApplication::Guard([this] { actReadOnlySaveExecute(); }); });
    connect(actUndo, &QAction::triggered, this, [this] { TApplication::Guard([this] { actUndoExecute(); }); });
    connect(actBorrow, &QAction::triggered, this, [this] { TApplication::Guard([this] { actBorrowExecute(); }); });
    connect(actViewData, &QAction::triggered, this, [this] { TApplication::Guard([this] { actViewDataExecute(); }); });

    ToolBar = new QToolBar(this);
    ToolBar->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar->setIconSize(QSize(16, 16));
    ToolBar->addAction(btnNew);
    ToolBar->addAction(actReadOnlySave);
    ToolBar->addAction(actPrintStructure);
    ToolBar->addSeparator();
    ToolBar->addAction(actUndo);
    ToolBar->addAction(actBorrow);
    ToolBar->addSeparator();
    ToolBar->addAction(actViewData);
}

QLayout* TFrmModifyEditStruct::CreateFileRow()
{
    auto* fileLabel = new QLabel(QStringLiteral("File:"), this);
    EdtFileName = new TFileComboBox(this);
    EdtFileName->setObjectName(QStringLiteral("EdtFileName"));
    fileLabel->setBuddy(EdtFileName);
    connect(EdtFileName, &QComboBox::activated, this, [this](int) { TApplication::Guard([this] { EdtFileNameChange(); }); });
    auto* fileRow = new QHBoxLayout;
    fileRow->setContentsMargins(4, 0, 4, 0);
    fileRow->addWidget(fileLabel);
    fileRow->addWidget(EdtFileName, 1);
    return fileRow;
}

// The quick search over the field names and the navigator.
QLayout* TFrmModifyEditStruct::CreateSearchRow()
{
    auto* searchLabel = new QLabel(QStringLiteral("Field Name Quick Search:"), this);
    EdtSearch = new TkqIncrementalSearch(this);
    EdtSearch->setObjectName(QStringLiteral("EdtSearch"));
    EdtSearch->SetDataSource(dsFieldDefs);
    EdtSearch->SetSearchField(QStringLiteral("Name"));
    EdtSearch->SetShowMatchText(true);
    searchLabel->setBuddy(EdtSearch);

    DBNavigator = new TkqDBNavigator(this);
    DBNavigator->setObjectName(QStringLiteral("DBNavigator"));
    DBNavigator->SetVisibleButtons({nbsFirst, nbsPrior, nbsNext, nbsLast, nbsInsert, nbsDelete, nbsCancel});
    DBNavigator->SetFlat(false);
    DBNavigator->SetShowHint(true);
    DBNavigator->SetDataSource(dsFieldDefs);
    if (TkqNavButton* del = DBNavigator->Button(nbsDelete))
        del->OnClick = [this](QObject*) { DBNavigatorDeleteClick(); };
    auto* searchRow = new QHBoxLayout;
    searchRow->setContentsMargins(4, 0, 4, 0);
    searchRow->addWidget(searchLabel);
    searchRow->addWidget(EdtSearch, 1);
    searchRow->addWidget(DBNavigator);
    return searchRow;
}

// Cell editors of the type and size columns; the grids find them by name.
void TFrmModifyEditStruct::CreateCellEditors()
{
    auto newTypes = [this](const char* name) {
        auto* combo = new TkqDBComboBox(this);
        combo->setObjectName(QLatin1String(name));
        combo->SetStyle(csDropDownList);
        combo->AutoDropDown = true;
        combo->ShowMatchText = true;
        combo->AllowClearKey = true;
        combo->DropDownCount = 12;
        combo->SetSorted(false);
        combo->SetItems(TypeItems());
        combo->hide();
        return combo;
    };
    EdtTypes = newTypes("EdtTypes");
    EdtTypes2 = newTypes("EdtTypes2");
    EdtTypes->OnChange = [this](QObject*) { EdtTypesChange(); };
    EdtTypes2->OnChange = [this](QObject*) { EdtTypes2Change(); };
    auto newSize = [this](const char* name) {
        auto* spin = new TkqDBSpinEdit(this);
        spin->setObjectName(QLatin1String(name));
        spin->SetIncrement(1);
        spin->SetMinValue(0);
        spin->SetMaxValue(32565);
        spin->hide();
        return spin;
    };
    EdtSize = newSize("EdtSize");
    EdtSize2 = newSize("EdtSize2");
}

void TFrmModifyEditStruct::CreatePopupMenu()
{
    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
    mnuCut = PopupMenu->addAction(QStringLiteral("Cut"));
    mnuCut->setObjectName(QStringLiteral("mnuCut"));
    mnuCopy = PopupMenu->addAction(QStringLiteral("Copy"));
    mnuCopy->setObjectName(QStringLiteral("mnuCopy"));
    mnuPaste = PopupMenu->addAction(QStringLiteral("Paste"));
    mnuPaste->setObjectName(QStringLiteral("mnuPaste"));
    connect(mnuCut, &QAction::triggered, this, [this] { TApplication::Guard([this] { mnuCutClick(); }); });
    connect(mnuCopy, &QAction::triggered, this, [this] { TApplication::Guard([this] { mnuCopyClick(); }); });
    connect(mnuPaste, &QAction::triggered, this, [this] { TApplication::Guard([this] { mnuPasteClick(); }); });
    connect(PopupMenu, &QMenu::aboutToShow, this, [this] { TApplication::Guard([this] { PopupMenuPopup(); }); });
}

// The field-definition grid and the nested grid its expand button opens.
void TFrmModifyEditStruct::CreateGrids()
{
    const TkqDBGridOptions options{dgEditing, dgAlwaysShowEditor, dgTitles, dgIndicator, dgColumnResize,
                                   dgColLines, dgRowLines, dgTabs, dgConfirmDelete, dgCancelOnExit,
                                   dgWordWrap, dgMultiSelect};
    QFont bold = font();
    bold.setBold(true);

    grdFieldDefs = new TkqDBGrid(this);
    grdFieldDefs->setObjectName(QStringLiteral("grdFieldDefs"));
    grdFieldDefs->SetOptions(options);
    grdFieldDefs->SetMultiSelectOptions({msoAutoUnselect, msoShiftSelect});
    grdFieldDefs->SetTitleFont(TFont(bold, clWindowText));
    grdFieldDefs->SetSelected({QStringLiteral("Pos\t6\tPos"), QStringLiteral("Name\t30\tName"),
                               QStringLiteral("Detail\t2\t "), QStringLiteral("Type\t30\tType"),
                               QStringLiteral("Size\t10\tSize")});
    grdFieldDefs->SetControlType({QStringLiteral("Type;CustomEdit;EdtTypes;F"), QStringLiteral("Size;CustomEdit;EdtSize;F"),
                                  QStringLiteral("Detail;CustomEdit;ExpandButton;F")});
    grdFieldDefs->SetFixedCols(1);
    grdFieldDefs->SetPopupMenu(PopupMenu);

    grdDetail = new TkqDBGrid(this);
    grdDetail->setObjectName(QStringLiteral("grdDetail"));
    TkqDBGridOptions detailOptions = options;
    detailOptions.Exclude(dgAlwaysShowEditor);
    grdDetail->SetOptions(detailOptions);
    grdDetail->SetMultiSelectOptions({msoAutoUnselect, msoShiftSelect});
    grdDetail->SetTitleFont(TFont(bold, clWindowText));
    grdDetail->SetSelected({QStringLiteral("Pos\t6\tPos"), QStringLiteral("Name\t30\tName"),
                            QStringLiteral("Type\t30\tType"), QStringLiteral("Size\t10\tSize")});
    grdDetail->SetControlType({QStringLiteral("Type;CustomEdit;EdtTypes2;F"), QStringLiteral("Size;CustomEdit;EdtSize2;F")});
    grdDetail->resize(430, 160);
    grdDetail->hide();

    ExpandButton = new TkqExpandButton(this);
    ExpandButton->setObjectName(QStringLiteral("ExpandButton"));
    ExpandButton->SetShowFocusRect(false);
    ExpandButton->SetAutoShrink(false);
    // Only the "DataSet" row has a nested list to open: the other rows show no button.
    ExpandButton->SetAutoHideExpand(true);
    ExpandButton->SetDataField(QStringLiteral("Detail"));
    ExpandButton->SetGrid(grdDetail);
    ExpandButton->hide();
    ExpandButton->OnBeforeExpand = [this](QObject*) { ExpandButtonBeforeExpand(); };
    ExpandButton->OnBeforeCollapse = [this](QObject*) { ExpandButtonBeforeCollapse(); };

    grdFieldDefs->SetDataSource(dsFieldDefs);
    grdDetail->SetDataSource(dsDetail);
    ExpandButton->SetDataSource(dsFieldDefs);

    grdFieldDefs->OnBeforePaint = [this](QObject*) {
        grdFieldDefs->SetColor(grdFieldDefs->ReadOnly() ? clInfoBk : clWindow);
    };
    grdDetail->OnBeforePaint = [this](QObject*) { grdDetail->SetColor(grdDetail->ReadOnly() ? clInfoBk : clWindow); };
    grdFieldDefs->OnKeyDown = [this](QObject*, int& key, TShiftState shift) { grdFieldDefsKeyDown(key, shift); };
    grdDetail->OnKeyDown = [this](QObject*, int& key, TShiftState shift) { grdDetailKeyDown(key, shift); };
    grdFieldDefs->OnCellChanged = [this](QObject*) { grdFieldDefsCellChanged(); };
    for (TkqDBGrid* grid : {grdFieldDefs, grdDetail}) {
        grid->OnMouseDown = [this, grid](QObject*, TMouseButton button, TShiftState, int x, int y) {
            grdMouseDown(grid, button, x, y);
        };
        grid->OnDragOver = [this, grid](QObject*, QObject* source, int x, int y, bool& accept) {
            grdDragOver(grid, source, x, y, accept);
        };
        grid->OnDragDrop = [this, grid](QObject*, QObject*, int x, int y) { grdDragDrop(grid, x, y); };
    }
}

void TFrmModifyEditStruct::FormShow()
{
    grdFieldDefs->RefreshLayout();
    grdDetail->RefreshLayout();
    grdFieldDefs->setFocus();
}

void TFrmModifyEditStruct::FormActivate()
{
    Timer1->start();
    UpdateActions();
}

void TFrmModifyEditStruct::Timer1Timer()
{
    Timer1->stop();
    if (Application()) Application()->ProcessMessages();
    if (grdFieldDefs->ReadOnly()) CheckReadOnly(FFileName);
    ShowFileStatus();
}

bool TFrmModifyEditStruct::CloseQuery()
{
    if (!HasChanges(cdsFieldDefs) && !HasChanges(cdsDetail)) return true;
    switch (MessageDlg(ChangedQuestion, mtWarning, mbYesNoCancel)) {
    case mrYes:
        try {
            SaveStructure();
        } catch (const std::exception& e) {
            if (Application()) Application()->ShowException(e);
            return false;
        }
        // Nothing written (an overwrite declined): the window stays with its work.
        return !NewFile && !HasChanges(cdsFieldDefs) && !HasChanges(cdsDetail);
    case mrNo:
        return true;
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------------------------
// Entry operations

void TFrmModifyEditStruct::SetFileList(const QStringList& files)
{
    FileList = files;
    EdtFileName->clear();
    EdtFileName->addItems(files);
    SetFileNameText(FFileName);
}

void TFrmModifyEditStruct::OpenStructure(const QString& path)
{
    FFileName = path;
    SetFileNameText(path);
    LoadStructure(path);
    CheckReadOnly(path);
}

void TFrmModifyEditStruct::SetBaseFolder(const QString& folder) { BaseFolder = folder; }

void TFrmModifyEditStruct::BeginNewStructure() { AskNewFile(IncludeTrailingPathDelimiter(BaseFolder)); }

void TFrmModifyEditStruct::SetFileNameText(const QString& file) { EdtFileName->SetText(file); }

// ---------------------------------------------------------------------------------------------
// Loading and status

void TFrmModifyEditStruct::CollapseNested()
{
    if (ExpandButton->Expanded()) ExpandButton->SetExpanded(false);
    if (ExpandButton->Expanded()) {
        // Refused while the nested row could not be posted: drop that edit.
        cdsDetail->Cancel();
        ExpandButton->SetExpanded(false);
    }
}

void TFrmModifyEditStruct::LoadStructure(const QString& file)
{
    // Read the definitions first: a file that cannot be read leaves the tables as they were.
    const QList<TReadDef> defs = ReadDataFileDefs(file);

    CollapseNested();
    bool seenDataSet = false;
    {
        QScopedValueRollback<bool> loading(LoadingRows, true);
        grdFieldDefs->SetReadOnly(false);
        grdDetail->SetReadOnly(false);
        cdsFieldDefs->SetReadOnly(false);
        cdsDetail->SetReadOnly(false);
        HasDataSetField = false;
        TControlsDisabled disabled(cdsFieldDefs);
        cdsFieldDefs->Cancel();
        cdsDetail->Cancel();
        cdsDetail->EmptyDataSet();
        cdsFieldDefs->EmptyDataSet();
        for (const TReadDef& d : defs) {
            AppendDefinitionRow(cdsFieldDefs, d.FieldNo, d.Name, d.Type, d.Size);
            seenDataSet = seenDataSet || d.Type == DataSetType;
        }
        cdsFieldDefs->First();
    }
    HasDataSetField = seenDataSet;
    cdsFieldDefs->MergeChangeLog();
    cdsDetail->MergeChangeLog();
    ClearUndoMarks();
    FDetailOwner.clear();
    NewFile = false;
    FFileName = file;
    SetFileNameText(file);
    FileDate = FileModifiedDateTime(file);
    ShowFileStatus();
    SetCaption(StructureCaption + file);
    UpdateActions();
}

void TFrmModifyEditStruct::CheckReadOnly(const QString& file)
{
    const bool readOnly = OpensReadOnly(file);
    if (readOnly) {
        CollapseNested();
        cdsFieldDefs->Cancel();
        cdsDetail->Cancel();
    }
    grdFieldDefs->SetReadOnly(readOnly);
    grdDetail->SetReadOnly(readOnly);
    cdsFieldDefs->SetReadOnly(readOnly);
    // The nested list follows, so that no command can change it behind a read-only window.
    cdsDetail->SetReadOnly(readOnly);
    grdFieldDefs->SetColor(readOnly ? clInfoBk : clWindow);
    grdDetail->SetColor(readOnly ? clInfoBk : clWindow);
    grdFieldDefs->RefreshLayout();
    ShowFileStatus();
    UpdateActions();
}

bool TFrmModifyEditStruct::IsReadOnly() const { return grdFieldDefs->ReadOnly(); }

void TFrmModifyEditStruct::ShowFileStatus()
{
    // A file not written yet has no date.
    StatusBar->Panels()[0]->SetText(
        Format(QStringLiteral("File Date: %s"), {FileDate == 0 ? QString() : DateTimeToStr(FileDate)}));
    StatusBar->Panels()[1]->SetText(cdsFieldDefs->ReadOnly() ? QStringLiteral("ReadOnly") : QString());
}

bool TFrmModifyEditStruct::ChooseNewFileName(const QString& path, QString& name)
{
    TFrmNewCDS dialog(this);
    dialog.SetFolder(ExtractFilePath(path));
    if (dialog.exec() != QDialog::Accepted) return false;
    name = dialog.EdtFileName->Text();
    if (name.isEmpty()) return false;
    if (ExtractFileExt(name).isEmpty()) name += QStringLiteral(".cds");
    // A bare name goes into the folder offered.
    if (!name.contains(QLatin1Char('/'))) name = ExtractFilePath(path) + name;
    return true;
}

void TFrmModifyEditStruct::AskNewFile(const QString& path)
{
    QString name;
    if (!ChooseNewFileName(path, name)) return;
    CollapseNested();
    cdsFieldDefs->Cancel();
    cdsFieldDefs->SetReadOnly(false);
    cdsDetail->SetReadOnly(false);
    NewFile = true;
    FFileName = name;
    FileDate = 0;
    SetFileNameText(name);
    cdsFieldDefs->EmptyDataSet();
    ClearUndoMarks();
    CheckReadOnly(name);
    SetCaption(StructureCaption + name);
    UpdateActions();
}

void TFrmModifyEditStruct::btnNewClick()
{
    const QString text = EdtFileName->Text();
    AskNewFile(text.trimmed().isEmpty() ? IncludeTrailingPathDelimiter(BaseFolder) : text);
}

void TFrmModifyEditStruct::EdtFileNameChange()
{
    const QString chosen = EdtFileName->Text();
    if (chosen == FFileName) return;
    if (HasChanges(cdsFieldDefs) || HasChanges(cdsDetail)) {
        const int answer = MessageDlg(ChangedQuestion, mtWarning, mbYesNoCancel);
        if (answer != mrYes && answer != mrNo) {
            // The window still edits its own file, and the combo says so.
            SetFileNameText(FFileName);
            return;
        }
        if (answer == mrYes) {
            // Saved under the file the structure belongs to, before the chosen one loads.
            bool saved = false;
            try {
                saved = SaveStructure();
            } catch (...) {
                SetFileNameText(FFileName);
                throw;
            }
            if (!saved) {
                SetFileNameText(FFileName);
                return;
            }
        }
    }
    try {
        LoadStructure(chosen);
    } catch (...) {
        SetFileNameText(FFileName);
        throw;
    }
    CheckReadOnly(chosen);
}

// ---------------------------------------------------------------------------------------------
// Grids and rows

TkqDBGrid* TFrmModifyEditStruct::ActiveGrid() const
{
    return grdDetail->IsGridFocused() ? grdDetail : grdFieldDefs;
}

TClientDataSet* TFrmModifyEditStruct::TableOf(const TkqDBGrid* grid) const
{
    return grid == grdDetail ? cdsDetail : cdsFieldDefs;
}

TClientDataSet* TFrmModifyEditStruct::ActiveTable() const { return TableOf(ActiveGrid()); }

void TFrmModifyEditStruct::TypeChanged(TClientDataSet* table, TkqDBComboBox* types, TkqDBSpinEdit* size, bool master)
{
    if (!IsEditing(table)) return;
    const QString type = types->Text().toUpper();
    // The field, not the editor: an editor may show 0 for a size that is still empty.
    Q_UNUSED(size);
    const QString sizeText = table->FieldByName(QStringLiteral("Size"))->AsString().trimmed();
    const bool emptyOrZero = sizeText.isEmpty() || sizeText == QLatin1String("0");
    const bool stringType = type == QLatin1String("STRING") || type == QLatin1String("WIDESTRING") ||
                            type == QLatin1String("FIXEDCHAR");
    QString newSize;
    if (stringType) {
        if (emptyOrZero) newSize = QStringLiteral("50");
    } else if (master && type == QLatin1String("BYTES")) {
        if (emptyOrZero) newSize = QStringLiteral("10");
    } else if (master) {
        if (sizeText.isEmpty() || StrToIntDef(sizeText, 0) > 0) newSize = QStringLiteral("0");
    } else if (sizeText.isEmpty()) {
        newSize = QStringLiteral("0");
    }
    if (!newSize.isNull()) table->FieldByName(QStringLiteral("Size"))->SetAsString(newSize);
}

void TFrmModifyEditStruct::EdtTypesChange() { TypeChanged(cdsFieldDefs, EdtTypes, EdtSize, true); }

void TFrmModifyEditStruct::EdtTypes2Change() { TypeChanged(cdsDetail, EdtTypes2, EdtSize2, false); }

int TFrmModifyEditStruct::OtherDataSetRows(TClientDataSet* table) const
{
    // The one nested field of a file is the master's: any "DataSet" row there is another one.
    TClientDataSet cursor;
    cursor.CloneCursor(cdsFieldDefs, true, false);
    int count = 0;
    for (cursor.First(); !cursor.Eof(); cursor.Next())
        if (FieldText(&cursor, "Type") == DataSetType) ++count;
    cursor.Close();
    if (table == cdsFieldDefs && table->State() == dsEdit &&
        VarToStr(table->FieldByName(QStringLiteral("Type"))->OldValue()) == DataSetType)
        --count;
    return count;
}

void TFrmModifyEditStruct::ValidateFieldDefRow(TClientDataSet* table)
{
    TField* type = table->FieldByName(QStringLiteral("Type"));
    if (type->AsString() == DataSetType && OtherDataSetRows(table) > 0) {
        MessageDlg(OneDataSetMessage, mtWarning, {mbOK});
        Abort();
    }
    if (NewFile || table->State() != dsEdit) return;
    const QString oldType = VarToStr(type->OldValue());
    if (oldType != type->AsString()) {
        if (MessageDlg(TypeQuestion, mtWarning, mbYesNo) != mrYes) {
            type->SetAsString(oldType);
            Abort();
        }
        return;
    }
    TField* size = table->FieldByName(QStringLiteral("Size"));
    const QString oldSizeText = VarToStr(size->OldValue());
    const int oldSize = StrToInt(oldSizeText);
    const int newSize = StrToInt(size->AsString());
    if (newSize < oldSize && MessageDlg(SizeQuestion, mtWarning, mbYesNo) != mrYes) {
        size->SetAsString(oldSizeText);
        Abort();
    }
}

void TFrmModifyEditStruct::BeforePost(TClientDataSet* table, bool loading)
{
    if (!loading) ValidateFieldDefRow(table);
    TField* pos = table->FieldByName(QStringLiteral("Pos"));
    // A new row takes the place where it stands (its position in the table, counted from 0):
    // ordered after the row it follows, it stays where it was inserted.
    if (pos->IsNull()) pos->SetAsInteger(std::max(0, table->RecNo() - 1));
    if (!loading && FUndoDepth == 0) FPostMark = table->SavePoint();
}

void TFrmModifyEditStruct::AfterPost(TClientDataSet* table)
{
    const int mark = FPostMark;
    FPostMark = -1;
    RenumberPositions(table, -1);
    // The post and the renumbering it caused are one step for Undo.
    if (FUndoDepth == 0 && mark >= 0 && table->SavePoint() > mark) UndoMarks(table).push_back(mark);
    TkqDBGrid* grid = table == cdsDetail ? grdDetail : grdFieldDefs;
    grid->UnselectAll();
}

void TFrmModifyEditStruct::cdsFieldDefsBeforePost() { BeforePost(cdsFieldDefs, LoadingRows); }

void TFrmModifyEditStruct::cdsFieldDefsAfterPost()
{
    if (!LoadingRows) AfterPost(cdsFieldDefs);
}

void TFrmModifyEditStruct::cdsDetailBeforePost() { BeforePost(cdsDetail, LoadingNested); }

void TFrmModifyEditStruct::cdsDetailAfterPost()
{
    if (!LoadingNested) AfterPost(cdsDetail);
}

void TFrmModifyEditStruct::RenumberPositions(TClientDataSet* table, int newPos)
{
    // The table's own post handlers stay out of the renumbering.
    auto beforePost = table->BeforePost;
    auto afterPost = table->AfterPost;
    table->BeforePost = nullptr;
    table->AfterPost = nullptr;
    struct TRestore {
        TClientDataSet* Table;
        TDataSet::TDataSetNotifyEvent Before, After;
        ~TRestore()
        {
            Table->BeforePost = Before;
            Table->AfterPost = After;
        }
    } restore{table, beforePost, afterPost};
    TControlsDisabled disabled(table);

    if (newPos >= 0) {
        table->Edit();
        table->FieldByName(QStringLiteral("Pos"))->SetAsInteger(newPos);
        table->Post();
    }
    if (table->IsEmpty()) return;
    // Rows of equal position keep their order, except that the row just posted or moved goes
    // after the others: an inserted row stays where it was inserted, an appended row comes
    // last and a dropped row lands right before the row it was dropped on.
    struct TRow {
        int Pos;
        bool Moved;
        int Order;
        TBookmark Bookmark;
    };
    const TBookmark current = table->GetBookmark();
    std::vector<TRow> rows;
    rows.reserve(size_t(table->RecordCount()));
    TField* pos = table->FieldByName(QStringLiteral("Pos"));
    int order = 0;
    for (table->First(); !table->Eof(); table->Next()) {
        const TBookmark bm = table->GetBookmark();
        rows.push_back({pos->IsNull() ? INT_MIN : pos->AsInteger(), bm == current, order++, bm});
    }
    std::stable_sort(rows.begin(), rows.end(), [](const TRow& a, const TRow& b) {
        if (a.Pos != b.Pos) return a.Pos < b.Pos;
        return !a.Moved && b.Moved;
    });
    for (size_t i = 0; i < rows.size(); ++i) {
        const int wanted = int(i) + 1;
        if (rows[i].Pos == wanted) continue;
        table->GotoBookmark(rows[i].Bookmark);
        table->Edit();
        pos->SetAsInteger(wanted);
        table->Post();
    }
    if (!current.IsNull() && table->BookmarkValid(current)) table->GotoBookmark(current);
}

void TFrmModifyEditStruct::DeleteSelectedRows(bool ask)
{
    TkqDBGrid* grid = ActiveGrid();
    TClientDataSet* table = TableOf(grid);
    if (table->State() == dsInsert) {
        // The row being added is not stored yet: deleting it drops it.
        table->Cancel();
        return;
    }
    table->CheckBrowseMode();
    if (table->IsEmpty()) return;
    if (ask && MessageDlg(QStringLiteral("Delete record(s) ?"), mtConfirmation, mbYesNo) != mrYes) return;
    const int dataRow = grid->GetDataRow();
    bool deletedDataSet = false;
    {
        TUndoStep step(this, table);
        TControlsDisabled disabled(table);
        const QList<TBookmark> selected = grid->SelectedBookmarks();
        auto deleteCurrent = [&] {
            deletedDataSet = deletedDataSet || FieldText(table, "Type") == DataSetType;
            table->Delete();
        };
        ForSelectedRecords(table, selected, deleteCurrent);
        if (deletedDataSet && table == cdsFieldDefs) HasDataSetField = false;
        RenumberPositions(table, -1);
    }
    grid->SetDataRow(dataRow);
    grid->UnselectAll();
    grid->SelectRecord();
    UpdateActions();
}

void TFrmModifyEditStruct::DBNavigatorDeleteClick()
{
    DeleteSelectedRows(true);
    // The window's own delete replaces the navigator's.
    Abort();
}

void TFrmModifyEditStruct::grdFieldDefsKeyDown(int& key, TShiftState shift)
{
    if (IsRowNavigationKey(key)) grdFieldDefs->UnselectAll();
    LastGridKey = key;
    LastGridShift = shift;
}

void TFrmModifyEditStruct::grdDetailKeyDown(int& key, TShiftState shift)
{
    Q_UNUSED(shift);
    if (IsRowNavigationKey(key)) grdDetail->UnselectAll();
}

void TFrmModifyEditStruct::grdFieldDefsCellChanged()
{
    TField* field = grdFieldDefs->GetSelectedField();
    if (!field || field->FieldName() != QLatin1String("Detail")) return;
    // The expand button's column is passed over by the keys that move between columns.
    if (LastGridKey == VK_TAB && LastGridShift == TShiftState{ssShift}) {
        LastGridKey = 0;
        LastGridShift = TShiftState();
        grdFieldDefs->SelectFieldByName(QStringLiteral("Name"));
    } else if (LastGridKey == VK_TAB || LastGridKey == VK_RIGHT) {
        LastGridKey = 0;
        grdFieldDefs->SelectFieldByName(QStringLiteral("Type"));
    } else if (LastGridKey == VK_LEFT) {
        LastGridKey = 0;
        grdFieldDefs->SelectFieldByName(QStringLiteral("Name"));
    }
}

void TFrmModifyEditStruct::grdMouseDown(TkqDBGrid* grid, TMouseButton button, int x, int y)
{
    if (button != mbLeft || grid->ReadOnly()) return;
    if (grid->MouseCoord(x, y).X == 1) grid->BeginDrag(false);
}

void TFrmModifyEditStruct::grdDragOver(TkqDBGrid* grid, QObject* source, int x, int y, bool& accept)
{
    // Rows move within their own table only: a row dragged from another grid would move this
    // grid's current row instead.
    accept = source == grid && !grid->ReadOnly() && grid->MouseCoord(x, y).Y > 0;
}

void TFrmModifyEditStruct::grdDragDrop(TkqDBGrid* grid, int x, int y)
{
    const TGridCoord cell = grid->MouseCoord(x, y);
    if (cell.Y <= 0) return;
    DropRowAt(grid, cell.Y);
}

void TFrmModifyEditStruct::DropRowAt(TkqDBGrid* grid, int dataRow)
{
    TClientDataSet* table = TableOf(grid);
    if (grid->ReadOnly() || !table->Active() || table->IsEmpty()) return;
    table->CheckBrowseMode();
    // The record under the drop point, wherever the grid is scrolled to.
    TDataLink& link = *grid->DataLink();
    const int bufferRow = dataRow - grid->TitleOffset() + grid->RowOffset();
    if (bufferRow < 0 || bufferRow >= link.RecordCount()) return;
    const int saved = link.ActiveRecord();
    link.SetActiveRecord(bufferRow);
    const int targetPos = table->FieldByName(QStringLiteral("Pos"))->AsInteger();
    link.SetActiveRecord(saved);
    {
        TUndoStep step(this, table);
        RenumberPositions(table, targetPos - 1);
    }
    grid->UnselectAll();
    if (grid == grdFieldDefs) grid->SelectRecord();
    UpdateActions();
}

// ---------------------------------------------------------------------------------------------
// Nested list

void TFrmModifyEditStruct::LoadDetailRows(TClientDataSet* master)
{
    QScopedValueRollback<bool> loading(LoadingNested, true);
    // The program fills the nested list also behind a read-only window.
    const bool readOnly = cdsDetail->ReadOnly();
    cdsDetail->SetReadOnly(false);
    try {
        LoadNestedStructure(master, cdsDetail, FFileName);
    } catch (...) {
        cdsDetail->SetReadOnly(readOnly);
        throw;
    }
    cdsDetail->SetReadOnly(readOnly);
}

void TFrmModifyEditStruct::LoadNestedList()
{
    if (!cdsDetail->IsEmpty()) return;
    LoadDetailRows(cdsFieldDefs);
    const QString org = FieldText(cdsFieldDefs, "OrgName");
    FDetailOwner = org.trimmed().isEmpty() ? FieldText(cdsFieldDefs, "Name") : org;
}

void TFrmModifyEditStruct::ExpandButtonBeforeExpand()
{
    if (cdsFieldDefs->FieldByName(QStringLiteral("Detail"))->AsInteger() == 0) Abort();
    LoadNestedList();
    DBNavigator->SetDataSource(dsDetail);
    grdFieldDefs->SetPopupMenu(nullptr);
    grdDetail->SetPopupMenu(PopupMenu);
    EdtSearch->SetDataSource(dsDetail);
}

void TFrmModifyEditStruct::ExpandButtonBeforeCollapse()
{
    DBNavigator->SetDataSource(dsFieldDefs);
    grdDetail->SetPopupMenu(nullptr);
    grdFieldDefs->SetPopupMenu(PopupMenu);
    EdtSearch->SetDataSource(dsFieldDefs);
}

// ---------------------------------------------------------------------------------------------
// Saving

TFieldDefRows TFrmModifyEditStruct::StructureRows()
{
    TFieldDefRows rows = TableRows(cdsFieldDefs);
    // The nested list of the table belongs to the "DataSet" row it was loaded for (the first
    // such row when that one is gone); any further nested field keeps the file's own list.
    int owner = -1;
    for (int i = 0; i < rows.size() && owner < 0; ++i)
        if (rows[i].IsDataSet() && !FDetailOwner.isEmpty() && rows[i].OldName() == FDetailOwner) owner = i;
    for (int i = 0; i < rows.size() && owner < 0; ++i)
        if (rows[i].IsDataSet()) owner = i;
    for (int i = 0; i < rows.size(); ++i) {
        if (!rows[i].IsDataSet()) continue;
        if (i == owner) {
            if (cdsDetail->IsEmpty()) {
                // The master's cursor goes to that row for the loader, the change log stays.
                TClientDataSet cursor;
                cursor.CloneCursor(cdsFieldDefs, false, false);
                cursor.First();
                cursor.MoveBy(i);
                LoadDetailRows(&cursor);
                FDetailOwner = rows[i].OldName();
            }
            rows[i].Children = TableRows(cdsDetail);
        } else {
            TClientDataSet cursor;
            cursor.CloneCursor(cdsFieldDefs, false, false);
            cursor.First();
            cursor.MoveBy(i);
            TClientDataSet scratch;
            CreateDetailTable(&scratch);
            LoadNestedStructure(&cursor, &scratch, FFileName);
            rows[i].Children = TableRows(&scratch);
        }
    }
    return rows;
}

bool TFrmModifyEditStruct::SaveStructure()
{
    TBusyCursor busy;
    const int dataRow = grdFieldDefs->GetDataRow();
    cdsFieldDefs->CheckBrowseMode();
    cdsDetail->CheckBrowseMode();
    QString name = FFileName;
    if (name.trimmed().isEmpty()) {
        // No file yet: the structure still needs its name.
        if (!ChooseNewFileName(IncludeTrailingPathDelimiter(BaseFolder), name)) Abort();
        NewFile = true;
        FFileName = name;
        SetFileNameText(name);
        SetCaption(StructureCaption + name);
    }
    if (const QString window = EditableDataWindowCaption(name); !window.isEmpty())
        throw Exception(Format(QStringLiteral("The file is open for editing in the window \"%s\". "
                                              "Close that window before changing the file's structure."),
                               {window}));
    bool saved = false;
    if (NewFile) {
        if (FileExists(name)) {
            if (MessageDlg(name + QStringLiteral(" Exists.  Overrite ?"), mtConfirmation, mbYesNo) == mrYes)
                saved = WriteNewFile(name);
        } else {
            saved = WriteNewFile(name);
        }
    } else {
        saved = RestructureFile(name);
    }
    if (saved) {
        // The structure as the file now has it: OrgName names the fields the file holds.
        LoadStructure(name);
        CheckReadOnly(name);
    }
    grdFieldDefs->SetDataRow(dataRow);
    grdFieldDefs->UnselectAll();
    grdFieldDefs->SelectRecord();
    UpdateActions();
    return saved;
}

bool TFrmModifyEditStruct::WriteNewFile(const QString& path)
{
    WriteNewDataFile(path, StructureRows());
    return true;
}

bool TFrmModifyEditStruct::RestructureFile(const QString& file)
{
    const TFieldDefRows rows = StructureRows();
    // The window stays responsive while the records are copied; no command starts meanwhile.
    TBusyGuard busy;
    QElapsedTimer since;
    since.start();
    RestructureDataFile(file, rows, [&since](qint64) {
        if (since.elapsed() < ResponsiveMsecs) return;
        if (Application()) Application()->ProcessMessages();
        since.restart();
    });
    return true;
}

void TFrmModifyEditStruct::actReadOnlySaveExecute()
{
    SaveStructure();
    cdsFieldDefs->MergeChangeLog();
    cdsDetail->MergeChangeLog();
    ClearUndoMarks();
    FileDate = FileModifiedDateTime(FFileName);
    ShowFileStatus();
    UpdateActions();
}

void TFrmModifyEditStruct::actViewDataExecute()
{
    const QString path = FFileName;
    if (!ActivateWindowByCaption(QStringLiteral("View Data ") + path)) OpenDataWindow(path, FileList);
}

// ---------------------------------------------------------------------------------------------
// Clipboard, Borrow, Undo

TClientDataSet* TFrmModifyEditStruct::FieldDefsClipboard()
{
    return TSharedClipboards::Instance()->cdsFieldDefsClipBoard;
}

void TFrmModifyEditStruct::CopyRows(bool keepSelection)
{
    TkqDBGrid* grid = ActiveGrid();
    TClientDataSet* table = TableOf(grid);
    TClientDataSet* clip = FieldDefsClipboard();
    table->CheckBrowseMode();
    TControlsDisabled disabled(table);
    clip->Cancel();
    clip->EmptyDataSet();
    auto copyRow = [&] {
        clip->Append();
        for (const char* name : {"Pos", "Name", "Type", "Size", "OrgName"}) {
            TField* to = clip->FindField(QLatin1String(name));
            const TField* from = table->FindField(QLatin1String(name));
            if (to && from) to->SetAsString(from->AsString());
        }
        clip->Post();
    };
    const QList<TBookmark> selected = grid->SelectedBookmarks();
    if (!selected.isEmpty() || !table->IsEmpty()) ForSelectedRecords(table, selected, copyRow);
    if (!keepSelection) {
        grid->UnselectAll();
        grid->SelectRecord();
    }
}

void TFrmModifyEditStruct::PasteRows()
{
    TkqDBGrid* grid = ActiveGrid();
    TClientDataSet* table = TableOf(grid);
    TClientDataSet* clip = FieldDefsClipboard();
    if (!clip->Active() || clip->IsEmpty()) return;
    if (table->State() == dsInsert) table->Cancel();
    table->CheckBrowseMode();
    {
        TUndoStep step(this, table);
        TControlsDisabled disabled(table);
        QSet<QString> names;
        int maxPos = 0;
        {
            TClientDataSet cursor;
            cursor.CloneCursor(table, true, false);
            for (cursor.First(); !cursor.Eof(); cursor.Next()) {
                names.insert(FieldText(&cursor, "Name").toLower());
                maxPos = std::max(maxPos, cursor.FieldByName(QStringLiteral("Pos"))->AsInteger());
            }
        }
        int added = 0;
        const TBookmark clipAt = clip->GetBookmark();
        for (clip->First(); !clip->Eof(); clip->Next()) {
            table->Append();
            for (const TField* from : clip->Fields()) {
                TField* to = table->FindField(from->FieldName());
                if (!to || to->Calculated()) continue;
                if (to->FieldName() == QLatin1String("Name")) {
                    const QString base = from->AsString();
                    QString name = base;
                    for (int counter = 1; names.contains(name.toLower()); ++counter)
                        name = base + QString::number(counter);
                    // Later rows of the same paste must not take this name again.
                    names.insert(name.toLower());
                    to->SetAsString(name);
                } else if (to->FieldName() == QLatin1String("Pos")) {
                    // After every row the table has, in clipboard order.
                    to->SetAsInteger(maxPos + ++added);
                } else {
                    to->SetAsString(from->AsString());
                }
            }
            table->Post();
        }
        if (clip->BookmarkValid(clipAt)) clip->GotoBookmark(clipAt);
    }
    grid->UnselectAll();
    grid->SelectRecord();
    UpdateActions();
}

void TFrmModifyEditStruct::mnuCopyClick() { CopyRows(); }

void TFrmModifyEditStruct::mnuCutClick()
{
    CopyRows(true);
    DeleteSelectedRows(false);
}

void TFrmModifyEditStruct::mnuPasteClick() { PasteRows(); }

void TFrmModifyEditStruct::PopupMenuPopup()
{
    TClientDataSet* clip = FieldDefsClipboard();
    const bool editable = !IsReadOnly();
    mnuPaste->setEnabled(editable && clip->Active() && !clip->IsEmpty());
    mnuCut->setEnabled(editable);
}

void TFrmModifyEditStruct::actUndoExecute()
{
    TkqDBGrid* grid = ActiveGrid();
    TClientDataSet* table = TableOf(grid);
    if (IsEditing(table)) {
        // The change not posted yet is the last one.
        table->Cancel();
        grid->UnselectAll();
        return;
    }
    std::vector<int>& marks = UndoMarks(table);
    while (!marks.empty() && marks.back() >= table->SavePoint()) marks.pop_back();
    int target = table->SavePoint() - 1;
    if (!marks.empty()) {
        target = marks.back();
        marks.pop_back();
    }
    while (table->SavePoint() > target && table->ChangeCount() > 0)
        if (!table->UndoLastChange(true)) break;
    grid->UnselectAll();
    UpdateActions();
}

void TFrmModifyEditStruct::BorrowFrom(const QString& path)
{
    const int kind = DetectDataFileKind(path);
    if (kind == dfkUnknown) {
        ShowMessage(NotADataFileMessage(path));
        return;
    }
    // The definitions are read before the table is touched.
    QList<TReadDef> defs;
    if (kind == dfkClientDataSet) {
        defs = ReadDataFileDefs(path);
    } else {
        TzohMemTable table;
        table.Close();
        table.LoadBinaryFile(path);
        defs = ReadDefs(table.FieldDefs());
        table.Close();
    }
    CollapseNested();
    cdsFieldDefs->Cancel();
    {
        TUndoStep step(this, cdsFieldDefs);
        TControlsDisabled disabled(cdsFieldDefs);
        cdsFieldDefs->First();
        while (!cdsFieldDefs->IsEmpty()) cdsFieldDefs->Delete();
        HasDataSetField = false;
        for (const TReadDef& d : defs) {
            AppendDefinitionRow(cdsFieldDefs, d.FieldNo, d.Name, d.Type, d.Size);
            if (d.Type == DataSetType && cdsDetail->IsEmpty() && kind == dfkClientDataSet) {
                QScopedValueRollback<bool> loading(LoadingNested, true);
                LoadNestedStructure(cdsFieldDefs, cdsDetail, path);
                FDetailOwner = d.Name;
            }
        }
        cdsFieldDefs->First();
    }
    grdFieldDefs->UnselectAll();
    UpdateActions();
}

void TFrmModifyEditStruct::actBorrowExecute()
{
    TFileDialogOptions options;
    options.Filter = BorrowFilter;
    options.FileMustExist = true;
    options.InitialDir = ExtractFilePath(FFileName);
    QStringList files;
    if (!ExecuteOpenDialog(options, files, this) || files.isEmpty()) return;
    BorrowFrom(files.first());
}

// ---------------------------------------------------------------------------------------------
// Commands

void TFrmModifyEditStruct::UpdateActions()
{
    const bool readOnly = IsReadOnly();
    const bool exists = !FFileName.isEmpty() && FileExists(FFileName);
    actReadOnlySave->setEnabled(!readOnly && (HasChanges(cdsFieldDefs) || HasChanges(cdsDetail) ||
                                              IsEditing(cdsFieldDefs) || IsEditing(cdsDetail)));
    actViewData->setEnabled(exists);
    actPrintStructure->setEnabled(false);
    actUndo->setEnabled(!readOnly && (ActiveTable()->ChangeCount() > 0 || IsEditing(ActiveTable())));
    actBorrow->setEnabled(!readOnly && (NewFile || exists));
}
