#pragma once
// The lookup combo: an edit bound to one field of a record whose value is chosen from the
// records of a second dataset, the lookup table. The edit shows a display field of the lookup
// record; what goes into the bound record is the record's key value (up to three key values).
//
// Three kinds of bound field: a plain field stores the key itself; a link field (a lookup field
// of the dataset, or a calculated field with a LookupLinks line) cannot hold the key, so the
// combo writes the link fields of the bound record; without a data source the combo is an
// unbound chooser whose value is KeyValue.
//
// The drop-down is a data grid over the lookup table (TkqPopupGrid), a top-level window that
// never takes the focus: the edit keeps it, types into an incremental search and hands the
// grid its navigation keys. The grid keeps the key state (key fields, key values, display
// text) and marks the row whose record carries the chosen keys, whatever the table's current
// record is. Searches go through the table's index where it has one (the library's table: a
// key search; any other dataset: Locate, which halves over an index that starts with the
// searched field), record by record otherwise.

#include "gridlib/editors/kqdbcombo.h"
#include "gridlib/grid/Kqdbigrd.h"

#include <QPointer>
#include <functional>

class QTimer;
class TkqDBCustomLookupCombo;
class TkqPopupGrid;
class TkqTable;

enum TkqSeqSearchOption { ssoEnabled, ssoCaseSensitive };
using TkqSeqSearchOptions = TkqSet<TkqSeqSearchOption>;
enum TkqDBLookupListOption { loColLines, loRowLines, loTitles, loFixedDropDownHeight, loSearchOnBackspace };
using TkqDBLookupListOptions = TkqSet<TkqDBLookupListOption>;
// csDropDown or csDropDownList (the text can only be one of the lookup records).
using TkqDBLookupComboStyle = TComboBoxStyle;

using TkqNotifyCloseUpEvent =
    std::function<void(QObject* sender, TDataSet* lookupTable, TDataSet* fillTable, bool modified)>;
using TkqValueNotFoundEvent =
    std::function<void(QObject* sender, TDataSet* lookupTable, const QString& newValue, bool& accept)>;
using TkqSearchLookupEvent = std::function<void(QObject* sender, TDataSet* lookupTable, const QString& searchField,
                                                const QString& searchValue, bool forDisplay, bool& found)>;

// The combo's look settings for its drop-down grid, applied each time it drops down.
class TkqDropDownGridOptions : public QObject {
    Q_OBJECT
    Q_PROPERTY(int TitleLines MEMBER TitleLines)
    Q_PROPERTY(int Color MEMBER Color)
    Q_PROPERTY(int TitleAlignment MEMBER TitleAlignment)
public:
    using QObject::QObject;
    int TitleLines = 1;
    int Color = int(clWindow);
    int TitleAlignment = int(taLeftJustify);
};

// ---------------------------------------------------------------------------------------------
// The grid of lookup records. It always serves a lookup combo (OwnerCombo): the key lookups go
// through it.

class TkqDBLookupList : public TkqCustomDBGrid {
    Q_OBJECT
    Q_PROPERTY(TDataSet* LookupTable READ LookupTable WRITE SetLookupTable)
    Q_PROPERTY(QString LookupField READ LookupField WRITE SetLookupField)

public:
    TkqDBLookupList(TkqDBCustomLookupCombo* combo, QWidget* parent);
    ~TkqDBLookupList() override;

    TkqDBCustomLookupCombo* OwnerCombo() const { return FCombo; }
    TDataSource* LookupSource() const { return FLookupSource; }
    TDataSet* LookupTable() const;
    // The duplicate-source and not-a-dataset checks, then the key fields are resolved again.
    void SetLookupTable(TDataSet* table);
    QString LookupField() const { return FLookupField; }
    void SetLookupField(const QString& fields);
    bool LookupActive() const;
    // The list's options (loTitles gives a title row, the line options the grid's lines).
    TkqDBLookupListOptions ListOptions() const { return FListOptions; }
    void SetListOptions(TkqDBLookupListOptions options);

    // Key state.
    TField* KeyField() const { return FKeyField; }
    TField* KeyField2() const { return FKeyField2; }
    TField* KeyField3() const { return FKeyField3; }
    TField* DisplayField() const { return FDisplayField; }
    QString KeyValue, KeyValue2, KeyValue3, DisplayText;
    bool ValueFound = false;
    // The visible data row whose record carries the chosen keys; -1 for none.
    int HighlightRow = -1;
    // 1 with a title row, else 0: grid row = data row + TitleRowOffset.
    int TitleRowOffset = 0;
    bool KeyboardSelecting = false;
    bool ResizeWhileHidden = false;
    int DataChangeDepth = 0;

