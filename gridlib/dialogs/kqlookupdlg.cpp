// The lookup and search dialogs and their shared form.

#include "gridlib/dialogs/kqlookupdlg.h"

#include "gridlib/core/Kqintl.h"
#include "gridlib/core/Kqtable.h"
#include "gridlib/core/kqfieldlists.h"
#include "platform/core/SysUtils.h"
#include "platform/vcl/Dialogs.h"
#include "platform/core/TypInfo.h"
#include "platform/vcl/Forms.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QScopeGuard>

namespace {

void Warn(const QString& text)
{
    MessageDlg(text, mtWarning, {mbOK});
}

bool SortableDataSet(const TDataSet* dataSet, const TkqKeyCombo* combo)
{
    return IsClassOrAncestorNamed(dataSet, "TTable") || IsClassOrAncestorNamed(dataSet, "TClientDataSet") ||
           FindPublishedProperty(dataSet, "IndexDefs").isValid() || combo->SortsByFields(dataSet);
}

QRect WorkArea()
{
    const TRect work = GetDesktopWorkArea();
    if (!work.IsEmpty()) return work.ToQRect();
    return QRect(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
}

// Two tables over the same file share their records' bookmarks: the mover goes to the record
// the other stands on.
void GotoCurrentRecord(TDataSet* mover, TDataSet* base)
{
    const TBookmark mark = base->GetBookmark();
    if (mover->BookmarkValid(mark)) mover->GotoBookmark(mark);
}

} // namespace

// =============================================================================================
// TkqTempKeyCombo

TkqTempKeyCombo::TkqTempKeyCombo(TkqLookupDlg* form) : TkqKeyCombo(form), FForm(form) {}

void TkqTempKeyCombo::KeyDown(int& key, TShiftState shift)
{
    if (key == VK_DOWN && !shift.Contains(ssAlt) && !IsDroppedDown()) {
        setFocus();
        DropDown();
        key = 0;
        return;
    }
    TkqKeyCombo::KeyDown(key, shift);
}

void TkqTempKeyCombo::Change()
{
    TkqKeyCombo::Change();
    if (FForm) FForm->ApplySortOrder(true);
}

// =============================================================================================
// TkqLookupDlg

TkqLookupDlg::TkqLookupDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Lookup"));
    DataSource1 = new TDataSource(this);
    SearchCharacterLabel = new QLabel(QStringLiteral("&Search Characters"), this);
    kqIncrementalSearch1 = new TkqIncrementalSearch(this);
    kqIncrementalSearch1->SetDataSource(DataSource1);
    kqIncrementalSearch1->setToolTip(QStringLiteral("Enter characters for incremental search"));
    SearchCharacterLabel->setBuddy(kqIncrementalSearch1);
    SortByLabel = new QLabel(QStringLiteral("Search &By"), this);
    SortByLabel->hide();
    kqDBGrid1 = new TkqDBGrid(this);
    kqDBGrid1->SetDataSource(DataSource1);
    kqDBGrid1->IniAttributes()->SetSectionName(QStringLiteral("kqLookupDlgkqDBGrid1"));
    kqDBGrid1->SetTitleButtons(false);
    kqDBGrid1->SetTitleLines(1);
    StatusHeader = new QWidget(this);
    StatusHeader->setToolTip(QStringLiteral("Table Name and current record position"));
    StatusSection1 = new QLabel(StatusHeader);
    StatusSection2 = new QLabel(StatusHeader);
    StatusSection1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    StatusSection2->setFrameStyle(QFrame::Panel | QFrame::Raised);
    StatusHeader->hide();
    UserButtonPanel = new QWidget(this);
    UserButtonPanel->hide();
    UserButton1 = new QPushButton(UserButtonPanel);
    UserButton2 = new QPushButton(UserButtonPanel);
    UserButton1->hide();
    UserButton2->hide();
    OKBtn = CreateDialogButton(this, 1);
    CancelBtn = CreateDialogButton(this, 2);
    OKBtn->move(OKBtn->x(), 600);
    CancelBtn->move(CancelBtn->x(), 600);
    if (auto* ok = qobject_cast<QPushButton*>(OKBtn)) ok->setDefault(true);
    connect(OKBtn, &QAbstractButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QAbstractButton::clicked, this, &QDialog::reject);
    SortCombo = new TkqTempKeyCombo(this);
    SortCombo->setToolTip(KqIntl()->SearchDialog->SearchByHint);
    SortCombo->hide();
    SortByLabel->setBuddy(SortCombo);

