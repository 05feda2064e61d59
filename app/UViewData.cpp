#include "app/UViewData.h"

#include "app/SharedClipboards.h"
#include "app/UGeneral.h"
#include "app/UImage.h"
#include "app/ViewDataExport.h"
#include "app/ViewDataOps.h"
#include "gridlib/core/kqclient.h"
#include "gridlib/core/kqradiogroup.h"
#include "gridlib/dialogs/kqnavigator.h"
#include "gridlib/dialogs/kqfilter.h"
#include "gridlib/dialogs/kqlocatedlg.h"
#include "gridlib/dialogs/kqrecview.h"
#include "gridlib/dialogs/kqriched.h"
#include "gridlib/grid/Kqdbgrid.h"
#include "gridlib/grid/kqexpand.h"
#include "platform/vcl/ImgList.h"
#include "platform/client/ClientDataSet.h"
#include "platform/core/ScopeExit.h"
#include "platform/core/SysFormat.h"
#include "platform/dbctrls/DBCtrls.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"
#include "treestatus/qeStatusBar.h"
#include "utilities/FileUtil.h"
#include "utilities/Placemnt.h"
#include "utilities/VCLUtils.h"
#include "utilities/VZCtrls.h"
#include "utilities/VZSpin.h"
#include "utilities/VZSplit.h"
#include "utilities/VzMenus.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <cmath>
#include <exception>

namespace {
const QString NotSavedQuestion = QStringLiteral("Data is not saved, Save now?");
// Places in the window's image list (the titles' sort arrows among them).
enum TViewImage : int {
    imgUndo = 3, imgModifyStructure = 19, imgDeleteAll = 20, imgSortAscending = 21, imgMergeChangeLog = 23,
    imgPopulate = 24, imgMigrate = 25, imgSortDescending = 27, imgRevert = 28, imgCount = 29
};
constexpr int DeltaDefaultHeight = 100;

// A small triangle, the glyph of the change-log toggle and of the sorted titles.
QPixmap ArrowPixmap(bool up, const QColor& color)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    const QPolygonF triangle = up ? QPolygonF{QPointF(8, 4), QPointF(13, 11), QPointF(3, 11)}
                                  : QPolygonF{QPointF(3, 5), QPointF(13, 5), QPointF(8, 12)};
    painter.drawPolygon(triangle);
    return pixmap;
}

// The small triangle on the change-log toggle (a button 8 pixels high): up or down, on fuchsia.
TBitmap DeltaArrow(bool up)
{
    TBitmap glyph(9, 5);
    glyph.Fill(clFuchsia);
    for (int row = 0; row < 5; ++row) {
        const int half = up ? row : 4 - row;
        for (int x = 4 - half; x <= 4 + half; ++x) glyph.SetPixel(x, row, RGBToColor(0x20, 0x40, 0x90));
    }
    glyph.SetTransparentColor(clFuchsia);
    return glyph;
}

// Keys typed into the file combo are dropped: only its list chooses a file.
class TSwallowKeys : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
            auto* key = static_cast<QKeyEvent*>(event);
            // Opening the list by keyboard stays possible.
            if (key->key() == Qt::Key_Down && (key->modifiers() & Qt::AltModifier)) return false;
            if (key->key() == Qt::Key_F4 || key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) return false;
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

void ConfigureGrid(TkqDBGrid* grid, TImageList* images, bool boldTitles)
{
    QFont title = grid->font();
    title.setBold(boldTitles);
    grid->SetTitleFont(TFont(title, clWindowText));
    grid->SetTitleAlignment(taLeftJustify);
    grid->SetTitleLines(1);
    grid->SetTitleImageList(images);
    grid->SetMemoAttributes({mSizeable, mWordWrap, mGridShow});
}
} // namespace

// =============================================================================================
// Creation

TFrmViewData::TFrmViewData(QWidget* parent) : TDataWindowBase(parent)
{
    setObjectName(QStringLiteral("FrmViewData"));
    SetFormSize(742, 540);
    ArrowUpBitmap = DeltaArrow(true);
    ArrowDownBitmap = DeltaArrow(false);

    QStyle* st = style();
    Images.reserve(imgCount);
    for (int i = 0; i < imgCount; ++i) Images.append(QIcon());
    Images[imgUndo] = st->standardIcon(QStyle::SP_ArrowBack);
    Images[imgModifyStructure] = st->standardIcon(QStyle::SP_FileDialogDetailedView);
    Images[imgDeleteAll] = st->standardIcon(QStyle::SP_TrashIcon);
    Images[imgSortAscending] = QIcon(ArrowPixmap(true, QColor(0x10, 0x70, 0x10)));
    Images[imgMergeChangeLog] = st->standardIcon(QStyle::SP_DialogApplyButton);
    Images[imgPopulate] = st->standardIcon(QStyle::SP_FileDialogNewFolder);
    Images[imgMigrate] = st->standardIcon(QStyle::SP_ArrowRight);
    Images[imgSortDescending] = QIcon(ArrowPixmap(false, QColor(0x10, 0x70, 0x10)));
    Images[imgRevert] = st->standardIcon(QStyle::SP_BrowserStop);
    TitleImages = std::make_unique<TImageList>(16, 16);
    for (const QIcon& icon : std::as_const(Images)) {
        QImage image(16, 16, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        if (!icon.isNull()) image = icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32).scaled(16, 16);
        TitleImages->AddImage(image);
    }

    CreateDataComponents();
    CreateControls();
    ConnectEvents();

    FormStorage = new TFormStorage(this);
    FormStorage->setObjectName(QStringLiteral("FormStorage"));
    FormStorage->SetIniFileName(SettingsFileName());
    FormStorage->SetIniSection(QStringLiteral("ViewData"));
    FormStorage->SetOptions(TPlacementOptions());
    FormStorage->SetStoredProps({QStringLiteral("grdDelta.Height"), QStringLiteral("btnSizeColumn.Down"),
                                 QStringLiteral("cbShowTypeAndLength.Down")});

    UnsavedChanges = false;
    PageControl->setCurrentIndex(0);
    UpdateActions();
}

TFrmViewData::~TFrmViewData()
{
    // A window destroyed without closing saves its settings while its controls still exist.
    delete FormStorage;
    FormStorage = nullptr;
    // Handlers reach into the window: none may run while its parts go.
    disconnect(FFocusConnection);
    Timer1->stop();
    DetachDataEvents();
    if (TDataSet* nested = dsDetail->DataSet(); nested && nested != cdsDetail) nested->AfterScroll = nullptr;
    for (TkqExpandButton* button : {ExpandButton, ExpandButton2}) {
        button->OnBeforeExpand = nullptr;
        button->OnAfterExpand = nullptr;
        button->OnBeforeCollapse = nullptr;
        button->OnAfterCollapse = nullptr;
    }
    // The controls let go of the data without a word before it closes: none may redraw or
    // rebuild itself while the window around it is being taken apart.
    for (TDataSource** source : {&dsViewData, &dsDetail, &dsDelta, &dsDeltaDetail}) {
        delete *source;
        *source = nullptr;
    }
    cdsDelta->Close();
    // The dataset writes itself back only when it holds changes the window never wrote (and
    // never after the user declined to save, which cleared its file name).
    try {
        cdsViewData->Close();
    } catch (const std::exception&) {
    }
}

void TFrmViewData::CreateDataComponents()
{
    auto named = [](auto* ds, const char* name) {
        ds->setObjectName(QLatin1String(name));
        return ds;
    };
    auto newDataSet = [&](const char* name) { return named(new TClientDataSet(this), name); };
    // The file's dataset and its nested detail check picture masks before every post.
    auto newFileDataSet = [&](const char* name) {
        auto* ds = named(new TkqClientDataSet(this), name);
        ds->SetValidateWithMask(true);
        return ds;
    };
    auto newSource = [this](const char* name, TDataSet* ds) {
        auto* source = new TDataSource(this);
        source->setObjectName(QLatin1String(name));
        source->SetDataSet(ds);
        return source;
    };
    cdsViewData = newFileDataSet("cdsViewData");
    dsViewData = newSource("dsViewData", cdsViewData);
    cdsDetail = newFileDataSet("cdsDetail");
    dsDetail = newSource("dsDetail", cdsDetail);
    cdsDelta = newDataSet("cdsDelta");
    dsDelta = newSource("dsDelta", cdsDelta);
    cdsDeltaDetail = newDataSet("cdsDeltaDetail");
    dsDeltaDetail = newSource("dsDeltaDetail", cdsDeltaDetail);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(500);

    LocateDialog = new TkqLocateDialog(this);
    LocateDialog->setObjectName(QStringLiteral("LocateDialog"));
    LocateDialog->Caption = QStringLiteral("Locate Field Value");
    LocateDialog->MatchType = mtPartialMatchStart;
    LocateDialog->CaseSensitive = false;
    LocateDialog->SortFields = fsSortByFieldName;
    LocateDialog->DefaultButton = dbFindNext;
    LocateDialog->FieldSelection = fsAllFields;
    LocateDialog->ShowMessages = true;
    LocateDialog->Options = {};

    FilterDialog = new TkqFilterDialog(this);
    FilterDialog->setObjectName(QStringLiteral("FilterDialog"));
    FilterDialog->Caption = QStringLiteral("Filter");
    FilterDialog->SortBy = fdSortByFieldNo;
    FilterDialog->SetFilterMethod(fdByFilter);
    FilterDialog->DefaultMatchType = fdMatchStart;
    FilterDialog->DefaultFilterBy = fdSmartFilter;
    FilterDialog->FieldOperators()->SetOrChar(QStringLiteral("or"));
    FilterDialog->FieldOperators()->SetAndChar(QStringLiteral("and"));
    FilterDialog->FieldOperators()->SetNullChar(QStringLiteral("null"));
    FilterDialog->FilterPropertyOptions()->LikeWildcardChar = QStringLiteral("%");
    FilterDialog->FilterOptimization = fdNone;
    FilterDialog->QueryFormatDateMode = qfdMonthDayYear;
}

