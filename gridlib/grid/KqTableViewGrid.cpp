#include "gridlib/grid/KqTableViewGrid.h"

#include "gridlib/grid/KqTableViewExpand.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"

#include <QAbstractButton>
#include <QAbstractTableModel>
#include <QApplication>
#include <QDrag>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <algorithm>

namespace {
const char* const DragFormat = "application/x-kqdbgrid-drag";

// The grid a widget belongs to: its nearest grid ancestor (a detail grid is its own).
const QWidget* OwningGrid(const QWidget* w)
{
    for (; w; w = w->parentWidget())
        if (qobject_cast<const TkqTableViewGrid*>(w)) return w;
    return nullptr;
}

void ShowError(const std::exception& e)
{
    if (Application()) Application()->ShowException(e);
}
} // namespace

// =============================================================================================
// The grid's data link

class TkqTableViewGrid::TGridDataLink : public TDataLink {
public:
    explicit TGridDataLink(TkqTableViewGrid* grid) : FGrid(grid) { SetVisualControl(true); }

protected:
    void ActiveChanged() override { FGrid->LinkActiveChanged(); }
    void DataSetChanged() override { FGrid->LinkDataSetChanged(); }
    void LayoutChanged() override
    {
        if (FGrid->FLayoutLock == 0) FGrid->LayoutChanged();
        FGrid->LinkDataSetChanged();
    }
    void RecordChanged(TField* field) override { FGrid->LinkRecordChanged(field); }
    void EditingChanged() override { FGrid->LinkEditingChanged(); }
    void UpdateData() override { FGrid->LinkUpdateData(); }
    void FocusControl(TField*& field) override { FGrid->LinkFocusControl(field); }

private:
    TkqTableViewGrid* FGrid;
};

// =============================================================================================
// The model: counts and texts only; the cells are read from the dataset when asked.

class TkqGridModel : public QAbstractTableModel {
public:
    explicit TkqGridModel(TkqTableViewGrid* grid) : QAbstractTableModel(grid), FGrid(grid) {}

    int rowCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : FRows; }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : FCols; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
        QString text;
        try {
            text = FGrid->GetCellText(index.row(), index.column());
        } catch (const std::exception& e) {
            FGrid->CellFailed(e);
        }
        return text;
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
        return FGrid->HeaderTitle(section);
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        if (!index.isValid()) return Qt::NoItemFlags;
        Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (FGrid->CanEditColumn(index.column())) f |= Qt::ItemIsEditable;
        return f;
    }

    void Reset(int rows, int cols)
    {
        FGrid->FCellError.clear();
        beginResetModel();
        FRows = rows;
        FCols = cols;
        endResetModel();
    }
    void InsertRow(int at)
    {
        at = qBound(0, at, FRows);
        beginInsertRows(QModelIndex(), at, at);
        ++FRows;
        endInsertRows();
    }
    void RemoveRow(int at)
    {
        if (FRows == 0) return;
        at = qBound(0, at, FRows - 1);
        beginRemoveRows(QModelIndex(), at, at);
        --FRows;
        endRemoveRows();
    }
    void TitlesChanged()
    {
        if (FCols > 0) emit headerDataChanged(Qt::Horizontal, 0, FCols - 1);
    }
    int Rows() const { return FRows; }
    int Cols() const { return FCols; }

private:
    TkqTableViewGrid* FGrid;
    int FRows = 0;
    int FCols = 1;
};

// =============================================================================================
// Cell painting and the in-place editor

class TkqGridDelegate : public QStyledItemDelegate {
public:
    explicit TkqGridDelegate(TkqTableViewGrid* grid) : QStyledItemDelegate(grid), FGrid(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        try {
            FGrid->PaintCell(painter, option.rect, index.row(), index.column());
        } catch (const std::exception& e) {
            FGrid->CellFailed(e);
        }
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override
    {
        auto* edit = new QLineEdit(parent);
        edit->setFrame(false);
        edit->setFont(FGrid->font());
        // A grid with its own pop-up menu shows it over the editor too.
        if (FGrid->PopupMenu()) edit->setContextMenuPolicy(Qt::NoContextMenu);
        FGrid->FEditor = edit;
        FGrid->FEditorRow = index.row();
        FGrid->FEditorColumn = index.column();
        QObject::connect(edit, &QLineEdit::textEdited, FGrid, [grid = FGrid](const QString&) {
            TApplication::Guard([&] {
                // The first keystroke puts the record into edit state, as the indicator shows.
                if (!grid->FDataLink->Edit()) grid->CloseEditor();
            });
        });
        return edit;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        auto* edit = qobject_cast<QLineEdit*>(editor);
        if (!edit || edit->isModified()) return;
        QString text;
        TApplication::Guard([&] {
            FGrid->WithRow(index.row(), [&] {
                if (TField* f = FGrid->GetColumnField(index.column())) text = f->EditText();
            });
        });
        edit->setText(text);
        edit->setModified(false);
    }

    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override
    {
        auto* edit = qobject_cast<QLineEdit*>(editor);
        if (!edit || !edit->isModified()) return;
        TApplication::Guard([&] {
            if (FGrid->WriteCell(index.row(), index.column(), edit->text())) edit->setModified(false);
        });
    }

    void destroyEditor(QWidget* editor, const QModelIndex& index) const override
    {
        if (FGrid->FEditor == editor) {
            FGrid->FEditor = nullptr;
            FGrid->FEditorRow = FGrid->FEditorColumn = -1;
        }
        QStyledItemDelegate::destroyEditor(editor, index);
    }

    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        editor->setGeometry(option.rect.adjusted(0, 0, -1, -1));
    }

private:
    TkqTableViewGrid* FGrid;
};

// =============================================================================================
// The title row

class TkqTitleHeader : public QHeaderView {
public:
    explicit TkqTitleHeader(TkqTableViewGrid* grid) : QHeaderView(Qt::Horizontal, grid), FGrid(grid)
    {
        setSectionsClickable(false);
        setHighlightSections(false);
        setSectionsMovable(false);
        setMinimumSectionSize(4);
    }

    int FHeight = 20;
    int FPressed = -1;

    QSize sizeHint() const override { return QSize(QHeaderView::sizeHint().width(), FHeight); }
    int SectionAt(int x) const
    {
        // Fixed columns stand still over the scrolled ones.
        const int n = FGrid->EffectiveFixedCols();
        int left = 0;
        for (int c = 0; c < n; ++c) {
            const int w = sectionSize(c);
            if (x < left + w) return c;
            left += w;
        }
        return logicalIndexAt(x);
    }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override
    {
        FGrid->PaintTitle(painter, rect, logicalIndex, logicalIndex == FPressed);
    }

    void mousePressEvent(QMouseEvent* e) override
    {
        const int x = e->position().toPoint().x();
        const bool onHandle = cursor().shape() == Qt::SplitHCursor;
        if (!onHandle && e->button() == Qt::LeftButton && FGrid->FTitleButtons) {
            FPressed = SectionAt(x);
            viewport()->update();
            e->accept();
            return;
        }
        QHeaderView::mousePressEvent(e);
    }
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        if (FPressed >= 0) {
            const int pressed = FPressed;
            FPressed = -1;
            viewport()->update();
            if (SectionAt(e->position().toPoint().x()) == pressed && FGrid->OnTitleButtonClick) {
                const QString name = FGrid->FieldNameOfColumn(pressed + FGrid->IndicatorOffset());
                TApplication::Guard([&] { FGrid->OnTitleButtonClick(FGrid, name); });
            }
            e->accept();
            return;
        }
        QHeaderView::mouseReleaseEvent(e);
    }
    void contextMenuEvent(QContextMenuEvent* e) override
    {
        // The title row is no ancestor of the grid's viewport: map through the grid.
        const QPoint inGrid = viewport()->mapTo(FGrid, e->pos());
        QContextMenuEvent copy(e->reason(), FGrid->viewport()->mapFrom(FGrid, inGrid), e->globalPos(), e->modifiers());
        FGrid->contextMenuEvent(&copy);
        e->accept();
    }

private:
    TkqTableViewGrid* FGrid;
};

// =============================================================================================
// The indicator column

class TkqIndicatorHeader : public QHeaderView {
public:
    explicit TkqIndicatorHeader(TkqTableViewGrid* grid) : QHeaderView(Qt::Vertical, grid), FGrid(grid)
    {
        setSectionsClickable(false);
        setHighlightSections(false);
        setSectionResizeMode(QHeaderView::Fixed);
        setMinimumSectionSize(1);
    }

    int FWidth = 11;

    QSize sizeHint() const override { return QSize(FWidth, 0); }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override
    {
        painter->save();
        painter->fillRect(rect, ColorToQColor(FGrid->FTitleColor));
        painter->setPen(palette().color(QPalette::Dark));
        painter->drawLine(rect.topRight(), rect.bottomRight());
        painter->drawLine(rect.bottomLeft(), rect.bottomRight());
        const int row = logicalIndex;
        TDataSet* ds = FGrid->DataSet();
        const QRect box(rect.left(), rect.top(), rect.width(), qMin(rect.height(), FGrid->DefaultRowHeight()));
        const QPoint c = box.center();
        painter->setRenderHint(QPainter::Antialiasing);
        if (FGrid->FOptions.Contains(dgMultiSelect) && FGrid->RowSelected(row)) {
            painter->setBrush(palette().color(QPalette::Highlight));
            painter->setPen(Qt::NoPen);
            painter->drawEllipse(QPoint(c.x(), c.y()), 2, 2);
        }
        if (ds && row == FGrid->CursorRow()) {
            painter->setPen(Qt::black);
            painter->setBrush(Qt::black);
            if (ds->State() == dsEdit) {
                painter->drawLine(c.x(), c.y() - 4, c.x(), c.y() + 4);
                painter->drawLine(c.x() - 2, c.y() - 4, c.x() + 2, c.y() - 4);
                painter->drawLine(c.x() - 2, c.y() + 4, c.x() + 2, c.y() + 4);
            } else if (ds->State() == dsInsert) {
                QFont f = painter->font();
                f.setBold(true);
                painter->setFont(f);
                painter->drawText(box, Qt::AlignCenter, QStringLiteral("*"));
            } else {
                QPainterPath arrow;
                arrow.moveTo(c.x() - 2, c.y() - 4);
                arrow.lineTo(c.x() + 2, c.y());
                arrow.lineTo(c.x() - 2, c.y() + 4);
                arrow.closeSubpath();
                painter->drawPath(arrow);
            }
        }
        painter->restore();
    }