    setTabOrder(kqIncrementalSearch1, kqDBGrid1);
    kqIncrementalSearch1->installEventFilter(this);
    kqDBGrid1->installEventFilter(this);

    kqDBGrid1->OnDblClick = [this](QObject*) {
        if (kqDBGrid1->CanEdit()) return;
        if (kqDBGrid1->IsMemoCell(kqDBGrid1->Col(), kqDBGrid1->Row()) &&
            !kqDBGrid1->MemoAttributes().Contains(mDisableDialog))
            return;
        accept();
    };
    kqDBGrid1->OnColumnMoved = [this](QObject*, int, int) {
        if (!kqDBGrid1->UseTFields()) ApplySortOrder(false);
    };
    connect(UserButton1, &QPushButton::clicked, this, [this] {
        if (OnUserButton1Click) OnUserButton1Click(this, DataSet);
    });
    connect(UserButton2, &QPushButton::clicked, this, [this] {
        if (OnUserButton2Click) OnUserButton2Click(this, DataSet);
    });
    DataSource1->OnDataChange = [this](TDataSource*, TField*) {
        if (StatusHeader->isVisible()) RefreshStatus();
    };
}

void TkqLookupDlg::CenterOnScreen(int width, int height)
{
    const QRect work = WorkArea();
    const int left = work.left() + (work.width() - width) / 2;
    const int top = std::max(0, work.top() + (work.height() - height) / 2);
    move(FLeftFixed ? x() : left, top);
}

void TkqLookupDlg::showEvent(QShowEvent* event)
{
    if (!FShown) {
        FShown = true;
        DoShow();
    }
    QDialog::showEvent(event);
    if (!FActivated) {
        FActivated = true;
        Activate();
    }
}

void TkqLookupDlg::DoShow()
{
    FShowing = true;
    auto clear = qScopeGuard([this] { FShowing = false; });
    TDataSet* ds = DataSet;
    if (ds && !SortableDataSet(ds, SortCombo)) Options.Exclude(opShowSearchBy);
    const QRect work = WorkArea();
    const int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
    MaxWidth = MaxWidth == 0 ? screenW - 40 : std::min(MaxWidth, screenW - 40);
    MaxHeight = MaxHeight == 0 ? screenH - 200 : std::min(MaxHeight, screenH - 200);
    CenterOnScreen(MaxWidth + 40, MaxHeight + 200);
    if (SearchDelay > 0) kqIncrementalSearch1->SearchDelay = SearchDelay;
    if (OnInitDialog) {
        const QPoint before = pos();
        const int w = MaxWidth, h = MaxHeight;
        OnInitDialog(this);
        if (pos().x() != before.x()) FLeftFixed = true;
        else if ((w != MaxWidth || h != MaxHeight) && pos() == before) CenterOnScreen(MaxWidth + 40, MaxHeight + 200);
    }
    Q_UNUSED(work);
    if (!Options.Contains(opShowSearchBy)) SortCombo->SetDataSource(nullptr);
    DataSource1->SetDataSet(ds);
    const TkqSearchDialogIntl* texts = KqIntl()->SearchDialog;
    SearchCharacterLabel->setText(texts->SearchCharLabel);
    SortByLabel->setText(texts->SearchByLabel);
    kqIncrementalSearch1->setToolTip(texts->SearchCharHint);
    SortCombo->setToolTip(texts->SearchByHint);
    ApplySortOrder(false);
    LayoutControls(false);
    if (Options.Contains(opShowSearchBy)) {
        SortCombo->SetDataSource(DataSource1);
        SortCombo->FillSortOrders(kqDBGrid1);
    }
}

