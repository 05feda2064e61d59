#pragma once
// A bounded list of recently used texts with an integer of user data each, optionally shown
// as items of a menu, saved in the settings file through a window storage.

#include "utilities/Placemnt.h"

#include <QKeySequence>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class QAction;

namespace MRUTypes {
Q_NAMESPACE
enum TRecentMode { rmInsert, rmAppend };
Q_ENUM_NS(TRecentMode)
enum TAccelDelimiter { adTab, adSpace };
Q_ENUM_NS(TAccelDelimiter)
} // namespace MRUTypes
using namespace MRUTypes;

// The list: texts compared without regard to case, at most MaxCount of them. Adding a text
// that is there already moves it (to the end in rmAppend mode, to the top in rmInsert mode).
class TRecentStrings {
public:
    TRecentStrings() = default;

    int Count() const { return int(FItems.size()); }
    QString Strings(int index) const { return FItems[size_t(index)].Text; }
    int UserData(int index) const { return FItems[size_t(index)].Data; }
    void SetUserData(int index, int data) { FItems[size_t(index)].Data = data; }
    QStringList ToStringList() const;
    int IndexOf(const QString& text) const;

    int MaxCount() const { return FMaxCount; }
    void SetMaxCount(int value);
    TRecentMode AddMode() const { return FAddMode; }
    void SetAddMode(TRecentMode mode) { FAddMode = mode; }

    // The add rule; the result is the entry's index.
    int Add(const QString& text) { return AddObject(text, 0); }
    int AddObject(const QString& text, int data);
    void AddStrings(const TRecentStrings& source);
    void AddStrings(const QStringList& source);
    void Delete(int index);
    void RemoveText(const QString& text);
    void Clear();
    void TrimToCapacity();

    // Within a bracket the change event fires once, at its end.
    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    std::function<void()> OnChange;

private:
    struct TItem {
        QString Text;
        int Data = 0;
    };
    void Changed();
    void Move(int from, int to);
    std::vector<TItem> FItems;
    int FMaxCount = 10;
    TRecentMode FAddMode = rmInsert;
    int FUpdateCount = 0;
};

class TMRUManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Capacity READ Capacity WRITE SetCapacity)
    Q_PROPERTY(MRUTypes::TRecentMode Mode READ Mode WRITE SetMode)
    Q_PROPERTY(TFormPlacement* IniStorage READ IniStorage WRITE SetIniStorage)
    Q_PROPERTY(QMenu* RecentMenu READ RecentMenu WRITE SetRecentMenu)
    Q_PROPERTY(bool AutoUpdate READ AutoUpdate WRITE SetAutoUpdate)
    Q_PROPERTY(bool AutoEnable READ AutoEnable WRITE SetAutoEnable)
    Q_PROPERTY(bool ShowAccelChar READ ShowAccelChar WRITE SetShowAccelChar)
    Q_PROPERTY(uint StartAccel READ StartAccel WRITE SetStartAccel)
    Q_PROPERTY(MRUTypes::TAccelDelimiter AccelDelimiter READ AccelDelimiter WRITE SetAccelDelimiter)
    Q_PROPERTY(int SeparateSize READ SeparateSize WRITE SetSeparateSize)
    Q_PROPERTY(bool RemoveOnSelect READ RemoveOnSelect WRITE SetRemoveOnSelect)
public:
    explicit TMRUManager(QObject* owner = nullptr);
    ~TMRUManager() override;

    int Capacity() const { return FRecentItems.MaxCount(); }
    void SetCapacity(int value) { FRecentItems.SetMaxCount(value); }
    TRecentMode Mode() const { return FRecentItems.AddMode(); }
    void SetMode(TRecentMode value) { FRecentItems.SetAddMode(value); }
    TFormPlacement* IniStorage() const { return FIniLink->Storage(); }
    void SetIniStorage(TFormPlacement* storage) { FIniLink->SetStorage(storage); }
    QMenu* RecentMenu() const { return FRecentMenu; }
    void SetRecentMenu(QMenu* menu);
    bool AutoUpdate() const { return FAutoUpdate; }
    void SetAutoUpdate(bool value) { FAutoUpdate = value; }
    bool AutoEnable() const { return FAutoEnable; }
    void SetAutoEnable(bool value);
    bool ShowAccelChar() const { return FShowAccelChar; }
    void SetShowAccelChar(bool value);
    uint StartAccel() const { return FStartAccel; }
    void SetStartAccel(uint value);
    TAccelDelimiter AccelDelimiter() const { return FAccelDelimiter; }
    void SetAccelDelimiter(TAccelDelimiter value);
    int SeparateSize() const { return FSeparateSize; }
    void SetSeparateSize(int value);
    bool RemoveOnSelect() const { return FRemoveOnSelect; }
    void SetRemoveOnSelect(bool value) { FRemoveOnSelect = value; }

    TRecentStrings* RecentItems() { return &FRecentItems; }

    void AddRecent(const QString& recentName, int userData = 0);
    void RemoveRecent(const QString& recentName);
    void LoadRecentItems(TCustomIniFile* settings, const QString& section);
    void SaveRecentItems(TCustomIniFile* settings, const QString& section);
    void RebuildRecentMenu();
    void ClearRecentMenu();
    // The settings section of the list: the storage's own section, "\", and the list's
    // default section ("TreeDir\TFrmTree.MRUManager").
    QString SettingsSection() const;

    std::function<void()> OnChange;
    std::function<void(const QString& recentName, const QString& caption, int userData)> OnClick;
    std::function<void(QString& caption, QKeySequence& shortCut, int userData)> OnGetItemData;
    std::function<void(TCustomIniFile* settings, const QString& section, int index, QString& recentName, int& userData)> OnReadItem;
    std::function<void(TCustomIniFile* settings, const QString& section, int index, const QString& recentName, int userData)> OnWriteItem;

protected:
    virtual void DoChange();
    virtual void ReadItem(TCustomIniFile* settings, const QString& section, int index, QString& recentName, int& userData);
    virtual void WriteItem(TCustomIniFile* settings, const QString& section, int index, const QString& recentName, int userData);
    virtual void DoGetItemData(QString& caption, QKeySequence& shortCut, int userData);
    virtual void DoClick(const QString& recentName, const QString& caption, int userData);

private:
    void RecentListChanged();
    void RecentItemClick(QAction* item);
    void ApplyAutoEnable();
    void LinkSave();
    void LinkLoad();

    TRecentStrings FRecentItems;
    std::unique_ptr<TIniLink> FIniLink;
    QPointer<QMenu> FRecentMenu;
    QList<QPointer<QAction>> FItems;
    QString FSection;   // taken at the first restore, while the owner window is whole
    bool FAutoUpdate = true;
    bool FAutoEnable = true;
    bool FShowAccelChar = true;
    uint FStartAccel = 1;
    TAccelDelimiter FAccelDelimiter = adTab;
    int FSeparateSize = 0;
    bool FRemoveOnSelect = false;
};