    void mousePressEvent(QMouseEvent* e) override
    {
        const int row = logicalIndexAt(e->position().toPoint().y());
        if (row >= 0 && e->button() == Qt::LeftButton) FGrid->GuardedMoveToRow(row);
        FGrid->setFocus();
        e->accept();
    }

private:
    TkqTableViewGrid* FGrid;
};

// =============================================================================================
// Fixed columns: drawn over the scrolled columns, in the cells and in the title row. Clicks
// pass through to the grid, which maps them to the fixed columns.

class TkqFixedOverlay : public QWidget {
public:
    TkqFixedOverlay(TkqTableViewGrid* grid, QWidget* parent, bool titles) : QWidget(parent), FGrid(grid), FTitles(titles)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const int n = FGrid->EffectiveFixedCols();
        if (FTitles) {
            int x = 0;
            for (int c = 0; c < n; ++c) {
                const int w = FGrid->columnWidth(c);
                FGrid->PaintTitle(&p, QRect(x, 0, w, height()), c, FGrid->FTitleHeader->FPressed == c);
                x += w;
            }
            return;
        }
        p.fillRect(rect(), ColorToQColor(FGrid->FColor));
        const int first = FGrid->rowAt(0);
        if (first < 0) return;
        int last = FGrid->rowAt(height() - 1);
        if (last < 0) last = FGrid->FModel->Rows() - 1;
        const QColor line = FGrid->palette().color(QPalette::Mid);
        for (int r = first; r <= last; ++r) {
            const int y = FGrid->rowViewportPosition(r);
            const int h = FGrid->rowHeight(r);
            int x = 0;
            for (int c = 0; c < n; ++c) {
                const int w = FGrid->columnWidth(c);
                const QRect cell(x, y, w - 1, h - 1);
                try {
                    FGrid->PaintCell(&p, cell, r, c);
                } catch (const std::exception& e) {
                    FGrid->CellFailed(e);
                }
                p.setPen(line);
                p.drawLine(cell.topRight() + QPoint(1, 0), cell.bottomRight() + QPoint(1, 1));
                p.drawLine(cell.bottomLeft() + QPoint(0, 1), cell.bottomRight() + QPoint(1, 1));
                x += w;
            }
        }
    }

private:
    TkqTableViewGrid* FGrid;
    bool FTitles;
};

// =============================================================================================
// TkqTableViewColumn

int TkqTableViewColumn::DisplayWidth() const
{
    if (FFieldName.isEmpty()) return 0;
    if (FGrid->FUseTFields) {
        if (TDataSet* ds = FGrid->DataSet())
            if (TField* f = ds->FindField(FFieldName)) return f->DisplayWidth();
    }
    const int i = FindSelectedEntry(FGrid->FSelected, FFieldName);
    return i >= 0 ? SelectedPart(FGrid->FSelected[i], 1).toInt() : 0;
}

QString TkqTableViewColumn::DisplayLabel() const
{
    if (FFieldName.isEmpty()) return {};
    if (FGrid->FUseTFields) {
        if (TDataSet* ds = FGrid->DataSet())
            if (TField* f = ds->FindField(FFieldName)) return f->DisplayLabel();
    }
    const int i = FindSelectedEntry(FGrid->FSelected, FFieldName);
    return i >= 0 ? SelectedPart(FGrid->FSelected[i], 2) : QString();
}

void TkqTableViewColumn::SetDisplayLabel(const QString& label)
{
    if (FFieldName.isEmpty()) return;
    ++FGrid->FLayoutLock;
    try {
        const int i = FindSelectedEntry(FGrid->FSelected, FFieldName);
        if (i >= 0) FGrid->FSelected[i] = WithSelectedPart(FGrid->FSelected[i], 2, label);
        if (FGrid->FUseTFields)
            if (TDataSet* ds = FGrid->DataSet())
                if (TField* f = ds->FindField(FFieldName)) f->SetDisplayLabel(label);
    } catch (...) {
        --FGrid->FLayoutLock;
        throw;
    }
    --FGrid->FLayoutLock;
    FGrid->FModel->TitlesChanged();
    FGrid->SetColumnWidths();
    FGrid->viewport()->update();
}

bool TkqTableViewColumn::ReadOnly() const
{
    const int i = FindSelectedEntry(FGrid->FSelected, FFieldName);
    return i >= 0 && SelectedPart(FGrid->FSelected[i], 3) == QLatin1String("T");
}

// =============================================================================================
// TkqTableViewGrid: construction

TkqTableViewGrid::TkqTableViewGrid(QWidget* parent)
    : QTableView(parent),
      FDataLink(std::make_unique<TGridDataLink>(this)),
      FModel(new TkqGridModel(this)),
      FDelegate(new TkqGridDelegate(this)),
      FTitleHeader(new TkqTitleHeader(this)),
      FIndicator(new TkqIndicatorHeader(this)),
      FDummyColumn(std::make_unique<TkqTableViewColumn>(this, QString())),
      FOptions({dgEditing, dgTitles, dgIndicator, dgColumnResize, dgColLines, dgRowLines, dgTabs,
                dgConfirmDelete, dgCancelOnExit, dgWordWrap}),
      FKeyOptions({dgAllowDelete, dgAllowInsert}),
      FEditControlOptions({ecoSearchOwnerForm}),
      FMemoAttributes({mSizeable, mWordWrap}),
      FTitleColor(clBtnFace),
      FColor(clWindow)
{
    FFixedOverlay = new TkqFixedOverlay(this, viewport(), false);
    FFixedTitleOverlay = new TkqFixedOverlay(this, FTitleHeader->viewport(), true);
    setHorizontalHeader(FTitleHeader);
    setVerticalHeader(FIndicator);
    // The headers do not select: rows follow the dataset, never the other way round.
    disconnect(FTitleHeader, &QHeaderView::sectionPressed, this, nullptr);
    disconnect(FTitleHeader, &QHeaderView::sectionEntered, this, nullptr);
    disconnect(FIndicator, &QHeaderView::sectionPressed, this, nullptr);
    disconnect(FIndicator, &QHeaderView::sectionEntered, this, nullptr);
    setModel(FModel);
    setItemDelegate(FDelegate);
    setSelectionMode(QAbstractItemView::NoSelection);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setCornerButtonEnabled(false);
    setWordWrap(false);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragEnabled(false);
    setAutoScroll(false);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    FTitleFont = font();
    connect(FTitleHeader, &QHeaderView::sectionResized, this, [this](int section, int, int newSize) {
        LayoutOverlays();
        UpdateCellControl();
        if (FSettingWidths || FLayoutLock > 0 || !IsDataSetActive()) return;
        // A width the user dragged goes back to the field (or the Selected line) in characters.
        const int c = QFontMetrics(font()).horizontalAdvance(QLatin1Char('0'));
        if (c <= 0) return;
        const int p = qMax(0, c / 2 - 3);
        const int chars = qMax(1, (newSize + p - 4) / c);
        TApplication::Guard([&] {
            ++FLayoutLock;
            try {
                if (FUseTFields) {
                    if (TField* f = GetField(section)) f->SetDisplayWidth(chars);
                } else if (section < FSelected.size()) {
                    FSelected[section] = WithSelectedPart(FSelected[section], 1, QString::number(chars));
                }
            } catch (...) {
                --FLayoutLock;
                throw;
            }
            --FLayoutLock;
        });
    });
    connect(qApp, &QApplication::focusChanged, this, &TkqTableViewGrid::FocusChanged);
    UpdateRowHeights();
    FModel->Reset(0, 1);
}

TkqTableViewGrid::~TkqTableViewGrid()
{
    FDataLink->SetDataSource(nullptr);
}

// =============================================================================================
// Data

TDataSource* TkqTableViewGrid::DataSource() const { return FDataLink->DataSource(); }

void TkqTableViewGrid::SetDataSource(TDataSource* source)
{
    if (source == FDataLink->DataSource()) return;
    CollapseExpandButtons();
    ClearSelection();
    FDataLink->SetDataSource(source);
    LinkActiveChanged();
}

TDataLink& TkqTableViewGrid::DataLink() { return *FDataLink; }
TDataSet* TkqTableViewGrid::DataSet() const { return FDataLink->DataSet(); }

bool TkqTableViewGrid::IsDataSetActive() const
{
    TDataSet* ds = DataSet();
    return FDataLink->Active() && ds && ds->Active();
}

template <typename F>
void TkqTableViewGrid::WithRow(int row, F&& fn) const
{
    TDataLink& link = *FDataLink;
    const int saved = link.ActiveRecord();
    link.SetActiveRecord(row - link.FirstRecord());
    try {
        fn();
    } catch (...) {
        link.SetActiveRecord(saved);
        throw;
    }
    link.SetActiveRecord(saved);
}

int TkqTableViewGrid::CursorRow() const
{
    if (!IsDataSetActive()) return -1;
    TDataSet* ds = DataSet();
    const int r = ds->RecNo() - 1;
    return r < FModel->Rows() ? r : FModel->Rows() - 1;
}

QStringList TkqTableViewGrid::ActiveControlTypeList() const
{
    QStringList list;
    if (FControlInfoInDataset && GetStringListProperty(DataSet(), "ControlType", list)) return list;
    return FControlType;
}

// =============================================================================================
// Fields and columns

TField* TkqTableViewGrid::GetField(int index) const
{
    TDataSet* ds = DataSet();
    if (!ds || index < 0 || index >= int(FFieldMap.size())) return nullptr;
    const int fi = FFieldMap[size_t(index)];
    return fi >= 0 && fi < ds->FieldCount() ? ds->Fields()[fi] : nullptr;
}

TField* TkqTableViewGrid::GetColumnField(int dataColumn) const
{
    if (dataColumn < 0 || !FDataLink->Active()) return nullptr;
    return GetField(dataColumn);
}

