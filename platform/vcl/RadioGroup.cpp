#include "platform/vcl/RadioGroup.h"

#include "platform/vcl/Forms.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>

TRadioGroup::TRadioGroup(QWidget* parent) : QGroupBox(parent), FGroup(new QButtonGroup(this)), FLayout(new QGridLayout(this))
{
    FGroup->setExclusive(true);
    connect(FGroup, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked && !FUpdating) Choose(id);
    });
}

void TRadioGroup::SetItems(const QStringList& items)
{
    FItems = items;
    if (FItemIndex >= FItems.size()) FItemIndex = -1;
    Rebuild();
}

void TRadioGroup::SetColumns(int columns)
{
    columns = qMax(1, columns);
    if (columns == FColumns) return;
    FColumns = columns;
    Rebuild();
}

void TRadioGroup::SetItemIndex(int index)
{
    if (index < -1 || index >= FItems.size()) index = -1;
    if (index == FItemIndex) return;
    FUpdating = true;
    if (index < 0) {
        // An exclusive group keeps one button checked; lift that while clearing.
        FGroup->setExclusive(false);
        for (QRadioButton* b : FButtons) b->setChecked(false);
        FGroup->setExclusive(true);
    } else {
        FButtons[index]->setChecked(true);
    }
    FUpdating = false;
    Choose(index);
}

void TRadioGroup::Choose(int index)
{
    if (index == FItemIndex) return;
    FItemIndex = index;
    if (OnClick) TApplication::Guard([this] { OnClick(this); });
}

void TRadioGroup::Rebuild()
{
    FUpdating = true;
    for (QRadioButton* b : FButtons) {
        FGroup->removeButton(b);
        delete b;
    }
    FButtons.clear();
    // Items run down the columns, as many rows per column as it takes.
    const int n = int(FItems.size());
    const int rows = (n + FColumns - 1) / FColumns;
    for (int i = 0; i < n; ++i) {
        auto* b = new QRadioButton(FItems[i], this);
        FGroup->addButton(b, i);
        FLayout->addWidget(b, rows > 0 ? i % rows : 0, rows > 0 ? i / rows : 0);
        FButtons.append(b);
        if (i == FItemIndex) b->setChecked(true);
    }
    FUpdating = false;
}
