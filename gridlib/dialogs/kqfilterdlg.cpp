#include "gridlib/dialogs/kqfilterdlg.h"

#include "gridlib/core/Kqintl.h"
#include "gridlib/core/kqcheckbox.h"
#include "gridlib/core/kqdbedit.h"
#include "gridlib/core/kqdbservices.h"
#include "gridlib/core/kqradiogroup.h"
#include "gridlib/editors/kqdbcombo.h"
#include "gridlib/editors/kqdbdatetimepicker.h"
#include "platform/core/SysFormat.h"
#include "platform/data/DBParams.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

int ScreenPpi(const QWidget* w)
{
    const QScreen* screen = w && w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    return screen ? qRound(screen->logicalDotsPerInch()) : 96;
}

bool IsDescendantOf(const QObject* object, const QObject* ancestor)
{
    for (const QObject* o = object; o; o = o->parent())
        if (o == ancestor) return true;
    return false;
}

} // namespace

TkqFilterDlg::TkqFilterDlg(TkqFilterDialog* dialog, std::unique_ptr<TBusyCursor>* busy)
    : QDialog(QApplication::activeWindow()), FDialog(dialog), FDataSet(dialog->GetPrimaryDataSet()), FBusy(busy)
{
    setObjectName(QStringLiteral("kqFilterDlg"));
    for (TkqFieldInfo c : dialog->Criteria()) {
        if (c.DisplayLabel.isEmpty()) c.DisplayLabel = c.FieldName;
        if (const QString name = FieldNameFromDisplayLabel(FDataSet, c.DisplayLabel); !name.isEmpty()) c.FieldName = name;
        FCriteria << c;
    }
    FDialog->LoadFieldInfo();
    Build();
    setWindowTitle(FDialog->Caption.isEmpty() ? QStringLiteral("Super Search") : FDialog->Caption);
    if (!FDialog->Options.Contains(fdSizeable)) setWindowFlag(Qt::MSWindowsFixedSizeDialogHint, true);
    FillCriteriaFieldList(false);
}

TkqFilterDlg::~TkqFilterDlg()
{
    qApp->removeEventFilter(this);
}