TField* TkqTableViewGrid::GetSelectedField() const
{
    const QModelIndex cur = currentIndex();
    return cur.isValid() ? GetColumnField(cur.column()) : (FieldCount() > 0 ? GetColumnField(0) : nullptr);
}

TkqTableViewColumn* TkqTableViewGrid::GetColumn(int dataColumn) const
{
    if (dataColumn < 0 || dataColumn >= int(FColumns.size())) return FDummyColumn.get();
    return FColumns[size_t(dataColumn)].get();
}

TkqTableViewColumn* TkqTableViewGrid::ColumnByFieldName(const QString& name) const
{
    for (const auto& c : FColumns)
        if (c->FieldName().compare(name, Qt::CaseInsensitive) == 0) return c.get();
    return FDummyColumn.get();
}

QString TkqTableViewGrid::FieldNameOfColumn(int col) const
{
    const int dc = col - IndicatorOffset();
    if (FDataLink->Active()) {
        TField* f = GetColumnField(dc);
        return f ? f->FieldName() : QString();
    }
    return dc >= 0 && dc < FSelected.size() ? SelectedPart(FSelected[dc], 0) : QString();
}

void TkqTableViewGrid::SelectColumn(int dataColumn)
{
    if (dataColumn < 0 || dataColumn >= FModel->Cols()) return;
    const int row = CursorRow();
    if (row < 0) return;
    setCurrentIndex(FModel->index(row, qMax(dataColumn, FirstCurrentColumn())));
}

void TkqTableViewGrid::SelectFieldByName(const QString& name)
{
    if (!FDataLink->Active()) return;
    for (int i = 0; i < FieldCount(); ++i)
        if (TField* f = GetField(i); f && f->FieldName().compare(name, Qt::CaseInsensitive) == 0) {
            SelectColumn(i);
            return;
        }
}

bool TkqTableViewGrid::IsMemoField(const TField* field) const
{
    return field && (field->DataType() == ftMemo || field->DataType() == ftOraClob || field->DataType() == ftFmtMemo);
}

QString TkqTableViewGrid::HeaderTitle(int dataColumn) const
{
    return GetColumn(dataColumn)->DisplayLabel();
}

QString TkqTableViewGrid::GetCellText(int row, int dataColumn) const
{
    QString text;
    if (!IsDataSetActive() || row < 0 || row >= FModel->Rows()) return text;
    WithRow(row, [&] { text = FieldText(GetColumnField(dataColumn), dataColumn); });
    return text;
}

void TkqTableViewGrid::CellFailed(const std::exception& e) const
{
    if (dynamic_cast<const EAbort*>(&e)) return;
    const auto* ex = dynamic_cast<const Exception*>(&e);
    const QString message = ex ? ex->Message() : QString::fromUtf8(e.what());
    if (message == FCellError) return;
    FCellError = message;
    // Not from inside the paint: a message box there would paint again.
    PostCall(const_cast<TkqTableViewGrid*>(this), [message] { throw Exception(message); });
}

QString TkqTableViewGrid::FieldText(TField* field, int dataColumn) const
{
    if (!field) return {};
    if (IsMemoField(field)) return FMemoAttributes.Contains(mGridShow) ? field->AsString() : QStringLiteral("(Memo)");
    if (dataColumn < int(FColumnControlNames.size()) && !FColumnControlNames[size_t(dataColumn)].isEmpty()) {
        // A combo that maps stored values shows the display text of the value.
        if (const auto* map = dynamic_cast<const TkqCellTextMap*>(FindCellControl(dataColumn))) {
            const QString mapped = map->MapStoredToDisplay(field->AsString());
            if (!mapped.isNull()) return mapped;
        }
    }
    return field->DisplayText();
}

// =============================================================================================
// Layout

void TkqTableViewGrid::SetSelected(const QStringList& lines) { FSelected = lines; }

void TkqTableViewGrid::SetUseTFields(bool value)
{
    if (value == FUseTFields) return;
    FUseTFields = value;
    LayoutChanged();
}

void TkqTableViewGrid::SetOptions(TkqDBGridOptions options)
{
    if (options == FOptions) return;
    FOptions = options;
    setShowGrid(FOptions.Contains(dgColLines) || FOptions.Contains(dgRowLines));
    setTabKeyNavigation(FOptions.Contains(dgTabs));
    FTitleHeader->setSectionResizeMode(FOptions.Contains(dgColumnResize) ? QHeaderView::Interactive : QHeaderView::Fixed);
    FTitleHeader->setVisible(FOptions.Contains(dgTitles));
    FIndicator->setVisible(FOptions.Contains(dgIndicator));
    auto triggers = QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed;
    if (FOptions.Contains(dgAlwaysShowEditor)) triggers |= QAbstractItemView::CurrentChanged;
    setEditTriggers(triggers);
    if (!FOptions.Contains(dgMultiSelect)) ClearSelection();
    LayoutChanged();
}

void TkqTableViewGrid::SetMemoAttributes(TkqMemoAttributes attributes)
{
    FMemoAttributes = attributes;
    RefreshLayout();
}

void TkqTableViewGrid::SetReadOnly(bool readOnly)
{
    if (readOnly == FReadOnly) return;
    FReadOnly = readOnly;
    if (readOnly) CloseEditor();
    UpdateCellControl();
    viewport()->update();
}

void TkqTableViewGrid::SetFixedCols(int count)
{
    FFixedCols = count;
    LayoutOverlays();
    viewport()->update();
    UpdateCellControl();
}

void TkqTableViewGrid::SetTitleLines(int lines)
{
    if (lines < 1 || lines == FTitleLines) return;
    FTitleLines = lines;
    LayoutChanged();
}

void TkqTableViewGrid::SetTitleFont(const QFont& font)
{
    FTitleFont = font;
    LayoutChanged();
}

void TkqTableViewGrid::SetTitleAlignment(TAlignment alignment)
{
    FTitleAlignment = alignment;
    FTitleHeader->viewport()->update();
}

void TkqTableViewGrid::SetTitleButtons(bool value)
{
    FTitleButtons = value;
    FTitleHeader->viewport()->update();
}

void TkqTableViewGrid::SetTitleColor(TColor color)
{
    if (color == FTitleColor) return;
    FTitleColor = color;
    FTitleHeader->viewport()->update();
    FIndicator->viewport()->update();
}

void TkqTableViewGrid::SetColor(TColor color)
{
    if (color == FColor) return;
    FColor = color;
    viewport()->update();
    FFixedOverlay->update();
}

void TkqTableViewGrid::SetRowHeightPercent(int percent)
{
    if (percent <= 0) {
        FRowHeightPercent = 100;
        return;
    }
    if (percent == FRowHeightPercent) return;
    FRowHeightPercent = percent;
    LayoutChanged();
}