void TFrmViewData::CreateControls()
{
    auto* top = new QWidget(this);
    top->setObjectName(QStringLiteral("Panel1"));
    top->setFixedHeight(97);
    CreateToolBar(top);
    CreateSettingsRows(top);
    CreatePages();
    CreateChangeLog();
    CreateStatusBar();
    CreateGridMenu();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(top);
    layout->addWidget(PageControl, 1);
    layout->addWidget(Splitter);
    layout->addWidget(grdDelta);
    layout->addWidget(StatusBar);

    RecordViewPanel->SetDataSource(dsViewData);
    grdViewData->SetDataSource(dsViewData);
}

// The navigator and the commands above the pages.
void TFrmViewData::CreateToolBar(QWidget* top)
{
    QStyle* st = style();
    ToolBar = new QToolBar(top);
    ToolBar->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar->setIconSize(QSize(16, 16));

    DBNavigator = new TkqDBNavigator(ToolBar);
    DBNavigator->setObjectName(QStringLiteral("DBNavigator"));
    DBNavigator->SetVisibleButtons({nbsFirst, nbsPrior, nbsNext, nbsLast, nbsInsert, nbsDelete, nbsEdit, nbsPost, nbsCancel});
    DBNavigator->SetFlat(false);
    DBNavigator->SetShowHint(true);
    const std::pair<TkqNavButtonStyle, const char*> hints[] = {
        {nbsFirst, "Move to first record"}, {nbsPrior, "Move to prior record"}, {nbsNext, "Move to next record"},
        {nbsLast, "Move to last record"}, {nbsInsert, "Insert new record"}, {nbsDelete, "Delete current record"},
        {nbsEdit, "Edit current record"}, {nbsPost, "Post changes of current record"},
        {nbsCancel, "Cancel changes made to current record"}};
    for (const auto& [button, hint] : hints)
        if (TkqNavButton* b = DBNavigator->Button(button)) b->SetHint(QLatin1String(hint));
    DBNavigator->RepeatInterval = {500, 100};
    DBNavigator->SetDataSource(dsViewData);
    DBNavigator->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    ToolBar->addWidget(DBNavigator);

    actRefresh = NewAction(this, "actRefresh", QStringLiteral("Refresh"), QStringLiteral("Refresh data"),
                           st->standardIcon(QStyle::SP_BrowserReload));
    ToolBar->addAction(actRefresh);
    ToolBar->addSeparator();
    actUndo = NewAction(this, "actUndo", QStringLiteral("Undo"), QStringLiteral("Undo last change"), Images[imgUndo]);
    actRevert = NewAction(this, "actRevert", QStringLiteral("Revert"), QStringLiteral("Revert changes to the current record"),
                          Images[imgRevert]);
    ToolBar->addAction(actUndo);
    ToolBar->addAction(actRevert);
    ToolBar->addSeparator();

    CreateSaveButton();

    actReadOnlyDeleteAll = NewAction(this, "actReadOnlyDeleteAll", QStringLiteral("Delete All"),
                                     QStringLiteral("Delete all Data"), Images[imgDeleteAll]);
    actReadOnlyMergeChangeLog = NewAction(this, "actReadOnlyMergeChangeLog", QStringLiteral("Merge Change Log"),
                                          QStringLiteral("Merge Change Log.\nEmpty the Delta Dataset"), Images[imgMergeChangeLog]);
    ToolBar->addAction(actReadOnlyDeleteAll);
    ToolBar->addAction(actReadOnlyMergeChangeLog);
    ToolBar->addSeparator();
    btnModifyStruct = NewAction(this, "btnModifyStruct", QStringLiteral("Modify Structure"),
                                QStringLiteral("Modify Structure"), Images[imgModifyStructure]);
    ToolBar->addAction(btnModifyStruct);
    btnSizeColumn = new TVzSpeedButton(ToolBar);
    btnSizeColumn->setObjectName(QStringLiteral("btnSizeColumn"));
    btnSizeColumn->SetGroupIndex(1);
    btnSizeColumn->SetAllowAllUp(true);
    btnSizeColumn->SetGlyph(GlyphFromImage(st->standardIcon(QStyle::SP_TitleBarMaxButton).pixmap(16, 16).toImage()));
    btnSizeColumn->SetFlat(true);
    btnSizeColumn->setFixedSize(24, 24);
    btnSizeColumn->setToolTip(QStringLiteral("Size columns to fit in the grid"));
    ToolBar->addWidget(btnSizeColumn);
    ToolBar->addSeparator();
    actLocate = NewAction(this, "actLocate", QStringLiteral("Locate"), QStringLiteral("Locate"),
                          st->standardIcon(QStyle::SP_FileDialogContentsView));
    actFilter = NewAction(this, "actFilter", QStringLiteral("Filter"), QStringLiteral("Filter"),
                          st->standardIcon(QStyle::SP_FileDialogListView));
    ToolBar->addAction(actLocate);
    ToolBar->addAction(actFilter);
    ToolBar->addSeparator();
    actReadOnlyMigrate = NewAction(this, "actReadOnlyMigrate", QStringLiteral("Migrate"), QStringLiteral("Migrate data"),
                                   Images[imgMigrate]);
    actReadOnlyPopulate = NewAction(this, "actReadOnlyPopulate", QStringLiteral("Populate"),
                                    QStringLiteral("Populate test data"), Images[imgPopulate]);
    ToolBar->addAction(actReadOnlyMigrate);
    ToolBar->addAction(actReadOnlyPopulate);
}

// The save button with its menu: save, or save as binary or XML.
void TFrmViewData::CreateSaveButton()
{
    QStyle* st = style();
    popSave = new TVzPopupMenu(this);
    popSave->setObjectName(QStringLiteral("popSave"));
    Save1 = popSave->Items()->AddItem(QStringLiteral("Save"));
    Save1->setObjectName(QStringLiteral("Save1"));
    SaveAs1 = popSave->Items()->AddItem(QStringLiteral("Save As"));
    SaveAs1->setObjectName(QStringLiteral("SaveAs1"));
    SaveAsBinary1 = SaveAs1->AddItem(QStringLiteral("Binary"));
    SaveAsBinary1->setObjectName(QStringLiteral("Binary1"));
    SaveAsXML1 = SaveAs1->AddItem(QStringLiteral("XML"));
    SaveAsXML1->setObjectName(QStringLiteral("XML1"));
    btnSave = new TVzSpeedButton(ToolBar);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnSave->SetGlyph(GlyphFromImage(st->standardIcon(QStyle::SP_DialogSaveButton).pixmap(16, 16).toImage()));
    btnSave->setToolTip(QStringLiteral("Save"));
    btnSave->SetFlat(true);
    btnSave->setFixedSize(34, 24);
    btnSave->SetDropDownMenu(popSave);
    ToolBar->addWidget(btnSave);
}