void TkqFilterDlg::Build()
{
    const int ppi = ScreenPpi(this);
    auto scale = [ppi](int v) { return v * ppi / 96; };
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPixelSize(11);
    setMinimumSize(scale(460), scale(274));
    resize(scale(506), scale(291));

    auto* main = new QHBoxLayout(this);
    main->setContentsMargins(0, 0, 0, 0);
    main->setSpacing(0);

    // The field list.
    FieldListPanel = new QWidget(this);
    FieldListPanel->setObjectName(QStringLiteral("FieldListPanel"));
    auto* left = new QVBoxLayout(FieldListPanel);
    left->setContentsMargins(scale(4), scale(2), scale(4), scale(2));
    left->setSpacing(0);
    FieldsLbl = new QLabel(QStringLiteral("Fields"), FieldListPanel);
    FieldsLbl->setObjectName(QStringLiteral("FieldsLbl"));
    FieldsLbl->setFixedHeight(scale(18));
    left->addWidget(FieldsLbl);
    FieldsListBox = new QListWidget(FieldListPanel);
    FieldsListBox->setObjectName(QStringLiteral("FieldsListBox"));
    left->addWidget(FieldsListBox, 1);
    FieldTabSet = new QTabBar(FieldListPanel);
    FieldTabSet->setObjectName(QStringLiteral("FieldTabSet"));
    FieldTabSet->setShape(QTabBar::RoundedSouth);
    FieldTabSet->addTab(QStringLiteral("&All"));
    FieldTabSet->addTab(QStringLiteral("&Searched"));
    left->addWidget(FieldTabSet);
    FieldOrder = new TkqRadioGroup(FieldListPanel);
    FieldOrder->setObjectName(QStringLiteral("FieldOrder"));
    FieldOrder->SetCaption(QStringLiteral("Field Order"));
    FieldOrder->SetColumns(2);
    FieldOrder->SetItems({QStringLiteral("Alpha&betic"), QStringLiteral("&Logical")});
    FieldOrder->SetItemIndex(1);
    FieldOrder->setFixedHeight(scale(40));
    left->addWidget(FieldOrder);
    main->addWidget(FieldListPanel, 1);

    // The criterion of the selected field.
    FieldCriteriaPanel = new QWidget(this);
    FieldCriteriaPanel->setObjectName(QStringLiteral("FieldCriteriaPanel"));
    FieldCriteriaPanel->setFixedWidth(scale(207));
    auto* mid = new QVBoxLayout(FieldCriteriaPanel);
    mid->setContentsMargins(scale(2), scale(2), scale(2), 0);
    mid->setSpacing(0);
    FieldCriteria = new QLabel(QStringLiteral("Field Criteria"), FieldCriteriaPanel);
    FieldCriteria->setObjectName(QStringLiteral("FieldCriteria"));
    FieldCriteria->setFixedHeight(scale(18));
    QFont bold = FieldCriteria->font();
    bold.setBold(true);
    FieldCriteria->setFont(bold);
    mid->addWidget(FieldCriteria);
    SelectNotebook = new QTabWidget(FieldCriteriaPanel);
    SelectNotebook->setObjectName(QStringLiteral("SelectNotebook"));
    SelectNotebook->setTabPosition(QTabWidget::South);
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    // The pages show the dialog's face colour, so that the edits' sunken edges stand out.
    for (QWidget* page : {TabSheet1, TabSheet2}) {
        page->setAutoFillBackground(true);
        page->setBackgroundRole(QPalette::Window);
    }
    SelectNotebook->addTab(TabSheet1, QStringLiteral("By &Value"));
    SelectNotebook->addTab(TabSheet2, QStringLiteral("By &Range"));
    mid->addWidget(SelectNotebook, 1);
    ButtonPanel = new QWidget(FieldCriteriaPanel);
    ButtonPanel->setObjectName(QStringLiteral("ButtonPanel"));
    ButtonPanel->setFixedHeight(scale(37));
    ViewButton = new QPushButton(QStringLiteral("View Su&mmary"), ButtonPanel);
    ViewButton->setObjectName(QStringLiteral("ViewButton"));
    ViewButton->setGeometry(scale(4), scale(6), scale(96), scale(25));
    ClearSearchButton = new QPushButton(QStringLiteral("&New Search"), ButtonPanel);
    ClearSearchButton->setObjectName(QStringLiteral("ClearSearchButton"));
    ClearSearchButton->setGeometry(scale(106), scale(6), scale(96), scale(25));
    ClearSearchButton->setEnabled(false);
    mid->addWidget(ButtonPanel);
    main->addWidget(FieldCriteriaPanel);

    // By Value.
    const int w = scale(190);
    FieldValueLbl = new QLabel(QStringLiteral("Field &Value"), TabSheet1);
    FieldValueLbl->setObjectName(QStringLiteral("FieldValueLbl"));
    FieldValueLbl->setGeometry(scale(6), scale(4), w, scale(16));
    FilterValueEdit = new TkqDBEdit(TabSheet1);
    FilterValueEdit->setObjectName(QStringLiteral("FilterValueEdit"));
    FilterValueEdit->setGeometry(scale(6), scale(20), scale(130), scale(21));
    FilterValueCombo = new TkqDBComboBox(TabSheet1);
    FilterValueCombo->setObjectName(QStringLiteral("FilterValueCombo"));
    FilterValueCombo->setGeometry(scale(6), scale(20), scale(130), scale(21));
    FilterValueCombo->SetStyle(csDropDown);
    FilterValueCombo->SetShowButton(false);
    FilterValueCombo->SetMapList(false);
    FilterValueCombo->SetSorted(false);
    FilterValueCombo->hide();
    FilterValueClearButton = new QPushButton(QStringLiteral("&Clear"), TabSheet1);
    FilterValueClearButton->setObjectName(QStringLiteral("FilterValueClearButton"));
    FilterValueClearButton->setGeometry(scale(140), scale(19), scale(52), scale(23));
    FilterValueClearButton->setEnabled(false);
    MatchTypeGroup = new TkqRadioGroup(TabSheet1);
    MatchTypeGroup->setObjectName(QStringLiteral("MatchTypeGroup"));
    MatchTypeGroup->SetCaption(QStringLiteral("Search Type"));
    MatchTypeGroup->SetItems({QStringLiteral("&Exact Match"), QStringLiteral("&Partial Match at Beginning"),
                              QStringLiteral("Partial Match Any&where")});
    MatchTypeGroup->setGeometry(scale(6), scale(46), w, scale(72));
    Panel1 = new QWidget(TabSheet1);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(scale(6), scale(122), w, scale(41));
    CaseSensitive = new TkqCheckBox(Panel1);
    CaseSensitive->setObjectName(QStringLiteral("CaseSensitive"));
    CaseSensitive->SetCaption(QStringLiteral("Case Sensi&tive"));
    CaseSensitive->setGeometry(scale(4), scale(3), scale(180), scale(17));
    Nonmatching = new TkqCheckBox(Panel1);
    Nonmatching->setObjectName(QStringLiteral("Nonmatching"));
    Nonmatching->SetCaption(QStringLiteral("N&on-matching records"));
    Nonmatching->setGeometry(scale(4), scale(21), scale(180), scale(17));

    // By Range.
    StartingRangeLbl = new QLabel(QStringLiteral("&Starting Range"), TabSheet2);
    StartingRangeLbl->setObjectName(QStringLiteral("StartingRangeLbl"));
    StartingRangeLbl->setGeometry(scale(6), scale(8), w, scale(16));
    MinValueEdit = new TkqDBEdit(TabSheet2);
    MinValueEdit->setObjectName(QStringLiteral("MinValueEdit"));
    MinValueEdit->setGeometry(scale(6), scale(24), scale(130), scale(21));
    MinDateEdit = new TkqDBDateTimePicker(TabSheet2);
    MinDateEdit->setObjectName(QStringLiteral("MinDateEdit"));
    MinDateEdit->setGeometry(scale(6), scale(24), scale(130), scale(21));
    MinDateEdit->SetEpoch(1950);
    MinDateEdit->hide();
    MinValueClearButton = new QPushButton(QStringLiteral("&Clear"), TabSheet2);
    MinValueClearButton->setObjectName(QStringLiteral("MinValueClearButton"));
    MinValueClearButton->setGeometry(scale(140), scale(23), scale(52), scale(23));
    MinValueClearButton->setEnabled(false);
    EndingRangeLbl = new QLabel(QStringLiteral("En&ding Range"), TabSheet2);
    EndingRangeLbl->setObjectName(QStringLiteral("EndingRangeLbl"));
    EndingRangeLbl->setGeometry(scale(6), scale(56), w, scale(16));
    MaxValueEdit = new TkqDBEdit(TabSheet2);
    MaxValueEdit->setObjectName(QStringLiteral("MaxValueEdit"));
    MaxValueEdit->setGeometry(scale(6), scale(72), scale(130), scale(21));
    MaxDateEdit = new TkqDBDateTimePicker(TabSheet2);
    MaxDateEdit->setObjectName(QStringLiteral("MaxDateEdit"));
    MaxDateEdit->setGeometry(scale(6), scale(72), scale(130), scale(21));
    MaxDateEdit->SetEpoch(1950);
    MaxDateEdit->hide();
    MaxValueClearButton = new QPushButton(QStringLiteral("Cl&ear"), TabSheet2);
    MaxValueClearButton->setObjectName(QStringLiteral("MaxValueClearButton"));
    MaxValueClearButton->setGeometry(scale(140), scale(71), scale(52), scale(23));
    MaxValueClearButton->setEnabled(false);

    // OK and Cancel.
    OKCancelPanel = new QWidget(this);
    OKCancelPanel->setObjectName(QStringLiteral("OKCancelPanel"));
    OKCancelPanel->setFixedWidth(scale(88));
    main->addWidget(OKCancelPanel);
    OKButton = qobject_cast<QPushButton*>(CreateDialogButton(this, 1));
    CancelButton = qobject_cast<QPushButton*>(CreateDialogButton(this, 2));
    OKButton->setParent(OKCancelPanel);
    CancelButton->setParent(OKCancelPanel);
    OKButton->move(scale(7), scale(22));
    CancelButton->move(scale(7), scale(62));
    OKButton->setEnabled(false);
    OKButton->setDefault(true);
    OKButton->show();
    CancelButton->show();
    setTabOrder(FieldsListBox, OKButton);
    setTabOrder(OKButton, CancelButton);

    // Handlers.
    connect(FieldsListBox, &QListWidget::itemClicked, this, [this] { FieldsListBoxClick(); });
    connect(FieldsListBox, &QListWidget::currentRowChanged, this, [this](int) {
        if (!FLoading && FieldsListBox->hasFocus()) FieldsListBoxClick();
    });
    FieldOrder->OnClick = [this](QObject*) { FieldOrderClick(); };
    MatchTypeGroup->OnClick = [this](QObject*) { MatchTypeGroupClick(); };
    connect(FieldTabSet, &QTabBar::currentChanged, this, [this](int index) {
        static thread_local bool guard = false;
        if (guard || FLoading) return;
        QScopedValueRollback<bool> g(guard, true);
        const int old = index == 0 ? 1 : 0;
        FieldTabSet->setCurrentIndex(old);
        if (FieldTabSetChanging(index)) FieldTabSet->setCurrentIndex(index);
    });
    connect(ViewButton, &QPushButton::clicked, this, [this] { ViewButtonClick(); });
    connect(ClearSearchButton, &QPushButton::clicked, this, [this] { ClearSearchButtonClick(); });
    auto edited = [this](QObject*) {
        UpdateClearButtons();
        if (!FLoading) OKButton->setEnabled(true);
    };
    FilterValueEdit->OnChange = edited;
    FilterValueCombo->OnChange = edited;
    MinValueEdit->OnChange = edited;
    MaxValueEdit->OnChange = edited;
    MinDateEdit->OnChange = edited;
    MaxDateEdit->OnChange = edited;
    connect(FilterValueClearButton, &QPushButton::clicked, this, [this] {
        if (FilterValueCombo->isVisible()) FilterValueCombo->SetText(QString());
        FilterValueEdit->SetText(QString());
        FilterValueClearButton->setEnabled(false);
    });
    connect(MinValueClearButton, &QPushButton::clicked, this, [this] {
        MinValueEdit->SetText(QString());
        MinDateEdit->SetText(QString());
        MinValueClearButton->setEnabled(false);
    });
    connect(MaxValueClearButton, &QPushButton::clicked, this, [this] {
        MaxValueEdit->SetText(QString());
        MaxDateEdit->SetText(QString());
        MaxValueClearButton->setEnabled(false);
    });
    FieldsLbl->setBuddy(FieldsListBox);
    FieldValueLbl->setBuddy(FilterValueEdit);
    StartingRangeLbl->setBuddy(MinValueEdit);
    EndingRangeLbl->setBuddy(MaxValueEdit);
}

