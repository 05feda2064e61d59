#include "gridlib/editors/kqincsearch.h"

#include "platform/vcl/Forms.h"

#include <QKeyEvent>

TkqIncrementalSearch::TkqIncrementalSearch(QWidget* parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
        TApplication::Guard([&] { Search(text); });
    });
}

TkqIncrementalSearch::~TkqIncrementalSearch() { FDataLink.SetDataSource(nullptr); }

bool TkqIncrementalSearch::Search(const QString& text)
{
    TDataSet* ds = FDataLink.DataSet();
    if (!ds || !ds->Active() || text.isEmpty() || FSearchField.isEmpty()) return false;
    TField* field = ds->FindField(FSearchField);
    if (!field) return false;
    ds->CheckBrowseMode();
    if (!ds->Locate(FSearchField, TVariant(text), TLocateOptions(loCaseInsensitive) | loPartialKey)) return false;
    if (FShowMatchText && !FErasing) {
        const QString found = field->AsString();
        if (found.size() > text.size()) {
            setText(text + found.mid(text.size()));
            setSelection(text.size(), found.size() - text.size());
        }
    }
    return true;
}

void TkqIncrementalSearch::keyPressEvent(QKeyEvent* event)
{
    // Erasing does not complete again, or the user could never shorten the text.
    FErasing = event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete;
    QLineEdit::keyPressEvent(event);
    FErasing = false;
}
