#pragma once
// The incremental search edit: as the user types, the dataset moves to the first record whose
// SearchField begins with the text (ignoring case); with ShowMatchText the rest of the match
// is completed and selected, so typing on replaces it.

#include "platform/data/DB.h"

#include <QLineEdit>

class TkqIncrementalSearch : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE SetDataSource)
    Q_PROPERTY(QString SearchField READ SearchField WRITE SetSearchField)

public:
    explicit TkqIncrementalSearch(QWidget* parent = nullptr);
    ~TkqIncrementalSearch() override;

    TDataSource* DataSource() const { return FDataLink.DataSource(); }
    // Switches the search to another data source (the text stays).
    void SetDataSource(TDataSource* source) { FDataLink.SetDataSource(source); }
    QString SearchField() const { return FSearchField; }
    void SetSearchField(const QString& name) { FSearchField = name; }
    bool ShowMatchText() const { return FShowMatchText; }
    void SetShowMatchText(bool value) { FShowMatchText = value; }

    // Moves to the first record whose field begins with the text; false when none does.
    bool Search(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    TDataLink FDataLink;
    QString FSearchField;
    bool FShowMatchText = false;
    bool FErasing = false;
};