// Fixed columns, field types in the titles and the status filter; the file name below them.
void TFrmViewData::CreateSettingsRows(QWidget* top)
{
    QStyle* st = style();
    auto* fixedLabel = new QLabel(QStringLiteral("Fixed Columns:"), top);
    EdtFixedColumns = new TVzSpinEdit(top);
    EdtFixedColumns->setObjectName(QStringLiteral("EdtFixedColumns"));
    EdtFixedColumns->SetButtonKind(bkStandard);
    EdtFixedColumns->SetMaxValue(99);
    EdtFixedColumns->setFocusPolicy(Qt::ClickFocus);   // not in the tab order
    QFont small = EdtFixedColumns->font();
    small.setPixelSize(std::max(9, QFontInfo(small).pixelSize() - 1));
    EdtFixedColumns->setFont(small);
    EdtFixedColumns->setToolTip(QStringLiteral("Set a number of Fixed Columns for the Grid"));
    EdtFixedColumns->setFixedWidth(48);
    fixedLabel->setBuddy(EdtFixedColumns);
    auto* typeLabel = new QLabel(QStringLiteral("Show Field Type and Length:"), top);
    cbShowTypeAndLength = new TVzSpeedButton(top);
    cbShowTypeAndLength->setObjectName(QStringLiteral("cbShowTypeAndLength"));
    cbShowTypeAndLength->SetGroupIndex(2);
    cbShowTypeAndLength->SetAllowAllUp(true);
    cbShowTypeAndLength->SetGlyph(GlyphFromImage(st->standardIcon(QStyle::SP_FileDialogInfoView).pixmap(16, 16).toImage()));
    cbShowTypeAndLength->setFixedSize(25, 25);
    cbShowTypeAndLength->setToolTip(QStringLiteral("Show the Field Type and the Field Lenght\nin the Grid Header"));

    rgStatusFilter = new TkqRadioGroup(top);
    rgStatusFilter->setObjectName(QStringLiteral("rgStatusFilter"));
    rgStatusFilter->SetCaption(QStringLiteral("Status Filter"));
    rgStatusFilter->setToolTip(
        QStringLiteral("Filters the dataset so that it exposes only those records \nwith a specific update status"));
    rgStatusFilter->SetColumns(4);
    rgStatusFilter->SetItems({QStringLiteral("Default"), QStringLiteral("Modified"), QStringLiteral("Inserted"),
                              QStringLiteral("Deleted")});
    rgStatusFilter->SetItemIndex(0);

    auto* fileLabel = new QLabel(QStringLiteral("FileName:"), top);
    EdtFileName = new QComboBox(top);
    EdtFileName->setObjectName(QStringLiteral("EdtFileName"));
    EdtFileName->setEditable(true);
    EdtFileName->setInsertPolicy(QComboBox::NoInsert);
    EdtFileName->setFixedWidth(450);
    EdtFileName->lineEdit()->installEventFilter(new TSwallowKeys(EdtFileName));
    fileLabel->setBuddy(EdtFileName);

    // Tool bar; the settings beside the status filter; the file name below them.
    auto* topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(2, 0, 2, 2);
    topLayout->setSpacing(0);
    topLayout->addWidget(ToolBar);
    auto* settingsRow = new QHBoxLayout;
    settingsRow->setSpacing(4);
    settingsRow->addWidget(fixedLabel);
    settingsRow->addWidget(EdtFixedColumns);
    settingsRow->addSpacing(8);
    settingsRow->addWidget(typeLabel);
    settingsRow->addWidget(cbShowTypeAndLength);
    settingsRow->addSpacing(8);
    settingsRow->addWidget(rgStatusFilter, 1);
    topLayout->addLayout(settingsRow);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(fileLabel);
    fileRow->addWidget(EdtFileName);
    fileRow->addStretch();
    topLayout->addLayout(fileRow);
}

// The grid page (with the nested grid and its expand button) and the single-record page.
void TFrmViewData::CreatePages()
{
    PageControl = new QTabWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl1"));
    auto* gridPage = new QWidget;
    gridPage->setObjectName(QStringLiteral("tsGrid"));
    grdViewData = new TkqDBGrid(gridPage);
    grdViewData->setObjectName(QStringLiteral("grdViewData"));
    ConfigureGrid(grdViewData, TitleImages.get(), true);
    grdViewData->SetOptions({dgEditing, dgTitles, dgIndicator, dgColumnResize, dgColLines, dgRowLines, dgTabs,
                             dgConfirmDelete, dgCancelOnExit, dgWordWrap, dgMultiSelect, dgShowCellHint,
                             dgFixedResizable, dgFixedEditable, dgRowResize});
    grdViewData->SetMultiSelectOptions({msoAutoUnselect, msoShiftSelect});
    grdViewData->SetTitleButtons(true);
    grdViewData->SetShowHorzScrollBar(true);
    grdViewData->SetFixedCols(0);
    btnSelectAll = new TkqIButton(gridPage);
    btnSelectAll->setObjectName(QStringLiteral("btnSelectAll"));
    btnSelectAll->setToolTip(QStringLiteral("Select all data"));
    grdViewData->SetIndicatorButton(btnSelectAll);

    grdDetail = new TkqDBGrid(gridPage);
    grdDetail->setObjectName(QStringLiteral("grdDetail"));
    ConfigureGrid(grdDetail, TitleImages.get(), true);
    grdDetail->SetOptions({dgEditing, dgTitles, dgIndicator, dgColumnResize, dgColLines, dgRowLines, dgTabs,
                           dgConfirmDelete, dgCancelOnExit, dgWordWrap, dgMultiSelect, dgShowCellHint,
                           dgFixedResizable, dgFixedEditable});
    grdDetail->SetMultiSelectOptions({msoAutoUnselect, msoShiftSelect});
    grdDetail->SetTitleButtons(true);
    grdDetail->setFrameShape(QFrame::Box);
    grdDetail->resize(400, 150);
    btnDetailSelectAll = new TkqIButton(gridPage);
    btnDetailSelectAll->setObjectName(QStringLiteral("btnDetailSelectAll"));
    btnDetailSelectAll->setToolTip(QStringLiteral("Select all data"));
    grdDetail->SetIndicatorButton(btnDetailSelectAll);
    grdDetail->SetDataSource(dsDetail);
    ExpandButton = new TkqExpandButton(gridPage);
    ExpandButton->setObjectName(QStringLiteral("ExpandButton"));
    ExpandButton->SetAutoShrink(false);
    ExpandButton->SetGrid(grdDetail);
    ExpandButton->hide();

    auto* gridLayout = new QVBoxLayout(gridPage);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    gridLayout->addWidget(grdViewData);
    PageControl->addTab(gridPage, QStringLiteral("Grid"));

    auto* singlePage = new QWidget;
    singlePage->setObjectName(QStringLiteral("tsSingle"));
    RecordViewPanel = new TkqRecordViewPanel(singlePage);
    RecordViewPanel->setObjectName(QStringLiteral("RecordViewPanel"));
    QFont bold = RecordViewPanel->font();
    bold.setBold(true);
    RecordViewPanel->SetLabelFont(bold);
    RecordViewPanel->SetReadOnlyColor(clInfoBk);
    auto* singleLayout = new QVBoxLayout(singlePage);
    singleLayout->setContentsMargins(0, 0, 0, 0);
    singleLayout->addWidget(RecordViewPanel);
    PageControl->addTab(singlePage, QStringLiteral("Single"));
}

// The change log below its splitter, with its own nested grid.
void TFrmViewData::CreateChangeLog()
{
    Splitter = new TVzSplitter(this);
    Splitter->setObjectName(QStringLiteral("Splitter1"));
    Splitter->SetAlign(alBottom);
    Splitter->setFixedHeight(12);
    auto* deltaLabel = new QLabel(QStringLiteral("Delta"), Splitter);
    QFont deltaFont = deltaLabel->font();
    deltaFont.setPixelSize(10);
    deltaLabel->setFont(deltaFont);
    btnDeltaInfo = new TVzSpeedButton(Splitter);
    btnDeltaInfo->setObjectName(QStringLiteral("btnDeltaInfo"));
    btnDeltaInfo->setFixedSize(100, 8);
    btnDeltaInfo->SetGrayedInactive(false);
    btnDeltaInfo->setToolTip(QStringLiteral("Show / Hide Delta"));
    btnDeltaInfo->setCursor(Qt::ArrowCursor);
    auto* splitterLayout = new QHBoxLayout(Splitter);
    splitterLayout->setContentsMargins(6, 0, 6, 0);
    splitterLayout->addWidget(deltaLabel);
    splitterLayout->addWidget(btnDeltaInfo);
    splitterLayout->addStretch();

    grdDelta = new TkqDBGrid(this);
    grdDelta->setObjectName(QStringLiteral("grdDelta"));
    ConfigureGrid(grdDelta, TitleImages.get(), false);
    grdDelta->SetOptions({dgEditing, dgTitles, dgIndicator, dgColumnResize, dgColLines, dgRowLines, dgTabs,
                          dgConfirmDelete, dgCancelOnExit, dgWordWrap, dgShowCellHint, dgRowResize});
    grdDelta->SetReadOnly(true);
    grdDelta->SetColor(clInfoBk);
    grdDelta->SetTitleButtons(true);
    grdDelta->SetHeight(DeltaDefaultHeight);
    grdDelta->SetDataSource(dsDelta);
    // The change log sits at the bottom; the splitter above it changes its height.
    SetControlAlign(grdDelta, alBottom);
    SetControlAlign(PageControl, alClient);
    Splitter->SetControlFirst(grdDelta);
    grdDeltaDetail = new TkqDBGrid(this);
    grdDeltaDetail->setObjectName(QStringLiteral("grdDeltaDetail"));
    grdDeltaDetail->SetReadOnly(true);
    grdDeltaDetail->SetColor(clInfoBk);
    grdDeltaDetail->setFrameShape(QFrame::Box);
    grdDeltaDetail->resize(400, 120);
    grdDeltaDetail->SetDataSource(dsDeltaDetail);
    ExpandButton2 = new TkqExpandButton(this);
    ExpandButton2->setObjectName(QStringLiteral("ExpandButton2"));
    ExpandButton2->SetAutoShrink(false);
    ExpandButton2->SetGrid(grdDeltaDetail);
    ExpandButton2->hide();
}