void TkqLookupDlg::Activate()
{
    if (kqIncrementalSearch1->isVisible()) {
        activateWindow();
        kqIncrementalSearch1->setFocus(Qt::ActiveWindowFocusReason);
    }
    RefreshStatus();
    if (!InitialSearchText.isEmpty()) {
        kqIncrementalSearch1->setText(InitialSearchText);
        if (kqIncrementalSearch1->ShowMatchText()) kqIncrementalSearch1->SearchTypedText();
        else kqIncrementalSearch1->end(false);
    }
}

void TkqLookupDlg::ApplySortOrder(bool fromCombo)
{
    TDataSet* ds = DataSet;
    if (!ds) return;
    const bool bdeTable = IsClassOrAncestorNamed(ds, "TTable");
    if (!kqDBGrid1->UseTFields() && !(bdeTable && IsTableWithIndex(ds))) {
        const QStringList lines = kqDBGrid1->Selected();
        if (!lines.isEmpty()) kqIncrementalSearch1->ChangeSearchField(SelectedPart(lines.first(), 0));
    }
    if (!SortableDataSet(ds, SortCombo)) return;
    if (fromCombo && !FShowing) kqIncrementalSearch1->Clear();
    kqIncrementalSearch1->ChangeSearchField(QString());
    // The fields of the order in force.
    QList<TField*> fields;
    if (bdeTable && IsTableWithIndex(ds)) {
        for (const QString& name : static_cast<TkqTable*>(qobject_cast<TkqTable*>(ds))->ActiveIndexFields())
            if (TField* f = ds->FindField(name)) fields << f;
    } else if (SortCombo->SortsByFields(ds) || !FindPublishedProperty(ds, "IndexDefs").isValid()) {
        const QString label = SortCombo->text();
        for (TField* f : ds->Fields())
            if (!label.isEmpty() && f->DisplayLabel() == label) {
                fields << f;
                break;
            }
        if (fields.isEmpty()) {
            // No order chosen yet: the dataset's own index fields.
            const QString index = ReadTextProperty(ds, "IndexFieldNames");
            for (const QString& name : index.split(QLatin1Char(';'), Qt::SkipEmptyParts))
                if (TField* f = ds->FindField(name.section(QLatin1Char(':'), 0, 0))) fields << f;
        }
    } else {
        const QString indexName = ReadTextProperty(ds, "IndexName");
        const int i = ds->IndexDefs().IndexOf(indexName);
        if (i >= 0)
            for (const QString& name : ds->IndexDefs().Items(i)->Fields().split(QLatin1Char(';'), Qt::SkipEmptyParts))
                if (TField* f = ds->FindField(name)) fields << f;
    }
    ds->DisableControls();
    {
        auto enable = qScopeGuard([ds] { ds->EnableControls(); });
        if (kqDBGrid1->UseTFields()) {
            if (!kqDBGrid1->Selected().isEmpty()) ApplySelectedToFields(ds, kqDBGrid1->Selected());
            int front = 0;
            bool first = true;
            for (TField* f : fields) {
                if (!f->Visible()) continue;
                if (!Options.Contains(opDisableReorderColumns)) f->SetIndex(front++);
                if (first) kqIncrementalSearch1->ChangeSearchField(f->FieldName());
                first = false;
            }
        } else {
            QStringList lines = kqDBGrid1->Selected();
            int front = 0;
            bool first = true;
            for (TField* f : fields) {
                const int at = FindSelectedEntry(lines, f->FieldName());
                if (at < 0) continue;
                if (!Options.Contains(opDisableReorderColumns)) lines.move(at, front++);
                if (first) kqIncrementalSearch1->ChangeSearchField(f->FieldName());
                first = false;
            }
            kqDBGrid1->SetSelected(lines);
            kqDBGrid1->LayoutChanged();
        }
    }
    if (fromCombo && !FShowing) {
        LayoutControls(true);
        if (!SortCombo->IsDroppedDown()) kqIncrementalSearch1->setFocus();
        if (OnSortChange) OnSortChange(this);
    }
}