    // Resolves KeyField, KeyField2, KeyField3 and DisplayField from LookupField, the bound
    // field's links and the Selected list.
    void UpdateKeyFields(bool raiseIfMissing);
    void LookupChanged();
    void SetKeyValue(const QString& value);
    void SetDisplayText(const QString& text);
    // Puts the lookup table on the record of the bound value (in display order when asked).
    void LocateCurrentValue(bool displayOrder);
    // The search for a plain bound field's value.
    void LocateBoundValue();
    // The record the table stands on becomes the chosen one; fires OnClick.
    virtual void RecordChosen();
    virtual bool CanChangeValue() const;
    // The pixel width of the columns (the last Skip columns left out), with a scroll thumb.
    int MeasureColumns(int skip) const;

    std::function<void(QObject*)> OnClick;

    // The grid's own slots.
    void DefineFieldMap() override;
    void SetColumnWidths() override;
    bool HighlightCell(int dataCol, int dataRow, TGridDrawState state, const QString& text) override;
    bool CanGridAcceptKey(int key, TShiftState shift) override;
    void KeyDown(int& key, TShiftState shift) override;
    void KeyPress(QChar& key) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

protected:
    void LinkActive(bool value) override;
    void DataChanged() override;
    void Scroll(int distance) override;
    void resizeEvent(QResizeEvent* event) override;
    // The active record follows the grid's current data row.
    void FollowCurrentRow();
    bool FSelecting = false;

private:
    TkqDBCustomLookupCombo* FCombo;
    TDataSource* FLookupSource;
    QString FLookupField;
    TkqDBLookupListOptions FListOptions;
    QPointer<TField> FKeyField, FKeyField2, FKeyField3, FDisplayField;
};

// The drop-down form of the list: a top-level window below (or above) the combo that never
// takes the focus.
class TkqPopupGrid : public TkqDBLookupList {
    Q_OBJECT
public:
    explicit TkqPopupGrid(TkqDBCustomLookupCombo* combo);
    bool CanChangeValue() const override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

protected:
    void LinkActive(bool value) override;
};

// ---------------------------------------------------------------------------------------------
// The lookup combo

class TkqDBCustomLookupCombo : public TkqDBCustomCombo {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE SetDataSource)
    Q_PROPERTY(QString DataField READ DataField WRITE SetDataField)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(TDataSet* LookupTable READ LookupTable WRITE SetLookupTable)
    Q_PROPERTY(QString LookupField READ LookupField WRITE SetLookupField)
    Q_PROPERTY(QStringList Selected READ Selected WRITE SetSelected)
    Q_PROPERTY(int Style READ StyleValue WRITE SetStyleValue)
    Q_PROPERTY(bool AutoDropDown MEMBER AutoDropDown)
    Q_PROPERTY(bool AllowClearKey MEMBER AllowClearKey)
    Q_PROPERTY(bool ShowMatchText MEMBER ShowMatchText)
    Q_PROPERTY(int SearchDelay MEMBER SearchDelay)
    Q_PROPERTY(bool OrderByDisplay MEMBER OrderByDisplay)
    Q_PROPERTY(bool UseTFields READ UseTFields WRITE SetUseTFields)
    Q_PROPERTY(int DropDownRows MEMBER DropDownRows)
    Q_PROPERTY(int DropDownListWidth MEMBER DropDownListWidth)
    Q_PROPERTY(int ListAlignment MEMBER ListAlignment)
    Q_PROPERTY(QString KeyValue READ GetKeyValue)
    Q_PROPERTY(QString DisplayText READ GetDisplayText)