// The status bar and the rich-text editor of memo cells.
void TFrmViewData::CreateStatusBar()
{
    StatusBar = new TqeStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    QFont panelFont(QStringLiteral("Arial"));
    panelFont.setPixelSize(9);
    const std::pair<const char*, const char*> panels[] = {{"panRecord", "100"}, {"panChangeCount", "130"},
                                                          {"panFileDate", "130"}, {"panFileSize", "100"},
                                                          {"panReadOnly", "60"}, {"Panel0", "50"}};
    for (const auto& [name, width] : panels) {
        TqeStatusPanel* panel = StatusBar->Panels().Add();
        panel->SetName(QLatin1String(name));
        panel->SetWidth(QLatin1String(width));
        panel->SetFont(panelFont);
    }
    StatusBar->Panels()[0]->SetText(QStringLiteral("Rec:"));
    StatusBar->Panels()[1]->SetText(QStringLiteral("ChangeCount:"));

    DBRichEdit = new TkqDBRichEdit(this);
    DBRichEdit->setObjectName(QStringLiteral("DBRichEdit"));
    DBRichEdit->EditorCaption = QStringLiteral("Edit Rich Text");
    DBRichEdit->hide();
}

// The pop-up menu of the grids.
void TFrmViewData::CreateGridMenu()
{
    popGrid = new QMenu(this);
    popGrid->setObjectName(QStringLiteral("popGrid"));
    Copy1 = popGrid->addAction(QStringLiteral("Copy"));
    Copy1->setObjectName(QStringLiteral("Copy1"));
    Paste1 = popGrid->addAction(QStringLiteral("Paste"));
    Paste1->setObjectName(QStringLiteral("Paste1"));
    SelectAll1 = popGrid->addAction(QStringLiteral("Select All"));
    SelectAll1->setObjectName(QStringLiteral("SelectAll1"));
    Export1 = popGrid->addAction(QStringLiteral("Export..."));
    Export1->setObjectName(QStringLiteral("Export1"));
    SortAscending1 = popGrid->addAction(QStringLiteral("Sort Ascending"));
    SortAscending1->setObjectName(QStringLiteral("SortAscending1"));
    SortDescending1 = popGrid->addAction(QStringLiteral("Sort Descending"));
    SortDescending1->setObjectName(QStringLiteral("SortDescending1"));
    ResetSort1 = popGrid->addAction(QStringLiteral("Reset Sort"));
    ResetSort1->setObjectName(QStringLiteral("ResetSort1"));
    grdViewData->SetPopupMenu(popGrid);
    // A control without a menu of its own takes its parent's: the nested grid lies in the main
    // grid and shares its menu.
    grdDetail->SetPopupMenu(popGrid);
}

void TFrmViewData::ConnectEvents()
{
    auto guarded = [](QObject* context, QAction* action, std::function<void()> fn) {
        QObject::connect(action, &QAction::triggered, context, [fn] { TApplication::Guard(fn); });
    };
    guarded(this, actRefresh, [this] { actRefreshExecute(); });
    guarded(this, actUndo, [this] { actUndoExecute(); });
    guarded(this, actRevert, [this] { actRevertExecute(); });
    Save1->OnClick = [this](QObject*) { TApplication::Guard([this] { Save1Click(); }); };
    SaveAsBinary1->OnClick = [this](QObject*) { TApplication::Guard([this] { SaveAsClick(false); }); };
    SaveAsXML1->OnClick = [this](QObject*) { TApplication::Guard([this] { SaveAsClick(true); }); };
    guarded(this, actReadOnlyDeleteAll, [this] { actReadOnlyDeleteAllExecute(); });
    guarded(this, actReadOnlyMergeChangeLog, [this] { actReadOnlyMergeChangeLogExecute(); });
    guarded(this, btnModifyStruct, [this] { btnModifyStructClick(); });
    guarded(this, actLocate, [this] { actLocateExecute(); });
    guarded(this, actFilter, [this] { actFilterExecute(); });
    guarded(this, actReadOnlyMigrate, [this] { actReadOnlyMigrateExecute(); });
    guarded(this, actReadOnlyPopulate, [this] { actReadOnlyPopulateExecute(); });
    guarded(this, Copy1, [this] { CopyClick(); });
    guarded(this, Paste1, [this] { PasteClick(); });
    guarded(this, SelectAll1, [this] { SelectAllClick(); });
    guarded(this, Export1, [this] { ExportClick(); });
    guarded(this, SortAscending1, [this] { SortAscendingClick(); });
    guarded(this, SortDescending1, [this] { SortDescendingClick(); });
    guarded(this, ResetSort1, [this] { ResetSortClick(); });
    connect(popGrid, &QMenu::aboutToShow, this, [this] { TApplication::Guard([this] { popGridPopup(); }); });

    btnSizeColumn->OnClick = [this](QObject*) { btnSizeColumnClick(); };
    cbShowTypeAndLength->OnClick = [this](QObject*) { cbShowTypeAndLengthClick(); };
    btnDeltaInfo->OnClick = [this](QObject*) { btnDeltaInfoClick(); };
    rgStatusFilter->OnClick = [this](QObject*) { rgStatusFilterClick(rgStatusFilter->ItemIndex()); };
    EdtFixedColumns->OnChange = [this](QObject*) { EdtFixedColumnsChange(); };
    connect(EdtFileName, &QComboBox::activated, this, [this](int index) {
        TApplication::Guard([this, index] { EdtFileNameChange(EdtFileName->itemText(index)); });
    });
    connect(btnSelectAll, &QAbstractButton::clicked, this, [this] { TApplication::Guard([this] { grdViewData->SelectAll(); }); });
    connect(btnDetailSelectAll, &QAbstractButton::clicked, this,
            [this] { TApplication::Guard([this] { grdDetail->SelectAll(); }); });
    connect(Timer1, &QTimer::timeout, this, [this] { TApplication::Guard([this] { Timer1Timer(); }); });

    if (TkqNavButton* del = DBNavigator->Button(nbsDelete)) del->OnClick = [this](QObject*) { DeleteClick(); };

    // Grids.
    grdViewData->OnBeforePaint = [this](QObject*) { grdViewData->SetColor(grdViewData->ReadOnly() ? clInfoBk : clWindow); };
    grdDetail->OnBeforePaint = [this](QObject*) { grdDetail->SetColor(grdDetail->ReadOnly() ? clInfoBk : clWindow); };
    grdViewData->OnCalcTitleImage = [this](QObject*, TField* field, TkqTitleImageAttributes& image) {
        if (field->FieldName() == SortAscField) image.ImageIndex = imgSortAscending;
        else if (field->FieldName() == SortDescField) image.ImageIndex = imgSortDescending;
    };
    grdDetail->OnCalcTitleImage = [this](QObject*, TField* field, TkqTitleImageAttributes& image) {
        if (field->FieldName() == DetailSortAscField) image.ImageIndex = imgSortAscending;
        else if (field->FieldName() == DetailSortDescField) image.ImageIndex = imgSortDescending;
    };
    auto chosenColors = [this](QObject* sender, TField* field, TGridDrawState, bool, TFont& font, TColor& brush) {
        const QString& chosen = ChosenColumn(qobject_cast<TkqDBGrid*>(sender));
        if (field && !chosen.isEmpty() && field->FieldName() == chosen) {
            brush = clHighlight;
            font.Color = clWhite;
        }
    };
    grdViewData->OnCalcCellColors = chosenColors;
    grdDetail->OnCalcCellColors = chosenColors;
    grdDelta->OnCalcCellColors = chosenColors;
    grdViewData->OnTitleButtonClick = [this](QObject* s, const QString& name) { grdViewDataTitleButtonClick(s, name); };
    grdDelta->OnTitleButtonClick = [this](QObject* s, const QString& name) { grdViewDataTitleButtonClick(s, name); };
    grdDetail->OnTitleButtonClick = [this](QObject* s, const QString& name) { grdDetailTitleButtonClick(s, name); };
    auto rowKeys = [this](QObject* sender, int& key, TShiftState) {
        if (!IsRowNavigationKey(key)) return;
        auto* grid = qobject_cast<TkqDBGrid*>(sender);
        grid->UnselectAll();
        ChosenColumn(grid).clear();
        grid->viewport()->update();
    };
    grdViewData->OnKeyDown = rowKeys;
    grdDetail->OnKeyDown = rowKeys;
    grdViewData->OnDblClick = [this](QObject*) { ShowFieldEditor(grdViewData); };
    grdDetail->OnDblClick = [this](QObject*) { ShowFieldEditor(grdDetail); };

    // Nested grids.
    ExpandButton->OnBeforeExpand = [this](QObject*) {
        auto* field = qobject_cast<TDataSetField*>(grdViewData->GetSelectedField());
        TDataSet* nested = field ? field->NestedDataSet() : nullptr;
        if (!nested) Abort();
        dsDetail->SetDataSet(nested);
        nested->AfterScroll = [this](TDataSet*) { ShowStatus(false); };
        if (auto* cds = qobject_cast<TClientDataSet*>(nested)) cds->SetStatusFilter(cdsViewData->StatusFilter());
        DBNavigator->SetDataSource(dsDetail);
        grdDetail->SetReadOnly(grdViewData->ReadOnly());
    };
    ExpandButton->OnAfterExpand = [this](QObject*) {
        grdDetail->setFixedWidth(qMax(60, grdViewData->width() - ExpandButton->Left() - 30));
        ShowFixedColumns(grdDetail->FixedCols());
        ApplyColumnTitles(grdDetail);
        ShowStatus(false);
    };
    ExpandButton->OnBeforeCollapse = [this](QObject*) {
        if (TDataSet* nested = dsDetail->DataSet(); nested && nested != cdsDetail && nested->Active())
            nested->CheckBrowseMode();
        if (IsEditing(cdsViewData)) cdsViewData->Post();
        DBNavigator->SetDataSource(dsViewData);
        ShowStatus(false);
    };
    ExpandButton->OnAfterCollapse = [this](QObject*) {
        ShowFixedColumns(grdViewData->FixedCols());
        ApplyColumnTitles(grdViewData);
        UpdateActions();
    };
    ExpandButton2->OnBeforeExpand = [this](QObject*) {
        auto* field = qobject_cast<TDataSetField*>(grdDelta->GetSelectedField());
        TDataSet* nested = field ? field->NestedDataSet() : nullptr;
        if (!nested) Abort();
        dsDeltaDetail->SetDataSet(nested);
    };
    ExpandButton2->OnAfterExpand = [this](QObject*) {
        grdDeltaDetail->setFixedWidth(qMax(60, grdDelta->width() - ExpandButton2->Left() - 30));
    };

    // Data.
    AttachDataEvents();
    dsViewData->OnStateChange = [this](TDataSource*) { UpdateActions(); };
    dsDetail->OnStateChange = [this](TDataSource*) { UpdateActions(); };
    FFocusConnection = connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        // The record number is the one of the grid in use.
        if (now && isAncestorOf(now)) ShowStatus(false);
    });
}