void TkqLookupDlg::LayoutControls(bool columnsOnly)
{
    // 1. The least width the controls below the grid need.
    int minWidth = SortByLabel->x() + SortByLabel->sizeHint().width() + 3;
    const bool b1 = !UserButton1->text().isEmpty(), b2 = !UserButton2->text().isEmpty();
    if (Options.Contains(opShowOKCancel)) {
        int need = OKBtn->width() + CancelBtn->width() + 18;
        if (b1) need += 30 + UserButton1->width();
        if (b2) need += 30 + UserButton2->width();
        minWidth = std::max(minWidth, need);
    } else {
        if (b1 && b2) minWidth = std::max(minWidth, UserButton1->width() + UserButton2->width() + 35);
        else if (b1) minWidth = std::max(minWidth, UserButton1->width() + 35);
        else if (b2) minWidth = std::max(minWidth, UserButton2->width() + 35);
    }
    if (Options.Contains(opShowStatusBar)) minWidth = std::max(minWidth, StatusHeader->sizeHint().width());
    // 2. The columns' width; a narrow grid widens its last column.
    kqDBGrid1->LayoutChanged();
    int columns = GetSystemMetrics(SM_CXVSCROLL) + 4;
    for (int c = 0; c < kqDBGrid1->ColCount(); ++c) columns += kqDBGrid1->ColWidths(c) + kqDBGrid1->GridLineWidth();
    if (columns < minWidth && kqDBGrid1->ColCount() > 0) {
        const int last = kqDBGrid1->ColCount() - 1;
        kqDBGrid1->SetColWidths(last, kqDBGrid1->ColWidths(last) + minWidth - columns);
        columns = minWidth;
    }
    if (columnsOnly) return;

    // 3. The grid, and the form as wide as it.
    const int margin = 8;
    const int gridWidth = std::max(std::min(columns, MaxWidth), minWidth);
    kqDBGrid1->resize(gridWidth, MaxHeight);
    kqDBGrid1->SetShowHorzScrollBar(columns > gridWidth);
    kqDBGrid1->FitHeightToRows();
    const int formWidth = gridWidth + 2 * margin;

    // 4. The search label, its edit and the grid.
    SearchCharacterLabel->move(margin, 8);
    SearchCharacterLabel->adjustSize();
    const int editTop = 8 + 13 + 3;
    kqIncrementalSearch1->move(margin, editTop);
    kqDBGrid1->move(margin, editTop + kqIncrementalSearch1->height() + 8);
    int bottom = kqDBGrid1->y() + kqDBGrid1->height();

    // 5. The status header.
    const bool status = Options.Contains(opShowStatusBar) && IsClassOrAncestorNamed(DataSet, "TBDEDataSet") &&
                        DataSet && DataSet->IsSequenced();
    StatusHeader->setVisible(status);
    if (status) {
        const bool followed = Options.Contains(opShowOKCancel) || b1 || b2;
        StatusHeader->setGeometry(margin, bottom + (followed ? -1 : 10), gridWidth, 20);
        StatusSection1->setGeometry(0, 0, gridWidth / 2, 20);
        StatusSection2->setGeometry(gridWidth / 2, 0, gridWidth - gridWidth / 2, 20);
        bottom = StatusHeader->y() + StatusHeader->height();
    }

    // 6. The search edit and the sort combo.
    const bool searchBy = Options.Contains(opShowSearchBy);
    SortByLabel->setVisible(searchBy);
    SortCombo->setVisible(searchBy);
    if (!searchBy) {
        kqIncrementalSearch1->resize(gridWidth, kqIncrementalSearch1->height());
    } else if (Options.Contains(opGroupControls)) {
        const int half = (gridWidth - 20) / 2;
        kqIncrementalSearch1->resize(half, kqIncrementalSearch1->height());
        SortByLabel->move(margin + half + 20, 8);
        SortByLabel->adjustSize();
        SortCombo->setGeometry(margin + half + 20, editTop, half, kqIncrementalSearch1->height());
        setTabOrder(kqIncrementalSearch1, SortCombo);
    } else {
        kqIncrementalSearch1->resize(gridWidth, kqIncrementalSearch1->height());
        SortByLabel->move(margin, bottom + 8);
        SortByLabel->adjustSize();
        SortCombo->setGeometry(margin, SortByLabel->y() + SortByLabel->height() + 3, gridWidth,
                               kqIncrementalSearch1->height());
        bottom = SortCombo->y() + SortCombo->height();
    }

    // 7. The user buttons.
    UserButton1->setText(UserButton1->text());
    UserButton1->setVisible(b1);
    UserButton2->setVisible(b2);
    UserButtonPanel->setVisible(b1 || b2);
    if (b1 || b2) {
        int left = 10;
        if (b1) {
            UserButton1->move(left, 0);
            left += UserButton1->width() + 15;
        } else {
            left = 10 + 15;
        }
        if (b2) UserButton2->move(left, 0);
        const int right = b2 ? UserButton2->x() + UserButton2->width() : UserButton1->x() + UserButton1->width();
        const int panelWidth = Options.Contains(opShowOKCancel) ? right + 10 : gridWidth;
        UserButtonPanel->setGeometry(0, bottom + 5, panelWidth, UserButton1->height());
    }

    // 8. OK and Cancel.
    OKBtn->setVisible(Options.Contains(opShowOKCancel));
    CancelBtn->setVisible(Options.Contains(opShowOKCancel));
    int formBottom = bottom;
    if (UserButtonPanel->isVisibleTo(this)) formBottom = UserButtonPanel->y() + UserButtonPanel->height();
    if (Options.Contains(opShowOKCancel)) {
        const int top = bottom + 13;
        const int shift = gridWidth == minWidth ? 5 : 0;
        OKBtn->move(formWidth - 2 * OKBtn->width() - 36 + shift, top);
        CancelBtn->move(formWidth - OKBtn->width() - 23 + shift, top);
        if (UserButtonPanel->isVisibleTo(this)) UserButtonPanel->move(0, top);
        formBottom = top + OKBtn->height();
    }
    setFixedSize(formWidth, formBottom + 9);
    if (!FLeftFixed) move(WorkArea().left() + (WorkArea().width() - formWidth) / 2, y());

    // 9. A narrow search edit takes the short label.
    if (searchBy && Options.Contains(opGroupControls) &&
        kqIncrementalSearch1->width() < SearchCharacterLabel->sizeHint().width()) {
        SearchCharacterLabel->setText(KqIntl()->SearchDialog->SearchCharShortLabel);
        SearchCharacterLabel->adjustSize();
    }
}

