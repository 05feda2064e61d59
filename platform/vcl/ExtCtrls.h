#pragma once
// A radio group: a captioned box of radio buttons of which one (or none) is chosen.

#include <QGroupBox>
#include <QList>
#include <QStringList>
#include <functional>

class QButtonGroup;
class QGridLayout;
class QRadioButton;

class TRadioGroup : public QGroupBox {
    Q_OBJECT
    Q_PROPERTY(int ItemIndex READ ItemIndex WRITE SetItemIndex)
public:
    explicit TRadioGroup(QWidget* parent = nullptr);

    QStringList Items() const { return FItems; }
    // Rebuilds the buttons; nothing is chosen afterwards.
    void SetItems(const QStringList& items);
    int Columns() const { return FColumns; }
    void SetColumns(int columns);
    // -1 when nothing is chosen.
    int ItemIndex() const;
    void SetItemIndex(int index);
    QRadioButton* Button(int index) const;

    // The user or the program chose another item.
    std::function<void(QObject*)> OnClick;

private:
    void Rebuild();

    QStringList FItems;
    int FColumns = 1;
    int FIndex = -1;
    QButtonGroup* FGroup;
    QGridLayout* FLayout;
    QList<QRadioButton*> FButtons;
};