void TFrmViewData::AttachDataEvents()
{
    cdsViewData->AfterScroll = [this](TDataSet*) { ShowStatus(false); };
    // Saving refreshes the change log shown.
    cdsViewData->AfterPost = [this](TDataSet*) { SaveDataFile(cdsViewData, cdsViewData->FileName()); };
    // A record the grid deletes by itself (Ctrl+Del) reaches the file like every other change.
    cdsViewData->AfterDelete = [this](TDataSet*) {
        if (FWriteOnDelete) SaveDataFile(cdsViewData, cdsViewData->FileName());
    };
}

void TFrmViewData::DetachDataEvents()
{
    cdsViewData->AfterScroll = nullptr;
    cdsViewData->AfterPost = nullptr;
    cdsViewData->AfterDelete = nullptr;
}

// =============================================================================================
// Showing, activation, closing

void TFrmViewData::FormShow()
{
    // The storage has restored the change-log height and the two buttons by now.
    grdViewData->setFocus();
    UpdateDeltaGlyph();
    // A window that opens this one while it is itself being shown (the tree with the file of
    // the command line) takes the front when its show is over: the new window comes back.
    PostCall(this, [this] {
        if (QMdiSubWindow* sub = SubWindow(); sub && sub->mdiArea() && !IsClosed()) {
            sub->mdiArea()->setActiveSubWindow(sub);
            grdViewData->setFocus();
        }
    });
}

void TFrmViewData::FormActivate() { Timer1->start(); }

void TFrmViewData::Timer1Timer()
{
    QPointer<TFrmViewData> self(this);
    if (Application()) Application()->ProcessMessages();
    if (!self || IsClosed()) return;
    if (grdViewData->ReadOnly()) {
        ApplyReadOnlyTest(EdtFileName->currentText());
        if (!grdViewData->ReadOnly()) {
            // The other window may have rewritten the file meanwhile: edits start from what
            // the file holds now, never from what it held when it was shown read-only.
            if (FileModifiedDateTime(DataFileName) != FileDate || FileSizeByName(DataFileName) != FileSize) {
                cdsViewData->SetFileName(QString());
                LoadDataFile(DataFileName);
            }
        }
        grdViewData->RefreshLayout();
    }
    if (btnSizeColumn->Down()) SizeColumns(true);
    ShowStatus(true);
    Timer1->stop();
}

bool TFrmViewData::AskToSave(bool& discard)
{
    discard = false;
    if (!IsEditing(cdsViewData) && !UnsavedChanges) return true;
    const int answer = MessageDlg(NotSavedQuestion, mtWarning, mbYesNoCancel);
    if (answer == mrCancel) return false;
    if (answer == mrYes) {
        // A post writes the file already.
        if (IsEditing(cdsViewData)) cdsViewData->Post();
        if (UnsavedChanges) SaveDataFile(cdsViewData, cdsViewData->FileName());
        return true;
    }
    discard = answer == mrNo;
    return answer == mrNo;
}

bool TFrmViewData::CloseQuery()
{
    FDiscardOnClose = false;
    bool discard = false;
    try {
        if (!AskToSave(discard)) return false;
    } catch (const std::exception& e) {
        // The file could not be written: the window stays open with the data.
        if (Application()) Application()->ShowException(e);
        return false;
    }
    FDiscardOnClose = discard;
    return true;
}

void TFrmViewData::FormClose()
{
    Timer1->stop();
    CloseNestedGrids();
    if (FDiscardOnClose) {
        // "No" writes nothing: without a file name the dataset cannot write itself back.
        cdsViewData->Cancel();
        cdsViewData->SetFileName(QString());
    }
}

// =============================================================================================
// Opening

void TFrmViewData::SetFileList(const QStringList& files)
{
    FileList = files;
    EdtFileName->clear();
    EdtFileName->addItems(files);
    if (!DataFileName.isEmpty()) EdtFileName->setEditText(DataFileName);
}

void TFrmViewData::OpenDataFile(const QString& path)
{
    DataFileName = path;
    EdtFileName->setEditText(path);
    ApplyReadOnlyTest(EdtFileName->currentText());
    LoadDataFile(path);
}

bool TFrmViewData::IsReadOnly() const { return cdsViewData->ReadOnly(); }

void TFrmViewData::ApplyReadOnlyTest(const QString& path)
{
    const bool readOnly = OpensReadOnly(path);
    const bool changed = readOnly != cdsViewData->ReadOnly();
    grdViewData->SetReadOnly(readOnly);
    cdsViewData->SetReadOnly(grdViewData->ReadOnly());
    // The single-record page marks what may be edited when it is built.
    if (changed && cdsViewData->Active()) RecordViewPanel->Rebuild();
    UpdateActions();
}

void TFrmViewData::CloseNestedGrids()
{
    for (TkqExpandButton* button : {ExpandButton, ExpandButton2}) {
        if (!button->Expanded()) continue;
        // The data is going away: no post, no events.
        auto before = button->OnBeforeCollapse;
        button->OnBeforeCollapse = nullptr;
        try {
            button->SetExpanded(false);
        } catch (...) {
            button->OnBeforeCollapse = before;
            throw;
        }
        button->OnBeforeCollapse = before;
    }
    if (TDataSet* nested = dsDetail->DataSet(); nested && nested != cdsDetail) nested->AfterScroll = nullptr;
    dsDetail->SetDataSet(cdsDetail);
    dsDeltaDetail->SetDataSet(cdsDeltaDetail);
    DBNavigator->SetDataSource(dsViewData);
}

