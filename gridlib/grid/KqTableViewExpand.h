#pragma once
// The expand button: the cell control of a nested-dataset column. Checked means expanded: its
// detail grid opens inside the current row of the grid that hosts the button (the row grows
// by the detail grid's height) and closes again when the button is clicked, the host grid
// moves to another record or re-lays out.

#include "platform/data/DB.h"

#include <QAbstractButton>
#include <QPointer>
#include <functional>

class TkqTableViewGrid;

class TkqTableViewExpandButton : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE SetDataSource)
    Q_PROPERTY(QString DataField READ DataField WRITE SetDataField)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)

public:
    explicit TkqTableViewExpandButton(QWidget* parent = nullptr);

    TDataSource* DataSource() const { return FDataLink.DataSource(); }
    void SetDataSource(TDataSource* source) { FDataLink.SetDataSource(source); }
    QString DataField() const { return FDataLink.FieldName(); }
    void SetDataField(const QString& name) { FDataLink.SetFieldName(name); }
    TField* Field() const { return FDataLink.Field(); }
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool readOnly) { FReadOnly = readOnly; }

    // The detail grid; assigning hides it.
    TkqTableViewGrid* Grid() const { return FGrid; }
    void SetGrid(TkqTableViewGrid* grid);
    // Shrink the detail grid to its rows when expanding (never above its first height).
    bool AutoShrink() const { return FAutoShrink; }
    void SetAutoShrink(bool value) { FAutoShrink = value; }

    bool Checked() const { return FExpanded; }
    bool Expanded() const { return FExpanded; }
    // Expands or collapses with the before and after events; nothing when already so.
    void SetExpanded(bool value);
    // The user's click: the before event may refuse with a silent abort.
    void Toggle();
    // Left edge in the host grid's client coordinates.
    int Left() const;
    // The grid the button sits in (none while it is not placed in a grid).
    TkqTableViewGrid* HostGrid() const;

    std::function<void(QObject*)> OnBeforeExpand;
    std::function<void(QObject*)> OnBeforeCollapse;
    std::function<void(QObject*)> OnAfterExpand;
    std::function<void(QObject*)> OnAfterCollapse;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    friend class TkqTableViewGrid;
    void Place();
    // The host grid places the detail grid below the button's cell.
    void PlaceDetail(const QRect& buttonRect);
    void ForceCollapse();
    int DetailHeightFor() const;

    TFieldDataLink FDataLink;
    QPointer<TkqTableViewGrid> FGrid;
    bool FAutoShrink = true;
    bool FExpanded = false;
    bool FToggling = false;
    bool FReadOnly = false;
    int FDetailHeight = 0;
};
