#pragma once
// The bases of the suite's collections (the status bar's panels): owned items in order, each
// with a tag and a change event, telling the collection when they change.

#include <QString>
#include <functional>
#include <memory>
#include <vector>

class TqeCollection;

class TqeCollectionItem {
public:
    explicit TqeCollectionItem(TqeCollection* collection);
    virtual ~TqeCollectionItem();
    TqeCollectionItem(const TqeCollectionItem&) = delete;
    TqeCollectionItem& operator=(const TqeCollectionItem&) = delete;

    TqeCollection* Collection() const { return FCollection; }
    int Index() const;
    void SetIndex(int index);
    int Tag() const { return FTag; }
    void SetTag(int tag) { FTag = tag; }
    virtual QString GetDisplayName() const;

    // Fired by the change notification with the item as sender.
    std::function<void(TqeCollectionItem*)> OnChange;

protected:
    // The item changed: its event, then the collection updates this item (or all of them).
    virtual void Changed(bool allItems);

private:
    TqeCollection* FCollection;
    int FTag = 0;
};

class TqeCollection {
public:
    TqeCollection() = default;
    virtual ~TqeCollection();
    TqeCollection(const TqeCollection&) = delete;
    TqeCollection& operator=(const TqeCollection&) = delete;

    int Count() const { return int(FItems.size()); }
    TqeCollectionItem* Items(int index) const;
    int IndexOf(const TqeCollectionItem* item) const;
    // A new last item of the collection's item class.
    TqeCollectionItem* Add();
    void Delete(int index);
    void Clear();
    void Move(int from, int to);
    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

protected:
    friend class TqeCollectionItem;
    virtual std::unique_ptr<TqeCollectionItem> CreateItem() = 0;
    // One item changed, or (nullptr) the collection as a whole.
    virtual void Update(TqeCollectionItem* item) { (void)item; }
    void Changed();

private:
    std::vector<std::unique_ptr<TqeCollectionItem>> FItems;
    int FUpdateCount = 0;
    bool FClearing = false;
};