void TFrmViewData::LoadDataFile(const QString& path)
{
    CloseNestedGrids();
    // With its file name still set the dataset writes back changes it holds.
    cdsViewData->Close();
    // A sort belongs to the data it was made on.
    cdsViewData->SetIndexName(QString());
    cdsViewData->IndexDefs().Clear();
    SortAscField.clear();
    SortDescField.clear();
    grdViewData->UnselectAll();
    cdsViewData->SetFileName(path);
    DataFileName = path;
    try {
        cdsViewData->Open();
        if (!SelectedColumn.isEmpty() && !cdsViewData->FindField(SelectedColumn)) SelectedColumn.clear();
        ApplyColumnTitles(grdViewData);
        BindNestedControls();
        RefreshDelta();
        FileDate = FileModifiedDateTime(path);
        FileSize = FileSizeByName(path);
        ShowStatus(true);
    } catch (const EAbort&) {
        throw;
    } catch (const std::exception& e) {
        Timer1->stop();
        ShowStatus(true);
        const auto* ex = dynamic_cast<const Exception*>(&e);
        // Random bytes or an empty file: the reader's complaint would not say what is wrong.
        const QString message = IsNotADataFile(path) ? NotADataFileMessage(path)
                                                     : ex ? ex->Message() : QString::fromLocal8Bit(e.what());
        MessageDlg(message, mtError, {mbOK});
    }
}

void TFrmViewData::BindNestedControls()
{
    // Every nested-dataset column shows the expand button as its cell control.
    for (TField* f : cdsViewData->Fields())
        if (f->DataType() == ftDataSet) grdViewData->SetControlType(f->FieldName(), 3, QStringLiteral("ExpandButton"));
    if (cdsDelta->Active())
        for (TField* f : cdsDelta->Fields())
            if (f->DataType() == ftDataSet) grdDelta->SetControlType(f->FieldName(), 3, QStringLiteral("ExpandButton2"));
}

// =============================================================================================
// Status, change log, saving

void TFrmViewData::ShowStatus(bool withChangeCount)
{
    TDataSet* ds = ActiveGrid(false)->DataSet();
    int recNo = 0;
    int count = 0;
    if (ds && ds->Active()) {
        recNo = qMax(0, ds->RecNo());
        count = ds->RecordCount();
    }
    TqeStatusPanels& panels = StatusBar->Panels();
    if (!cdsViewData->Active()) {
        // Nothing loaded: no record, count, date or size to speak of.
        for (int i = 0; i < 4; ++i) panels[i]->SetText(QString());
    } else {
        panels[0]->SetText(Format(QStringLiteral("Rec: %d / %d"), {recNo, count}));
        if (withChangeCount) panels[1]->SetText(Format(QStringLiteral("ChangeCount: %d"), {cdsViewData->ChangeCount()}));
        panels[2]->SetText(Format(QStringLiteral("Date: %s"), {FormatDateTime(QStringLiteral("ddddd tt"), FileDate)}));
        panels[3]->SetText(Format(QStringLiteral("Size: %s"), {QString::number(FileSize)}));
    }
    panels[4]->SetText(cdsViewData->ReadOnly() ? QStringLiteral("ReadOnly") : QString());
    UpdateActions();
}

void TFrmViewData::RefreshDelta()
{
    if (ExpandButton2->Expanded()) {
        auto before = ExpandButton2->OnBeforeCollapse;
        ExpandButton2->OnBeforeCollapse = nullptr;
        ExpandButton2->SetExpanded(false);
        ExpandButton2->OnBeforeCollapse = before;
    }
    dsDeltaDetail->SetDataSet(cdsDeltaDetail);
    if (grdDelta->maximumHeight() < 2 || !cdsViewData->Active() || cdsViewData->ChangeCount() < 1) {
        cdsDelta->Close();
        return;
    }
    cdsDelta->SetData(cdsViewData->Delta());
    for (TField* f : cdsDelta->Fields())
        if (f->DataType() == ftDataSet) grdDelta->SetControlType(f->FieldName(), 3, QStringLiteral("ExpandButton2"));
}

void TFrmViewData::SaveDataFile(TClientDataSet* dataSet, const QString& path)
{
    // A file another window shows is never written from here.
    if (dataSet == cdsViewData && dataSet->ReadOnly()) return;
    if (dataSet == cdsViewData && IsEditing(dataSet) && dataSet->AfterPost) {
        // The post writes the file.
        dataSet->Post();
        return;
    }
    try {
        // XML for a ".xml" name.
        dataSet->SaveToFile(path);
    } catch (...) {
        // The change is in memory only: closing asks to save it.
        UnsavedChanges = true;
        throw;
    }
    FileDate = FileModifiedDateTime(DataFileName);
    FileSize = FileSizeByName(DataFileName);
    RefreshDelta();
    ShowStatus(true);
    UnsavedChanges = false;
}

void TFrmViewData::ReloadSavedFile(const QString& path)
{
    EdtFileName->setEditText(path);
    SetCaption(QStringLiteral("View Data ") + path);
    ApplyReadOnlyTest(path);
    LoadDataFile(path);
    EdtFileName->addItem(path);
    EdtFileName->setEditText(path);
    SizeColumns(btnSizeColumn->Down());
}

void TFrmViewData::Save1Click()
{
    if (IsEditing(cdsViewData)) cdsViewData->Post();
    else SaveDataFile(cdsViewData, cdsViewData->FileName());
}

void TFrmViewData::SaveAsClick(bool xml)
{
    TFileDialogOptions options;
    options.Title = QStringLiteral("Save As");
    options.InitialDir = ExtractFileDir(DataFileName);
    options.FileName = IncludeTrailingPathDelimiter(options.InitialDir) +
                       ProposedSaveName(DataFileName, xml ? QStringLiteral(".xml") : QStringLiteral(".cds"));
    options.Filter = xml ? QStringLiteral("XML files (*.xml)|*.xml|All files (*.*)|*.*")
                         : QStringLiteral("Client dataset files (*.cds)|*.cds|All files (*.*)|*.*");
    options.OverwritePrompt = true;
    QString name;
    if (!ExecuteSaveDialog(options, name, this)) return;
    if (!name.contains(QLatin1Char('/'))) name = IncludeTrailingPathDelimiter(options.InitialDir) + name;
    cdsViewData->CheckBrowseMode();
    cdsViewData->SaveToFile(name, xml ? dfXML : dfBinary);
    // The data is in the new file now; the old file keeps what it had.
    cdsViewData->SetFileName(QString());
    UnsavedChanges = false;
    ReloadSavedFile(name);
}

void TFrmViewData::btnDeltaInfoClick()
{
    if (grdDelta->maximumHeight() < 2) {
        grdDelta->SetHeight(DeltaDefaultHeight);
        UpdateDeltaGlyph();
        RefreshDelta();
    } else {
        grdDelta->SetHeight(1);
        UpdateDeltaGlyph();
    }
}

void TFrmViewData::UpdateDeltaGlyph()
{
    btnDeltaInfo->SetGlyph(grdDelta->maximumHeight() < 2 ? ArrowUpBitmap : ArrowDownBitmap);
}

void TFrmViewData::actRefreshExecute()
{
    const int left = grdViewData->LeftCol();
    // Nothing is written back: the file's content comes back as it is.
    cdsViewData->SetFileName(QString());
    LoadDataFile(DataFileName);
    grdViewData->SetLeftCol(left);
}

void TFrmViewData::EdtFileNameChange(const QString& path)
{
    if (path.isEmpty() || path == DataFileName) {
        EdtFileName->setEditText(DataFileName);
        return;
    }
    bool discard = false;
    try {
        if (!AskToSave(discard)) {
            EdtFileName->setEditText(DataFileName);
            return;
        }
    } catch (...) {
        EdtFileName->setEditText(DataFileName);
        throw;
    }
    if (discard) {
        cdsViewData->Cancel();
        cdsViewData->SetFileName(QString());
    }
    UnsavedChanges = false;
    EdtFileName->setEditText(path);
    SetCaption(QStringLiteral("View Data ") + path);
    ApplyReadOnlyTest(path);
    LoadDataFile(path);
    SizeColumns(btnSizeColumn->Down());
}

