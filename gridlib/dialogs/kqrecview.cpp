#include "gridlib/dialogs/kqrecview.h"

#include "gridlib/editors/kqdbdatetimepicker.h"
#include "platform/vcl/Forms.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

class TkqRecordViewPanel::TViewLink : public TDataLink {
public:
    explicit TViewLink(TkqRecordViewPanel* panel) : FPanel(panel) {}

protected:
    void ActiveChanged() override { FPanel->Rebuild(); }
    void LayoutChanged() override { FPanel->Rebuild(); }
    void DataSetChanged() override { FPanel->ShowValues(); }
    void DataSetScrolled(int) override { FPanel->ShowValues(); }
    void RecordChanged(TField*) override { FPanel->ShowValues(); }
    void EditingChanged() override { FPanel->ShowValues(); }
    void UpdateData() override
    {
        for (auto& row : FPanel->FRows) FPanel->WriteBack(*row);
    }

private:
    TkqRecordViewPanel* FPanel;
};

struct TkqRecordViewPanel::TRow {
    QString FieldName;
    QLabel* Label = nullptr;
    QLineEdit* Edit = nullptr;
    bool ReadOnly = false;
    bool Modified = false;
    // A date-time picker bound to the field itself: it shows and writes its value.
    bool Picker = false;
};

TkqRecordViewPanel::TkqRecordViewPanel(QWidget* parent)
    : QScrollArea(parent), FDataLink(std::make_unique<TViewLink>(this)), FLabelFont(font())
{
    setWidgetResizable(true);
    setWidget(new QWidget);
}

TkqRecordViewPanel::~TkqRecordViewPanel() { FDataLink->SetDataSource(nullptr); }

TDataSource* TkqRecordViewPanel::DataSource() const { return FDataLink->DataSource(); }

void TkqRecordViewPanel::SetDataSource(TDataSource* source)
{
    FDataLink->SetDataSource(source);
    Rebuild();
}

void TkqRecordViewPanel::SetLabelFont(const QFont& font)
{
    FLabelFont = font;
    for (auto& row : FRows) row->Label->setFont(font);
}

void TkqRecordViewPanel::SetReadOnlyColor(TColor color)
{
    FReadOnlyColor = color;
    Rebuild();
}

QLineEdit* TkqRecordViewPanel::EditorOf(const QString& fieldName) const
{
    for (const auto& row : FRows)
        if (row->FieldName.compare(fieldName, Qt::CaseInsensitive) == 0) return row->Edit;
    return nullptr;
}

QLabel* TkqRecordViewPanel::LabelOf(const QString& fieldName) const
{
    for (const auto& row : FRows)
        if (row->FieldName.compare(fieldName, Qt::CaseInsensitive) == 0) return row->Label;
    return nullptr;
}

void TkqRecordViewPanel::Rebuild()
{
    FRows.clear();
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    TDataSet* ds = FDataLink->DataSet();
    if (FDataLink->Active() && ds) {
        for (TField* f : ds->Fields()) {
            if (!f->Visible()) continue;
            auto row = std::make_unique<TRow>();
            row->FieldName = f->FieldName();
            row->Label = new QLabel(f->DisplayLabel().replace(QLatin1Char('~'), QLatin1Char(' ')), page);
            row->Label->setFont(FLabelFont);
            row->ReadOnly = f->ReadOnly() || f->Calculated() || f->Lookup() || f->IsBlob() ||
                            f->DataType() == ftDataSet || !ds->CanModify();
            if (qobject_cast<TDateTimeField*>(f)) {
                auto* picker = new TkqDBDateTimePicker(page);
                picker->SetDataSource(FDataLink->DataSource());
                picker->SetDataField(f->FieldName());
                picker->SetReadOnly(row->ReadOnly);
                row->Edit = picker;
                row->Picker = true;
            } else {
                row->Edit = new QLineEdit(page);
                row->Edit->setReadOnly(row->ReadOnly);
            }
            if (row->ReadOnly) {
                QPalette pal = row->Edit->palette();
                pal.setColor(QPalette::Base, ColorToQColor(FReadOnlyColor));
                row->Edit->setPalette(pal);
            }
            TRow* r = row.get();
            if (!r->Picker) connect(row->Edit, &QLineEdit::textEdited, this, [this, r](const QString& text) {
                TApplication::Guard([&] {
                    // Typing puts the record into edit first, as every data-aware edit does.
                    if (!FDataLink->Edit()) {
                        ShowValues();
                        return;
                    }
                    if (r->Edit->text() != text) r->Edit->setText(text);
                    r->Modified = true;
                });
            });
            if (!r->Picker) connect(row->Edit, &QLineEdit::editingFinished, this, [this, r] { TApplication::Guard([&] { WriteBack(*r); }); });
            row->Label->setBuddy(row->Edit);
            form->addRow(row->Label, row->Edit);
            FRows.push_back(std::move(row));
        }
    }
    setWidget(page);
    ShowValues();
}

void TkqRecordViewPanel::ShowValues()
{
    TDataSet* ds = FDataLink->DataSet();
    const bool editing = ds && (ds->State() == dsEdit || ds->State() == dsInsert);
    for (auto& row : FRows) {
        if (!editing) row->Modified = false;
        if (row->Modified || row->Picker) continue;
        TField* f = ds && ds->Active() ? ds->FindField(row->FieldName) : nullptr;
        QString text;
        if (f) text = f->IsBlob() && f->DataType() != ftMemo ? f->DisplayText() : f->EditText();
        if (row->Edit->text() != text) row->Edit->setText(text);
    }
}

void TkqRecordViewPanel::WriteBack(TRow& row)
{
    if (!row.Modified || row.Picker) return;
    row.Modified = false;
    TDataSet* ds = FDataLink->DataSet();
    TField* f = ds && ds->Active() ? ds->FindField(row.FieldName) : nullptr;
    if (!f || row.ReadOnly || !FDataLink->Edit()) return;
    f->SetEditText(row.Edit->text());
}
