#include "treestatus/qeCollection.h"

#include "platform/core/SysUtils.h"

TqeCollectionItem::TqeCollectionItem(TqeCollection* collection) : FCollection(collection) {}

TqeCollectionItem::~TqeCollectionItem() = default;

int TqeCollectionItem::Index() const { return FCollection ? FCollection->IndexOf(this) : -1; }

void TqeCollectionItem::SetIndex(int index)
{
    if (FCollection) FCollection->Move(Index(), index);
}

QString TqeCollectionItem::GetDisplayName() const { return QStringLiteral("TqeCollectionItem"); }

void TqeCollectionItem::Changed(bool allItems)
{
    if (OnChange) OnChange(this);
    if (FCollection && FCollection->UpdateCount() == 0) FCollection->Update(allItems ? nullptr : this);
}

TqeCollection::~TqeCollection()
{
    FClearing = true;
    FItems.clear();
}

TqeCollectionItem* TqeCollection::Items(int index) const
{
    if (index < 0 || index >= Count()) throw EListError(Format(QStringLiteral("List index out of bounds (%d)"), {index}));
    return FItems[size_t(index)].get();
}

int TqeCollection::IndexOf(const TqeCollectionItem* item) const
{
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].get() == item) return int(i);
    return -1;
}

TqeCollectionItem* TqeCollection::Add()
{
    FItems.push_back(CreateItem());
    Changed();
    return FItems.back().get();
}

void TqeCollection::Delete(int index)
{
    Items(index);
    FItems.erase(FItems.begin() + index);
    Changed();
}

void TqeCollection::Clear()
{
    if (FItems.empty()) return;
    FItems.clear();
    Changed();
}

void TqeCollection::Move(int from, int to)
{
    if (from < 0 || from >= Count() || from == to) return;
    to = std::clamp(to, 0, Count() - 1);
    auto item = std::move(FItems[size_t(from)]);
    FItems.erase(FItems.begin() + from);
    FItems.insert(FItems.begin() + to, std::move(item));
    Changed();
}

void TqeCollection::EndUpdate()
{
    if (FUpdateCount > 0 && --FUpdateCount == 0) Changed();
}

void TqeCollection::Changed()
{
    if (FUpdateCount == 0 && !FClearing) Update(nullptr);
}