void TFrmViewData::UpdateActions()
{
    if (!grdViewData) return;
    const bool readOnly = grdViewData->ReadOnly();
    // A file that did not load has no data to write, empty or merge.
    const bool loaded = cdsViewData->Active();
    btnSave->setEnabled(!readOnly && loaded);
    Save1->Enabled = !readOnly && loaded;
    SaveAsBinary1->Enabled = !readOnly && loaded;
    SaveAsXML1->Enabled = !readOnly && loaded;
    actReadOnlyDeleteAll->setEnabled(!readOnly && loaded);
    actReadOnlyMergeChangeLog->setEnabled(!readOnly && loaded);
    actReadOnlyMigrate->setEnabled(!readOnly);
    actReadOnlyPopulate->setEnabled(!readOnly && loaded);
    // Undoing in a read-only window would change data that can never be written.
    auto* ds = qobject_cast<TClientDataSet*>(ActiveGrid(true)->DataSet());
    const bool changes = !readOnly && ds && ds->Active() && ds->ChangeCount() > 0;
    actUndo->setEnabled(changes);
    actRevert->setEnabled(changes);
}

// =============================================================================================
// Views

TkqDBGrid* TFrmViewData::ActiveGrid(bool withChangeLog) const
{
    if (grdDetail->IsGridFocused()) return grdDetail;
    if (!withChangeLog) return grdViewData;
    if (grdDeltaDetail->IsGridFocused()) return grdDeltaDetail;
    if (grdDelta->IsGridFocused() && !grdViewData->IsGridFocused()) return grdDelta;
    return grdViewData;
}

bool TFrmViewData::IsDetailGrid(const TkqDBGrid* grid)
{
    return grid && grid->objectName() == QLatin1String("grdDetail");
}

QString& TFrmViewData::ChosenColumn(const TkqDBGrid* grid)
{
    return IsDetailGrid(grid) ? DetailSelectedColumn : SelectedColumn;
}

void TFrmViewData::ApplyColumnTitles(TkqDBGrid* grid)
{
    TDataSet* ds = grid->DataSet();
    if (!ds || !ds->Active()) return;
    const bool plain = cbShowTypeAndLength->Down();
    const TFieldDefs& defs = ds->FieldDefs();
    for (int i = 0; i < defs.Count(); ++i) {
        const TFieldDef* def = defs.Items(i);
        if (!ds->FindField(def->Name())) continue;
        const QString title = plain ? def->Name()
                                    : def->Name() + QLatin1Char('~') + FieldTypeName(def->DataType()) + QLatin1Char('(') +
                                          QString::number(def->Size()) + QLatin1Char(')');
        grid->ColumnByFieldName(def->Name())->SetDisplayLabel(title);
    }
    grid->SetTitleLines(plain ? 1 : 2);
}

void TFrmViewData::cbShowTypeAndLengthClick() { ApplyColumnTitles(ActiveGrid(false)); }

void TFrmViewData::SizeColumns(bool fit)
{
    TkqDBGrid* grid = grdViewData;
    const int count = grid->ColCount();
    const int first = grid->IndicatorOffset();
    if (count - first < 1) return;
    if (fit) {
        // Round half to even, as the platform's Round did.
        const double share = double(grid->width() - 15 - (first ? grid->ColWidths(0) : 0)) / double(count - first);
        const int width = qMax(8, int(std::nearbyint(share)));
        for (int c = first; c < count; ++c) grid->SetColWidths(c, width);
        return;
    }
    // Released: each column as wide as its field's declared size allows (at most 40
    // characters), or its display width when it has no size.
    const int zero = grid->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    for (int c = first; c < count; ++c) {
        TField* f = grid->GetColumnField(c - first);
        if (!f) continue;
        const int chars = f->Size() > 0 ? qMin(f->Size(), 40) : f->DisplayWidth();
        grid->SetColWidths(c, qMax(zero * chars + 4, grid->fontMetrics().horizontalAdvance(f->FieldName()) + 8));
    }
}

void TFrmViewData::btnSizeColumnClick() { SizeColumns(btnSizeColumn->Down()); }

void TFrmViewData::EdtFixedColumnsChange()
{
    if (!FShowingFixedColumns) ActiveGrid(false)->SetFixedCols(EdtFixedColumns->GetIntValue());
}

void TFrmViewData::ShowFixedColumns(int count)
{
    // Showing a grid's count is no change of it (nor of the other grid's).
    FShowingFixedColumns = true;
    EdtFixedColumns->SetIntValue(count);
    FShowingFixedColumns = false;
}

bool TFrmViewData::FindNestedDataSet(TDataSet* dataSet)
{
    dataSet->FieldDefs().Update();
    bool found = false;
    for (TField* f : dataSet->Fields()) {
        auto* field = qobject_cast<TDataSetField*>(f);
        if (!field || !field->NestedDataSet()) continue;
        dsDetail->SetDataSet(field->NestedDataSet());
        found = true;
    }
    return found;
}

void TFrmViewData::ShowFieldEditor(TkqDBGrid* grid)
{
    TField* field = grid->GetSelectedField();
    if (!field) return;
    switch (field->DataType()) {
    case ftFmtMemo:
        DBRichEdit->SetDataSource(grid->DataSource());
        DBRichEdit->SetDataField(field->FieldName());
        DBRichEdit->Execute();
        break;
    case ftBlob: case ftGraphic: case ftTypedBinary: {
        TFrmImage dialog(this);
        dialog.DBImage->SetDataSource(grid->DataSource());
        dialog.DBImage->SetDataField(field->FieldName());
        dialog.DBNavigator->SetDataSource(grid->DataSource());
        dialog.exec();
        break;
    }
    default:
        break;
    }
}

void TFrmViewData::rgStatusFilterClick(int index)
{
    TUpdateStatusSet filter;
    switch (index) {
    case 1: filter = {usModified}; break;
    case 2: filter = {usInserted}; break;
    case 3: filter = {usDeleted}; break;
    default: break;
    }
    cdsViewData->SetStatusFilter(filter);
    ShowStatus(false);
}

void TFrmViewData::grdViewDataTitleButtonClick(QObject* sender, const QString& fieldName)
{
    SelectedColumn = SelectedColumn == fieldName ? QString() : fieldName;
    if (auto* grid = qobject_cast<TkqDBGrid*>(sender)) grid->RefreshLayout();
}

void TFrmViewData::grdDetailTitleButtonClick(QObject* sender, const QString& fieldName)
{
    DetailSelectedColumn = DetailSelectedColumn == fieldName ? QString() : fieldName;
    if (auto* grid = qobject_cast<TkqDBGrid*>(sender)) grid->RefreshLayout();
}

// --- Sorting

void TFrmViewData::popGridPopup()
{
    TkqDBGrid* grid = ActiveGrid(false);
    const QPoint at = grid->PopupMenuPoint();
    const TGridCoord cell = grid->MouseCoord(at.x(), at.y());
    PopupColumn.clear();
    if (cell.X >= grid->IndicatorOffset() && grid->IsDataSetActive())
        if (TField* f = grid->GetColumnField(cell.X - grid->IndicatorOffset())) PopupColumn = f->FieldName();
    const bool title = grid->TitleOffset() == 1 && cell.Y == 0;
    SortAscending1->setVisible(title);
    SortDescending1->setVisible(title);
    ResetSort1->setVisible(title);
    Copy1->setVisible(!title);
    Paste1->setVisible(!title);
    SelectAll1->setVisible(!title);
    Export1->setVisible(!title);
    const bool detail = IsDetailGrid(grid);
    ResetSort1->setEnabled(detail ? !(DetailSortAscField.isEmpty() && DetailSortDescField.isEmpty())
                                  : !(SortAscField.isEmpty() && SortDescField.isEmpty()));
    const TClientDataSet* clipboard = TSharedClipboards::Instance()->cdsViewClipboard;
    Paste1->setEnabled(clipboard->Active() && !clipboard->IsEmpty());
}

void TFrmViewData::ClearSortState(TkqDBGrid* grid)
{
    if (IsDetailGrid(grid)) {
        DetailSortAscField.clear();
        DetailSortDescField.clear();
    } else {
        SortAscField.clear();
        SortDescField.clear();
    }
    grid->InvalidateRow(0);
}

void TFrmViewData::Sort(bool ascending)
{
    TkqDBGrid* grid = ActiveGrid(false);
    auto* ds = qobject_cast<TClientDataSet*>(grid->DataSet());
    if (!ds || !ds->Active() || PopupColumn.isEmpty()) return;
    TField* field = ds->FindField(PopupColumn);
    if (!field) return;
    if (CannotSort(field->DataType())) {
        ShowMessage(QStringLiteral("Unable to Sort on this Field Type"));
        return;
    }
    try {
        SortByField(ds, field, ascending);
    } catch (...) {
        // A title never shows a sort that is not active.
        ClearSortState(grid);
        throw;
    }
    grid->UnselectAll();
    if (IsDetailGrid(grid)) {
        (ascending ? DetailSortAscField : DetailSortDescField) = field->FieldName();
        (ascending ? DetailSortDescField : DetailSortAscField).clear();
    } else {
        (ascending ? SortAscField : SortDescField) = field->FieldName();
        (ascending ? SortDescField : SortAscField).clear();
    }
    grid->InvalidateRow(0);
}

