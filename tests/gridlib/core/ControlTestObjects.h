#pragma once
// A data grid as the library's controls see it: a widget named like the library's grid that
// offers the grid-host interface, with options and a key log the tests set and read.

#include "gridlib/core/kqgridhost.h"
#include "tests/gridlib/core/CoreTestObjects.h"

#include <QList>

class TkqDBGrid : public TkqCustomDBGrid, public TkqGridHost {
    Q_OBJECT
public:
    explicit TkqDBGrid(QWidget* parent = nullptr) : TkqCustomDBGrid(parent) { setFocusPolicy(Qt::StrongFocus); }

    int TitleRowHeight() const override { return 18; }
    TColor FixedColor() const override { return clBtnFace; }
    TColor GridFontColor() const override { return FontColor; }
    bool HasRowLines() const override { return RowLines; }
    bool AlwaysShowEditor() const override { return ShowEditor; }
    bool TabsMoveBetweenCells() const override { return Tabs; }
    void GridKeyDown(int& key, TShiftState) override { Keys.append(key); }
    void GridKeyPress(QChar& key) override { Chars.append(key); }

    TColor FontColor = clWindowText;
    bool RowLines = true;
    bool ShowEditor = false;
    bool Tabs = false;
    QList<int> Keys;
    QList<QChar> Chars;
};