void TkqTableViewGrid::SetShowHorzScrollBar(bool value)
{
    FShowHorzScrollBar = value;
    setHorizontalScrollBarPolicy(value ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}

void TkqTableViewGrid::SetTitleImageList(const QList<QIcon>& images)
{
    FTitleImages = images;
    FTitleHeader->viewport()->update();
}

void TkqTableViewGrid::SetIndicatorButton(QAbstractButton* button)
{
    if (FIndicatorButton == button) return;
    FIndicatorButton = button;
    if (button) {
        button->setParent(this);
        button->show();
        button->raise();
    }
    updateGeometries();
}

void TkqTableViewGrid::SetHeight(int height) { setFixedHeight(qMax(0, height)); }

void TkqTableViewGrid::RefreshLayout()
{
    TDataSet* ds = DataSet();
    if (!ds || FLayoutLock > 0) return;
    HideCellControl();
    PrepareCustomControls();
    if (!FSelected.isEmpty() && FDataLink->Active() && FUseTFields) {
        bool calculated = false;
        for (const TField* f : ds->Fields()) calculated = calculated || f->Calculated();
        if (!calculated) {
            ++FLayoutLock;
            try {
                ApplySelectedToFields(ds, FSelected);
            } catch (...) {
                --FLayoutLock;
                LayoutChanged();
                throw;
            }
            --FLayoutLock;
        }
    }
    LayoutChanged();
}

void TkqTableViewGrid::DefineFieldMap()
{
    FFieldMap.clear();
    TDataSet* ds = DataSet();
    if (!ds || !FDataLink->Active()) return;
    if (FUseTFields) {
        for (int i = 0; i < ds->FieldCount(); ++i)
            if (ds->Fields()[i]->Visible()) FFieldMap.push_back(i);
        return;
    }
    for (int k = 0; k < FSelected.size();) {
        TField* f = ds->FindField(SelectedPart(FSelected[k], 0));
        if (!f) {
            FSelected.removeAt(k);
            continue;
        }
        FFieldMap.push_back(f->Index());
        ++k;
    }
}

void TkqTableViewGrid::LayoutChanged()
{
    if (FLayoutLock > 0) return;
    ++FLayoutLock;
    try {
        CollapseExpandButtons();
        HideCellControl();
        const std::vector<int> oldMap = FFieldMap;
        DefineFieldMap();
        FColumns.clear();
        FColumnControlNames.clear();
        const QStringList controlTypes = ActiveControlTypeList();
        for (size_t i = 0; i < FFieldMap.size(); ++i) {
            TField* f = GetField(int(i));
            const QString name = f ? f->FieldName() : QString();
            FColumns.push_back(std::make_unique<TkqTableViewColumn>(this, name));
            // The control of the first edit-kind line of the field.
            QString control;
            for (const QString& line : controlTypes) {
                const QStringList parts = line.split(QLatin1Char(';'));
                if (parts.value(0) != name || parts.size() < 2) continue;
                if (IsEditControlType(parts[1])) {
                    control = parts.value(2);
                    break;
                }
            }
            FColumnControlNames.push_back(control);
        }
        UpdateRowHeights();
        const int cols = qMax(1, int(FFieldMap.size()));
        const int rows = IsDataSetActive() ? DataSet()->RecordCount() : 0;
        if (oldMap != FFieldMap || cols != FModel->Cols() || rows != FModel->Rows()) {
            FModel->Reset(rows, cols);
        } else {
            FModel->TitlesChanged();
        }
        SetColumnWidths();
        SyncCurrentIndex();
    } catch (...) {
        --FLayoutLock;
        throw;
    }
    --FLayoutLock;
    LayoutOverlays();
    viewport()->update();
    FTitleHeader->viewport()->update();
    UpdateCellControl();
}

void TkqTableViewGrid::UpdateRowHeights()
{
    const QFontMetrics fm(font());
    const int line = FOptions.Contains(dgRowLines) ? 1 : 0;
    const int h = qMax(4, (fm.height() + 2 + line) * FRowHeightPercent / 100);
    if (FIndicator->defaultSectionSize() != h) FIndicator->setDefaultSectionSize(h);
    const QFontMetrics tm(FTitleFont);
    FTitleHeader->FHeight = tm.height() * FTitleLines + 4 + (FOptions.Contains(dgRowLines) ? 0 : 1);
    FTitleHeader->setFixedHeight(FTitleHeader->FHeight);
    FIndicator->FWidth = FIndicatorButton ? qMax(11, FIndicatorButton->width() - 1) : 11;
    FIndicator->setFixedWidth(FIndicator->FWidth);
    if (FExpandedRow >= 0) FExpandedRow = -1;
}

void TkqTableViewGrid::SetColumnWidths()
{
    FSettingWidths = true;
    const QFontMetrics fm(font());
    const QFontMetrics tm(FTitleFont);
    const int zero = fm.horizontalAdvance(QLatin1Char('0'));
    for (int i = 0; i < FModel->Cols(); ++i) {
        TField* f = GetField(i);
        int chars = 0;
        QString title;
        if (FUseTFields) {
            chars = f ? f->DisplayWidth() : 0;
            title = f ? f->DisplayLabel() : QString();
        } else if (i < FSelected.size()) {
            chars = SelectedPart(FSelected[i], 1).toInt();
            title = SelectedPart(FSelected[i], 2);
        }
        int width = f || !FUseTFields ? zero * chars + 4 : 64;
        if (FOptions.Contains(dgTitles) && !FOptions.Contains(dgNoLimitColSize)) {
            int tw = 0;
            for (const QString& l : title.split(QLatin1Char('~'))) {
                if (l.isEmpty()) break;
                tw = qMax(tw, tm.horizontalAdvance(l));
            }
            width = qMax(width, tw + 4);
        }
        setColumnWidth(i, width);
    }
    FSettingWidths = false;
    LayoutOverlays();
}

int TkqTableViewGrid::EffectiveFixedCols() const
{
    return FFixedCols > 0 && FFixedCols < FModel->Cols() && FModel->Rows() >= 0 && IsDataSetActive() ? FFixedCols : 0;
}

int TkqTableViewGrid::FirstCurrentColumn() const
{
    return FOptions.Contains(dgFixedEditable) ? 0 : EffectiveFixedCols();
}

int TkqTableViewGrid::FixedWidth() const
{
    int w = 0;
    for (int c = 0; c < EffectiveFixedCols(); ++c) w += columnWidth(c);
    return w;
}

int TkqTableViewGrid::ColumnX(int dataColumn) const
{
    if (dataColumn < EffectiveFixedCols()) {
        int x = 0;
        for (int c = 0; c < dataColumn; ++c) x += columnWidth(c);
        return x;
    }
    return columnViewportPosition(dataColumn);
}

void TkqTableViewGrid::LayoutOverlays()
{
    const int n = EffectiveFixedCols();
    const bool show = n > 0 && horizontalScrollBar()->value() > 0;
    const int w = FixedWidth();
    FFixedOverlay->setVisible(show);
    FFixedTitleOverlay->setVisible(show && FOptions.Contains(dgTitles));
    if (show) {
        FFixedOverlay->setGeometry(0, 0, w, viewport()->height());
        FFixedTitleOverlay->setGeometry(0, 0, w, FTitleHeader->height());
        FFixedOverlay->update();
        FFixedTitleOverlay->update();
    }
}

void TkqTableViewGrid::updateGeometries()
{
    QTableView::updateGeometries();
    if (FIndicatorButton && FOptions.Contains(dgIndicator) && FOptions.Contains(dgTitles)) {
        const int fw = frameWidth();
        FIndicatorButton->setGeometry(fw, fw, FIndicator->width(), FTitleHeader->height());
        FIndicatorButton->raise();
    }
    const int visible = qMax(1, viewport()->height() / qMax(1, DefaultRowHeight()) + 1);
    FDataLink->SetBufferCount(visible);
    LayoutOverlays();
}

// =============================================================================================
// Grid coordinates

int TkqTableViewGrid::ColCount() const { return FModel->Cols() + IndicatorOffset(); }
int TkqTableViewGrid::RowCount() const { return VisibleRowCount() + TitleOffset(); }

int TkqTableViewGrid::Col() const
{
    const QModelIndex cur = currentIndex();
    return (cur.isValid() ? cur.column() : 0) + IndicatorOffset();
}

void TkqTableViewGrid::SetCol(int col) { SelectColumn(col - IndicatorOffset()); }

int TkqTableViewGrid::Row() const { return GetDataRow() + TitleOffset(); }

int TkqTableViewGrid::LeftCol() const
{
    const int n = EffectiveFixedCols();
    int c = columnAt(FixedWidth() + 1);
    if (c < 0) c = n;
    return qMax(c, n) + IndicatorOffset();
}

void TkqTableViewGrid::SetLeftCol(int col)
{
    const int dc = col - IndicatorOffset();
    if (dc < 0 || dc >= FModel->Cols()) return;
    horizontalScrollBar()->setValue(qMax(0, columnViewportPosition(dc) + horizontalOffset() - FixedWidth()));
}

int TkqTableViewGrid::TopRow() const
{
    const int r = rowAt(0);
    return (r < 0 ? 0 : r) + TitleOffset();
}

int TkqTableViewGrid::VisibleRowCount() const
{
    const int first = rowAt(0);
    if (first < 0) return 0;
    int n = 0;
    const int h = viewport()->height();
    for (int r = first; r < FModel->Rows(); ++r) {
        if (rowViewportPosition(r) + rowHeight(r) > h) break;
        ++n;
    }
    return n;
}

int TkqTableViewGrid::VisibleColCount() const
{
    int n = 0;
    const int w = viewport()->width();
    for (int c = 0; c < FModel->Cols(); ++c) {
        const int x = ColumnX(c);
        if (x >= 0 && x + columnWidth(c) <= w) ++n;
    }
    return n;
}

int TkqTableViewGrid::ColWidths(int col) const
{
    if (col < IndicatorOffset()) return FIndicator->width();
    return columnWidth(col - IndicatorOffset());
}

void TkqTableViewGrid::SetColWidths(int col, int width)
{
    if (col < IndicatorOffset()) return;
    setColumnWidth(col - IndicatorOffset(), width);
}

int TkqTableViewGrid::DefaultRowHeight() const { return FIndicator->defaultSectionSize(); }
int TkqTableViewGrid::ClientWidth() const { return width() - 2 * frameWidth(); }

TGridCoord TkqTableViewGrid::MouseCoord(int x, int y) const
{
    TGridCoord g{-1, -1};
    const QPoint vp = viewport()->mapFrom(this, QPoint(x, y));
    int col = -1;
    if (vp.x() < 0) {
        if (FOptions.Contains(dgIndicator) && x >= frameWidth() && x < frameWidth() + FIndicator->width()) col = 0;
    } else if (vp.x() < viewport()->width()) {
        const QModelIndex idx = indexAt(QPoint(vp.x(), qMax(0, vp.y())));
        int dc = idx.isValid() ? idx.column() : columnAt(vp.x());
        if (vp.x() < FixedWidth()) dc = FTitleHeader->SectionAt(vp.x());
        if (dc >= 0) col = dc + IndicatorOffset();
    }
    int row = -1;
    if (vp.y() < 0) {
        if (FOptions.Contains(dgTitles) && y >= frameWidth() && y < frameWidth() + FTitleHeader->height()) row = 0;
    } else if (vp.y() < viewport()->height()) {
        const int r = rowAt(vp.y());
        const int top = rowAt(0);
        if (r >= 0 && top >= 0) row = r - top + TitleOffset();
    }
    if (col < 0 || row < 0) return g;
    g.X = col;
    g.Y = row;
    return g;
}

int TkqTableViewGrid::GetDataRow() const
{
    const int cur = CursorRow();
    const int top = rowAt(0);
    if (cur < 0) return 0;
    return cur - (top < 0 ? 0 : top);
}

void TkqTableViewGrid::SetDataRow(int index)
{
    const int top = qMax(0, rowAt(0));
    const int target = qBound(0, top + index, qMax(0, FModel->Rows() - 1));
    if (FModel->Rows() == 0) return;
    const int keepTop = top;
    MoveToRow(target);
    // The rows stay where they were on the screen.
    if (rowAt(0) != keepTop) verticalScrollBar()->setValue(keepTop);
}

// =============================================================================================
// Following the dataset

void TkqTableViewGrid::LinkActiveChanged()
{
    CloseEditor();
    if (!FDataLink->Active()) {
        CollapseExpandButtons();
        HideCellControl();
        ClearSelection();
        FShiftSelecting = false;
        FFieldMap.clear();
        FColumns.clear();
        FColumnControlNames.clear();
        FModel->Reset(0, qMax(1, int(FUseTFields ? 0 : FSelected.size())));
        FLastCursorRow = -1;
        FLastRowBookmark = TBookmark();
        LayoutOverlays();
        return;
    }
    FLastCursorRow = -1;
    RefreshLayout();
    CheckRowChanged();
}

void TkqTableViewGrid::UpdateRowCount()
{
    const int rows = IsDataSetActive() ? DataSet()->RecordCount() : 0;
    if (rows == FModel->Rows()) return;
    CollapseExpandButtons();
    const QModelIndex cur = currentIndex();
    const int col = cur.isValid() ? cur.column() : 0;
    FSyncing = true;
    if (rows == FModel->Rows() + 1) {
        FModel->InsertRow(qMax(0, CursorRow()));
    } else if (rows == FModel->Rows() - 1) {
        FModel->RemoveRow(FLastCursorRow >= 0 ? FLastCursorRow : CursorRow());
    } else {
        FModel->Reset(rows, FModel->Cols());
        SetColumnWidths();
    }
    FSyncing = false;
    // Qt moved or dropped the current index with the rows; it follows the cursor again.
    if (const int r = CursorRow(); r >= 0) {
        FSyncing = true;
        selectionModel()->setCurrentIndex(FModel->index(r, qMin(col, FModel->Cols() - 1)), QItemSelectionModel::NoUpdate);
        FSyncing = false;
    }
}

void TkqTableViewGrid::SyncCurrentIndex()
{
    const int r = CursorRow();
    FSyncing = true;
    if (r < 0) {
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    } else {
        const QModelIndex cur = currentIndex();
        int col = cur.isValid() ? cur.column() : 0;
        if (!cur.isValid()) {
            // The first column the user may reach with Tab.
            for (int c = EffectiveFixedCols(); c < FModel->Cols(); ++c)
                if (TField* f = GetField(c); f && !f->ReadOnly()) {
                    col = c;
                    break;
                }
        }
        col = qBound(FirstCurrentColumn(), col, FModel->Cols() - 1);
        const QModelIndex idx = FModel->index(r, col);
        if (idx != cur) selectionModel()->setCurrentIndex(idx, QItemSelectionModel::NoUpdate);
        if (isVisible()) {
            // Rows added just now must be laid out first, or the scroll range is too short.
            executeDelayedItemsLayout();
            const int sx = horizontalScrollBar()->value();
            QTableView::scrollTo(idx, EnsureVisible);
            horizontalScrollBar()->setValue(sx);
        }
    }
    FSyncing = false;
}

void TkqTableViewGrid::CheckRowChanged()
{
    TBookmark bm;
    if (IsDataSetActive() && CursorRow() >= 0) bm = DataSet()->GetBookmark();
    const int row = CursorRow();
    if (row != FLastCursorRow || !(bm == FLastRowBookmark)) {
        CollapseExpandButtons();
        FLastCursorRow = row;
        FLastRowBookmark = bm;
        if (OnRowChanged) OnRowChanged(this);
        if (OnCellChanged) OnCellChanged(this);
    }
}

void TkqTableViewGrid::LinkDataSetChanged()
{
    if (!IsDataSetActive()) return;
    if (FEditor && FEditorRow != CursorRow()) CloseEditor();
    UpdateRowCount();
    FollowEditor();
    SyncCurrentIndex();
    CheckRowChanged();
    viewport()->update();
    FFixedOverlay->update();
    RepaintIndicator();
    UpdateCellControl();
}

void TkqTableViewGrid::FollowEditor()
{
    if (!FEditor) return;
    // The editor belongs to the current record: it closes when the cursor left its row, and an
    // untouched one shows what the row holds now (a record inserted or appended there).
    if (FEditorRow != CursorRow()) CloseEditor();
    else if (!FEditor->isModified()) FDelegate->setEditorData(FEditor, FModel->index(FEditorRow, FEditorColumn));
}

void TkqTableViewGrid::LinkRecordChanged(TField* field)
{
    Q_UNUSED(field);
    if (FEditor && !FEditor->isModified() && FEditorRow == CursorRow()) {
        const QModelIndex idx = FModel->index(FEditorRow, FEditorColumn);
        FDelegate->setEditorData(FEditor, idx);
    }
    viewport()->update();
    FFixedOverlay->update();
}

void TkqTableViewGrid::LinkEditingChanged()
{
    RepaintIndicator();
    viewport()->update();
}

void TkqTableViewGrid::LinkUpdateData() { CommitEditor(); }

void TkqTableViewGrid::LinkFocusControl(TField*& field)
{
    if (!field) return;
    for (int i = 0; i < FieldCount(); ++i)
        if (GetField(i) == field) {
            SelectColumn(i);
            setFocus();
            field = nullptr;
            return;
        }
}

void TkqTableViewGrid::RepaintIndicator() { FIndicator->viewport()->update(); }

// =============================================================================================
// Moving and editing

void TkqTableViewGrid::MoveToRow(int row)
{
    TDataSet* ds = DataSet();
    if (!IsDataSetActive()) return;
    const int cur = CursorRow();
    if (row == cur || row < 0 || row >= FModel->Rows()) return;
    CommitEditor();
    ds->MoveBy(row - cur);
}

bool TkqTableViewGrid::GuardedMoveToRow(int row)
{
    bool ok = true;
    try {
        MoveToRow(row);
    } catch (const std::exception& e) {
        ok = false;
        ShowError(e);
        SyncCurrentIndex();
    }
    return ok && CursorRow() == row;
}

void TkqTableViewGrid::CommitEditor()
{
    if (!FEditor || !FEditor->isModified()) return;
    if (WriteCell(FEditorRow, FEditorColumn, FEditor->text())) FEditor->setModified(false);
}

void TkqTableViewGrid::CloseEditor()
{
    if (!FEditor) return;
    QWidget* e = FEditor;
    // An editor the view already let go (a reset hides it) or whose row is gone is put away here.
    const bool inView = !e->isHidden() && FEditorRow < FModel->rowCount() && FEditorColumn < FModel->columnCount();
    FEditor = nullptr;
    FEditorRow = FEditorColumn = -1;
    if (inView) {
        closeEditor(e, QAbstractItemDelegate::NoHint);
        return;
    }
    // The view forgets an editor once it is destroyed.
    if (e->hasFocus()) setFocus();
    e->hide();
    e->deleteLater();
}

bool TkqTableViewGrid::CanEdit() const { return FOptions.Contains(dgEditing) && !FReadOnly; }

bool TkqTableViewGrid::CanEditColumn(int dataColumn) const
{
    if (!CanEdit() || !IsDataSetActive() || FOptions.Contains(dgRowSelect)) return false;
    TField* f = GetColumnField(dataColumn);
    if (!f || f->ReadOnly() || f->IsBlob() || f->DataType() == ftDataSet) return false;
    if (f->Calculated() && !FEditCalculated) return false;
    if (f->Lookup()) return false;
    if (GetColumn(dataColumn)->ReadOnly() && FEditControlOptions.Contains(ecoDisableEditorIfReadOnly)) return false;
    if (dataColumn < int(FColumnControlNames.size()) && !FColumnControlNames[size_t(dataColumn)].isEmpty() &&
        FindCellControl(dataColumn))
        return false;
    return DataSet()->CanModify();
}

bool TkqTableViewGrid::WriteCell(int row, int dataColumn, const QString& text)
{
    if (!IsDataSetActive() || row != CursorRow()) return false;
    TField* f = GetColumnField(dataColumn);
    if (!f || !CanEditColumn(dataColumn)) return false;
    if (!FDataLink->Edit()) return false;
    if (f->EditText() == text && !f->IsNull()) return true;
    f->SetEditText(text);
    return true;
}

bool TkqTableViewGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    if (!index.isValid() || index.row() != CursorRow()) return false;
    return QTableView::edit(index, trigger, event);
}

