#pragma once
// Properties of components as text values of a settings file and back, driven only by the
// properties' meta information (Q_PROPERTY): the window storage's StoredProps lines.

#include <QList>
#include <QMetaProperty>
#include <QPointer>
#include <QString>
#include <functional>
#include <vector>

class QObject;

// The properties of one object's class that can be stored, sorted by name.
class TPropInfoList {
public:
    explicit TPropInfoList(const QObject* object);
    int Count() const { return int(FItems.size()); }
    const QMetaProperty& Items(int index) const { return FItems[size_t(index)]; }
    // Index of the property of that name, compared without regard to case; -1 when absent.
    int FindProperty(const QString& name) const;

private:
    std::vector<QMetaProperty> FItems;
};

// The text forms, by kind of property. In a namespace of their own: the packet reader's value
// kinds share the prefix.
namespace PropKinds {
enum TPropKind { pkNone, pkInteger, pkInt64, pkChar, pkEnumeration, pkFloat, pkString, pkVariant, pkSet, pkClass };
}
PropKinds::TPropKind PropertyKind(const QMetaProperty& property);

// One line of a stored-properties list ("cbRecurse.Checked") with its component once resolved.
struct TStoredItem {
    QString Text;
    QPointer<QObject> Object;
};
using TStoredList = QList<TStoredItem>;
enum TSyncMode { smFromDefinition, smWriting };

bool SplitStoredItem(const QString& item, QString& component, QString& property);
QString MakeStoredItem(const QString& component, const QString& property);
QString RenameStoredItem(const QString& item, const QString& component);
// Resolves the lines against the owner's components (smFromDefinition) or puts their
// components' current names into them (smWriting); lines that cannot be parsed or resolved go.
void SyncStoredList(QObject* owner, TStoredList& list, TSyncMode mode);

// Components are found by name among the owner's descendants, without regard to case.
QObject* FindComponentByName(const QObject* owner, const QString& name);
// The component that owns another: the form it sits on, else its parent.
QObject* ComponentOwner(const QObject* component);

// A collection property: an object of items that each publish their properties (the status
// bar's panels, a list of stored values). The object behind the property answers to this;
// its items are stored one by one as "Item<n>_<property>" in a section of the collection's own,
// its count as "<property>.Count".
class TStoredCollection {
public:
    virtual ~TStoredCollection() = default;
    virtual int CollectionCount() const = 0;
    virtual QObject* CollectionItem(int index) const = 0;
    virtual QObject* AddCollectionItem() = 0;
    virtual void ClearCollection() = 0;
    virtual void BeginCollectionUpdate() {}
    virtual void EndCollectionUpdate() {}
};

class TPropsStorage {
public:
    TPropsStorage() = default;
    virtual ~TPropsStorage() = default;

    QObject* Target = nullptr;
    QString KeyPrefix;
    QString TargetSection;
    QObject* OwnerComponent = nullptr;
    std::function<QString(const QString& section, const QString& ident, const QString& def)> OnReadText;
    std::function<void(const QString& section, const QString& ident, const QString& value)> OnWriteText;
    std::function<void(const QString& section)> OnEraseGroup;

    void SaveStoredProperties(QObject* owner, TStoredList& list);
    void LoadStoredProperties(QObject* owner, TStoredList& list);
    // One property of Target under the current prefix and section; name is the spelling the
    // key uses (the property's own name when empty).
    void StoreOneProperty(const QMetaProperty& property, const QString& name = QString());
    void LoadOneProperty(const QMetaProperty& property, const QString& name = QString());
    // Every property of Target, in order of their names.
    void StoreObjectProperties();
    void LoadObjectProperties();

    static QObject* FindTopLevelComponent(const QString& name);

protected:
    virtual QString ReadText(const QString& section, const QString& ident, const QString& def);
    virtual void WriteText(const QString& section, const QString& ident, const QString& value);
    virtual void EraseGroup(const QString& section);
    virtual QString KeyForProperty(const QString& name) const { return KeyPrefix + name; }
    virtual TPropsStorage* CreateNestedStorage() { return new TPropsStorage; }

private:
    QString PropertyText(const QMetaProperty& property) const;
    void ApplyText(const QMetaProperty& property, const QString& text);
    void StoreClassProperty(const QMetaProperty& property, const QString& name);
    void LoadClassProperty(const QMetaProperty& property, const QString& name);
    QString ComponentReferenceText(const QObject* component) const;
    void ApplyComponentReference(const QMetaProperty& property, const QString& text);
    void RunOnTable(QObject* owner, TStoredList& list, bool store);
};

// The old general float format: up to digits significant digits, no trailing zeros, "." as
// the decimal separator, scientific ("1.5E20", "1E-7") for very large or small values.
QString FloatToStrGeneral(double value, int digits);