void TkqFilterDlg::ApplyTexts()
{
    const TkqFilterDialogIntl* t = KqIntl()->FilterDialog;
    ApplyDialogFontStyle(this);
    ViewButton->setText(t->BtnViewSummary);
    ViewButton->setToolTip(t->BtnViewSummaryHint);
    ClearSearchButton->setText(t->BtnNewSearch);
    ClearSearchButton->setToolTip(t->BtnNewSearchHint);
    FieldOrder->SetCaption(t->FieldOrderLabel);
    FieldOrder->setToolTip(t->FieldOrderHint);
    const int order = FieldOrder->ItemIndex();
    FieldOrder->SetItems({t->AlphabeticLabel, t->LogicalLabel});
    FieldOrder->SetItemIndex(order);
    FieldTabSet->setTabText(0, t->AllFieldsLabel);
    FieldTabSet->setTabText(1, t->SearchedFieldsLabel);
    FieldTabSet->setToolTip(t->AllSearchedTabHint);
    StartingRangeLbl->setText(t->StartingRangeLabel);
    MinValueEdit->setToolTip(t->StartingRangeHint);
    MinDateEdit->setToolTip(t->StartingRangeHint);
    EndingRangeLbl->setText(t->EndingRangeLabel);
    MaxValueEdit->setToolTip(t->EndingRangeHint);
    MaxDateEdit->setToolTip(t->EndingRangeHint);
    MinValueClearButton->setText(t->BtnClearMin);
    MinValueClearButton->setToolTip(t->BtnClearMinHint);
    MaxValueClearButton->setText(t->BtnClearMax);
    MaxValueClearButton->setToolTip(t->BtnClearMaxHint);
    FilterValueClearButton->setText(t->BtnClearFilterValue);
    FilterValueClearButton->setToolTip(t->BtnClearFilterValueHint);
    SelectNotebook->setTabText(0, t->ByValueLabel);
    SelectNotebook->setTabText(1, t->ByRangeLabel);
    SelectNotebook->setToolTip(t->ValueRangeTabHint);
    FieldValueLbl->setText(t->FieldValueLabel);
    FilterValueEdit->setToolTip(t->FieldValueHint);
    FilterValueCombo->setToolTip(t->FieldValueHint);
    MatchTypeGroup->SetCaption(t->SearchTypeLabel);
    MatchTypeGroup->setToolTip(t->SearchTypeHint);
    const int kind = MatchTypeGroup->ItemIndex();
    QStringList kinds{t->MatchExactLabel, t->MatchStartLabel};
    if (MatchTypeGroup->Items().size() > 2) kinds << t->MatchAnyLabel;
    MatchTypeGroup->SetItems(kinds);
    MatchTypeGroup->SetItemIndex(kind);
    CaseSensitive->SetCaption(t->CaseSensitiveLabel);
    CaseSensitive->setToolTip(t->CaseSensitiveHint);
    Nonmatching->SetCaption(t->NonMatchingLabel);
    Nonmatching->setToolTip(t->NonMatchingHint);
    FieldsLbl->setText(t->FieldsLabel);
}