void TkqLookupDlg::RefreshStatus()
{
    if (!StatusHeader->isVisible() || !DataSet) return;
    const TkqSearchDialogIntl* texts = KqIntl()->SearchDialog;
    StatusSection1->setText(ReadTextProperty(DataSet, "TableName").trimmed());
    StatusSection2->setText(QStringLiteral("%1 %2 %3 %4")
                                .arg(texts->StatusRecLabel)
                                .arg(DataSet->RecNo())
                                .arg(texts->StatusOfLabel)
                                .arg(DataSet->RecordCount()));
}

bool TkqLookupDlg::PreviewKey(QKeyEvent* event)
{
    if (SortCombo->hasFocus()) return false;
    const int key = KeyEventToVirtualKey(event);
    if (key == VK_RETURN) {
        OKBtn->setFocus();
        accept();
        return true;
    }
    if ((key == VK_PRIOR || key == VK_NEXT || key == VK_UP || key == VK_DOWN) && !kqDBGrid1->hasFocus()) {
        int k = key;
        kqDBGrid1->GridKeyDown(k, ShiftStateFromModifiers(event->modifiers()));
        return true;
    }
    return false;
}

bool TkqLookupDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && watched == kqIncrementalSearch1)
        if (PreviewKey(static_cast<QKeyEvent*>(event))) return true;
    return QDialog::eventFilter(watched, event);
}

void TkqLookupDlg::keyPressEvent(QKeyEvent* event)
{
    if (PreviewKey(event)) return;
    QDialog::keyPressEvent(event);
}

void TkqLookupDlg::done(int result)
{
    // A dropped-down sort combo keeps the form open.
    if (SortCombo->IsDroppedDown()) return;
    kqIncrementalSearch1->FlushPendingSearch();
    if (OnCloseDialog) OnCloseDialog(this);
    QDialog::done(result);
}