QModelIndex TkqTableViewGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    QModelIndex target = QTableView::moveCursor(action, modifiers);
    const int n = EffectiveFixedCols();
    if (target.isValid() && n > 0 && (action == MoveNext || action == MovePrevious) && target.column() < n) {
        // Tab passes over the fixed columns.
        const int row = target.row();
        if (action == MoveNext) target = FModel->index(row, n);
        else target = FModel->index(row, FModel->Cols() - 1);
    }
    if (!target.isValid()) return target;
    // Left and Home stop at the first column that may be current.
    if (target.column() < FirstCurrentColumn()) target = FModel->index(target.row(), FirstCurrentColumn());
    if (target.row() != CursorRow()) {
        if (!GuardedMoveToRow(target.row())) return currentIndex();
        return FModel->index(CursorRow(), target.column());
    }
    return target;
}

void TkqTableViewGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    if (!FSyncing && current.isValid() && current.row() != CursorRow()) {
        GuardedMoveToRow(current.row());
        if (CursorRow() != current.row()) {
            SyncCurrentIndex();
            return;
        }
    }
    const int col = current.isValid() ? current.column() : -1;
    if (col != FLastColumn && col >= 0 && isVisible()) {
        // The current column comes into view; the rows stay where the dataset put them.
        const int sy = verticalScrollBar()->value();
        scrollTo(current, EnsureVisible);
        verticalScrollBar()->setValue(sy);
    }
    if (col != FLastColumn) {
        if (FLastColumn >= 0 && OnColExit) TApplication::Guard([&] { OnColExit(this); });
        FLastColumn = col;
        if (col >= 0 && OnColEnter) TApplication::Guard([&] { OnColEnter(this); });
        if (OnCellChanged && !FSyncing) TApplication::Guard([&] { OnCellChanged(this); });
    }
    UpdateCellControl();
    RepaintIndicator();
}

// =============================================================================================
// Painting

void TkqTableViewGrid::paintEvent(QPaintEvent* event)
{
    if (OnBeforePaint) TApplication::Guard([&] { OnBeforePaint(this); });
    QPainter bg(viewport());
    bg.fillRect(event->rect(), ColorToQColor(FColor));
    bg.end();
    QTableView::paintEvent(event);
}

bool TkqTableViewGrid::RowSelected(int row) const
{
    if (FSelectedIds.isEmpty() || !IsDataSetActive()) return false;
    bool selected = false;
    WithRow(row, [&] {
        TDataSet* ds = DataSet();
        if (ds->State() == dsInsert && row == CursorRow()) return;
        selected = FSelectedIds.contains(ds->GetBookmark().RecordId());
    });
    return selected;
}