// --- Fields and criteria -------------------------------------------------------------------

QString TkqFilterDlg::CaptionOfLine(int line) const
{
    const QListWidgetItem* item = FieldsListBox->item(line);
    return item ? item->text() : QString();
}

int TkqFilterDlg::FindCriterion(const QString& caption) const
{
    QString wanted = caption;
    wanted.replace(QLatin1Char('~'), QLatin1Char(' '));
    for (int i = 0; i < FCriteria.size(); ++i) {
        QString label = FCriteria[i].DisplayLabel;
        label.replace(QLatin1Char('~'), QLatin1Char(' '));
        if (label.compare(wanted, Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

TFieldType TkqFilterDlg::FieldTypeOfCaption(const QString& caption) const
{
    if (const QString name = FieldNameFromDisplayLabel(FDataSet, caption); !name.isEmpty())
        if (const TField* f = FDataSet->FindField(name)) return f->DataType();
    for (const TkqDBFieldInfo& e : FDialog->DBFieldInfo())
        if (e.FieldName.compare(caption, Qt::CaseInsensitive) == 0) return e.DataType;
    for (const QString& line : FDialog->SelectedFields) {
        const int semi = int(line.indexOf(QLatin1Char(';')));
        if (semi < 0 || line.mid(semi + 1).compare(caption, Qt::CaseInsensitive) != 0) continue;
        for (const TkqDBFieldInfo& e : FDialog->DBFieldInfo())
            if (e.FieldName.compare(line.left(semi), Qt::CaseInsensitive) == 0) return e.DataType;
    }
    return ftUnknown;
}

bool TkqFilterDlg::IsTypedField(const QString& caption) const
{
    switch (FieldTypeOfCaption(caption)) {
    case ftSmallint: case ftInteger: case ftWord: case ftBoolean: case ftFloat: case ftCurrency: case ftBCD:
    case ftDate: case ftDateTime: case ftAutoInc:
        return true;
    case ftTime: return FDialog->FilterMethod() == fdByQueryModify;
    default: return false;
    }
}

bool TkqFilterDlg::ValidateValueText(const QString& caption, const QString& text) const
{
    if (!IsTypedField(caption)) return true;
    const TkqFieldOperators& ops = *FDialog->FieldOperators();
    const TFieldType type = FieldTypeOfCaption(caption);
    QStringList run;
    const QStringList words = FilterValueWords(text, ops);
    auto check = [&]() {
        const QString part = run.join(QLatin1Char(' ')).trimmed();
        run.clear();
        if (part.isEmpty() || part.compare(ops.NullChar(), Qt::CaseInsensitive) == 0) return true;
        return IsValidTextForFieldType(type, part);
    };
    for (const QString& word : words) {
        if (word.compare(ops.OrChar(), Qt::CaseInsensitive) == 0) {
            if (!check()) return false;
        } else {
            run << word;
        }
    }
    return check();
}

bool TkqFilterDlg::ValidateRangeText(const QString& caption, const QString& text) const
{
    if (text.isEmpty() || !IsTypedField(caption)) return true;
    return IsValidTextForFieldType(FieldTypeOfCaption(caption), text.trimmed());
}

void TkqFilterDlg::FillCriteriaFieldList(bool searchedOnly)
{
    QScopedValueRollback<bool> loading(FLoading, true);
    FieldsListBox->clear();
    FieldsListBox->setSortingEnabled(false);
    QStringList captions;
    auto add = [&](QString caption) {
        caption.replace(QLatin1Char('~'), QLatin1Char(' '));
        if (caption.isEmpty() || FindTextInList(captions, caption) >= 0) return;
        if (searchedOnly && FindCriterion(caption) < 0) return;
        captions << caption;
    };
    if (FDialog->FilterMethod() == fdByQueryParams && IsClassOrAncestorNamed(FDataSet, "TQuery")) {
        if (auto* params = qobject_cast<TParams*>(GetDataSetParams(FDataSet)))
            for (int i = 0; i < params->Count(); ++i) add(params->Items(i)->Name());
    } else if (!FDialog->SelectedFields.isEmpty()) {
        for (const QString& line : FDialog->SelectedFields) {
            const int semi = int(line.indexOf(QLatin1Char(';')));
            const QString name = semi < 0 ? line : line.left(semi);
            const QString shown = semi < 0 ? QString() : line.mid(semi + 1);
            for (TkqDBFieldInfo& e : FDialog->DBFieldInfo()) {
                if (e.FieldName.compare(name, Qt::CaseInsensitive) != 0) continue;
                if (!shown.isEmpty()) e.DisplayLabel = shown;
                add(e.DisplayLabel);
                break;
            }
        }
    } else {
        for (const TkqDBFieldInfo& e : FDialog->DBFieldInfo())
            if (e.DataType != ftBytes && e.DataType != ftVarBytes && e.DataType != ftBlob && e.DataType != ftGraphic &&
                e.DataType != ftDataSet)
                add(e.DisplayLabel);
    }
    if (FieldOrder->ItemIndex() == 0) captions.sort(Qt::CaseInsensitive);
    FieldsListBox->addItems(captions);
}

void TkqFilterDlg::StoreCriterion(const QString& caption, TkqFilterMatchType kind, const QString& value,
                                  const QString& minValue, const QString& maxValue, bool caseSensitive,
                                  bool nonMatching)
{
    const bool range = kind == fdMatchRange;
    const bool empty = range ? minValue.isEmpty() && maxValue.isEmpty() : value.isEmpty();
    const int index = FindCriterion(caption);
    if (index >= 0) {
        if (empty) {
            FCriteria.removeAt(index);
            FChangedFlag = true;
            return;
        }
        TkqFieldInfo& c = FCriteria[index];
        TkqFieldInfo updated = c;
        updated.MatchType = kind;
        updated.CaseSensitive = caseSensitive;
        updated.NonMatching = nonMatching;
        if (range) {
            updated.MinValue = minValue;
            updated.MaxValue = maxValue;
            updated.FilterValue.clear();
        } else {
            updated.FilterValue = value;
            updated.MinValue.clear();
            updated.MaxValue.clear();
        }
        if (updated.MatchType != c.MatchType || updated.FilterValue != c.FilterValue || updated.MinValue != c.MinValue ||
            updated.MaxValue != c.MaxValue || updated.CaseSensitive != c.CaseSensitive ||
            updated.NonMatching != c.NonMatching)
            FChangedFlag = true;
        c = updated;
        return;
    }
    if (empty) return;
    TkqFieldInfo c;
    c.DisplayLabel = caption;
    c.FieldName = FieldNameFromDisplayLabel(FDataSet, caption);
    if (c.FieldName.isEmpty())
        for (const QString& line : FDialog->SelectedFields) {
            const int semi = int(line.indexOf(QLatin1Char(';')));
            if (semi >= 0 && line.mid(semi + 1).compare(caption, Qt::CaseInsensitive) == 0) c.FieldName = line.left(semi);
        }
    c.MatchType = kind;
    c.CaseSensitive = caseSensitive;
    c.NonMatching = nonMatching;
    if (range) {
        c.MinValue = minValue;
        c.MaxValue = maxValue;
    } else {
        c.FilterValue = value;
    }
    FCriteria << c;
    FChangedFlag = true;
}

bool TkqFilterDlg::UsingPickers() const { return MinDateEdit->isVisibleTo(TabSheet2); }

QString TkqFilterDlg::PickerText(TkqDBDateTimePicker* picker, bool upper) const
{
    if (picker->text().trimmed().isEmpty()) return QString();
    const TDateTime value = picker->Value();
    if (FieldTypeOfCaption(CaptionOfLine(FCurrentLine)) == ftDateTime) {
        const bool showsTime =
            upper ? (picker->Time() != 0 || picker->text().contains(FormatSettings.TimeSeparator)) : picker->Time() != 0;
        if (showsTime) return DateTimeToStr(value);
    }
    return DateToStr(value);
}

void TkqFilterDlg::SetPickerText(TkqDBDateTimePicker* picker, const QString& text)
{
    TDateTime value = 0;
    if (text.isEmpty()) {
        picker->SetText(QString());
        return;
    }
    if (TryStrToDateTime(text, value) || TryStrToDate(text, value)) picker->SetDateTime(value);
}

QString TkqFilterDlg::ValueEditorText() const
{
    if (FilterValueCombo->isVisibleTo(TabSheet1))
        return FilterValueCombo->MapList() ? FilterValueCombo->GetStoredValue() : FilterValueCombo->text();
    return FilterValueEdit->text();
}

QWidget* TkqFilterDlg::ValueEditor() const
{
    return FilterValueCombo->isVisibleTo(TabSheet1) ? static_cast<QWidget*>(FilterValueCombo) : FilterValueEdit;
}

TkqFilterMatchType TkqFilterDlg::MatchKindOfGroup() const
{
    switch (MatchTypeGroup->ItemIndex()) {
    case 0: return fdMatchExact;
    case 2: return fdMatchAny;
    default: return fdMatchStart;
    }
}

void TkqFilterDlg::SetMatchKindOfGroup(TkqFilterMatchType kind)
{
    const int item = kind == fdMatchExact ? 0 : kind == fdMatchAny ? 2 : 1;
    MatchTypeGroup->SetItemIndex(item < MatchTypeGroup->Items().size() ? item : 1);
}

bool TkqFilterDlg::CommitAndLoadField(bool load)
{
    const TkqFilterMatchType kind = MatchKindOfGroup();
    if (FCurrentLine >= 0 && FActivated) {
        const QString caption = CaptionOfLine(FCurrentLine);
        const bool byValue = SelectNotebook->currentIndex() == 0;
        const bool mapped = FilterValueCombo->isVisibleTo(TabSheet1) && FilterValueCombo->MapList();
        const QString value = ValueEditorText();
        if (!(byValue && mapped) && !ValidateValueText(caption, value)) {
            SelectNotebook->setCurrentIndex(0);
            if (auto* edit = qobject_cast<QLineEdit*>(ValueEditor())) edit->selectAll();
            ValueEditor()->setFocus();
            return false;
        }
        const bool pickers = UsingPickers();
        const QString minValue = pickers ? PickerText(MinDateEdit, false) : MinValueEdit->text();
        const QString maxValue = pickers ? PickerText(MaxDateEdit, true) : MaxValueEdit->text();
        for (int bound = 0; bound < 2; ++bound) {
            const QString& text = bound == 0 ? minValue : maxValue;
            if (ValidateRangeText(caption, text)) continue;
            SelectNotebook->setCurrentIndex(1);
            QLineEdit* editor = pickers ? static_cast<QLineEdit*>(bound == 0 ? MinDateEdit : MaxDateEdit)
                                        : static_cast<QLineEdit*>(bound == 0 ? MinValueEdit : MaxValueEdit);
            editor->selectAll();
            editor->setFocus();
            return false;
        }
        if (byValue)
            StoreCriterion(caption, kind, value, minValue, maxValue, CaseSensitive->Checked(), Nonmatching->Checked());
        else
            StoreCriterion(caption, fdMatchRange, QString(), minValue, maxValue, CaseSensitive->Checked(),
                           Nonmatching->Checked());
        ClearSearchButton->setEnabled(!FCriteria.isEmpty());
    }
    const int line = FieldsListBox->currentRow();
    if (line < 0) return true;
    QScopedValueRollback<bool> loading(FLoading, true);
    FCurrentLine = line;
    const QString caption = CaptionOfLine(line);
    const TFieldType type = FieldTypeOfCaption(caption);
    const bool pickers = !FDialog->Options.Contains(fdDisableDateTimePicker) && (type == ftDate || type == ftDateTime);
    MinDateEdit->setVisible(pickers);
    MaxDateEdit->setVisible(pickers);
    MinValueEdit->setVisible(!pickers);
    MaxValueEdit->setVisible(!pickers);
    if (pickers) {
        MinDateEdit->SetUnboundDataType(type == ftDate ? kqDTEdtDate : kqDTEdtDateTime);
        MaxDateEdit->SetUnboundDataType(type == ftDate ? kqDTEdtDate : kqDTEdtDateTime);
    }
    StartingRangeLbl->setBuddy(pickers ? static_cast<QWidget*>(MinDateEdit) : MinValueEdit);
    EndingRangeLbl->setBuddy(pickers ? static_cast<QWidget*>(MaxDateEdit) : MaxValueEdit);
    const int index = FindCriterion(caption);
    const TkqFieldInfo* c = index >= 0 ? &FCriteria[index] : nullptr;
    if (load && FDialog->OnSelectField) {
        QString name = FieldNameFromDisplayLabel(FDataSet, caption);
        if (name.isEmpty()) name = caption;
        QString mask;
        QStringList list;
        FDialog->DoSelectField(name, mask, list);
        FilterValueEdit->Picture()->SetPictureMask(mask);
        FilterValueCombo->Picture()->SetPictureMask(mask);
        FHasPickList = !list.isEmpty();
        if (FHasPickList) {
            FilterValueCombo->SetItems(list);
            FilterValueCombo->SetShowButton(true);
            FilterValueCombo->ShowMatchText = true;
        } else {
            FilterValueCombo->SetItems({});
        }
    }
    const bool valueCriterion = c && c->MatchType != fdMatchRange;
    if (valueCriterion)
        SetMatchKindOfGroup(c->MatchType);
    else
        SetMatchKindOfGroup(FDialog->DefaultMatchType);
    ChooseValueEditor();
    CaseSensitive->SetChecked(c ? c->CaseSensitive : FDialog->Options.Contains(fdCaseSensitive));
    Nonmatching->SetChecked(c ? c->NonMatching : false);
    auto setValue = [this](const QString& text) {
        if (FilterValueCombo->isVisibleTo(TabSheet1) && FilterValueCombo->MapList())
            FilterValueCombo->SetText(FilterValueCombo->StoredToDisplay(text));
        else if (FilterValueCombo->isVisibleTo(TabSheet1))
            FilterValueCombo->SetText(text);
        FilterValueEdit->SetText(text);
    };
    auto setRange = [this, pickers](const QString& lower, const QString& upper) {
        if (pickers) {
            SetPickerText(MinDateEdit, lower);
            SetPickerText(MaxDateEdit, upper);
        }
        MinValueEdit->SetText(lower);
        MaxValueEdit->SetText(upper);
    };
    if (!c) {
        setValue(QString());
        setRange(QString(), QString());
    } else if (c->MatchType == fdMatchRange) {
        setRange(c->MinValue, c->MaxValue);
        if (load) setValue(QString());
    } else {
        setValue(c->FilterValue);
        if (load) setRange(QString(), QString());
    }
    FieldCriteria->setText(caption);
    SelectNotebook->tabBar()->setVisible(FDialog->Options.Contains(fdShowValueRangeTab));
    const bool typed = IsTypedField(caption);
    const bool table = IsClassOrAncestorNamed(FDataSet, "TTable");
    const bool textFilter = FDialog->FilterMethod() == fdByQueryModify ||
                            FDialog->FilterPropertyOptions()->DatasetFilterType != fdUseOnFilter;
    if (typed && !table && textFilter) {
        SetMatchKindOfGroup(fdMatchExact);
        MatchTypeGroup->setEnabled(false);
        CaseSensitive->setEnabled(false);
    } else {
        MatchTypeGroup->setEnabled(true);
        CaseSensitive->setEnabled(true);
        const bool sqlBlob = (type == ftBlob || type == ftMemo || type == ftOraBlob) &&
                             FDialog->FilterMethod() == fdByQueryModify &&
                             (IsClassOrAncestorNamed(FDataSet, "TQuery") ||
                              FindPublishedProperty(FDataSet, FDialog->GetSQLPropertyName().toLatin1().constData()).isValid());
        if (sqlBlob) {
            CaseSensitive->SetChecked(true);
            CaseSensitive->setEnabled(false);
        }
    }
    UpdateClearButtons();
    return true;
}

void TkqFilterDlg::ChooseCriteriaPage()
{
    int line = FieldsListBox->currentRow();
    if (line < 0) line = 0;
    const QString caption = CaptionOfLine(line);
    const int index = FindCriterion(caption);
    int page;
    if (index >= 0)
        page = FCriteria[index].MatchType == fdMatchRange ? 1 : 0;
    else if (FDialog->DefaultFilterBy == fdFilterByRange)
        page = 1;
    else if (FDialog->DefaultFilterBy == fdFilterByValue)
        page = 0;
    else
        page = IsTypedField(caption) && FieldTypeOfCaption(caption) != ftBoolean ? 1 : 0;
    SelectNotebook->setCurrentIndex(page);
}

void TkqFilterDlg::ChooseValueEditor()
{
    const bool anywhere = MatchTypeGroup->ItemIndex() == 2;
    const bool combo = !anywhere && FilterValueCombo->Items().Count() > 0;
    QWidget* shown = combo ? static_cast<QWidget*>(FilterValueCombo) : FilterValueEdit;
    QWidget* hidden = combo ? static_cast<QWidget*>(FilterValueEdit) : FilterValueCombo;
    if (hidden->isVisibleTo(TabSheet1)) {
        const QString text = combo ? FilterValueEdit->text() : FilterValueCombo->text();
        if (combo)
            FilterValueCombo->SetText(text);
        else
            FilterValueEdit->SetText(text);
    }
    hidden->hide();
    shown->show();
    FilterValueEdit->SetUsePictureMask(!anywhere);
    FilterValueCombo->SetUsePictureMask(!anywhere);
    FieldValueLbl->setBuddy(shown);
}

void TkqFilterDlg::FocusValueEditor()
{
    QLineEdit* editor;
    if (SelectNotebook->currentIndex() == 0)
        editor = qobject_cast<QLineEdit*>(ValueEditor());
    else
        editor = UsingPickers() ? static_cast<QLineEdit*>(MinDateEdit) : MinValueEdit;
    if (!editor || !isVisible()) return;
    editor->setFocus();
    editor->selectAll();
}

void TkqFilterDlg::UpdateClearButtons()
{
    const bool pickers = UsingPickers();
    const QString value = ValueEditorText();
    const QString lower = pickers ? MinDateEdit->text().trimmed() : MinValueEdit->text();
    const QString upper = pickers ? MaxDateEdit->text().trimmed() : MaxValueEdit->text();
    FilterValueClearButton->setEnabled(!value.isEmpty());
    MinValueClearButton->setEnabled(!lower.isEmpty());
    MaxValueClearButton->setEnabled(!upper.isEmpty());
    ClearSearchButton->setEnabled(!FCriteria.isEmpty() || !value.isEmpty() || !lower.isEmpty() || !upper.isEmpty());
}

// --- Showing ---------------------------------------------------------------------------------

void TkqFilterDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (FShown) return;
    FShown = true;
    FormShow();
}

void TkqFilterDlg::FormShow()
{
    const int ppi = ScreenPpi(this);
    auto scale = [ppi](int v) { return v * ppi / 96; };
    const TkqFilterDialogOptions options = FDialog->Options;
    const TkqFilterPropertyOptions& po = *FDialog->FilterPropertyOptions();
    if (!options.Contains(fdShowOKCancel)) {
        OKButton->move(OKButton->x(), 1000);
        CancelButton->move(CancelButton->x(), 1000);
        OKCancelPanel->setFixedWidth(scale(10));
    }
    if (options.Contains(fdHidePartialAnywhere) ||
        (FDialog->FilterMethod() == fdByFilter && !po.UseLikeOperator && po.DatasetFilterType == fdUseFilterProp)) {
        const QStringList items = MatchTypeGroup->Items();
        MatchTypeGroup->SetItems(items.mid(0, 2));
        MatchTypeGroup->resize(MatchTypeGroup->width(), MatchTypeGroup->height() - scale(10));
        Panel1->move(Panel1->x(), Panel1->y() - scale(10));
    }
    FieldOrder->setVisible(options.Contains(fdShowFieldOrder));
    if (!options.Contains(fdShowViewSummary)) {
        ViewButton->hide();
        ClearSearchButton->move(ViewButton->pos());
    }
    SelectNotebook->tabBar()->setVisible(options.Contains(fdShowValueRangeTab));
    const bool caseHidden = !options.Contains(fdShowCaseSensitive) ||
                            ((po.DatasetFilterType == fdUseFilterProp || po.DatasetFilterType == fdUseBothFilterTypes) &&
                             !(po.UseLikeOperator && po.LikeSupportsUpperKeyword));
    CaseSensitive->setVisible(!caseHidden);
    if (!options.Contains(fdShowNonMatching)) {
        Nonmatching->hide();
        Panel1->resize(Panel1->width(), scale(26));
        Panel1->setVisible(!caseHidden);
    } else if (caseHidden) {
        Panel1->resize(Panel1->width(), scale(26));
        Nonmatching->move(Nonmatching->x(), scale(5));
    } else {
        Panel1->resize(Panel1->width(), scale(41));
    }
    resize(options.Contains(fdShowOKCancel) ? width() : width() - OKButton->width() - 8, scale(FDialog->DlgHeight()));
    {
        QScopedValueRollback<bool> loading(FLoading, true);
        FieldOrder->SetItemIndex(FDialog->SortBy == fdSortByFieldName ? 0 : 1);
    }
    if (FCriteria.isEmpty()) {
        FillCriteriaFieldList(false);
        int line = 0;
        if (!FDialog->DefaultField.isEmpty()) {
            QString caption = FDialog->DefaultField;
            if (FDataSet)
                if (const TField* f = FDataSet->FindField(FDialog->DefaultField)) caption = f->DisplayLabel();
            caption.replace(QLatin1Char('~'), QLatin1Char(' '));
            for (int i = 0; i < FieldsListBox->count(); ++i)
                if (CaptionOfLine(i).compare(caption, Qt::CaseInsensitive) == 0) line = i;
        }
        QScopedValueRollback<bool> loading(FLoading, true);
        FieldsListBox->setCurrentRow(line);
    } else {
        {
            QScopedValueRollback<bool> loading(FLoading, true);
            FieldTabSet->setCurrentIndex(1);
        }
        FillCriteriaFieldList(true);
        QScopedValueRollback<bool> loading(FLoading, true);
        FieldsListBox->setCurrentRow(0);
    }
    CommitAndLoadField(true);
    ChooseCriteriaPage();
    FocusValueEditor();
    if (options.Contains(fdTabsAtTop)) {
        FieldTabSet->setShape(QTabBar::RoundedNorth);
        SelectNotebook->setTabPosition(QTabWidget::North);
        auto* left = static_cast<QVBoxLayout*>(FieldListPanel->layout());
        left->removeWidget(FieldTabSet);
        left->insertWidget(1, FieldTabSet);
    }
    if (FBusy && *FBusy) FBusy->reset();
    ApplyTexts();
    FDialog->DoInitDialog(this);
    FChangedFlag = FDataSet && !FDataSet->Active();
    qApp->installEventFilter(this);
    // The first load is done; from now on moving off a field stores its editors.
    FActivated = true;
}

void TkqFilterDlg::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && FShown) FActivated = true;
}

void TkqFilterDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
}