public:
    explicit TkqDBCustomLookupCombo(QWidget* parent = nullptr);
    ~TkqDBCustomLookupCombo() override;

    // ================================================================ Settings
    TDataSet* LookupTable() const { return FGrid->LookupTable(); }
    void SetLookupTable(TDataSet* table);
    QString LookupField() const { return FGrid->LookupField(); }
    void SetLookupField(const QString& fields);
    QStringList Selected() const { return FGrid->Selected(); }
    void SetSelected(const QStringList& lines);
    // Raises "Unable to use duplicate DataSource and LookupSource" for the lookup table's own.
    void SetDataSource(TDataSource* source);
    void SetDataField(const QString& name);
    TkqDBLookupComboStyle Style() const { return FStyle; }
    void SetStyle(TkqDBLookupComboStyle style) { FStyle = style; }
    bool UseTFields() const { return FGrid->UseTFields(); }
    void SetUseTFields(bool value) { FGrid->SetUseTFields(value); }
    void SetReadOnly(bool value);
    TkqDropDownGridOptions* DropDownOptions() const { return FDropDownOptions; }
    TkqPopupGrid* DropDownGrid() const { return FGrid; }
    TkqComboDlgButton* DropButton() const { return Button(); }
    QTimer* SearchTimer() const { return FSearchTimer; }

    bool AutoDropDown = false;
    bool AllowClearKey = false;
    bool ShowMatchText = false;
    // Milliseconds between the last keystroke and the search in the open list; 0 keeps 200.
    int SearchDelay = 0;
    TkqSeqSearchOptions SeqSearchOptions{ssoEnabled};
    bool OrderByDisplay = true;
    int DropDownRows = 8;
    // 0: from the columns.
    int DropDownListWidth = 0;
    // 0: the list's left edge at the combo's, otherwise the right edges aligned.
    int ListAlignment = 0;

    TkqNotifyCloseUpEvent OnCloseUp;
    std::function<void(QObject*)> OnDropDown;
    TkqValueNotFoundEvent OnValueNotFound;
    TkqSearchLookupEvent OnSearchLookup;
    std::function<void(QObject*)> OnPrepareDropDown;

    // ================================================================ State
    bool TextMatched = true;
    QString TypedText, LastSearchText, SavedDisplayText, SavedKeyValue;
    QString IndexSearchField;
    int ListRowCount = 0;
    bool IgnoreDataChange = false, WritingKeys = false, InValueNotFound = false, InCloseUp = false,
         InSearchEvent = false, AutoDropping = false, MarkModifiedOnChange = false;

    // ================================================================ Key model
    bool IsBoundLookupField() const;
    bool IsCalcFieldLookup() const;
    bool LookupTableIsDetail() const;
    bool AllowsTyping() const;
    bool TextStyleEditable() const;
    bool CanEditNow() const;
    // The bound record into edit state (the data link's Edit), its data changes ignored meanwhile.
    void StartEdit();
    QString GetKeyValue() const { return FGrid->KeyValue; }
    QString GetKeyValue2() const { return FGrid->KeyValue2; }
    QString GetDisplayText() const { return FGrid->DisplayText; }
    QString SyncKeyValue2();
    QString SyncKeyValue3();
    void SetKeyValue(const QString& value);
    void SetDisplayText(const QString& text);
    // Shows the display text that belongs to the bound value again (the record view calls it).
    void RefreshDisplayText();
    void CaptureGridRecord();
    bool GridRecordDiffers() const;
    void WriteKeyFields(bool& modified);
    void AcceptGridSelection();
    // The edit text when typing is allowed, else KeyValue.
    QString CurrentSearchText() const;
    void SelectAllIfTyping();

    // ================================================================ Searching
    bool NeedsGenericSearch() const;
    int IndexPositionOfSearchField() const;
    void ApplyLookupOrder(bool displayOrder);
    virtual bool FindValue(const QString& value, const QString& fieldName, bool partial, bool caseSensitive,
                           bool forDisplay);
    virtual bool FindByIndex(const QString& value, const QString& fieldName, bool partial);
    virtual void DoSearchLookup(const QString& fieldName, const QString& value, bool forDisplay, bool& found);
    virtual void PerformSearch();
    void SearchNow();
    virtual bool ExtraKeysAlwaysCurrent() const { return false; }

    // ================================================================ Drop-down
    bool IsDroppedDown() const override;
    void DropDown() override;
    void CloseUp(bool accept) override;
    // Positions the open list below the combo, or above it when it would leave the work area.
    void PlaceDropDown();
    // The height the list needs for ListRowCount rows.
    int ListHeight() const;
    // The watch that closes an open list on a press elsewhere is installed.
    static bool MouseHookInstalled();
    static QEvent::Type CancelModeEventType();

    bool IsEditable() const override { return TextStyleEditable(); }
    bool IsCaretShown() const override { return AllowsTyping(); }
    // A grid paints this combo's cells with the display text of each row's key.
    bool MapStoredToDisplay(const QString& value, QString& display) const override;
    using TkqDBCustomEdit::MapStoredToDisplay;

    void KeyDown(int& key, TShiftState shift) override;
    void KeyPress(QChar& key) override;
    void KeyUp(int& key, TShiftState shift) override;

protected:
    void DataChange() override;
    void EditingChange() override;
    void Change() override;
    void DoEnter() override;
    void DoCut() override;
    bool event(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // The data link asks for the value: the key (or the link fields) written into the record.
    void UpdateFieldData();
    void ActiveChange();
    void DeriveLookupField();
    void CancelMode(QObject* sender);
    void DropButtonClick();

private:
    friend class TkqDBLookupList;
    friend class TkqPopupGrid;
    int StyleValue() const { return int(FStyle); }
    void SetStyleValue(int v) { SetStyle(TkqDBLookupComboStyle(v)); }
    void RemoveMouseHook();
    // Escape: the saved text and key come back.
    void RestoreSaved();
    void ShowList();

    TkqPopupGrid* FGrid;
    TkqDropDownGridOptions* FDropDownOptions;
    QTimer* FSearchTimer;
    TkqDBLookupComboStyle FStyle = csDropDown;
    bool FListVisible = false;
};