void TkqTableViewGrid::PaintCell(QPainter* painter, const QRect& rect, int row, int dataColumn) const
{
    if (!IsDataSetActive()) return;
    const QModelIndex cur = currentIndex();
    const bool isCurrentRow = row == CursorRow();
    const bool isCurrentCell = isCurrentRow && cur.isValid() && cur.column() == dataColumn;
    const bool focused = IsGridFocused() || FOptions.Contains(dgAlwaysShowSelection);
    const bool selectedRow = FOptions.Contains(dgMultiSelect) && RowSelected(row);
    TGridDrawState state;
    if ((isCurrentCell || (FOptions.Contains(dgRowSelect) && isCurrentRow)) && focused) state.Include(gdSelected);
    if (isCurrentCell && IsGridFocused()) state.Include(gdFocused);
    const bool highlight = selectedRow || state.Contains(gdSelected);
    WithRow(row, [&] {
        TField* f = GetColumnField(dataColumn);
        const QString text = FieldText(f, dataColumn);
        QFont font = this->font();
        TColor fontColor = highlight ? clHighlightText : clWindowText;
        TColor brush = highlight ? clHighlight : FColor;
        if (OnCalcCellColors) OnCalcCellColors(const_cast<TkqTableViewGrid*>(this), f, state, highlight, font, fontColor, brush);
        painter->save();
        painter->fillRect(rect, ColorToQColor(brush));
        painter->setFont(font);
        painter->setPen(ColorToQColor(fontColor));
        Qt::Alignment align = Qt::AlignVCenter;
        if (f && f->Alignment() == taRightJustify) align |= Qt::AlignRight;
        else if (f && f->Alignment() == taCenter) align |= Qt::AlignHCenter;
        else align |= Qt::AlignLeft;
        // A row grown for an open detail keeps its text in the first line.
        QRect textRect = rect.adjusted(2, 0, -2, 0);
        textRect.setHeight(qMin(textRect.height(), DefaultRowHeight() - (showGrid() ? 1 : 0)));
        const QString shown = painter->fontMetrics().elidedText(text.section(QLatin1Char('\n'), 0, 0), Qt::ElideRight,
                                                                 textRect.width());
        painter->drawText(textRect, int(align), shown);
        if (isCurrentCell && state.Contains(gdFocused) && !FEditor) {
            painter->setPen(QPen(ColorToQColor(fontColor), 1, Qt::DotLine));
            painter->drawRect(rect.adjusted(0, 0, -1, -1));
        }
        painter->restore();
        if (OnDrawDataCell) OnDrawDataCell(const_cast<TkqTableViewGrid*>(this), rect, f, state);
    });
}

void TkqTableViewGrid::PaintTitle(QPainter* painter, const QRect& rect, int dataColumn, bool pressed) const
{
    painter->save();
    painter->fillRect(rect, ColorToQColor(FTitleColor));
    const QPalette pal = palette();
    painter->setPen(pressed ? pal.color(QPalette::Dark) : pal.color(QPalette::Light));
    painter->drawLine(rect.topLeft(), rect.topRight());
    painter->drawLine(rect.topLeft(), rect.bottomLeft());
    painter->setPen(pressed ? pal.color(QPalette::Light) : pal.color(QPalette::Dark));
    painter->drawLine(rect.topRight(), rect.bottomRight());
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    QRect textRect = rect.adjusted(2, 2, -2, -2);
    if (pressed) textRect.translate(1, 1);
    TField* f = IsDataSetActive() ? GetColumnField(dataColumn) : nullptr;
    TkqTitleImageAttributes image;
    if (OnCalcTitleImage && f) {
        try {
            OnCalcTitleImage(const_cast<TkqTableViewGrid*>(this), f, image);
        } catch (const std::exception&) {
            image.ImageIndex = -1;
        }
    }
    if (image.ImageIndex >= 0 && image.ImageIndex < FTitleImages.size()) {
        const int side = qMin(16, textRect.height());
        QRect ir(0, textRect.top() + (textRect.height() - side) / 2, side, side);
        if (image.Placement == 0) {
            ir.moveLeft(textRect.left());
            textRect.setLeft(ir.right() + 3);
        } else {
            ir.moveRight(textRect.right());
            textRect.setRight(ir.left() - 3);
        }
        FTitleImages[image.ImageIndex].paint(painter, ir);
    }
    painter->setFont(FTitleFont);
    painter->setPen(pal.color(QPalette::ButtonText));
    QStringList lines = HeaderTitle(dataColumn).split(QLatin1Char('~'));
    while (lines.size() > FTitleLines) lines.removeLast();
    const int lh = QFontMetrics(FTitleFont).height();
    Qt::Alignment ha = FTitleAlignment == taCenter ? Qt::AlignHCenter
                       : FTitleAlignment == taRightJustify ? Qt::AlignRight : Qt::AlignLeft;
    for (int i = 0; i < lines.size(); ++i) {
        const QRect lr(textRect.left(), textRect.top() + i * lh, textRect.width(), lh);
        painter->drawText(lr, int(ha | Qt::AlignVCenter), painter->fontMetrics().elidedText(lines[i], Qt::ElideRight, lr.width()));
    }
    painter->restore();
}

// =============================================================================================
// Fixed columns in the view's geometry

QModelIndex TkqTableViewGrid::indexAt(const QPoint& point) const
{
    const int n = EffectiveFixedCols();
    if (n > 0 && point.x() >= 0 && point.x() < FixedWidth()) {
        const int row = rowAt(point.y());
        if (row < 0) return {};
        int x = 0;
        for (int c = 0; c < n; ++c) {
            x += columnWidth(c);
            if (point.x() < x) return FModel->index(row, c);
        }
    }
    return QTableView::indexAt(point);
}

QRect TkqTableViewGrid::visualRect(const QModelIndex& index) const
{
    if (index.isValid() && index.column() < EffectiveFixedCols())
        return QRect(ColumnX(index.column()), rowViewportPosition(index.row()), columnWidth(index.column()) - (showGrid() ? 1 : 0),
                     rowHeight(index.row()) - (showGrid() ? 1 : 0));
    return QTableView::visualRect(index);
}

void TkqTableViewGrid::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    const int n = EffectiveFixedCols();
    const int sx = horizontalScrollBar()->value();
    QTableView::scrollTo(index, hint);
    if (!index.isValid() || n == 0) return;
    if (index.column() < n) {
        horizontalScrollBar()->setValue(sx);
        return;
    }
    const QRect r = QTableView::visualRect(index);
    const int fw = FixedWidth();
    if (r.left() < fw) horizontalScrollBar()->setValue(horizontalScrollBar()->value() - (fw - r.left()));
}

void TkqTableViewGrid::scrollContentsBy(int dx, int dy)
{
    QTableView::scrollContentsBy(dx, dy);
    LayoutOverlays();
    UpdateCellControl();
}

// =============================================================================================
// Keyboard and mouse

bool TkqTableViewGrid::IsGridFocused() const { return OwningGrid(QApplication::focusWidget()) == this; }

void TkqTableViewGrid::keyPressEvent(QKeyEvent* event)
{
    try {
        int vk = KeyEventToVirtualKey(event);
        TShiftState shift = ShiftStateFromModifiers(event->modifiers());
        // The view passes Shift+Tab on as a plain Backtab.
        if (event->key() == Qt::Key_Backtab) shift.Include(ssShift);
        if (OnKeyDown && vk) {
            int key = vk;
            OnKeyDown(this, key, shift);
            if (key == 0) {
                event->accept();
                return;
            }
            vk = key;
        }
        if (OnKeyPress && !event->text().isEmpty()) {
            QChar ch = event->text().at(0);
            OnKeyPress(this, ch);
            if (ch.isNull()) {
                event->accept();
                return;
            }
        }
        TDataSet* ds = DataSet();
        if (IsDataSetActive()) {
            const bool editing = ds->State() == dsEdit || ds->State() == dsInsert;
            if (!editing && ds->IsEmpty() && CanEdit() && FKeyOptions.Contains(dgAllowInsert) &&
                !event->text().isEmpty() && event->text().at(0).isPrint() &&
                !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
                // Typing into an empty grid starts its first record, the keystroke included.
                if (!FDataLink->Edit()) {
                    event->accept();
                    return;
                }
                if (FEditor && FEditor->isVisible()) {
                    // An editor that is always shown opened with the record: the key goes there.
                    FEditor->setFocus();
                    QKeyEvent copy(event->type(), event->key(), event->modifiers(), event->text());
                    QCoreApplication::sendEvent(FEditor, &copy);
                    event->accept();
                    return;
                }
            }
            switch (vk) {
            case VK_ESCAPE:
                if (editing) {
                    CloseEditor();
                    ds->Cancel();
                    event->accept();
                    return;
                }
                break;
            case VK_INSERT:
                if (shift.IsEmpty() && CanEdit() && FKeyOptions.Contains(dgAllowInsert)) {
                    CommitEditor();
                    ds->Insert();
                    event->accept();
                    return;
                }
                break;
            case VK_DELETE:
                if (shift == TShiftState{ssCtrl} && CanEdit() && FKeyOptions.Contains(dgAllowDelete) && !ds->IsEmpty()) {
                    event->accept();
                    if (!FOptions.Contains(dgConfirmDelete) ||
                        MessageDlg(QStringLiteral("Delete record?"), mtConfirmation, mbOKCancel) == mrOk) {
                        CloseEditor();
                        ds->Delete();
                    }
                    return;
                }
                break;
            case VK_DOWN:
                if (shift.IsEmpty() && CanEdit() && FKeyOptions.Contains(dgAllowInsert) &&
                    CursorRow() == FModel->Rows() - 1 &&
                    !(ds->State() == dsInsert && !ds->Modified() && !(FEditor && FEditor->isModified()))) {
                    CommitEditor();
                    ds->Append();
                    event->accept();
                    return;
                }
                break;
            default:
                break;
            }
            if (QWidget* c = FCurrentCellControl; c && c->isVisible()) {
                if (auto* expand = qobject_cast<TkqTableViewExpandButton*>(c)) {
                    if (vk == VK_RIGHT || vk == VK_SPACE) {
                        expand->SetExpanded(vk == VK_RIGHT ? true : !expand->Expanded());
                        event->accept();
                        return;
                    }
                    if (vk == VK_LEFT && expand->Expanded()) {
                        expand->SetExpanded(false);
                        event->accept();
                        return;
                    }
                } else if (vk == VK_F2 || (shift == TShiftState{ssAlt} && vk == VK_DOWN) ||
                           (!event->text().isEmpty() && event->text().at(0).isPrint())) {
                    // Typing on a control cell goes into the control.
                    c->setFocus();
                    QKeyEvent copy(event->type(), event->key(), event->modifiers(), event->text(), event->isAutoRepeat());
                    QCoreApplication::sendEvent(c, &copy);
                    event->accept();
                    return;
                }
            }
        }
        QTableView::keyPressEvent(event);
        // Moving keys stop here: a grid shown inside another grid's row never moves the outer one.
        switch (event->key()) {
        case Qt::Key_Up: case Qt::Key_Down: case Qt::Key_Left: case Qt::Key_Right: case Qt::Key_PageUp:
        case Qt::Key_PageDown: case Qt::Key_Home: case Qt::Key_End: case Qt::Key_Tab: case Qt::Key_Backtab:
            event->accept();
            break;
        default:
            break;
        }
    } catch (const std::exception& e) {
        ShowError(e);
    }
}

