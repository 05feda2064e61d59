#pragma once
// Two small stacks for the filter-expression compiler: one of texts, one of untyped pointers
// (it never frees what they point to).

#include <QString>
#include <QStringList>
#include <vector>

class TStackStr {
public:
    int Count() const { return int(FItems.size()); }
    void Push(const QString& item) { FItems.append(item); }
    // The last item pushed, removed; an empty text when the stack is empty.
    QString Pop() { return FItems.isEmpty() ? QString() : FItems.takeLast(); }

private:
    QStringList FItems;
};

class TStackPtr {
public:
    int Count() const { return int(FItems.size()); }
    // Returns the index of the new item.
    int Push(void* item)
    {
        FItems.push_back(item);
        return int(FItems.size()) - 1;
    }
    // The last item pushed, removed; nullptr when the stack is empty.
    void* Pop()
    {
        if (FItems.empty()) return nullptr;
        void* item = FItems.back();
        FItems.pop_back();
        return item;
    }

private:
    std::vector<void*> FItems;
};