void TkqFilterDlg::done(int result)
{
    if (result == QDialog::Accepted && !CommitAndLoadField(true)) return;
    qApp->removeEventFilter(this);
    QDialog::done(result);
}

// --- User actions ---------------------------------------------------------------------------

void TkqFilterDlg::FieldsListBoxClick()
{
    if (FLoading) return;
    if (FieldsListBox->currentRow() == FCurrentLine) return;
    if (CommitAndLoadField(true)) {
        ChooseCriteriaPage();
        FieldsListBox->setFocus();
    } else if (FCurrentLine >= 0) {
        QScopedValueRollback<bool> loading(FLoading, true);
        FieldsListBox->setCurrentRow(FCurrentLine);
    }
}

void TkqFilterDlg::FieldOrderClick()
{
    if (FLoading) return;
    const QString caption = CaptionOfLine(FieldsListBox->currentRow());
    FillCriteriaFieldList(FieldTabSet->currentIndex() == 1);
    QScopedValueRollback<bool> loading(FLoading, true);
    const QList<QListWidgetItem*> found = FieldsListBox->findItems(caption, Qt::MatchFixedString);
    if (!found.isEmpty()) FieldsListBox->setCurrentItem(found.first());
    FieldsListBox->setFocus();
    FCurrentLine = FieldsListBox->currentRow();
}