void TkqTableViewGrid::HandleMultiSelectClick(Qt::KeyboardModifiers modifiers, bool leftButton)
{
    const bool ctrl = modifiers & Qt::ControlModifier;
    const bool shift = modifiers & Qt::ShiftModifier;
    const TBookmark prevAnchor = FShiftAnchor;
    const int prevAnchorRow = FShiftAnchorRow;
    const bool wasShiftSelecting = FShiftSelecting;
    if (ctrl || shift) {
        if (IsCurrentRecordSelected()) UnselectRecord();
        else SelectRecord();
    } else if (leftButton && FMultiSelectOptions.Contains(msoAutoUnselect)) {
        UnselectAll();
        SelectRecord();
    }
    if ((ctrl || shift || FMultiSelectOptions.Contains(msoAutoUnselect)) && FMultiSelectOptions.Contains(msoShiftSelect)) {
        FShiftSelecting = true;
        DataSet()->CheckBrowseMode();
        FShiftAnchor = DataSet()->GetBookmark();
        FShiftAnchorRow = CursorRow();
    }
    if (shift && leftButton && wasShiftSelecting && prevAnchorRow >= 0 && prevAnchorRow < FModel->Rows()) {
        bool valid = false;
        WithRow(prevAnchorRow, [&] { valid = DataSet()->GetBookmark() == prevAnchor; });
        if (valid) SelectRange(prevAnchorRow, CursorRow());
    }
}

void TkqTableViewGrid::mousePressEvent(QMouseEvent* event)
{
    try {
        FDragPending = false;
        const QPoint vp = event->position().toPoint();
        const QPoint cp = viewport()->mapTo(this, vp);
        const QModelIndex idx = indexAt(vp);
        const bool left = event->button() == Qt::LeftButton;
        if (!hasFocus() && !IsGridFocused()) setFocus(Qt::MouseFocusReason);
        if (idx.isValid() && left && IsDataSetActive()) {
            const bool sameRow = idx.row() == CursorRow();
            if (!sameRow && !GuardedMoveToRow(idx.row())) {
                event->accept();
                return;
            }
            // A click inside the row being edited moves to the cell; it neither posts nor drops the row.
            const bool editingHere = sameRow && DataSet()->State() >= dsEdit && DataSet()->State() <= dsInsert;
            if (FOptions.Contains(dgMultiSelect) && !editingHere) HandleMultiSelectClick(event->modifiers(), true);
        }
        if (OnMouseDown) {
            const TMouseButton b = event->button() == Qt::RightButton ? mbRight
                                   : event->button() == Qt::MiddleButton ? mbMiddle : mbLeft;
            OnMouseDown(this, b, ShiftStateFromModifiers(event->modifiers(), event->buttons()), cp.x(), cp.y());
        }
        if (FDragPending) {
            FDragStart = vp;
            if (idx.isValid() && idx.column() >= FirstCurrentColumn() && idx.column() != currentIndex().column()) {
                FSyncing = true;
                selectionModel()->setCurrentIndex(FModel->index(CursorRow(), idx.column()), QItemSelectionModel::NoUpdate);
                FSyncing = false;
                UpdateCellControl();
            }
            event->accept();
            return;
        }
        if (!left) {
            event->accept();
            return;
        }
        if (idx.isValid()) {
            // The column follows the click (fixed columns only when they are editable); the row already does.
            if (idx.column() >= FirstCurrentColumn() && (idx.column() != currentIndex().column() || !currentIndex().isValid()))
                setCurrentIndex(FModel->index(CursorRow(), idx.column()));
            if (auto* expand = qobject_cast<TkqTableViewExpandButton*>(FCurrentCellControl.data());
                expand && expand->isVisible() && expand->geometry().contains(vp)) {
                event->accept();
                return;
            }
        }
        event->accept();
    } catch (const std::exception& e) {
        ShowError(e);
    }
}

void TkqTableViewGrid::mouseMoveEvent(QMouseEvent* event)
{
    if (FDragPending && (event->buttons() & Qt::LeftButton) &&
        (event->position().toPoint() - FDragStart).manhattanLength() >= QApplication::startDragDistance()) {
        FDragPending = false;
        FDragging = true;
        auto* drag = new QDrag(this);
        auto* mime = new QMimeData;
        mime->setData(QString::fromLatin1(DragFormat), QByteArray::number(quintptr(this)));
        drag->setMimeData(mime);
        drag->exec(Qt::MoveAction);
        FDragging = false;
        return;
    }
    event->accept();
}

void TkqTableViewGrid::mouseReleaseEvent(QMouseEvent* event)
{
    FDragPending = false;
    event->accept();
}

void TkqTableViewGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    try {
        const QModelIndex idx = indexAt(event->position().toPoint());
        if (OnDblClick) OnDblClick(this);
        if (idx.isValid() && idx.row() == CursorRow() && event->button() == Qt::LeftButton)
            edit(FModel->index(idx.row(), idx.column()), DoubleClicked, event);
        event->accept();
    } catch (const std::exception& e) {
        ShowError(e);
    }
}

void TkqTableViewGrid::contextMenuEvent(QContextMenuEvent* event)
{
    FPopupPoint = viewport()->mapTo(this, event->pos());
    if (FPopupMenu) FPopupMenu->popup(event->globalPos());
    event->accept();
}

void TkqTableViewGrid::BeginDrag(bool immediate)
{
    FDragPending = true;
    if (immediate) FDragStart = QPoint(-1000, -1000);
}

namespace {
QObject* DragSource(const QDropEvent* event)
{
    if (QObject* s = event->source()) return s;
    const QByteArray data = event->mimeData() ? event->mimeData()->data(QString::fromLatin1(DragFormat)) : QByteArray();
    bool ok = false;
    const quintptr id = quintptr(data.toULongLong(&ok));
    if (!ok) return nullptr;
    // The data may come from anywhere (another program's drag): only a grid alive here counts.
    for (QWidget* w : QApplication::allWidgets())
        if (quintptr(w) == id) return qobject_cast<TkqTableViewGrid*>(w);
    return nullptr;
}
} // namespace

void TkqTableViewGrid::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData() && event->mimeData()->hasFormat(QString::fromLatin1(DragFormat))) event->acceptProposedAction();
    else event->ignore();
}

void TkqTableViewGrid::dragMoveEvent(QDragMoveEvent* event)
{
    bool accept = false;
    QObject* source = DragSource(event);
    const QPoint cp = viewport()->mapTo(this, event->position().toPoint());
    if (OnDragOver && source) TApplication::Guard([&] { OnDragOver(this, source, cp.x(), cp.y(), accept); });
    if (accept) event->acceptProposedAction();
    else event->ignore();
}

