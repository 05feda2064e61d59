#pragma once
// The data-aware combo box. With MapList each item is a display text, a tab and the stored
// text: the field receives the stored text and the combo shows the display text (the grid
// paints its cells through MapStoredToDisplay). A picked item goes into the field at once.

#include "gridlib/core/kqgridhost.h"
#include "platform/data/DB.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QStringList>
#include <functional>

enum TComboBoxStyle { csDropDown, csDropDownList };

class TkqDBComboBox : public QComboBox, public TkqCellTextMap {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE SetDataSource)
    Q_PROPERTY(QString DataField READ DataField WRITE SetDataField)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(QString Text READ Text WRITE SetText)
    Q_PROPERTY(QStringList Items READ Items WRITE SetItems)

public:
    explicit TkqDBComboBox(QWidget* parent = nullptr);

    TDataSource* DataSource() const { return FDataLink.DataSource(); }
    void SetDataSource(TDataSource* source) { FDataLink.SetDataSource(source); }
    QString DataField() const { return FDataLink.FieldName(); }
    void SetDataField(const QString& name) { FDataLink.SetFieldName(name); }
    TField* Field() const { return FDataLink.Field(); }
    bool ReadOnly() const { return FDataLink.ReadOnly(); }
    void SetReadOnly(bool readOnly);

    QStringList Items() const { return FItems; }
    void SetItems(const QStringList& items);
    bool MapList() const { return FMapList; }
    void SetMapList(bool value);
    TComboBoxStyle Style() const { return FStyle; }
    void SetStyle(TComboBoxStyle style);
    bool AutoDropDown() const { return FAutoDropDown; }
    void SetAutoDropDown(bool value) { FAutoDropDown = value; }
    bool ShowMatchText() const { return FShowMatchText; }
    void SetShowMatchText(bool value) { FShowMatchText = value; }
    bool AllowClearKey() const { return FAllowClearKey; }
    void SetAllowClearKey(bool value) { FAllowClearKey = value; }
    int DropDownCount() const { return maxVisibleItems(); }
    void SetDropDownCount(int count) { setMaxVisibleItems(count); }
    bool Sorted() const { return FSorted; }
    void SetSorted(bool value);
    // When on, the list does not drop down.
    bool DisableDropDownList() const { return FDisableDropDownList; }
    void SetDisableDropDownList(bool value) { FDisableDropDownList = value; }
    // The display text shown.
    QString Text() const { return currentText(); }
    void SetText(const QString& text);

    // The display text of a stored value; a null string when MapList is off or no item has it.
    QString MapStoredToDisplay(const QString& stored) const override;
    QString MapDisplayToStored(const QString& display) const;

    std::function<void(QObject*)> OnChange;
    // When an open list closes (not when the combo is hidden with its list closed).
    std::function<void(QObject*)> OnCloseUp;

    void showPopup() override;
    void hidePopup() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void Rebuild();
    void HookLineEdit();
    void DataChange();
    void Picked(int index);
    void WriteText(const QString& display);
    QString DisplayOf(const QString& item) const;
    QString StoredOf(const QString& item) const;

    TFieldDataLink FDataLink;
    QPointer<QLineEdit> FHookedEdit;
    QStringList FItems;
    bool FMapList = false;
    TComboBoxStyle FStyle = csDropDown;
    bool FAutoDropDown = false;
    bool FShowMatchText = false;
    bool FAllowClearKey = false;
    bool FSorted = false;
    bool FDisableDropDownList = false;
    bool FShowing = false;
};