bool TkqFilterDlg::FieldTabSetChanging(int newTab)
{
    if (!CommitAndLoadField(false)) return false;
    if (newTab == 1 && FCriteria.isEmpty()) {
        MessageDlg(KqIntl()->UserMessages->FilterDlgNoCriteria, mtInformation, {mbOK});
        return false;
    }
    const QString caption = CaptionOfLine(FieldsListBox->currentRow());
    FillCriteriaFieldList(newTab == 1);
    {
        QScopedValueRollback<bool> loading(FLoading, true);
        const QList<QListWidgetItem*> found = FieldsListBox->findItems(caption, Qt::MatchFixedString);
        FieldsListBox->setCurrentRow(found.isEmpty() ? 0 : FieldsListBox->row(found.first()));
    }
    FCurrentLine = -1;
    ChooseCriteriaPage();
    CommitAndLoadField(true);
    return true;
}

void TkqFilterDlg::MatchTypeGroupClick()
{
    if (FLoading) return;
    ChooseValueEditor();
    if (!FLoading) OKButton->setEnabled(true);
}

void TkqFilterDlg::ViewButtonClick()
{
    if (!CommitAndLoadField(false)) return;
    if (FCriteria.isEmpty()) {
        MessageDlg(KqIntl()->UserMessages->FilterDlgNoCriteria, mtInformation, {mbOK});
        return;
    }
    FDialog->DoDialogSummary(FCriteria);
    FocusValueEditor();
}

