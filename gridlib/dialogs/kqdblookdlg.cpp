// The lookup combo that opens the lookup form.

#include "gridlib/dialogs/kqdblookdlg.h"

#include "gridlib/core/Kqtable.h"
#include "platform/vcl/Dialogs.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScopeGuard>

TkqDBLookupComboDlg::TkqDBLookupComboDlg(QWidget* parent) : TkqDBCustomLookupCombo(parent)
{
    SetButtonStyle(cbsEllipsis);
    // The grid is never shown: it only keeps the key state.
    DropDownGrid()->SetSkipDataChange(true);
}

bool TkqDBLookupComboDlg::RunLookupForm(const QString& initialSearchText)
{
    TkqLookupFormParams p;
    p.Component = this;
    p.Selected = Selected();
    p.PictureMaskFromField = PictureMaskFromField;
    p.UseTFields = UseTFields();
    p.InitialSearchText = initialSearchText;
    p.OnUserButton1Click = OnUserButton1Click;
    p.OnUserButton2Click = OnUserButton2Click;
    p.OnInitDialog = OnInitDialog;
    p.OnCloseDialog = OnCloseDialog;
    p.OnSortChange = OnSortChange;
    p.UserButton1Caption = UserButton1Caption;
    p.UserButton2Caption = UserButton2Caption;
    p.CharCase = CharCase();
    p.MaxHeight = MaxHeight;
    p.MaxWidth = MaxWidth;
    p.Caption = Caption;
    p.GridTitleAlignment = GridTitleAlignment;
    p.GridColor = GridColor;
    p.GridOptions = GridOptions;
    p.Options = Options;
    p.SearchDelay = SearchDelay;
    p.OnShown = OnShown;
    return ShowLookupForm(window(), p, LookupTable());
}

void TkqDBLookupComboDlg::DropDown()
{
    if (ReadOnly()) return;
    if (OnDropDown) OnDropDown(this);
    TDataSet* table = LookupTable();
    if (!table || !table->Active()) {
        MessageDlg(QStringLiteral("No lookup table specified!"), mtWarning, {mbOK});
        return;
    }
    TkqDBLookupList* g = DropDownGrid();
    const QString displayName = LookupField().section(QLatin1Char(';'), 0, 0);
    const bool link = IsCalcFieldLookup();
    if (Selected().isEmpty()) {
        TField* f = link ? g->DisplayField() : table->FindField(displayName);
        if (f)
            SetSelected({f->FieldName() + QLatin1Char('\t') + QString::number(f->DisplayWidth()) + QLatin1Char('\t') +
                         f->DisplayLabel()});
    }
    QString initial;
    if (AutoDropping) {
        initial = ShowMatchText ? text().left(hasSelectedText() ? selectionStart() : cursorPosition()) : text();
        initial = initial.left(63);
    }
    auto* kt = qobject_cast<TkqTable*>(table);
    auto chooseOrder = [&] {
        if (kt && !kt->MasterSource() && OrderByDisplay) kt->ChooseIndexForSelected(Selected());
    };
    TDataSet* bound = DataSource() ? DataSource()->DataSet() : nullptr;
    bool keysWritten = false;

    if (link && bound) {
        if (!AutoDropping) g->LocateCurrentValue(false);
        chooseOrder();
        const bool ok = RunLookupForm(initial);
        bool modified = false;
        if (ok) {
            if (!LookupField().isEmpty()) CaptureGridRecord();
            WriteKeyFields(modified);
            keysWritten = modified;
            if (Field()) setText(Field()->AsString());
        }
        if (OnCloseUp) OnCloseUp(this, table, bound, modified);
        bound->EnableControls();
        bound->DisableControls();
        bound->EnableControls();
    } else {
        if (g->KeyValue.isEmpty() || GridRecordDiffers()) {
            if (kt && !kt->MasterSource()) kt->ChooseIndexForFields(LookupField());
            const bool caseSensitive = SeqSearchOptions.Contains(ssoCaseSensitive);
            if (g->KeyField3() && kt) {
                kt->FindKeyValues({g->KeyValue, SyncKeyValue2(), SyncKeyValue3()}, 2);
            } else if (g->KeyField2() && kt) {
                kt->FindKeyValues({g->KeyValue, g->KeyValue2}, 1);
            } else if (g->KeyField2()) {
                // Any other dataset finds several keys through its Locate.
                std::vector<TVariant> values{TVariant(g->KeyValue), TVariant(g->KeyValue2)};
                QStringList names = LookupField().split(QLatin1Char(';')).mid(0, 2);
                if (g->KeyField3()) {
                    values.push_back(TVariant(SyncKeyValue3()));
                    names = LookupField().split(QLatin1Char(';')).mid(0, 3);
                }
                try {
                    table->Locate(names.join(QLatin1Char(';')), TVariant::ArrayOf(std::move(values)),
                                  caseSensitive ? TLocateOptions() : TLocateOptions(loCaseInsensitive));
                } catch (const EDatabaseError&) {
                }
            } else if (NeedsGenericSearch() || !IsTableWithIndex(table)) {
                if (!g->KeyValue.isEmpty()) FindValue(g->KeyValue, LookupField(), false, caseSensitive, false);
            } else {
                kt->FindKeyValues({g->KeyValue}, 0);
            }
        }
        chooseOrder();
        const bool ok = RunLookupForm(initial);
        if (bound) bound->DisableControls();
        auto enable = qScopeGuard([bound] {
            if (bound) bound->EnableControls();
        });
        if (ok) {
            QString taken;
            if (!LookupField().isEmpty()) {
                if (TField* f = table->FindField(displayName)) taken = f->EditText();
                DataLink().Edit();
                if (!Field()) {
                    CaptureGridRecord();
                    setText(g->DisplayText);
                }
            }
            DataLink().Modified();
            if (Field()) {
                Field()->SetAsString(taken);
                CaptureGridRecord();
                if (g->DisplayField()) setText(g->DisplayField()->AsString());
                DataLink().UpdateRecord();
            }
        } else if (AutoDropping && Style() == csDropDownList) {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QString(QChar(27)));
            QApplication::sendEvent(this, &escape);
        }
        if (OnCloseUp) OnCloseUp(this, table, bound, ok);
    }
    if (!(Style() == csDropDownList && !AutoDropDown)) selectAll();
    LastSearchText.clear();
    if (keysWritten && table->Active()) table->Resync();
}