void TFrmViewData::SortAscendingClick() { Sort(true); }

void TFrmViewData::SortDescendingClick() { Sort(false); }

void TFrmViewData::ResetSortClick()
{
    TkqDBGrid* grid = ActiveGrid(false);
    auto* ds = qobject_cast<TClientDataSet*>(grid->DataSet());
    if (!ds || !ds->Active()) return;
    DropSortIndexes(ds);
    ClearSortState(grid);
    ds->First();
    grid->UnselectAll();
}

void TFrmViewData::actLocateExecute()
{
    TkqDBGrid* grid = ActiveGrid(true);
    LocateDialog->SetDataSource(grid->DataSource());
    grid->UnselectAll();
    LocateDialog->Execute();
}

void TFrmViewData::actFilterExecute()
{
    FilterDialog->SetDataSource(dsViewData);
    FilterDialog->Execute();
}

// =============================================================================================
// Editing commands

void TFrmViewData::DeleteNestedRecords(TDataSet* dataSet)
{
    if (!FindNestedDataSet(dataSet)) return;
    TDataSet* nested = dsDetail->DataSet();
    if (!nested || !nested->Active()) return;
    nested->First();
    while (!nested->IsEmpty()) nested->Delete();
}

void TFrmViewData::DeleteClick()
{
    TkqDBGrid* grid = ActiveGrid(false);
    TDataSet* ds = grid->DataSet();
    if (!ds || !ds->Active()) Abort();
    const TDataSet::TDataSetNotifyEvent afterScroll = ds->AfterScroll;
    ds->AfterScroll = nullptr;
    FWriteOnDelete = false;
    std::exception_ptr error;
    {
        TBusyCursor busy;
        try {
            if (grid->SelectedBookmarks().isEmpty()) {
                if (MessageDlg(QStringLiteral("Delete record ?"), mtConfirmation, mbYesNo) == mrYes) {
                    DeleteNestedRecords(ds);
                    ds->Delete();
                }
            } else if (MessageDlg(QStringLiteral("Delete records ?"), mtConfirmation, mbYesNo) == mrYes) {
                const QList<TBookmark> marks = grid->SelectedBookmarks();
                ds->DisableControls();
                try {
                    ForSelectedRecords(ds, marks, [&] {
                        DeleteNestedRecords(ds);
                        ds->Delete();
                    });
                } catch (...) {
                    ds->EnableControls();
                    throw;
                }
                ds->EnableControls();
            }
        } catch (...) {
            error = std::current_exception();
        }
        grid->UnselectAll();
        ds->AfterScroll = afterScroll;
        FWriteOnDelete = true;
        try {
            SaveDataFile(cdsViewData, cdsViewData->FileName());
        } catch (...) {
            if (!error) error = std::current_exception();
        }
    }
    if (error) std::rethrow_exception(error);
    ShowStatus(true);
    // The navigator's own delete must not run.
    Abort();
}

void TFrmViewData::actReadOnlyDeleteAllExecute()
{
    if (MessageDlg(QStringLiteral("All data will be lost. Continue?"), mtConfirmation, mbYesNo) != mrYes) return;
    cdsViewData->EmptyDataSet();
    SaveDataFile(cdsViewData, cdsViewData->FileName());
}

void TFrmViewData::actReadOnlyMergeChangeLogExecute()
{
    if (MessageDlg(QStringLiteral("The Delta data will be lost. Continue?"), mtConfirmation, mbYesNo) != mrYes) return;
    cdsViewData->MergeChangeLog();
    SaveDataFile(cdsViewData, cdsViewData->FileName());
}

void TFrmViewData::actUndoExecute()
{
    TkqDBGrid* grid = ActiveGrid(false);
    auto* ds = qobject_cast<TClientDataSet*>(grid->DataSet());
    if (!ds || !ds->Active()) return;
    ds->UndoLastChange(true);
    RefreshDelta();
    ShowStatus(true);
    UnsavedChanges = true;
    grid->UnselectAll();
}

void TFrmViewData::actRevertExecute()
{
    TkqDBGrid* grid = ActiveGrid(false);
    auto* ds = qobject_cast<TClientDataSet*>(grid->DataSet());
    if (!ds || !ds->Active()) return;
    ds->RevertRecord();
    RefreshDelta();
    ShowStatus(true);
    UnsavedChanges = true;
    grid->UnselectAll();
}

void TFrmViewData::CopyClick()
{
    TkqDBGrid* grid = ActiveGrid(false);
    TDataSet* ds = grid->DataSet();
    if (!ds || !ds->Active()) return;
    ds->CheckBrowseMode();
    const QString chosen = ChosenColumn(grid);
    // A chosen column is copied from every record.
    if (!chosen.isEmpty()) grid->SelectAll();
    {
        TBusyCursor busy;
        // The walk over the selection is no scrolling the status line has to follow.
        const TDataSet::TDataSetNotifyEvent afterScroll = ds->AfterScroll;
        ds->AfterScroll = nullptr;
        ds->DisableControls();
        TScopeExit restore([&] {
            grid->UnselectAll();
            ds->EnableControls();
            ds->AfterScroll = afterScroll;
        });
        QApplication::clipboard()->setText(
            CopyRecords(ds, chosen, grid->SelectedBookmarks(), TSharedClipboards::Instance()->cdsViewClipboard));
    }
    ShowStatus(false);
}

void TFrmViewData::PasteClick()
{
    TClientDataSet* clipboard = TSharedClipboards::Instance()->cdsViewClipboard;
    if (!clipboard->Active() || clipboard->IsEmpty()) return;
    TkqDBGrid* grid = ActiveGrid(false);
    TDataSet* ds = grid->DataSet();
    if (!ds || !ds->Active()) return;
    const bool main = ds == cdsViewData;
    ds->CheckBrowseMode();

    std::exception_ptr error;
    {
        TBusyCursor busy;
        // The main file is written once at the end instead of after every pasted record.
        if (main) DetachDataEvents();
        ds->DisableControls();
        try {
            AppendClipboardRecords(clipboard, ds);
        } catch (...) {
            error = std::current_exception();
        }
        ds->EnableControls();
        if (main) {
            AttachDataEvents();
            try {
                SaveDataFile(cdsViewData, cdsViewData->FileName());
            } catch (...) {
                if (!error) error = std::current_exception();
            }
        }
        grid->UnselectAll();
        grid->SelectRecord();
    }
    ShowStatus(true);
    if (error) std::rethrow_exception(error);
}

void TFrmViewData::SelectAllClick() { ActiveGrid(false)->SelectAll(); }

void TFrmViewData::ExportClick()
{
    TkqDBGrid* grid = ActiveGrid(false);
    if (!grid->IsDataSetActive()) return;
    TFileDialogOptions options;
    options.Title = QStringLiteral("Export");
    options.InitialDir = ExtractFileDir(DataFileName);
    options.FileName = IncludeTrailingPathDelimiter(options.InitialDir) + ProposedSaveName(DataFileName, QStringLiteral(".csv"));
    options.Filter = ExportFileFilter();
    options.DefaultExt = QStringLiteral("csv");
    options.OverwritePrompt = true;
    QString name;
    if (!ExecuteSaveDialog(options, name, this)) return;
    if (!name.contains(QLatin1Char('/'))) name = IncludeTrailingPathDelimiter(options.InitialDir) + name;
    TBusyCursor busy;
    if (!ExportGridToFile(grid, name, ExtractFileName(DataFileName)))
        ShowMessage(QStringLiteral("Export writes files ending in .csv, .txt, .prn, .html or .slk."));
}

void TFrmViewData::btnModifyStructClick() { OpenStructureWindow(EdtFileName->currentText(), FileList); }

void TFrmViewData::actReadOnlyMigrateExecute() { OpenMigrateWindow(600, 475, EdtFileName->currentText()); }

void TFrmViewData::actReadOnlyPopulateExecute()
{
    DetachDataEvents();
    std::exception_ptr error;
    bool ran = false;
    try {
        ran = ExecuteFillerDialog(cdsViewData);
    } catch (...) {
        error = std::current_exception();
        ran = true;
    }
    AttachDataEvents();
    // Written once, whatever the filler made.
    if (ran) {
        try {
            SaveDataFile(cdsViewData, cdsViewData->FileName());
        } catch (...) {
            if (!error) error = std::current_exception();
        }
    }
    if (error) std::rethrow_exception(error);
}