void TkqFilterDlg::ClearSearchButtonClick()
{
    FCriteria.clear();
    FChangedFlag = true;
    FilterValueEdit->SetText(QString());
    FilterValueCombo->SetText(QString());
    MinValueEdit->SetText(QString());
    MaxValueEdit->SetText(QString());
    MinDateEdit->SetText(QString());
    MaxDateEdit->SetText(QString());
    ClearSearchButton->setEnabled(false);
    MatchTypeGroup->SetItemIndex(1);
    OKButton->setEnabled(true);
    if (FieldTabSet->currentIndex() != 0) {
        const QString caption = CaptionOfLine(FieldsListBox->currentRow());
        {
            QScopedValueRollback<bool> loading(FLoading, true);
            FieldTabSet->setCurrentIndex(0);
        }
        FillCriteriaFieldList(false);
        QScopedValueRollback<bool> loading(FLoading, true);
        const QList<QListWidgetItem*> found = FieldsListBox->findItems(caption, Qt::MatchFixedString);
        FieldsListBox->setCurrentRow(found.isEmpty() ? 0 : FieldsListBox->row(found.first()));
        FCurrentLine = FieldsListBox->currentRow();
    }
}

void TkqFilterDlg::DeleteSelectedCriterion()
{
    const int index = FindCriterion(CaptionOfLine(FieldsListBox->currentRow()));
    if (index >= 0) {
        FCriteria.removeAt(index);
        FChangedFlag = true;
        OKButton->setEnabled(true);
    }
    FillCriteriaFieldList(true);
    FCurrentLine = -1;
    {
        QScopedValueRollback<bool> loading(FLoading, true);
        FieldsListBox->setCurrentRow(FieldsListBox->count() > 0 ? 0 : -1);
    }
    CommitAndLoadField(true);
    ChooseCriteriaPage();
    FieldsListBox->setFocus();
}