// =============================================================================================
// The form runner

bool ShowLookupForm(QWidget* owner, const TkqLookupFormParams& params, TDataSet* dataSet)
{
    TkqLookupDlg form(owner);
    form.setWindowTitle(params.Caption);
    if (owner && (owner->windowFlags() & Qt::WindowStaysOnTopHint))
        form.setWindowFlags(form.windowFlags() | Qt::WindowStaysOnTopHint);
    form.DataSet = dataSet;
    TkqDBGrid* grid = form.kqDBGrid1;
    if (!params.Selected.isEmpty()) {
        grid->SetSelected(params.Selected);
    } else if (dataSet && dataSet->Active()) {
        QStringList lines;
        for (TField* f : dataSet->Fields())
            if (f->Visible())
                lines << f->FieldName() + QLatin1Char('\t') + QString::number(f->DisplayWidth()) + QLatin1Char('\t') +
                             f->DisplayLabel() + QStringLiteral("\tF");
        grid->SetSelected(lines);
    } else {
        MessageDlg(QStringLiteral("DataSet for this component must be active."), mtInformation, {mbOK});
    }
    QStringList lines;
    if (QObject* owner1 = ChoosePictureMaskOwner(params.Component, dataSet);
        owner1 && GetStringListProperty(owner1, "PictureMasks", lines))
        grid->SetPictureMasks(lines);
    if (QObject* owner2 = ChooseControlTypeOwner(params.Component, dataSet);
        owner2 && GetStringListProperty(owner2, "ControlType", lines))
        grid->SetControlType(lines);
    grid->SetUseTFields(params.UseTFields);
    TkqDBGridOptions options = params.GridOptions;
    if (options.Contains(dgMultiSelect)) grid->SetMultiSelectOptions({msoAutoUnselect, msoShiftSelect});
    grid->SetOptions(options);
    grid->SetColor(params.GridColor);
    grid->SetTitleAlignment(params.GridTitleAlignment);
    if (!params.Selected.isEmpty() && params.UseTFields && dataSet) ApplySelectedToFields(dataSet, params.Selected);
    form.Options = params.Options;
    form.MaxWidth = params.MaxWidth;
    form.MaxHeight = params.MaxHeight;
    form.kqIncrementalSearch1->SetCharCase(params.CharCase);
    form.kqIncrementalSearch1->PictureMaskFromField = params.PictureMaskFromField;
    form.InitialSearchText = params.InitialSearchText;
    form.OnUserButton1Click = params.OnUserButton1Click;
    form.OnUserButton2Click = params.OnUserButton2Click;
    form.OnInitDialog = params.OnInitDialog;
    form.OnCloseDialog = params.OnCloseDialog;
    form.OnSortChange = params.OnSortChange;
    form.SearchDelay = params.SearchDelay;
    form.UserButton1->setText(params.UserButton1Caption);
    form.UserButton2->setText(params.UserButton2Caption);
    if (params.Options.Contains(opFixFirstColumn)) grid->SetFixedCols(1);
    if (params.OnShown) QTimer::singleShot(0, &form, [&form, &params] { params.OnShown(&form); });
    const bool ok = form.exec() == QDialog::Accepted;
    form.DataSource1->SetDataSet(nullptr);
    return ok;
}

// =============================================================================================
// The dialog components

TkqCustomLookupDialog::TkqCustomLookupDialog(QObject* owner) : TkqCustomDialog(owner) {}
TkqCustomLookupDialog::~TkqCustomLookupDialog() = default;

TDataSet* TkqCustomLookupDialog::GetPrimaryDataSet() const
{
    throw EInvalidOperation(
        QStringLiteral("Derived classes of \"TkqCustomLookupDialog\" must implement function \"GetPrimaryDataSet\""));
}

void TkqCustomLookupDialog::DoSyncDataSets(TDataSet* moveDataSet, TDataSet* baseDataSet)
{
    if (OnSyncDataSets) OnSyncDataSets(this, moveDataSet, baseDataSet);
}

