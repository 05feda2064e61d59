#pragma once
// The radio group: a captioned box of radio buttons laid out in columns, of which at most
// one is chosen (ItemIndex, -1 for none). OnClick fires whenever the chosen item changes,
// by the user or by the program.

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

    QString Caption() const { return title(); }
    void SetCaption(const QString& caption) { setTitle(caption); }
    QStringList Items() const { return FItems; }
    // New items drop the choice when it no longer names an item.
    void SetItems(const QStringList& items);
    int Columns() const { return FColumns; }
    void SetColumns(int columns);
    int ItemIndex() const { return FItemIndex; }
    // Out-of-range values choose nothing.
    void SetItemIndex(int index);
    QRadioButton* Buttons(int index) const { return FButtons.value(index); }
    int ButtonCount() const { return int(FButtons.size()); }

    std::function<void(QObject*)> OnClick;

private:
    void Rebuild();
    void Choose(int index);

    QStringList FItems;
    QList<QRadioButton*> FButtons;
    QButtonGroup* FGroup;
    QGridLayout* FLayout;
    int FColumns = 1;
    int FItemIndex = -1;
    bool FUpdating = false;
};