bool TkqFilterDlg::HandleNavigationKey(QWidget* focus, int key, Qt::KeyboardModifiers modifiers)
{
    if (focus == FieldsListBox) {
        if (key == Qt::Key_Delete && FieldTabSet->currentIndex() == 1) {
            DeleteSelectedCriterion();
            return true;
        }
        return false;
    }
    int step = 0;
    const int page = qMax(1, FieldsListBox->height() / qMax(1, FieldsListBox->sizeHintForRow(0)));
    switch (key) {
    case Qt::Key_PageUp: step = -page; break;
    case Qt::Key_PageDown: step = page; break;
    case Qt::Key_Up: case Qt::Key_Down:
        if (modifiers & Qt::AltModifier) return false;
        if (auto* picker = qobject_cast<TkqDBCustomDateTimePicker*>(focus); picker && !picker->text().isEmpty())
            return false;
        step = key == Qt::Key_Up ? -1 : 1;
        break;
    default: return false;
    }
    const int count = FieldsListBox->count();
    if (count == 0) return true;
    const int from = FieldsListBox->currentRow();
    const int to = qBound(0, from + step, count - 1);
    if (to != from) {
        {
            QScopedValueRollback<bool> loading(FLoading, true);
            FieldsListBox->setCurrentRow(to);
        }
        if (CommitAndLoadField(true)) {
            ChooseCriteriaPage();
            FocusValueEditor();
        } else {
            QScopedValueRollback<bool> loading(FLoading, true);
            FieldsListBox->setCurrentRow(from);
        }
    }
    return true;
}

bool TkqFilterDlg::eventFilter(QObject* watched, QEvent* event)
{
    // Keys are previewed by the window: the receiver is the control that has the focus.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() && IsDescendantOf(watched, this)) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (HandleNavigationKey(static_cast<QWidget*>(watched), key->key(), key->modifiers())) return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TkqFilterDlg::keyPressEvent(QKeyEvent* event)
{
    QDialog::keyPressEvent(event);
}
