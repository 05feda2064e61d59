#pragma once
// The record callback of the filter dialog and its summary window. TkqDummyForm is a hidden
// form the dialog owns: the dataset asks its FilterRecord about every record, and formatted
// memo values are read through its hidden rich-text reader. The criteria are prepared once per
// application of the filter (value parts split, bounds converted, fields found), so the
// record loop does no parsing. A memo is compared whole: a long memo is never cut short.

#include "gridlib/dialogs/kqfilter.h"
#include "platform/data/DBParams.h"

#include <QAbstractScrollArea>
#include <QDialog>
#include <QWidget>
#include <vector>

class QPushButton;

class TkqDummyForm : public QWidget {
    Q_OBJECT
public:
    explicit TkqDummyForm(TkqFilterDialog* dialog);
    ~TkqDummyForm() override;

    TkqFilterDialog* Dialog() const { return FDialog; }
    TDataSet* DataSet() const { return FDataSet; }

    // The dataset's filter event.
    void FilterRecord(TDataSet* dataSet, bool& accept);
    // The criterion's own result (not yet inverted for a non-matching value criterion).
    bool EvaluateCriterion(int index);
    // The parameter object holding the current record's value of the field.
    TParam* FieldAsParam(const QString& fieldName);
    // Forgets the prepared criteria; the next record prepares them again.
    void Invalidate();

private:
    struct TPrepared;
    void Prepare();
    bool EvaluatePrepared(TPrepared& p);

    TkqFilterDialog* FDialog;
    TDataSet* FDataSet = nullptr;
    TParam FParam;
    std::unique_ptr<TkqRichTextReader> FRichReader;
    std::vector<TPrepared> FPrepared;
    TDataSet* FPreparedFor = nullptr;
};

// The summary grid: three columns under one header row, read-only.
class TkqSummaryGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TkqSummaryGrid(QWidget* parent = nullptr);
    QStringList Row(int row) const { return FRows.value(row); }
    void SetRow(int row, const QStringList& cells);
    int RowCount() const { return int(FRows.size()); }
    void SetRowCount(int rows);
    void SetColWidths(const QList<int>& widths);
    QList<int> ColWidths() const { return FColWidths; }
    int DefaultRowHeight() const { return FRowHeight; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void UpdateScroll();
    QList<QStringList> FRows;
    QList<int> FColWidths{64, 64, 64};
    int FRowHeight = 18;
};

class TkqFilterDialogView : public QDialog {
    Q_OBJECT
public:
    explicit TkqFilterDialogView(QWidget* parent = nullptr);
    TkqSummaryGrid* StringGrid1;
    QPushButton* OKButton;
    QPushButton* CancelButton;

protected:
    void showEvent(QShowEvent* event) override;
};

// Fills the summary window with the criteria and shows it modally.
void ShowFilterSummary(TkqFilterDialog* dialog, const TkqFieldInfoList& criteria);
// The summary rows of the criteria (field, search type, value), as the window lists them.
QList<QStringList> FilterSummaryRows(const TkqFilterDialog* dialog, const TkqFieldInfoList& criteria);