bool TkqCustomLookupDialog::RunForm(TDataSet* dataSet)
{
    TkqLookupFormParams p;
    p.Component = this;
    p.Selected = Selected;
    p.PictureMaskFromField = PictureMaskFromField;
    p.UseTFields = UseTFields;
    p.OnUserButton1Click = OnUserButton1Click;
    p.OnUserButton2Click = OnUserButton2Click;
    p.OnInitDialog = OnInitDialog;
    p.OnCloseDialog = OnCloseDialog;
    p.OnSortChange = OnSortChange;
    p.UserButton1Caption = UserButton1Caption;
    p.UserButton2Caption = UserButton2Caption;
    p.CharCase = CharCase;
    p.MaxHeight = MaxHeight;
    p.MaxWidth = MaxWidth;
    p.Caption = Caption;
    p.GridTitleAlignment = GridTitleAlignment;
    p.GridColor = GridColor;
    p.GridOptions = GridOptions;
    p.Options = Options;
    p.OnShown = OnShown;
    return ShowLookupForm(QApplication::activeWindow(), p, dataSet);
}

bool TkqCustomLookupDialog::Execute()
{
    return RunForm(GetPrimaryDataSet());
}

TkqLookupDialog::TkqLookupDialog(QObject* owner) : TkqCustomLookupDialog(owner)
{
    Caption = QStringLiteral("Lookup");
}

bool TkqLookupDialog::Execute()
{
    if (!FLookupTable) {
        Warn(QStringLiteral("You must define a lookupTable."));
        return false;
    }
    if (!FLookupTable->Active()) {
        Warn(QStringLiteral("Search Table is not active."));
        return false;
    }
    return RunForm(FLookupTable);
}

TkqSearchDialog::TkqSearchDialog(QObject* owner) : TkqCustomLookupDialog(owner)
{
    Caption = QStringLiteral("Search");
}

bool TkqSearchDialog::Execute()
{
    TDataSet* s = FShadowSearchTable;
    TDataSet* t = FSearchTable;
    if (!s) {
        if (!t) {
            Warn(QStringLiteral("You must define a searchTable."));
            return false;
        }
        return TkqCustomLookupDialog::Execute();
    }
    if (s == t) {
        Warn(QStringLiteral("Your SearchTable and ShadowSearchTable must reference two distinct TDataSet objects, but "
                            "each must reference the same physical table."));
        return false;
    }
    if (t && (ReadTextProperty(s, "DatabaseName").compare(ReadTextProperty(t, "DatabaseName"), Qt::CaseInsensitive) != 0 ||
              ReadTextProperty(s, "TableName").compare(ReadTextProperty(t, "TableName"), Qt::CaseInsensitive) != 0)) {
        Warn(QStringLiteral("Your SearchTable and ShadowSearchTable must reference two distinct TDataSet objects, and "
                            "each must reference the same physical table."));
        return false;
    }
    if (!s->Active() || (t && !t->Active())) {
        Warn(QStringLiteral("Search Table is not active."));
        return false;
    }
    auto* sTable = qobject_cast<TTable*>(s);
    auto* tTable = qobject_cast<TTable*>(t);
    if (t) {
        try {
            auto* sk = qobject_cast<TkqTable*>(s);
            auto* tk = qobject_cast<TkqTable*>(t);
            if (sk && sk->SyncSQLByRange() && sk->IsSQLBased() && tk) ApplyRangeFromDataSet(sk, tk);
            else if (sk && sk->NarrowSearch()) sk->ClearRange();
            if (sTable && tTable) GotoCurrentRecord(sTable, tTable);
            else DoSyncDataSets(s, t);
        } catch (const std::exception&) {
            // The form opens where the shadow stands.
        }
    }
    if (!RunForm(s)) return false;
    if (t) {
        auto* sk = qobject_cast<TkqTable*>(s);
        auto* tk = qobject_cast<TkqTable*>(t);
        if (tk && tk->SyncSQLByRange() && sk) ApplyRangeFromDataSet(tk, sk);
        if (!(s->Bof() && s->Eof())) {
            if (sTable && tTable) GotoCurrentRecord(tTable, sTable);
            else DoSyncDataSets(t, s);
        }
    }
    return true;
}
