#pragma once
// The incremental search edit and the sort-order combo.
//
// TkqIncrementalSearch moves a dataset to the first record whose search field begins with what
// the user typed, a moment after the last keystroke (SearchDelay, else 200 ms), and with
// ShowMatchText completes the text with the found value, the completion selected so that
// typing on replaces it. Over an indexed dataset the search goes through the dataset's Locate,
// which answers from its index without scanning the records.
//
// TkqKeyCombo lists the sort orders a dataset offers (its indexes; for client datasets its
// fields) and applies the one the user picks.

#include "gridlib/core/kqdbedit.h"
#include "gridlib/editors/kqdbcombo.h"
#include "platform/data/DB.h"

#include <QPointer>
#include <functional>

class QTimer;

class TkqIncrementalSearch : public TkqCustomMaskEdit {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE SetDataSource)
    Q_PROPERTY(QString SearchField READ SearchField WRITE SetSearchField)
    Q_PROPERTY(bool ShowMatchText READ ShowMatchText WRITE SetShowMatchText)
    Q_PROPERTY(QString PictureMask MEMBER PictureMask)
    Q_PROPERTY(bool PictureMaskAutoFill MEMBER PictureMaskAutoFill)
    Q_PROPERTY(bool PictureMaskFromField MEMBER PictureMaskFromField)
    Q_PROPERTY(int SearchDelay MEMBER SearchDelay)

public:
    explicit TkqIncrementalSearch(QWidget* parent = nullptr);
    ~TkqIncrementalSearch() override;

    TDataSource* DataSource() const { return FDataLink.DataSource(); }
    // Switches the search to another data source (the text stays).
    void SetDataSource(TDataSource* source) { FDataLink.SetDataSource(source); }
    QString SearchField() const { return FSearchField; }
    void SetSearchField(const QString& name) { FSearchField = name; }
    void ChangeSearchField(const QString& name) { FSearchField = name; }
    bool ShowMatchText() const { return FShowMatchText; }
    void SetShowMatchText(bool value) { FShowMatchText = value; }
    QString PictureMask;
    bool PictureMaskAutoFill = true;
    bool PictureMaskFromField = false;
    // Milliseconds between the last keystroke and the search; 0: the timer's interval.
    int SearchDelay = 0;
    // The timer that delays the search (its tick runs FlushPendingSearch).
    QTimer* SearchTimer() const { return FTimer; }
    QString LastSearchedText() const { return FLastSearchedText; }

    // Searches now for the current text.
    void SearchTypedText();
    // Runs a search that is waiting for its timer (when the text changed since the last one).
    void FlushPendingSearch();
    // The field whose picture mask applies while typing.
    QString GetSearchFieldName() const;
    // Empties the text and forgets the last search.
    void Clear();
    void SetEditRect() override;
    // An image of the edit as it shows unfocused.
    void PaintCopy(TCanvas& canvas) override { PaintUnfocused(canvas); }

    std::function<void(TkqIncrementalSearch*, bool matchFound)> OnAfterSearch;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    virtual void KeyPress(QChar& key);
    virtual void KeyUp(int key);

private:
    // The field the search runs on: the search field, else the current index's first field,
    // else IndexFieldNames' first, else the dataset's first field.
    QString ResolveSearchField(TDataSet* dataSet, bool& caseSensitiveIndex) const;
    // Paints the unfocused framed edit.
    void PaintUnfocused(TCanvas& canvas);

    TDataLink FDataLink;
    QTimer* FTimer;
    QString FLastSearchedText;
    QString FSearchField;
    bool FShowMatchText = false;
    bool FFocused = false;
};

class TkqKeyCombo;

// The key combo's link to its data source.
class TkqKeyDataLink : public TDataLink {
public:
    explicit TkqKeyDataLink(TkqKeyCombo* combo) : FCombo(combo) {}

protected:
    void ActiveChanged() override;
    void DataSetChanged() override;
    // Moving through the records changes no sort order.
    void DataSetScrolled(int) override {}

private:
    TkqKeyCombo* FCombo;
};

class TkqKeyCombo : public TkqDBCustomComboBox {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE SetDataSource)
    Q_PROPERTY(bool ShowAllIndexes READ ShowAllIndexes WRITE SetShowAllIndexes)
    Q_PROPERTY(QString PrimaryKeyName READ PrimaryKeyName WRITE SetPrimaryKeyName)

public:
    explicit TkqKeyCombo(QWidget* parent = nullptr);
    ~TkqKeyCombo() override;

    // The source whose sort orders are listed (not a field link: the combo edits no field).
    TDataSource* DataSource() const { return FKeyLink.DataSource(); }
    // Accepts datasets with index information only; others get a warning and are not taken.
    void SetDataSource(TDataSource* source);
    bool ShowAllIndexes() const { return FShowAllIndexes; }
    void SetShowAllIndexes(bool value);
    // The name an unnamed primary index is listed under ("PrimaryKey" when empty).
    QString PrimaryKeyName() const { return FPrimaryKeyName.isEmpty() ? QStringLiteral("PrimaryKey") : FPrimaryKeyName; }
    void SetPrimaryKeyName(const QString& name) { FPrimaryKeyName = name; }

    // Refills the list and selects the current order; grid (optional) is a data grid whose
    // Selected list decides which fields count as shown.
    void FillSortOrders(QObject* grid);
    virtual void LoadIndexList();
    // Client datasets (and client-side ADO tables) are listed and sorted by field.
    virtual bool SortsByFields(const TDataSet* dataSet) const;

    void DropDown() override;
    void CloseUp(bool accept) override;

protected:
    void Change() override;

private:
    friend class TkqKeyDataLink;
    void ApplyChoice();
    // The dataset offers index definitions (an index name to set).
    static bool HasIndexInformation(const TDataSet* dataSet);

    TkqKeyDataLink FKeyLink;
    bool FShowAllIndexes = false;
    QString FPrimaryKeyName = QStringLiteral("PrimaryKey");
    bool FRefreshing = false;
    bool FFilling = false;
    bool FApplying[1] = {false};
    QMetaObject::Connection FSourceGone;
};
