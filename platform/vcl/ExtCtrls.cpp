#include "platform/vcl/ExtCtrls.h"

#include "platform/vcl/Forms.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>

TRadioGroup::TRadioGroup(QWidget* parent) : QGroupBox(parent), FGroup(new QButtonGroup(this)), FLayout(new QGridLayout(this))
{
    // Choosing none must stay possible for the program.
    FGroup->setExclusive(false);
    FLayout->setContentsMargins(6, 4, 6, 4);
    FLayout->setVerticalSpacing(2);
    connect(FGroup, &QButtonGroup::idClicked, this, [this](int id) {
        SetItemIndex(id);
    });
}

void TRadioGroup::SetItems(const QStringList& items)
{
    FItems = items;
    Rebuild();
}

void TRadioGroup::SetColumns(int columns)
{
    if (columns < 1 || columns == FColumns) return;
    FColumns = columns;
    Rebuild();
}

void TRadioGroup::Rebuild()
{
    for (QRadioButton* b : FButtons) {
        FGroup->removeButton(b);
        delete b;
    }
    FButtons.clear();
    FIndex = -1;
    const int rows = (int(FItems.size()) + FColumns - 1) / FColumns;
    for (int i = 0; i < FItems.size(); ++i) {
        auto* b = new QRadioButton(FItems[i], this);
        b->setAutoExclusive(false);
        FGroup->addButton(b, i);
        FLayout->addWidget(b, rows ? i % rows : 0, rows ? i / rows : 0);
        FButtons.append(b);
    }
}

int TRadioGroup::ItemIndex() const { return FIndex; }

void TRadioGroup::SetItemIndex(int index)
{
    if (index < -1 || index >= FButtons.size()) index = -1;
    const int old = FIndex;
    FIndex = index;
    // A click on the chosen button unchecks it first: it is checked again here.
    for (int i = 0; i < FButtons.size(); ++i) FButtons[i]->setChecked(i == index);
    if (old != index && OnClick) TApplication::Guard([this] { OnClick(this); });
}

QRadioButton* TRadioGroup::Button(int index) const
{
    return index >= 0 && index < FButtons.size() ? FButtons[index] : nullptr;
}
