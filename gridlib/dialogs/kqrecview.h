#pragma once
// The record view panel: the current record of its data source as a label and an editor per
// visible field, scrolled when they do not fit. Fields that cannot be changed are shown
// read-only in ReadOnlyColor.

#include "platform/data/DB.h"
#include "platform/vcl/Graphics.h"

#include <QFont>
#include <QScrollArea>
#include <memory>
#include <vector>

class QLabel;
class QLineEdit;

class TkqRecordViewPanel : public QScrollArea {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE SetDataSource)

public:
    explicit TkqRecordViewPanel(QWidget* parent = nullptr);
    ~TkqRecordViewPanel() override;

    TDataSource* DataSource() const;
    void SetDataSource(TDataSource* source);
    QFont LabelFont() const { return FLabelFont; }
    void SetLabelFont(const QFont& font);
    TColor ReadOnlyColor() const { return FReadOnlyColor; }
    void SetReadOnlyColor(TColor color);

    // The editor shown for a field (none when the field is not shown).
    QLineEdit* EditorOf(const QString& fieldName) const;
    QLabel* LabelOf(const QString& fieldName) const;
    // Rebuilds the rows from the dataset's visible fields.
    void Rebuild();

private:
    class TViewLink;
    struct TRow;
    void ShowValues();
    void WriteBack(TRow& row);

    std::unique_ptr<TViewLink> FDataLink;
    std::vector<std::unique_ptr<TRow>> FRows;
    QFont FLabelFont;
    TColor FReadOnlyColor = clInfoBk;
};
