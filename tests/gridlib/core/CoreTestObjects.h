#pragma once
// Small classes with published properties of the names the library reads and writes, and
// classes named as the library recognises them.

#include "gridlib/core/kqcommon.h"
#include "gridlib/core/kqfieldlists.h"

#include <QObject>
#include <QStringList>
#include <QWidget>

// A dataset-like component of another family: string, integer, object, list and set
// properties, one of them of the wrong kind.
class TPropertyHolder : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString DatabaseName MEMBER DatabaseName)
    Q_PROPERTY(int SessionName MEMBER SessionName)   // not a text
    Q_PROPERTY(QString TableName MEMBER TableName)
    Q_PROPERTY(QObject* Connection MEMBER Connection)
    Q_PROPERTY(int CursorLocation MEMBER CursorLocation)
    Q_PROPERTY(QStringList SQL MEMBER SQL)
    Q_PROPERTY(QString Caption MEMBER Caption)
    Q_PROPERTY(bool ControlInfoInDataset MEMBER ControlInfoInDataset)
    Q_PROPERTY(TkqOnFilterOptions OnFilterOptions MEMBER OnFilterOptions)
    Q_PROPERTY(int BorderStyle MEMBER BorderStyle)
    Q_PROPERTY(TkqInvalidValueEvent OnInvalidValue READ OnInvalidValue WRITE SetOnInvalidValue)
public:
    QString DatabaseName;
    int SessionName = 3;
    QString TableName = QStringLiteral("customer.db");
    QObject* Connection = nullptr;
    int CursorLocation = 2;
    QStringList SQL;
    QString Caption;
    bool ControlInfoInDataset = false;
    TkqOnFilterOptions OnFilterOptions{ofoEnabled, ofoShowHourGlass};
    int BorderStyle = 1;
    TkqInvalidValueEvent Handler;
    TkqInvalidValueEvent OnInvalidValue() const { return Handler; }
    void SetOnInvalidValue(const TkqInvalidValueEvent& h) { Handler = h; }
};

class TCustomGrid : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
};

class TkqCustomDBGrid : public TCustomGrid {
    Q_OBJECT
public:
    using TCustomGrid::TCustomGrid;
};

class TCustomFrame : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
};

// A control with the data-aware properties.
class TBoundControl : public QWidget {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource MEMBER DataSource)
    Q_PROPERTY(QString DataField MEMBER DataField)
public:
    using QWidget::QWidget;
    TDataSource* DataSource = nullptr;
    QString DataField;
};

#include "tests/gridlib/GridTestData.h"

// A dataset of another family that publishes the per-field lists.
class TListedDataSet : public TGridTestDataSet {
    Q_OBJECT
    Q_PROPERTY(QStringList ControlType MEMBER ControlType)
    Q_PROPERTY(QStringList PictureMasks MEMBER PictureMasks)
    Q_PROPERTY(QStringList LookupFields MEMBER LookupFields)
    Q_PROPERTY(QStringList LookupLinks MEMBER LookupLinks)
    Q_PROPERTY(QString DatabaseName MEMBER DatabaseName)
public:
    using TGridTestDataSet::TGridTestDataSet;
    QStringList ControlType;
    QStringList PictureMasks;
    QStringList LookupFields;
    QStringList LookupLinks;
    QString DatabaseName = QStringLiteral("MAIN");
};

// A table with pictures of its own for some fields.
class TPicturedTable : public TListedDataSet, public TkqTablePictures {
    Q_OBJECT
public:
    using TListedDataSet::TListedDataSet;
    QString TablePicture(const QString& fieldName) const override
    {
        return fieldName.compare(QLatin1String("Zip"), Qt::CaseInsensitive) == 0 ? QStringLiteral("#####[-####]")
                                                                                   : QString();
    }
};

// A control with its own lists and the switches that make it follow its dataset's.
class TListedControl : public TBoundControl {
    Q_OBJECT
    Q_PROPERTY(QStringList ControlType MEMBER ControlType)
    Q_PROPERTY(QStringList PictureMasks MEMBER PictureMasks)
    Q_PROPERTY(bool ControlInfoInDataset MEMBER ControlInfoInDataset)
    Q_PROPERTY(bool PictureMaskFromDataSet MEMBER PictureMaskFromDataSet)
public:
    using TBoundControl::TBoundControl;
    QStringList ControlType;
    QStringList PictureMasks;
    bool ControlInfoInDataset = true;
    bool PictureMaskFromDataSet = true;
};