void TkqTableViewGrid::dropEvent(QDropEvent* event)
{
    QObject* source = DragSource(event);
    const QPoint cp = viewport()->mapTo(this, event->position().toPoint());
    bool accept = false;
    if (OnDragOver && source) TApplication::Guard([&] { OnDragOver(this, source, cp.x(), cp.y(), accept); });
    if (accept && OnDragDrop) {
        TApplication::Guard([&] { OnDragDrop(this, source, cp.x(), cp.y()); });
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void TkqTableViewGrid::focusInEvent(QFocusEvent* event)
{
    QTableView::focusInEvent(event);
    viewport()->update();
}

void TkqTableViewGrid::focusOutEvent(QFocusEvent* event)
{
    QTableView::focusOutEvent(event);
    viewport()->update();
}

void TkqTableViewGrid::FocusChanged(QWidget* old, QWidget* now)
{
    const bool was = OwningGrid(old) == this;
    const bool is = OwningGrid(now) == this;
    if (was == is) return;
    if (is) {
        if (OnEnter) TApplication::Guard([&] { OnEnter(this); });
        return;
    }
    TApplication::Guard([&] {
        TDataSet* ds = DataSet();
        // An untouched new row goes when the user leaves the grid.
        if (FOptions.Contains(dgCancelOnExit) && IsDataSetActive() && ds->State() == dsInsert && !ds->Modified() &&
            !(FEditor && FEditor->isModified()))
            ds->Cancel();
        if (OnExit) OnExit(this);
    });
    viewport()->update();
}

void TkqTableViewGrid::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    LayoutOverlays();
    UpdateCellControl();
}

// =============================================================================================
// Multi-selection

void TkqTableViewGrid::AddSelected(const TBookmark& bookmark)
{
    if (bookmark.IsNull() || FSelectedIds.contains(bookmark.RecordId())) return;
    FSelectedIds.insert(bookmark.RecordId());
    FSelectedBookmarks.append(bookmark);
}

void TkqTableViewGrid::ClearSelection()
{
    FSelectedBookmarks.clear();
    FSelectedIds.clear();
}

bool TkqTableViewGrid::IsRecordSelected(const TBookmark& bookmark) const
{
    return !bookmark.IsNull() && FSelectedIds.contains(bookmark.RecordId());
}

bool TkqTableViewGrid::IsCurrentRecordSelected() const
{
    TDataSet* ds = DataSet();
    if (!IsDataSetActive() || ds->State() == dsEdit || ds->State() == dsInsert) return false;
    return IsRecordSelected(ds->GetBookmark());
}

void TkqTableViewGrid::SelectAll()
{
    if (OnMultiSelectAllRecords) {
        bool accept = true;
        OnMultiSelectAllRecords(this, true, accept);
        if (!accept) return;
    }
    ClearSelection();
    if (!IsDataSetActive()) return;
    TDataSet* ds = DataSet();
    ds->CheckBrowseMode();
    const int n = ds->RecordCount();
    FSelectedBookmarks.reserve(n);
    FSelectedIds.reserve(n);
    TDataLink& link = *FDataLink;
    const int saved = link.ActiveRecord();
    const int first = link.FirstRecord();
    for (int r = 0; r < n; ++r) {
        link.SetActiveRecord(r - first);
        AddSelected(ds->GetBookmark());
    }
    link.SetActiveRecord(saved);
    viewport()->update();
    FFixedOverlay->update();
    RepaintIndicator();
}

void TkqTableViewGrid::UnselectAll()
{
    if (OnMultiSelectAllRecords) {
        bool accept = true;
        OnMultiSelectAllRecords(this, false, accept);
        if (!accept) return;
    }
    ClearSelection();
    viewport()->update();
    FFixedOverlay->update();
    RepaintIndicator();
}

void TkqTableViewGrid::SelectRecord()
{
    if (!IsDataSetActive()) return;
    TDataSet* ds = DataSet();
    ds->CheckBrowseMode();
    if (ds->IsEmpty() || IsCurrentRecordSelected()) return;
    bool accept = true;
    if (OnMultiSelectRecord) OnMultiSelectRecord(this, true, accept);
    if (!accept) return;
    AddSelected(ds->GetBookmark());
    viewport()->update();
    RepaintIndicator();
}

void TkqTableViewGrid::UnselectRecord()
{
    if (!IsCurrentRecordSelected()) return;
    bool accept = true;
    if (OnMultiSelectRecord) OnMultiSelectRecord(this, false, accept);
    if (!accept) return;
    const TRecordId id = DataSet()->GetBookmark().RecordId();
    FSelectedIds.remove(id);
    for (int i = 0; i < FSelectedBookmarks.size(); ++i)
        if (FSelectedBookmarks[i].RecordId() == id) {
            FSelectedBookmarks.removeAt(i);
            break;
        }
    viewport()->update();
    RepaintIndicator();
}

void TkqTableViewGrid::SelectRange(int fromRow, int toRow)
{
    if (!IsDataSetActive()) return;
    const int lo = qMax(0, qMin(fromRow, toRow));
    const int hi = qMin(FModel->Rows() - 1, qMax(fromRow, toRow));
    TDataSet* ds = DataSet();
    for (int r = lo; r <= hi; ++r) {
        TBookmark bm;
        WithRow(r, [&] { bm = ds->GetBookmark(); });
        if (IsRecordSelected(bm)) continue;
        bool accept = true;
        if (OnMultiSelectRecord) OnMultiSelectRecord(this, true, accept);
        if (accept) AddSelected(bm);
    }
    viewport()->update();
    RepaintIndicator();
}

void TkqTableViewGrid::SortSelectedBookmarks()
{
    TDataSet* ds = DataSet();
    if (!ds) return;
    std::sort(FSelectedBookmarks.begin(), FSelectedBookmarks.end(),
              [ds](const TBookmark& a, const TBookmark& b) { return ds->CompareBookmarks(a, b) < 0; });
}

// =============================================================================================
// Cell controls

void TkqTableViewGrid::SetControlType(const QString& fieldName, int code, const QString& params)
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
    const bool editKind = code == 3 || code == 5 || code == 6 || code == 7;
    if (editKind) {
        QWidget* root = FindOwnerForm(this);
        if (QWidget* c = FindNamedControl(root, params.section(QLatin1Char(';'), 0, 0))) {
            const bool expand = qobject_cast<TkqTableViewExpandButton*>(c) != nullptr;
            if (expand || CustomControlsActive()) BindCellControl(c, fieldName);
        }
    }
    // Storing the same line again changes nothing (the data window stores it on every paint).
    QStringList list;
    const bool inDataSet = FControlInfoInDataset && GetStringListProperty(DataSet(), "ControlType", list);
    if (!inDataSet) list = FControlType;
    const QStringList before = list;
    StoreControlTypeEntry(list, fieldName, kind, params);
    if (list == before) return;
    if (inDataSet) SetStringListProperty(DataSet(), "ControlType", list);
    else FControlType = list;
    for (size_t i = 0; i < FColumns.size() && i < FColumnControlNames.size(); ++i)
        if (FColumns[i]->FieldName().compare(fieldName, Qt::CaseInsensitive) == 0)
            FColumnControlNames[i] = IsEditControlType(kind) ? params.section(QLatin1Char(';'), 0, 0) : QString();
    QMetaObject::invokeMethod(this, [this] { UpdateCellControl(); viewport()->update(); }, Qt::QueuedConnection);
}

bool TkqTableViewGrid::CustomControlsActive() const
{
    return !FEditControlOptions.Contains(ecoDisableCustomControls) && CanEdit() && !FOptions.Contains(dgRowSelect);
}

QWidget* TkqTableViewGrid::FindCellControl(int dataColumn) const
{
    if (FEditControlOptions.Contains(ecoDisableCustomControls)) return nullptr;
    if (dataColumn < 0 || dataColumn >= int(FColumnControlNames.size())) return nullptr;
    const QString& name = FColumnControlNames[size_t(dataColumn)];
    if (name.isEmpty()) return nullptr;
    auto it = FNamedControls.find(name);
    if (it != FNamedControls.end() && it.value()) return it.value();
    QWidget* root = FEditControlOptions.Contains(ecoSearchOwnerForm) ? FindOwnerForm(const_cast<TkqTableViewGrid*>(this))
                                                                     : window();
    QWidget* c = FindNamedControl(root, name);
    if (c == this) c = nullptr;
    FNamedControls.insert(name, c);
    return c;
}

void TkqTableViewGrid::BindCellControl(QWidget* control, const QString& fieldName)
{
    if (!control) return;
    const bool placed = control->parentWidget() == viewport();
    if (!placed) {
        control->hide();
        control->setParent(viewport());
    }
    if (GetControlDataSource(control) != DataSource()) SetControlDataSource(control, DataSource());
    if (GetControlDataField(control) != fieldName) SetControlDataField(control, fieldName);
    if (!placed && !qobject_cast<TkqTableViewExpandButton*>(control)) {
        control->setFont(font());
        // A cell control shows neither a 3-D look nor a border of its own.
        if (const QMetaProperty ctl3D = FindPublishedProperty(control, "Ctl3D"); ctl3D.isValid()) ctl3D.write(control, false);
        SetControlBorderStyle(control, false);
    }
}

void TkqTableViewGrid::PrepareCustomControls()
{
    if (FEditControlOptions.Contains(ecoDisableCustomControls) || !DataSet()) return;
    FNamedControls.clear();
    QWidget* root = FindOwnerForm(this);
    for (const QString& line : ActiveControlTypeList()) {
        const QStringList parts = line.split(QLatin1Char(';'));
        if (parts.size() < 3 || !IsEditControlType(parts[1])) continue;
        QWidget* c = FindNamedControl(root, parts[2]);
        if (!c || c == this) continue;
        if (qobject_cast<TkqTableViewExpandButton*>(c) || CustomControlsActive()) BindCellControl(c, parts[0]);
    }
}

namespace {
// The control or one of its parts (a combo's line edit, a spin's editor) has the focus.
bool HoldsFocus(const QWidget* control)
{
    const QWidget* focus = QApplication::focusWidget();
    return focus && (focus == control || control->isAncestorOf(focus));
}
}   // namespace

void TkqTableViewGrid::HideCellControl()
{
    if (!FCurrentCellControl) return;
    if (auto* expand = qobject_cast<TkqTableViewExpandButton*>(FCurrentCellControl.data()); expand && expand->Expanded())
        return;   // an open detail stays until the row changes
    if (HoldsFocus(FCurrentCellControl)) setFocus();
    FCurrentCellControl->hide();
    FCurrentCellControl = nullptr;
}

void TkqTableViewGrid::UpdateCellControl()
{
    const QModelIndex cur = currentIndex();
    QWidget* c = nullptr;
    if (cur.isValid() && IsDataSetActive() && cur.row() == CursorRow()) c = FindCellControl(cur.column());
    auto* expand = qobject_cast<TkqTableViewExpandButton*>(c);
    if (c && !expand && !CustomControlsActive()) c = nullptr;
    if (FCurrentCellControl && FCurrentCellControl != c) {
        if (auto* old = qobject_cast<TkqTableViewExpandButton*>(FCurrentCellControl.data()); old && old->Expanded())
            old->ForceCollapse();
        if (HoldsFocus(FCurrentCellControl)) setFocus();
        FCurrentCellControl->hide();
        FCurrentCellControl = nullptr;
    }
    if (!c) return;
    TField* f = GetColumnField(cur.column());
    BindCellControl(c, f ? f->FieldName() : QString());
    QRect r = visualRect(cur);
    r.setHeight(DefaultRowHeight() - (showGrid() ? 1 : 0));
    if (!r.intersects(viewport()->rect()) && !(expand && expand->Expanded())) {
        c->hide();
        FCurrentCellControl = c;
        return;
    }
    if (c->geometry() != r) c->setGeometry(r);
    c->show();
    c->raise();
    FCurrentCellControl = c;
    if (expand && expand->Expanded()) expand->PlaceDetail(r);
}

void TkqTableViewGrid::CollapseExpandButtons()
{
    auto* expand = qobject_cast<TkqTableViewExpandButton*>(FCurrentCellControl.data());
    if (!expand || !expand->Expanded()) return;
    try {
        expand->SetExpanded(false);
    } catch (const std::exception& e) {
        ShowError(e);
    }
    if (expand->Expanded()) expand->ForceCollapse();
}

void TkqTableViewGrid::SetExpandedRowHeight(int row, int extra)
{
    if (FExpandedRow >= 0 && FExpandedRow < FModel->Rows()) FIndicator->resizeSection(FExpandedRow, DefaultRowHeight());
    FExpandedRow = -1;
    if (row >= 0 && row < FModel->Rows()) {
        FIndicator->resizeSection(row, DefaultRowHeight() + extra);
        FExpandedRow = row;
    }
}
